#include "monitor/Recording.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "lang/RecordingTexts.h"
#include "monitor/MeasFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vmx::monitor {

namespace {

void AppendInt(QByteArray& out, qint64 v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, qsizetype(r.ptr - buf));
}

void AppendHex(QByteArray& out, unsigned v, int digits)
{
    static const char kHex[] = "0123456789ABCDEF";
    char buf[8];
    int n = 0;
    do {
        buf[n++] = kHex[v & 0xF];
        v >>= 4;
    } while (v != 0 && n < 8);
    while (n < digits)
        buf[n++] = '0';
    while (n > 0)
        out += buf[--n];
}

// "%-12.12s" as the export writes the Date, Time, Alarm and Flags cells.
void AppendPadded(QByteArray& out, const QByteArray& cell)
{
    const qsizetype n = std::min<qsizetype>(cell.size(), 12);
    out.append(cell.constData(), n);
    out.append(12 - n, ' ');
    out += '\t';
}

// The column titles as the export's row 0.
QByteArray TitleLine()
{
    QByteArray out;
    const QStringList& h = TableHeadings();
    for (int c = 0; c < h.size(); ++c) {
        const QByteArray cell = h[c].toLatin1();
        if (c == 1 || c == 2 || c == 11 || c == 12) {
            AppendPadded(out, cell);
        } else {
            out += cell;
            out += '\t';
        }
    }
    out += "\r\n";
    return out;
}

QString SizeText(qint64 bytes)
{
    if (bytes >= (qint64(1) << 20)) return QString::number(double(bytes) / double(1 << 20), 'f', 1) + " MB";
    return QString::number((bytes + 1023) / 1024) + " KB";
}

QString DurationText(qint64 us)
{
    const qint64 s = us / 1000000;
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                             static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
}

QString InfoPath(const QString& file)
{
    QString p = file;
    if (p.endsWith(QStringLiteral(".txt"))) p.chop(4);
    return p + QStringLiteral(".info");
}

// Everything the writer does or is asked to do, on the calling (writer) thread.
bool WriteAll(int fd, const char* data, qint64 n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, size_t(n));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        data += w;
        n -= w;
    }
    return true;
}

} // namespace

void RowFormatter::Append(QByteArray& out, qint64 index, const MeasSample& s, bool shortRow)
{
    // The same rounding as FromSampleTime, so the cells are the table's.
    const qint64 whole = qint64(s.Time);
    qint64 ms = qint64((s.Time - double(whole)) * 86400000.0 + 0.5);
    if (ms >= 86400000) ms = 86399999;
    const qint64 second = whole * 86400 + ms / 1000;
    if (second != second_) {
        second_ = second;
        const QDateTime t = FromSampleTime(s.Time);
        dateTime_.clear();
        AppendPadded(dateTime_, t.toString(QStringLiteral("dd.MM.yyyy")).toLatin1());
        AppendPadded(dateTime_, t.toString(QStringLiteral("hh:mm:ss")).toLatin1());
    }
    AppendInt(out, index);
    out += '\t';
    out += dateTime_;
    if (s.OUT < 10) out += ' ';
    AppendInt(out, s.OUT);
    out += '\t';
    if (shortRow) {
        out += "\t\t\t\t\t\t\t            \t            \t\t\t\t\r\n";
        return;
    }
    for (int v : {int(s.Zero), int(s.ADC), int(s.Lin), int(s.Ampl), int(s.AMax), int(s.Gain), int(s.BAvg)}) {
        AppendInt(out, v);
        out += '\t';
    }
    QByteArray cell;
    AppendHex(cell, s.Alarm, 2);
    AppendPadded(out, cell);
    cell.clear();
    AppendHex(cell, s.Flags, 2);
    AppendPadded(out, cell);
    AppendHex(out, s.Error, 2);
    out += '\t';
    AppendHex(out, s.Test, 4);
    out += '\t';
    AppendHex(out, s.Version, 2);
    out += "\t\r\n";
}

// Lives on the writer thread: appends what it is handed, fsyncs when asked, reports a failure
// once and writes nothing after it.
class RecordingWriter : public QObject {
    Q_OBJECT
public:
    explicit RecordingWriter(std::shared_ptr<std::atomic<qint64>> backlog) : backlog_(std::move(backlog)) {}
    ~RecordingWriter() override { CloseFile(); }

