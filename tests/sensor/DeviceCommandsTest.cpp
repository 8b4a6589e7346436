// The single device commands against the simulated bench through the program's own link: what
// reaches the devices (their trace), what they do with it, and the refusals that send nothing.
#include "LinkEvents.h"
#include "link/LinkTestSupport.h"

#include "link/Link.h"
#include "sensor/DeviceCommands.h"
#include "sim/Profile.h"
#include "station/Station.h"

#include <gtest/gtest.h>

using namespace vmx;
using namespace vmx::sensor;
using namespace vmx::proto;
using linktest::Env;

namespace {

// The device commands' events without a station: how often something was to be shown.
struct Seen final : DeviceCommands::Events {
    int changes = 0;
    int stops = 0;
    void Changed(DeviceCommands::Shown) override { ++changes; }
    void StopAcquisition() override { ++stops; }
};

// Catalogue rows used below (firmware, capability bits).
constexpr int kRowV110 = 33; // 6000110
constexpr int kRowV120 = 2;  // 120, modes 0, 1, 3, 4 allowed
constexpr int kRowV140 = 23; // 5063140
constexpr int kRowV143 = 8;  // 5028143
constexpr int kRow0530 = 9;  // 5030200
// STOP of the acquisition, which every sensor operation runs first, settles for 50 ms.
constexpr int kStopSettleMs = 50;

// The device commands in the station the program builds; what they leave for the window to
// show is recorded as the window would be told it.
struct Rig : station::StationView {
    Env env;
    std::unique_ptr<station::Station> station;
    link::Link* link;
    DeviceCommands* dc;
    int stops = 0;
    bool boxes = false;
    QString caption;
    std::vector<bool> glyphs, checks;
    bool shown = false;
    Rig(const QString& profile, int row)
        : station(Build(env.session, profile, row)), link(&station->link()), dc(&station->devices())
    {
        EXPECT_TRUE(link->profileError().isEmpty()) << link->profileError().toStdString();
        station->SetView(this);
        link->Reset_COM_USB();
    }
    ~Rig() override { station->SetView(nullptr); }
    static std::unique_ptr<station::Station> Build(app::Session& s, const QString& profile, int row)
    {
        s.CopyValidSensorType(row);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        return std::make_unique<station::Station>(s, o);
    }
    // StationView
    void AcquisitionChanged() override
    {
        if (!station->StopEnabled()) ++stops;
    }
    void DeviceStateChanged(DeviceField f) override
    {
        const station::DeviceState& d = station->deviceState();
        switch (f) {
        case DeviceField::ColourBoxes:
            boxes = d.colourBoxesEnabled;
            break;
        case DeviceField::Channel:
            caption = d.channelCaption;
            break;
        case DeviceField::PowerGlyph:
            glyphs.push_back(d.powerGlyphOn);
            break;
        case DeviceField::PowerAction:
            checks.push_back(d.powerActionChecked);
            break;
        case DeviceField::PowerAutomatic:
            shown = station->PowerAutomatic();
            break;
        case DeviceField::SerialMode:
            break;
        }
    }
    sim::Bench& bench() { return *link->OpenSimBench(); }
    sim::Sensor& sensor() { return bench().sensor(); }
    QString Msg(int m) const { return env.session.Msg(m); }
    QString Last() const { return env.host.panel1Log.isEmpty() ? QString() : env.host.panel1Log.last(); }
    // Valid incoming frames (or unframed bytes) of one unit with this command byte.
    std::vector<QByteArray> In(quint8 command, sim::Unit unit = sim::Unit::Sensor)
    {
        std::vector<QByteArray> r;
        for (const auto& e : bench().trace().Of(sim::Dir::In, unit)) {
            const bool framed = e.bytes.size() >= 5;
            const quint8 c = quint8(framed ? e.bytes[3] : e.bytes[0]);
            if (e.ok && c == command) r.push_back(e.bytes);
        }
        return r;
    }
    // One polled measurement: the output value (0 below V1.24, which does not send it), or -1
    // when the sensor did not answer.
    int PolledOut()
    {
        const int a = MeasAnswerLength(env.session.sensor.Firmware);
        if (!link->protocol().SendReceiveCommand(kTargetSensor, cmd::MeasData, 5, a, Msg(272), true))
            return -1;
        return a == 22 ? link->Rx()[20] : 0;
    }
    bool Ping()
    {
        return link->protocol().SendReceiveCommand(kTargetSensor, cmd::Ping, 5, 1, Msg(260), true);
    }
};

} // namespace

