#include "sensor/ParameterFile.h"

#include "lang/Format.h"

#include "app/Session.h"
#include "app/TextHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vmx::sensor {

namespace {
constexpr int kRecordBytes = 16;
constexpr int kEndCodeAllowed = kParImageSize - 1; // the image's last address
const QLatin1String kEndRecord(":00000001FF");

int HexByte(const QString& line, int at, bool& ok)
{
    // `at` is 0-based; two hex digits.
    if (at + 2 > line.size()) {
        ok = false;
        return 0;
    }
    bool good = false;
    const int v = line.mid(at, 2).toInt(&good, 16);
    if (!good) ok = false;
    return good ? v : 0;
}

// The decimal between "=" and "]" that follows `key` somewhere in the line; -1 when absent.
int HeaderValue(const QString& line, const QString& key)
{
    const int at = int(line.indexOf(key, 0, Qt::CaseInsensitive));
    if (at < 0) return -2;
    QString rest = line.mid(at + key.size());
    const int b = int(rest.indexOf(QLatin1Char(']')));
    if (b >= 0) rest = rest.left(b);
    int v = -1;
    return app::ParseDecimal(rest.trimmed(), v) ? v : -1;
}
} // namespace

ParameterFile::ParameterFile(app::Session& session, ParameterBlocks& blocks)
    : session_(session), blocks_(blocks), image_(std::make_unique<std::array<quint8, kParImageSize>>())
{
    image_->fill(0xFF);
}

QString ParameterFile::Msg(int m) const { return session_.Msg(m); }

bool ParameterFile::HasCalibrationBlock() const
{
    return session_.sensor.CalOffset != app::kNoOffset && session_.sensor.CalOffset + 16 <= kParImageSize;
}

QString ParameterFile::DataRecord(quint32 address, const quint8* data)
{
    quint8 sum = quint8(kRecordBytes + (address >> 8) + (address & 0xFF));
    QString r = QString::asprintf(":%2.2x%4.4x00", kRecordBytes, unsigned(address & 0xFFFF));
    for (int i = 0; i < kRecordBytes; ++i) {
        r += QString::asprintf("%2.2x", data[i]);
        sum = quint8(sum + data[i]);
    }
    r += QString::asprintf("%2.2x", quint8(-sum) & 0xFF);
    return r;
}

QStringList ParameterFile::ExportLines() const
{
    const auto& st = session_.sensor;
    auto img = std::make_unique<std::array<quint8, kParImageSize>>();
    img->fill(0xFF);
    const quint32 a = st.ParAddr;
    const bool pageFits = a + kParPageSize <= kParImageSize;
    if (pageFits) {
        std::copy(blocks_.edit.bytes.begin(), blocks_.edit.bytes.end(), img->begin() + a);
        (*img)[a + kParExtraWordOffset] = quint8(blocks_.edit.word);
        (*img)[a + kParExtraWordOffset + 1] = quint8(blocks_.edit.word >> 8);
    }
    const bool cal = withCalibration && HasCalibrationBlock();
    if (cal) std::copy(st.Cal.begin(), st.Cal.end(), img->begin() + st.CalOffset);

    QStringList out;
    out << QStringLiteral("[PARAMETER]") << QString::asprintf("[IDENTCODE=%2.2d]", st.IdentCode)
        << QString::asprintf("[TYPE=%2.2d]", st.Type) << QString::asprintf("[SUBTYPE=%2.2d]", st.SubType)
        << QString::asprintf("[FIRMWARE=%3.3d]", st.Firmware) << QStringLiteral("[CODE]");
    if (cal) {
        const quint32 line = st.CalOffset & ~quint32(kRecordBytes - 1);
        out << DataRecord(line, img->data() + line);
    }
    if (pageFits)
        for (quint32 r = a; r < a + kParPageSize; r += kRecordBytes) out << DataRecord(r, img->data() + r);
    out << QString(kEndRecord);
    return out;
}

bool ParameterFile::ExportHexParameter(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    // Written beside the old file and renamed into place: a failed save keeps the old one.
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly)) {
        const QString text = Msg(kMsgExportParameters) + Msg(kMsgCantOpen) + name;
        session_.PanelText(1, text);
        session_.host().Ask(app::AskIcon::Error, app::AskButtons::Ok, text);
        return false;
    }
    const QByteArray bytes = app::EncodeWindows1252(ExportLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        f.cancelWriting();
        session_.PanelText(1, Msg(kMsgExportParameters) + Msg(kMsgIoError) + name);
        return false;
    }
    return true;
}

bool ParameterFile::ImportHexParameter(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    if (!QFileInfo::exists(fileName)) {
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgNotFound) + name);
        return false;
    }
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgCantOpen) + name);
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgIoError) + name);
        return false;
    }
    return ImportHexParameterData(app::SplitLines(app::DecodeText(bytes)));
}

bool ParameterFile::AskIncompatible()
{
    if (confirmIncompatible) return confirmIncompatible();
    return session_.host().Ask(app::AskIcon::Warning, app::AskButtons::YesNo, Msg(kMsgAskIncompatible)) ==
           app::AskResult::Yes;
}