    void Open(const QString& path, const QByteArray& header, const QByteArray& info)
    {
        CloseFile();
        if (broken_) return;
        infoPath_ = InfoPath(path);
        info_ = info;
        const QByteArray p = QFile::encodeName(path);
        fd_ = ::open(p.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd_ < 0) return Broken();
        if (!WriteInfo(QByteArray()) || !WriteAll(fd_, header.constData(), header.size())) return Broken();
    }
    void Append(const QByteArray& rows, bool sync)
    {
        const qint64 left = backlog_->fetch_sub(rows.size()) - rows.size();
        peak_ = std::max(peak_, left + rows.size());
        if (!broken_ && fd_ >= 0) {
            if (!WriteAll(fd_, rows.constData(), rows.size())) return Broken();
            if (sync && ::fsync(fd_) != 0) return Broken();
        }
        // A backlog of megabytes (a disk that stalled) is handed back to the system once it has
        // drained; the allocator would otherwise keep it for the rest of a recording of hours.
        if (left == 0 && peak_ > kTrimAfterBytes) {
            peak_ = 0;
#if defined(__GLIBC__)
            ::malloc_trim(0);
#endif
        }
    }
    // The file closed with an fsync; its .info gets what is known at the end.
    void Close(const QByteArray& tail)
    {
        if (fd_ >= 0 && !broken_) {
            if (::fsync(fd_) != 0) Broken();
            if (!broken_ && !WriteInfo(tail)) Broken();
        }
        CloseFile();
    }

Q_SIGNALS:
    void failed(const QString& why);

private:
    void Broken()
    {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        broken_ = true;
        CloseFile();
        Q_EMIT failed(why);
    }
    void CloseFile()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // NAME.info written whole to a temporary name and renamed into place.
    bool WriteInfo(const QByteArray& tail)
    {
        const QString tmp = infoPath_ + QStringLiteral(".tmp");
        const QByteArray p = QFile::encodeName(tmp);
        const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const QByteArray all = info_ + tail;
        const bool ok = WriteAll(fd, all.constData(), all.size()) && ::fsync(fd) == 0;
        ::close(fd);
        if (!ok) {
            QFile::remove(tmp);
            return false;
        }
        QFile::remove(infoPath_);
        return QFile::rename(tmp, infoPath_);
    }

    static constexpr qint64 kTrimAfterBytes = 1 << 20;
    std::shared_ptr<std::atomic<qint64>> backlog_;
    qint64 peak_ = 0; // the largest backlog since it was last empty
    int fd_ = -1;
    bool broken_ = false;
    QString infoPath_;
    QByteArray info_;
};

Recording::Recording(app::Session& session, QObject* parent)
    : QObject(parent), session_(session), backlog_(std::make_shared<std::atomic<qint64>>(0))
{
}

Recording::~Recording()
{
    if (active_) Stop();
    if (thread_) {
        thread_->quit();
        thread_->wait();
        // Its thread has ended: nothing runs on it any more.
        delete writer_;
    }
}

QString Recording::Text(int which) const
{
    return lang::RecordingTextOf(lang::RecordingText(which), session_.language());
}

QString Recording::FileName(const QString& serial, const QDateTime& start)
{
    return serial + QLatin1Char('_') + start.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".txt");
}

bool Recording::Start(const RecordingOptions& options, const RecordingInfo& info, const QDateTime& startTime)
{
    if (active_) return false;
    options_ = options;
    info_ = info;
    if (info_.serial.isEmpty()) info_.serial = QStringLiteral("unknown");
    failure_.clear();
    if (!QDir().mkpath(options_.folder) || !QFileInfo(options_.folder).isWritable()) {
        failure_ = Text(int(lang::RecordingText::CannotStart)).arg(options_.folder);
        session_.PanelText(1, failure_);
        return false;
    }
    if (!thread_) {
        thread_ = new QThread(this);
        thread_->setObjectName(QStringLiteral("recording writer"));
        writer_ = new RecordingWriter(backlog_);
        writer_->moveToThread(thread_);
        connect(writer_, &RecordingWriter::failed, this, &Recording::WriterFailed, Qt::QueuedConnection);
        thread_->start();
    }
    app::Clock& clock = session_.clock();
    startUs_ = clock.NowUs();
    nextHandOverUs_ = startUs_ + kHandOverUs;
    startTime_ = startTime;
    samples_ = 0;
    handOvers_ = 0;
    files_.clear();
    currentFile_.clear();
    pending_.clear();
    rows_ = RowFormatter();
    active_ = true;
    OpenNext();
    return true;
}

qint64 Recording::RecordedUs() const
{
    return session_.clock().NowUs() - startUs_;
}

QObject* Recording::WriterContext() const
{
    return writer_;
}

