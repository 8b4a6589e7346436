#pragma once
// The field readers every file parser uses. Each reads exactly what its field allows: hex
// fields hexadecimal digits only, decimal fields an optional sign and decimal digits only (no
// blank, no prefix), and every value is bounded before it is used. What a field that does not
// read means is the caller's rule (the HEX import counts other characters as 0, the parameter
// file refuses the line).

#include <QString>
#include <QStringView>

#include <string_view>

namespace vmx::app {

// 0..15 for 0-9, A-F, a-f; -1 for any other character.
constexpr int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// The whole text as 1..8 hexadecimal digits.
bool ReadHex(QStringView s, quint32& value);

// The `digits` (1..8) characters from `position` on (1 = first character) as hexadecimal
// digits; false when the line ends before or a character is not a hex digit.
bool ReadHexField(QStringView line, int position, int digits, quint32& value);

// The same field under the HEX import's rule: any other character, and a character past the
// end of the line, counts as the digit 0.
quint32 ReadHexFieldLenient(QStringView line, int position, int digits);

// True when `line` holds every character up to `position` (1 = first character).
inline bool HasPosition(QStringView line, int position)
{
    return position >= 1 && position <= line.size();
}

// A whole decimal number: an optional sign, then decimal digits only, within the range of int.
bool ReadDecimal(QStringView s, int& value);

// Decimal digits only (no sign), at most `max`; for bytes of a workbook's XML.
bool ReadUnsigned(std::string_view s, quint64 max, quint64& value);

} // namespace vmx::app
