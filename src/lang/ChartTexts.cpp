#include "lang/ChartTexts.h"

#include "lang/MessageTable.h"

namespace vmx::lang {

namespace {
// In the order of ChartText.
const MessageEntry kTexts[int(ChartText::Count)] = {
    {"Pause", "Pause"},
    {"Diagramm anhalten, die Messung läuft weiter (F9)", "Freeze the chart while measuring goes on (F9)"},
    {"Folgen", "Follow"},
    {"Zurück zum neuesten Messwert und mitlaufen (Ende)", "Back to the newest sample and keep up (End)"},
    {"Zeitachse", "Time axis"},
    {"Uhrzeit (hh:mm:ss) statt Index unter dem Diagramm", "Time of day (hh:mm:ss) instead of the index"},
    {"Sichtbaren Bereich als Text exportieren...", "Export visible range as text..."},
    {"Sichtbaren Bereich als Excel-Datei exportieren...", "Export visible range as workbook..."},
    {"Aufzeichnung öffnen...", "Open recording..."},
    {"Aufzeichnung schließen", "Close recording"},
    {"Sichtbarer Bereich zu groß: %1 Messwerte, höchstens %2; bitte hineinzoomen",
     "Visible range too large: %1 samples, at most %2; zoom in"},
    {"Kein Messwert im sichtbaren Bereich", "No sample in the visible range"},
    {"Aufzeichnung: %1 Dateien, Messwerte %2 .. %3", "Recording: %1 files, samples %2 .. %3"},
    {"Aufzeichnung nicht lesbar: ", "Recording not readable: "},
    {"Diagramm angehalten", "Chart paused"},
};
} // namespace

QString ChartTextOf(ChartText text, int language)
{
    const int i = int(text);
    if (i < 0 || i >= int(ChartText::Count)) return {};
    return QString::fromUtf8(language == 1 ? kTexts[i].en : kTexts[i].de);
}

} // namespace vmx::lang
