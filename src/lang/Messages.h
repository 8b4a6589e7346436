#pragma once

#include <QString>
#include <QStringList>

namespace vmx::lang {

enum Language : int { German = 0, English = 1 };

// Text of message `index` in `language`. An index outside the catalogue gives an empty text.
QString Msg(int index, int language);

// The catalogue lookup with the old semantics: a language other than 0 or 1 leaves `dest` as it was.
void LoadMessage(int index, int language, QString& dest);

// Splits a comma text ("a","b", "c") into its items; a text without quotes is one item.
QStringList SplitCommaText(const QString& text);

// Message `index` split as a comma text.
QStringList MsgList(int index, int language);

} // namespace vmx::lang
