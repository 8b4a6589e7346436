// The parameter file: what an export writes, and how an import reads headers and records.
#include "sensor/ParameterFile.h"
#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "boot/BootLoader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vmx;
using namespace vmx::sensor;

namespace {

constexpr int kRow143 = 8;  // 20 / 5 / 28 / 143, no calibration block
constexpr int kRowCal = 10; // 5030201, calibration block at 144

struct FileRig {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    ParameterBlocks blocks;
    struct Hooks final : ParameterFile::Hooks {
        int refreshed = 0;
        void RefreshPages() override { ++refreshed; }
    } hooks;
    ParameterFile file{session, blocks, hooks};

    explicit FileRig(int row = kRow143)
    {
        session.CopyValidSensorType(row);
        blocks.SetStandardValues();
        blocks.CopyStandardToEdit();
        host.defaultAnswer = app::AskResult::Yes;
    }
    QString Msg(int m) const { return session.Msg(m); }
    // Question 283 (the file is of another type) as the host was asked it.
    int Asked() const
    {
        return int(std::count_if(host.questions.begin(), host.questions.end(),
                                 [&](const auto& q) { return q.Text == Msg(283); }));
    }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
    QString Write(const QString& name, const QString& text)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toLatin1());
        return path;
    }
};

const QString kHeader =
    QStringLiteral("[PARAMETER]\r\n[IDENTCODE=20]\r\n[TYPE=05]\r\n[SUBTYPE=28]\r\n[FIRMWARE=143]\r\n");

} // namespace

TEST(ParameterFile, DataRecordIsIntelHexInLowerCase)
{
    quint8 d[16];
    for (int i = 0; i < 16; ++i)
        d[i] = quint8(0xA0 + i);
    // 10 + 0A + 00 + 00 + A0..AF = 0x1A + 0xA78 -> 0x92, two's complement 0x6E
    EXPECT_EQ(ParameterFile::DataRecord(0x0A00, d),
              QStringLiteral(":100a0000a0a1a2a3a4a5a6a7a8a9aaabacadaeaf6e"));
}

TEST(ParameterFile, ExportHasHeaderPageRecordsAndEnd)
{
    FileRig r;
    r.blocks.edit.word = 0xBEEF;
    const QStringList l = r.file.ExportLines();
    ASSERT_EQ(l.size(), 6 + 32 + 1);
    EXPECT_EQ(l.mid(0, 6), (QStringList{"[PARAMETER]", "[IDENTCODE=20]", "[TYPE=05]", "[SUBTYPE=28]",
                                        "[FIRMWARE=143]", "[CODE]"}));
    EXPECT_TRUE(l[6].startsWith(QLatin1String(":100a0000cf200c18131")));
    EXPECT_TRUE(l[37].startsWith(QLatin1String(":100bf000")));           // the page's last line
    EXPECT_TRUE(l[37].endsWith(QLatin1String("efbe") + l[37].right(2))); // the extra word, low byte first
    EXPECT_EQ(l.last(), QStringLiteral(":00000001FF"));
    for (const QString& s : l)
        EXPECT_EQ(s, s.startsWith(QLatin1Char(':')) && s != l.last() ? s.toLower() : s);
}

TEST(ParameterFile, CalibrationRecordOnlyWithOptionAndBlock)
{
    FileRig r(kRowCal);
    r.session.sensor.Cal[0] = 25;
    EXPECT_EQ(r.file.ExportLines().size(), 39);
    r.file.withCalibration = true;
    const QStringList l = r.file.ExportLines();
    ASSERT_EQ(l.size(), 40);
    EXPECT_TRUE(l[6].startsWith(QLatin1String(":1000900019ff"))) << l[6].toStdString(); // line 0x90 = 144
    FileRig none(kRow143);
    none.file.withCalibration = true; // the type has no block
    EXPECT_EQ(none.file.ExportLines().size(), 39);
}

