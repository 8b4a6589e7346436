// vmx-sim on a pseudo-terminal and vmxctl talking to it through --port PATH, in real time.
#include "RunTool.h"

#include "lang/Messages.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "TestPaths.h"
#include <gtest/gtest.h>

namespace {

QString M(int i)
{
    return vmx::lang::Msg(i, 0);
}

// Starts vmx-sim and stops it again when the test ends, whatever happened.
class SimServer {
public:
    explicit SimServer(const QStringList& args)
    {
        line_ = dir_.filePath(QStringLiteral("line"));
        QStringList a{QStringLiteral("--link"), line_};
        a << args;
        p_.start(testpaths::Bin(QStringLiteral("vmx-sim")), a);
        if (!p_.waitForStarted(5000)) return;
        QElapsedTimer t;
        t.start();
        while (!p_.canReadLine() && t.elapsed() < 5000)
            p_.waitForReadyRead(100);
        pty_ = QString::fromUtf8(p_.readLine()).trimmed();
    }
    ~SimServer()
    {
        if (p_.state() == QProcess::NotRunning) return;
        p_.terminate();
        if (!p_.waitForFinished(3000)) {
            p_.kill();
            p_.waitForFinished(2000);
        }
    }
    bool ok() const { return !pty_.isEmpty() && QFileInfo(line_).isSymLink(); }
    const QString& line() const { return line_; }
    const QString& pty() const { return pty_; }
    QProcess& process() { return p_; }

    ToolResult Ctl(QStringList args)
    {
        args.prepend(line_);
        args.prepend(QStringLiteral("--port"));
        args.prepend(cfg_.path());
        args.prepend(QStringLiteral("--config-dir"));
        return RunTool(QStringLiteral("vmxctl"), args);
    }

private:
    QTemporaryDir dir_;
    QTemporaryDir cfg_;
    QString line_;
    QString pty_;
    QProcess p_;
};

} // namespace

TEST(LinkPty, ExchangesWithAPolledSensor)
{
    SimServer sim({"--stream", "polled"});
    ASSERT_TRUE(sim.ok());
    EXPECT_TRUE(sim.pty().startsWith(QStringLiteral("/dev/pts/")));
    ToolResult r = sim.Ctl({"ping"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(260) + M(250)));

    r = sim.Ctl({"--frame-crc", "send", "25", "--answer", "21"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("F1 00 15 25 14 05 1C"))) << r.out.toStdString();

    r = sim.Ctl({"probe"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("polled\n"));

    r = sim.Ctl({"ports"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("*") + sim.line() + QLatin1Char('\t'))) << r.out.toStdString();
}

TEST(LinkPty, StreamsAtTheLineRate)
{
    SimServer sim({"--stream", "long"});
    ASSERT_TRUE(sim.ok());
    ToolResult r = sim.Ctl({"probe"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("long\n"));
    // Switch the sensor to polling (no answer), then it answers.
    r = sim.Ctl({"send", "32", "03", "--answer", "0"});
    EXPECT_EQ(r.exitCode, 0);
    r = sim.Ctl({"ping"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
}

TEST(LinkPty, AMutedSensorTimesOut)
{
    SimServer sim({"--stream", "polled", "--fault", "mute"});
    ASSERT_TRUE(sim.ok());
    QElapsedTimer t;
    t.start();
    const ToolResult r = sim.Ctl({"ping"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(260) + M(255))) << r.err.toStdString();
    // The first byte's total time-out on a serial port: 1000 + 1500 ms.
    EXPECT_GE(t.elapsed(), 2400);
}

TEST(LinkPty, TheTestModuleOnTheLine)
{
    SimServer sim({"--profile", "tk33", "--route", "module"});
    ASSERT_TRUE(sim.ok());
    const ToolResult r = sim.Ctl({"send", "25", "--answer", "21"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("F1 00 15 25 63 21 01"))) << r.out.toStdString();
}

TEST(LinkPty, TraceAndShutdown)
{
    QString line;
    {
        SimServer sim({"--stream", "polled", "--trace"});
        ASSERT_TRUE(sim.ok());
        line = sim.line();
        EXPECT_EQ(sim.Ctl({"ping"}).exitCode, 0);
        QElapsedTimer t;
        t.start();
        QByteArray err;
        while (!err.contains("out sensor 11") && t.elapsed() < 3000) {
            sim.process().waitForReadyRead(100);
            err += sim.process().readAllStandardError();
        }
        EXPECT_TRUE(err.contains("in  sensor F1 00 05 29 1E ok")) << err.constData();
    }
    // The link is removed when the server ends.
    EXPECT_FALSE(QFileInfo::exists(line));
    EXPECT_FALSE(QFileInfo(line).isSymLink());
}

TEST(LinkPty, UsageOfVmxSim)
{
    ToolResult r = RunTool(QStringLiteral("vmx-sim"), {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("--profile")));
    r = RunTool(QStringLiteral("vmx-sim"), {"--bogus"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunTool(QStringLiteral("vmx-sim"), {"--fault", "sideways"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunTool(QStringLiteral("vmx-sim"), {"--route", "module"});
    EXPECT_EQ(r.exitCode, 2);
}

// A plain serial port where only converter 005 is allowed: the test-hardware check refuses it
// before a single frame goes out; the module behind the line would have answered.
TEST(LinkPty, TestHardwareCheckRefusesAComPortWithoutTalkingToTheModule)
{
    SimServer sim({"--profile", "tk33", "--route", "module", "--trace"});
    ASSERT_TRUE(sim.ok());
    ToolResult r = sim.Ctl({"tm", "check", "--allowed", "0x04"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("kind=0"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Prüfmittel: FEHLER, ungeeignetes Prüfmittel")));
    r = sim.Ctl({"tm", "ident"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("ident=99\n")));
    sim.process().terminate();
    ASSERT_TRUE(sim.process().waitForFinished(3000));
    const QString trace = QString::fromUtf8(sim.process().readAllStandardError());
    // The ident run's frame is the only one the module ever received.
    EXPECT_EQ(trace.count(QStringLiteral(" in ")), 1) << trace.toStdString();
    EXPECT_TRUE(trace.contains(QStringLiteral("in  module F1 00 05 25"))) << trace.toStdString();
}
