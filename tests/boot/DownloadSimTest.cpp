// The whole firmware download against the simulated sensor.
#include "BootSimRig.h"

#include "proto/Protocol.h"

#include <QFile>

using namespace vmx;
using namespace vmx::boot;
using namespace vmx::proto;

namespace {

// A firmware file covering the code and the boot sector, different from what the sensor holds.
QString MakeFirmware(BootSimRig& r, quint32 end = 0x1BFF)
{
    auto buf = r.images.Buffer();
    std::fill(buf.begin(), buf.end(), quint8(0xFF));
    for (quint32 i = 0; i <= end; ++i)
        buf[i] = quint8((i * 7) ^ (i >> 5));
    const QString file = r.dir.filePath(QStringLiteral("fw.hex"));
    EXPECT_TRUE(r.hex.ExportHexData(file, 0, end));
    std::fill(buf.begin(), buf.end(), quint8(0x00)); // the download must read the file itself
    r.download->hexFile = file;
    return file;
}

quint8 FirmwareByte(quint32 i)
{
    return quint8((i * 7) ^ (i >> 5));
}

} // namespace

TEST(Download, FlashEqualsTheImageBelowTheBootSector)
{
    BootSimRig r;
    MakeFirmware(r);
    r.target().flash().fill(0x00); // old firmware: everything programmed
    r.target().SetBootAddr(0x1A00);
    r.host.panel1Log.clear();
    ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(324));
    const auto& flash = r.target().flash();
    for (quint32 i = 0; i < 0x1A00; ++i)
        ASSERT_EQ(flash[i], FirmwareByte(i)) << i;
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(flash[size_t(0x1A00 + i)], sim::BootLoader::BootCodeByte(i));
    EXPECT_EQ(flash[0x1C00], 0x00);
    EXPECT_EQ(r.target().pageErases, 13);
    EXPECT_EQ(r.BootFrames(cmd::WriteCode).size(), 416u);
    // The verify, after the reads of what the erase takes: the identification block (one block
    // of 16) and the parameter page (32).
    EXPECT_EQ(r.BootFrames(cmd::ReadCode).size(), 416u + 1u + 32u);
    EXPECT_EQ(r.BootFrames(cmd::ErasePage).front().mid(4, 3), QByteArray::fromHex("001800"));
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(320)));
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(321)));
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(322)));
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(323)));
    r.link->Purge_In();
    r.clock.SleepMs(300);
    r.link->Purge_In();
    EXPECT_FALSE(r.sensor().InBootLoader()); // back in the application
    EXPECT_EQ(r.boot->mcuType, 330);
    EXPECT_EQ(r.boot->rangeEnd[KindCode], 0x19FFu);
}

TEST(Download, DeviceSilentMidWriteReportsTheStepAndTheNextRunSucceeds)
{
    BootSimRig r;
    MakeFirmware(r);
    int writes = 0;
    r.bench().trace().onEntry = [&](const sim::TraceEntry& e) {
        if (e.dir == sim::Dir::In && e.unit == sim::Unit::BootLoader && e.bytes.size() > 3 &&
            quint8(e.bytes[3]) == cmd::WriteCode && ++writes == 100)
            r.sensor().faults.mute = true;
    };
    EXPECT_FALSE(r.download->DownLoad());
    EXPECT_EQ(r.Last(), r.Msg(277) + r.Msg(255));
    EXPECT_FALSE(r.host.panel1Log.contains(r.Msg(322)));

    r.bench().trace().onEntry = nullptr;
    r.sensor().faults.mute = false;
    ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
    const auto& flash = r.target().flash();
    for (quint32 i = 0; i < 0x1A00; ++i)
        ASSERT_EQ(flash[i], FirmwareByte(i)) << i;
}

TEST(Download, FirstPingMayFail)
{
    BootSimRig r;
    const QString file = MakeFirmware(r);
    r.download->hexFile.clear();
    // The file is picked in step 4; the very next answer (the first ping's) is lost.
    r.pick = [&](bool) {
        r.download->hexFile = file;
        r.sensor().faults.dropAnswers = 1;
        return true;
    };
    ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
    EXPECT_TRUE(r.host.panel1Log.contains(r.Msg(260) + r.Msg(255)));
}

TEST(Download, TwoFailedPingsEndTheRun)
{
    BootSimRig r;
    const QString file = MakeFirmware(r);
    r.download->hexFile.clear();
    r.pick = [&](bool) {
        r.download->hexFile = file;
        r.sensor().faults.dropAnswers = 2;
        return true;
    };
    EXPECT_FALSE(r.download->DownLoad());
    EXPECT_EQ(r.Last(), r.Msg(260) + r.Msg(255));
    EXPECT_TRUE(r.BootFrames(cmd::ErasePage).empty());
}

TEST(Download, BootSectorAt0400EndsSilentlyAfterTheEntry)
{
    BootSimRig r;
    MakeFirmware(r);
    r.session.sensor.BootAddr = 0x0400;
    r.sensor().profile().bootAddr = 0x0400;
    r.sensor().profile().mcu = 334;
    EXPECT_FALSE(r.download->DownLoad());
    EXPECT_TRUE(r.Last().startsWith(r.Msg(300))); // the identification line is the last word
    EXPECT_TRUE(r.host.questions.empty());
    EXPECT_TRUE(r.BootFrames(cmd::ErasePage).empty());
}

