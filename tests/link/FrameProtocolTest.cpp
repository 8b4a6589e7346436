// The frame protocol on a scripted byte link: frames, answer checks and their messages, the switches,
// the unframed variant, the checksums and the protocol probe.
#include "LinkTestSupport.h"

#include "link/Checksums.h"
#include "link/FrameProtocol.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

using namespace linktest;
using namespace vmx::link;

namespace {

class ScriptLink final : public ByteLink {
public:
    std::array<quint8, 32768> tx{}, rx{};
    QByteArray answer;  // what the next reads return, in order
    QByteArray written; // every byte written
    std::vector<int> rts;
    std::vector<std::string> ops;
    int writeLimit = -1; // write only this many bytes

    quint8* Tx() override { return tx.data(); }
    quint8* Rx() override { return rx.data(); }
    void Purge_In() override { ops.push_back("purge"); }
    int Read_Buffer(int n) override
    {
        ops.push_back("read " + std::to_string(n));
        const int k = std::min<int>(n, int(answer.size()));
        memcpy(rx.data(), answer.constData(), size_t(k));
        answer.remove(0, k);
        return k;
    }
    int Write_Buffer(int n) override
    {
        ops.push_back("write " + std::to_string(n));
        const int k = writeLimit >= 0 ? std::min(n, writeLimit) : n;
        written.append(reinterpret_cast<const char*>(tx.data()), k);
        return k;
    }
    void ForceRTS(int state) override
    {
        rts.push_back(state);
        ops.push_back("rts " + std::to_string(state));
    }
};

struct P {
    Env env;
    ScriptLink link;
    FrameProtocol fp{env.session, link};
    QString Last() const { return env.host.panel1Log.isEmpty() ? QString() : env.host.panel1Log.last(); }
    QString Op(int m) const { return env.session.Msg(m); }
};

QByteArray Answer(std::initializer_list<int> head)
{
    QByteArray f;
    for (int b : head)
        f.append(char(b));
    f.append(char(0));
    const int n = int(f.size());
    f[n - 1] = char(vmx::proto::FrameCrc(reinterpret_cast<const quint8*>(f.constData()), n));
    return f;
}

} // namespace

TEST(FrameProtocol, WorkedExampleFrames)
{
    P p;
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x16, 5, 0, p.Op(268)));
    EXPECT_EQ(p.link.written, QByteArray::fromHex("f100051620"));
    // No answer expected: no purge, nothing read.
    EXPECT_EQ(p.link.ops, (std::vector<std::string>{"write 5"}));
    EXPECT_EQ(p.Last(), p.Op(268) + p.Op(250));

    p.link.written.clear();
    p.link.answer = QByteArray(1, char(0x11));
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x29, 5, 1, p.Op(260)));
    EXPECT_EQ(p.link.written, QByteArray::fromHex("f10005291e"));

    p.link.written.clear();
    p.link.tx[4] = 0x02;
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x31, 6, 0, p.Op(270)));
    EXPECT_EQ(p.link.written, QByteArray::fromHex("f100063102"
                                                  "14"));
    EXPECT_EQ(p.fp.GetCRC_Out(), 0x14);
}

TEST(FrameProtocol, OneByteAnswerChecks)
{
    P p;
    const QString op = p.Op(260);
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x29, 5, 1, op));
    EXPECT_EQ(p.Last(), op + p.Op(255));
    p.link.answer = QByteArray(1, char(0x12));
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x29, 5, 1, op));
    EXPECT_EQ(p.Last(), op + p.Op(256) + QStringLiteral(": 02"));
    p.link.answer = QByteArray(1, char(0x21));
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x29, 5, 1, op));
    EXPECT_EQ(p.Last(), op + p.Op(257) + QStringLiteral(": 20"));
    // ACK off: any byte answers.
    p.fp.SetWithAck(false);
    p.link.answer = QByteArray(1, char(0x5A));
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x29, 5, 1, op));
    // Answer Check off: the byte is not even read.
    p.fp.SetWithAnswer(false);
    p.link.ops.clear();
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x29, 5, 1, op));
    EXPECT_EQ(p.link.ops, (std::vector<std::string>{"purge", "write 5"}));
}

