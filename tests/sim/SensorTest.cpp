// The simulated sensor: strict frames, the application and boot-loader command sets, the
// measuring model, the streams at the line's byte rate, faults and the trace.
#include "SimTestSupport.h"

#include "sim/Profile.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>

using namespace simtest;
using namespace vmx::sim;
using namespace vmx::proto;

namespace {
bool FrameOk(const QByteArray& a, int len, int command)
{
    if (a.size() != len) return false;
    const auto* p = reinterpret_cast<const quint8*>(a.constData());
    return (p[0] & 0x0F) == 1 && ((p[1] << 8) | p[2]) == len && p[3] == command &&
           FrameCrc(p, len) == p[len - 1];
}
} // namespace

TEST(SimSensor, PingIsAcknowledgedAfterTheRequestAtLineRate)
{
    Pc pc(Polled());
    pc.Send(Cmd(cmd::Ping));
    // Five request bytes, the processing time, one answer byte.
    const qint64 due = BytesToUs(5) + Sensor::kProcUs + BytesToUs(1);
    pc.now = due - 1;
    EXPECT_TRUE(pc.Take().isEmpty());
    pc.now = due;
    EXPECT_EQ(pc.Take(), QByteArray(1, char(0x11)));
}

TEST(SimSensor, PolledAnswerLengthFollowsTheFirmware)
{
    ConverterSpec c = Polled();
    ASSERT_TRUE(c.sensor.SetKey(5028143));
    Pc pc(c);
    QByteArray a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_TRUE(FrameOk(a, 22, 0x23)) << a.toHex(' ').constData();
    // Filled tube: no error, no alarm; OUT in the liquid band.
    EXPECT_EQ(quint8(a[4 + 12]), 0);
    EXPECT_EQ(quint8(a[4 + 9]), 0);
    EXPECT_LE(quint8(a[20]), 25);
    EXPECT_EQ(quint8(a[4 + 15]), 143);

    ConverterSpec old = Polled();
    ASSERT_TRUE(old.sensor.SetKey(6000123));
    Pc pc2(old);
    a = pc2.Exchange(Cmd(cmd::MeasData));
    EXPECT_TRUE(FrameOk(a, 21, 0x23)) << a.toHex(' ').constData();
}

TEST(SimSensor, TubeStatesShowInTheValues)
{
    ConverterSpec c = Polled();
    c.sensor.tube = Tube::Empty;
    Pc pc(c);
    QByteArray a = pc.Exchange(Cmd(cmd::MeasData));
    ASSERT_EQ(a.size(), 22);
    EXPECT_EQ(quint8(a[4 + 9]), 1); // alarm
    EXPECT_EQ(quint8(a[20]), 240);  // OUT
    pc.bench.sensor().SetTube(Tube::None, pc.now);
    a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_NE(quint8(a[4 + 12]), 0); // error
    EXPECT_EQ(quint8(a[20]), 241);
    pc.bench.sensor().SetTube(Tube::Filled, pc.now);
    pc.bench.sensor().Bubble(pc.now, 100000);
    a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_EQ(quint8(a[4 + 9]), 1);
    EXPECT_GT(quint8(a[4 + 11]), 0);
    pc.Pass(200000);
    a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_EQ(quint8(a[4 + 9]), 0);
}

TEST(SimSensor, IdentificationAndCalibrationBlocks)
{
    ConverterSpec c = Polled();
    c.sensor.SetKey(5028143);
    c.sensor.serialNo = 0x1234;
    c.sensor.year = 14;
    c.sensor.cal[0] = 25;
    Pc pc(c);
    QByteArray a = pc.Exchange(Cmd(cmd::GetIdent));
    ASSERT_TRUE(FrameOk(a, 21, 0x25));
    EXPECT_EQ(a.mid(4, 6), Hex("14051c0e8f00"));
    EXPECT_EQ(quint8(a[4 + 13]), 14);
    EXPECT_EQ(quint8(a[4 + 14]), 0x34);
    EXPECT_EQ(quint8(a[4 + 15]), 0x12);
    a = pc.Exchange(Cmd(cmd::ReadCal));
    ASSERT_TRUE(FrameOk(a, 21, 0x37));
    EXPECT_EQ(quint8(a[4]), 25);
    EXPECT_EQ(quint8(a[5]), 0xFF);
}

