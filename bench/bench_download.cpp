// Firmware download against the simulated sensor at 115200 baud: the time the run takes over
// the time the protocol itself needs (bytes on the wire / 11520 per s + the waits it mandates).
// Once on the virtual clock (the program's own time in the simulated world, exact) and once in
// real time (also counts the computer's own work).
#include "CausalMinimum.h"
#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "proto/Protocol.h"
#include "sim/Bench.h"
#include "station/Station.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

// The link's byte-level operations, as the station hands them to its view.
struct IoLog final : station::StationView {
    std::vector<Event>* log = nullptr;
    void LinkIo(char op, int n) override
    {
        if (log) log->push_back(Event{op, n});
    }
};

struct Figures {
    double runS = 0;
    double wireS = 0;
    double waitS = 0;
    double causalS = 0;
    qint64 bytes = 0;
    int answers = 0;
    int purges = 0;
    bool ok = false;
};

Figures RunOnce(app::Clock& clock)
{
    std::vector<Event> log;
    WaitLog host(&clock, log);
    QTemporaryDir dir;
    app::Session session(host, clock, dir.path());
    session.CopyValidSensorType(0);
    link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    o.simulate = QStringLiteral("stream=polled");
    station::Station st(session, o);
    IoLog io;
    st.SetView(&io);
    link::Link& link = st.link();
    link.Reset_COM_USB();
    boot::MemoryImages& images = st.images();
    boot::HexImage& hex = st.hex();
    boot::Download& download = st.download();
    clock.SleepMs(300); // the sensor's start

    auto buf = images.Buffer();
    for (quint32 i = 0; i < 0x1A00; ++i)
        buf[i] = quint8((i * 7) ^ (i >> 5));
    const QString file = dir.filePath(QStringLiteral("fw.hex"));
    hex.ExportHexData(file, 0, 0x19FF);
    download.hexFile = file;
    sim::Bench& bench = *link.OpenSimBench();
    bench.sensor().bootLoader().flash().fill(0x00);
    bench.sensor().bootLoader().SetBootAddr(0x1A00);
    bench.trace().Clear();
    host.waitedMs = 0;
    io.log = &log;
    log.clear();

    Figures f;
    const qint64 t0 = clock.NowUs();
    f.ok = download.DownLoad();
    f.runS = double(clock.NowUs() - t0) / 1e6;
    for (const auto& e : bench.trace().entries()) {
        f.bytes += e.bytes.size();
        if (e.dir == sim::Dir::Out) ++f.answers;
    }
    f.wireS = double(f.bytes) / proto::kBytesPerSecond;
    f.waitS = double(host.waitedMs) / 1000.0;
    f.causalS = CausalMinimumS(log, sim::Sensor::kProcUs);
    for (const Event& e : log)
        f.purges += e.op == 'p';
    return f;
}

void Print(const char* what, const Figures& f)
{
    std::printf("%-14s %s  run %.3f s  causal minimum %.3f s  ratio %.3f  (target <= 1.05)\n", what,
                f.ok ? "ok  " : "FAIL", f.runS, f.causalS, f.runS / f.causalS);
    std::printf(
        "%-14s in it: %lld bytes on the wire (%.3f s), waits %.3f s, %d purges of 5 ms, %d answers with "
        "%.1f ms device turnaround each\n",
        "", static_cast<long long>(f.bytes), f.wireS, f.waitS, f.purges, f.answers,
        double(sim::Sensor::kProcUs) / 1000.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    app::VirtualClock virt;
    Print("virtual clock", RunOnce(virt));
    std::vector<double> ratios;
    Figures last;
    for (int run = 0; run < 3; ++run) {
        app::RealClock real;
        last = RunOnce(real);
        ratios.push_back(last.runS / last.causalS);
    }
    std::sort(ratios.begin(), ratios.end());
    Print("real time", last);
    std::printf("%-14s ratio over 3 runs: min %.3f  median %.3f  max %.3f\n", "", ratios.front(), ratios[1],
                ratios.back());
    return 0;
}