TEST(FrameProtocol, MultiByteAnswerChecks)
{
    P p;
    const QString op = p.Op(349);
    p.fp.SetWithFrameCrc(true);
    const QByteArray good = Answer({0xF1, 0, 9, 0x38, 2, 3, 4, 5});
    p.link.answer = good;
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(p.link.rx.data()), 9), good);

    p.link.answer = good.left(8);
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));
    EXPECT_EQ(p.Last(), op + p.Op(255));

    QByteArray wrongAddr = good;
    wrongAddr[0] = char(0xF3);
    p.link.answer = wrongAddr;
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));
    EXPECT_EQ(p.Last(), op + p.Op(256) + QStringLiteral(": 03"));

    // The upper nibble of byte 0 is not examined for frames.
    QByteArray upper = good;
    upper[0] = char(0x01);
    p.link.answer = upper;
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));

    p.link.answer = Answer({0xF1, 0, 9, 0x37, 2, 3, 4, 5});
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));
    EXPECT_EQ(p.Last(), op + p.Op(258) + QStringLiteral(": 37"));

    QByteArray badCrc = good;
    badCrc[8] = char(badCrc[8] ^ 1);
    p.link.answer = badCrc;
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));
    EXPECT_EQ(p.Last(), op + p.Op(352));
    p.fp.SetWithFrameCrc(false);
    p.link.answer = badCrc;
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x38, 6, 9, op));
}

TEST(FrameProtocol, ShortWriteAndQuiet)
{
    P p;
    p.link.writeLimit = 3;
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x16, 5, 0, p.Op(268), true));
    EXPECT_EQ(p.Last(), p.Op(268) + p.Op(254)); // failures show even when quiet
    p.link.writeLimit = -1;
    p.env.host.panel1Log.clear();
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x16, 5, 0, p.Op(268), true));
    EXPECT_TRUE(p.env.host.panel1Log.isEmpty());
}

TEST(FrameProtocol, TestModuleTargetRoutesAndAlwaysRoutesBack)
{
    P p;
    p.link.answer = QByteArray(1, char(0x11));
    EXPECT_TRUE(p.fp.SendReceiveCommand(33, 0x29, 5, 1, p.Op(260)));
    EXPECT_EQ(p.link.rts, (std::vector<int>{0, 1}));
    EXPECT_EQ(p.link.ops.front(), "rts 0");
    EXPECT_EQ(p.link.ops.back(), "rts 1");
    p.link.rts.clear();
    EXPECT_FALSE(p.fp.SendReceiveCommand(33, 0x29, 5, 1, p.Op(260)));
    EXPECT_EQ(p.link.rts, (std::vector<int>{0, 1}));
    // The frame is the same as for the sensor.
    EXPECT_EQ(p.link.written.right(5), QByteArray::fromHex("f10005291e"));
    p.link.rts.clear();
    p.link.answer = QByteArray(1, char(0x11));
    p.fp.SendReceiveCommand(1, 0x29, 5, 1, p.Op(260));
    EXPECT_TRUE(p.link.rts.empty());
}

TEST(FrameProtocol, UnframedExchanges)
{
    P p;
    EXPECT_TRUE(p.fp.SendReceiveCommandV100(0xA0, 1, 0, p.Op(268)));
    EXPECT_EQ(p.link.written, QByteArray(1, char(0xA0)));
    EXPECT_EQ(p.Last(), p.Op(268) + p.Op(250)); // shown even without an answer
    p.link.answer = QByteArray(1, char(0x10));
    EXPECT_TRUE(p.fp.SendReceiveCommandV100(0x10, 1, 1, p.Op(260)));
    p.link.answer = QByteArray(1, char(0x11));
    EXPECT_FALSE(p.fp.SendReceiveCommandV100(0x10, 1, 1, p.Op(260)));
    EXPECT_EQ(p.Last(), p.Op(260) + p.Op(258) + QStringLiteral(": 11"));
    EXPECT_FALSE(p.fp.SendReceiveCommandV100(0x15, 1, 17, p.Op(300)));
    EXPECT_EQ(p.Last(), p.Op(300) + p.Op(255));
    p.link.written.clear();
    p.link.tx[1] = 0x12;
    p.link.tx[2] = 0x34;
    p.fp.SendReceiveCommandV100(0x11, 3, 0, p.Op(273));
    EXPECT_EQ(p.link.written, QByteArray::fromHex("111234"));
}