TEST(SimSensor, WrongFramesGetNoAnswerAndAreTraced)
{
    Pc pc(Polled());
    QByteArray bad = Cmd(cmd::Ping);
    bad[4] = char(bad[4] ^ 1);
    EXPECT_TRUE(pc.Exchange(bad).isEmpty());
    QByteArray otherAddress = Cmd(cmd::Ping);
    otherAddress[0] = char(0xF2);
    EXPECT_TRUE(pc.Exchange(otherAddress).isEmpty());
    EXPECT_TRUE(pc.Exchange(Frame({0xF1, 0, 0, 0x77})).isEmpty()); // unknown command
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping, {0})).isEmpty());       // ping with a wrong length
    const auto in = pc.bench.trace().Of(Dir::In, Unit::Sensor);
    ASSERT_EQ(in.size(), 3u);
    EXPECT_FALSE(in[0].ok);
    EXPECT_EQ(in[0].note, QStringLiteral("bad checksum"));
    EXPECT_FALSE(in[1].ok);
    EXPECT_FALSE(in[2].ok);
    // A good frame after all that is answered.
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)), QByteArray(1, char(0x11)));
}

TEST(SimSensor, APauseInsideAFrameDropsIt)
{
    Pc pc(Polled());
    const QByteArray f = Cmd(cmd::Ping);
    pc.Send(f.left(2));
    pc.Pass(FrameParser::kGapUs + 1000);
    pc.Send(f.mid(2));
    pc.Pass(10000);
    EXPECT_TRUE(pc.Take().isEmpty());
}

TEST(SimSensor, LongStreamRecordsAtTheLineRate)
{
    ConverterSpec c;
    c.sensor.mode = 2;
    Pc pc(c);
    pc.Pass(1000000);
    const QByteArray s = pc.Take();
    // One second of line: 11520 bytes.
    EXPECT_NEAR(s.size(), 11520, 2);
    const auto* p = reinterpret_cast<const quint8*>(s.constData());
    for (int r = 0; r + 5 <= 800; r += 5) {
        ASSERT_EQ(p[r], 0xFF) << r;
        EXPECT_EQ(p[r + 3] & 0x0F, (r / 5) % 16);
        EXPECT_EQ(Crc6(0xFF, p + r + 1, 3), p[r + 4]);
    }
    // Record k carries V_k: V15 is the firmware's version byte.
    EXPECT_EQ(quint8((p[75 + 2] & 0x7F) | (p[75 + 3] & 0x80)), quint8(143));
}

TEST(SimSensor, ShortStreamAndModeChanges)
{
    ConverterSpec c;
    c.sensor.SetKey(5028143);
    c.sensor.mode = 1;
    Pc pc(c);
    pc.Pass(100000);
    QByteArray s = pc.Take();
    ASSERT_GE(s.size(), 48);
    for (int r = 0; r < 48; r += 3) {
        EXPECT_EQ(quint8(s[r]), 0xFE);
        EXPECT_EQ(Crc6(0xFE, reinterpret_cast<const quint8*>(s.constData()) + r + 1, 1), quint8(s[r + 2]));
    }
    // V1.40 and later: the payload of 0x32 is the mode index; 3 stops the stream.
    pc.Send(Cmd(cmd::SetSerialMode, {3}));
    pc.Pass(50000);
    pc.Take();
    pc.Pass(100000);
    EXPECT_TRUE(pc.Take().isEmpty());
    EXPECT_EQ(pc.bench.sensor().mode(), 3);
    pc.Send(Cmd(cmd::SetSerialMode, {2}));
    pc.Pass(100000);
    s = pc.Take();
    ASSERT_GT(s.size(), 5);
    EXPECT_EQ(quint8(s[0]), 0xFF);

    // V1.2x: 0x10 short, 0x30 long, 0x50 polled.
    ConverterSpec v120;
    v120.sensor.SetKey(5020122);
    v120.sensor.mode = 3;
    Pc pc2(v120);
    pc2.Send(Cmd(cmd::SetSerialMode, {0x10}));
    pc2.Pass(100000);
    EXPECT_EQ(pc2.bench.sensor().mode(), 1);
    pc2.Send(Cmd(cmd::SetSerialMode, {0x50}));
    pc2.Pass(100000);
    EXPECT_EQ(pc2.bench.sensor().mode(), 3);
}

