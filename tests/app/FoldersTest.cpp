// Where the program keeps its files: the decision over its inputs, and an installed tree on disk
// (seeding, lookup order, the helper in libexec, MONITOR.INI's relative names).
#include "app/Folders.h"

#include "RecordingHost.h"
#include "app/InstallLayout.h"
#include "app/MonitorConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmx::app;

namespace {

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(Folders, DecisionTable)
{
    const QString share = QDir::cleanPath(QStringLiteral("/opt/vmx/bin/" VMX_BIN_TO_SHARE));
    struct Case {
        const char* what;
        FolderInputs in;
        FolderMode mode;
        QString config, data, shipped;
    };
    auto in = [](const char* exe, const char* option, bool writable, bool share, const char* xdgConfig = "",
                 const char* xdgData = "") {
        FolderInputs i;
        i.exeDir = QString::fromUtf8(exe);
        i.configDirOption = QString::fromUtf8(option);
        i.currentDir = QStringLiteral("/work/here");
        i.home = QStringLiteral("/home/eng");
        i.xdgConfigHome = QString::fromUtf8(xdgConfig);
        i.xdgDataHome = QString::fromUtf8(xdgData);
        i.exeDirWritable = writable;
        i.shareBeside = share;
        return i;
    };
    const QString userConfig = QStringLiteral("/home/eng/.config/vmx-monitor");
    const QString userData = QStringLiteral("/home/eng/.local/share/vmx-monitor");
    const Case cases[] = {
        {"build folder", in("/src/build/bin", "", true, false), FolderMode::Program, "/src/build/bin",
         "/src/build/bin", ""},
        {"build folder, path not clean", in("/src/build/bin/../bin/", "", true, false), FolderMode::Program,
         "/src/build/bin", "/src/build/bin", ""},
        {"--config-dir absolute", in("/src/build/bin", "/station/cfg", true, false), FolderMode::ConfigDir,
         "/station/cfg", "/station/cfg", ""},
        {"--config-dir relative to the current folder", in("/src/build/bin", "cfg/../cfg2", true, false),
         FolderMode::ConfigDir, "/work/here/cfg2", "/work/here/cfg2", ""},
        {"--config-dir wins over an unwritable folder", in("/ro/bin", "/station/cfg", false, false),
         FolderMode::ConfigDir, "/station/cfg", "/station/cfg", ""},
        {"--config-dir on an installed program keeps its shipped files", in("/opt/vmx/bin", "/c", true, true),
         FolderMode::ConfigDir, "/c", "/c", share},
        {"installed, XDG set", in("/opt/vmx/bin", "", true, true, "/x/cfg", "/x/data"), FolderMode::Installed,
         "/x/cfg/vmx-monitor", "/x/data/vmx-monitor", share},
        {"installed, XDG unset", in("/opt/vmx/bin", "", false, true), FolderMode::Installed, userConfig,
         userData, share},
        {"installed, XDG relative (ignored)", in("/opt/vmx/bin", "", true, true, "rel/cfg", "rel/data"),
         FolderMode::Installed, userConfig, userData, share},
        {"portable copy on a read-only medium", in("/media/stick/vmx", "", false, false, "", "/x/data"),
         FolderMode::Unwritable, userConfig, "/x/data/vmx-monitor", "/media/stick/vmx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Folders f = DecideFolders(c.in);
        EXPECT_EQ(f.mode, c.mode);
        EXPECT_EQ(f.config, c.config);
        EXPECT_EQ(f.data, c.data);
        EXPECT_EQ(f.shipped, c.shipped);
        EXPECT_EQ(f.userFolders(), c.mode == FolderMode::Installed || c.mode == FolderMode::Unwritable);
    }
}

TEST(Folders, InstalledTreeSeedsTheUsersFoldersAndLooksUpShippedFiles)
{
    QTemporaryDir root, home;
    ASSERT_TRUE(root.isValid() && home.isValid());
    const QString bin = root.filePath("usr/bin");
    const QString share = QDir::cleanPath(bin + "/" VMX_BIN_TO_SHARE);
    const QString libexec = QDir::cleanPath(bin + "/" VMX_BIN_TO_LIBEXEC);
    QDir().mkpath(bin);
    Write(share + "/MONITOR.INI", "[DEVICE]\r\nPARFILE=std.hex\r\n[SETTINGS]\r\nTEMPFILE=rec/temp.txt\r\n");
    Write(share + "/TEST.INI", "[shipped]\r\n");
    Write(share + "/std.hex", ":00000001FF\r\n");
    Write(share + "/QVR.hex", ":00000001FF\r\n");
    Write(libexec + "/vmx-xls-read", "");

    qputenv("XDG_CONFIG_HOME", home.filePath("cfg").toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    const Folders f = DecideFolders(ReadFolderInputs(QString(), bin));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    ASSERT_EQ(f.mode, FolderMode::Installed);
    ASSERT_EQ(f.config, home.filePath("cfg/vmx-monitor"));
    ASSERT_EQ(f.data, home.filePath("data/vmx-monitor"));

    // First start: both INIs copied, the data folder made.
    QString error;
    ASSERT_TRUE(PrepareFolders(f, error)) << error.toStdString();
    EXPECT_EQ(Read(f.ConfigFile("TEST.INI")), "[shipped]\r\n");
    EXPECT_TRUE(QFileInfo(f.data).isDir());
    // A later start keeps what the user changed.
    Write(f.ConfigFile("TEST.INI"), "[mine]\r\n");
    ASSERT_TRUE(PrepareFolders(f, error));
    EXPECT_EQ(Read(f.ConfigFile("TEST.INI")), "[mine]\r\n");

    // Relative names: the INI's folder first, then the shipped files; found nowhere, the
    // INI's folder (which a failure message names).
    EXPECT_EQ(f.Find("QVR.hex"), share + "/QVR.hex");
    Write(f.ConfigFile("QVR.hex"), ":00000001FF\r\n");
    EXPECT_EQ(f.Find("QVR.hex"), f.ConfigFile("QVR.hex"));
    EXPECT_EQ(f.Find("none.hex"), f.ConfigFile("none.hex"));
    EXPECT_EQ(f.Find("/abs/x.hex"), "/abs/x.hex");

    // MONITOR.INI as the program reads it at start: PARFILE from the shipped files, the record
    // file the program writes in the data folder.
    vmx::app::VirtualClock clock;
    vmx::test::RecordingHost host(&clock);
    MonitorConfig cfg;
    ASSERT_TRUE(ReadConfigFromFile(f, 0, host, cfg));
    EXPECT_EQ(cfg.ParFile, share + "/std.hex");
    EXPECT_EQ(cfg.TempFile, f.data + "/rec/temp.txt");
    EXPECT_EQ(f.DataFile("history.db"), f.data + "/history.db");

    // The helper: in libexec when installed, beside the program in a build folder.
    EXPECT_EQ(HelperProgram(bin, "vmx-xls-read"), libexec + "/vmx-xls-read");
    Write(bin + "/vmx-xls-read", "");
    EXPECT_EQ(HelperProgram(bin, "vmx-xls-read"), bin + "/vmx-xls-read");

    // A plain writable folder is a program folder: nothing seeded, nothing looked up elsewhere.
    const Folders portable = DecideFolders(ReadFolderInputs(QString(), root.filePath("usr")));
    EXPECT_EQ(portable.mode, FolderMode::Program);
    EXPECT_TRUE(PrepareFolders(portable, error));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("usr/MONITOR.INI")));
}
