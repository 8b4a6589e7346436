#include "boot/HexText.h"

namespace vmx::boot {

QString FormatMessage(const QString& templ, std::initializer_list<qint64> values)
{
    QString out;
    out.reserve(templ.size() + 8);
    auto next = values.begin();
    const int n = int(templ.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = templ[i];
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        if (i + 1 < n && templ[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            ++i;
            continue;
        }
        // %[0-][width][.precision](x|X|d)
        int j = i + 1;
        bool zero = false;
        bool left = false;
        while (j < n && (templ[j] == QLatin1Char('0') || templ[j] == QLatin1Char('-'))) {
            (templ[j] == QLatin1Char('0') ? zero : left) = true;
            ++j;
        }
        int width = 0;
        while (j < n && templ[j].isDigit())
            width = width * 10 + templ[j++].digitValue();
        int precision = -1;
        if (j < n && templ[j] == QLatin1Char('.')) {
            precision = 0;
            ++j;
            while (j < n && templ[j].isDigit())
                precision = precision * 10 + templ[j++].digitValue();
        }
        if (j >= n || next == values.end()) {
            out += c; // not a conversion we fill: keep the text as it stands
            continue;
        }
        const QChar conv = templ[j];
        QString digits;
        bool negative = false;
        const qint64 v = *next;
        if (conv == QLatin1Char('x') || conv == QLatin1Char('X')) {
            digits = QString::number(quint64(v) & 0xFFFFFFFFu, 16).toUpper();
        } else if (conv == QLatin1Char('d')) {
            negative = v < 0;
            digits = QString::number(negative ? -v : v);
        } else {
            out += c;
            continue;
        }
        ++next;
        if (precision >= 0 && digits.size() < precision)
            digits = QString(precision - digits.size(), QLatin1Char('0')) + digits;
        if (negative) digits.prepend(QLatin1Char('-'));
        if (digits.size() < width) {
            const QString pad(width - digits.size(),
                              zero && !left && precision < 0 ? QLatin1Char('0') : QLatin1Char(' '));
            digits = left ? digits + pad
                          : (zero && precision < 0 && negative ? QLatin1Char('-') + pad + digits.mid(1)
                                                               : pad + digits);
        }
        out += digits;
        i = j;
    }
    return out;
}

} // namespace vmx::boot
