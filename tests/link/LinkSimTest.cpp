// The link against the in-process simulated bench on a virtual clock: whole exchanges in
// virtual time, deterministic, the converter paths, routing and the probe.
#include "LinkEvents.h"
#include "LinkTestSupport.h"

#include "link/Link.h"
#include "sim/Profile.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace linktest;
using namespace vmx::link;
using namespace vmx::proto;

namespace {

struct SimRig {
    Env env;
    vmx::test::LinkEvents events;
    std::unique_ptr<Link> link;
    explicit SimRig(const QString& profile)
    {
        LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        link = std::make_unique<Link>(env.session, events, o);
        EXPECT_TRUE(link->profileError().isEmpty()) << link->profileError().toStdString();
        link->Reset_COM_USB();
    }
    FrameProtocol& fp() { return link->protocol(); }
    bool Probe(int pollIntervalMs = 1000)
    {
        return fp().CheckSerialProtocol(pollIntervalMs, [this] { return fp().PollMeasValues(); });
    }
    vmx::sim::Bench& bench() { return *link->OpenSimBench(); }
    QString Last() const { return env.host.panel1Log.isEmpty() ? QString() : env.host.panel1Log.last(); }
    QString Msg(int m) const { return env.session.Msg(m); }
    bool Ping() { return fp().SendReceiveCommand(kTargetSensor, cmd::Ping, 5, 1, Msg(260)); }
};

} // namespace

TEST(LinkSim, TheBenchIsAUsbConverter)
{
    SimRig r(QStringLiteral("broken,adapter"));
    ASSERT_EQ(r.link->MenuEntries().size(), 1u);
    EXPECT_EQ(r.link->MenuEntries()[0].caption, QStringLiteral("USB2")); // USB1 cannot be opened
    EXPECT_EQ(r.link->PortName(), QStringLiteral("USB2"));
    EXPECT_TRUE(r.link->UsbInUse());
    EXPECT_EQ(r.link->UsbSerial(), QStringLiteral("VMXS9007"));
    EXPECT_EQ(r.env.host.panel[0], QStringLiteral("USB2: VMX Sim Line Adapter 007 / SN: VMXS9007"));
    EXPECT_EQ(r.link->SimCount(), 2u);
    EXPECT_EQ(r.link->OpenSimBench(), r.link->SimBench(1));
    EXPECT_TRUE(r.env.host.questions.empty());
}

TEST(LinkSim, PingInVirtualTime)
{
    SimRig r(QStringLiteral("stream=polled"));
    QElapsedTimer real;
    real.start();
    const qint64 t0 = r.env.clock.NowUs();
    ASSERT_TRUE(r.Ping());
    const qint64 took = r.env.clock.NowUs() - t0;
    // 5 ms purge wait, five bytes out, the sensor's processing, one byte back.
    EXPECT_EQ(took, 5000 + BytesToUs(5) + vmx::sim::Sensor::kProcUs + BytesToUs(1));
    EXPECT_EQ(r.Last(), r.Msg(260) + r.Msg(250));
    EXPECT_LT(real.elapsed(), 1000);
    const auto in = r.bench().trace().Of(vmx::sim::Dir::In, vmx::sim::Unit::Sensor);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].bytes, QByteArray::fromHex("f10005291e"));
}

TEST(LinkSim, PolledMeasurementAndAnswerFaults)
{
    SimRig r(QStringLiteral("stream=polled"));
    r.fp().SetWithFrameCrc(true);
    ASSERT_TRUE(r.fp().SendReceiveCommand(1, cmd::MeasData, 5, 22, r.Msg(284)));
    EXPECT_EQ(r.link->Rx()[3], 0x23);
    r.bench().sensor().faults.corruptAnswers = 1;
    EXPECT_FALSE(r.fp().SendReceiveCommand(1, cmd::MeasData, 5, 22, r.Msg(284)));
    EXPECT_EQ(r.Last(), r.Msg(284) + r.Msg(352));
    r.fp().SetWithFrameCrc(false);
    r.bench().sensor().faults.corruptAnswers = 1;
    EXPECT_TRUE(r.fp().SendReceiveCommand(1, cmd::MeasData, 5, 22, r.Msg(284)));
    // A lost byte: the read runs into the converter's 1000 ms time-out.
    r.bench().sensor().faults.truncateAnswers = 1;
    const qint64 t0 = r.env.clock.NowMs();
    EXPECT_FALSE(r.fp().SendReceiveCommand(1, cmd::MeasData, 5, 22, r.Msg(284)));
    EXPECT_EQ(r.Last(), r.Msg(284) + r.Msg(255));
    EXPECT_GE(r.env.clock.NowMs() - t0, 1000);
    EXPECT_LT(r.env.clock.NowMs() - t0, 1010);
}

TEST(LinkSim, AMutedSensor)
{
    SimRig r(QStringLiteral("stream=polled"));
    r.bench().sensor().faults.mute = true;
    EXPECT_FALSE(r.Ping());
    EXPECT_EQ(r.Last(), r.Msg(260) + r.Msg(255));
}