TEST(AdapterKinds, BySerialNumberInTableOrder)
{
    EXPECT_EQ(AdapterKindOf(QStringLiteral("007_V001")), AdapterKind::LineAdapter);
    EXPECT_EQ(AdapterKindOf(QStringLiteral("FT9007AB")), AdapterKind::LineAdapter);
    EXPECT_EQ(AdapterKindOf(QStringLiteral("002_V001")), AdapterKind::TestModule);
    EXPECT_EQ(AdapterKindOf(QStringLiteral("XX9002")), AdapterKind::TestModule);
    EXPECT_EQ(AdapterKindOf(QStringLiteral("XX9010")), AdapterKind::TestModuleDigital);
    // The line adapter is recognised first.
    EXPECT_EQ(AdapterKindOf(QStringLiteral("9010-9007")), AdapterKind::LineAdapter);
    EXPECT_EQ(AdapterKindOf(QStringLiteral("007_V002")), AdapterKind::None);
    EXPECT_EQ(AdapterKindOf(QString()), AdapterKind::None);
}

TEST(ConfigV110, Mode2GreenAutoIsTheSingleByte0x79)
{
    LedBits led;
    led.green = true;
    led.automatic = true;
    EXPECT_EQ(DeviceCommands::V110ConfigByte(2, led), 0x79);
    Rig r(QStringLiteral("adapter,key=6000110,stream=none"), kRowV110);
    bool& boxes = r.boxes;
    boxes = true;
    r.link->protocol().setMeasProtocol(link::MeasNone);
    ASSERT_TRUE(r.dc->SetOutputMode(2, led));
    const auto in = r.In(0x79);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0], QByteArray(1, char(0x79)));
    EXPECT_EQ(r.sensor().led(), 9);
    EXPECT_EQ(r.sensor().mode(), 2);
    EXPECT_FALSE(boxes);
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasLong);
    EXPECT_EQ(r.Last(), r.Msg(271) + r.Msg(250));
    EXPECT_GE(r.stops, 1);
}

TEST(ConfigV110, OtherModesLeaveTheProtocolStateAndLedGoesThroughConfiguration)
{
    Rig r(QStringLiteral("adapter,key=6000110,stream=none"), kRowV110);
    r.link->protocol().setMeasProtocol(link::MeasPolled);
    LedBits red;
    red.red = true;
    ASSERT_TRUE(r.dc->SetLed(0, red)); // row 33 allows mode 0
    ASSERT_EQ(r.In(0x42).size(), 1u);  // 64 + red
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasPolled);
    EXPECT_TRUE(r.In(cmd::SetLed).empty());
}

TEST(ConfigV120, Mode4SendsPayload0x80AndClearsTheProtocolState)
{
    EXPECT_EQ(DeviceCommands::V120ModeByte(4), 0x80);
    Rig r(QStringLiteral("adapter,key=120,stream=polled"), kRowV120);
    EXPECT_EQ(r.dc->configFamily(), ConfigFamily::V120);
    r.link->protocol().setMeasProtocol(link::MeasLong);
    ASSERT_TRUE(r.dc->SetOutputMode(4, {}));
    const auto in = r.In(cmd::SetSerialMode);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].size(), 6);
    EXPECT_EQ(quint8(in[0][4]), 0x80);
    EXPECT_EQ(r.sensor().mode(), 4);
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasNone);
}