TEST(ParameterFile, ExportedFileUsesCrLfAndReimports)
{
    FileRig r(kRowCal);
    r.file.withCalibration = true;
    r.session.sensor.Cal = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x11};
    r.blocks.edit[100] = 0x42;
    const QString path = r.dir.filePath(QStringLiteral("p.hex"));
    ASSERT_TRUE(r.file.Save(path));
    EXPECT_EQ(r.Last(), r.Msg(296) + r.Msg(250));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("[PARAMETER]\r\n[IDENTCODE=20]\r\n"));
    EXPECT_TRUE(bytes.endsWith(":00000001FF\r\n"));
    const ParameterBlock saved = r.blocks.edit;
    const auto cal = r.session.sensor.Cal;
    r.blocks.edit.Clear();
    r.session.sensor.Cal.fill(0xFF);
    ASSERT_TRUE(r.file.Open(path));
    EXPECT_EQ(r.blocks.edit, saved);
    EXPECT_EQ(r.session.sensor.Cal, cal);
    EXPECT_EQ(r.Asked(), 0);
}

TEST(ParameterFile, CalibrationOptionOffLeavesTheBlock)
{
    FileRig r(kRowCal);
    r.file.withCalibration = true;
    r.session.sensor.Cal[0] = 33;
    const QString path = r.dir.filePath(QStringLiteral("c.hex"));
    ASSERT_TRUE(r.file.ExportHexParameter(path));
    r.session.sensor.Cal.fill(0xFF);
    r.file.withCalibration = false;
    ASSERT_TRUE(r.file.Open(path));
    EXPECT_EQ(r.file.image()[144], 33); // in the image all the same
    EXPECT_EQ(r.session.sensor.Cal[0], 0xFF);
}

TEST(ParameterFile, RecordBeforeCodeIsRefusedAbove0)
{
    FileRig r;
    const ParameterBlock before = r.blocks.edit;
    const QString path = r.Write(QStringLiteral("a.hex"),
                                 kHeader + QStringLiteral(":020a0000aabb8f\r\n[CODE]\r\n:00000001FF\r\n"));
    EXPECT_FALSE(r.file.Open(path));
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(297) + lang::FormatMsg(r.Msg(299), 0x0A01)));
    EXPECT_EQ(r.blocks.edit, before);
    // Address 0 itself is still allowed before the gate.
    EXPECT_TRUE(r.file.ImportHexParameterData(
        (kHeader + QStringLiteral(":01000000aa55\r\n[CODE]\r\n")).split(QStringLiteral("\r\n"))));
    EXPECT_EQ(r.file.image()[0], 0xAA);
}

TEST(ParameterFile, NoHeaderFailsWith298)
{
    FileRig r;
    const QString path =
        r.Write(QStringLiteral("n.hex"), QStringLiteral(":100a0000000102030405060708090a0b0c0d0e0f6e\r\n"));
    EXPECT_FALSE(r.file.ImportHexParameter(path));
    EXPECT_EQ(r.Last(), r.Msg(297) + r.Msg(298));
}

TEST(ParameterFile, OtherSubtypeImportsAfterYesOnly)
{
    FileRig r;
    QString text = kHeader;
    text.replace(QStringLiteral("[SUBTYPE=28]"), QStringLiteral("[SUBTYPE=63]"));
    text += QStringLiteral("[CODE]\r\n:100a00001112131415161718191a1b1c1d1e1f205e\r\n:00000001FF\r\n");
    const QString path = r.Write(QStringLiteral("o.hex"), text);
    r.host.defaultAnswer = app::AskResult::No;
    const ParameterBlock before = r.blocks.edit;
    EXPECT_FALSE(r.file.Open(path));
    EXPECT_EQ(r.Asked(), 1);
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(297) +
                                          QStringLiteral("Inkompatibel: Typ 05, Subtyp 63, Firmware V1.43")));
    EXPECT_EQ(r.blocks.edit, before);
    r.host.defaultAnswer = app::AskResult::Yes;
    ASSERT_TRUE(r.file.Open(path));
    EXPECT_EQ(r.Asked(), 2);
    EXPECT_EQ(r.blocks.edit[0], 0x11);
    EXPECT_EQ(r.blocks.edit[15], 0x20);
}

