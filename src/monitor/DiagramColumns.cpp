// The navigated chart: the samples of a paused, zoomed or panned view, one pixel column each
// showing the extremes of the samples it covers, so an hour draws as fast as 640 samples.
#include "monitor/DiagramRenderer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vmx::monitor {

namespace {
constexpr QRgb kGreyRgb = 0xFF808080, kRedRgb = 0xFFFF0000, kLimeRgb = 0xFF00FF00, kGreenRgb = 0xFF008000;
constexpr QRgb kBlueRgb = 0xFF0000FF, kYellowRgb = 0xFFFFFF00, kWhiteRgb = 0xFFFFFFFF;

// A grid step of 1, 2 or 5 times a power of ten samples, at least `least` samples.
double NiceStep(double least)
{
    double p = 1;
    while (p * 10 <= least)
        p *= 10;
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (p * m >= least) return p * m;
    return p * 10;
}

QString Trimmed(double v)
{
    return std::abs(v - std::round(v)) < 0.05 ? QString::number(qint64(std::round(v)))
                                              : QString::number(v, 'f', 1);
}
} // namespace

void DiagramRenderer::SetMarks(std::vector<std::int64_t> marks, std::int64_t storeBase)
{
    std::sort(marks.begin(), marks.end());
    marks_ = std::move(marks);
    marksBase_ = storeBase;
    full_ = true;
}

bool DiagramRenderer::DrawMarks(double first, double per)
{
    const int w = drawing_.width(), h = drawing_.height();
    const int bpl = int(drawing_.bytesPerLine() / 4);
    QRgb* px = reinterpret_cast<QRgb*>(drawing_.bits());
    bool any = false;
    for (const std::int64_t m : marks_) {
        const int x = 50 + int(std::floor((double(m) - first) / per));
        if (x < 50 || x >= 50 + kSamples || x >= w) continue;
        for (int y = 6; y <= 493 && y < h; ++y)
            px[y * bpl + x] = kWhiteRgb;
        any = true;
    }
    return any;
}

