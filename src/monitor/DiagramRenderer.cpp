#include "monitor/DiagramRenderer.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <array>
#include <cstring>

namespace vmx::monitor {

namespace {
const QColor kBlack(0x00, 0x00, 0x00);
const QColor kGrey(0x80, 0x80, 0x80);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kLime(0x00, 0xFF, 0x00);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kYellow(0xFF, 0xFF, 0x00);
const QColor kWhite(0xFF, 0xFF, 0xFF);

// Text placed by its top-left corner, as the old canvas did.
void TextAt(QPainter& p, int x, int y, const QString& text, const QColor& colour)
{
    p.setPen(colour);
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

void HLine(QPainter& p, int x0, int x1, int y, const QColor& colour, int width)
{
    QPen pen(colour);
    pen.setWidth(width);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(x0, y, x1, y);
}

QFont ChartFont(int pointSize)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pointSize + 3);
    return f;
}
} // namespace

DiagramRenderer::DiagramRenderer(int width, int height)
    : background_(width, height, QImage::Format_RGB32), drawing_(width, height, QImage::Format_RGB32),
      font8_(ChartFont(8)), font12_(ChartFont(12))
{
    background_.fill(kBlack);
    drawing_.fill(kBlack);
    runs_.reserve(8192);
}

void DiagramRenderer::DrawBitmapSchedule(const Scale& scale)
{
    full_ = true;
    QPainter p(&background_);
    p.setFont(ChartFont(8));
    p.fillRect(background_.rect(), kBlack);
    QPen border(kGrey);
    border.setWidth(2);
    border.setJoinStyle(Qt::MiterJoin);
    p.setPen(border);
    p.drawRect(QRect(1, 1, background_.width() - 2, background_.height() - 2));

    TextAt(p, 3, 10, QStringLiteral("State"), kYellow);
    TextAt(p, 3, 27, QStringLiteral("Gain"), kYellow);
    for (int i = 0; i <= 5; ++i) {
        const bool zero = i == 5;
        HLine(p, 48, 690, 45 + 16 * i, zero ? kYellow : kGrey, zero ? 2 : 1);
        TextAt(p, 3, 40 + 16 * i, QString::asprintf("%2d", 5 - i), kYellow);
    }
    for (int i = 0; i <= 4; ++i) {
        const bool zero = i == 4;
        HLine(p, 48, 690, 160 + 32 * i, zero ? kYellow : kGrey, zero ? 2 : 1);
        TextAt(p, 3, 155 + 32 * i, QString::asprintf("%2d", 256 - 64 * i), kYellow);
    }
    TextAt(p, 3, 142, QStringLiteral("Ampl/"), kYellow);
    TextAt(p, 33, 142, QStringLiteral("AmplMax"), kLime);
    const int m = scale.MaxBubble;
    for (int i = 0; i <= 4; ++i) {
        const bool zero = i == 4;
        HLine(p, 48, 690, 360 + 32 * i, zero ? kYellow : kGrey, zero ? 2 : 1);
        TextAt(p, 3, 355 + 32 * i, QString::asprintf("%2d", m - i * m / 4), kYellow);
    }
    TextAt(p, 3, 342, QStringLiteral("OUT/"), kYellow);
    TextAt(p, 43, 342, QStringLiteral("BubbleAvg"), kRed);
    TextAt(p, 600, 335, QStringLiteral("Limit= "), kBlue);
}

namespace {
// Where texts stand, restored whole: the axis labels, the alarm count, the signal.
constexpr int kTextRects[3][4] = {{0, 494, 740, 27}, {692, 3, 46, 32}, {560, 294, 178, 58}};
} // namespace