void Recording::OpenNext()
{
    const qint64 now = session_.clock().NowUs();
    // The start time of this file on the session's clock, so the names follow the samples
    // whatever clock runs; a name taken moves on a second, keeping the time order.
    QDateTime at = startTime_.addMSecs((now - startUs_) / 1000);
    QString path = QDir(options_.folder).filePath(FileName(info_.serial, at));
    while (QFileInfo::exists(path) || files_.contains(path)) {
        at = at.addSecs(1);
        path = QDir(options_.folder).filePath(FileName(info_.serial, at));
    }
    if (!currentFile_.isEmpty()) {
        const QByteArray tail = "samples=" + QByteArray::number(samples_ - fileFirst_) +
                                "\nlast_index=" + QByteArray::number(samples_ - 1) + "\n";
        QMetaObject::invokeMethod(
            writer_, [w = writer_, tail] { w->Close(tail); }, Qt::QueuedConnection);
    }
    QByteArray header;
    for (const QString& line : MeasFiles::HeaderLinesAt(session_, path, at)) {
        header += app::EncodeWindows1252(line);
        header += "\r\n";
    }
    header += TitleLine();
    const QString recordingId =
        info_.serial + QLatin1Char('_') + startTime_.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QByteArray infoText;
    auto kv = [&infoText](const char* key, const QString& value) {
        infoText += key;
        infoText += '=';
        infoText += value.toUtf8();
        infoText += '\n';
    };
    kv("recording", recordingId);
    kv("file", QFileInfo(path).fileName());
    kv("sequence", QString::number(files_.size() + 1));
    kv("first_index", QString::number(samples_));
    kv("start", at.toString(Qt::ISODateWithMs));
    kv("recording_start", startTime_.toString(Qt::ISODateWithMs));
    kv("serial", info_.serial);
    kv("ident", info_.ident);
    kv("sensor", info_.model);
    kv("firmware", QString::number(info_.firmware));
    kv("delivery", info_.delivery);
    kv("program", info_.program);
    QMetaObject::invokeMethod(
        writer_, [w = writer_, path, header, infoText] { w->Open(path, header, infoText); },
        Qt::QueuedConnection);
    currentFile_ = path;
    files_ << path;
    fileFirst_ = samples_;
    fileBytes_ = header.size();
    fileStartUs_ = now;
}

void Recording::Add(const MeasSample& s, bool shortRow)
{
    if (!active_) return;
    rows_.Append(pending_, samples_, s, shortRow);
    ++samples_;
}

void Recording::HandOver(bool sync)
{
    if (pending_.isEmpty() && !sync) return;
    const qint64 n = pending_.size();
    if (backlog_->load() + n > options_.maxBacklogBytes) {
        Fail(Text(int(lang::RecordingText::FallingBehind)));
        return;
    }
    backlog_->fetch_add(n);
    fileBytes_ += n;
    QMetaObject::invokeMethod(
        writer_, [w = writer_, rows = std::move(pending_), sync] { w->Append(rows, sync); },
        Qt::QueuedConnection);
    pending_ = QByteArray();
    pending_.reserve(64 * 1024);
}

void Recording::Tick()
{
    // The writer's answers, also where no event loop runs (vmxctl, the tests).
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (!active_) return;
    const qint64 now = session_.clock().NowUs();
    if (now < nextHandOverUs_) return;
    while (nextHandOverUs_ <= now)
        nextHandOverUs_ += kHandOverUs;
    ++handOvers_;
    HandOver(handOvers_ % kSyncEvery == 0);
    if (!active_) return;
    if (now - fileStartUs_ >= qint64(options_.rotateMinutes) * 60 * 1000000 ||
        fileBytes_ >= options_.rotateBytes)
        OpenNext();
}

bool Recording::Stop()
{
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (active_) {
        HandOver(true);
        const QByteArray tail = "samples=" + QByteArray::number(samples_ - fileFirst_) +
                                "\nlast_index=" + QByteArray::number(samples_ - 1) + "\n";
        active_ = false;
        // Waits until the writer has written and closed everything handed to it.
        QMetaObject::invokeMethod(
            writer_, [w = writer_, tail] { w->Close(tail); }, Qt::BlockingQueuedConnection);
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (!Failed())
            session_.PanelText(1, Text(int(lang::RecordingText::Stopped))
                                      .arg(QString::number(samples_), QString::number(files_.size())));
    }
    return !Failed();
}

void Recording::Fail(const QString& text)
{
    if (!failure_.isEmpty()) return;
    failure_ = text;
    if (active_) {
        active_ = false;
        pending_.clear();
        QMetaObject::invokeMethod(
            writer_, [w = writer_] { w->Close(QByteArray()); }, Qt::QueuedConnection);
    }
    session_.PanelText(1, text);
    Q_EMIT failed(text);
}

void Recording::WriterFailed(const QString& why)
{
    Fail(Text(int(lang::RecordingText::WriteFailed)).arg(why));
}

QString Recording::StatusText() const
{
    if (Failed()) return failure_;
    if (currentFile_.isEmpty()) return QString();
    return Text(int(lang::RecordingText::Status))
        .arg(QFileInfo(currentFile_).fileName(), SizeText(fileBytes_), DurationText(RecordedUs()));
}

QString Recording::InfoFileOf(const QString& file)
{
    return InfoPath(file);
}

QStringList Recording::FilesOf(const QString& file)
{
    const QFileInfo fi(file);
    auto idOf = [](const QString& txt) {
        QFile f(InfoPath(txt));
        if (!f.open(QIODevice::ReadOnly)) return QString();
        while (!f.atEnd()) {
            const QByteArray line = f.readLine().trimmed();
            if (line.startsWith("recording=")) return QString::fromUtf8(line.mid(10));
        }
        return QString();
    };
    const QString id = idOf(file);
    if (id.isEmpty()) return {fi.absoluteFilePath()};
    QStringList out;
    const QDir dir = fi.absoluteDir();
    for (const QString& name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        if (name < fi.fileName() || idOf(path) != id) continue;
        out << path;
    }
    return out;
}

} // namespace vmx::monitor

#include "Recording.moc"