void DiagramRenderer::DrawColumns(const ChartView& view, const ChartSource& source, const Scale& scale,
                                  int signal, int alarms)
{
    if (drawing_.size() != background_.size() || drawing_.format() != background_.format())
        drawing_ = QImage(background_.size(), background_.format());
    std::memcpy(drawing_.bits(), background_.constBits(), size_t(background_.sizeInBytes()));
    // The default chart puts back only what it drew last: after this one it starts afresh.
    full_ = true;
    oldValid_ = false;

    columns_.resize(kSamples);
    source.Columns(view, columns_);

    const int w = drawing_.width(), h = drawing_.height();
    const int bpl = int(drawing_.bytesPerLine() / 4);
    QRgb* px = reinterpret_cast<QRgb*>(drawing_.bits());
    auto vline = [&](int x, int y0, int y1, QRgb c) {
        if (x < 0 || x >= w) return;
        if (y0 > y1) std::swap(y0, y1);
        y0 = std::max(0, y0);
        y1 = std::min(h - 1, y1);
        for (int y = y0, o = y0 * bpl + x; y <= y1; ++y, o += bpl)
            px[o] = c;
    };

    const double first = view.first(), per = view.per();
    const double z = view.valueZoom();
    const int t = scale.Threshold;
    const int m = std::max(1, scale.MaxBubble);

    QPainter p(&drawing_);
    p.setFont(font8_);
    const int ascent = p.fontMetrics().ascent();
    // Zoomed values: the band labels say what the lines stand for now.
    if (z != 1.0) {
        p.setPen(QColor::fromRgb(kYellowRgb));
        // Over each old label's digits only: the band titles just above them stay.
        const auto label = [&](int y, double v) {
            p.fillRect(QRect(3, y + 2, 44, ascent - 1), Qt::black);
            p.drawText(3, y + ascent, Trimmed(v));
        };
        for (int i = 0; i <= 5; ++i)
            label(40 + 16 * i, (5 - i) / z);
        for (int i = 0; i <= 4; ++i) {
            label(155 + 32 * i, (256 - 64 * i) / z);
            label(355 + 32 * i, (m - i * m / 4) / z);
        }
    }

    // Vertical grid where its labels fit: index, or the time of day of the sample there.
    const double spacing = view.timeAxis() ? 80 : 60;
    const double step = NiceStep(std::max(1.0, spacing * per));
    p.setPen(QColor::fromRgb(kYellowRgb));
    axisLabels_.clear();
    for (double k = std::ceil(first / step) * step; (k - first) / per < kSamples; k += step) {
        const int x = 50 + int(std::floor((k - first) / per));
        const QRgb c = k == 0 ? kRedRgb : kGreyRgb;
        vline(x, 355, 493, c);
        vline(x, 155, 293, c);
        vline(x, 40, 130, c);
        QString label;
        if (view.timeAxis()) {
            const double days = source.TimeAt(std::int64_t(k));
            label = days > 0 ? FromSampleTime(days).toString(QStringLiteral("hh:mm:ss"))
                             : QStringLiteral("--:--:--");
        } else {
            label = QString::number(qint64(k));
        }
        axisLabels_.push_back(AxisLabel{x, std::int64_t(k), label});
        const int tw = p.fontMetrics().horizontalAdvance(label);
        p.drawText(std::clamp(x - tw / 2, 48, w - tw - 22), 498 + ascent, label);
    }
    p.drawText(720, 498 + ascent, view.timeAxis() ? QStringLiteral("t") : QStringLiteral("Ix"));
    p.end();

    // State strip: a column shows the worst state of its samples.
    for (int j = 0; j < kSamples && 50 + j < w; ++j) {
        const CurveRange& r = columns_[size_t(j)];
        const QRgb c = !r.any ? kGreyRgb : (r.hi[3] > 240 ? kBlueRgb : (r.hi[3] >= t ? kRedRgb : kGreenRgb));
        vline(50 + j, 10, 28, c);
    }

    const auto y = [&](int curve, int v) {
        switch (curve) {
        case 0:
            return 125 - int(std::min(80.0, 16.0 * v * z));
        case 1:
        case 2:
            return 288 - int(std::min(128.0, (v / 2) * z));
        default:
            return 488 - int(std::min(135.0, (v * 128 / m) * z));
        }
    };
    // Samples closer than this many columns are joined; farther apart is a gap in the data.
    const int join = std::max(1, int(std::ceil(1.0 / per)));
    auto curve = [&](int c, QRgb colour) {
        int prev = -1, prevTop = 0, prevBottom = 0;
        for (int j = 0; j < kSamples; ++j) {
            const CurveRange& r = columns_[size_t(j)];
            if (!r.any) continue;
            const int top = y(c, r.hi[size_t(c)]), bottom = y(c, r.lo[size_t(c)]);
            vline(50 + j, top, bottom, colour);
            if (prev >= 0 && j - prev <= join) {
                // From the near end of the last column's run to this one's, straight.
                const int from = prevBottom < top ? prevBottom : (prevTop > bottom ? prevTop : -1);
                const int to = prevBottom < top ? top : bottom;
                if (from >= 0) {
                    const int dx = j - prev;
                    for (int k = 1; k <= dx; ++k) {
                        const int ya = from + (to - from) * (k - 1) / dx, yb = from + (to - from) * k / dx;
                        vline(50 + prev + k, ya, yb, colour);
                    }
                } else {
                    const int mid = (std::max(top, prevTop) + std::min(bottom, prevBottom)) / 2;
                    for (int k = 1; k < j - prev; ++k)
                        vline(50 + prev + k, mid, mid, colour);
                }
            }
            prev = j;
            prevTop = top;
            prevBottom = bottom;
        }
    };
    curve(0, kLimeRgb);
    curve(1, kYellowRgb);
    curve(2, kLimeRgb);
    const int e = int(t * 128 / m * z);
    if (e < 130 && 488 - e >= 0 && 488 - e < h)
        for (int x = 48; x <= 690 && x < w; ++x)
            px[(488 - e) * bpl + x] = kBlueRgb;
    curve(3, kYellowRgb);
    curve(4, kRedRgb);

    DrawMarks(first, per);
    textPixels_.clear();
    Text(700, 15, TextKind::Alarms, alarms, kRedRgb);
    if (signal != -1) Text(580, 300, TextKind::Signal, signal, kWhiteRgb, true);
    textPixels_.clear();
}

} // namespace vmx::monitor
