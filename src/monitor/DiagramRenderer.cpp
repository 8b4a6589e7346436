#include "monitor/DiagramRenderer.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

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
    const QFontMetrics fm(p.font());
    p.drawText(x, y + fm.ascent(), text);
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
    : background_(width, height, QImage::Format_RGB32), drawing_(width, height, QImage::Format_RGB32)
{
    background_.fill(kBlack);
    drawing_.fill(kBlack);
}

void DiagramRenderer::DrawBitmapSchedule(const Scale& scale)
{
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

void DiagramRenderer::DrawDiagram(const MeasurementStore& store, const Scale& scale, int signal)
{
    drawing_ = background_.copy();
    QPainter p(&drawing_);
    p.setFont(ChartFont(8));
    const int s = WindowStart(store.index());

    for (int k = (s + 49) / 50 * 50; k - s <= kSamples; k += 50) {
        const int x = k - s + 50;
        p.setPen(k == 0 ? kRed : kGrey);
        p.drawLine(x, 493, x, 355);
        p.drawLine(x, 293, x, 155);
        p.drawLine(x, 130, x, 40);
        TextAt(p, k - s + 40, 498, QString::asprintf("%5d", k), kYellow);
    }
    TextAt(p, 720, 498, QStringLiteral("Ix"), kYellow);

    const int t = scale.Threshold;
    const int m = std::max(1, scale.MaxBubble);
    QPolygon gain(kSamples), ampl(kSamples), amax(kSamples), out(kSamples), bavg(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        const int idx = s + i;
        const MeasSample& v = store.at(std::min(idx, MeasurementStore::kLastIndex));
        const bool empty = idx > MeasurementStore::kLastIndex || v.Valid == 0;
        const MeasSample z = empty ? EmptySample() : v;
        QColor c = kGrey;
        if (!empty) c = z.OUT > 240 ? kBlue : (z.OUT < t ? kGreen : kRed);
        p.setPen(c);
        p.drawLine(50 + i, 10, 50 + i, 28);
        const int x = 50 + i;
        gain.setPoint(i, x, 125 - std::min(80, 16 * z.Gain));
        ampl.setPoint(i, x, 288 - std::min(128, z.Ampl / 2));
        amax.setPoint(i, x, 288 - std::min(128, z.AMax / 2));
        out.setPoint(i, x, 488 - std::min(135, z.OUT * 128 / m));
        bavg.setPoint(i, x, 488 - std::min(135, z.BAvg * 128 / m));
    }
    auto poly = [&](const QPolygon& pl, const QColor& colour) {
        p.setPen(QPen(colour, 1));
        p.drawPolyline(pl);
    };
    poly(gain, kLime);
    poly(ampl, kYellow);
    poly(amax, kLime);
    const int e = t * 128 / m;
    if (e < 130) {
        p.setPen(QPen(kBlue, 1));
        p.drawLine(48, 488 - e, 690, 488 - e);
    }
    poly(out, kYellow);
    poly(bavg, kRed);

    TextAt(p, 700, 15, QString::number(store.alarmCount()), kRed);
    if (signal != -1) {
        p.setFont(ChartFont(12));
        TextAt(p, 580, 300, QString::asprintf("Signal:  %3d", signal), kWhite);
    }
}

QString DiagramRenderer::HintAt(int x, int storeIndex)
{
    return QStringLiteral("Ix = ") + QString::number(std::max(0, x + WindowStart(storeIndex) - 50));
}

} // namespace vmx::monitor
