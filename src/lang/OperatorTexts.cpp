#include "lang/OperatorTexts.h"

#include "lang/MessageTable.h"

namespace vmx::lang {

namespace {
// In the order of OperatorText. The words of the station's buttons stay German in both
// languages, as the buttons read.
const MessageEntry kTexts[int(OperatorText::Count)] = {
    {"Seriennummer %1", "Serial number %1"},
    {"Fehlgeschlagen:", "Failed:"},
    {"ohne Seriennummer", "no serial number"},
    {"Schritt %1 von %2", "Step %1 of %2"},
    {"ZURÜCK (Strg+F6): Vorbereitung wiederholen und neu messen",
     "ZURÜCK (Ctrl+F6): prepare again and measure again"},
    {"ZURÜCK (Strg+F6): vorigen Schritt wiederholen", "ZURÜCK (Ctrl+F6): run the previous step again"},
    {"WEITER (F6): Fehler bleibt vermerkt, nächster Schritt", "WEITER (F6): the failure is kept, next step"},
    {"ABBRECHEN: Einheit beenden", "ABBRECHEN: end this unit"},
    {"Eintrag korrigieren, dann Enter; WEITER (F6) geht ohne ihn weiter",
     "Correct the entry, then Enter; WEITER (F6) goes on without it"},
    {"Grenzen %1", "limits %1"},
    {"erstes ungleiches Byte %1 (%2): Sensor %3, Editor %4",
     "first differing byte %1 (%2): sensor %3, editor %4"},
    {"Boot-Loader nicht gestartet: zuerst \"Start Boot\" drücken",
     "boot loader not started: press \"Start Boot\" first"},
    {"Blasen suchen: %1 leer, genommen: %2", "Search bubbles: %1 empty, taken: %2"},
};
} // namespace

QString OperatorTextOf(OperatorText text, int language)
{
    const int i = int(text);
    if (i < 0 || i >= int(OperatorText::Count)) return {};
    return QString::fromUtf8(language == 1 ? kTexts[i].en : kTexts[i].de);
}

} // namespace vmx::lang
