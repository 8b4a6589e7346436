#include "app/InputFile.h"

#include "app/TextHelpers.h"

#include <QFileInfo>

namespace vmx::app {

namespace {
constexpr qint64 kChunk = 64 * 1024;
} // namespace

InputStatus OpenInputFile(QFile& file, qint64 maxBytes)
{
    const QFileInfo info(file.fileName());
    if (!info.exists()) return InputStatus::Missing;
    // Decided before opening: opening a FIFO without a writer does not return.
    if (!info.isFile() || info.size() > maxBytes) return InputStatus::CannotOpen;
    if (!file.open(QIODevice::ReadOnly)) return InputStatus::CannotOpen;
    // Replaced between the look and the open: still only a regular file of that size.
    if (file.isSequential() || file.size() > maxBytes) {
        file.close();
        return InputStatus::CannotOpen;
    }
    return InputStatus::Ok;
}

InputStatus ReadInputFile(const QString& path, QByteArray& bytes, qint64 maxBytes)
{
    QFile f(path);
    const InputStatus st = OpenInputFile(f, maxBytes);
    if (st != InputStatus::Ok) return st;
    // Never more than the cap, even if the file grows while it is read.
    bytes = f.read(maxBytes + 1);
    if (f.error() != QFileDevice::NoError) return InputStatus::ReadError;
    if (bytes.size() > maxBytes) return InputStatus::CannotOpen;
    return InputStatus::Ok;
}

bool Utf8Check::Feed(const char* bytes, qsizetype n)
{
    for (qsizetype i = 0; i < n && valid_; ++i) {
        const quint8 b = quint8(bytes[i]);
        if (pending_ > 0) {
            if ((b & 0xC0) != 0x80) {
                valid_ = false;
                break;
            }
            cp_ = (cp_ << 6) | (b & 0x3F);
            if (--pending_ == 0 && (cp_ < lower_ || cp_ > 0x10FFFF || (cp_ >= 0xD800 && cp_ <= 0xDFFF)))
                valid_ = false;
            continue;
        }
        if (b < 0x80) continue;
        if (b >= 0xC2 && b <= 0xDF) {
            pending_ = 1, cp_ = b & 0x1F, lower_ = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            pending_ = 2, cp_ = b & 0x0F, lower_ = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            pending_ = 3, cp_ = b & 0x07, lower_ = 0x10000;
        } else {
            valid_ = false;
        }
    }
    return valid_;
}

LineReader::LineReader(QIODevice& device, TextEncoding encoding) : dev_(device), encoding_(encoding)
{
    if (encoding == TextEncoding::Latin1) return;
    Utf8Check check;
    const qint64 start = dev_.pos();
    for (;;) {
        const QByteArray chunk = dev_.read(kChunk);
        if (chunk.isEmpty() || !check.Feed(chunk.constData(), chunk.size())) break;
    }
    utf8_ = check.Complete();
    if (!dev_.seek(start)) failed_ = true;
}

bool LineReader::Fill()
{
    if (eof_ || failed_) return false;
    if (pos_ > 0) {
        buf_.remove(0, pos_);
        pos_ = 0;
    }
    const QByteArray more = dev_.read(kChunk);
    if (more.isEmpty()) {
        eof_ = true;
        // A device that cannot be read is not the end of a file.
        if (auto* f = qobject_cast<QFileDevice*>(&dev_); f && f->error() != QFileDevice::NoError)
            failed_ = true;
        return false;
    }
    buf_ += more;
    return true;
}

QString LineReader::Decode(qsizetype from, qsizetype to) const
{
    const QByteArrayView raw(buf_.constData() + from, to - from);
    if (encoding_ == TextEncoding::Latin1) return QString::fromLatin1(raw);
    if (utf8_) return QString::fromUtf8(raw);
    return DecodeWindows1252(QByteArray::fromRawData(raw.data(), raw.size()));
}

bool LineReader::Next(QString& line)
{
    if (failed_) return false;
    qsizetype i = pos_;
    for (;;) {
        // Read through a const pointer: indexing the buffer itself checks for sharing each time.
        const char* d = buf_.constData();
        while (i < buf_.size() && d[i] != '\r' && d[i] != '\n')
            ++i;
        if (i < buf_.size()) {
            // A CR at the end of what was read may be the first half of a CR LF.
            if (d[i] == '\r' && i + 1 == buf_.size()) {
                const qsizetype off = i - pos_;
                if (!Fill() && failed_) return false;
                i = pos_ + off;
                d = buf_.constData();
            }
            qsizetype next = i + 1;
            if (d[i] == '\r' && next < buf_.size() && d[next] == '\n') ++next;
            line = Decode(pos_, i);
            pos_ = next;
            break;
        }
        const qsizetype off = i - pos_;
        if (Fill()) {
            i = pos_ + off;
            continue;
        }
        if (failed_ || pos_ >= buf_.size()) return false;
        // The last line, without a line end.
        line = Decode(pos_, buf_.size());
        pos_ = buf_.size();
        break;
    }
    if (first_) {
        first_ = false;
        if (utf8_ && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
    }
    return true;
}

} // namespace vmx::app
