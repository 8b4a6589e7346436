// The parameter block, its checksum and its transfer through the boot loader against the
// simulated sensor of each block length.
#include "SensorRig.h"
#include "sensor/ParameterEditor.h"

#include "proto/Protocol.h"

using namespace vmx;
using namespace vmx::sensor;
using vmx::proto::cmd::Restart;
using vmx::sim::Unit;

namespace {
constexpr int kRow256 = 8; // 5028143, boot 0x1A00
constexpr int kRow64 = 5;  // 5020122, boot 0x0C00
constexpr int kRow32 = 34; // 6000120, boot 0x0C00
constexpr quint32 kPar = 0x0A00;

QString ProfileOf(int row)
{
    return QStringLiteral("stream=polled,key=%1").arg(app::kSensorTypes[row].Key);
}
} // namespace

TEST(ParameterBlock, ChecksumCoversBytesOneToLengthMinusOne)
{
    ParameterBlock b;
    for (int i = 1; i < 32; ++i)
        b[size_t(i)] = 0x01;
    EXPECT_EQ(GetParCheckSum(b.data(), 32), 0xE0);
    b[0] = 0x77;  // byte 0 is not covered
    b[32] = 0x00; // neither is byte L
    EXPECT_EQ(GetParCheckSum(b.data(), 32), 0xE0);
    b[31] = 0x02;
    EXPECT_EQ(GetParCheckSum(b.data(), 32), 0xDF);
    // A length beyond the block is cut to it.
    EXPECT_EQ(GetParCheckSum(b.data(), 1000), GetParCheckSum(b.data(), 256));
}

TEST(ParameterBlock, StandardSetLayout)
{
    const ParameterBlock s = StandardParameterBlock();
    EXPECT_EQ(s[0], 0xCF);
    EXPECT_EQ(s.ADCZeroUpLimit(), 1000);
    EXPECT_EQ(s[6], 0xE8); // words low byte first
    EXPECT_EQ(s[7], 0x03);
    EXPECT_EQ(s.AmplIncrement(), 0xFFFF);
    EXPECT_TRUE(s.BubbleAvgOn());
    EXPECT_EQ(s.BubbleAvgIndex(), 3);
    EXPECT_EQ(s.GainTestCell(4, 5), 170);
    EXPECT_EQ(s.GainTestCell(1, 0), 245);
    EXPECT_TRUE(s.SecurityItem(1) && s.SecurityItem(2) && s.SecurityItem(4));
    EXPECT_FALSE(s.SecurityItem(0) || s.SecurityItem(3) || s.SecurityItem(5) || s.SecurityItem(6));
    // Bubble table entries 0..7 and the two fixed rows.
    EXPECT_EQ(s.BubbleSize(3), 36);
    EXPECT_EQ(s.BubbleValue(3), 180);
    EXPECT_EQ(s.BubblePercent(3), 75);
    EXPECT_EQ(s.BubbleOut(3), 1);
    EXPECT_EQ(s.BubbleSize(7), 48);
    EXPECT_EQ(s.BubbleValue(4), 240);
    EXPECT_EQ(s.BubbleOut(4), 18);
    EXPECT_EQ(s.BubbleValue(9), 241);
    EXPECT_EQ(s.BubbleOut(8), 2);
    EXPECT_TRUE(s.BubbleTableValid());
    EXPECT_EQ(s.ExtResetTime(), 0xFF);
    EXPECT_EQ(s[113], 0xFF);
    EXPECT_EQ(s[255], 0xFF);
    EXPECT_EQ(s.word, 0xFFFF);
    // The stored checksum is the set's own; the sensor lengths each need another.
    EXPECT_EQ(s.ComputeCheckSum(256), 0x45);
    EXPECT_EQ(s.ComputeCheckSum(64), 0x0F);
    EXPECT_EQ(s.ComputeCheckSum(32), 0xED);
}

TEST(ParameterBlock, BitFieldsKeepTheirNeighbours)
{
    ParameterBlock b;
    b.SetByte(Par::StartCfg, 0x08);
    b.SetStartMode(5);
    EXPECT_EQ(b[Par::StartCfg], 0x58);
    b.ToggleBit(Par::ErrorOutCfg, 4);
    EXPECT_EQ(b[Par::ErrorOutCfg], 0xEF);
    b.SetSecurity(0x16);
    EXPECT_EQ(b[Par::SecurityInv], 0xE9);
    ParameterBlock c = b;
    EXPECT_EQ(b, c);
    c[200] = 0; // beyond every length, still compared
    EXPECT_NE(b, c);
}

// --- round trip per length ---------------------------------------------------------------------

class ParameterRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(ParameterRoundTrip, StandardWriteReadVerifyAndTheFileReimports)
{
    const int row = GetParam();
    SensorRig r(row, ProfileOf(row));
    const int len = int(app::kSensorTypes[row].ParLen);
    // What the sensor held before: a valid factory block.
    r.Pause();
    ASSERT_TRUE(r.transfer->Read()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(275) + r.Msg(250));
    EXPECT_EQ(r.blocks.edit.word, sim::Sensor::kFactoryExtraWord);
    EXPECT_EQ(r.blocks.edit[1], r.flash()[kPar + 1]);