TEST(SimSensor, AStreamingSensorAnswersBetweenRecords)
{
    ConverterSpec c;
    c.sensor.mode = 2;
    Pc pc(c);
    pc.Pass(3000);
    QByteArray s = pc.Take();
    pc.Send(Cmd(cmd::GetIdent));
    pc.Pass(10000);
    s += pc.Take();
    const int at = int(s.indexOf(Hex("f1001525")));
    ASSERT_GE(at, 0);
    EXPECT_EQ(at % 5, 0); // the record on the line was completed first
    EXPECT_TRUE(FrameOk(s.mid(at, 21), 21, 0x25));
    EXPECT_EQ(quint8(s[at + 21]), 0xFF); // and the stream goes on
}

TEST(SimSensor, RestartSilencesTheSensorForAWhile)
{
    Pc pc(Polled());
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Restart), 2000), QByteArray(1, char(0x11)));
    EXPECT_EQ(pc.bench.sensor().run(), Sensor::Run::Starting);
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping), 2000).isEmpty());
    pc.Pass(Sensor::kRestartUs);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)), QByteArray(1, char(0x11)));
}

TEST(SimSensor, BootLoaderHasItsOwnCommandSet)
{
    Pc pc(Polled());
    pc.Send(Cmd(cmd::StartBoot));
    pc.Pass(Sensor::kBootEntryUs + 5000);
    pc.Take();
    EXPECT_TRUE(pc.bench.sensor().InBootLoader());
    QByteArray a = pc.Exchange(Cmd(cmd::BootIdent));
    ASSERT_TRUE(FrameOk(a, 21, 0x15));
    EXPECT_EQ(a.mid(4, 6), Hex("00031a00014a"));
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::MeasData)).isEmpty()); // application command
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)), QByteArray(1, char(0x11)));
    pc.Exchange(Cmd(cmd::Restart));
    pc.Pass(Sensor::kRestartUs);
    pc.Take();
    EXPECT_FALSE(pc.bench.sensor().InBootLoader());
    EXPECT_EQ(pc.Exchange(Cmd(cmd::MeasData)).size(), 22);
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::BootIdent)).isEmpty()); // boot command in the application
}

TEST(SimSensor, Qvr0530EntersTheBootLoaderInTwoSteps)
{
    ConverterSpec c = Polled();
    ASSERT_TRUE(c.sensor.SetKey(5030201));
    EXPECT_EQ(c.sensor.generation(), Generation::G0530);
    Pc pc(c);
    pc.Send(Cmd(cmd::StartBoot));
    pc.Pass(Sensor::kBootEntryUs + 5000);
    pc.Take();
    EXPECT_FALSE(pc.bench.sensor().InBootLoader());
    pc.Send(Cmd(cmd::StartBoot2, {0xA0}));
    pc.Pass(Sensor::kBootEntryUs + 5000);
    pc.Take();
    EXPECT_TRUE(pc.bench.sensor().InBootLoader());

    // Service mode: 0x32 without payload, then 0x35 A1; 0x35 alone is refused.
    ConverterSpec streaming = c;
    streaming.sensor.mode = 2;
    Pc pc2(streaming);
    pc2.Send(Cmd(cmd::SetSerialMode2, {0xA1}));
    pc2.Pass(50000);
    pc2.Take();
    EXPECT_EQ(pc2.bench.sensor().mode(), 2);
    pc2.Send(Cmd(cmd::SetSerialMode));
    pc2.Pass(5000);
    pc2.Send(Cmd(cmd::SetSerialMode2, {0xA1}));
    pc2.Pass(50000);
    pc2.Take();
    EXPECT_EQ(pc2.bench.sensor().mode(), 3);
}

TEST(SimSensor, V110SpeaksUnframed)
{
    ConverterSpec c;
    ASSERT_TRUE(c.sensor.SetKey(6000110));
    c.sensor.mode = 0;
    Pc pc(c);
    EXPECT_EQ(pc.Exchange(QByteArray(1, char(0x10))), QByteArray(1, char(0x10)));
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    // Configuration byte 64 + green + auto + long stream = 0x79.
    pc.Send(QByteArray(1, char(0x79)));
    pc.Pass(50000);
    EXPECT_EQ(pc.bench.sensor().mode(), 2);
    EXPECT_EQ(pc.bench.sensor().led(), 0x09);
    EXPECT_EQ(quint8(pc.Take().at(0)), 0xFF);
    // Boot loader: 0xAA, then identification 0x15 with 17 bytes.
    pc.Send(QByteArray(1, char(0x40)));
    pc.Pass(50000);
    pc.Send(QByteArray(1, char(0xAA)));
    pc.Pass(50000);
    pc.Take();
    const QByteArray a = pc.Exchange(QByteArray(1, char(0x15)));
    ASSERT_EQ(a.size(), 17);
    EXPECT_EQ(quint8(a[0]), 0x15);
    EXPECT_EQ(a.mid(3, 2), Hex("0c00"));
}

