#pragma once
// The chart's own texts for pausing, following, navigating and exporting what it shows. Kept
// apart from the catalogue, whose numbering and texts stay as they are.

#include <QString>

namespace vmx::lang {

enum class ChartText {
    Pause,          // the pause button
    PauseHint,      // its tool tip
    Follow,         // the button back to the newest sample
    FollowHint,     // its tool tip
    TimeAxis,       // the option showing time of day under the chart
    TimeAxisHint,   // its tool tip
    ExportText,     // context menu: the visible range as a text file
    ExportWorkbook, // context menu: the visible range as a workbook
    OpenRecording,  // context menu: a recording to scroll back into
    CloseRecording, // context menu: scroll back into the store only
    TooWide,        // export refused: %1 samples in sight, at most %2
    Nothing,        // export refused: no sample in sight
    RecordingOpen,  // "%1 files, samples %2 .. %3"
    RecordingFailed,
    Paused, // status while paused
    Count
};

QString ChartTextOf(ChartText text, int language);

} // namespace vmx::lang
