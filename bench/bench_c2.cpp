// C2 programming through the simulated test module at 115200 baud: an "F" write of 5,120 bytes
// from the module's flash and an "X" write of 2 KiB staged through its XRAM, each over the time
// the protocol itself needs (bytes on the wire / 11520 per s + the waits it mandates + the
// module's turnaround per answer). On the virtual clock (exact) and in real time (also counts
// the computer's own work). Then the production steps with their read-backs: the whole "F"
// run (write and compare of the whole range), the read-back alone, and the check of the
// module's segment, whole and as the old sample of 0x0400..0x06FF, so the added read-backs'
// cost per step shows beside each step's own causal minimum.
#include "CausalMinimum.h"
#include "RecordingHost.h"
#include "StationWatch.h"
#include "app/Clock.h"
#include "app/Session.h"
#include "boot/BootLoader.h"
#include "sim/Bench.h"
#include "station/Station.h"
#include "testmodule/C2Programmer.h"
#include "testmodule/TestModuleFirmware.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace vmx;
using benchsupport::CausalMinimumS;
using benchsupport::Event;
using benchsupport::WaitLog;

namespace {

struct Figures {
    double runS = 0;
    double causalS = 0;
    qint64 bytes = 0;
    int answers = 0;
    bool ok = false;
};

enum class Mode { WriteF, WriteX, StepF, ReadBackF, SegmentCheck, SegmentSample };

Figures RunOnce(app::Clock& clock, Mode mode)
{
    const bool fromModule = mode != Mode::WriteX;
    std::vector<Event> log;
    WaitLog host(&clock, log);
    QTemporaryDir dir;
    app::Session session(host, clock, dir.path());
    session.CopyValidSensorType(8);
    link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    o.simulate = QStringLiteral("tk33,blank,stream=none");
    station::Station st(session, o);
    st.OpenLink();
    clock.SleepMs(300);
    sim::Bench& bench = *st.link().OpenSimBench();
    // Realistic firmware bytes, in the image and in the module's segment.
    const auto code = st.images().Image(boot::KindCode);
    auto& segment = bench.module()->loader().flash();
    for (quint32 a = 0; a < 0x1C00; ++a)
        code[a] = quint8((a * 7) ^ (a >> 5));
    std::copy(code.begin() + 0x800, code.begin() + 0x1C00, segment.begin() + 0x200);
    Figures f;
    st.moduleRecord().testHardware = testmodule::HardwareTK33;
    if (!st.c2().Init() || !st.c2().EraseAll()) return f;
    if (mode == Mode::SegmentSample) {
        // The image as the check leaves it: the firmware part moved to the segment's place.
        const std::vector<quint8> part(code.begin() + 0x800, code.begin() + 0x1C00);
        std::copy(part.begin(), part.end(), code.begin() + 0x200);
    }
    if (mode == Mode::ReadBackF &&
        !st.c2().C2_BlockWriteF(boot::kChannelModule, 0x800, QStringLiteral("F: "), 0x200, 0x1BFF))
        return f;
    bench.trace().Clear();
    log.clear();
    test::StationWatch watch;
    watch.onIo = [&log](char op, int n) { log.push_back(Event{op, n}); };
    st.SetView(&watch);
    const qint64 t0 = clock.NowUs();
    const QString v = QStringLiteral("V: "), r = QStringLiteral("R: ");
    switch (mode) {
    case Mode::WriteF:
        f.ok = st.c2().C2_BlockWriteF(boot::kChannelModule, 0x800, QStringLiteral("F: "), 0x200, 0x1BFF);
        break;
    case Mode::WriteX:
        f.ok = st.c2().C2_BlockWriteX(boot::kChannelModule, 0, QStringLiteral("X: "), 0x7FF);
        break;
    case Mode::StepF:
        st.c2().SiLabProgrammingF(0x800, 0x1BFF, QStringLiteral("SiLab: "), 0x200);
        f.ok = st.moduleRecord().siLabResult == 1;
        break;
    case Mode::ReadBackF:
        f.ok = st.c2().C2_Verify(boot::kChannelModule, 0x800, v, r, 0x1BFF);
        break;
    case Mode::SegmentCheck:
        f.ok = st.moduleFirmware().ProgCodeTK33Check(0x200, 0x800, 0x6FF, 0x400, 0x1BFF);
        break;
    case Mode::SegmentSample:
        f.ok = st.bootLoader().VerifyMemory(boot::kChannelModule, 0x400, v, r, boot::KindCode, 0x6FF);
        break;
    }
    f.runS = double(clock.NowUs() - t0) / 1e6;
    st.SetView(nullptr);
    const auto& flash = bench.sensor().bootLoader().flash();
    const quint32 from = fromModule ? 0x800 : 0, to = fromModule ? 0x1C00 : 0x800;
    if (mode != Mode::SegmentCheck && mode != Mode::SegmentSample)
        f.ok = f.ok && std::equal(code.begin() + from, code.begin() + to, flash.begin() + from);
    for (const auto& e : bench.trace().entries()) {
        f.bytes += e.bytes.size();
        if (e.dir == sim::Dir::Out) ++f.answers;
    }
    f.causalS = CausalMinimumS(log, sim::TestModule::kProcUs);
    return f;
}

void Print(const char* what, const Figures& f)
{
    std::printf("%-24s %s  run %.3f s  causal minimum %.3f s  ratio %.3f  (target <= 1.05)  %lld bytes, %d "
                "answers\n",
                what, f.ok ? "ok  " : "FAIL", f.runS, f.causalS, f.runS / f.causalS,
                static_cast<long long>(f.bytes), f.answers);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::pair<Mode, const char*> modes[] = {
        {Mode::WriteF, "C2 \"F\" 5120 bytes"},
        {Mode::WriteX, "C2 \"X\" 2048 bytes"},
        {Mode::StepF, "step SiLabProgrammingF 0x0800..0x1BFF (write + whole read-back)"},
        {Mode::ReadBackF, "its read-back alone (C2_Verify 0x0800..0x1BFF)"},
        {Mode::SegmentCheck, "step ProgCodeTK33Check, whole segment 0x0200..0x15FF"},
        {Mode::SegmentSample, "the old sample 0x0400..0x06FF alone"},
    };
    for (const auto& [mode, name] : modes) {
        app::VirtualClock virt;
        std::printf("%s\n", name);
        Print("  virtual clock", RunOnce(virt, mode));
        std::vector<double> ratios;
        Figures last;
        for (int run = 0; run < 3; ++run) {
            app::RealClock real;
            last = RunOnce(real, mode);
            ratios.push_back(last.runS / last.causalS);
        }
        std::sort(ratios.begin(), ratios.end());
        Print("  real time", last);
        std::printf("  real-time ratio over 3 runs: min %.3f  median %.3f  max %.3f\n", ratios.front(),
                    ratios[1], ratios.back());
    }
    return 0;
}
