// The monitor page's command controls against the simulated bench: what the controls hold is
// what reaches the sensor, and the window shows what comes back.
#include "UiHarness.h"

#include "sim/Bench.h"
#include "ui/FormWidgets.h"
#include "ui/SimulatorPanel.h"

#include "TestPaths.h"
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

constexpr int kKeyV143 = 5050143; // a V1.43 type with the LED

void ChooseType(Harness& h, int key)
{
    for (QAction* a : h.form->VersionItems())
        if (Tag(a) == key) {
            a->trigger();
            return;
        }
    ADD_FAILURE() << "no version item " << key;
}

std::vector<QByteArray> In(sim::Bench& b, quint8 command)
{
    std::vector<QByteArray> r;
    for (const auto& e : b.trace().Of(sim::Dir::In, sim::Unit::Sensor))
        if (e.ok && e.bytes.size() >= 5 && quint8(e.bytes[3]) == command) r.push_back(e.bytes);
    return r;
}

sim::ConverterSpec Polled()
{
    sim::ConverterSpec c;
    c.sensor.mode = 3;
    c.sensor.SetKey(kKeyV143);
    return c;
}

} // namespace

TEST(DevicePage, LedBoxesBubbleTimeAndAdjustingSpeedReachTheSensor)
{
    Harness h;
    h.links.simConverters = {Polled()};
    TMainForm& f = h.Start();
    ChooseType(h, kKeyV143);
    sim::Bench& b = *f.station().link().SimBench(0);

    // Checking a colour box sends the whole LED byte at once.
    h.Find<QCheckBox>("CBLEDred")->setChecked(true);
    ASSERT_TRUE(f.session().sensor.Has(app::Cap::Led)) << f.session().sensor.Firmware;
    ASSERT_TRUE(h.Find<QCheckBox>("CBLEDblue")->isEnabled());
    h.Find<QCheckBox>("CBLEDblue")->click();
    ASSERT_FALSE(In(b, 0x31).empty());
    EXPECT_EQ(quint8(In(b, 0x31).back()[4]), 6);
    EXPECT_EQ(b.sensor().led(), 6);
    // The boxes are the station's LED bits, which the test steps' configuration sends too.
    EXPECT_EQ(f.station().settings.led.Byte(), 6);
    // "auto" on: the colour boxes are locked.
    h.Find<QCheckBox>("CBLEDauto")->click();
    EXPECT_EQ(b.sensor().led(), 6 | 8);
    EXPECT_FALSE(h.Find<QCheckBox>("CBLEDred")->isEnabled());
    h.Find<QCheckBox>("CBLEDauto")->click();
    EXPECT_TRUE(h.Find<QCheckBox>("CBLEDred")->isEnabled());

    h.Find<QLineEdit>("EBubbleTestTime")->setText(QStringLiteral("25"));
    h.Act("ALBubbleTest")->trigger();
    ASSERT_EQ(In(b, 0x33).size(), 1u);
    EXPECT_EQ(quint8(In(b, 0x33)[0][4]), 25);

    h.Find<QLineEdit>("EAmplDecTemp")->setText(QStringLiteral("4660"));
    h.Act("ALAmplDec")->trigger();
    EXPECT_EQ(b.sensor().adjustingSpeed(), 4660);
    ASSERT_EQ(In(b, 0x34).size(), 1u);
    EXPECT_EQ(quint8(In(b, 0x34)[0][4]), 0x12);
    EXPECT_EQ(quint8(In(b, 0x34)[0][5]), 0x34);
}

TEST(DevicePage, GainTestFillsTheGridAndTheClipboard)
{
    Harness h;
    h.links.simConverters = {Polled()};
    TMainForm& f = h.Start();
    ChooseType(h, kKeyV143);
    auto* cb = h.Find<QComboBox>("CBGainTest");
    ASSERT_EQ(cb->count(), 6);
    cb->setCurrentIndex(2);
    h.Find<QPushButton>("BTSetGainTest")->click();
    EXPECT_EQ(f.station().link().SimBench(0)->sensor().gainStep(), 2);
    auto* grid = h.Find<QTableWidget>("StGainTesttemp");
    ASSERT_NE(grid->item(0, 1), nullptr);
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("2"));
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("Gain"));
    const QString clip = QApplication::clipboard()->text();
    EXPECT_TRUE(clip.startsWith(QStringLiteral("Gain\t2\r\n"))) << clip.toStdString();
    EXPECT_EQ(clip.count(QStringLiteral("\r\n")), 4);
}

