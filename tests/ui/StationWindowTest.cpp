// The window builds on the same station as vmxctl: what the station derives (OUT of a polled
// V1.23 sensor from the working block's bubble factor) is what the window's table shows, and
// the factor the settings page edits is the one the acquisition uses.
#include "UiHarness.h"

#include "sim/Bench.h"

#include <QLineEdit>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {
constexpr int kRowV123 = 36; // QVR06.xx V1.23

int DerivedByHand(const monitor::MeasSample& s, int factor)
{
    if (s.Error) return 241;
    if (s.Alarm) return 240;
    return (factor * s.BAvg) & 0xFF;
}
} // namespace

TEST(StationWindow, PolledV123SensorShowsOutAsBubbleFactorTimesBAvg)
{
    Harness h;
    h.links.simulate = QStringLiteral("stream=polled,key=6000123");
    TMainForm& f = h.Start();
    f.session().CopyValidSensorType(kRowV123);
    f.UpdateDialog();
    station::Station& st = f.station();
    ASSERT_EQ(st.params().edit.BubbleFactor(), 5);
    // The settings page's edit is the working block's byte.
    auto* factor = h.Find<QLineEdit>("EBubbleFactor");
    ASSERT_NE(factor, nullptr);
    EXPECT_EQ(factor->text().trimmed(), QStringLiteral("5"));
    factor->setText(QStringLiteral("4"));
    f.EditChange(factor);
    ASSERT_EQ(st.params().edit.BubbleFactor(), 4);

    h.Act("ALStart")->trigger();
    ASSERT_FALSE(st.Stopped());
    for (int i = 0; i < 40 && st.store().index() < 8; ++i) {
        h.clock.SleepMs(st.TimerIntervalMs());
        f.Timer2Timer();
    }
    h.Act("ALStop")->trigger();
    ASSERT_GE(st.store().index(), 8);
    int nonZero = 0;
    for (int i = 0; i < 8; ++i) {
        const monitor::MeasSample& s = st.store().at(i);
        EXPECT_EQ(int(s.OUT), DerivedByHand(s, 4)) << i;
        EXPECT_EQ(st.table().Cell(i + 1, 3), QString::number(s.OUT)) << i;
        if (s.OUT) ++nonZero;
    }
    EXPECT_GT(nonZero, 0);
}
