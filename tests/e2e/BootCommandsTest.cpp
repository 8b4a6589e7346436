// vmxctl's boot-loader commands against the in-process simulated bench, run as a user would.
#include "RunTool.h"

#include "lang/Messages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString M(int i)
{
    return vmx::lang::Msg(i, 0);
}

struct Vmxctl {
    QTemporaryDir dir;
    ToolResult Run(QStringList args)
    {
        args.prepend(QStringLiteral("--simulate=stream=polled"));
        args.prepend(dir.path());
        args.prepend(QStringLiteral("--config-dir"));
        return RunTool(QStringLiteral("vmxctl"), args);
    }
    // The default bench: the sensor streams long records until the loader is started.
    ToolResult RunOnStreamingSensor(QStringList args)
    {
        args.prepend(QStringLiteral("--simulate"));
        args.prepend(dir.path());
        args.prepend(QStringLiteral("--config-dir"));
        return RunTool(QStringLiteral("vmxctl"), args);
    }
    // The boot commands are wired into the tool's main by its front-end owner.
    bool HasBootCommands()
    {
        const ToolResult r = RunTool(QStringLiteral("vmxctl"), {QStringLiteral("--help")});
        return (r.out + r.err).contains(QStringLiteral("\n  boot "));
    }
    QString File(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(BootVmxctl, IdentPrintsTheIdentificationLine)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    const ToolResult r = v.Run({"boot", "ident"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(),
              QStringLiteral("SW-Typ: 00 / Version: 03 / Boot-Adresse: 1A00 / MCU-Typ: 330 / Rest: "
                             "06 07 08 09 0A 0B 0C 0D 0E 0F"));
}

TEST(BootVmxctl, ReadSavesTheRangeAsHex)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    const ToolResult r =
        v.Run({"mem", "read", "--kind", "code", "--range", "0-1F", "--file", v.File("c.hex")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(273) + QStringLiteral("von 0000 bis 001F, ") + M(250)));
    EXPECT_EQ(Read(v.File("c.hex")).replace("\r\n", "\n"),
              QByteArray(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\n"
                         ":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0\n"
                         ":00000001FF\n"));
}

TEST(BootVmxctl, RefusedEraseAndBadRange)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    ToolResult r = v.Run({"mem", "erase", "--kind", "code", "--range", "0-1A00"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(276) + M(310))) << r.err.toStdString();
    r = v.Run({"mem", "read", "--range", "20-1F"});
    EXPECT_EQ(r.exitCode, 2);
    r = v.Run({"mem", "read", "--kind", "sram", "--range", "0-100"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(BootVmxctl, DownloadOfAHexFile)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    QFile f(v.File("fw.hex"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(":0400000001020304F2\n:00000001FF\n");
    f.close();
    const ToolResult r = v.Run({"download", v.File("fw.hex")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(320)));
    EXPECT_TRUE(r.err.contains(M(323)));
    EXPECT_TRUE(r.err.trimmed().endsWith(M(324)));
    const ToolResult missing = v.Run({"download", v.File("none.hex")});
    EXPECT_EQ(missing.exitCode, 1);
}

// The loader is entered from a streaming sensor; what is read is the flash, not the stream or
// an untouched buffer.
TEST(BootVmxctl, ReadOnTheStreamingSensorGivesTheFlash)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    const ToolResult r = v.RunOnStreamingSensor(
        {"mem", "read", "--kind", "code", "--range", "19F0-1A0F", "--file", v.File("s.hex")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Erased code below the boot sector, the loader's own bytes in it.
    EXPECT_EQ(Read(v.File("s.hex")).replace("\r\n", "\n"),
              QByteArray(":1019F000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF7\n"
                         ":101A0000A5A2ABB0B9868F949D9AE3E8F1FEC7CC4E\n"
                         ":00000001FF\n"));
    // The simulated boot sector holds 0xA5 ^ 7i: checked against the formula, not the file above.
    const QByteArray line = Read(v.File("s.hex")).split('\n').value(1);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(line.mid(9 + 2 * i, 2).toUInt(nullptr, 16), uint(quint8(0xA5 ^ (i * 7)))) << i;
}

TEST(BootVmxctl, DownloadOnTheStreamingSensor)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    QFile f(v.File("fw.hex"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(":0400100001020304E2\n:00000001FF\n");
    f.close();
    const ToolResult r = v.RunOnStreamingSensor({"download", v.File("fw.hex")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(323)));
    EXPECT_TRUE(r.err.trimmed().endsWith(M(324)));
}

// Behind a test module the line must lead to the sensor; otherwise the module answers the ping
// and the loader never starts.
TEST(BootVmxctl, ReadBehindATestModuleReachesTheSensor)
{
    Vmxctl v;
    if (!v.HasBootCommands()) GTEST_SKIP() << "vmxctl has no boot commands yet";
    const ToolResult r =
        RunTool(QStringLiteral("vmxctl"),
                {"--config-dir", v.dir.path(), "--simulate=tk33,stream=polled", "mem", "read", "--kind",
                 "code", "--range", "1A00-1A0F", "--file", v.File("t.hex")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(Read(v.File("t.hex")).startsWith(":101A0000A5A2ABB0B9868F949D9AE3E8F1FEC7CC4E"));
}
