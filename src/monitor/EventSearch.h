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

    // The search over a sequence of samples in order, one at a time: the store's slots, or
    // the rows of a recording that no store could hold.
    class Scanner {
    public:
        Scanner(Criterion criterion, int count, int threshold)
            : criterion_(criterion), count_(count), threshold_(threshold)
        {
        }
        // The sample at `position`; empty ones (Valid 0) start no event.
        void Feed(int position, const MeasSample& s);
        // The end of the sequence: an event cut short by it is reported too.
        void Finish();
        std::vector<Hit> hits;

    private:
        int Value(const MeasSample& s) const { return criterion_ == Criterion::QVROut ? s.OUT : s.BAvg; }
        Criterion criterion_;
        int count_;
        int threshold_;
        int inWindow_ = 0; // samples of the event still to look at
        int skip_ = 0;     // samples still to pass over after it
        int bestPosition_ = 0;
        int bestValue_ = 0;
        MeasSample best_{};
    };

    // All events of the store in order (the grid shows the first 80 of them).
    static std::vector<Hit> Search(const MeasurementStore& store, Criterion criterion, int count,
                                   int threshold);
    // All events of the rows of a recording's files, in order (Position: the row's number from
    // 0, Index: its index column). False when a file could not be read whole.
    static bool SearchFiles(const QStringList& files, Criterion criterion, int count, int threshold,
                            std::vector<Hit>& hits);

    // The result grid: 81 rows of 6 cells, the heading in row 0, empty rows after the hits.
    static std::vector<QStringList> Grid(const std::vector<Hit>& hits);

    // Clipboard text of a grid: columns 0..3 of every row, each followed by a tab, the 4th
    // by CR LF instead.
    static QString ClipText(const std::vector<QStringList>& grid);
};

} // namespace vmx::monitor