bool ParameterFile::ImportHexParameterData(const QStringList& lines)
{
    image_->fill(0xFF);
    fileIdent = fileType = fileSubType = fileFirmware = -1;
    int highest = 0; // nothing but address 0 before "[CODE]"
    const QString op = Msg(kMsgImportParameters);
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) continue; // the end of the last line, or a blank one
        if (line.contains(QLatin1Char('['))) {
            auto take = [&](const char* key, int& field) {
                const int v = HeaderValue(line, QLatin1String(key));
                if (v != -2) field = v;
            };
            take("[IDENTCODE=", fileIdent);
            take("[IDENT=", fileIdent);
            take("[TYPE=", fileType);
            take("[SUBTYPE=", fileSubType);
            take("[FIRMWARE=", fileFirmware);
            // The image ends at 0xFFFF: a byte at 0x10000 would lie past it.
            if (line.contains(QLatin1String("[CODE]"), Qt::CaseInsensitive)) highest = kEndCodeAllowed;
            continue;
        }
        if (fileIdent != 20 && fileIdent != 35) {
            session_.PanelText(1, op + Msg(kMsgFormatInvalid));
            return false;
        }
        if (line.contains(kEndRecord, Qt::CaseInsensitive)) continue;
        bool ok = line.startsWith(QLatin1Char(':'));
        const int count = HexByte(line, 1, ok);
        const int address = (HexByte(line, 3, ok) << 8) | HexByte(line, 5, ok);
        // The record must hold the bytes its count names; a short line is no record.
        if (ok && line.size() < 9 + 2 * count) ok = false;
        if (!ok) {
            session_.PanelText(1, op + Msg(kMsgFormatInvalid));
            return false;
        }
        for (int i = 0; i < count; ++i) {
            if (address + i > highest) {
                session_.PanelText(1, op + lang::FormatMsg(Msg(kMsgAddressTooHigh), address + 1));
                return false;
            }
            bool byteOk = true;
            const int v = HexByte(line, 9 + 2 * i, byteOk);
            if (!byteOk) {
                session_.PanelText(1, op + Msg(kMsgFormatInvalid));
                return false;
            }
            (*image_)[size_t(address + i)] = quint8(v);
        }
    }
    const auto& st = session_.sensor;
    if (fileIdent == st.IdentCode && fileType == st.Type && fileSubType == st.SubType && fileFirmware == st.Firmware)
        return true;
    const int fw = fileFirmware < 0 ? 0 : fileFirmware;
    session_.PanelText(1, op + lang::FormatMsg(Msg(kMsgIncompatible), fileType, fileSubType, fw / 100, fw % 100));
    return AskIncompatible();
}

bool ParameterFile::Save(const QString& fileName)
{
    lastFileName = fileName;
    session_.PanelText(1, Msg(kMsgExportParameters) + QFileInfo(fileName).fileName());
    if (!ExportHexParameter(fileName)) return false;
    session_.PanelText(1, Msg(kMsgExportParameters) + Msg(kMsgOkay));
    return true;
}

bool ParameterFile::Open(const QString& fileName)
{
    lastFileName = fileName;
    session_.PanelText(1, Msg(kMsgImportParameters) + QFileInfo(fileName).fileName());
    const bool ok = ImportHexParameter(fileName);
    if (ok) {
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgOkay));
        const quint32 a = session_.sensor.ParAddr;
        if (a + kParPageSize <= kParImageSize) {
            std::copy_n(image_->begin() + a, kParBlockSize, blocks_.edit.bytes.begin());
            blocks_.edit.word = quint16((*image_)[a + kParExtraWordOffset] | ((*image_)[a + kParExtraWordOffset + 1] << 8));
        }
        if (withCalibration && HasCalibrationBlock())
            std::copy_n(image_->begin() + session_.sensor.CalOffset, 16, session_.sensor.Cal.begin());
    }
    if (refreshPages) refreshPages();
    return ok;
}

bool ParameterFile::LoadStandardParameters(const QString& parFile)
{
    blocks_.SetStandardValues();
    bool ok = true;
    if (!parFile.isEmpty()) {
        session_.PanelText(1, Msg(kMsgImportParameters) + QFileInfo(parFile).fileName());
        ok = ImportHexParameter(parFile);
        const quint32 a = session_.sensor.ParAddr;
        if (ok && a + kParPageSize <= kParImageSize) {
            session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgOkay));
            std::copy_n(image_->begin() + a, kParBlockSize, blocks_.standard.bytes.begin());
            blocks_.standard.word =
                quint16((*image_)[a + kParExtraWordOffset] | ((*image_)[a + kParExtraWordOffset + 1] << 8));
        } else {
            ok = false;
            session_.PanelText(1, Msg(kMsgStandardValues));
        }
    }
    blocks_.CopyStandardToEdit();
    return ok;
}

} // namespace vmx::sensor
