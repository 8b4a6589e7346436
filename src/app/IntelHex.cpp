#include "app/IntelHex.h"

#include "app/FieldReaders.h"
#include "lang/MessageIds.h"

namespace vmx::app {

HexRecordStatus ReadHexRecord(QStringView line, HexRecord& record)
{
    record = HexRecord{};
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    // ':' count(2) address(4) type(2) data(2n) checksum(2): every character a hex digit.
    if (line.size() < 11 || line.front() != QLatin1Char(':') || line.size() % 2 == 0)
        return HexRecordStatus::Malformed;
    QByteArray bytes;
    bytes.reserve((line.size() - 1) / 2);
    for (qsizetype i = 1; i < line.size(); i += 2) {
        const int hi = HexDigit(line[i].unicode());
        const int lo = HexDigit(line[i + 1].unicode());
        if (hi < 0 || lo < 0) return HexRecordStatus::Malformed;
        bytes.append(char(hi * 16 + lo));
    }
    const auto at = [&](qsizetype i) { return quint8(bytes[i]); };
    const int count = at(0);
    record.address = (quint32(at(1)) << 8) | at(2);
    record.type = at(3);
    if (bytes.size() != count + 5) return HexRecordStatus::Malformed;
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    if (sum != 0) return HexRecordStatus::Checksum;
    if (record.type == 0x01) return HexRecordStatus::End;
    if (record.type != 0x00) return HexRecordStatus::Type;
    record.data = bytes.mid(4, count);
    return HexRecordStatus::Data;
}

int HexRecordMessage(HexRecordStatus status)
{
    return status == HexRecordStatus::Checksum ? lang::ids::kMsgChecksumWrong : lang::ids::kMsgFormatInvalid;
}

QString HexRecordPlace(HexRecordStatus status, const QString& fileName, qsizetype lineNumber,
                       const HexRecord& record)
{
    QString place = QStringLiteral(": ") + (fileName.isEmpty() ? QString() : fileName + QLatin1Char(':')) +
                    QString::number(lineNumber);
    if (status == HexRecordStatus::Type) place += QString::asprintf(" (%2.2X)", record.type);
    return place;
}

} // namespace vmx::app
