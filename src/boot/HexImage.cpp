#include "boot/HexImage.h"

#include "app/InputFile.h"
#include "app/IntelHex.h"
#include "app/SafeSave.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "boot/HexText.h"
#include "lang/MessageIds.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace vmx::boot {

// The catalogue numbers by name.
using namespace lang::ids;

namespace {

const QLatin1String kEndRecord(":00000001FF");

QString ShortName(const QString& fileName)
{
    return QFileInfo(fileName).fileName();
}
} // namespace

HexImage::HexImage(app::Session& session, MemoryImages& images) : session_(session), images_(images) {}

void HexImage::Status(int caption, const QString& text)
{
    session_.host().PanelText(1, session_.Msg(caption) + text);
}

bool HexImage::ImportHexFile(const QString& fileName, quint32 limit)
{
    QFile file(fileName);
    const app::InputStatus opened = app::OpenInputFile(file);
    if (opened == app::InputStatus::Missing) {
        Status(kMsgHexImport, session_.Msg(kMsgNotFound) + ShortName(fileName));
        return false;
    }
    // Every import of a file that exists starts from an erased buffer.
    images_.FillBuffer();
    if (opened != app::InputStatus::Ok) {
        Status(kMsgHexImport, session_.Msg(kMsgCantOpen) + ShortName(fileName));
        return false;
    }
    bool readFailed = false;
    const bool ok = ImportHexData(file, limit, &readFailed);
    if (readFailed || file.error() != QFileDevice::NoError) {
        Status(kMsgHexImport, session_.Msg(kMsgIoError) + ShortName(fileName));
        file.close();
        return false;
    }
    file.close();
    return ok;
}

bool HexImage::ImportHexData(QIODevice& file, quint32 limit, bool* readFailed)
{
    // The buffer ends at 0xFFFF whatever the caller asks for.
    limit = std::min(limit, kCodeLimit);
    const auto buffer = images_.Buffer();
    // Byte positions as in the file: Latin-1 keeps one character per byte.
    app::LineReader reader(file, app::TextEncoding::Latin1);
    if (readFailed) *readFailed = false;
    bool asked = false;
    const auto* named = qobject_cast<const QFile*>(&file);
    const QString name = named ? ShortName(named->fileName()) : QString();
    QString line;
    for (qsizetype lineNumber = 1;; ++lineNumber) {
        if (!reader.Next(line)) {
            if (readFailed) *readFailed = reader.Failed();
            return !reader.Failed();
        }
        if (line.contains(QLatin1Char('['))) {
            // Bracketed header lines mark a parameter file; ask once, then skip them.
            if (!asked) {
                asked = true;
                const app::AskResult answer = session_.host().Ask(
                    app::AskIcon::Warning, app::AskButtons::YesNo, session_.Msg(kMsgParameterFile));
                if (answer != app::AskResult::Yes) return false;
            }
            continue;
        }
        if (line.trimmed().isEmpty()) continue;
        app::HexRecord record;
        const app::HexRecordStatus status = app::ReadHexRecord(line, record);
        if (status == app::HexRecordStatus::End) continue;
        if (status != app::HexRecordStatus::Data) {
            // Refused whole: nothing of a damaged or extended file reaches a target.
            Status(kMsgHexImport, session_.Msg(app::HexRecordMessage(status)) +
                                      app::HexRecordPlace(status, name, lineNumber, record));
            return false;
        }
        for (qsizetype i = 0; i < record.data.size(); ++i) {
            const quint32 at = record.address + quint32(i);
            // Checked against the buffer itself too, not only against the kind's limit.
            if (at > limit || at >= buffer.size()) {
                Status(kMsgHexImport, FormatMessage(session_.Msg(kMsgAddressTooHigh), {qint64(at)}));
                return false;
            }
            buffer[at] = quint8(record.data[i]);
        }
    }
}

