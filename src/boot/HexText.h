#pragma once
// Hexadecimal text as the device files and status lines use it: the lenient digit reader that
// HEX images and parameter files share, and upper-case formatting of catalogue templates.

#include "app/FieldReaders.h"

#include <QString>
#include <QStringView>

#include <initializer_list>

namespace vmx::boot {

// 0..15 for 0-9, A-F, a-f. Any other character counts as 0: the old files were read that
// way and some carry blanks or stray characters inside their fields.
constexpr int HexDigitValue(QChar c)
{
    const int d = app::HexDigit(c.unicode());
    return d < 0 ? 0 : d;
}

// The `digits` characters of `line` from character `position` on (1 = first character) read as
// one hexadecimal number. Characters past the end of the line count as 0 like any non-digit,
// so a short line is never read beyond its end.
inline quint32 HexField(QStringView line, int position, int digits)
{
    return app::ReadHexFieldLenient(line, position, digits);
}

using app::HasPosition;

// A catalogue template with its printf conversions (%x, %4.4x, %2.2x, %3d, %%) replaced by
// `values` in order; hexadecimal always comes out in upper case, as every status text shows it.
QString FormatMessage(const QString& templ, std::initializer_list<qint64> values);

} // namespace vmx::boot
