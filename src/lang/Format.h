#pragma once
// Catalogue texts with their printf conversions, and hexadecimal numbers as the program shows
// them: always in upper case.

#include <QString>

namespace vmx::lang {

// The format with every "%x" conversion (with its width and precision) made "%X".
QString UpperHexFormat(const QString& format);

// A catalogue text with its printf conversions filled in, hex digits in upper case.
template <typename... Args> QString FormatMsg(const QString& format, Args... args)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    return QString::asprintf(UpperHexFormat(format).toUtf8().constData(), args...);
#pragma GCC diagnostic pop
}

// `value` as `digits` upper-case hexadecimal digits, zero-filled ("%4.4X").
QString Hex(quint32 value, int digits);

} // namespace vmx::lang
