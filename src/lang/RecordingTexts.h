#pragma once
// The program's own texts for recording, trigger and replay, in both languages. Kept apart
// from the catalogue, whose numbering and texts stay as they are.

#include <QString>

namespace vmx::lang {

enum class RecordingText {
    Status,          // "Aufzeichnung: %1, %2, %3" (file, size, time recorded)
    WriteFailed,     // the recording stopped on a write error (%1: the system's reason)
    FallingBehind,   // the recording stopped: the writer fell too far behind
    StoreFullEnded,  // the recording ended with the store full under "Stopp"
    CannotStart,     // the folder cannot be made or written (%1)
    Stopped,         // "Aufzeichnung beendet: %1 Messwerte in %2 Dateien"
    Replay,          // "Wiedergabe %1 (%2)" (file, speed)
    ReplayEnded,     // "Wiedergabe beendet: %1 Messwerte"
    ReplayCantRead,  // a recording file that cannot be read (%1)
    TriggerFired,    // "Trigger bei Ix %1: %2 = %3"
    TriggerNotSaved, // a mark's snippet or events line not written (%1: index, %2: the file or folder)
    MenuStart,       // menu "Messung": start recording
    MenuStop,        // menu "Messung": stop recording
    MenuTrigger,     // menu "Messung": the trigger dialog
    MenuReplay,      // menu "Datei": play a recording (a submenu of the speeds)
    SpeedReal,       // its items: 1x, 10x, as fast as possible
    SpeedFast,
    SpeedMax,
    TriggerTitle, // the trigger dialog
    TriggerOn,
    TriggerValue,
    TriggerThreshold,
    TriggerDirection,
    Rising,
    Falling,
    Either,
    Before,
    After,
    OnlyMark,
    StopAcquisition,
    SearchRecording, // the event search page: search a recording file
    RecordingFolder, // the folder dialog's title
    Count
};

QString RecordingTextOf(RecordingText text, int language);

} // namespace vmx::lang