TEST(ConfigV120, ModePayloadsAndProtocolStates)
{
    Rig r(QStringLiteral("adapter,key=120,stream=polled"), kRowV120);
    ASSERT_TRUE(r.dc->SetConfigV120(1));
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasShort);
    ASSERT_TRUE(r.dc->SetConfigV120(2));
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasLong);
    ASSERT_TRUE(r.dc->SetConfigV120(3));
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasPolled);
    const auto in = r.In(cmd::SetSerialMode);
    ASSERT_EQ(in.size(), 3u);
    EXPECT_EQ(quint8(in[0][4]), 0x10);
    EXPECT_EQ(quint8(in[1][4]), 0x30);
    EXPECT_EQ(quint8(in[2][4]), 0x50);
    // The streams of modes 1 and 2 were purged away; the sensor answers polls again.
    EXPECT_GE(r.PolledOut(), 0);
}

TEST(ConfigModes, Mode5IsSentOnV140AndRefusedOnV120)
{
    {
        Rig r(QStringLiteral("adapter,key=5063140,stream=polled"), kRowV140);
        EXPECT_EQ(r.dc->configFamily(), ConfigFamily::V140);
        ASSERT_TRUE(r.dc->SetOutputMode(5, {}));
        const auto in = r.In(cmd::SetSerialMode);
        ASSERT_EQ(in.size(), 1u);
        EXPECT_EQ(quint8(in[0][4]), 5);
        EXPECT_EQ(r.sensor().mode(), 5);
        EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasNone);
    }
    {
        Rig r(QStringLiteral("adapter,key=120,stream=polled"), kRowV120);
        EXPECT_FALSE(r.dc->SetOutputMode(5, {}));
        EXPECT_EQ(r.Last(), r.Msg(427));
        EXPECT_TRUE(r.In(cmd::SetSerialMode).empty());
        EXPECT_EQ(r.sensor().mode(), 3);
    }
}

TEST(ConfigModes, CapabilityBitsGateModes0134)
{
    Env env;
    env.session.CopyValidSensorType(34); // 6000120 without bit 2
    test::LinkEvents linkEvents;
    link::Link link(env.session, linkEvents, std::unique_ptr<link::SerialDriver>(),
                    std::unique_ptr<link::UsbDriver>());
    Seen seen;
    DeviceCommands dc(env.session, link, seen);
    EXPECT_TRUE(dc.ModeAllowed(0, ConfigFamily::V120));
    EXPECT_TRUE(dc.ModeAllowed(1, ConfigFamily::V120));
    EXPECT_TRUE(dc.ModeAllowed(3, ConfigFamily::V120));
    EXPECT_FALSE(dc.ModeAllowed(4, ConfigFamily::V120));
    EXPECT_TRUE(dc.ModeAllowed(2, ConfigFamily::V120));
    EXPECT_TRUE(dc.ModeAllowed(9, ConfigFamily::V110));
    EXPECT_FALSE(dc.ModeAllowed(8, ConfigFamily::V110));
    EXPECT_TRUE(dc.ModeAllowed(8, ConfigFamily::V140));
    EXPECT_FALSE(dc.ModeAllowed(-1, ConfigFamily::V140));
    // A refused mode writes nothing, even without a link.
    EXPECT_FALSE(dc.SetConfigV120(4));
    EXPECT_EQ(env.host.panel1Log.last(), env.session.Msg(427));
}

TEST(Config0530, ServiceStartEntersThePolledModeInTwoSteps)
{
    Rig r(QStringLiteral("adapter,key=5030200,stream=long"), kRow0530);
    EXPECT_EQ(r.dc->configFamily(), ConfigFamily::QVR0530);
    ASSERT_TRUE(r.dc->StartService({}));
    EXPECT_EQ(r.In(cmd::SetSerialMode).size(), 1u);
    const auto key = r.In(cmd::SetSerialMode2);
    ASSERT_EQ(key.size(), 1u);
    EXPECT_EQ(quint8(key[0][4]), 0xA1);
    EXPECT_EQ(r.sensor().mode(), 3);
    EXPECT_FALSE(r.dc->SetConfigQVR0530(1));
    EXPECT_EQ(r.Last(), r.Msg(427));
}

