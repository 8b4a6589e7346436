// The chart's geometry checked on the painted pixels.
#include "monitor/DiagramRenderer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <algorithm>

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
    for (int y = 350; y < 490; ++y)
        EXPECT_NE(r.image().pixel(600, y), kBlue) << y;
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
    // Sustained: thousands of redraws of a noisy stream, compared with a fresh chart each time.
    App();
    MeasurementStore store;
    vmx::monitor::StoreSettings set;
    set.RefreshDivisor = 0;
    set.Threshold = 200;
    set.Policy = vmx::app::DataOverflow::RollOver;
    DiagramRenderer kept;
    kept.DrawBitmapSchedule({250, 240});
    quint32 seed = 12345;
    auto rnd = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(n));
    };
    // Slowly wandering levels with noise on top, now and then a burst or a flat stretch.
    double out = 120, ampl = 100, gain = 3, bavg = 90;
    auto noisy = [&](double& level, double lo, double hi, int noise) {
        level = std::clamp(level + (rnd(21) - 10) * 0.3, lo, hi);
        return std::clamp(int(level) + (noise > 0 ? rnd(2 * noise + 1) - noise : 0), 0, 255);
    };
    const DiagramRenderer::Scale scales[4] = {{250, 240}, {64, 240}, {120, 60}, {250, 100}};
    int background = 0, scale = 0, signal = 300, rollovers = 0, backwards = 0, lastIndex = 0;
    DiagramRenderer fresh;
    for (int step = 0; step < 3000; ++step) {
        const int kind = rnd(100);
        int add = kind < 70 ? 1 + rnd(20) : (kind < 95 ? 1 + rnd(200) : 1 + rnd(700));
        if (kind == 50) add = 0; // nothing new: the same chart again
        const int noise = step % 97 < 10 ? 0 : (step % 53 < 5 ? 60 : 8);
        for (int i = 0; i < add; ++i) {
            MeasSample v = Valid(noisy(out, 0, 255, noise));
            v.Gain = quint8(std::clamp(int(gain = std::clamp(gain + (rnd(3) - 1) * 0.1, 0.0, 7.0)), 0, 7));
            v.Ampl = quint8(noisy(ampl, 0, 255, noise));
            v.AMax = quint8(std::min(255, v.Ampl + rnd(20)));
            v.BAvg = quint8(noisy(bavg, 0, 255, noise / 2));
            if (rnd(50) == 0) v.Valid = 0; // a gap in the record
            const int before = store.index();
            store.Store(v, set);
            if (store.index() < before) ++rollovers;
        }
        if (rnd(40) == 0) { // the scroll bar moved
            store.setIndex(rnd(40) == 0 ? 32000 : rnd(33000));
            if (store.index() < lastIndex) ++backwards;
        }
        lastIndex = store.index();
        if (rnd(60) == 0) { // new background with another scale
            background = rnd(4);
            scale = background;
            kept.DrawBitmapSchedule(scales[background]);
        } else if (rnd(60) == 0) {
            scale = rnd(4); // the chart's scale changed without a new background
        }
        if (rnd(10) == 0) signal = rnd(4) == 0 ? -1 : rnd(1000);
        kept.DrawDiagram(store, scales[scale], signal);
        if (step % 500 == 0) fresh = DiagramRenderer(); // now and then without any cached text
        fresh.DrawBitmapSchedule(scales[background]);
        fresh.DrawDiagram(store, scales[scale], signal);
        ASSERT_EQ(kept.image(), fresh.image()) << "step " << step << " index " << store.index();
    }
    // The run went through what the chart has to cope with.
    EXPECT_GE(rollovers, 2);
    EXPECT_GE(backwards, 10);
}

TEST(Diagram, NarrowChartRedrawsLikeAFreshOne)
{
    // A renderer smaller than the chart clips columns and rows; redraws must still clean up.
    App();
    MeasurementStore store;
    vmx::monitor::StoreSettings set;
    set.RefreshDivisor = 0;
    DiagramRenderer kept(400, 300);
    kept.DrawBitmapSchedule({250, 240});
    quint32 seed = 99;
    for (int step = 0; step < 200; ++step) {
        for (int i = 0; i < 7; ++i) {
            seed = seed * 1103515245u + 12345u;
            MeasSample v = Valid(int((seed >> 16) % 256u));
            v.Ampl = quint8(seed >> 8);
            v.AMax = quint8(seed >> 3);
            v.Gain = quint8((seed >> 20) % 8u);
            store.Store(v, set);
        }
        kept.DrawDiagram(store, {250, 240}, step % 2 ? 5 : -1);
        DiagramRenderer fresh(400, 300);
        fresh.DrawBitmapSchedule({250, 240});
        fresh.DrawDiagram(store, {250, 240}, step % 2 ? 5 : -1);
        ASSERT_EQ(kept.image(), fresh.image()) << "step " << step;
    }
}
