// START in the window against the simulated converter: table rows, chart, STOP, the scroll bar.
#include "UiHarness.h"

#include "sim/Bench.h"

#include <QScrollBar>
#include <QTableView>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {
void Ticks(Harness& h, int n, int ms)
{
    for (int i = 0; i < n; ++i) {
        h.clock.SleepMs(ms);
        h.form->Timer2Timer();
    }
}
} // namespace

TEST(MonitorPage, PolledSamplesReachTableAndChart)
{
    Harness h;
    sim::ConverterSpec polled;
    polled.sensor.mode = 3;
    h.links.simConverters = {polled};
    TMainForm& f = h.Start();
    ASSERT_TRUE(h.Act("ALStart")->isEnabled());
    const QImage before = f.diagram().image().copy();
    h.Act("ALStart")->trigger();
    EXPECT_FALSE(f.station().Stopped());
    EXPECT_FALSE(h.Act("ALStart")->isEnabled());
    EXPECT_TRUE(h.Act("ALStop")->isEnabled());
    Ticks(h, 25, 1000);
    EXPECT_EQ(f.station().store().index(), 25);
    auto* grid = h.Find<QTableView>("StGRead");
    EXPECT_EQ(grid->model()->rowCount(), 32002);
    EXPECT_EQ(grid->model()->index(0, 3).data().toString(), QStringLiteral("OUT"));
    EXPECT_EQ(grid->model()->index(1, 0).data().toString(), QStringLiteral("0"));
    EXPECT_EQ(grid->model()->index(25, 0).data().toString(), QStringLiteral("24"));
    // The chart is redrawn every 10th sample and follows the index.
    EXPECT_NE(f.diagram().image(), before);
    EXPECT_EQ(h.Find<QScrollBar>("ScrollBar")->value(), 20);

    h.Act("ALStop")->trigger();
    EXPECT_TRUE(f.station().Stopped());
    EXPECT_TRUE(h.Act("ALStart")->isEnabled());
    EXPECT_EQ(f.PanelTextOf(1), QStringLiteral("Abbruch"));

    // The scroll bar moves the write position; the next sample goes there.
    h.Find<QScrollBar>("ScrollBar")->setValue(5);
    EXPECT_EQ(f.station().store().index(), 5);
    h.Act("ALClear")->trigger();
    EXPECT_EQ(f.station().store().index(), 0);
    EXPECT_TRUE(grid->model()->index(1, 0).data().toString().isEmpty());
}