TEST(Restart, FramedWaitsAndPurgesUnframedIsOneByte)
{
    {
        Rig r(QStringLiteral("adapter,stream=long"), kRowV143);
        const qint64 waited = r.env.host.waitedMs;
        ASSERT_TRUE(r.dc->Restart());
        EXPECT_EQ(r.In(cmd::Restart).size(), 1u);
        EXPECT_GE(r.env.host.waitedMs - waited, 1000);
        EXPECT_EQ(r.sensor().run(), sim::Sensor::Run::App);
    }
    {
        Rig r(QStringLiteral("adapter,key=6000110,stream=none"), kRowV110);
        ASSERT_TRUE(r.dc->Restart());
        EXPECT_EQ(r.In(cmd::V100Restart).size(), 1u);
        EXPECT_EQ(r.Last(), r.Msg(268) + r.Msg(250));
    }
}

TEST(Led, TheByteReachesTheSensor)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    bool& boxes = r.boxes;
    LedBits led;
    led.blue = true;
    led.red = true;
    ASSERT_TRUE(r.dc->SetLed(3, led));
    const auto in = r.In(cmd::SetLed);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(quint8(in[0][4]), 6);
    EXPECT_EQ(r.sensor().led(), 6);
    EXPECT_TRUE(boxes);
    EXPECT_EQ(r.Last(), r.Msg(270) + r.Msg(250));
}

TEST(BubbleTest, SensorCommandRaisesTheOutputValue)
{
    Rig r(QStringLiteral("adapter,stream=polled,tube=filled"), kRowV143);
    const int before = r.PolledOut();
    ASSERT_GE(before, 0);
    EXPECT_LE(before, 25);
    ASSERT_TRUE(r.dc->BubbleTest(3, 10));
    const auto in = r.In(cmd::BubbleTest);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(quint8(in[0][4]), 10);
    EXPECT_GT(r.PolledOut(), 25);
    // Once the bubbles have passed, the liquid is back.
    r.env.session.Wait(2000);
    EXPECT_LE(r.PolledOut(), 25);
}

TEST(BubbleTest, LineAdapterPulsesCbus3)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    const qint64 waited = r.env.host.waitedMs;
    ASSERT_TRUE(r.dc->BubbleTest(4, 7)); // 7 / 5 = 1 ms
    // STOP of the acquisition settles for its 50 ms first; the pulse itself is 1 ms.
    EXPECT_EQ(r.env.host.waitedMs - waited, kStopSettleMs + 1);
    EXPECT_EQ(r.Last(), r.Msg(189));
    EXPECT_TRUE(r.In(cmd::BubbleTest).empty());
    EXPECT_GT(r.PolledOut(), 25);
}

TEST(BubbleTest, ZeroTimeGivesNoWaitAndTestHighStartsReleased)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    const qint64 waited = r.env.host.waitedMs;
    ASSERT_TRUE(r.dc->BubbleTest(5, 0));
    EXPECT_EQ(r.env.host.waitedMs, waited + kStopSettleMs); // STOP's settling only, no pulse wait
    // Test H leaves CBUS3 driven high afterwards: the pulse's rising edge reached the sensor.
    EXPECT_GT(r.PolledOut(), 25);
}

TEST(BubbleTest, DigitalTestPortOfTheTestModule)
{
    Rig r(QStringLiteral("vo40,stream=polled"), kRowV143);
    ASSERT_EQ(r.dc->adapterKind(), AdapterKind::TestModuleDigital);
    ASSERT_TRUE(r.dc->BubbleTest(7, 20));
    const auto in = r.In(cmd::TmBubbleTest, sim::Unit::TestModule);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(quint8(in[0][4]), 3);
    EXPECT_EQ(quint8(in[0][5]), 20);
    EXPECT_EQ(r.Last(), r.Msg(189));
}