void DiagramRenderer::Text(int x, int y, const QString& text, const QColor& colour, bool large)
{
    const QString key = text + QLatin1Char(large ? 'L' : 'S') + QString::number(colour.rgb(), 16);
    auto it = texts_.find(key);
    if (it == texts_.end()) {
        const QFont& f = large ? font12_ : font8_;
        const QFontMetrics fm(f);
        QImage img(fm.horizontalAdvance(text) + 2, fm.height() + 1, QImage::Format_RGB32);
        img.fill(kBlack);
        QPainter p(&img);
        p.setFont(f);
        TextAt(p, 0, 0, text, colour);
        p.end();
        it = texts_.insert(key, img);
    }
    const QImage& img = *it;
    const int w = drawing_.width(), h = drawing_.height();
    const int bpl = int(drawing_.bytesPerLine() / 4);
    QRgb* dst = reinterpret_cast<QRgb*>(drawing_.bits());
    const int iw = img.width(), ih = img.height();
    for (int r = 0; r < ih; ++r) {
        const int yy = y + r;
        if (yy < 0 || yy >= h) continue;
        const QRgb* src = reinterpret_cast<const QRgb*>(img.constScanLine(r));
        for (int c = 0; c < iw; ++c) {
            const int xx = x + c;
            // Only the glyphs' own pixels: the box around them keeps what is below.
            if (xx >= 0 && xx < w && (src[c] & 0xFFFFFF) != 0) dst[yy * bpl + xx] = src[c];
        }
    }
}

void DiagramRenderer::Restore()
{
    const int w = drawing_.width(), h = drawing_.height();
    if (full_) {
        std::memcpy(drawing_.bits(), background_.constBits(), size_t(background_.sizeInBytes()));
        full_ = false;
    } else {
        const int bpl = int(drawing_.bytesPerLine() / 4);
        QRgb* dst = reinterpret_cast<QRgb*>(drawing_.bits());
        const QRgb* src = reinterpret_cast<const QRgb*>(background_.constBits());
        if (thresholdRow_ >= 0 && thresholdRow_ < h && w > 48)
            std::memcpy(dst + thresholdRow_ * bpl + 48, src + thresholdRow_ * bpl + 48,
                        size_t(std::min(w, 691) - 48) * sizeof(QRgb));
        for (const Run& r : runs_)
            for (int y = r.y0; y <= r.y1; ++y) dst[y * bpl + r.x] = src[y * bpl + r.x];
        for (const auto& r : kTextRects)
            for (int y = std::max(0, r[1]); y < std::min(h, r[1] + r[3]); ++y)
                std::memcpy(dst + y * bpl + r[0], src + y * bpl + r[0],
                            size_t(std::max(0, std::min(w, r[0] + r[2]) - r[0])) * sizeof(QRgb));
    }
    runs_.clear();
    thresholdRow_ = -1;
}

