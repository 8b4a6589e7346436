#include "app/TextHelpers.h"

#include "app/FieldReaders.h"
#include "app/InputFile.h"

#include <QStringList>

namespace vmx::app {

namespace {
// Windows-1252 code points 0x80..0x9F; 0 where the code page leaves a byte undefined.
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

QString RemoveBlanks(const QString& s)
{
    QString r = s;
    r.remove(QLatin1Char(' '));
    return r;
}

QString CommaToPoint(const QString& s)
{
    QString r = s;
    r.replace(QLatin1Char(','), QLatin1Char('.'));
    return r;
}

bool ParseDecimal(const QString& s, int& value)
{
    return ReadDecimal(s, value);
}

int NumberAfterKey(const QString& line, const QString& key)
{
    if (!line.startsWith(key)) return -1;
    QString rest = line.mid(key.size());
    const int b = int(rest.indexOf(QLatin1Char(']')));
    if (b >= 0) rest.remove(b, 1);
    int v = -1;
    return ParseDecimal(rest, v) ? v : -1;
}

bool ParseHex(const QString& text, quint32& value)
{
    QString s = text.trimmed();
    if (s.startsWith(QLatin1Char('$')))
        s = s.mid(1);
    else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        s = s.mid(2);
    return ReadHex(s, value);
}

int VersionTextToNumber(const QString& text)
{
    QString s = text.trimmed();
    if (s.startsWith(QLatin1Char('V'), Qt::CaseInsensitive)) s = s.mid(1);
    s.remove(QLatin1Char('.'));
    int v = -1;
    return ParseDecimal(s, v) && v >= 0 ? v : -1;
}

QString DecodeWindows1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80] != 0)
            out += QChar(kCp1252High[b - 0x80]);
        else
            out += QChar(char16_t(b));
    }
    return out;
}

QString DecodeText(const QByteArray& bytes)
{
    Utf8Check check;
    check.Feed(bytes.constData(), bytes.size());
    if (check.Complete()) {
        QString s = QString::fromUtf8(bytes);
        if (s.startsWith(QChar(0xFEFF))) s.remove(0, 1);
        return s;
    }
    return DecodeWindows1252(bytes);
}

QByteArray EncodeWindows1252(const QString& s)
{
    QByteArray out;
    out.reserve(s.size());
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += char(u);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] == u && u != 0) {
                mapped = char(0x80 + k);
                break;
            }
        out += mapped;
    }
    return out;
}

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    QString cur;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            lines << cur;
            cur.clear();
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
        } else if (c == QLatin1Char('\n')) {
            lines << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.isEmpty()) lines << cur;
    return lines;
}

} // namespace vmx::app