TEST(SimSensor, FaultsOnDemand)
{
    Pc pc(Polled());
    Faults& f = pc.bench.sensor().faults;
    f.dropAnswers = 1;
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)).size(), 1);
    f.truncateAnswers = 1;
    EXPECT_EQ(pc.Exchange(Cmd(cmd::MeasData)).size(), 21);
    f.corruptAnswers = 1;
    QByteArray a = pc.Exchange(Cmd(cmd::MeasData));
    ASSERT_EQ(a.size(), 22);
    EXPECT_NE(FrameCrc(reinterpret_cast<const quint8*>(a.constData()), 22), quint8(a[21]));
    f.delayUs = 50000;
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping), 40000).isEmpty());
    pc.Pass(20000);
    EXPECT_EQ(pc.Take().size(), 1);
    f.delayUs = 0;
    f.mute = true;
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    const auto out = pc.bench.trace().Of(Dir::Out, Unit::Sensor);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back().note, QStringLiteral("muted (fault)"));
}

// Faults aimed at the middle of a transfer: the first N answers go out unharmed.
TEST(SimSensor, FaultsStrikeAfterTheAnswersTheyAreAimedBehind)
{
    Pc pc(Polled());
    Faults& f = pc.bench.sensor().faults;
    f.afterAnswers = 2;
    f.mute = true;
    f.delayUs = 500000;
    EXPECT_EQ(pc.Exchange(Cmd(cmd::Ping)).size(), 1);
    EXPECT_EQ(pc.Exchange(Cmd(cmd::MeasData)).size(), 22); // not delayed either
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    EXPECT_TRUE(pc.Exchange(Cmd(cmd::Ping)).isEmpty());
    EXPECT_EQ(f.afterAnswers, 0);

    // A pulled cable: the answer is lost and the sensor is off until plugged back in.
    Pc pc2(Polled());
    Faults& g = pc2.bench.sensor().faults;
    g.afterAnswers = 1;
    g.unplug = true;
    EXPECT_EQ(pc2.Exchange(Cmd(cmd::Ping)).size(), 1);
    EXPECT_TRUE(pc2.Exchange(Cmd(cmd::MeasData)).isEmpty());
    EXPECT_FALSE(pc2.bench.sensor().powered());
    g.unplug = false;
    EXPECT_TRUE(pc2.Exchange(Cmd(cmd::Ping)).isEmpty()); // nobody listens
    pc2.bench.sensor().SetPower(true, pc2.now);
    pc2.Pass(300000);
    pc2.Take();
    EXPECT_EQ(pc2.Exchange(Cmd(cmd::Ping)).size(), 1);
    const auto out = pc2.bench.trace().Of(Dir::Out, Unit::Sensor);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[1].note, QStringLiteral("unplugged (fault)"));
}

TEST(SimSensor, StreamFaults)
{
    ConverterSpec c;
    c.sensor.mode = 2;
    Pc pc(c);
    pc.bench.sensor().faults.dropStreamEvery = 7;
    pc.Pass(100000);
    const QByteArray s = pc.Take();
    const int full = int(100000 * 11520 / 1000000);
    EXPECT_LT(s.size(), full - full / 8);
}

TEST(SimSensor, ALongIdleDoesNotCostMemory)
{
    ConverterSpec c;
    c.sensor.mode = 2;
    Pc pc(c);
    pc.Pass(qint64(3600) * 1000000); // an hour
    const QByteArray s = pc.Take();
    EXPECT_LE(s.size(), 65536);
    EXPECT_EQ(quint8(s[0]), 0xFF);
}

