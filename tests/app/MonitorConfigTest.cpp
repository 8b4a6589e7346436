#include "app/MonitorConfig.h"
#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/InputFile.h"
#include "app/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vmx::app;

namespace {

MonitorConfig Apply(const QStringList& lines)
{
    MonitorConfig cfg;
    ApplyConfigLines(lines, QStringLiteral("/prog"), cfg);
    return cfg;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(MonitorConfig, DefaultsWithoutKeys)
{
    const MonitorConfig c = Apply({});
    EXPECT_EQ(c.Language, 0);
    EXPECT_FALSE(c.Service);
    EXPECT_FALSE(c.Manufacturer);
    EXPECT_EQ(c.RefreshDia, 10);
    EXPECT_EQ(c.Overflow, DataOverflow::Stop);
    EXPECT_FALSE(c.MessageWindow);
    EXPECT_FALSE(c.Beeper);
    EXPECT_TRUE(c.WithAck);
    EXPECT_TRUE(c.WithAnswer);
    EXPECT_FALSE(c.WithFrameCrc);
    EXPECT_FALSE(c.PowerAuto);
    EXPECT_TRUE(c.ParFile.isEmpty());
    EXPECT_TRUE(c.TempFile.isEmpty());
    EXPECT_EQ(c.ShowVersion.Type, -1);
}

TEST(MonitorConfig, SectionsCountOnlyAtColumnOne)
{
    // Keys before any header are ignored; a header with a blank before it is no header, so
    // the lines after it are read in the previous section's state.
    MonitorConfig c =
        Apply({"TYPE=5", "[DEVICE]", "TYPE=6", " [SETTINGS]", "LANGUAGE=ENGLISH", "SUBTYPE=11"});
    EXPECT_EQ(c.Type, 6);
    EXPECT_EQ(c.SubType, 11);
    EXPECT_EQ(c.Language, 0);

    c = Apply({"[SETTINGS]", "LANGUAGE=ENGLISH", "[COMMENTS]", "LANGUAGE=GERMAN", "BEEPER=ON"});
    EXPECT_EQ(c.Language, 1);
    EXPECT_FALSE(c.Beeper);

    // Keys are case-sensitive and must stand at column 1.
    c = Apply({"[SETTINGS]", "language=ENGLISH", " LANGUAGE=ENGLISH", "[DEVICE]", "type=5", " TYPE=5"});
    EXPECT_EQ(c.Language, 0);
    EXPECT_EQ(c.Type, 0);
}

TEST(MonitorConfig, DeviceKeysAndTheKeyValueRule)
{
    MonitorConfig c = Apply(
        {"[DEVICE]", "IDENTCODE=20", "TYPE=5]", "SUBTYPE=028", "FIRMWARE=143", "PARFILE=par\\QVR0528.hex"});
    EXPECT_EQ(c.IdentCode, 20);
    EXPECT_EQ(c.Type, 5); // the first "]" is removed
    EXPECT_EQ(c.SubType, 28);
    EXPECT_EQ(c.Firmware, 143);
    EXPECT_EQ(c.ParFile, QStringLiteral("/prog/par\\QVR0528.hex"));

    // Not a number: -1; a key given twice takes its last value; trailing blanks are not trimmed.
    c = Apply({"[DEVICE]", "TYPE=five", "SUBTYPE=12", "SUBTYPE=-1", "FIRMWARE=143 ", "IDENTCODE="});
    EXPECT_EQ(c.Type, -1);
    EXPECT_EQ(c.SubType, -1);
    EXPECT_EQ(c.Firmware, -1);
    EXPECT_EQ(c.IdentCode, -1);
}

TEST(MonitorConfig, SettingsContainmentTests)
{
    // Both words: English wins; both mode words set both flags; a MODE line with neither clears.
    MonitorConfig c = Apply({"[SETTINGS]", "LANGUAGE=ENGLISH,GERMAN", "MODE=SERVICE MANUFACTURER"});
    EXPECT_EQ(c.Language, 1);
    EXPECT_TRUE(c.Service);
    EXPECT_TRUE(c.Manufacturer);
    c = Apply({"[SETTINGS]", "MODE=SERVICE", "MODE=STANDARD"});
    EXPECT_FALSE(c.Service);
    EXPECT_FALSE(c.Manufacturer);

    // The containment tests look at the whole line, so "ON" inside another word counts, and
    // a key whose test fails still sets the item.
    c = Apply({"[SETTINGS]", "BEEPER=ON", "BEEPER=OFF"});
    EXPECT_FALSE(c.Beeper);
    c = Apply({"[SETTINGS]", "WITHACK=OFF", "WITHANSWER=NO", "WITHFRAMECRC=ON", "MESSAGEWINDOW=MONDAY",
               "POWERAUTO=ON"});
    EXPECT_FALSE(c.WithAck);
    EXPECT_FALSE(c.WithAnswer);
    EXPECT_TRUE(c.WithFrameCrc);
    EXPECT_TRUE(c.MessageWindow);
    EXPECT_TRUE(c.PowerAuto);

    // Overflow: the last match on the line wins.
    EXPECT_EQ(Apply({"[SETTINGS]", "DATAOVERFLOW=ROLLOVER"}).Overflow, DataOverflow::RollOver);
    EXPECT_EQ(Apply({"[SETTINGS]", "DATAOVERFLOW=STOP RESTART"}).Overflow, DataOverflow::Restart);
    EXPECT_EQ(Apply({"[SETTINGS]", "DATAOVERFLOW=ROLLOVER", "DATAOVERFLOW=NONE"}).Overflow,
              DataOverflow::RollOver);

    c = Apply({"[SETTINGS]", "TEMPFILE=temp.txt"});
    EXPECT_EQ(c.TempFile, QStringLiteral("/prog/temp.txt"));
}

TEST(MonitorConfig, RefreshTakesOnlyMenuTags)
{
    EXPECT_EQ(Apply({"[SETTINGS]", "REFRESHDIA=7"}).RefreshDia, 10);
    EXPECT_EQ(Apply({"[SETTINGS]", "REFRESHDIA=50"}).RefreshDia, 50);
    EXPECT_EQ(Apply({"[SETTINGS]", "REFRESHDIA=200]"}).RefreshDia, 200);
    EXPECT_EQ(Apply({"[SETTINGS]", "REFRESHDIA 5"}).RefreshDia, 10);
    EXPECT_EQ(Apply({"[SETTINGS]", "REFRESHDIA=-1"}).RefreshDia, 10);
}

TEST(MonitorConfig, ShowVersionFixedColumns)
{
    MonitorConfig c = Apply({"[SETTINGS]", "SHOWVERSION=05050***"});
    EXPECT_EQ(c.ShowVersion.Type, 5);
    EXPECT_EQ(c.ShowVersion.SubType, 50);
    EXPECT_EQ(c.ShowVersion.Firmware, -1);
    c = Apply({"[SETTINGS]", "SHOWVERSION"});
    EXPECT_EQ(c.ShowVersion.Type, -1);
    EXPECT_EQ(c.ShowVersion.SubType, -1);
    EXPECT_EQ(c.ShowVersion.Firmware, -1);
    c = Apply({"[SETTINGS]", "SHOWVERSION:xx***143"});
    EXPECT_EQ(c.ShowVersion.Type, -1);
    EXPECT_EQ(c.ShowVersion.SubType, -1);
    EXPECT_EQ(c.ShowVersion.Firmware, 143);
    c = Apply({"[SETTINGS]", "SHOWVERSION=06"}); // short line, padded with x
    EXPECT_EQ(c.ShowVersion.Type, 6);
    EXPECT_EQ(c.ShowVersion.SubType, -1);
}

TEST(MonitorConfig, ReadsFileWithCrLfAndReportsInPanelOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    VirtualClock clock;
    vmx::test::RecordingHost host(&clock);

    // Missing file: message 319, defaults stay.
    {
        Session s(host, clock, dir.path());
        EXPECT_FALSE(s.ReadConfigFromFile());
        EXPECT_EQ(host.panel[1], QStringLiteral("Fehler beim Lesen aus Konfigurationsdatei: MONITOR.INI"));
        EXPECT_EQ(s.RowForCurrentType(), 0);
    }

    WriteFile(dir.filePath("MONITOR.INI"),
              "[DEVICE]\r\nIDENTCODE=20\r\nTYPE=5\r\nSUBTYPE=28\r\nFIRMWARE=143\r\n[SETTINGS]\r\n"
              "LANGUAGE=ENGLISH\r\nMODE=MANUFACTURER\r\nBEEPER=ON\r\n");
    Session s(host, clock, dir.path());
    EXPECT_TRUE(s.ReadConfigFromFile());
    EXPECT_EQ(s.language(), 1);
    EXPECT_TRUE(s.mode.Manufacturer);
    EXPECT_FALSE(s.mode.Service);
    EXPECT_TRUE(s.config.Beeper);
    EXPECT_EQ(s.RowForCurrentType(), 8);
    // The result is reported in the language that was in force while reading.
    EXPECT_EQ(host.panel[1], QStringLiteral("Lese Konfiguration aus Datei: MONITOR.INI"));

    // Windows-1252 file name in PARFILE is read as such.
    WriteFile(dir.filePath("MONITOR.INI"), "[DEVICE]\nPARFILE=Pr\xfc"
                                           "f.hex\n");
    Session s2(host, clock, dir.path());
    EXPECT_TRUE(s2.ReadConfigFromFile());
    EXPECT_EQ(QFileInfo(s2.config.ParFile).fileName(), QStringLiteral("Pr\u00fcf.hex"));

    // A folder named MONITOR.INI cannot be read.
    QTemporaryDir dir2;
    QDir(dir2.path()).mkdir("MONITOR.INI");
    Session s3(host, clock, dir2.path());
    EXPECT_FALSE(s3.ReadConfigFromFile());

    // A FIFO would keep the start waiting for a writer: refused at once with message 319.
    QTemporaryDir dir3;
    ASSERT_EQ(mkfifo(QFile::encodeName(dir3.filePath("MONITOR.INI")).constData(), 0600), 0);
    Session s4(host, clock, dir3.path());
    EXPECT_FALSE(s4.ReadConfigFromFile());
    EXPECT_EQ(host.panel[1], QStringLiteral("Fehler beim Lesen aus Konfigurationsdatei: MONITOR.INI"));
}

TEST(MonitorConfig, LinesAreTakenAsTheyAreReadWhateverTheFileSize)
{
    // 20 MB of line ends around the keys: read line by line, never held as a list of lines.
    QTemporaryDir dir;
    QFile f(dir.filePath("MONITOR.INI"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[SETTINGS]\r\nBEEPER=ON\r\n");
    const QByteArray mb(1 << 20, '\n');
    for (int i = 0; i < 20; ++i)
        f.write(mb);
    f.write("REFRESHDIA=20\r\n");
    f.close();
    VirtualClock clock;
    vmx::test::RecordingHost host(&clock);
    Session s(host, clock, dir.path());
    EXPECT_TRUE(s.ReadConfigFromFile());
    EXPECT_TRUE(s.config.Beeper);
    EXPECT_EQ(s.config.RefreshDia, 20);
    // Above the cap the file is not read at all.
    ASSERT_TRUE(f.resize(kMaxTextInput + 1));
    Session big(host, clock, dir.path());
    EXPECT_FALSE(big.ReadConfigFromFile());
    EXPECT_FALSE(big.config.Beeper);
}

TEST(MonitorConfig, ListingHasEveryKey)
{
    MonitorConfig c = Apply({"[SETTINGS]", "DATAOVERFLOW=RESTART", "SHOWVERSION=05050143"});
    const QStringList l = ConfigListing(c, 0, 143);
    ASSERT_EQ(l.size(), 20);
    EXPECT_EQ(l[0], QStringLiteral("language=de"));
    EXPECT_EQ(l[7], QStringLiteral("row=0"));
    EXPECT_EQ(l[12], QStringLiteral("dataoverflow=restart"));
    EXPECT_EQ(l[19], QStringLiteral("showversion=5 50 143"));
}