TEST(FrameProtocol, Checksums)
{
    P p;
    // Long record: FF OUT V k crc; short: FE OUT crc.
    const quint8 lr[] = {0xFF, 0x10, 0x22, 0x83, 0x00};
    const quint8 c = vmx::proto::Crc6(0xFF, lr + 1, 3);
    memcpy(p.link.rx.data() + 5, lr, 5);
    EXPECT_EQ(p.fp.GetCRC_long(1), c);
    const quint8 sr[] = {0xFE, 0x33, 0x00};
    memcpy(p.link.rx.data() + 6, sr, 3);
    EXPECT_EQ(p.fp.GetCRC_short(2), vmx::proto::Crc6(0xFE, sr + 1, 1));
    // Calibration: start value byte 0, bytes 1..14 stepped.
    quint8 cal[16];
    for (int i = 0; i < 16; ++i)
        cal[i] = quint8(i * 7);
    EXPECT_EQ(FrameProtocol::GetCRC_Cal(cal), vmx::proto::Crc6(cal[0], cal + 1, 14));
    EXPECT_EQ(CalChecksum(cal), FrameProtocol::GetCRC_Cal(cal));
    // Incoming frame checksum takes the length from the answer.
    const QByteArray a = Answer({0xF1, 0, 6, 0x31, 0x02});
    memcpy(p.link.rx.data(), a.constData(), 6);
    EXPECT_EQ(p.fp.GetCRC_In(), 0x14);
    p.link.rx[1] = 0;
    p.link.rx[2] = 2;
    EXPECT_EQ(p.fp.GetCRC_In(), 0x31);
}

TEST(FrameProtocol, SwitchesFollowTheConfiguration)
{
    Env env;
    env.session.config.WithAck = false;
    env.session.config.WithFrameCrc = true;
    ScriptLink link;
    FrameProtocol fp(env.session, link);
    EXPECT_FALSE(fp.WithAck());
    EXPECT_TRUE(fp.WithAnswer());
    EXPECT_TRUE(fp.WithFrameCrc());
    fp.SetWithAck(true);
    EXPECT_TRUE(fp.WithAck());
    EXPECT_EQ(OperationMessage(1, 0x23), 284);
    EXPECT_EQ(OperationMessage(33, 0x43), 376);
    EXPECT_EQ(OperationMessage(1, 0x77), -1);
}

TEST(FrameProtocol, ProbeSeesStreams)
{
    P p;
    QByteArray s(100, char(0x00));
    s[35] = char(0xFE);
    s[37] = char(0xFF);
    p.link.answer = s;
    std::vector<int> intervals;
    // The stream needs no poll; the interval asked for polling is not taken.
    const auto probe = [&] {
        const bool ok = p.fp.CheckSerialProtocol(700, [] { return true; });
        intervals.push_back(p.fp.timerIntervalMs());
        return ok;
    };
    EXPECT_TRUE(probe());
    EXPECT_EQ(p.fp.measProtocol(), MeasShort);
    EXPECT_EQ(p.fp.timerIntervalMs(), 10);
    EXPECT_EQ(p.env.host.waitedMs, 50);
    s[35] = 0;
    p.link.answer = s;
    EXPECT_TRUE(probe());
    EXPECT_EQ(p.fp.measProtocol(), MeasLong);
    // Neither start byte at 30..40: none, message 259, 200 ms.
    s[37] = 0;
    s[29] = char(0xFF);
    s[41] = char(0xFE);
    p.link.answer = s;
    EXPECT_FALSE(probe());
    EXPECT_EQ(p.fp.measProtocol(), MeasNone);
    EXPECT_EQ(p.Last(), p.Op(259));
    EXPECT_EQ(intervals, (std::vector<int>{10, 10, 200}));
}

TEST(FrameProtocol, ProbeFallsBackToPolling)
{
    P p;
    p.env.session.CopyValidSensorType(0); // firmware 143: 22-byte answer
    p.link.answer = QByteArray(10, char(0xAA));
    // After the short stream read, the poll is answered.
    int polls = 0;
    EXPECT_TRUE(p.fp.CheckSerialProtocol(500, [&] {
        ++polls;
        return true;
    }));
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(p.fp.measProtocol(), MeasPolled);
    EXPECT_EQ(p.fp.timerIntervalMs(), 500);
    // The protocol's own poll: command 0x23 with the firmware's answer length.
    p.link.ops.clear();
    EXPECT_FALSE(p.fp.CheckSerialProtocol(500, [&] { return p.fp.PollMeasValues(); }));
    EXPECT_EQ(p.link.ops, (std::vector<std::string>{"purge", "read 100", "purge", "write 5", "read 22"}));
    EXPECT_EQ(p.link.written.right(5), QByteArray::fromHex("f10005230a"));
    EXPECT_EQ(p.fp.timerIntervalMs(), 200);
}

