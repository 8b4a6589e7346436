// Transfers that must not report success for what failed, nor failure for what worked, run
// through vmxctl as a user runs them: on the virtual-clock bench, and on vmx-sim's
// pseudo-terminal where the sensor has to keep its state from one command to the next.
#include "RunTool.h"
#include "TestFiles.h"

#include "lang/Messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "TestPaths.h"
#include <gtest/gtest.h>

namespace {

using vmx::e2e::M;
using vmx::e2e::Read;
using vmx::e2e::Write;

// Intel HEX data records of `data` from `address` on, then the end record.
QByteArray HexRecords(quint32 address, const QByteArray& data)
{
    QByteArray out;
    for (qsizetype at = 0; at < data.size(); at += 16) {
        const QByteArray chunk = data.mid(at, 16);
        const quint32 a = address + quint32(at);
        quint32 sum = quint32(chunk.size()) + (a >> 8) + (a & 0xFF);
        QByteArray line = QByteArray(":") + QByteArray::number(chunk.size(), 16).rightJustified(2, '0') +
                          QByteArray::number(a, 16).rightJustified(4, '0') + "00";
        for (char c : chunk) {
            sum += quint8(c);
            line += QByteArray::number(quint8(c), 16).rightJustified(2, '0');
        }
        line += QByteArray::number(quint8(-qint32(sum)), 16).rightJustified(2, '0');
        out += line.toUpper() + "\r\n";
    }
    return out + ":00000001FF\r\n";
}

struct Vmxctl {
    QTemporaryDir dir;
    ToolResult Run(QStringList args, const QString& profile = QString())
    {
        args.prepend("--simulate=virtual" + (profile.isEmpty() ? QString() : "," + profile));
        args.prepend(dir.path());
        args.prepend("--config-dir");
        return RunTool("vmxctl", args);
    }
    QString File(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// vmx-sim on a pseudo-terminal: one sensor for several vmxctl runs.
class SimServer {
public:
    explicit SimServer(const QStringList& args = {})
    {
        line_ = dir_.filePath("line");
        p_.start(testpaths::Bin(QStringLiteral("vmx-sim")), QStringList{"--link", line_} + args);
        if (!p_.waitForStarted(5000)) return;
        QElapsedTimer t;
        t.start();
        while (!p_.canReadLine() && t.elapsed() < 5000)
            p_.waitForReadyRead(100);
        ok_ = !p_.readLine().trimmed().isEmpty();
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
    bool ok() const { return ok_; }
    ToolResult Ctl(QStringList args)
    {
        args = QStringList{"--config-dir", cfg_.path(), "--port", line_} + args;
        return RunTool("vmxctl", args, 60000);
    }
    QString File(const char* name) const { return cfg_.filePath(QString::fromLatin1(name)); }

private:
    QTemporaryDir dir_;
    QTemporaryDir cfg_;
    QString line_;
    QProcess p_;
    bool ok_ = false;
};

} // namespace

// An image with no data below the boot sector used to erase the whole application and end in
// "Herzlichen Glückwunsch".
TEST(DownloadVmxctl, EmptyImageIsRefusedBeforeTheErase)
{
    Vmxctl v;
    Write(v.File("empty.hex"), ":00000001FF\r\n");
    // Data only above the range the download writes is no firmware either.
    Write(v.File("high.hex"), HexRecords(0x1A00, QByteArray(16, '\x12')));
    for (const char* name : {"empty.hex", "high.hex"}) {
        const ToolResult r = v.Run({"download", v.File(name)});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(r.err.contains(M(316) + M(298) + ": " + name + ", von 0000 bis 19FF"))
            << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(M(276))) << name; // no "Lösche Code: "
        EXPECT_FALSE(r.err.contains(M(324))) << name;
    }
}

// A record of type 04 used to be stored as two data bytes at address 0 and downloaded.
TEST(DownloadVmxctl, RecordTypesOtherThanDataAndEndAreRefusedWithTypeAndLine)
{
    Vmxctl v;
    const QByteArray body = HexRecords(0, QByteArray(64, '\x5A'));
    for (const char* record : {":020000040000FA", ":0400000500000000F7", ":020000021000EC"}) {
        Write(v.File("typed.hex"), HexRecords(0x100, QByteArray(16, 1)).replace(":00000001FF\r\n", "") +
                                       QByteArray(record) + "\r\n" + body);
        const QString type = QString::fromLatin1(record).mid(7, 2);
        const ToolResult r = v.Run({"download", v.File("typed.hex")});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 1) << record;
        EXPECT_TRUE(r.err.contains(M(316) + M(298) + ": typed.hex:2 (" + type + ")")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(M(276))) << record;
        EXPECT_FALSE(r.err.contains(M(324))) << record;
    }
    // The same file without the extra record downloads.
    Write(v.File("plain.hex"), body);
    const ToolResult r = v.Run({"download", v.File("plain.hex")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(324)));
}

// Read answers naming another (in-range) block: a wrong answer, for reads and verifies.
TEST(MemVmxctl, AnswerForAnotherBlockFailsReadAndVerify)
{
    Vmxctl v;
    ToolResult r = v.Run({"mem", "read", "--kind", "sram", "--range", "0-FF", "--file", v.File("s.hex")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    Write(v.File("old.hex"), "kept");
    r = v.Run({"mem", "read", "--kind", "sram", "--range", "0-FF", "--file", v.File("old.hex")}, "skew=-16");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(303) + M(256) + ": 00E0")) << r.err.toStdString();
    EXPECT_EQ(Read(v.File("old.hex")), "kept");
    for (const char* kind : {"code", "sram", "xram", "eeprom"}) {
        r = v.Run({"mem", "verify", "--kind", kind, "--range", "0-FF", "--file", v.File("s.hex")}, "skew=16");
        EXPECT_EQ(r.exitCode, 1) << kind;
        EXPECT_TRUE(r.err.contains(M(256) + ": 0100")) << kind << "\n" << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("von 0000 bis 00FF, " + M(250))) << kind;
    }
}