TEST(ParameterFile, PartialPageLeavesTheRest0xFF)
{
    FileRig r;
    const QString path =
        r.Write(QStringLiteral("p.hex"),
                kHeader + QStringLiteral("[CODE]\r\n:040a1000deadbeefaa\r\n:00000001FF\r\n"));
    ASSERT_TRUE(r.file.Open(path));
    for (int i = 0; i < 256; ++i) {
        const quint8 want = i == 16 ? 0xDE : i == 17 ? 0xAD : i == 18 ? 0xBE : i == 19 ? 0xEF : 0xFF;
        ASSERT_EQ(r.blocks.edit[size_t(i)], want) << i;
    }
    EXPECT_EQ(r.blocks.edit.word, 0xFFFF);
}

TEST(ParameterFile, AByteAt65536IsRefusedNotStored)
{
    FileRig r;
    // Two bytes at 0xFFFF: the second would lie past the 64 KiB image.
    const QString path = r.Write(QStringLiteral("h.hex"),
                                 kHeader + QStringLiteral("[CODE]\r\n:02ffff00a1b2ad\r\n:00000001FF\r\n"));
    EXPECT_FALSE(r.file.ImportHexParameter(path));
    EXPECT_EQ(r.Last(), r.Msg(297) + lang::FormatMsg(r.Msg(299), 0x10000));
    EXPECT_TRUE(r.Last().endsWith(QLatin1String("10000")));
    // A single byte at 0xFFFF is fine.
    const QString ok =
        r.Write(QStringLiteral("i.hex"), kHeader + QStringLiteral("[CODE]\r\n:01ffff00a160\r\n"));
    EXPECT_TRUE(r.file.ImportHexParameter(ok));
    EXPECT_EQ(r.file.image()[0xFFFF], 0xA1);
}

TEST(ParameterFile, ShortOrGarbledRecordIsAFormatError)
{
    FileRig r;
    // The count says 16 bytes, the line holds 2.
    EXPECT_FALSE(r.file.ImportHexParameterData(
        (kHeader + QStringLiteral("[CODE]\r\n:100a0000aabb\r\n")).split(QStringLiteral("\r\n"))));
    EXPECT_TRUE(r.Last().startsWith(r.Msg(297) + r.Msg(298)));
    EXPECT_FALSE(r.file.ImportHexParameterData(
        (kHeader + QStringLiteral("[CODE]\r\n:010a0000zz00\r\n")).split(QStringLiteral("\r\n"))));
    EXPECT_TRUE(r.Last().startsWith(r.Msg(297) + r.Msg(298)));
}

TEST(ParameterFile, MissingFileAndStartUpFile)
{
    FileRig r;
    const ParameterBlock before = r.blocks.edit;
    EXPECT_FALSE(r.file.Open(r.dir.filePath(QStringLiteral("none.hex"))));
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(297) + r.Msg(291) + QStringLiteral("none.hex")));
    EXPECT_EQ(r.blocks.edit, before);
    // Start: a missing PARFILE keeps the built-in set.
    EXPECT_FALSE(r.file.LoadStandardParameters(r.dir.filePath(QStringLiteral("none.hex"))));
    EXPECT_EQ(r.Last(), r.Msg(117));
    EXPECT_EQ(r.blocks.standard, StandardParameterBlock());
    EXPECT_EQ(r.blocks.edit, StandardParameterBlock());
    // A good one becomes the standard set and the edit block.
    const QString path = r.Write(QStringLiteral("s.hex"),
                                 kHeader + QStringLiteral("[CODE]\r\n:020bfe003412af\r\n:010a0000aa4b\r\n"));
    EXPECT_TRUE(r.file.LoadStandardParameters(path));
    EXPECT_EQ(r.Last(), r.Msg(297) + r.Msg(250));
    EXPECT_EQ(r.blocks.standard.word, 0x1234);
    EXPECT_EQ(r.blocks.standard[0], 0xAA);
    EXPECT_EQ(r.blocks.standard[1], 0xFF);
    EXPECT_EQ(r.blocks.edit, r.blocks.standard);
}

