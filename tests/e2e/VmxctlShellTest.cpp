// vmxctl's device-free commands, run as a user would.
#include "RunTool.h"

#include "lang/MessageTable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(VmxctlShell, MessagesPrintsEveryEntryExactly)
{
    QTemporaryDir dir;
    const ToolResult r = RunTool("vmxctl", {"--config-dir", dir.path(), "messages"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 501);
    for (int i = 0; i < 501; ++i) {
        QString de = QString::fromUtf8(vmx::lang::kMessageTable[i].de);
        QString en = QString::fromUtf8(vmx::lang::kMessageTable[i].en);
        de.replace('\r', "\\r");
        en.replace('\r', "\\r");
        EXPECT_EQ(lines[i], QStringLiteral("%1\t%2\t%3").arg(i).arg(de, en)) << i;
    }
    EXPECT_EQ(lines[214].count("\\r"), 2);
    EXPECT_EQ(lines[3], QStringLiteral("3\t\t"));
}

TEST(VmxctlShell, TypesListsTheCatalogueAndTheMenu)
{
    QTemporaryDir dir;
    ToolResult r = RunTool("vmxctl", {"--config-dir", dir.path(), "types"});
    EXPECT_EQ(r.exitCode, 0);
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 54);
    EXPECT_EQ(
        lines[0],
        QStringLiteral("0\t20\t0\t0\t143\t143\t0x3E9FF\t0x0A00\t256\t0x1A00\t128\tnone\tQVRxx.xx\tV1.4x"));
    EXPECT_EQ(
        lines[33],
        QStringLiteral(
            "33\t20\t6\t0\t110\t6000110\t0x00809\t0x0000\t0\t0x0C00\tnone\tnone\tQVR06.xx\tV1.10 .. V1.13"));
    EXPECT_EQ(lines[10].section('\t', 11, 11), QStringLiteral("144"));

    r = RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "types", "--menu"});
    EXPECT_EQ(r.exitCode, 0);
    lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 29 + 8 + 54);
    EXPECT_EQ(lines.mid(0, 5), (QStringList{"QVRxx.xx", "*  V1.4x", "  V1.3x", "  V1.2x", "-"}));
    EXPECT_EQ(lines.count("-"), 8);
    EXPECT_EQ(lines.filter(QRegularExpression("^\\*")).size(), 1);

    // MONITOR.INI picks the checked item and the filter.
    QFile ini(dir.filePath("MONITOR.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[DEVICE]\r\nTYPE=5\r\nSUBTYPE=50\r\nFIRMWARE=130\r\n[SETTINGS]\r\nSHOWVERSION=05050***\r\n");
    ini.close();
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "types", "--menu"});
    EXPECT_EQ(r.out, QStringLiteral("-\nQVR05.50/..57\n  V1.25\n*  V1.30\n  V1.43\n-\n"));
}

TEST(VmxctlShell, ConfigPrintsTheOutcomeOfMonitorIni)
{
    QTemporaryDir dir;
    ToolResult r = RunTool("vmxctl", {"--config-dir", dir.path(), "config"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Fehler beim Lesen aus Konfigurationsdatei: MONITOR.INI"));
    EXPECT_TRUE(r.out.contains("\nrow=0\nkey=143\n"));

    QFile ini(dir.filePath("MONITOR.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[DEVICE]\nIDENTCODE=20\nTYPE=6\nSUBTYPE=0\nFIRMWARE=xyz\nPARFILE=std.hex\n"
              "[SETTINGS]\nLANGUAGE=ENGLISH\nMODE=SERVICE\nREFRESHDIA=20\nDATAOVERFLOW=ROLLOVER\n"
              "MESSAGEWINDOW=ON\nWITHACK=OFF\nSHOWVERSION=06xxx***\n");
    ini.close();
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "config"});
    EXPECT_EQ(r.exitCode, 0);
    const QString expected =
        QStringLiteral("language=en\nservice=on\nmanufacturer=off\nidentcode=20\ntype=6\nsubtype=0\n"
                       "firmware=-1\nrow=0\nkey=143\nparfile=%1\ntempfile=\nrefreshdia=20\n"
                       "dataoverflow=rollover\nmessagewindow=on\nbeeper=off\nwithack=off\nwithanswer=on\n"
                       "withframecrc=off\npowerauto=off\nshowversion=6 -1 -1\nfolders=config-dir\n"
                       "configfolder=%2\ndatafolder=%2\nsharedfolder=\n")
            .arg(QDir(dir.path()).filePath("std.hex"), QDir::cleanPath(dir.path()));
    EXPECT_EQ(r.out, expected);
    // Read in German (the start language), so the message is German.
    EXPECT_TRUE(r.err.contains("Lese Konfiguration aus Datei: MONITOR.INI"));

    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--lang", "xx", "config"});
    EXPECT_EQ(r.exitCode, 2);
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--type", "1234", "config"});
    EXPECT_EQ(r.exitCode, 2);
}
