#include "sim/TestModule.h"

#include "sim/Sensor.h"

#include <algorithm>
#include <utility>

namespace vmx::sim {

using namespace proto;

namespace {
quint32 Addr24(const QByteArray& f, int at)
{
    return (quint32(quint8(f[at])) << 16) | (quint32(quint8(f[at + 1])) << 8) | quint8(f[at + 2]);
}
int Count(const QByteArray& f, int at)
{
    const int n = quint8(f[at]);
    return n == 0 ? 256 : n;
}
} // namespace

TestModule::TestModule(ModuleProfile profile)
    : profile_(profile), pic_(profile.picOscCal), serialIf_(profile.serialIf), power_(profile.sensorPower)
{
}

void TestModule::Receive(quint8 b, qint64 t)
{
    Advance(t);
    switch (parser_.Feed(b, t)) {
    case FrameParser::Result::None:
        return;
    case FrameParser::Result::Bad:
        TraceIn(Unit::TestModule, parser_.frame(), t, false, parser_.reason());
        return;
    case FrameParser::Result::Frame:
        // While the target's flash is being erased or written the module listens to nothing.
        if (t < busyUntilUs_) {
            TraceIn(Unit::TestModule, parser_.frame(), t, false,
                    QStringLiteral("busy (C2 flash): frame lost"));
            return;
        }
        ++frames_;
        if (profile_.fault.kind == ModuleFault::Kind::Mute && frames_ >= profile_.fault.afterFrame) {
            TraceIn(Unit::TestModule, parser_.frame(), t, false, QStringLiteral("muted (fault)"));
            return;
        }
        Command(parser_.frame(), t);
        return;
    }
}

void TestModule::Advance(qint64 t)
{
    if (measuring_ || qvr02Measuring_) Sample(t);
}

void TestModule::Sample(qint64 t)
{
    // The firmware samples on its own timer; latched bits collect every level seen.
    for (; nextSampleUs_ <= t; nextSampleUs_ += kSampleUs) {
        if (measuring_)
            for (int i = 0; i < 4; ++i)
                latched_[size_t(i)] |= Output(i, nextSampleUs_) & 0x03;
        if (qvr02Measuring_) {
            qvr02Latched_ |= Qvr02(nextSampleUs_) & 0x0F;
            odLatched_ = odLatched_ || odDt_;
        }
    }
}

void TestModule::Reply(QByteArray answer, qint64 t, qint64 procUs)
{
    const ModuleFault& fault = profile_.fault;
    const bool aimed = frames_ == fault.afterFrame;
    if (fault.kind == ModuleFault::Kind::Drop && aimed) {
        if (trace)
            trace->Add(TraceEntry{t + procUs, Dir::Out, Unit::TestModule, QByteArray(), false,
                                  QStringLiteral("dropped (fault)")});
        return;
    }
    // A burst of noise on the line: every byte of the answer garbled.
    if (fault.kind == ModuleFault::Kind::Corrupt && aimed)
        for (qsizetype i = 0; i < answer.size(); ++i)
            answer[i] = char(quint8(answer[i]) ^ 0x01);
    if (fault.kind == ModuleFault::Kind::Delay && frames_ >= fault.afterFrame) procUs += fault.delayUs;
    Answer(Unit::TestModule, answer, t, procUs);
}

void TestModule::Command(const QByteArray& f, qint64 t)
{
    const quint8 c = quint8(f[3]);
    const int len = int(f.size());
    const quint8 p0 = len > 5 ? quint8(f[4]) : 0;
    const bool vo40 = profile_.type == 40;
    auto ack = [&](const QString& note = QString(), qint64 extraUs = 0) {
        TraceIn(Unit::TestModule, f, t, true, note);
        Reply(Ack(), t, kProcUs + extraUs);
    };
    auto framed = [&](const QByteArray& payload) {
        TraceIn(Unit::TestModule, f, t, true);
        Reply(Framed(c, payload), t, kProcUs);
    };
    auto refuse = [&](const QString& note) { TraceIn(Unit::TestModule, f, t, false, note); };

    // The memory commands of the module's own boot loader (XRAM and its code flash).
    const BootLoader::Result mem = loader_.Framed(f, true);
    if (mem.handled) {
        TraceIn(Unit::TestModule, f, t, mem.ok, mem.note);
        if (!mem.answer.isEmpty()) Reply(mem.answer, t, kProcUs);
        return;
    }
    switch (c) {
    case cmd::TmPing:
    case cmd::Restart: // the module's loader restarts into the module's firmware at once
        if (len != 5) break;
        ack();
        return;
    case cmd::TmIdent: {
        if (len != 5) break;
        QByteArray p(16, char(0));
        p[0] = char(profile_.ident);
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
        if (!power_) c2Ready_ = false;
        if (onPower) onPower(power_, t);
        return;
    case cmd::TmOdDt:
        if (len != 6 || p0 > 1) break;
        odDt_ = p0 == 1;
        if (qvr02Measuring_ && odDt_) odLatched_ = true;
        ack();
        return;
    case cmd::TmSerialIf:
        if (len != 6 || p0 > 2) break;
        serialIf_ = p0;
        ack(QStringLiteral("serial interface %1").arg(p0));
        return;
    case cmd::TmPicLines:
        if (len != 6 || p0 > 1) break;
        picLines_ = p0 != 0;
        ack(picLines_ ? QStringLiteral("PIC programming voltage on")
                      : QStringLiteral("PIC programming voltage off"));
        return;
    case cmd::TmC2Init:
    case cmd::TmC2Reset:
    case cmd::TmC2EraseAll:
    case cmd::TmC2PageErase:
    case cmd::TmC2Write:
    case cmd::TmC2Read:
    case cmd::TmC2Write2: {
        QString note;
        if (!C2Command(c, f, t, note)) return refuse(note);
        // The flash operations take their time: either the answer waits for them, or the
        // module is busy after answering.
        if (c == cmd::TmC2EraseAll) return ack(note, kC2DeviceEraseUs);
        if (c == cmd::TmC2Write2) return ack(note, kC2BlockWriteUs);
        ack(note);
        if (c == cmd::TmC2PageErase) busyUntilUs_ = t + kProcUs + kC2PageEraseUs;
        if (c == cmd::TmC2Write) busyUntilUs_ = t + kProcUs + kC2BlockWriteUs;
        return;
    }
    case cmd::TmPicErase:
    case cmd::TmPicWrite:
    case cmd::TmPicRead: {
        QString note;
        QByteArray payload;
        if (!PicCommand(c, f, payload, note)) return refuse(note);
        if (c == cmd::TmPicRead)
            framed(payload);
        else
            ack(note);
        return;
    }
    case cmd::TmQvr02Start:
        if (len != 5) break;
        Sample(t);
        qvr02Measuring_ = true;
        qvr02Latched_ = 0;
        odLatched_ = false;
        nextSampleUs_ = t;
        Sample(t);
        ack();
        return;
    case cmd::TmMeasStart:
        if (len != 5) break;
        Sample(t);
        measuring_ = true;
        latched_.fill(0);
        nextSampleUs_ = t;
        Sample(t);
        ack();
        return;
    case cmd::TmQvr02Stop: {
        if (len != 5) break;
        Sample(t);
        const quint8 now = Qvr02(t) & 0x0F;
        const quint8 kept = qvr02Measuring_ ? qvr02Latched_ : 0;
        const bool odKept = qvr02Measuring_ && odLatched_;
        qvr02Measuring_ = false;
        if (nextStopData) return framed(*std::exchange(nextStopData, std::nullopt));
        framed(QByteArray() + char(now | quint8(kept << 4)) +
               char((odDt_ ? 0x01 : 0x00) | (odKept ? 0x10 : 0x00)));
        return;
    }
    case cmd::TmMeasStop: {
        if (len != 5) break;
        Sample(t);
        const int n = vo40 ? 4 : 3;
        QByteArray p;
        for (int i = 0; i < n; ++i) {
            const quint8 s = Output(i, t) & 0x03;
            const quint8 kept = measuring_ ? latched_[size_t(i)] : 0;
            p.append(char(s | quint8(kept << 4)));
        }
        measuring_ = false;
        if (nextStopData) return framed(*std::exchange(nextStopData, std::nullopt));
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
    refuse(QStringLiteral("unknown command"));
}

bool TestModule::C2Command(quint8 c, const QByteArray& f, qint64 t, QString& note)
{
    const int len = int(f.size());
    if (c == cmd::TmC2Reset) {
        if (len != 5) return note = QStringLiteral("bad length"), false;
        c2Ready_ = false;
        if (target && power_) target->C2Reset(t);
        note = QStringLiteral("C2 reset");
        return true;
    }
    if (c == cmd::TmC2Init) {
        if (len != 5) return note = QStringLiteral("bad length"), false;
        // Without its supply the target does not answer on C2.
        if (!target || !power_ || !target->C2Halt(t)) return note = QStringLiteral("C2: no target"), false;
        c2Ready_ = true;
        note = QStringLiteral("C2 target halted");
        return true;
    }
    if (!c2Ready_ || !target) return note = QStringLiteral("C2 not initialised"), false;
    auto& flash = target->bootLoader().flash();
    const quint32 size = quint32(flash.size());
    auto& xram = loader_.xram();
    switch (c) {
    case cmd::TmC2EraseAll:
        if (len != 5) return note = QStringLiteral("bad length"), false;
        flash.fill(0xFF);
        note = QStringLiteral("C2 device erase");
        return true;
    case cmd::TmC2PageErase: {
        if (len != 8 || f[6] != 0) return note = QStringLiteral("bad page"), false;
        const quint32 page = Addr24(f, 4) & ~quint32(BootLoader::kPageSize - 1);
        if (page >= size) return note = QStringLiteral("page out of range"), false;
        std::fill_n(flash.begin() + page, BootLoader::kPageSize, quint8(0xFF));
        note = QStringLiteral("C2 page erase %1").arg(page, 4, 16, QLatin1Char('0'));
        return true;
    }
    case cmd::TmC2Write:
    case cmd::TmC2Write2: {
        if (len != 12) return note = QStringLiteral("bad length"), false;
        const quint32 addr = Addr24(f, 4);
        const int n = Count(f, 7);
        const quint32 src = Addr24(f, 8);
        const bool fromXram = c == cmd::TmC2Write;
        const quint32 srcSize = fromXram ? quint32(xram.size()) : quint32(loader_.flash().size());
        if (addr + quint32(n) > size || src + quint32(n) > srcSize)
            return note = QStringLiteral("out of range"), false;
        const quint8* from = fromXram ? xram.data() : loader_.flash().data();
        // Flash writes only clear bits.
        for (int i = 0; i < n; ++i)
            flash[addr + quint32(i)] &= from[src + quint32(i)];
        note = QStringLiteral("C2 write %1 bytes at %2").arg(n).arg(addr, 4, 16, QLatin1Char('0'));
        return true;
    }
    case cmd::TmC2Read: {
        if (len != 9) return note = QStringLiteral("bad length"), false;
        const quint32 addr = Addr24(f, 4);
        const int n = Count(f, 7);
        if (addr + quint32(n) > size) return note = QStringLiteral("out of range"), false;
        std::copy_n(flash.begin() + addr, n, xram.begin());
        note = QStringLiteral("C2 read %1 bytes at %2").arg(n).arg(addr, 4, 16, QLatin1Char('0'));
        return true;
    }
    default:
        return note = QStringLiteral("unknown command"), false;
    }
}

bool TestModule::PicCommand(quint8 c, const QByteArray& f, QByteArray& payload, QString& note)
{
    const int len = int(f.size());
    if (!picLines_) return note = QStringLiteral("PIC: no programming voltage"), false;
    auto& xram = loader_.xram();
    switch (c) {
    case cmd::TmPicErase: {
        if (len != 6) return note = QStringLiteral("bad length"), false;
        const bool withOsc = quint8(f[4]) == 1;
        pic_.words.fill(PicChip::kErased);
        pic_.config = PicChip::kErased;
        if (withOsc) pic_.oscCal = pic_.oscBackup = PicChip::kErased;
        note = withOsc ? QStringLiteral("PIC erase with OSCCAL") : QStringLiteral("PIC erase");
        return true;
    }
    case cmd::TmPicWrite: {
        if (len != 10) return note = QStringLiteral("bad length"), false;
        const quint16 config = quint16((quint8(f[4]) | (quint8(f[5]) << 8)) & 0xFFF);
        const quint16 osc = quint16((quint8(f[6]) | (quint8(f[7]) << 8)) & 0xFFF);
        for (int i = 0; i < PicChip::kWords; ++i) {
            const quint16 w = quint16((xram[size_t(2 * i)] | (xram[size_t(2 * i + 1)] << 8)) & 0xFFF);
            if (i != pic_.brokenWord) pic_.words[size_t(i)] &= w;
        }
        pic_.config &= config;
        pic_.oscCal &= osc;
        if (f[8] != 0) pic_.oscBackup &= osc;
        note = QStringLiteral("PIC write");
        return true;
    }
    case cmd::TmPicRead:
        if (len != 5) return note = QStringLiteral("bad length"), false;
        for (int i = 0; i < PicChip::kWords; ++i) {
            xram[size_t(2 * i)] = quint8(pic_.words[size_t(i)]);
            xram[size_t(2 * i + 1)] = quint8(pic_.words[size_t(i)] >> 8);
        }
        xram[510] = quint8(pic_.oscCal);
        xram[511] = quint8(pic_.oscCal >> 8);
        payload.append(char(pic_.config & 0xFF)).append(char(pic_.config >> 8));
        payload.append(char(pic_.oscCal & 0xFF)).append(char(pic_.oscCal >> 8));
        return true;
    default:
        return note = QStringLiteral("unknown command"), false;
    }
}

} // namespace vmx::sim
