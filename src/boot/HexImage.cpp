#include "boot/HexImage.h"

#include "lang/MessageIds.h"

#include "app/Session.h"
#include "app/TextHelpers.h"
#include "boot/HexText.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace vmx::boot {

// The catalogue numbers by name.
using namespace lang::ids;

namespace {

const QLatin1String kEndRecord(":00000001FF");

QString ShortName(const QString& fileName) {
    return QFileInfo(fileName).fileName();
}
} // namespace

HexImage::HexImage(app::Session& session, MemoryImages& images) : session_(session), images_(images) {}

void HexImage::Status(int caption, const QString& text) {
    session_.host().PanelText(1, session_.Msg(caption) + text);
}

bool HexImage::ImportHexFile(const QString& fileName, quint32 limit) {
    if (!QFileInfo::exists(fileName)) {
        Status(kMsgHexImport, session_.Msg(kMsgNotFound) + ShortName(fileName));
        return false;
    }
    images_.FillBuffer();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Status(kMsgHexImport, session_.Msg(kMsgCantOpen) + ShortName(fileName));
        return false;
    }
    const bool ok = ImportHexData(file, limit);
    if (file.error() != QFileDevice::NoError) {
        Status(kMsgHexImport, session_.Msg(kMsgIoError) + ShortName(fileName));
        file.close();
        return false;
    }
    file.close();
    return ok;
}

bool HexImage::ImportHexData(QIODevice& file, quint32 limit) {
    // The buffer ends at 0xFFFF whatever the caller asks for.
    limit = std::min(limit, kCodeLimit);
    const auto buffer = images_.Buffer();
    // Byte positions as in the file: Latin-1 keeps one character per byte.
    const QStringList lines = app::SplitLines(QString::fromLatin1(file.readAll()));
    bool asked = false;
    for (const QString& line : lines) {
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
        if (line.contains(kEndRecord)) continue;
        const quint32 count = HexField(line, 2, 2);
        const quint32 address = HexField(line, 4, 4);
        for (quint32 i = 0; i < count; ++i) {
            const int pos = int(10 + 2 * i);
            // A record cut short (truncated copy, hand edit) would otherwise fill in zeros.
            if (!HasPosition(line, pos + 1)) {
                Status(kMsgHexImport, session_.Msg(kMsgFormatInvalid));
                return false;
            }
            if (address + i > limit) {
                Status(kMsgHexImport, FormatMessage(session_.Msg(kMsgAddressTooHigh), {qint64(address + i)}));
                return false;
            }
            buffer[address + i] = quint8(HexField(line, pos, 2));
        }
    }
    return true;
}

bool HexImage::ExportHexData(const QString& fileName, quint32 start, quint32 end) {
    end = std::min(end, kCodeLimit);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        Status(kMsgHexExport, session_.Msg(kMsgCantOpen) + ShortName(fileName));
        return false;
    }
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
    if (file.write(text) != text.size() || !file.commit()) {
        Status(kMsgHexExport, session_.Msg(kMsgIoError) + ShortName(fileName));
        file.cancelWriting();
        return false;
    }
    return true;
}

bool HexImage::ConvertAbsToHex(const QString& fileName) {
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
