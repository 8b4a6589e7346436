#pragma once
// The one reader of Intel HEX records that every firmware, module and parameter file goes
// through: a record is taken only whole, with its checksum right and of a type this program
// understands, so a damaged or extended file is refused before anything is erased or sent.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace vmx::app {

struct HexRecord {
    quint32 address = 0;
    quint8 type = 0;
    QByteArray data;
};

enum class HexRecordStatus {
    Data,      // type 00: `data` at `address`
    End,       // type 01
    Malformed, // no colon, a non-hex character, a count the line does not hold
    Checksum,  // the record's checksum does not match its bytes
    Type,      // 02..05 and others: extended addresses and start addresses are not followed
};

// One line (trailing blanks and line ends ignored). `record` is filled as far as it was read,
// so a refused type can be named.
HexRecordStatus ReadHexRecord(QStringView line, HexRecord& record);

// The catalogue message for a refused record ("Prüfsumme falsch", "Dateiformat ungültig") and
// the place after it: ": name:line" and, for a refused type, " (type)".
int HexRecordMessage(HexRecordStatus status);
QString HexRecordPlace(HexRecordStatus status, const QString& fileName, qsizetype lineNumber,
                       const HexRecord& record);

} // namespace vmx::app