TEST(LinkSim, ProbeOnEveryDeliveryMode)
{
    {
        SimRig r(QStringLiteral("stream=long"));
        EXPECT_TRUE(r.Probe());
        EXPECT_EQ(r.fp().measProtocol(), MeasLong);
        EXPECT_EQ(r.fp().timerIntervalMs(), 10);
    }
    {
        SimRig r(QStringLiteral("stream=short"));
        EXPECT_TRUE(r.Probe());
        EXPECT_EQ(r.fp().measProtocol(), MeasShort);
    }
    {
        SimRig r(QStringLiteral("stream=polled"));
        EXPECT_TRUE(r.Probe(2000));
        EXPECT_EQ(r.fp().measProtocol(), MeasPolled);
        EXPECT_EQ(r.fp().timerIntervalMs(), 2000);
    }
    {
        // V1.10 without a stream: the framed poll is not understood.
        SimRig r(QStringLiteral("key=6000110,mode=0"));
        r.env.session.CopyValidSensorType(33);
        EXPECT_FALSE(r.Probe());
        EXPECT_EQ(r.fp().measProtocol(), MeasNone);
        EXPECT_EQ(r.Last(), r.Msg(259));
        EXPECT_TRUE(r.fp().SendReceiveCommandV100(cmd::V100Ping, 1, 1, r.Msg(260)));
    }
}

TEST(LinkSim, CommandsToAStreamingSensor)
{
    SimRig r(QStringLiteral("stream=long"));
    // Set the polled mode (no answer) on a streaming sensor, then it answers cleanly.
    r.link->Tx()[4] = 3;
    ASSERT_TRUE(r.fp().SendReceiveCommand(1, cmd::SetSerialMode, 6, 0, r.Msg(271)));
    r.env.session.Wait(100);
    r.link->Purge_In();
    EXPECT_TRUE(r.Ping());
    EXPECT_TRUE(r.fp().SendReceiveCommand(1, cmd::GetIdent, 5, 21, r.Msg(349)));
    EXPECT_EQ(r.link->Rx()[4 + 1], 5);
    EXPECT_EQ(r.link->Rx()[4 + 2], 28);
}

TEST(LinkSim, AStreamsRecordsGetInTheWayOfAnAcknowledge)
{
    // Full duplex: what the sensor streamed while the request was on the line comes first.
    SimRig r(QStringLiteral("stream=long"));
    r.env.clock.SleepMs(3);
    EXPECT_FALSE(r.Ping());
    EXPECT_TRUE(r.Last().startsWith(r.Msg(260) + r.Msg(256))) << r.Last().toStdString();
    // The sensor did get the ping and answered it between two records.
    EXPECT_EQ(r.bench().trace().CountIn(cmd::Ping, vmx::sim::Unit::Sensor), 1);
}

TEST(LinkSim, RestartThenPing)
{
    SimRig r(QStringLiteral("stream=polled"));
    ASSERT_TRUE(r.fp().SendReceiveCommand(1, cmd::Restart, 5, 0, r.Msg(268)));
    EXPECT_FALSE(r.Ping()); // still restarting
    r.env.session.Wait(1000);
    r.link->Purge_In();
    EXPECT_TRUE(r.Ping());
}

TEST(LinkSim, LineAdapterPowerThroughCbus)
{
    SimRig r(QStringLiteral("adapter,stream=polled"));
    ASSERT_TRUE(r.link->SetBitMode(0x4C, kBitModeCbus));
    EXPECT_FALSE(r.Ping());
    ASSERT_TRUE(r.link->SetBitMode(0x0C, kBitModeCbus));
    r.env.session.Wait(500);
    EXPECT_TRUE(r.Ping());
}

TEST(LinkSim, ChoosingAnotherConverter)
{
    SimRig r(QStringLiteral("all,stream=polled"));
    ASSERT_EQ(r.link->MenuEntries().size(), 4u);
    r.link->NewComX(1003);
    EXPECT_EQ(r.link->PortName(), QStringLiteral("USB3"));
    EXPECT_EQ(r.link->UsbSerial(), QStringLiteral("VMXS9002"));
    // Opening cleared RTS: the module is on the line.
    EXPECT_TRUE(r.bench().RoutedToModule());
    ASSERT_TRUE(r.fp().SendReceiveCommand(1, cmd::GetIdent, 5, 21, r.Msg(349)));
    EXPECT_EQ(r.link->Rx()[4], 99);
    r.link->ForceRTS(1);
    ASSERT_TRUE(r.fp().SendReceiveCommand(1, cmd::GetIdent, 5, 21, r.Msg(349)));
    EXPECT_EQ(r.link->Rx()[4], 20);
}

TEST(LinkSim, RunsAreDeterministic)
{
    auto run = [] {
        SimRig r(QStringLiteral("stream=long"));
        r.Probe();
        r.link->Read_Buffer(800);
        QByteArray got(reinterpret_cast<const char*>(r.link->Rx()), 800);
        r.link->Tx()[4] = 3;
        r.fp().SendReceiveCommand(1, cmd::SetSerialMode, 6, 0, r.Msg(271));
        r.env.session.Wait(100);
        r.fp().SendReceiveCommand(1, cmd::MeasData, 5, 22, r.Msg(284));
        got.append(reinterpret_cast<const char*>(r.link->Rx()), 22);
        return std::make_pair(got, r.env.clock.NowUs());
    };
    const auto a = run();
    const auto b = run();
    EXPECT_EQ(a.first, b.first);
    EXPECT_EQ(a.second, b.second);
}

TEST(LinkSim, LongStreamReadTakesTheLinesTime)
{
    SimRig r(QStringLiteral("stream=long"));
    r.link->Purge_In();
    const qint64 t0 = r.env.clock.NowUs();
    ASSERT_EQ(r.link->Read_Buffer(11520), 11520);
    const qint64 took = r.env.clock.NowUs() - t0;
    EXPECT_GE(took, 999000);
    EXPECT_LE(took, 1001000);
}