TEST(ParameterFile, SignedBlankOrPrefixedFieldsAreFormatErrorsNotAddresses)
{
    // "-1" read as a signed number was a negative address that passed the "too high" test and
    // was written before the image. Each of these fields holds something other than hex digits.
    const char* records[] = {
        ":10-1000000112233445566778899aabbccddeeff00", // address "-100"
        ":10ff-100aa",                                 // address "ff-1"
        ":01-0010000aa00",                             // address "-001"
        ":-1000000aa00",                               // count "-1"
        ":01 00a00aa00",                               // a blank in the address
        ":010x0a00aa00",                               // a prefix in the address
        ":01+0a000aa00",                               // a sign in the address
        ":010a0000-100",                               // a signed data byte
        ":010a0000 a00",                               // a blank in a data byte
    };
    for (const char* rec : records) {
        FileRig r;
        const ParameterBlock before = r.blocks.edit;
        const QString path =
            r.Write(QStringLiteral("s.hex"), kHeader + QStringLiteral("[CODE]\r\n") +
                                                 QString::fromLatin1(rec) + QStringLiteral("\r\n"));
        EXPECT_FALSE(r.file.Open(path)) << rec;
        EXPECT_TRUE(r.Last().startsWith(r.Msg(297) + r.Msg(298))) << rec;
        EXPECT_EQ(r.blocks.edit, before) << rec;
    }
}

// The records of a parameter file go through the firmware files' reader: a damaged checksum
// or a record type other than data and end is refused with its line, and nothing is taken.
TEST(ParameterFile, BadChecksumOrRecordTypeIsRefusedWithItsLine)
{
    struct Case {
        const char* record; // line 7, after the five header lines and "[CODE]"
        int message;
        const char* place;
    };
    const Case cases[] = {
        {":010a0000aa4c", 274, ": p.hex:7"},
        {":020000040000fa", 298, ": p.hex:7 (04)"},
        {":04000005000000cd2a", 298, ": p.hex:7 (05)"},
    };
    for (const Case& c : cases) {
        FileRig r;
        const ParameterBlock before = r.blocks.edit;
        const QString path = r.Write(QStringLiteral("p.hex"), kHeader + QStringLiteral("[CODE]\r\n") +
                                                                  QString::fromLatin1(c.record) +
                                                                  QStringLiteral("\r\n:010a0000aa4b\r\n"));
        EXPECT_FALSE(r.file.Open(path)) << c.record;
        EXPECT_EQ(r.Last(), r.Msg(297) + r.Msg(c.message) + QLatin1String(c.place)) << c.record;
        EXPECT_EQ(r.blocks.edit, before) << c.record;
    }
}

TEST(ParameterFile, HeaderNumbersAreWholeDecimalsOnly)
{
    FileRig r;
    ASSERT_TRUE(r.file.ImportHexParameterData(
        (kHeader + QStringLiteral("[CODE]\r\n")).split(QStringLiteral("\r\n"))));
    EXPECT_EQ(r.file.fileFirmware, 143);
    r.host.defaultAnswer = app::AskResult::No;
    for (const char* bad :
         {"[FIRMWARE= 143]", "[FIRMWARE=0x8F]", "[FIRMWARE=99999999999]", "[FIRMWARE=1 43]"}) {
        QString text = kHeader;
        text.replace(QStringLiteral("[FIRMWARE=143]"), QString::fromLatin1(bad));
        EXPECT_FALSE(r.file.ImportHexParameterData(
            (text + QStringLiteral("[CODE]\r\n")).split(QStringLiteral("\r\n"))))
            << bad;
        EXPECT_EQ(r.file.fileFirmware, -1) << bad;
    }
}

TEST(ParameterFile, NotARegularFileIsRefusedAtOnce)
{
    FileRig r;
    EXPECT_FALSE(r.file.Open(QStringLiteral("/dev/zero")));
    EXPECT_EQ(r.Last(), r.Msg(297) + r.Msg(292) + QStringLiteral("zero"));
    EXPECT_FALSE(r.file.Open(r.dir.path()));
    EXPECT_TRUE(r.Last().startsWith(r.Msg(297) + r.Msg(292)));
}
