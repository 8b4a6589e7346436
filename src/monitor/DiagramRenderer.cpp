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
const QColor kLightBlue(0x50, 0xA0, 0xFF);
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
    textPixels_.reserve(4096);
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
    // Each second legend word starts where the first one ends, whatever the font's widths.
    const auto after = [&p](const QString& first) {
        return 3 + p.fontMetrics().horizontalAdvance(first) + 1;
    };
    TextAt(p, 3, 142, QStringLiteral("Ampl/"), kYellow);
    TextAt(p, after(QStringLiteral("Ampl/")), 142, QStringLiteral("AmplMax"), kLime);
    const int m = scale.MaxBubble;
    for (int i = 0; i <= 4; ++i) {
        const bool zero = i == 4;
        HLine(p, 48, 690, 360 + 32 * i, zero ? kYellow : kGrey, zero ? 2 : 1);
        TextAt(p, 3, 355 + 32 * i, QString::asprintf("%2d", m - i * m / 4), kYellow);
    }
    TextAt(p, 3, 342, QStringLiteral("OUT/"), kYellow);
    TextAt(p, after(QStringLiteral("OUT/")), 342, QStringLiteral("BubbleAvg"), kRed);
    // Ends left of the threshold field that the window lays over the diagram at x 640, in a
    // blue light enough to read on black.
    const QString limit = QStringLiteral("Limit=");
    TextAt(p, 636 - p.fontMetrics().horizontalAdvance(limit), 335, limit, kLightBlue);
}

void DiagramRenderer::NoteBackground()
{
    const int w = background_.width(), h = background_.height();
    rowFill_.assign(size_t(std::max(0, h)), 0);
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(background_.constScanLine(y));
        const int x0 = std::min(w, 48), x1 = std::min(w, 691);
        if (x0 >= x1) continue;
        if (std::all_of(row + x0, row + x1, [&](QRgb c) { return c == row[x0]; }))
            rowFill_[size_t(y)] = row[x0];
    }
}

void DiagramRenderer::Text(int x, int y, TextKind kind, int value, QRgb colour, bool large)
{
    const quint64 key =
        (quint64(kind) << 58) | (quint64(large) << 57) | (quint64(colour & 0xFFFFFF) << 32) | quint32(value);
    auto it = texts_.find(key);
    if (it == texts_.end()) {
        if (texts_.size() > 4096) texts_.clear(); // alarm counts and indexes are unbounded
        QString text;
        switch (kind) {
        case TextKind::Index:
            text = QString::asprintf("%5d", value);
            break;
        case TextKind::IxLabel:
            text = QStringLiteral("Ix");
            break;
        case TextKind::Alarms:
            text = QString::number(value);
            break;
        case TextKind::Signal:
            text = QString::asprintf("Signal:  %3d", value);
            break;
        }
        const QFont& f = large ? font12_ : font8_;
        const QFontMetrics fm(f);
        QImage img(fm.horizontalAdvance(text) + 2, fm.height() + 1, QImage::Format_RGB32);
        img.fill(kBlack);
        QPainter p(&img);
        p.setFont(f);
        TextAt(p, 0, 0, text, QColor::fromRgb(colour));
        p.end();
        std::vector<GlyphPixel> glyph;
        for (int r = 0; r < img.height(); ++r) {
            const QRgb* src = reinterpret_cast<const QRgb*>(img.constScanLine(r));
            // Only the glyphs' own pixels: the box around them keeps what is below.
            for (int c = 0; c < img.width(); ++c)
                if ((src[c] & 0xFFFFFF) != 0) glyph.push_back(GlyphPixel{short(c), short(r), src[c]});
        }
        it = texts_.emplace(key, std::move(glyph)).first;
    }
    const int w = drawing_.width(), h = drawing_.height();
    const int bpl = int(drawing_.bytesPerLine() / 4);
    QRgb* dst = reinterpret_cast<QRgb*>(drawing_.bits());
    for (const GlyphPixel& g : it->second) {
        const int xx = x + g.dx, yy = y + g.dy;
        if (xx < 0 || xx >= w || yy < 0 || yy >= h) continue;
        const int o = yy * bpl + xx;
        dst[o] = g.colour;
        textPixels_.push_back(o);
    }
}

