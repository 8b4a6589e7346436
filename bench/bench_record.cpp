// Recording figures. Plain timing main:
//   live  - vmx-sim streams short records at 115200 baud on a pseudo-terminal, vmxctl captures N
//           samples with --record; the whole run over the line's time for N blocks (min / median
//           / max of three runs) and the rows that reached the files;
//   soak  - HOURS of short stream in-process on the virtual clock, recorded with hourly
//           rotation: bytes on disk, resident memory after each hour (as is, after the writer
//           had 300 ms to drain, and after malloc_trim), wall time;
//   replay - that recording replayed at full speed through the live path: samples per second
//           over the line's rate (240 short samples a second).
// Usage: bench_record [live|soak|replay|all] [HOURS, default 24]
#include "monitor/AcquisitionRig.h"
#include "proto/Protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <thread>

#include <cstdio>
#include <malloc.h>
#include <vector>

using namespace vmx;

namespace {

long RssKb()
{
    long size = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

qint64 FolderBytes(const QString& dir)
{
    qint64 n = 0;
    for (const QFileInfo& fi : QDir(dir).entryInfoList(QDir::Files))
        n += fi.size();
    return n;
}

int RecordedRows(const QString& dir)
{
    int rows = 0;
    for (const QFileInfo& fi : QDir(dir).entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
        QFile f(fi.filePath());
        if (f.open(QIODevice::ReadOnly)) rows += int(f.readAll().count('\n')) - 10;
    }
    return rows;
}

void Live(const QString& bin)
{
    const int n = 2400;
    const double lineS = double(n) * proto::kShortBlock / proto::kBytesPerSecond;
    std::vector<double> ratios;
    int minRows = n;
    for (int k = 0; k < 3; ++k) {
        QTemporaryDir dir;
        const QString line = dir.filePath(QStringLiteral("line"));
        QProcess sim;
        sim.start(bin + QStringLiteral("/vmx-sim"), {"--link", line, "--stream", "short"});
        if (!sim.waitForStarted(5000)) return;
        while (!sim.canReadLine())
            sim.waitForReadyRead(100);
        sim.readLine();
        QProcess ctl;
        QElapsedTimer t;
        t.start();
        ctl.start(bin + QStringLiteral("/vmxctl"),
                  {"--config-dir", dir.path(), "-q", "--port", line, "capture", "-n", QString::number(n),
                   "--record", dir.filePath("rec")});
        ctl.waitForFinished(120000);
        ratios.push_back(double(t.nsecsElapsed()) / 1e9 / lineS);
        sim.terminate();
        sim.waitForFinished(3000);
        minRows = std::min(minRows, RecordedRows(dir.filePath("rec")));
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "live capture -n %d --record, short stream over a pseudo-terminal: line time %.2f s, whole run / "
        "line time min %.3f median %.3f max %.3f (target <= 1.05); rows recorded (fewest) %d of %d\n",
        n, lineS, ratios[0], ratios[1], ratios[2], minRows, n);
}

void SoakAndReplay(int hours, bool replay)
{
    QTemporaryDir dir;
    test::AcquisitionRig rig(QStringLiteral("stream=short"));
    rig.station->settings.overflow = app::DataOverflow::RollOver;
    monitor::RecordingOptions opt;
    opt.folder = dir.path();
    opt.rotateMinutes = 60;
    if (!rig.station->StartRecording(opt)) return;
    rig.station->Start();
    QElapsedTimer wall;
    wall.start();
    // Resident memory right after each hour, after the writer thread had time to drain its
    // queue (the virtual clock stands still meanwhile), and after handing freed heap back.
    std::vector<long> rss, drained, trimmed, queued, queuedAfter;
    for (int h = 0; h < hours; ++h) {
        const qint64 until = rig.clock.NowUs() + qint64(3600) * 1000000;
        while (rig.clock.NowUs() < until)
            rig.Tick();
        rss.push_back(RssKb());
        queued.push_back(long(rig.station->recording().BacklogBytes() / 1024));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        drained.push_back(RssKb());
        queuedAfter.push_back(long(rig.station->recording().BacklogBytes() / 1024));
        malloc_trim(0);
        trimmed.push_back(RssKb());
    }
    const bool ok = rig.station->StopRecording();
    rig.station->UserStop();
    const qint64 samples = rig.station->recording().Samples();
    const qint64 bytes = FolderBytes(dir.path());
    std::printf(
        "soak %d h of short stream, hourly rotation, virtual clock: %s, %lld samples in %lld files, %.3f GB "
        "on disk (target <= 2 GB for 24 h), wall %.1f s\n",
        hours, ok ? "ok" : "FAIL", static_cast<long long>(samples),
        static_cast<long long>(rig.station->recording().Files().size()), double(bytes) / 1e9,
        double(wall.nsecsElapsed()) / 1e9);
    std::printf("  resident memory after each hour (KB):");
    for (long r : rss)
        std::printf(" %ld", r);
    std::printf("\n  first hour %ld KB, end %ld KB: %+.1f %%\n", rss.front(), rss.back(),
                100.0 * double(rss.back() - rss.front()) / double(rss.front()));
    std::printf("  writer queue after each hour, then 300 ms later (KB):");
    for (size_t i = 0; i < queued.size(); ++i)
        std::printf(" %ld/%ld", queued[i], queuedAfter[i]);
    std::printf("\n");
    for (const auto& [name, v] :
         {std::pair{"writer drained", &drained}, std::pair{"then malloc_trim", &trimmed}}) {
        std::printf("  %s (KB):", name);
        for (long r : *v)
            std::printf(" %ld", r);
        std::printf("\n    first hour %ld KB, end %ld KB: %+.1f %%\n", v->front(), v->back(),
                    100.0 * double(v->back() - v->front()) / double(v->front()));
    }
    if (!replay) return;
    std::vector<double> rates;
    for (int k = 0; k < 3; ++k) {
        QElapsedTimer t;
        t.start();
        if (!rig.station->StartReplay(rig.station->recording().Files(), monitor::Replay::Max)) return;
        while (rig.station->Replaying())
            rig.station->Tick();
        rates.push_back(double(samples) / (double(t.nsecsElapsed()) / 1e9) / 240.0);
    }
    std::sort(rates.begin(), rates.end());
    std::printf(
        "replay at max of %lld samples through store, table, diagram hooks, trigger: x line rate min %.0f "
        "median %.0f max %.0f (target >= 1000)\n",
        static_cast<long long>(samples), rates[0], rates[1], rates[2]);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("all");
    const int hours = argc > 2 ? std::max(1, std::atoi(argv[2])) : 24;
    const QString bin = QCoreApplication::applicationDirPath();
    if (what == QLatin1String("live") || what == QLatin1String("all")) Live(bin);
    if (what == QLatin1String("soak")) SoakAndReplay(hours, false);
    if (what == QLatin1String("replay") || what == QLatin1String("all")) SoakAndReplay(hours, true);
    return 0;
}