bool HexImage::CheckFirmwareFile(const QString& fileName, quint32 start, quint32 end)
{
    QFile file(fileName);
    if (app::OpenInputFile(file) != app::InputStatus::Ok) {
        Status(kMsgHexImport, session_.Msg(kMsgCantOpen) + ShortName(fileName));
        return false;
    }
    app::LineReader reader(file, app::TextEncoding::Latin1);
    bool inRange = false;
    QString line;
    for (qsizetype n = 0; reader.Next(line); ++n) {
        // Header lines of a parameter file are the import's question, not a record.
        if (line.trimmed().isEmpty() || line.contains(QLatin1Char('['))) continue;
        app::HexRecord record;
        const app::HexRecordStatus status = app::ReadHexRecord(line, record);
        if (status == app::HexRecordStatus::End) continue;
        if (status != app::HexRecordStatus::Data) {
            Status(kMsgHexImport, session_.Msg(app::HexRecordMessage(status)) +
                                      app::HexRecordPlace(status, ShortName(fileName), n + 1, record));
            return false;
        }
        const quint32 count = quint32(record.data.size());
        if (count > 0 && record.address <= end && record.address + count - 1 >= start) inRange = true;
    }
    if (reader.Failed()) {
        Status(kMsgHexImport, session_.Msg(kMsgIoError) + ShortName(fileName));
        return false;
    }
    if (!inRange) {
        // Nothing to write: the download would only erase the application.
        QString range = FormatMessage(session_.Msg(kMsgRange), {qint64(start), qint64(end)}).trimmed();
        if (range.endsWith(QLatin1Char(','))) range.chop(1);
        Status(kMsgHexImport, session_.Msg(kMsgFormatInvalid) + QStringLiteral(": ") + ShortName(fileName) +
                                  QStringLiteral(", ") + range);
        return false;
    }
    return true;
}

bool HexImage::ExportHexData(const QString& fileName, quint32 start, quint32 end)
{
    end = std::min(end, kCodeLimit);
    app::SafeSave save(fileName);
    const auto failed = [&](app::SaveStatus status) {
        const QString about = status == app::SaveStatus::FolderMissing ? save.Folder() : ShortName(fileName);
        Status(kMsgHexExport, session_.Msg(app::SaveMessage(status, kMsgCantOpen)) + about);
        return false;
    };
    if (const app::SaveStatus s = save.Open(); s != app::SaveStatus::Ok) return failed(s);
    const auto buffer = images_.Buffer();
    QByteArray text;
    if (start <= end) text.reserve(qsizetype(end / 16 - start / 16 + 2) * 45);
    for (quint32 line = start / 16; start <= end && line <= end / 16; ++line) {
        const quint32 address = line * 16;
        quint32 sum = 0x10 + (address >> 8) + (address & 0xFF);
        QByteArray record = QByteArray(":10") + QByteArray::number(address, 16).rightJustified(4, '0') + "00";
        for (quint32 i = 0; i < 16; ++i) {
            const quint8 b = buffer[address + i];
            sum += b;
            record += QByteArray::number(b, 16).rightJustified(2, '0');
        }
        record += QByteArray::number(quint8(-sum), 16).rightJustified(2, '0');
        text += record.toUpper();
        text += "\r\n";
    }
    text += QByteArray(kEndRecord.data(), kEndRecord.size());
    text += "\r\n";
    if (save.file().write(text) != text.size()) return failed(app::SaveStatus::WriteFailed);
    if (const app::SaveStatus s = save.Commit(); s != app::SaveStatus::Ok) return failed(s);
    return true;
}

bool HexImage::ConvertAbsToHex(const QString& fileName)
{
    const QFileInfo info(fileName);
    QProcess process;
    // Program and argument go to the system directly: a file name is never seen by a shell.
    process.setProgram(QString::fromLatin1(kAbsConverter));
    process.setArguments({info.fileName()});
    process.setWorkingDirectory(info.absolutePath());
    // Its console output is of no use here and must not mix into vmxctl's results.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
#ifdef Q_OS_WIN
    // A console converter would otherwise open a window of its own.
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* args) { args->flags |= CREATE_NO_WINDOW; });
#endif
    process.start();
    if (!process.waitForStarted(-1)) {
        Status(kMsgAbsImport, session_.Msg(kMsgIoError) + info.fileName());
        return false;
    }
    // Its exit code says nothing reliable; only the end of the run matters.
    process.waitForFinished(-1);
    Status(kMsgAbsImport, info.fileName() + session_.Msg(kMsgConverted));
    return true;
}

} // namespace vmx::boot
