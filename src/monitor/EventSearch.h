#pragma once

#include "monitor/MeasurementStore.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vmx::monitor {

// Bubble events in the store: places where OUT or BAvg reaches a threshold; per event the
// strongest sample of the N samples from its start.
class EventSearch {
public:
    enum class Criterion { QVROut, BubbleAvg };
    static constexpr int kGridRows = 81; // heading + 80 results
    static constexpr int kGridColumns = 6;
    static constexpr int kDefaultCount = 10;
    static constexpr int kDefaultThreshold = 50;

    struct Hit {
        int Position; // store position of the strongest sample
        int Index;
        int Out;
        int BAvg;
    };

    // The edit texts as the page has them: a text that is not a whole number gives the
    // default; a count below 1 would never move the scan on, so it gives the default too.
    static int CountFrom(const QString& text);
    static int ThresholdFrom(const QString& text);

    // All events of the store in order (the grid shows the first 80 of them).
    static std::vector<Hit> Search(const MeasurementStore& store, Criterion criterion, int count,
                                   int threshold);

    // The result grid: 81 rows of 6 cells, the heading in row 0, empty rows after the hits.
    static std::vector<QStringList> Grid(const std::vector<Hit>& hits);

    // Clipboard text of a grid: columns 0..3 of every row, each followed by a tab, the 4th
    // by CR LF instead.
    static QString ClipText(const std::vector<QStringList>& grid);
};

} // namespace vmx::monitor
