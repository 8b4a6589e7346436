// Live acquisition over a pseudo-terminal in real time: vmx-sim streams at 115200 baud and
// vmxctl captures N blocks through --port PATH. The figure is the capture's whole run (start
// of vmxctl, probe, N samples, STOP) over the line's time for N blocks, and the bytes vmx-sim
// lost because nobody took them. Plain timing main; min / median / max of three runs.
#include "proto/Protocol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Run {
    double seconds = 0;
    qint64 overrun = -1;
    int rows = 0;
    bool ok = false;
    bool resync = false;
};

Run Capture(const QString& bin, const QString& stream, int n)
{
    QTemporaryDir dir;
    const QString line = dir.filePath(QStringLiteral("line"));
    QProcess sim;
    sim.start(bin + QStringLiteral("/vmx-sim"),
              {QStringLiteral("--link"), line, QStringLiteral("--stream"), stream});
    Run r;
    if (!sim.waitForStarted(5000)) return r;
    while (!sim.canReadLine())
        sim.waitForReadyRead(100);
    sim.readLine();
    QProcess ctl;
    QElapsedTimer t;
    t.start();
    ctl.start(bin + QStringLiteral("/vmxctl"),
              {QStringLiteral("--config-dir"), dir.path(), QStringLiteral("--port"), line,
               QStringLiteral("capture"), QStringLiteral("-n"), QString::number(n)});
    ctl.waitForFinished(120000);
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    sim.terminate();
    sim.waitForFinished(3000);
    const QString out = QString::fromUtf8(ctl.readAllStandardOutput());
    const QString err = QString::fromUtf8(ctl.readAllStandardError());
    r.rows = int(out.count(QLatin1Char('\n')));
    r.ok = ctl.exitCode() == 0 && r.rows == n;
    const qsizetype reading = err.indexOf(QStringLiteral("Lese Daten"));
    r.resync = reading < 0 || err.indexOf(QStringLiteral("Synchronisiere"), reading) >= 0;
    const auto m = QRegularExpression(QStringLiteral("overrun (\\d+) bytes"))
                       .match(QString::fromUtf8(sim.readAllStandardError()));
    if (m.hasMatch()) r.overrun = m.captured(1).toLongLong();
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath();
    struct Case {
        const char* stream;
        int n;
        int block;
    };
    for (const Case c :
         {Case{"long", 1440, vmx::proto::kLongBlock}, Case{"short", 2400, vmx::proto::kShortBlock}}) {
        const double lineS = double(c.n) * c.block / vmx::proto::kBytesPerSecond;
        std::vector<double> ratios;
        qint64 overrun = 0;
        bool ok = true, resync = false;
        for (int k = 0; k < 3; ++k) {
            const Run r = Capture(bin, QString::fromLatin1(c.stream), c.n);
            ok = ok && r.ok;
            resync = resync || r.resync;
            overrun = std::max(overrun, r.overrun);
            ratios.push_back(r.seconds / lineS);
        }
        std::sort(ratios.begin(), ratios.end());
        std::printf(
            "vmxctl capture -n %d, %s stream over a pseudo-terminal: %s, line time %.2f s, whole run / line "
            "time min %.3f  median %.3f  max %.3f  (target <= 1.05); overrun %lld bytes; %s\n",
            c.n, c.stream, ok ? "ok" : "FAIL", lineS, ratios[0], ratios[1], ratios[2],
            static_cast<long long>(overrun),
            resync ? "resynchronised after the first block" : "no resynchronisation after the first block");
    }
    return 0;
}
