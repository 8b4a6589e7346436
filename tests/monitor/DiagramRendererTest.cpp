// The chart's geometry checked on the painted pixels.
#include "monitor/DiagramRenderer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace vmx::monitor;

namespace {
const QRgb kRed = qRgb(255, 0, 0), kGrey = qRgb(128, 128, 128), kBlue = qRgb(0, 0, 255),
           kLime = qRgb(0, 255, 0), kGreen = qRgb(0, 128, 0), kYellow = qRgb(255, 255, 0);

// QFont needs a GUI application; painting goes to images only.
QGuiApplication& App()
{
    static int argc = 1;
    static char name[] = "test_monitor";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return *app;
}

MeasSample Valid(int out)
{
    MeasSample s = EmptySample();
    s.Valid = 1;
    s.OUT = quint8(out);
    return s;
}
} // namespace

TEST(Diagram, GridFollowsTheWindowStart)
{
    App();
    MeasurementStore store;
    DiagramRenderer r;
    r.DrawBitmapSchedule({});
    store.setIndex(100);
    r.DrawDiagram(store, {}, -1);
    // Index 100: samples 0..639, red line for sample 0 at x = 50, grey at 100.
    EXPECT_EQ(r.image().pixel(50, 400), kRed);
    EXPECT_EQ(r.image().pixel(50, 200), kRed);
    EXPECT_EQ(r.image().pixel(100, 400), kGrey);
    EXPECT_EQ(DiagramRenderer::WindowStart(100), 0);

    store.setIndex(5000);
    r.DrawDiagram(store, {}, -1);
    EXPECT_EQ(DiagramRenderer::WindowStart(5000), 4360);
    // 4400 is the first grid line: x = 4400 - 4360 + 50 = 90; 5000 the last at x = 690.
    EXPECT_EQ(r.image().pixel(90, 400), kGrey);
    EXPECT_EQ(r.image().pixel(690, 400), kGrey);
    EXPECT_NE(r.image().pixel(50, 400), kRed);
    EXPECT_NE(r.image().pixel(89, 400), kGrey);
}

TEST(Diagram, StateStripCurvesAndThreshold)
{
    App();
    MeasurementStore store;
    vmx::monitor::StoreSettings set;
    set.RefreshDivisor = 0;
    MeasSample g = Valid(10);
    g.Gain = 7; // clamped to the top of the gain band
    store.Store(g, set);
    store.Store(Valid(245), set);
    store.Store(Valid(240), set);
    DiagramRenderer r;
    r.DrawBitmapSchedule({250, 240});
    r.DrawDiagram(store, {250, 240}, -1);
    EXPECT_EQ(r.image().pixel(50, 20), kGreen);
    EXPECT_EQ(r.image().pixel(51, 20), kBlue);
    EXPECT_EQ(r.image().pixel(52, 20), kRed);
    EXPECT_EQ(r.image().pixel(53, 20), kGrey); // empty
    EXPECT_EQ(r.image().pixel(50, 125 - 80), kLime);
    // T = 240, M = 250: e = 122, the blue line at y = 366.
    EXPECT_EQ(r.image().pixel(600, 366), kBlue);

    // M = 64: e = 480, no threshold line.
    r.DrawBitmapSchedule({64, 240});
    r.DrawDiagram(store, {64, 240}, -1);
    for (int y = 350; y < 490; ++y) EXPECT_NE(r.image().pixel(600, y), kBlue) << y;
    // The OUT curve is clamped at 135 pixels above the zero line.
    EXPECT_EQ(r.image().pixel(51, 488 - 135), kYellow);
}

TEST(Diagram, MouseHint)
{
    EXPECT_EQ(DiagramRenderer::HintAt(10, 0), QStringLiteral("Ix = 0"));
    EXPECT_EQ(DiagramRenderer::HintAt(60, 0), QStringLiteral("Ix = 10"));
    EXPECT_EQ(DiagramRenderer::HintAt(50, 5000), QStringLiteral("Ix = 4360"));
}

TEST(Diagram, RedrawOverAnOldChartEqualsAFreshOne)
{
    // The chart puts the background back only where it drew last time: any change of data,
    // window, threshold, alarm count or signal must leave no trace of the previous chart.
    App();
    MeasurementStore store;
    vmx::monitor::StoreSettings set;
    set.RefreshDivisor = 0;
    set.Policy = vmx::app::DataOverflow::RollOver;
    DiagramRenderer kept;
    kept.DrawBitmapSchedule({250, 240});
    quint32 seed = 12345;
    auto rnd = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(n));
    };
    const DiagramRenderer::Scale scales[3] = {{250, 240}, {64, 240}, {120, 60}};
    int scale = 0;
    for (int step = 0; step < 60; ++step) {
        const int add = rnd(step % 7 == 0 ? 400 : 15);
        for (int i = 0; i < add; ++i) {
            MeasSample v = Valid(rnd(256));
            v.Gain = quint8(rnd(8));
            v.Ampl = quint8(rnd(256));
            v.AMax = quint8(rnd(256));
            v.BAvg = quint8(rnd(256));
            store.Store(v, set);
        }
        if (step % 11 == 5) store.setIndex(rnd(2000)); // the scroll bar moved
        if (step % 13 == 7) {
            scale = (scale + 1) % 3;
            kept.DrawBitmapSchedule(scales[scale]);
        }
        const int signal = step % 3 == 0 ? -1 : rnd(999);
        kept.DrawDiagram(store, scales[scale], signal);
        DiagramRenderer fresh;
        fresh.DrawBitmapSchedule(scales[scale]);
        fresh.DrawDiagram(store, scales[scale], signal);
        ASSERT_EQ(kept.image(), fresh.image()) << "step " << step << " index " << store.index();
    }
    // Only the scale passed to the chart changes (no new background): the old threshold line
    // must go.
    kept.DrawDiagram(store, {250, 100}, -1);
    DiagramRenderer fresh;
    fresh.DrawBitmapSchedule(scales[scale]);
    fresh.DrawDiagram(store, {250, 100}, -1);
    EXPECT_EQ(kept.image(), fresh.image());
}