void DiagramRenderer::Restore()
{
    const int w = drawing_.width(), h = drawing_.height();
    if (full_) {
        std::memcpy(drawing_.bits(), background_.constBits(), size_t(background_.sizeInBytes()));
        NoteBackground();
        full_ = false;
    } else if (oldValid_) {
        const int bpl = int(drawing_.bytesPerLine() / 4);
        QRgb* dst = reinterpret_cast<QRgb*>(drawing_.bits());
        const QRgb* src = reinterpret_cast<const QRgb*>(background_.constBits());
        const QRgb* fill = rowFill_.data();
        if (thresholdRow_ >= 0 && thresholdRow_ < h && w > 48)
            std::memcpy(dst + thresholdRow_ * bpl + 48, src + thresholdRow_ * bpl + 48,
                        size_t(std::min(w, 691) - 48) * sizeof(QRgb));
        for (const int o : textPixels_)
            dst[o] = src[o];
        auto put = [&](int x, int y0, int y1) {
            for (int y = y0, o = y0 * bpl + x; y <= y1; ++y, o += bpl)
                dst[o] = fill[y] != 0 ? fill[y] : src[o];
        };
        for (const short x : oldGrid_)
            for (const auto& r : {std::pair{355, 493}, std::pair{155, 293}, std::pair{40, 130}})
                put(x, std::max(0, r.first), std::min(h - 1, r.second));
        // This chart's runs of the same band are drawn anyway: only the rest of the old ones
        // needs the background.
        constexpr int kPartner[5] = {0, 2, 1, 4, 3};
        const Runs& oldRuns = runs_[size_t(1 - fresh_)];
        const Runs& newRuns = runs_[size_t(fresh_)];
        for (int c = 0; c < 5; ++c) {
            const auto &olo = oldRuns.lo[size_t(c)], &ohi = oldRuns.hi[size_t(c)];
            const auto &nlo = newRuns.lo[size_t(c)], &nhi = newRuns.hi[size_t(c)];
            const auto &plo = newRuns.lo[size_t(kPartner[c])], &phi = newRuns.hi[size_t(kPartner[c])];
            for (int j = 0; j < kSamples; ++j) {
                const int a = olo[size_t(j)], b = ohi[size_t(j)];
                if (a > b) continue;
                const int x = 50 + j;
                int h0 = nlo[size_t(j)], h1 = nhi[size_t(j)], k0 = plo[size_t(j)], k1 = phi[size_t(j)];
                if (k0 < h0) {
                    std::swap(h0, k0);
                    std::swap(h1, k1);
                }
                // Holes in order h, k (either may be empty): [a,b] minus both.
                int y = a;
                auto upTo = [&](int end) {
                    if (end > b) end = b;
                    if (y <= end) put(x, y, end);
                };
                if (h0 <= h1) {
                    upTo(h0 - 1);
                    y = std::max(y, h1 + 1);
                }
                if (k0 <= k1) {
                    upTo(k0 - 1);
                    y = std::max(y, k1 + 1);
                }
                upTo(b);
            }
        }
    }
    textPixels_.clear();
    thresholdRow_ = -1;
}

