#pragma once

#include "monitor/ChartView.h"
#include "monitor/MeasurementStore.h"

#include <QFont>
#include <QImage>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vmx::monitor {

// Paints the strip chart: a background of axes, grid and labels that changes only with the
// settings, and the chart of the 640 samples ending at the store index on top of it.
class DiagramRenderer {
public:
    static constexpr int kWidth = 740;
    static constexpr int kHeight = 521;
    static constexpr int kSamples = 640;

    DiagramRenderer(int width = kWidth, int height = kHeight);

    struct Scale {
        int MaxBubble = 250; // M
        int Threshold = 240; // T
    };

    // Redraws the background (axes, grid lines, labels).
    void DrawBitmapSchedule(const Scale& scale);
    // Redraws the chart from the store; `signal` is the current sample's Signal (-1: none).
    void DrawDiagram(const MeasurementStore& store, const Scale& scale, int signal);

    // Redraws the chart as the user navigated it: the view's samples, one column a pixel with
    // the extremes of the samples it covers, the grid where labels fit, index or time of day
    // under it. `alarms` as the default chart shows it.
    void DrawColumns(const ChartView& view, const ChartSource& source, const Scale& scale, int signal,
                     int alarms);

    // Vertical lines at these samples (absolute indices; the store's slot 0 is `storeBase`), on
    // either chart.
    void SetMarks(std::vector<std::int64_t> marks, std::int64_t storeBase = 0);
    const std::vector<std::int64_t>& marks() const { return marks_; }
    // What the last navigated chart showed: per column its samples' extremes, and the axis
    // labels with the pixel column of their grid line.
    const std::vector<CurveRange>& columns() const { return columns_; }
    struct AxisLabel {
        int x;
        std::int64_t sample;
        QString text;
    };
    const std::vector<AxisLabel>& axisLabels() const { return axisLabels_; }

    const QImage& background() const { return background_; }
    const QImage& image() const { return drawing_; }

    // First sample shown for a store index.
    static int WindowStart(int storeIndex) { return storeIndex >= kSamples ? storeIndex - kSamples : 0; }
    // The hint text for the mouse at x.
    static QString HintAt(int x, int storeIndex);

private:
    // Texts by their top-left corner. The chart's texts stand on black and the painter's text
    // path costs more than all of the chart's pixels, so each text is rendered once and kept as
    // the list of its glyph pixels, found by a number key without building a string.
    enum class TextKind : quint8 { Index, IxLabel, Alarms, Signal };
    void Text(int x, int y, TextKind kind, int value, QRgb colour, bool large = false);
    // Puts back the background where the last chart drew (or everything after a new background),
    // except where this chart draws anyway.
    void Restore();
    // Notes which background rows are one colour across the chart.
    void NoteBackground();

    struct GlyphPixel {
        short dx, dy;
        QRgb colour;
    };
    QImage background_;
    QImage drawing_;
    QFont font8_;
    QFont font12_;
    std::unordered_map<quint64, std::vector<GlyphPixel>> texts_;
    // Per background row: its colour where the row is one colour across the chart's columns,
    // else 0 (never a pixel of an opaque image), so restoring mostly needs no read.
    std::vector<QRgb> rowFill_;
    // What the last chart drew: per curve and column its run (lo > hi: none), the grid columns,
    // the threshold row and the texts' pixels. The state strip is drawn whole every time.
    struct Runs {
        std::array<std::array<short, kSamples>, 5> lo, hi;
    };
    std::array<Runs, 2> runs_{};
    int fresh_ = 0; // which of runs_ this chart fills; the other holds the last one
    bool oldValid_ = false;
    std::vector<short> oldGrid_, newGrid_;
    std::vector<int> textPixels_;
    int thresholdRow_ = -1; // the threshold line, drawn and put back as one row
    bool full_ = true;
    // Draws the marks that fall on the chart for column = (mark - first) / per; true if any.
    bool DrawMarks(double first, double per);
    std::vector<std::int64_t> marks_;
    std::int64_t marksBase_ = 0;
    std::vector<CurveRange> columns_;
    std::vector<AxisLabel> axisLabels_;
};

} // namespace vmx::monitor