TEST(DevicePage, PowerButtonSilencesTheSensorAndChannelNeedsTheDigitalTestModule)
{
    Harness h;
    sim::ConverterSpec adapter = Polled(); // the line adapter switches power on CBUS lines
    h.links.simConverters = {adapter};
    TMainForm& f = h.Start();
    sim::Bench& b = *f.station().link().SimBench(0);
    QAction* power = h.Act("ALPowerOn");
    ASSERT_TRUE(power->isChecked());
    power->trigger(); // unchecks: off
    EXPECT_FALSE(b.sensor().powered());
    EXPECT_EQ(f.PanelTextOf(1), f.session().Msg(108));
    power->trigger();
    EXPECT_EQ(f.PanelTextOf(1), f.session().Msg(107));
    h.clock.SleepMs(500);
    b.Available(h.clock.NowUs());
    EXPECT_TRUE(b.sensor().powered());

    // A line adapter has no channel switch: message 375, nothing sent, caption unchanged.
    const size_t before = b.trace().entries().size();
    h.Act("ALSwitchIF")->trigger();
    EXPECT_EQ(f.PanelTextOf(1), f.session().Msg(375));
    EXPECT_EQ(b.trace().entries().size(), before);
    EXPECT_EQ(h.Act("ALSwitchIF")->text(), QStringLiteral("CH 1"));

    // The three automatic-power boxes show one flag.
    h.Find<QCheckBox>("ChBPowerOnAutoMon")->click();
    EXPECT_TRUE(f.station().PowerAutomatic());
    EXPECT_TRUE(h.Find<QCheckBox>("ChBPowerOnAutoId")->isChecked());
    EXPECT_TRUE(h.Find<QCheckBox>("ChBPowerOnAutoSet")->isChecked());
    h.Find<QCheckBox>("ChBPowerOnAutoSet")->click();
    EXPECT_FALSE(f.station().PowerAutomatic());
    EXPECT_FALSE(h.Find<QCheckBox>("ChBPowerOnAutoMon")->isChecked());
}

TEST(DevicePage, SimulatorDockMovesTheChart)
{
    Harness h;
    h.links.simConverters = {Polled()};
    TMainForm& f = h.Start();
    TSimulatorPanel* dock = f.SimulatorPanel();
    ASSERT_NE(dock, nullptr);
    EXPECT_EQ(dock->windowTitle(), QStringLiteral("Simulator"));
    h.Act("ALStart")->trigger();
    ASSERT_FALSE(f.station().Stopped());
    auto tick = [&](int n) {
        for (int i = 0; i < n; ++i) {
            h.clock.SleepMs(1000);
            f.Timer2Timer();
        }
    };
    tick(3);
    // No tube: the sensor reports an error, OUT 241, the strip turns blue.
    dock->findChild<QRadioButton*>(QStringLiteral("RBSimTubeNone"))->click();
    EXPECT_EQ(f.station().link().SimBench(0)->sensor().tube(), sim::Tube::None);
    tick(2);
    const int last = f.station().store().index() - 1;
    EXPECT_EQ(f.station().store().at(last).OUT, 241);
    f.DrawDiagram();
    EXPECT_EQ(f.diagram().image().pixel(50 + last, 20), qRgb(0, 0, 255));
    dock->findChild<QRadioButton*>(QStringLiteral("RBSimTubeFilled"))->click();
    tick(2);
    EXPECT_LT(f.station().store().at(f.station().store().index() - 1).OUT, 240);

    // A bubble: the alarm value while it passes.
    dock->findChild<QPushButton*>(QStringLiteral("BTSimBubble"))->click();
    h.clock.SleepMs(100);
    f.Timer2Timer();
    EXPECT_EQ(f.station().store().at(f.station().store().index() - 1).OUT, 240);

    // Unplugged: no answers, nothing stored; plugged back in, samples come again.
    auto* plugged = dock->findChild<QCheckBox*>(QStringLiteral("ChBSimPlugged"));
    ASSERT_TRUE(plugged->isChecked());
    plugged->click();
    const int stored = f.station().store().index();
    tick(3);
    EXPECT_EQ(f.station().store().index(), stored);
    plugged->click();
    tick(3);
    EXPECT_GT(f.station().store().index(), stored);

    // A picture of the page with the dock, kept for a look.
    testpaths::ArtefactDir();
    f.resize(1280, 760);
    f.show();
    QCoreApplication::processEvents();
    f.grab().save(testpaths::Artefact(QStringLiteral("monitor-simulator.png")));
}