void DiagramRenderer::DrawDiagram(const MeasurementStore& store, const Scale& scale, int signal)
{
    if (drawing_.size() != background_.size() || drawing_.format() != background_.format()) {
        drawing_ = QImage(background_.size(), background_.format());
        full_ = true;
    }
    if (full_) oldValid_ = false;
    const int s = WindowStart(store.index());
    const int w = drawing_.width(), h = drawing_.height();
    const int bpl = int(drawing_.bytesPerLine() / 4);

    const int t = scale.Threshold;
    const int m = std::max(1, scale.MaxBubble);
    std::array<std::array<int, kSamples>, 5> ys{};
    std::array<QRgb, kSamples> strip{};
    const QRgb grey = kGrey.rgb(), blue = kBlue.rgb(), green = kGreen.rgb(), red = kRed.rgb();
    Runs& newRuns = runs_[size_t(fresh_)];
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
    // One pixel step in x per sample: each segment is two vertical runs that meet halfway. Both
    // runs that fall into a column contain that column's own point, so the column is one run
    // from the lowest to the highest of them.
    for (size_t c = 0; c < 5; ++c) {
        const auto& y = ys[c];
        auto& lo = newRuns.lo[c];
        auto& hi = newRuns.hi[c];
        for (int j = 0; j < kSamples; ++j)
            lo[size_t(j)] = hi[size_t(j)] = short(y[size_t(j)]);
        auto cover = [&](int j, int a, int b) {
            lo[size_t(j)] = short(std::min({int(lo[size_t(j)]), a, b}));
            hi[size_t(j)] = short(std::max({int(hi[size_t(j)]), a, b}));
        };
        for (int i = 0; i + 1 < kSamples; ++i) {
            const int y0 = y[size_t(i)], y1 = y[size_t(i) + 1];
            const int mid = (y0 + y1) / 2;
            cover(i, y0, mid);
            cover(i + 1, mid + (y1 > y0 ? 1 : (y1 < y0 ? -1 : 0)), y1);
        }
        for (int j = 0; j < kSamples; ++j) {
            lo[size_t(j)] = short(std::max(0, int(lo[size_t(j)])));
            hi[size_t(j)] = short(std::min(h - 1, int(hi[size_t(j)])));
            if (50 + j >= w) lo[size_t(j)] = short(hi[size_t(j)] + 1);
        }
    }
    newGrid_.clear();
    for (int k = (s + 49) / 50 * 50; k - s <= kSamples; k += 50)
        if (k - s + 50 < w) newGrid_.push_back(short(k - s + 50));

    Restore();
    QRgb* px = reinterpret_cast<QRgb*>(drawing_.bits());
    auto vline = [&](int x, int y0, int y1, QRgb c) {
        for (int y = y0, o = y0 * bpl + x; y <= y1; ++y, o += bpl)
            px[o] = c;
    };
    for (int k = (s + 49) / 50 * 50; k - s <= kSamples; k += 50) {
        const int x = k - s + 50;
        if (x < w) {
            const QRgb c = (k == 0 ? kRed : kGrey).rgb();
            vline(x, 355, std::min(h - 1, 493), c);
            vline(x, 155, std::min(h - 1, 293), c);
            vline(x, 40, std::min(h - 1, 130), c);
        }
        Text(k - s + 40, 498, TextKind::Index, k, kYellow.rgb());
    }
    Text(720, 498, TextKind::IxLabel, 0, kYellow.rgb());

    // The strip covers all its columns every time, so it needs no restoring.
    const int stripEnd = std::min(w, 50 + kSamples);
    for (int y = 10; y <= 28 && y < h; ++y)
        if (stripEnd > 50) std::memcpy(px + y * bpl + 50, strip.data(), size_t(stripEnd - 50) * sizeof(QRgb));
    auto poly = [&](size_t c, const QColor& colour) {
        const QRgb rgb = colour.rgb();
        for (int j = 0; j < kSamples; ++j)
            vline(50 + j, newRuns.lo[c][size_t(j)], newRuns.hi[c][size_t(j)], rgb);
    };
    poly(0, kLime);
    poly(1, kYellow);
    poly(2, kLime);
    const int e = t * 128 / m;
    if (e < 130 && 488 - e >= 0 && 488 - e < h) {
        thresholdRow_ = 488 - e;
        QRgb* line = px + thresholdRow_ * bpl;
        for (int x = 48; x <= 690 && x < w; ++x)
            line[x] = blue;
    }
    poly(3, kYellow);
    poly(4, kRed);

    Text(700, 15, TextKind::Alarms, store.alarmCount(), kRed.rgb());
    if (signal != -1) Text(580, 300, TextKind::Signal, signal, kWhite.rgb(), true);

    fresh_ = 1 - fresh_;
    std::swap(oldGrid_, newGrid_);
    oldValid_ = true;
    // Mark lines are not among what the next chart puts back: it starts from the background.
    if (DrawMarks(double(s) + double(marksBase_), 1.0)) full_ = true;
}

QString DiagramRenderer::HintAt(int x, int storeIndex)
{
    return QStringLiteral("Ix = ") + QString::number(std::max(0, x + WindowStart(storeIndex) - 50));
}

} // namespace vmx::monitor