TEST(SimSensor, MeasuringModelFollowsTheHelpText)
{
    ConverterSpec c = Polled();
    ASSERT_TRUE(c.sensor.SetKey(5028143));
    Pc pc(c);
    auto u8 = [](const QByteArray& a, int k) { return int(quint8(a[k])); };
    QByteArray a = pc.Exchange(Cmd(cmd::MeasData));
    ASSERT_EQ(a.size(), 22);
    const int zero = (u8(a, 4) << 8) | u8(a, 5);
    const int adc = (u8(a, 6) << 8) | u8(a, 7);
    const int lin = (u8(a, 8) << 8) | u8(a, 9);
    EXPECT_NEAR(zero, 900, 3);
    EXPECT_EQ(lin, zero - adc);
    // Ampl is Lin in 0.1 dB steps: 20 dB more signal is 200 steps more.
    const int ampl = u8(a, 10);
    EXPECT_EQ(u8(a, 12), 2); // automatic gain holds the liquid at step 2
    // A fixed lower gain step lowers the amplitude by 10 dB.
    a = pc.Exchange(Cmd(cmd::SetGain, {1}));
    ASSERT_FALSE(a.isEmpty());
    a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_EQ(u8(a, 12), 1);
    EXPECT_NEAR(u8(a, 10), ampl - 100, 8);
    // A bubble test: a small bubble, OUT in 25..150, BAvg = AMax - Ampl.
    pc.Exchange(Cmd(cmd::SetGain, {255}));
    pc.Exchange(Cmd(cmd::BubbleTest, {20}));
    a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_GT(u8(a, 20), 25);
    EXPECT_LE(u8(a, 20), 150);
    EXPECT_EQ(u8(a, 15), u8(a, 11) - u8(a, 10));
    EXPECT_EQ(u8(a, 13), 0);
    // The LED state shows in the flags' high nibble.
    pc.Exchange(Cmd(cmd::SetLed, {5}), 20000);
    EXPECT_EQ(pc.bench.sensor().led(), 5);
    a = pc.Exchange(Cmd(cmd::MeasData));
    EXPECT_EQ(u8(a, 14) >> 4, 5);
}

// A population of units: the good units' amplitudes spread as asked around the good unit's,
// the share of faulty kinds as asked, and the same units again from the same seed.
TEST(SimSensor, APopulationOfUnitsFromASeed)
{
    struct Drawn {
        std::vector<double> ampl; // each good unit's mean amplitude over 16 samples
        int bad = 0;
    };
    auto draw = [](const QString& words, int units) {
        SensorProfile p;
        QString error;
        for (const QString& w : words.split(QLatin1Char(','), Qt::SkipEmptyParts))
            EXPECT_TRUE(ApplySensorWord(w, p, error)) << error.toStdString();
        Sensor s(p);
        Drawn d;
        for (int unit = 0; unit < units; ++unit) {
            if (unit) s.NextUnit(0);
            const SensorProfile& k = s.profile();
            const bool faulty = k.amplitudeLoss || k.stuckOutput || k.versionSkew || s.faults.mute;
            d.bad += faulty;
            double sum = 0.0;
            for (int i = 0; i < 16; ++i)
                sum += s.Measure(0).v[6];
            if (!faulty) d.ampl.push_back(sum / 16);
        }
        return d;
    };
    auto meanSd = [](const std::vector<double>& v) {
        double m = 0.0, q = 0.0;
        for (double x : v)
            m += x / double(v.size());
        for (double x : v)
            q += (x - m) * (x - m) / double(v.size() - 1);
        return std::pair{m, std::sqrt(q)};
    };
    const double good = draw(QStringLiteral("tube=filled"), 1).ampl.at(0);
    const Drawn a = draw(QStringLiteral("spread=4,bad=20,seed=7"), 400);
    const auto [mean, sd] = meanSd(a.ampl);
    EXPECT_NEAR(mean, good, 1.0);
    EXPECT_NEAR(sd, 4.0, 0.6); // the samples' own jitter adds about 0.5² to 4²
    EXPECT_NEAR(a.bad / 400.0, 0.20, 0.05);
    EXPECT_EQ(draw(QStringLiteral("spread=4,bad=20,seed=7"), 400).ampl, a.ampl);
    EXPECT_NE(draw(QStringLiteral("spread=4,bad=20,seed=8"), 400).ampl, a.ampl);
    // Without the words every unit is the profile's own.
    const Drawn plain = draw(QStringLiteral("unit=bad-amplitude"), 20);
    EXPECT_EQ(plain.bad, 20);
}
