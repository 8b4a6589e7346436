#pragma once

#include "monitor/MeasurementStore.h"

#include <QFont>
#include <QHash>
#include <QImage>

#include <array>
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

    const QImage& background() const { return background_; }
    const QImage& image() const { return drawing_; }

    // First sample shown for a store index.
    static int WindowStart(int storeIndex) { return storeIndex >= kSamples ? storeIndex - kSamples : 0; }
    // The hint text for the mouse at x.
    static QString HintAt(int x, int storeIndex);

private:
    // Text by its top-left corner, from a cache of pre-rendered texts: the chart's texts stand
    // on black, and the painter's text path costs more than all of the chart's pixels.
    void Text(int x, int y, const QString& text, const QColor& colour, bool large = false);
    // Puts back the background where the last chart drew (or everything after a new background).
    void Restore();

    QImage background_;
    QImage drawing_;
    QFont font8_;
    QFont font12_;
    QHash<QString, QImage> texts_;
    // The column runs the last chart drew (the state strip is drawn whole every time).
    struct Run {
        short x, y0, y1;
    };
    std::vector<Run> runs_;
    int thresholdRow_ = -1; // the threshold line, drawn and put back as one row
    bool full_ = true;
};

} // namespace vmx::monitor