TEST(Download, BootSectorOfAnotherTypeIsAMismatch)
{
    BootSimRig r;
    MakeFirmware(r);
    r.sensor().profile().bootAddr = 0x0C00;
    EXPECT_FALSE(r.download->DownLoad());
    ASSERT_EQ(r.host.questions.size(), 1u);
    EXPECT_EQ(r.host.questions[0].Text, r.Msg(329));
    EXPECT_EQ(r.BootFrames(cmd::Restart).size(), 1u);
    EXPECT_TRUE(r.BootFrames(cmd::ErasePage).empty());
}

TEST(Download, WithoutFileStepsTheImageIsWritten)
{
    BootSimRig r;
    r.download->hexImport = false;
    auto code = r.images.Image(KindCode);
    for (quint32 i = 0; i < 0x1A00; ++i)
        code[i] = quint8(i);
    ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0x1A00, r.target().flash().begin()));
}

// With automatic power on, the download enters the boot loader as the memory transfers do:
// the sensor is switched off and on again before "Start Boot"; without it, not at all.
TEST(Download, EntryPowerCyclesTheSensorBeforeStartBootWhenPowerIsAutomatic)
{
    const struct {
        bool automatic;
        const char* expected; // what the bench saw, in order, up to the first Start Boot
    } cases[] = {{true, "power off, power on, Start Boot"}, {false, "Start Boot"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        BootSimRig r(0, QStringLiteral("tk33,stream=polled"));
        r.link->ForceRTS(1); // the module's line to the sensor, as the program sets it at start
        r.station->SetPowerAutomatic(c.automatic);
        MakeFirmware(r);
        r.bench().trace().Clear();
        ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
        QStringList seen;
        for (const sim::TraceEntry& e : r.bench().trace().entries()) {
            if (e.dir != sim::Dir::In || !e.ok || e.bytes.size() < 4) continue;
            const quint8 command = quint8(e.bytes[3]);
            if (e.unit == sim::Unit::TestModule && command == cmd::TmPower && e.bytes.size() > 4)
                seen << (e.bytes[4] ? QStringLiteral("power on") : QStringLiteral("power off"));
            if (e.unit == sim::Unit::Sensor && command == cmd::StartBoot) {
                seen << QStringLiteral("Start Boot");
                break;
            }
        }
        EXPECT_EQ(seen.join(QStringLiteral(", ")).toStdString(), c.expected);
        EXPECT_TRUE(r.sensor().powered());
    }
}

TEST(Download, QVR0530Generation)
{
    BootSimRig r(9, QStringLiteral("key=5030200,stream=polled"));
    MakeFirmware(r);
    ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
    const auto& flash = r.target().flash();
    for (quint32 i = 0; i < 0x1A00; ++i)
        ASSERT_EQ(flash[i], FirmwareByte(i)) << i;
}

// Nothing to write, or records the import does not understand: refused before the erase, the
// application in flash stays as it was.
TEST(Download, ImageWithoutDataOrWithOtherRecordTypesIsRefusedBeforeTheErase)
{
    const QByteArray data16 = ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
    const struct {
        const char* name;
        QByteArray text;
        QString message;
    } cases[] = {
        {"empty.hex", ":00000001FF\r\n", QStringLiteral(": empty.hex, von 0000 bis 19FF")},
        {"blank.hex", "\r\n\r\n", QStringLiteral(": blank.hex, von 0000 bis 19FF")},
        {"boot.hex", ":101A0000000102030405060708090A0B0C0D0E0F5E\r\n:00000001FF\r\n",
         QStringLiteral(": boot.hex, von 0000 bis 19FF")},
        {"ext.hex", ":020000040000FA\r\n" + data16 + ":00000001FF\r\n", QStringLiteral(": ext.hex:1 (04)")},
        {"seg.hex", data16 + ":020000021000EC\r\n:00000001FF\r\n", QStringLiteral(": seg.hex:2 (02)")},
        {"start.hex", data16 + ":0400000300000000F9\r\n:00000001FF\r\n",
         QStringLiteral(": start.hex:2 (03)")},
    };
    for (const auto& c : cases) {
        BootSimRig r;
        MakeFirmware(r);
        const QString file = r.dir.filePath(QString::fromLatin1(c.name));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.text);
        f.close();
        r.download->hexFile = file;
        r.target().flash().fill(0x42);
        r.target().SetBootAddr(0x1A00);
        EXPECT_FALSE(r.download->DownLoad()) << c.name;
        EXPECT_EQ(r.Last(), r.Msg(316) + r.Msg(298) + c.message) << c.name;
        EXPECT_TRUE(r.BootFrames(cmd::ErasePage).empty()) << c.name;
        EXPECT_TRUE(r.BootFrames(cmd::WriteCode).empty()) << c.name;
        EXPECT_FALSE(r.host.panel1Log.contains(r.Msg(324))) << c.name;
        EXPECT_EQ(r.target().flash()[0x100], 0x42) << c.name;
    }
}