void DiagramRenderer::DrawDiagram(const MeasurementStore& store, const Scale& scale, int signal)
{
    if (drawing_.size() != background_.size() || drawing_.format() != background_.format()) {
        drawing_ = QImage(background_.size(), background_.format());
        full_ = true;
    }
    Restore();
    const int s = WindowStart(store.index());
    const int w = drawing_.width(), h = drawing_.height();
    const int bpl = int(drawing_.bytesPerLine() / 4);
    QRgb* px = reinterpret_cast<QRgb*>(drawing_.bits());

    // Everything but the texts is written straight into the pixels, column runs marked so the
    // next chart can put the background back where this one drew.
    auto vline = [&](int x, int y0, int y1, QRgb c) {
        if (x < 0 || x >= w) return;
        if (y0 > y1) std::swap(y0, y1);
        y0 = std::max(0, y0);
        y1 = std::min(h - 1, y1);
        if (y0 > y1) return;
        runs_.push_back(Run{short(x), short(y0), short(y1)});
        for (int y = y0; y <= y1; ++y) px[y * bpl + x] = c;
    };
    for (int k = (s + 49) / 50 * 50; k - s <= kSamples; k += 50) {
        const int x = k - s + 50;
        const QRgb c = (k == 0 ? kRed : kGrey).rgb();
        vline(x, 355, 493, c);
        vline(x, 155, 293, c);
        vline(x, 40, 130, c);
        Text(k - s + 40, 498, QString::asprintf("%5d", k), kYellow);
    }
    Text(720, 498, QStringLiteral("Ix"), kYellow);

    const int t = scale.Threshold;
    const int m = std::max(1, scale.MaxBubble);
    std::array<std::array<int, kSamples>, 5> ys{};
    std::array<QRgb, kSamples> strip{};
    const QRgb grey = kGrey.rgb(), blue = kBlue.rgb(), green = kGreen.rgb(), red = kRed.rgb();
    for (int i = 0; i < kSamples; ++i) {
        const int idx = s + i;
        const bool beyond = idx > MeasurementStore::kLastIndex;
        const MeasSample& v = store.at(std::min(idx, MeasurementStore::kLastIndex));
        const bool empty = beyond || v.Valid == 0;
        const MeasSample z = empty ? EmptySample() : v;
        strip[size_t(i)] = empty ? grey : (z.OUT > 240 ? blue : (z.OUT < t ? green : red));
        ys[0][size_t(i)] = 125 - std::min(80, 16 * z.Gain);
        ys[1][size_t(i)] = 288 - std::min(128, z.Ampl / 2);
        ys[2][size_t(i)] = 288 - std::min(128, z.AMax / 2);
        ys[3][size_t(i)] = 488 - std::min(135, z.OUT * 128 / m);
        ys[4][size_t(i)] = 488 - std::min(135, z.BAvg * 128 / m);
    }
    // The strip covers all its columns every time, so it needs no restoring.
    const int stripEnd = std::min(w, 50 + kSamples);
    for (int y = 10; y <= 28 && y < h; ++y)
        if (stripEnd > 50) std::memcpy(px + y * bpl + 50, strip.data(), size_t(stripEnd - 50) * sizeof(QRgb));
    auto poly = [&](const std::array<int, kSamples>& y, const QColor& colour) {
        const QRgb c = colour.rgb();
        // One pixel step in x per sample: each segment is two vertical runs that meet halfway.
        // Both runs that fall into a column contain that column's own point, so the column is
        // one run from the lowest to the highest of them.
        std::array<int, kSamples> lo = y, hi = y;
        auto cover = [&](int j, int a, int b) {
            lo[size_t(j)] = std::min({lo[size_t(j)], a, b});
            hi[size_t(j)] = std::max({hi[size_t(j)], a, b});
        };
        for (int i = 0; i + 1 < kSamples; ++i) {
            const int y0 = y[size_t(i)], y1 = y[size_t(i) + 1];
            const int mid = (y0 + y1) / 2;
            cover(i, y0, mid);
            cover(i + 1, mid + (y1 > y0 ? 1 : (y1 < y0 ? -1 : 0)), y1);
        }
        for (int j = 0; j < kSamples; ++j) vline(50 + j, lo[size_t(j)], hi[size_t(j)], c);
    };
    poly(ys[0], kLime);
    poly(ys[1], kYellow);
    poly(ys[2], kLime);
    const int e = t * 128 / m;
    if (e < 130 && 488 - e >= 0 && 488 - e < h) {
        thresholdRow_ = 488 - e;
        QRgb* line = px + thresholdRow_ * bpl;
        for (int x = 48; x <= 690 && x < w; ++x) line[x] = kBlue.rgb();
    }
    poly(ys[3], kYellow);
    poly(ys[4], kRed);

    Text(700, 15, QString::number(store.alarmCount()), kRed);
    if (signal != -1) Text(580, 300, QString::asprintf("Signal:  %3d", signal), kWhite, true);
}

QString DiagramRenderer::HintAt(int x, int storeIndex)
{
    return QStringLiteral("Ix = ") + QString::number(std::max(0, x + WindowStart(storeIndex) - 50));
}

} // namespace vmx::monitor