TEST(BubbleTest, TestInputNeedsAUsbLinkAndIsIgnoredOnOtherAdapters)
{
    Env env;
    env.session.CopyValidSensorType(kRowV143);
    auto serial = std::make_unique<linktest::FakeSerial>();
    linktest::FakeSerial* s = serial.get();
    s->clock = &env.clock;
    s->Add(QStringLiteral("COM3"));
    test::LinkEvents linkEvents;
    link::Link link(env.session, linkEvents, std::move(serial), std::unique_ptr<link::UsbDriver>());
    link.Reset_COM_USB();
    ASSERT_TRUE(link.IsOpen());
    Seen seen;
    DeviceCommands dc(env.session, link, seen);
    EXPECT_FALSE(dc.BubbleTest(4, 10));
    EXPECT_EQ(env.host.panel1Log.last(), env.session.Msg(119));
    EXPECT_TRUE(s->written.isEmpty());

    Rig r(QStringLiteral("converter,stream=polled"), kRowV143);
    const int texts = int(r.env.host.panel1Log.size());
    EXPECT_FALSE(r.dc->BubbleTest(6, 10));
    // Nothing: the bubble test says nothing itself, and its stop found nothing running to cancel.
    EXPECT_EQ(r.env.host.panel1Log.mid(texts), QStringList{});
}

TEST(Adjusting, SpeedTravelsHighByteFirst)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    ASSERT_TRUE(r.dc->AdjustTemporarily(0x1234));
    const auto in = r.In(cmd::TempAdjusting);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].size(), 7);
    EXPECT_EQ(quint8(in[0][4]), 0x12);
    EXPECT_EQ(quint8(in[0][5]), 0x34);
    EXPECT_EQ(r.sensor().adjustingSpeed(), 0x1234);
}

TEST(GainTest, GridAndClipboard)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    ASSERT_TRUE(r.dc->RunGainTest(DeviceCommands::GainStepOfItem(3)));
    EXPECT_EQ(r.sensor().gainStep(), 3);
    const GainGrid& g = r.dc->gainGrid();
    EXPECT_EQ(g.cells[0][0], QStringLiteral("Gain"));
    EXPECT_EQ(g.cells[3][0], QStringLiteral("Sig3"));
    EXPECT_EQ(g.cells[0][1], QStringLiteral("3"));
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(g.cells[size_t(i)][1].isEmpty());
    EXPECT_EQ(r.env.host.clipboard, g.ClipboardText());
    EXPECT_TRUE(r.env.host.clipboard.startsWith(QStringLiteral("Gain\t3\r\nSig1\t")));
    EXPECT_EQ(r.Last(), r.Msg(462) + r.Msg(250));

    ASSERT_TRUE(r.dc->RunGainTest(DeviceCommands::GainStepOfItem(5)));
    EXPECT_EQ(r.dc->gainGrid().cells[0][1], QStringLiteral("auto"));
    EXPECT_EQ(r.sensor().gainStep(), 255);
}

TEST(GainTest, FailureClearsTheValuesAndSays280)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    ASSERT_TRUE(r.dc->RunGainTest(1));
    r.sensor().faults.mute = true;
    EXPECT_FALSE(r.dc->RunGainTest(2));
    EXPECT_TRUE(r.dc->gainGrid().cells[0][1].isEmpty());
    EXPECT_EQ(r.Last(), r.Msg(462) + r.Msg(280));
    EXPECT_EQ(r.env.host.clipboard, QStringLiteral("Gain\t\r\nSig1\t\r\nSig2\t\r\nSig3\t\r\n"));
}

TEST(Channel, OnAComLinkShows375AndSendsNothing)
{
    Env env;
    auto serial = std::make_unique<linktest::FakeSerial>();
    linktest::FakeSerial* s = serial.get();
    s->clock = &env.clock;
    s->Add(QStringLiteral("COM3"));
    test::LinkEvents linkEvents;
    link::Link link(env.session, linkEvents, std::move(serial), std::unique_ptr<link::UsbDriver>());
    link.Reset_COM_USB();
    ASSERT_TRUE(link.IsOpen());
    Seen seen;
    DeviceCommands dc(env.session, link, seen);
    EXPECT_FALSE(dc.SetIF(true));
    EXPECT_EQ(env.host.panel1Log.last(), env.session.Msg(375));
    EXPECT_TRUE(s->written.isEmpty());
    EXPECT_EQ(seen.changes, 0); // the caption stays as it was
    EXPECT_EQ(dc.ChannelCaption(), QStringLiteral("CH 1"));
}

