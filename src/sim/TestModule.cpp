#include "sim/TestModule.h"

namespace vmx::sim {

using namespace proto;

TestModule::TestModule(ModuleProfile profile)
    : profile_(profile), serialIf_(profile.serialIf), power_(profile.sensorPower)
{
}

void TestModule::Receive(quint8 b, qint64 t)
{
    switch (parser_.Feed(b, t)) {
    case FrameParser::Result::None:
        return;
    case FrameParser::Result::Bad:
        TraceIn(Unit::TestModule, parser_.frame(), t, false, parser_.reason());
        return;
    case FrameParser::Result::Frame:
        Command(parser_.frame(), t);
        return;
    }
}

void TestModule::Command(const QByteArray& f, qint64 t)
{
    const quint8 c = quint8(f[3]);
    const int len = int(f.size());
    const quint8 p0 = len > 5 ? quint8(f[4]) : 0;
    const bool vo40 = profile_.type == 40;
    auto ack = [&](const QString& note = QString()) {
        TraceIn(Unit::TestModule, f, t, true, note);
        Answer(Unit::TestModule, Ack(), t, kProcUs);
    };
    auto framed = [&](const QByteArray& payload) {
        TraceIn(Unit::TestModule, f, t, true);
        Answer(Unit::TestModule, Framed(c, payload), t, kProcUs);
    };
    switch (c) {
    case cmd::TmPing:
        if (len != 5) break;
        ack();
        return;
    case cmd::TmIdent: {
        if (len != 5) break;
        QByteArray p(16, char(0));
        p[0] = char(99);
        p[1] = char(profile_.type);
        p[2] = char(profile_.subType);
        p[3] = char(profile_.tag);
        p[4] = char(profile_.firmware & 0xFF);
        p[5] = char(profile_.firmware >> 8);
        framed(p);
        return;
    }
    case cmd::TmLed:
        if (len != 6) break;
        leds_ = p0 & 0x03;
        ack();
        return;
    case cmd::TmPower:
        if (len != 6 || p0 > 1) break;
        ack(p0 ? QStringLiteral("sensor power on") : QStringLiteral("sensor power off"));
        power_ = p0 == 1;
        if (onPower) onPower(power_, t);
        return;
    case cmd::TmOdDt:
        if (len != 6 || p0 > 1) break;
        odDt_ = p0 == 1;
        ack();
        return;
    case cmd::TmSerialIf:
        if (len != 6 || p0 > 2) break;
        serialIf_ = p0;
        ack(QStringLiteral("serial interface %1").arg(p0));
        return;
    case cmd::TmPicLines:
        if (len != 6) break;
        picLines_ = p0 != 0;
        ack();
        return;
    case cmd::TmC2Init:
    case cmd::TmC2Reset:
        if (len != 5) break;
        ack();
        return;
    case cmd::TmQvr02Start:
    case cmd::TmMeasStart:
        if (len != 5) break;
        measuring_ = true;
        for (quint8& l : latched_)
            l = 0;
        ack();
        return;
    case cmd::TmQvr02Stop: {
        if (len != 5) break;
        measuring_ = false;
        const quint8 now = Output(0, t) & 0x0F;
        framed(QByteArray() + char(now | quint8(now << 4)) + char(odDt_ ? 0x11 : 0x00));
        return;
    }
    case cmd::TmMeasStop: {
        if (len != 5) break;
        measuring_ = false;
        const int n = vo40 ? 4 : 3;
        QByteArray p;
        for (int i = 0; i < n; ++i) {
            const quint8 s = Output(i, t) & 0x03;
            p.append(char(s | quint8(s << 4)));
        }
        framed(p);
        return;
    }
    case cmd::TmBubbleTest:
        if (len != 7 || !vo40) break;
        ack();
        if (onTestPulse) onTestPulse(t);
        return;
    default:
        break;
    }
    TraceIn(Unit::TestModule, f, t, false, QStringLiteral("unknown command"));
}

} // namespace vmx::sim
