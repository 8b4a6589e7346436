#include "sensor/ParameterFile.h"

#include "app/FieldReaders.h"
#include "app/InputFile.h"
#include "app/IntelHex.h"
#include "app/SafeSave.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "lang/Format.h"

#include <QFile>
#include <QFileInfo>

namespace vmx::sensor {

namespace {
constexpr int kRecordBytes = 16;
constexpr int kEndCodeAllowed = kParImageSize - 1; // the image's last address
const QLatin1String kEndRecord(":00000001FF");

// The decimal between "=" and "]" that follows `key` somewhere in the line; -1 when absent.
int HeaderValue(const QString& line, const QString& key)
{
    const int at = int(line.indexOf(key, 0, Qt::CaseInsensitive));
    if (at < 0) return -2;
    QStringView rest = QStringView(line).mid(at + key.size());
    const qsizetype b = rest.indexOf(QLatin1Char(']'));
    if (b >= 0) rest = rest.left(b);
    int v = -1;
    return app::ReadDecimal(rest, v) ? v : -1;
}
} // namespace

ParameterFile::ParameterFile(app::Session& session, ParameterBlocks& blocks, Hooks& hooks)
    : session_(session), blocks_(blocks), hooks_(hooks),
      image_(std::make_unique<std::array<quint8, kParImageSize>>())
{
    image_->fill(0xFF);
}

QString ParameterFile::Msg(int m) const
{
    return session_.Msg(m);
}

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
        for (quint32 r = a; r < a + kParPageSize; r += kRecordBytes)
            out << DataRecord(r, img->data() + r);
    out << QString(kEndRecord);
    return out;
}

bool ParameterFile::ExportHexParameter(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    // Written beside the old file and renamed into place: a failed save keeps the old one.
    app::SafeSave save(fileName);
    app::SaveStatus status = save.Open();
    if (status == app::SaveStatus::Ok) {
        const QByteArray bytes =
            app::EncodeWindows1252(ExportLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        status = save.file().write(bytes) == bytes.size() ? save.Commit() : app::SaveStatus::WriteFailed;
        if (status == app::SaveStatus::Ok) return true;
    }
    const QString about = status == app::SaveStatus::FolderMissing ? save.Folder() : name;
    const QString text = Msg(kMsgExportParameters) + Msg(app::SaveMessage(status, kMsgCantOpen)) + about;
    session_.PanelText(1, text);
    // A file that cannot be made at all is told in a dialog as well; a failed write only in the panel.
    if (status != app::SaveStatus::WriteFailed)
        session_.host().Ask(app::AskIcon::Error, app::AskButtons::Ok, text);
    return false;
}

bool ParameterFile::ImportHexParameter(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    QFile f(fileName);
    switch (app::OpenInputFile(f)) {
    case app::InputStatus::Ok:
        break;
    case app::InputStatus::Missing:
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgNotFound) + name);
        return false;
    default:
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgCantOpen) + name);
        return false;
    }
    bool readFailed = false;
    const bool ok = ImportHexParameterData(f, &readFailed);
    if (readFailed) {
        session_.PanelText(1, Msg(kMsgImportParameters) + Msg(kMsgIoError) + name);
        return false;
    }
    return ok;
}

bool ParameterFile::AskIncompatible()
{
    return session_.host().Ask(app::AskIcon::Warning, app::AskButtons::YesNo, Msg(kMsgAskIncompatible)) ==
           app::AskResult::Yes;
}

void ParameterFile::BeginImport()
{
    image_->fill(0xFF);
    fileIdent = fileType = fileSubType = fileFirmware = -1;
    highest_ = 0; // nothing but address 0 before "[CODE]"
    lineNumber_ = 0;
}

bool ParameterFile::ImportLine(const QString& raw)
{
    ++lineNumber_;
    const QString line = raw.trimmed();
    if (line.isEmpty()) return true; // the end of the last line, or a blank one
    const QString op = Msg(kMsgImportParameters);
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
        if (line.contains(QLatin1String("[CODE]"), Qt::CaseInsensitive)) highest_ = kEndCodeAllowed;
        return true;
    }
    if (fileIdent != 20 && fileIdent != 35) {
        session_.PanelText(1, op + Msg(kMsgFormatInvalid));
        return false;
    }
    app::HexRecord record;
    const app::HexRecordStatus status = app::ReadHexRecord(line, record);
    if (status == app::HexRecordStatus::End) return true;
    if (status != app::HexRecordStatus::Data) {
        session_.PanelText(1, op + Msg(app::HexRecordMessage(status)) +
                                  app::HexRecordPlace(status, fileName_, lineNumber_, record));
        return false;
    }
    for (qsizetype i = 0; i < record.data.size(); ++i) {
        const quint32 at = record.address + quint32(i);
        // The image's size bounds the write whatever the header allowed.
        if (at > quint32(highest_) || at >= image_->size()) {
            session_.PanelText(1, op + lang::FormatMsg(Msg(kMsgAddressTooHigh), record.address + 1));
            return false;
        }
        (*image_)[at] = quint8(record.data[i]);
    }
    return true;
}

bool ParameterFile::EndImport()
{
    const auto& st = session_.sensor;
    if (fileIdent == st.IdentCode && fileType == st.Type && fileSubType == st.SubType &&
        fileFirmware == st.Firmware)
        return true;
    const int fw = fileFirmware < 0 ? 0 : fileFirmware;
    session_.PanelText(1, Msg(kMsgImportParameters) + lang::FormatMsg(Msg(kMsgIncompatible), fileType,
                                                                      fileSubType, fw / 100, fw % 100));
    return AskIncompatible();
}

bool ParameterFile::ImportHexParameterData(const QStringList& lines)
{
    BeginImport();
    fileName_.clear();
    for (const QString& line : lines)
        if (!ImportLine(line)) return false;
    return EndImport();
}

bool ParameterFile::ImportHexParameterData(QIODevice& device, bool* readFailed)
{
    BeginImport();
    const auto* file = qobject_cast<const QFile*>(&device);
    fileName_ = file ? QFileInfo(file->fileName()).fileName() : QString();
    if (readFailed) *readFailed = false;
    app::LineReader reader(device, app::TextEncoding::Detect);
    QString line;
    while (reader.Next(line))
        if (!ImportLine(line)) return false;
    if (reader.Failed()) {
        if (readFailed) *readFailed = true;
        return false;
    }
    return EndImport();
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
            blocks_.edit.word =
                quint16((*image_)[a + kParExtraWordOffset] | ((*image_)[a + kParExtraWordOffset + 1] << 8));
        }
        if (withCalibration && HasCalibrationBlock())
            std::copy_n(image_->begin() + session_.sensor.CalOffset, 16, session_.sensor.Cal.begin());
    }
    hooks_.RefreshPages();
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