    r.transfer->SetStandard();
    r.blocks.edit.word = 0x1234;
    r.Pause();
    ASSERT_TRUE(r.transfer->Write()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(279) + r.Msg(250));
    // The checksum was recomputed for this length, over the standard block as the pages hold it
    // (every refresh normalises the edit block).
    ParameterBlock standard = StandardParameterBlock();
    NormaliseEditBlock(standard, r.st().Flags, len);
    const quint8 expected = standard.ComputeCheckSum(len);
    EXPECT_EQ(r.blocks.edit[0], expected);
    EXPECT_EQ(r.flash()[kPar], expected);
    for (int i = 1; i < len; ++i)
        ASSERT_EQ(r.flash()[kPar + quint32(i)], r.blocks.edit[size_t(i)]) << i;
    for (int i = len; i < 510; ++i)
        ASSERT_EQ(r.flash()[kPar + quint32(i)], 0xFF) << i;
    EXPECT_EQ(r.flash()[kPar + 510], 0x34);
    EXPECT_EQ(r.flash()[kPar + 511], 0x12);
    EXPECT_FALSE(r.sensor().InBootLoader());

    r.Pause();
    ASSERT_TRUE(r.transfer->Verify()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(281) + r.Msg(250));
    EXPECT_EQ(r.blocks.read, r.blocks.edit);

    // A file the program wrote brings back the same block.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("par.hex"));
    ASSERT_TRUE(r.file->Save(path));
    const ParameterBlock written = r.blocks.edit;
    r.blocks.edit.Clear();
    ASSERT_TRUE(r.file->Open(path)) << r.Last().toStdString();
    EXPECT_EQ(r.blocks.edit, written);
    EXPECT_TRUE(r.env.host.questions.empty());
    // ... and it verifies against the sensor.
    r.Pause();
    EXPECT_TRUE(r.transfer->VerifyParameter());
}

INSTANTIATE_TEST_SUITE_P(Lengths, ParameterRoundTrip, ::testing::Values(kRow256, kRow64, kRow32));

// A factory-fresh simulated sensor holds the standard set, so a read shows plausible values
// (bubble factor 5, zero limits 700..1000) with a checksum valid for the type's length.
class FactoryParameterPage : public ::testing::TestWithParam<int> {};

