// vmxctl's view of TEST.INI: the definitions listed for a sensor type and a definition's start
// grid, from a file in the station's Windows-1252 encoding.
#include "RunTool.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

ToolResult Ctl(const QTemporaryDir& dir, const QStringList& args)
{
    return RunTool(QStringLiteral("vmxctl"), QStringList{QStringLiteral("--config-dir"), dir.path()} + args);
}

void WriteIni(const QTemporaryDir& dir, const QString& text)
{
    QFile f(dir.filePath(QStringLiteral("TEST.INI")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toLatin1()); // Windows-1252 for these characters
}

} // namespace

TEST(TestIniVmxctl, ListAndShowFollowTheSensorType)
{
    QTemporaryDir dir;
    WriteIni(dir,
             QStringLiteral(
                 "[TEST_CONDITION]\r\n[#QVR_TYP] \"Typ\",\"QVR05\"\r\n[#ART_PRÜFUNG] \"Art\",\"Ende\"\r\n"
                 "[#MASKE] \"Maske\",\"05xxx143\"\r\n//\r\n"
                 "[TEST_CONDITION]\r\n[#QVR_TYP] \"Typ\",\"Alle\"\r\n[#PRÜFER] \"Prüfer\",\"Name\"\r\n"));
    ToolResult r = Ctl(dir, {"--type", "5028143", "test", "list"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("0\tQVR05 / Ende\n1\tAlle / \n"));
    r = Ctl(dir, {"--type", "6000120", "test", "list"});
    EXPECT_EQ(r.out, QStringLiteral("0\tAlle / \n"));
    r = Ctl(dir, {"--type", "5028143", "test", "show", "--definition", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Typ\tAlle\nPrüfer\tName\n"));
    r = Ctl(dir, {"--type", "5028143", "test", "show", "--definition", "2"});
    EXPECT_EQ(r.exitCode, 1);
    // Without TEST.INI nothing is listed and the run fails.
    QTemporaryDir empty;
    r = Ctl(empty, {"test", "list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(TestIniVmxctl, ProgramPrintsOneStepTable)
{
    QTemporaryDir dir;
    ToolResult r = Ctl(dir, {"test", "program", "20"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("0\tStart_EnableSN\n1\tCheckTK33Ident(1, 1)\n"
                             "2\tImportFirmware(FirmwareFile1, \"Import SiLab: \")\n"
                             "3\tProgCodeTK33(0x0200, 0x0800, 0x1BFF)\n4\tCommentResult\nrange bound\t40\n"));
    r = Ctl(dir, {"test", "program", "13"});
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n16\t-\n17\tSwitchSerialInterface(0)\n")));
    EXPECT_EQ(Ctl(dir, {"test", "program", "17"}).exitCode, 1);
    EXPECT_EQ(Ctl(dir, {"test", "program", "x"}).exitCode, 2);
}