TEST(Channel, TestModuleWithDigitalPortSwitches)
{
    Rig r(QStringLiteral("vo40,stream=polled"), kRowV143);
    QString& caption = r.caption;
    ASSERT_TRUE(r.dc->SetIF(false));
    EXPECT_EQ(caption, QStringLiteral("CH 2"));
    const auto in = r.In(cmd::TmSerialIf, sim::Unit::TestModule);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(quint8(in[0][4]), 0);
    EXPECT_EQ(r.Last(), r.Msg(376) + r.Msg(250));
    // Other adapters do not have the switch.
    Rig t(QStringLiteral("tk33,stream=polled"), kRowV143);
    EXPECT_FALSE(t.dc->SetIF(true));
    EXPECT_EQ(t.Last(), t.Msg(375));
}

TEST(Power, LineAdapterOffSilencesTheSensorOnBringsItBack)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    std::vector<bool>& glyphs = r.glyphs;
    ASSERT_TRUE(r.Ping());
    ASSERT_TRUE(r.dc->SetPower(false));
    EXPECT_EQ(r.Last(), r.Msg(108));
    EXPECT_FALSE(r.sensor().powered());
    EXPECT_FALSE(r.Ping());
    ASSERT_TRUE(r.dc->SetPower(true));
    EXPECT_EQ(r.Last(), r.Msg(107));
    r.env.session.Wait(500);
    EXPECT_TRUE(r.Ping());
    EXPECT_EQ(glyphs, (std::vector<bool>{false, true}));
}

TEST(Power, TestModuleIdentifiesOnceThenSwitches)
{
    Rig r(QStringLiteral("tk33,stream=polled"), kRowV143);
    ASSERT_TRUE(r.dc->SetPower(false));
    EXPECT_EQ(r.station->testModule().ident.ident, 99);
    EXPECT_FALSE(r.bench().module()->sensorPower());
    EXPECT_FALSE(r.sensor().powered());
    ASSERT_TRUE(r.dc->SetPower(true));
    EXPECT_TRUE(r.bench().module()->sensorPower());
    EXPECT_EQ(r.In(cmd::TmIdent, sim::Unit::TestModule).size(), 1u);
    const auto p = r.In(cmd::TmPower, sim::Unit::TestModule);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(quint8(p[0][4]), 0);
    EXPECT_EQ(quint8(p[1][4]), 1);
}

TEST(Power, UnsupportedAdapterShows118)
{
    Rig r(QStringLiteral("converter,stream=polled"), kRowV143);
    EXPECT_FALSE(r.dc->SetPower(false));
    EXPECT_EQ(r.Last(), r.Msg(118));
    EXPECT_TRUE(r.sensor().powered());
}

TEST(Power, AutomaticPowerCyclesBeforeTheConfiguration)
{
    Rig r(QStringLiteral("adapter,stream=polled"), kRowV143);
    std::vector<bool>& checks = r.checks;
    bool& shown = r.shown;
    r.dc->TogglePowerAuto();
    EXPECT_TRUE(r.dc->PowerAuto());
    EXPECT_TRUE(shown);
    ASSERT_TRUE(r.dc->SetOutputMode(2, {}));
    EXPECT_EQ(checks, (std::vector<bool>{false, true}));
    // The restarted sensor took the new mode.
    EXPECT_EQ(r.sensor().mode(), 2);
    EXPECT_EQ(r.link->protocol().measProtocol(), link::MeasLong);
    r.dc->TogglePowerAuto();
    EXPECT_FALSE(r.dc->PowerAuto());
}
