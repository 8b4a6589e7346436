// The measuring steps on the simulated station: the limits at their edges, a measurement that
// did not arrive, the port bytes of the switching outputs, the LED prompts without a module,
// the shield and the cable bridge, and that no earlier sample passes for a new measurement.
#include "StationRig.h"

#include "prodtest/MeasurementSteps.h"

using namespace vmx;
using prodtest::MeasurementSteps;
using test::StationRig;

namespace {

QStringList Definition(const QString& program, const QStringList& more)
{
    QStringList d = {QStringLiteral("[#QVR_TYP] \"Typ\",\"QVR05\""),
                     QStringLiteral("[#PRÜFPROGRAMM] \"Programm\",\"%1\"").arg(program)};
    return d + more;
}

} // namespace

TEST(MeasurementSteps, WithoutTubeUpToTheMaximumInclusive)
{
    StationRig r(Definition(QStringLiteral("0"), {QStringLiteral("[#GRENZWERT_OHNE_MAX] \"ohne\",\"10\"")}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    auto& d = r.defs().data;
    r.Sample(10);
    m.GetWithout();
    EXPECT_EQ(r.LastComment(), QStringLiteral("Messung ohne Schlauch: okay"));
    EXPECT_EQ(d.NoTubeResult, 1);
    EXPECT_EQ(d.NoTubeValue, 10);
    r.Sample(11);
    m.GetWithout();
    EXPECT_EQ(r.LastComment(), QStringLiteral("Messung ohne Schlauch: FEHLER, Wert zu hoch"));
    EXPECT_TRUE(r.LastRed());
    EXPECT_EQ(d.NoTubeResult, 0);
    EXPECT_EQ(d.NoTubeValue, 11);
}

TEST(MeasurementSteps, FilledTubeLimitsHoldOnBothEnds)
{
    StationRig r(Definition(QStringLiteral("0"), {QStringLiteral("[#GRENZWERT_VOLL_MIN] \"min\",\"100\""),
                                                  QStringLiteral("[#GRENZWERT_VOLL_MAX] \"max\",\"200\"")}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    for (int signal : {100, 200, 99, 201}) {
        r.Sample(signal);
        r.run().autoAdvance = false;
        m.GetFull();
        const bool inside = signal >= 100 && signal <= 200;
        EXPECT_EQ(r.LastComment(),
                  inside ? QStringLiteral("Messung voller Schlauch: okay")
                         : QStringLiteral("Messung voller Schlauch: FEHLER, Wert außerhalb der Grenzen"))
            << signal;
        EXPECT_EQ(r.defs().data.FullTubeResult, inside ? 1 : 0) << signal;
        EXPECT_EQ(r.run().autoAdvance, inside) << signal;
        EXPECT_EQ(r.defs().data.FullTubeValue, signal);
    }
    // An error code fails the step whatever the value.
    r.Sample(150, 0x04);
    m.GetFull();
    EXPECT_EQ(r.defs().data.FullTubeResult, 0);
    EXPECT_TRUE(r.LastRed());
}

TEST(MeasurementSteps, AbsentLimitsPassOverSilently)
{
    StationRig r(
        Definition(QStringLiteral("5"), {QStringLiteral("[#AMPLITUDE_3] \"A3\",\"gefüllter Schlauch\""),
                                         QStringLiteral("[#AMPLITUDE_MAX_3] \"max\",\"450\"")}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    const size_t said = r.host.comments.size();
    const auto trace = r.bench().trace().entries().size();
    // No tube limits, no MIN of amplitude 3 (its MAX alone does not make a test), no bubble 1.
    for (auto step : std::vector<std::function<void()>>{
             [&] { m.PrepareWithout(); }, [&] { m.GetWithout(); }, [&] { m.CommandEmpty(); },
             [&] { m.PrepareEmpty(); }, [&] { m.GetEmpty(); }, [&] { m.CommandFull(); },
             [&] { m.PrepareFull(); }, [&] { m.GetFull(); }, [&] { m.CommandAmplMeas(3); },
             [&] { m.PrepareAmplMeas(3); }, [&] { m.GetAmplMeas(3); }, [&] { m.GetAmplMeas(9); },
             [&] { m.PrepareBubbleTest(1); }, [&] { m.GetBubbleTest(1); },
             [&] { m.CheckSwitchingOut(1, 2, true); }}) {
        r.run().autoAdvance = false;
        step();
        EXPECT_TRUE(r.run().autoAdvance);
    }
    EXPECT_EQ(r.host.comments.size(), said);
    EXPECT_EQ(r.bench().trace().entries().size(), trace) << "a passed-over step talks to nobody";
    EXPECT_EQ(r.defs().items.Ampl[3].Result, -1);
    EXPECT_EQ(r.defs().data.NoTubeResult, -1);
}

TEST(MeasurementSteps, AmplitudeTestWithLabelAndInclusiveLimits)
{
    StationRig r(Definition(QStringLiteral("5"), {QStringLiteral("[#AMPLITUDE_2] \"A2\",\"Ref 12mm\""),
                                                  QStringLiteral("[#AMPLITUDE_MIN_2] \"min\",\"120\""),
                                                  QStringLiteral("[#AMPLITUDE_MAX_2] \"max\",\"180\"")}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    m.CommandAmplMeas(2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Vorbereitung Ampl Test 2: Ref 12mm"));
    const auto& a = r.defs().items.Ampl[2];
    const std::pair<int, const char*> cases[] = {{120, "Ampl Test 2: Ref 12mm   --> okay"},
                                                 {180, "Ampl Test 2: Ref 12mm   --> okay"},
                                                 {119, "Ampl Test 2: Ref 12mm, FEHLER, Wert zu niedrig"},
                                                 {181, "Ampl Test 2: Ref 12mm, FEHLER, Wert zu hoch"}};
    for (const auto& [signal, text] : cases) {
        r.Sample(signal);
        m.GetAmplMeas(2);
        EXPECT_EQ(r.LastComment(), QString::fromUtf8(text));
        EXPECT_EQ(a.Measured, signal);
    }
    EXPECT_EQ(a.Result, 0);
}

TEST(MeasurementSteps, TheRestartLeavesNoEarlierSampleToPassForTheNewMeasurement)
{
    // The sensor falls silent after the restart: what it measured before must not count.
    StationRig r(
        Definition(QStringLiteral("5"), {QStringLiteral("[#AMPLITUDE_1] \"A1\",\"gefüllter Schlauch\""),
                                         QStringLiteral("[#AMPLITUDE_MIN_1] \"min\",\"350\""),
                                         QStringLiteral("[#AMPLITUDE_MAX_1] \"max\",\"450\"")}),
        QStringLiteral("tk33,unit=good"));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    r.st->Start();
    r.Settle(500);
    ASSERT_TRUE(r.context().measured().Valid) << "the stream delivers samples";
    ASSERT_TRUE(r.st->acquisition().Current().Valid);
    r.sensor().faults.mute = true;
    m.PrepareAmplMeas(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Ampl Test 1: gefüllter Schlauch, (Ampl= 350..450)"));
    EXPECT_FALSE(r.st->acquisition().Current().Valid);
    r.Settle();
    m.GetAmplMeas(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Ampl Test 1: gefüllter Schlauch, FEHLER, keine Messung"));
    EXPECT_EQ(r.defs().items.Ampl[1].Result, 0);
    EXPECT_FALSE(r.context().measured().Valid);
    EXPECT_EQ(+r.context().measured().Signal, -1);
    EXPECT_EQ(r.context().measured().Version, 0);
    // The sensor speaks again: after the next restart its new samples are judged.
    r.sensor().faults.mute = false;
    m.PrepareAmplMeas(1);
    r.Settle();
    m.GetAmplMeas(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Ampl Test 1: gefüllter Schlauch   --> okay"));
    EXPECT_GE(r.defs().items.Ampl[1].Measured, 350);
}

TEST(MeasurementSteps, BubbleTestNeedsAnOutputMaximum)
{
    StationRig r(Definition(QStringLiteral("5"), {QStringLiteral("[#BLASE_1] \"B1\",\"kleine Blasen\""),
                                                  QStringLiteral("[#BLASE_MIN_1] \"min\",\"50\""),
                                                  QStringLiteral("[#BLASE_MAX_1] \"max\",\"150\"")}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    m.PrepareBubbleTest(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Blasentest 1: kleine Blasen (QVROUT=  50 .. 150)"));
    // Samples came, but the restart set the maximum to -1 and none was stored since.
    r.Sample(390);
    ASSERT_TRUE(r.context().measured().Valid);
    ASSERT_EQ(r.st->store().highestOut(), -1);
    m.GetBubbleTest(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Blasentest 1: kleine Blasen, FEHLER, keine Messung"));
    EXPECT_EQ(r.defs().items.Bubble[1].Measured, -1);
    EXPECT_EQ(r.defs().items.Bubble[1].Result, 0);
    // Small bubbles squeezed through the filled tube reach the limits; the step stops the stream.
    r.sensor().BubbleTrain(r.clock.NowUs(), 300000, 150000, sim::Sensor::kSmallBubbleDrop);
    r.Settle();
    m.GetBubbleTest(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Blasentest 1: kleine Blasen   --> okay"));
    EXPECT_EQ(r.defs().items.Bubble[1].Measured, r.st->store().highestOut());
    EXPECT_TRUE(r.st->Stopped());
}

TEST(MeasurementSteps, PortBytesClassifiedAndJudged)
{
    EXPECT_EQ(MeasurementSteps::PortClass(0x11), QStringLiteral("L"));
    EXPECT_EQ(MeasurementSteps::PortClass(0x22), QStringLiteral("H"));
    EXPECT_EQ(MeasurementSteps::PortClass(0x31), QStringLiteral("Toggle"));
    EXPECT_EQ(MeasurementSteps::PortClass(0x32), QStringLiteral("Toggle"));
    EXPECT_EQ(MeasurementSteps::PortClass(0x33), QStringLiteral("?"));
    EXPECT_EQ(MeasurementSteps::PortClass(0x21), QStringLiteral("?"));
    EXPECT_TRUE(MeasurementSteps::PortMatches(2, 0x33));
    EXPECT_FALSE(MeasurementSteps::PortMatches(2, 0x22));
    EXPECT_FALSE(MeasurementSteps::PortMatches(0, 0x31));
    EXPECT_EQ(MeasurementSteps::PortLevels(0x31), QStringLiteral("L | Speicher: LH"));
}

TEST(MeasurementSteps, ToggleExpectedPassesOnBothLatchedLevels)
{
    StationRig r(Definition(QStringLiteral("5"), {QStringLiteral("[#SCHALTAUSGANG_3] \"S3\",\"LHLH\""),
                                                  QStringLiteral("[#SCHALTAUSGANG_4] \"S4\",\"H\"")}));
    ASSERT_TRUE(r.Scan());
    r.RunStep(2); // CheckTK33Ident: the module is found
    ASSERT_EQ(r.st->moduleRecord().testHardware, testmodule::HardwareTK33);
    MeasurementSteps& m = r.st->measurementSteps();
    auto& out = r.defs().items.SwitchOut;
    const std::pair<quint8, const char*> cases[] = {{0x31, "Toggle"}, {0x33, "?"}};
    for (const auto& [byte, cls] : cases) {
        r.bench().module()->nextStopData = QByteArray("\x00\x00", 2) + char(byte);
        r.run().autoAdvance = false;
        m.CheckSwitchingOut(3, 2, false);
        EXPECT_EQ(out[3].MeasuredText, QString::fromUtf8(cls));
        EXPECT_EQ(out[3].Result, 1);
        EXPECT_TRUE(r.run().autoAdvance);
        EXPECT_EQ(r.host.panel[1],
                  QStringLiteral("QVR05/06, Port 2, aktuell: ") + MeasurementSteps::PortLevels(byte));
    }
    // "H" expected, the port toggled: the level is wrong.
    r.bench().module()->nextStopData = QByteArray("\x00\x00\x32", 3);
    m.CheckSwitchingOut(4, 2, false);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Schaltausgang Test 4: FEHLER, falscher Pegel: Toggle"));
    EXPECT_EQ(out[4].Result, 0);
}

TEST(MeasurementSteps, SwitchingOutputsFollowTheTubeOnTheSimulatedUnit)
{
    StationRig r(Definition(QStringLiteral("0"), {QStringLiteral("[#SCHALTAUSGANG_1] \"S1\",\"L\""),
                                                  QStringLiteral("[#SCHALTAUSGANG_2] \"S2\",\"H\"")}),
                 QStringLiteral("tk33,unit=good,tube=filled"));
    ASSERT_TRUE(r.Scan());
    r.RunStep(1);
    MeasurementSteps& m = r.st->measurementSteps();
    // Configured as switching outputs they go high on air, the alarm.
    m.CheckSwitchingOut(1, 0, true);
    EXPECT_EQ(r.defs().items.SwitchOut[1].Result, 1) << r.LastComment().toStdString();
    EXPECT_EQ(r.defs().items.SwitchOut[1].MeasuredText, QStringLiteral("L"));
    m.CheckSwitchingOutput(0, 2);
    EXPECT_EQ(r.defs().data.LowOutputResult, 1);
    r.sensor().SetTube(sim::Tube::Empty, r.clock.NowUs());
    m.CheckSwitchingOut(2, 1, true);
    EXPECT_EQ(r.defs().items.SwitchOut[2].MeasuredText, QStringLiteral("H"));
    EXPECT_EQ(r.defs().items.SwitchOut[2].Result, 1);
    m.CheckSwitchingOutput(0, 2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Schaltausgang: FEHLER, falscher Pegel"));
    EXPECT_EQ(r.defs().data.LowOutputResult, 0);
    m.CheckSwitchingOutput(1, 2);
    EXPECT_EQ(r.defs().data.HighOutputResult, 1);
}

TEST(MeasurementSteps, Vo40TextAndTheOlderCheckFallingBackToTheLed)
{
    StationRig r(Definition(QStringLiteral("6"), {QStringLiteral("[#SCHALTAUSGANG_1] \"S1\",\"L\"")}),
                 QStringLiteral("vo40,unit=good,tube=filled"));
    ASSERT_TRUE(r.Scan());
    r.RunStep(1);
    ASSERT_EQ(r.st->moduleRecord().testHardware, testmodule::HardwareVO40);
    MeasurementSteps& m = r.st->measurementSteps();
    m.CheckSwitchingOut(1, 3, true);
    EXPECT_EQ(r.host.panel[1], QStringLiteral("QVR05/WSK02, Port 3, aktuell: L | Speicher: L"));
    EXPECT_EQ(r.defs().items.SwitchOut[1].Result, 1);
    const int stops = r.bench().trace().CountIn(proto::cmd::TmMeasStop, sim::Unit::TestModule);
    r.run().autoAdvance = false;
    m.CheckSwitchingOutput(1, 2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Schaltausgang: LED muss leuchten"));
    EXPECT_FALSE(r.run().autoAdvance);
    EXPECT_EQ(r.defs().data.HighOutputResult, -1);
    // The module was not asked for its ports.
    EXPECT_EQ(r.bench().trace().CountIn(proto::cmd::TmMeasStop, sim::Unit::TestModule), stops);
}

TEST(MeasurementSteps, WithoutAModuleTheOperatorJudgesTheLed)
{
    StationRig r(Definition(QStringLiteral("4"), {QStringLiteral("[#SCHALTAUSGANG_1] \"S1\",\"L\""),
                                                  QStringLiteral("[#SCHALTAUSGANG_2] \"S2\",\"H\""),
                                                  QStringLiteral("[#SCHALTAUSGANG_3] \"S3\",\"LHLH\"")}),
                 QStringLiteral("adapter,unit=good"));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    const char* texts[] = {"Schaltausgang Test 1: LED darf nicht leuchten",
                           "Schaltausgang Test 2: LED muss leuchten",
                           "Schaltausgang Test 3: LED muss blinken"};
    for (int n = 1; n <= 3; ++n) {
        r.run().autoAdvance = false;
        m.CheckSwitchingOut(n, 0, false);
        EXPECT_EQ(r.LastComment(), QString::fromUtf8(texts[n - 1]));
        EXPECT_FALSE(r.run().autoAdvance);
        EXPECT_EQ(r.defs().items.SwitchOut[size_t(n)].Result, -1);
    }
    m.TestCableBridge(2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Brücke: FEHLER, Test nur mit TK33 möglich."));
    EXPECT_EQ(r.defs().data.BridgeResult, 0);
}

TEST(MeasurementSteps, ShieldAsTheOperatorJudgesIt)
{
    StationRig r(Definition(QStringLiteral("9"), {}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    r.panel.operatorSaysOk = false;
    r.RunStep(3);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Messung Widerstand: Steckergehäuse <--> Sensorboden"));
    EXPECT_TRUE(r.panel.shieldShown);
    EXPECT_FALSE(r.run().autoAdvance);
    m.SubmitCheckShield();
    EXPECT_EQ(r.LastComment(), QStringLiteral("FEHLER: Widerstand zu hoch"));
    EXPECT_FALSE(r.panel.shieldShown);
    EXPECT_EQ(r.defs().data.ShieldResult, 0);
    r.panel.operatorSaysOk = true;
    r.RunStep(3);
    r.run().autoAdvance = false;
    m.SubmitCheckShield();
    EXPECT_EQ(r.defs().data.ShieldResult, 1);
    EXPECT_TRUE(r.run().autoAdvance);
}

TEST(MeasurementSteps, CableBridgeReadsItsPortOnTheTk33)
{
    StationRig r(Definition(QStringLiteral("9"), {}), QStringLiteral("tk33,unit=good,tube=empty"));
    ASSERT_TRUE(r.Scan());
    r.RunStep(2);
    MeasurementSteps& m = r.st->measurementSteps();
    r.run().autoAdvance = false;
    m.TestCableBridge(2);
    EXPECT_EQ(r.defs().data.BridgeResult, 1) << r.LastComment().toStdString();
    EXPECT_TRUE(r.run().autoAdvance);
    r.bench().module()->nextStopData = QByteArray("\x11\x11\x22", 3);
    m.TestCableBridge(2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Brücke: FEHLER, falscher Pegel"));
    EXPECT_EQ(r.host.panel[1], QStringLiteral("QVR05/06, Port 2, aktuell: H | Speicher: H"));
    EXPECT_EQ(r.defs().data.BridgeResult, 0);
}

TEST(MeasurementSteps, The0530GenerationMeasuresAfterItsOwnRestart)
{
    StationRig r(
        Definition(QStringLiteral("5"), {QStringLiteral("[#AMPLITUDE_1] \"A1\",\"gefüllter Schlauch\""),
                                         QStringLiteral("[#AMPLITUDE_MIN_1] \"min\",\"350\""),
                                         QStringLiteral("[#AMPLITUDE_MAX_1] \"max\",\"450\"")}),
        QStringLiteral("tk33,unit=good,key=5030200,if=any,tube=filled"), 9);
    ASSERT_TRUE(r.Scan());
    ASSERT_TRUE(r.session.sensor.Has(app::Cap::Gen0530));
    MeasurementSteps& m = r.st->measurementSteps();
    const int restarts = r.bench().trace().CountIn(proto::cmd::Restart, sim::Unit::Sensor);
    m.PrepareAmplMeas(1);
    EXPECT_EQ(r.bench().trace().CountIn(proto::cmd::Restart, sim::Unit::Sensor), restarts + 1);
    EXPECT_FALSE(r.st->Stopped()) << "the acquisition runs after the restart";
    r.Settle(3000);
    m.GetAmplMeas(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Ampl Test 1: gefüllter Schlauch   --> okay"));
    EXPECT_EQ(r.defs().items.Ampl[1].Result, 1);
}

TEST(MeasurementSteps, ZurueckRepeatsTheMeasurementAfterAFailure)
{
    StationRig r(
        Definition(QStringLiteral("5"), {QStringLiteral("[#AMPLITUDE_1] \"A1\",\"gefüllter Schlauch\""),
                                         QStringLiteral("[#AMPLITUDE_MIN_1] \"min\",\"350\""),
                                         QStringLiteral("[#AMPLITUDE_MAX_1] \"max\",\"450\"")}),
        QStringLiteral("tk33,unit=good,tube=empty"));
    ASSERT_TRUE(r.Scan());
    // The operator forgot the tube: step 11 fails on the empty one's value.
    r.RunStep(10);
    r.Settle();
    r.run().Next();
    EXPECT_EQ(r.run().TestStep, 11);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Ampl Test 1: gefüllter Schlauch, FEHLER, Wert zu niedrig"));
    EXPECT_EQ(r.defs().items.Ampl[1].Measured, 255);
    // Filled tube in, ZURÜCK prepares the measurement again, WEITER judges the new one.
    r.sensor().SetTube(sim::Tube::Filled, r.clock.NowUs());
    r.run().Back();
    EXPECT_EQ(r.run().TestStep, 10);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Ampl Test 1: gefüllter Schlauch, (Ampl= 350..450)"));
    r.Settle();
    r.run().Next();
    EXPECT_TRUE(r.Said(QStringLiteral("Ampl Test 1: gefüllter Schlauch   --> okay")));
    EXPECT_EQ(r.defs().items.Ampl[1].Result, 1);
    EXPECT_GE(r.defs().items.Ampl[1].Measured, 350);
}

// A MIN without its MAX bounds the lower side only (the absent MAX is no upper limit).
TEST(MeasurementSteps, AMinWithoutItsMaxBoundsTheLowerSideOnly)
{
    StationRig r(
        Definition(QStringLiteral("5"), {QStringLiteral("[#AMPLITUDE_1] \"A1\",\"gefüllter Schlauch\""),
                                         QStringLiteral("[#AMPLITUDE_MIN_1] \"min\",\"350\""),
                                         QStringLiteral("[#BLASE_1] \"B1\",\"große Blasen\""),
                                         QStringLiteral("[#BLASE_MIN_1] \"min\",\"200\"")}));
    ASSERT_TRUE(r.Scan());
    MeasurementSteps& m = r.st->measurementSteps();
    const struct {
        bool bubble;
        int value;
        int result;
    } cases[] = {{false, 349, 0}, {false, 350, 1}, {false, 1000, 1},
                 {true, 199, 0},  {true, 200, 1},  {true, 255, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        r.st->Stop();
        if (c.bubble) {
            m.PrepareBubbleTest(1);
            r.st->Stop();
            monitor::MeasSample s = monitor::EmptySample();
            s.Valid = 1, s.Signal = 390, s.OUT = quint8(c.value);
            r.st->store().Store(s, monitor::StoreSettings{});
            r.Sample(390, 0, c.value);
            m.GetBubbleTest(1);
            EXPECT_EQ(r.defs().items.Bubble[1].Result, c.result) << r.LastComment().toStdString();
        } else {
            r.Sample(c.value);
            m.GetAmplMeas(1);
            EXPECT_EQ(r.defs().items.Ampl[1].Result, c.result) << r.LastComment().toStdString();
        }
    }
}

// The 05.30 generation restarts without resetting its output maximum: each bubble test judges
// only the maximum reached after its own restart, never the previous test's.
TEST(MeasurementSteps, BubbleTestsOfThe0530GenerationJudgeOnlyTheirOwnMaximum)
{
    QStringList bubbles;
    for (int n = 1; n <= 2; ++n)
        bubbles << QStringLiteral("[#BLASE_%1] \"B\",\"große Blasen\"").arg(n)
                << QStringLiteral("[#BLASE_MIN_%1] \"min\",\"200\"").arg(n)
                << QStringLiteral("[#BLASE_MAX_%1] \"max\",\"255\"").arg(n);
    StationRig r(Definition(QStringLiteral("5"), bubbles),
                 QStringLiteral("tk33,unit=good,key=5030200,if=any,tube=filled"), 9);
    ASSERT_TRUE(r.Scan());
    ASSERT_TRUE(r.session.sensor.Has(app::Cap::Gen0530));
    MeasurementSteps& m = r.st->measurementSteps();
    m.PrepareBubbleTest(1);
    monitor::MeasSample s = monitor::EmptySample();
    s.Valid = 1, s.Signal = 390, s.OUT = 240;
    r.st->store().Store(s, monitor::StoreSettings{});
    m.GetBubbleTest(1);
    ASSERT_EQ(r.defs().items.Bubble[1].Result, 1) << r.LastComment().toStdString();
    // No bubble passes in the second test: its maximum is what the filled tube shows.
    m.PrepareBubbleTest(2);
    r.Settle();
    m.GetBubbleTest(2);
    EXPECT_EQ(r.defs().items.Bubble[2].Result, 0) << r.LastComment().toStdString();
    EXPECT_LT(r.defs().items.Bubble[2].Measured, 200);
}

// The steps' configuration keeps the LED bits the monitor page's check boxes hold.
TEST(MeasurementSteps, TheStepsConfigureWithTheMonitorPagesLedBits)
{
    StationRig r(Definition(QStringLiteral("5"), {}), QStringLiteral("tk33,key=6000110,stream=none"), 33);
    r.st->settings.led.green = true;
    r.st->settings.led.automatic = true;
    ASSERT_TRUE(r.context().hooks.ConfigureOutput(0));
    EXPECT_EQ(r.sensor().led(), 9);
    r.st->settings.led = {};
    r.st->settings.led.blue = true;
    ASSERT_TRUE(r.context().hooks.ConfigureOutput(2));
    EXPECT_EQ(r.sensor().led(), 4);
}
