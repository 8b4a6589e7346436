#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vmx::app {

// Removes every blank.
QString RemoveBlanks(const QString& s);
// Replaces a decimal comma by a point.
QString CommaToPoint(const QString& s);
// A whole decimal number ("123", "-1"); false when the text is anything else.
bool ParseDecimal(const QString& s, int& value);
// The number after `key` at the start of `line`, the first "]" removed; -1 when it is not a
// number or the line does not start with the key.
int NumberAfterKey(const QString& line, const QString& key);
// Hexadecimal text ("1A", "$1A", "0x1A") to a number; false when it is not one.
bool ParseHex(const QString& s, quint32& value);
// A version text such as "V1.43" to 143; -1 when it is not one.
int VersionTextToNumber(const QString& s);

// Text files are read as UTF-8 when valid, else as Windows-1252.
QString DecodeText(const QByteArray& bytes);
// Windows-1252 encoding for the files the older stations also read; unmappable characters
// become '?'.
QByteArray EncodeWindows1252(const QString& s);
QString DecodeWindows1252(const QByteArray& bytes);

// Splits a text into lines at CR LF, LF or CR.
QStringList SplitLines(const QString& text);

} // namespace vmx::app
