#include "app/FieldReaders.h"

#include <limits>

namespace vmx::app {

bool ReadHex(QStringView s, quint32& value)
{
    if (s.isEmpty() || s.size() > 8) return false;
    quint32 v = 0;
    for (QChar c : s) {
        const int d = HexDigit(c.unicode());
        if (d < 0) return false;
        v = v * 16 + quint32(d);
    }
    value = v;
    return true;
}

bool ReadHexField(QStringView line, int position, int digits, quint32& value)
{
    if (digits < 1 || digits > 8 || position < 1 || position - 1 + qsizetype(digits) > line.size())
        return false;
    return ReadHex(line.mid(position - 1, digits), value);
}

quint32 ReadHexFieldLenient(QStringView line, int position, int digits)
{
    quint32 v = 0;
    for (int k = 0; k < digits && k < 8; ++k) {
        const qint64 p = qint64(position) + k;
        const int d = p >= 1 && p <= line.size() ? HexDigit(line[qsizetype(p - 1)].unicode()) : 0;
        v = v * 16 + quint32(d < 0 ? 0 : d);
    }
    return v;
}

bool ReadDecimal(QStringView s, int& value)
{
    qsizetype i = 0;
    bool negative = false;
    if (!s.isEmpty() && (s[0] == u'-' || s[0] == u'+')) {
        negative = s[0] == u'-';
        i = 1;
    }
    if (i >= s.size()) return false;
    // Accumulated as a negative number, so INT_MIN reads too.
    qint64 v = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
        if (v > qint64(std::numeric_limits<int>::max()) + 1) return false;
    }
    if (!negative && v > std::numeric_limits<int>::max()) return false;
    value = int(negative ? -v : v);
    return true;
}

bool ReadUnsigned(std::string_view s, quint64 max, quint64& value)
{
    if (s.empty()) return false;
    quint64 v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        const quint64 d = quint64(c - '0');
        if (d > max || v > (max - d) / 10) return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

} // namespace vmx::app
