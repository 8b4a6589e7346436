#include "lang/RecordingTexts.h"

#include "lang/MessageTable.h"

namespace vmx::lang {

namespace {
// In the order of RecordingText.
const MessageEntry kTexts[int(RecordingText::Count)] = {
    {"Aufzeichnung: %1, %2, %3", "Recording: %1, %2, %3"},
    {"Aufzeichnung gestoppt, Schreibfehler: %1", "Recording stopped, write error: %1"},
    {"Aufzeichnung gestoppt: das Schreiben kommt nicht nach", "Recording stopped: writing falls behind"},
    {"Aufzeichnung beendet: Speicher voll (Datenüberlauf Stopp)",
     "Recording ended: data storage full (data overflow Stop)"},
    {"Aufzeichnung nicht möglich: %1", "Cannot record: %1"},
    {"Aufzeichnung beendet: %1 Messwerte in %2 Dateien", "Recording ended: %1 samples in %2 files"},
    {"Wiedergabe %1 (%2)", "Replay %1 (%2)"},
    {"Wiedergabe beendet: %1 Messwerte", "Replay finished: %1 samples"},
    {"Wiedergabe: Datei kann nicht gelesen werden: %1", "Replay: cannot read file %1"},
    {"Trigger bei Ix %1: %2 = %3", "Trigger at Ix %1: %2 = %3"},
    {"Trigger bei Ix %1 nicht gespeichert: %2", "Trigger at Ix %1 not saved: %2"},
    {"Aufzeichnung starten...", "Start recording..."},
    {"Aufzeichnung stoppen", "Stop recording"},
    {"Trigger...", "Trigger..."},
    {"Aufzeichnung abspielen", "Play recording"},
    {"Echtzeit (1x)...", "Real time (1x)..."},
    {"Zehnfach (10x)...", "Ten times (10x)..."},
    {"So schnell wie möglich...", "As fast as possible..."},
    {"Trigger", "Trigger"},
    {"Trigger aktiv", "Trigger on"},
    {"Wert", "Value"},
    {"Schwelle", "Threshold"},
    {"Richtung", "Direction"},
    {"steigend", "rising"},
    {"fallend", "falling"},
    {"beide", "both"},
    {"Messwerte davor", "Samples before"},
    {"Messwerte danach", "Samples after"},
    {"nur markieren", "only mark"},
    {"Messung anhalten", "stop measuring"},
    {"Aufzeichnung durchsuchen...", "Search recording..."},
    {"Ordner der Aufzeichnung", "Folder of the recording"},
};
} // namespace

QString RecordingTextOf(RecordingText text, int language)
{
    const int i = int(text);
    if (i < 0 || i >= int(RecordingText::Count)) return {};
    return QString::fromUtf8(language == 1 ? kTexts[i].en : kTexts[i].de);
}

} // namespace vmx::lang