// params read --out then params verify of that file used to fail: the page refresh
// normalises the block, its checksum byte kept the sensor's old value.
TEST(ParamsVmxctl, FileReadFromTheSensorVerifiesAgainstIt)
{
    Vmxctl v;
    ToolResult r = v.Run({"params", "read", "--out", v.File("p.hex")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = v.Run({"params", "verify", v.File("p.hex")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(281) + M(250)));
    // A changed byte is still found.
    QByteArray text = Read(v.File("p.hex"));
    const qsizetype at = text.indexOf(":100a1000");
    ASSERT_GT(at, 0);
    text[at + 9] = text[at + 9] == '0' ? '1' : '0';
    // With its record checksum made right again: the file is sound, its data differ.
    const QByteArray bytes = QByteArray::fromHex(text.mid(at + 1, 2 * (4 + 16)));
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    text.replace(at + 1 + 2 * (4 + 16), 2, QByteArray::number(0x100 + quint8(-sum), 16).right(2));
    Write(v.File("q.hex"), text);
    r = v.Run({"params", "verify", v.File("q.hex")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(281) + M(280)));
}

// On one sensor that keeps its flash: read -> write -> verify of the same file, and a memory
// read right after a restart of the streaming sensor.
TEST(ParamsPty, ReadWriteVerifyOfTheSameFileAndMemReadAfterRestart)
{
    SimServer sim;
    ASSERT_TRUE(sim.ok());
    ToolResult r = sim.Ctl({"params", "read", "--out", sim.File("p.hex")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = sim.Ctl({"params", "write", sim.File("p.hex")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = sim.Ctl({"params", "verify", sim.File("p.hex")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(281) + M(250)));
    // The written block carries its own checksum: a second read gives the same file.
    r = sim.Ctl({"params", "read", "--out", sim.File("p2.hex")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Read(sim.File("p2.hex")), Read(sim.File("p.hex")));

    r = sim.Ctl({"boot", "restart"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = sim.Ctl({"mem", "read", "--kind", "code", "--range", "A00-AFF", "--file", sim.File("m.hex")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(M(256)));
    EXPECT_TRUE(Read(sim.File("m.hex")).startsWith(":100A0000"));
    // And the boot commands on the sensor that streams again.
    r = sim.Ctl({"boot", "restart"});
    ASSERT_EQ(r.exitCode, 0);
    r = sim.Ctl({"boot", "ident"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Boot-Adresse: 1A00"));
}

// A --port path that cannot be opened is told as the link's failure, not as a failed frame.
TEST(PortVmxctl, PathThatCannotBeOpenedSaysSo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-tty");
    for (const QStringList& cmd : {QStringList{"ping"}, QStringList{"mem", "read", "--range", "0-F"},
                                   QStringList{"params", "read", "--out", dir.filePath("p.hex")}}) {
        const ToolResult r = RunTool("vmxctl", QStringList{"--config-dir", dir.path(), "--port", path} + cmd);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 1) << cmd.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(M(253) + ": " + path) || r.err.contains(M(252) + ": " + path))
            << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(M(254))) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("p.hex")));
    }
}
