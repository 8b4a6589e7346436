#include "lang/Format.h"

namespace vmx::lang {

QString UpperHexFormat(const QString& format)
{
    QString f = format;
    for (int i = 0; i + 1 < f.size(); ++i) {
        if (f[i] != QLatin1Char('%')) continue;
        int j = i + 1;
        while (j < f.size() && (f[j].isDigit() || f[j] == QLatin1Char('.')))
            ++j;
        if (j < f.size() && f[j] == QLatin1Char('x')) f[j] = QLatin1Char('X');
        i = j;
    }
    return f;
}

QString Hex(quint32 value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

} // namespace vmx::lang
