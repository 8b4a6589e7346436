#include "lang/Messages.h"

#include "lang/MessageTable.h"

namespace vmx::lang {

QString Msg(int index, int language)
{
    if (index < 0 || index >= kMessageCount) return {};
    const MessageEntry& e = kMessageTable[index];
    return QString::fromUtf8(language == English ? e.en : e.de);
}

void LoadMessage(int index, int language, QString& dest)
{
    if (language != German && language != English) return;
    dest = Msg(index, language);
}

QStringList SplitCommaText(const QString& text)
{
    // Items are double-quoted and separated by commas (blanks around commas allowed); an
    // unquoted run up to the next comma is an item as well, as the old list loader read it.
    QStringList items;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        if (i >= n) break;
        QString item;
        if (text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            while (i < n && text[i] != QLatin1Char(','))
                ++i;
        } else {
            while (i < n && text[i] != QLatin1Char(','))
                item += text[i++];
            item = item.trimmed();
        }
        items << item;
        if (i < n && text[i] == QLatin1Char(',')) ++i;
    }
    return items;
}

QStringList MsgList(int index, int language)
{
    return SplitCommaText(Msg(index, language));
}

} // namespace vmx::lang
