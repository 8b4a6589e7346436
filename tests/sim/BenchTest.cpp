// The converters: RTS routing to the test module, the module's switches, the line adapter's
// CBUS lines, the driver buffer.
#include "SimTestSupport.h"

#include "sim/Profile.h"

#include <gtest/gtest.h>

using namespace simtest;
using namespace vmx::sim;
using namespace vmx::proto;

namespace {
ConverterSpec Tk33()
{
    std::vector<ConverterSpec> v;
    QString e;
    EXPECT_TRUE(ParseProfile(QStringLiteral("tk33,stream=polled"), v, e));
    return v.front();
}
} // namespace

TEST(SimBench, RtsRoutesBetweenTestModuleAndSensor)
{
    Pc pc(Tk33());
    // RTS cleared (as after opening): the test module answers.
    QByteArray a = pc.Exchange(Cmd(cmd::TmIdent));
    ASSERT_EQ(a.size(), 21);
    EXPECT_EQ(a.mid(4, 6), Hex("63210100d200"));
    pc.bench.SetRts(true, pc.now);
    a = pc.Exchange(Cmd(cmd::GetIdent));
    ASSERT_EQ(a.size(), 21);
    EXPECT_EQ(quint8(a[4]), 20);
    EXPECT_EQ(pc.bench.trace().CountIn(cmd::TmIdent, Unit::TestModule), 1);
    EXPECT_EQ(pc.bench.trace().CountIn(cmd::GetIdent, Unit::Sensor), 1);
}

TEST(SimBench, TheModulesSerialInterfaceMustMatchTheSensor)
{
    Pc pc(Tk33());
    EXPECT_EQ(pc.Exchange(Cmd(cmd::TmSerialIf, {0})), QByteArray(1, char(0x11)));
    EXPECT_EQ(pc.bench.module()->serialIf(), 0);
    pc.bench.SetRts(true, pc.now);
    EXPECT_FALSE(pc.bench.SensorConnected());
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    pc.bench.SetRts(false, pc.now);
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::TmSerialIf, {3})).isEmpty()); // no such interface
    pc.Exchange(Cmd(cmd::TmSerialIf, {1}));
    pc.bench.SetRts(true, pc.now);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)), QByteArray(1, char(0x11)));
}

TEST(SimBench, TheModuleSwitchesTheSensorsPower)
{
    Pc pc(Tk33());
    pc.Exchange(Cmd(cmd::TmPower, {0}));
    EXPECT_FALSE(pc.bench.sensor().powered());
    pc.bench.SetRts(true, pc.now);
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    pc.bench.SetRts(false, pc.now);
    pc.Exchange(Cmd(cmd::TmPower, {1}));
    pc.Pass(Sensor::kRestartUs);
    pc.bench.SetRts(true, pc.now);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)), QByteArray(1, char(0x11)));
}

TEST(SimBench, ModuleOutputMeasurement)
{
    Pc pc(Tk33());
    EXPECT_EQ(pc.Exchange(Cmd(cmd::TmMeasStart)).size(), 1);
    QByteArray a = pc.Exchange(Cmd(cmd::TmMeasStop));
    ASSERT_EQ(a.size(), 8);        // TK33: three data bytes
    EXPECT_EQ(quint8(a[4]), 0x22); // filled tube: outputs high, latched high

    std::vector<ConverterSpec> v;
    QString e;
    ASSERT_TRUE(ParseProfile(QStringLiteral("vo40"), v, e));
    Pc vo(v.front());
    ASSERT_EQ(vo.Exchange(Cmd(cmd::TmIdent)).mid(4, 3), Hex("632802"));
    EXPECT_EQ(vo.Exchange(Cmd(cmd::TmMeasStop)).size(), 9);
    EXPECT_EQ(vo.Exchange(Cmd(cmd::TmBubbleTest, {1, 10})).size(), 1);
}

TEST(SimBench, LineAdapterCbusSwitchesPowerAndTestInput)
{
    Pc pc(Polled());
    pc.bench.SetBitMode(0x4C, kBitModeCbus, pc.now); // CBUS2 driven high: power off
    EXPECT_FALSE(pc.bench.sensor().powered());
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    pc.bench.SetBitMode(0x0C, kBitModeCbus, pc.now); // all inputs: power on
    pc.Pass(Sensor::kRestartUs);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)), QByteArray(1, char(0x11)));
    pc.bench.SetBitMode(0x8C, kBitModeCbus, pc.now); // CBUS3 driven: test pulse
    pc.bench.SetBitMode(0x0C, kBitModeCbus, pc.now);
    const QByteArray a = pc.Exchange(Cmd(cmd::MeasData));
    ASSERT_EQ(a.size(), 22);
    // A test pulse is a small bubble: OUT in the small-bubble band, no alarm.
    EXPECT_GT(quint8(a[20]), 25);
    EXPECT_LE(quint8(a[20]), 150);
    EXPECT_EQ(quint8(a[4 + 9]), 0);
}

TEST(SimBench, RtsHasNoEffectWithoutTestModule)
{
    Pc pc(Polled());
    pc.bench.SetRts(false, pc.now);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)).size(), 1);
    pc.bench.SetRts(true, pc.now);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)).size(), 1);
}

TEST(SimBench, WhenAvailableForesees)
{
    Pc pc(Polled());
    EXPECT_EQ(pc.bench.WhenAvailable(1, pc.now), -1);
    pc.Send(Cmd(cmd::MeasData));
    const qint64 t = pc.bench.WhenAvailable(22, pc.now);
    EXPECT_EQ(t, BytesToUs(5) + Sensor::kProcUs + BytesToUs(22));
    EXPECT_EQ(pc.bench.WhenAvailable(23, pc.now), t); // nothing further foreseen: the last byte

    ConverterSpec s;
    s.sensor.mode = 2;
    Pc st(s);
    EXPECT_EQ(st.bench.WhenAvailable(100, 0), BytesToUs(100));
}