TEST_P(FactoryParameterPage, HoldsTheStandardSetWithItsChecksum)
{
    const int row = GetParam();
    const int len = int(app::kSensorTypes[row].ParLen);
    const ParameterBlock standard = StandardParameterBlock();
    const auto page = sim::Sensor::StandardParameterPage();
    for (int i = 1; i < 256; ++i)
        ASSERT_EQ(page[size_t(i)], standard[size_t(i)]) << i;
    EXPECT_EQ(page[0], standard[0]);

    SensorRig r(row, ProfileOf(row));
    EXPECT_EQ(r.flash()[kPar], standard.ComputeCheckSum(len));
    for (int i = len; i < 510; ++i)
        ASSERT_EQ(r.flash()[kPar + quint32(i)], 0xFF) << i;
    r.Pause();
    ASSERT_TRUE(r.transfer->Read()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(275) + r.Msg(250));
    EXPECT_TRUE(r.blocks.read.CheckSumValid(len));
    EXPECT_EQ(r.blocks.read.BubbleFactor(), 5);
    EXPECT_EQ(r.blocks.read.SendPulse(), 0x20);
    EXPECT_EQ(r.blocks.read.ADCZeroUpLimit(), 1000);
    EXPECT_EQ(r.blocks.read.ADCZeroDnLimit(), 700);
    if (len >= 64) {
        EXPECT_EQ(r.blocks.read.Security(), 0x16);
    }
    if (len == 256) {
        EXPECT_EQ(r.blocks.read.ServiceModeTime(), 146);
        EXPECT_EQ(r.blocks.read.BubbleValue(9), 241);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, FactoryParameterPage, ::testing::Values(kRow256, kRow64, kRow32));

TEST(ParameterTransfer, Length64ErasesTheWholePage)
{
    SensorRig r(kRow64, ProfileOf(kRow64));
    // Bits cleared beyond the block, as an older firmware might have left them.
    for (quint32 i = 64; i < 510; ++i)
        r.flash()[kPar + i] = 0x00;
    r.transfer->SetStandard();
    r.Pause();
    ASSERT_TRUE(r.transfer->WriteParameters()) << r.Last().toStdString();
    for (quint32 i = 64; i < 510; ++i)
        ASSERT_EQ(r.flash()[kPar + i], 0xFF) << i;
    EXPECT_GE(r.sensor().bootLoader().pageErases, 1);
    // And read back through the loader, too.
    r.Pause();
    ASSERT_TRUE(r.transfer->StartReadWrite());
    ASSERT_TRUE(r.boot->ReadMemory(1, kPar + 64, QStringLiteral("r: "), boot::KindCode, kPar + 509));
    for (quint32 i = 64; i < 510; ++i)
        ASSERT_EQ(r.images.Image(boot::KindCode)[kPar + i], 0xFF) << i;
}

TEST(ParameterTransfer, VerifyComparesAllBytesAndTheWord)
{
    SensorRig r(kRow64, ProfileOf(kRow64));
    r.transfer->SetStandard();
    r.Pause();
    ASSERT_TRUE(r.transfer->WriteParameters());
    r.Pause();
    ASSERT_TRUE(r.transfer->VerifyParameter());
    r.blocks.edit[200] = 0x00; // beyond L = 64: not on the sensor, still compared
    r.Pause();
    EXPECT_FALSE(r.transfer->Verify());
    EXPECT_EQ(r.Last(), r.Msg(281) + r.Msg(280) +
                            QStringLiteral(": erstes ungleiches Byte 200 (unused): Sensor $FF, Editor $00"));
    r.blocks.edit[200] = r.blocks.read[200];
    r.Pause();
    EXPECT_TRUE(r.transfer->VerifyParameter());
    r.blocks.edit.word ^= 1;
    r.Pause();
    EXPECT_FALSE(r.transfer->VerifyParameter());
    EXPECT_TRUE(r.transfer->verifyMismatch().startsWith(
        QStringLiteral("erstes ungleiches Byte 510 (ECRC): Sensor $")));
    EXPECT_GE(r.commits, 3); // each verify commits the pending edit first
}

TEST(ParameterTransfer, WrongChecksumOnReadLeavesTheEditBlock)
{
    SensorRig r(kRow256, ProfileOf(kRow256));
    r.flash()[kPar + 5] &= 0x0F; // one bit less: the checksum no longer fits
    const ParameterBlock before = r.blocks.edit;
    r.Pause();
    EXPECT_FALSE(r.transfer->Read());
    EXPECT_TRUE(r.Logged(r.Msg(273) + r.Msg(274)));
    EXPECT_EQ(r.Last(), r.Msg(275) + r.Msg(280));
    EXPECT_EQ(r.blocks.edit, before);
}

TEST(ParameterTransfer, BootAddress3072OnAType6656AsksWith329AndRestarts)
{
    // The catalogue row says 0x1A00; the sensor's loader sits at 0x0C00 (a V1.2x sensor).
    SensorRig r(kRow256, QStringLiteral("stream=polled,key=5020122"));
    r.Pause();
    EXPECT_FALSE(r.transfer->StartReadWrite());
    ASSERT_EQ(r.env.host.questions.size(), 1u);
    EXPECT_EQ(r.env.host.questions[0].Text, r.Msg(329));
    EXPECT_EQ(r.In(Restart, Unit::BootLoader), 1);
    r.env.clock.SleepMs(300);
    r.link->Purge_In();
    EXPECT_FALSE(r.sensor().InBootLoader());
    // Nothing was read or written.
    EXPECT_EQ(r.sensor().bootLoader().blockReads, 0);
}

TEST(ParameterTransfer, AnyOtherBootAddressAsksWith327)
{
    SensorRig r(kRow256, ProfileOf(kRow256));
    r.sensor().profile().bootAddr = 0x0400;
    r.Pause();
    EXPECT_FALSE(r.transfer->ReadParameters());
    ASSERT_EQ(r.env.host.questions.size(), 1u);
    EXPECT_EQ(r.env.host.questions[0].Text, r.Msg(327));
    EXPECT_EQ(r.In(Restart, Unit::BootLoader), 1);
}

TEST(ParameterTransfer, SilentSensorFailsAfterOneAttemptWithARestart)
{
    SensorRig r(kRow256, ProfileOf(kRow256));
    r.sensor().faults.mute = true;
    r.Pause();
    EXPECT_FALSE(r.transfer->Write());
    EXPECT_EQ(r.Last(), r.Msg(279) + r.Msg(280));
    EXPECT_EQ(r.refreshes, 1); // refreshed whatever the result
    EXPECT_EQ(r.In(proto::cmd::ErasePage, Unit::BootLoader), 0);
}

TEST(ParameterTransfer, QVR0530EntersThroughTheServiceMode)
{
    SensorRig r(9, QStringLiteral("stream=polled,key=5030200"));
    r.transfer->SetStandard();
    r.Pause();
    ASSERT_TRUE(r.transfer->WriteParameters()) << r.Last().toStdString();
    EXPECT_GE(r.In(proto::cmd::SetSerialMode2, Unit::Sensor), 1);
    r.Pause();
    ASSERT_TRUE(r.transfer->VerifyParameter()) << r.Last().toStdString();
}

TEST(ParameterTransfer, TypeWithoutBlockFailsWithoutTraffic)
{
    SensorRig r(33, QStringLiteral("stream=polled,key=6000110"));
    const size_t before = r.TraceSize();
    r.Pause();
    EXPECT_FALSE(r.transfer->Read());
    EXPECT_EQ(r.TraceSize(), before);
}