TEST(FrameProtocol, LengthFieldBeyondTheAnswerIsIncomplete)
{
    P p;
    p.fp.SetWithFrameCrc(true);
    // A 21-byte answer whose length field claims 0x7FFF bytes: never read past what came.
    QByteArray a = Answer({0x11, 0x00, 0x15, 0x25, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    ASSERT_EQ(a.size(), 21);
    a[1] = char(0x7F);
    a[2] = char(0xFF);
    p.link.answer = a;
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x25, 5, 21, p.Op(349)));
    EXPECT_EQ(p.Last(), p.Op(349) + p.Op(255));
    // One byte more than arrived is just as incomplete.
    a = Answer({0x11, 0x00, 0x15, 0x25, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    a[2] = char(0x16);
    p.link.answer = a;
    EXPECT_FALSE(p.fp.SendReceiveCommand(1, 0x25, 5, 21, p.Op(349)));
    EXPECT_EQ(p.Last(), p.Op(349) + p.Op(255));
    // The same answer with its true length passes.
    p.link.answer = Answer({0x11, 0x00, 0x15, 0x25, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_TRUE(p.fp.SendReceiveCommand(1, 0x25, 5, 21, p.Op(349)));
}

// Whatever bytes come back, an exchange reports success only for an answer that passes every
// enabled check, and the probe only for a state its rule allows.
TEST(FrameProtocol, RandomAnswersNeverPassAsSuccess)
{
    std::mt19937 rng(20261208);
    auto byte = [&] { return char(rng() & 0xFF); };
    int successes = 0;
    for (int round = 0; round < 4000; ++round) {
        P p;
        const bool ack = rng() & 1, answerCheck = rng() & 1, crc = rng() & 1;
        p.fp.SetWithAck(ack);
        p.fp.SetWithAnswer(answerCheck);
        p.fp.SetWithFrameCrc(crc);
        const int A = int(rng() % 24);
        const quint8 command = quint8(rng() % 4 == 0 ? 0x25 : rng() & 0xFF);
        QByteArray in;
        const int len = int(rng() % 30);
        for (int i = 0; i < len; ++i)
            in.append(byte());
        if (A >= 4 && len >= 4 && rng() % 2) { // often a plausible header, to reach the later checks
            in[0] = char(0x11);
            in[3] = char(command);
        }
        p.link.answer = in;
        const bool ok = p.fp.SendReceiveCommand(1, command, 5, A, QStringLiteral("x: "));
        if (!ok) continue;
        ++successes;
        if (A == 1 && answerCheck) {
            ASSERT_GE(len, 1);
            if (ack) {
                EXPECT_EQ(quint8(in[0]), 0x11);
            }
        }
        if (A >= 2) {
            ASSERT_GE(len, A);
            EXPECT_EQ(quint8(in[0]) & 0x0F, 1);
            EXPECT_EQ(quint8(in[3]), command);
            if (crc) {
                const quint8* rx = reinterpret_cast<const quint8*>(in.constData());
                const int named = (int(rx[1]) << 8) | rx[2];
                EXPECT_LE(named, A);
                EXPECT_EQ(vmx::proto::FrameCrc(rx, A), rx[A - 1]);
            }
        }
    }
    EXPECT_GT(successes, 0); // the property was exercised on passing answers too

    for (int round = 0; round < 2000; ++round) {
        P p;
        QByteArray in;
        const int len = int(rng() % 130);
        for (int i = 0; i < len; ++i)
            in.append(byte());
        p.link.answer = in;
        const bool ok = p.fp.CheckSerialProtocol(1000, [&] { return p.fp.PollMeasValues(); });
        EXPECT_EQ(ok, p.fp.measProtocol() != MeasNone);
        if (len >= 100) {
            int expected = MeasNone;
            for (int i = 30; i <= 40; ++i) {
                if (quint8(in[i]) == 0xFE) {
                    expected = MeasShort;
                    break;
                }
                if (quint8(in[i]) == 0xFF) {
                    expected = MeasLong;
                    break;
                }
            }
            EXPECT_EQ(p.fp.measProtocol(), expected);
        } else {
            // The short read took every byte, so the poll finds no answer and fails.
            EXPECT_FALSE(ok);
        }
    }
}
