// Live monitoring against a separate process: vmx-sim streams on a pseudo-terminal at the
// line's real rate and vmxctl captures through --port PATH. The capture keeps pace with the
// line: it takes about the line's time, loses nothing (vmx-sim counts what the terminal did
// not take) and does not resynchronise after the first aligned block. The exact timings are
// measured in bench/; the bound here is generous.
#include "RunTool.h"

#include "lang/Messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "TestPaths.h"
#include <gtest/gtest.h>

namespace {

class StreamingSim {
public:
    explicit StreamingSim(const QString& stream)
    {
        line_ = dir_.filePath(QStringLiteral("line"));
        p_.start(testpaths::Bin(QStringLiteral("vmx-sim")),
                 {QStringLiteral("--link"), line_, QStringLiteral("--stream"), stream});
        if (!p_.waitForStarted(5000)) return;
        QElapsedTimer t;
        t.start();
        while (!p_.canReadLine() && t.elapsed() < 5000)
            p_.waitForReadyRead(100);
        pty_ = QString::fromUtf8(p_.readLine()).trimmed();
    }
    ~StreamingSim() { Stop(); }
    bool ok() const { return !pty_.isEmpty() && QFileInfo(line_).isSymLink(); }

    ToolResult Capture(int n)
    {
        return Ctl({QStringLiteral("capture"), QStringLiteral("-n"), QString::number(n)});
    }
    ToolResult Ctl(const QStringList& args)
    {
        return RunTool(
            QStringLiteral("vmxctl"),
            QStringList{QStringLiteral("--config-dir"), cfg_.path(), QStringLiteral("--port"), line_} + args,
            120000);
    }
    QString File(const char* name) const { return cfg_.filePath(QString::fromLatin1(name)); }

    // Ends vmx-sim and returns the bytes it lost to overrun (-1 when it did not say). Right
    // after the capture: from then on nobody reads, and the terminal's queue fills within a
    // fraction of a second.
    qint64 Stop()
    {
        if (p_.state() == QProcess::NotRunning) return overrun_;
        p_.terminate();
        if (!p_.waitForFinished(3000)) {
            p_.kill();
            p_.waitForFinished(2000);
        }
        const QString err = QString::fromUtf8(p_.readAllStandardError());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("overrun (\\d+) bytes")).match(err);
        overrun_ = m.hasMatch() ? m.captured(1).toLongLong() : -1;
        return overrun_;
    }

private:
    QTemporaryDir dir_;
    QTemporaryDir cfg_;
    QString line_;
    QString pty_;
    QProcess p_;
    qint64 overrun_ = -1;
};

void ExpectKeptPace(const QString& stream, int n, const char* prefix)
{
    SCOPED_TRACE(stream.toStdString());
    StreamingSim sim(stream);
    ASSERT_TRUE(sim.ok());
    QElapsedTimer t;
    t.start();
    const ToolResult r = sim.Capture(n);
    const qint64 ms = t.elapsed();
    const qint64 overrun = sim.Stop();
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(overrun, 0) << "bytes lost on the line";
    // N blocks take N / 144 s (long) or N / 240 s (short) on the line: 10 s here. Start-up,
    // the probe and STOP add well under a second; a slow machine gets the rest.
    EXPECT_LT(ms, 20000) << "the capture fell behind the line";
    EXPECT_GT(ms, 9500) << "faster than the line can deliver";
    const QStringList rows = TableRows(r.out);
    ASSERT_EQ(rows.size(), n);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(rows[i].section(QLatin1Char('\t'), 0, 0), QString::number(i));
    // Status texts come once per change: after the first "Lese Daten" no resynchronisation,
    // no missing data, no checksum error.
    const QString reading = QLatin1String(prefix) + QStringLiteral("Lese Daten ...");
    const qsizetype at = r.err.indexOf(reading);
    ASSERT_GE(at, 0) << r.err.toStdString();
    const QString after = r.err.mid(at + reading.size());
    EXPECT_FALSE(after.contains(QStringLiteral("Synchronisiere"))) << r.err.toStdString();
    EXPECT_FALSE(after.contains(QStringLiteral("Keine Daten"))) << r.err.toStdString();
    EXPECT_FALSE(after.contains(QStringLiteral("Frame-CRC"))) << r.err.toStdString();
}

} // namespace

TEST(LiveCapturePty, LongStreamOf1440BlocksInTheLinesTime)
{
    ExpectKeptPace(QStringLiteral("long"), 1440, "Diagnose-Mode: ");
}

TEST(LiveCapturePty, ShortStreamOf2400BlocksInTheLinesTime)
{
    ExpectKeptPace(QStringLiteral("short"), 2400, "Standard-Mode: ");
}

// A download from a streaming sensor: the loader is started, the input purged, and the first
// ping must find the loader's answer, not stream that waited in the simulator for a reader.
TEST(LiveCapturePty, DownloadFromAStreamingSensorPingsTheLoaderFirstTime)
{
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        StreamingSim sim(QStringLiteral("long"));
        ASSERT_TRUE(sim.ok());
        // A reader that is slow for a while first: the stream it misses is lost, not queued.
        QThread::msleep(1500);
        QFile f(sim.File("fw.hex"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(":0400100001020304E2\n:00000001FF\n");
        f.close();
        const ToolResult r = sim.Ctl({QStringLiteral("download"), sim.File("fw.hex")});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(vmx::lang::Msg(255, 0)))
            << "an exchange went unanswered: " << r.err.toStdString();
        EXPECT_TRUE(r.err.trimmed().endsWith(vmx::lang::Msg(324, 0))) << r.err.toStdString();
    }
}
