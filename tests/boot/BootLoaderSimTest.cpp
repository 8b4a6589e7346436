// Boot-loader commands and block transfers against the simulated sensor.
#include "BootHooks.h"
#include "BootSimRig.h"
#include "LinkEvents.h"
#include "RecordingHost.h"

#include "lang/Format.h"
#include "proto/Protocol.h"
#include "sim/Profile.h"

using namespace vmx;
using namespace vmx::boot;
using namespace vmx::proto;

namespace {
QByteArray Hex(const char* s)
{
    return QByteArray::fromHex(s);
}
} // namespace

TEST(BootFrames, CompleteFramesOnTheWire)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    EXPECT_EQ(r.Last(), r.Msg(272) + r.Msg(250));
    const auto in = r.bench().trace().Of(sim::Dir::In, sim::Unit::Sensor);
    ASSERT_FALSE(in.empty());
    EXPECT_EQ(in.back().bytes, Hex("f100052208"));

    ASSERT_TRUE(r.boot->BootIdent());
    ASSERT_TRUE(r.boot->ReadMemory(1, 0x19F0, r.Msg(273), KindCode, 0x19FF));
    ASSERT_TRUE(r.boot->EraseMemory(1, 0x1800, r.Msg(276), KindCode, 0x19FF));
    const auto frames = r.BootFrames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], Hex("f100051526"));
    EXPECT_EQ(frames[1], Hex("f10009110019f01028"));
    EXPECT_EQ(frames[2], Hex("f10008140018002"
                             "4"));
}

TEST(BootFrames, TwoStepEntryAndNoAcknowledgements)
{
    BootSimRig r(9, QStringLiteral("key=5030200,stream=polled"));
    ASSERT_TRUE(r.boot->TwoStep());
    ASSERT_TRUE(r.Enter());
    EXPECT_EQ(r.Last(), r.Msg(385) + r.Msg(250));
    const auto in = r.bench().trace().Of(sim::Dir::In, sim::Unit::Sensor);
    ASSERT_GE(in.size(), 2u);
    EXPECT_EQ(in[in.size() - 2].bytes, Hex("f100052208"));
    EXPECT_EQ(in.back().bytes, Hex("f1000636a018"));

    // The loader does not acknowledge writes and erases, and none is waited for.
    auto code = r.images.Image(KindCode);
    for (int i = 0; i < 0x200; ++i)
        code[size_t(i)] = quint8(i * 3);
    ASSERT_TRUE(r.boot->EraseMemory(1, 0, r.Msg(276), KindCode, 0x1FF));
    ASSERT_TRUE(r.boot->WriteMemory(1, 0, r.Msg(277), KindCode, 0x1FF));
    EXPECT_TRUE(r.bench().trace().Of(sim::Dir::Out, sim::Unit::BootLoader).empty());
    ASSERT_TRUE(r.boot->VerifyMemory(1, 0, r.Msg(278), r.Msg(273), KindCode, 0x1FF));
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0x200, r.target().flash().begin()));
}

TEST(BootIdent, SetsMcuBootSectorAndCodeRange)
{
    BootSimRig r;
    r.boot->SelectMcu(334);
    ASSERT_TRUE(r.Enter());
    ASSERT_TRUE(r.boot->BootIdent());
    const auto& b = r.boot->identBytes;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(b.data()), 6), Hex("00031a00014a"));
    EXPECT_EQ(r.boot->mcuType, 330);
    EXPECT_EQ(r.boot->bootStart, 0x1A00u);
    EXPECT_EQ(r.boot->bootEnd, 0x1BFFu);
    EXPECT_EQ(r.boot->rangeEnd[KindCode], 0x19FFu);
    EXPECT_EQ(r.boot->bootVersion, 3);
    EXPECT_EQ(r.Last(),
              r.Msg(300) +
                  QStringLiteral("SW-Typ: 00 / Version: 03 / Boot-Adresse: 1A00 / MCU-Typ: 330 / Rest: "
                                 "06 07 08 09 0A 0B 0C 0D 0E 0F "));
}

TEST(BootIdent, McuButtonsSetSectorAndRange)
{
    BootSimRig r;
    r.boot->SelectMcu(332);
    EXPECT_EQ(r.boot->bootStart, 0x0C00u);
    EXPECT_EQ(r.boot->bootEnd, 0x0DFFu);
    EXPECT_EQ(r.boot->rangeEnd[KindCode], 0x0BFFu);
    r.boot->SelectMcu(334);
    EXPECT_EQ(r.boot->bootStart, 0x0400u);
    EXPECT_EQ(r.boot->rangeEnd[KindCode], 0x03FFu);
}

TEST(BootRead, WholeCodeRangeTopDownIn416Blocks)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    auto& flash = r.target().flash();
    for (int i = 0; i < 0x1A00; ++i)
        flash[size_t(i)] = quint8(i ^ (i >> 8));
    r.host.panel1Log.clear();
    ASSERT_TRUE(r.boot->ReadMemory(1, 0, r.Msg(273), KindCode, 0x19FF));
    const auto frames = r.BootFrames(cmd::ReadCode);
    ASSERT_EQ(frames.size(), 416u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(BootSimRig::Addr(frames[i]), quint32(0x19F0 - 16 * i));
        EXPECT_EQ(quint8(frames[i][7]), 16);
    }
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 0x1A00, r.images.Image(KindCode).begin()));
    // One progress line per 256 bytes, from 0x1900 down, then the completion line.
    ASSERT_EQ(r.host.panel1Log.size(), 27);
    EXPECT_EQ(r.host.panel1Log[0], r.Msg(273) + QStringLiteral("von 1900 bis 19FF, ..."));
    EXPECT_EQ(r.host.panel1Log[25], r.Msg(273) + QStringLiteral("von 0000 bis 00FF, ..."));
    EXPECT_EQ(r.Last(), r.Msg(273) + QStringLiteral("von 0000 bis 19FF, ") + r.Msg(250));
}

TEST(BootRead, ShortRangeIsTwoBlocks)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    ASSERT_TRUE(r.boot->ReadMemory(1, 0x5, r.Msg(273), KindCode, 0x14));
    const auto frames = r.BootFrames(cmd::ReadCode);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(BootSimRig::Addr(frames[0]), 0x10u);
    EXPECT_EQ(quint8(frames[0][7]), 5);
    EXPECT_EQ(BootSimRig::Addr(frames[1]), 0x5u);
    EXPECT_EQ(quint8(frames[1][7]), 11);
    EXPECT_EQ(r.host.panel1Log[r.host.panel1Log.size() - 3],
              r.Msg(273) + QStringLiteral("von 0010 bis 0014, ..."));
}

TEST(BootRead, EndBeforeStartIsRefused)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    EXPECT_FALSE(r.boot->ReadMemory(1, 0x20, r.Msg(273), KindCode, 0x1F));
    EXPECT_EQ(r.Last(), r.Msg(273) + r.Msg(305));
    EXPECT_TRUE(r.BootFrames(cmd::ReadCode).empty());
}

TEST(BootRead, AnswerAddressOutsideTheImageKeepsItIntact)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    r.target().xram().fill(0x5A);
    r.target().readAddressSkew = 0x10;
    auto xram = r.images.Image(KindXram);
    std::fill(xram.begin(), xram.end(), quint8(0x11));
    EXPECT_FALSE(r.boot->ReadMemory(1, 0x1F0, r.Msg(378), KindXram, 0x1FF));
    EXPECT_EQ(r.Last(), r.Msg(378) + r.Msg(256) + QStringLiteral(": 0200"));
    EXPECT_TRUE(std::all_of(xram.begin(), xram.end(), [](quint8 v) { return v == 0x11; }));
}

// An answer naming another block inside the image is as wrong as one outside it: nothing is
// stored, for every kind, and the failing block's address is told.
TEST(BootRead, AnswerForAnotherBlockIsAWrongAnswerForEveryKind)
{
    for (int kind : {int(KindCode), int(KindSram), int(KindEeprom), int(KindXram)}) {
        BootSimRig r;
        ASSERT_TRUE(r.Enter());
        r.target().readAddressSkew = -0x10;
        auto img = r.images.Image(kind);
        std::fill(img.begin(), img.end(), quint8(0x11));
        const quint32 top = kind == KindCode ? 0x19FF : KindLimit(kind);
        EXPECT_FALSE(r.boot->ReadMemory(1, 0, r.Msg(kMsgRead[size_t(kind)]), kind, top)) << kind;
        EXPECT_EQ(r.Last(), r.Msg(kMsgRead[size_t(kind)]) + r.Msg(256) +
                                QString::asprintf(": %4.4X", unsigned(top - 15 - 0x10)))
            << kind;
        EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](quint8 v) { return v == 0x11; })) << kind;
        EXPECT_EQ(r.BootFrames(BootLoader::ReadCommand(kind)).size(), 1u) << kind;
    }
}

// The block a read answer names is its 16-bit offset in bytes 5-6; byte 4 is the loader's
// own. Another offset is a wrong answer, whatever byte 4 holds.
TEST(BootRead, OnlyTheOffsetOfTheAnswerNamesTheBlock)
{
    struct Case {
        int skew;
        bool ok;
    };
    for (const Case c :
         {Case{0x010000, true}, Case{0xFF0000, true}, Case{0x10, false}, Case{0x010010, false}}) {
        BootSimRig r;
        ASSERT_TRUE(r.Enter());
        for (int i = 0; i < 0x100; ++i)
            r.target().sram()[size_t(i)] = quint8(i * 3);
        r.target().readAddressSkew = c.skew;
        auto img = r.images.Image(KindSram);
        std::fill(img.begin(), img.end(), quint8(0x11));
        EXPECT_EQ(r.boot->ReadMemory(1, 0x40, r.Msg(303), KindSram, 0x7F), c.ok) << c.skew;
        if (c.ok) {
            for (int i = 0x40; i <= 0x7F; ++i)
                EXPECT_EQ(img[size_t(i)], quint8(i * 3)) << c.skew << " " << i;
        } else {
            EXPECT_EQ(r.Last(), r.Msg(303) + r.Msg(256) + QString::asprintf(": %4.4X", unsigned(0x70 + 0x10)))
                << c.skew;
            EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](quint8 v) { return v == 0x11; }));
        }
    }
}

TEST(BootVerify, AnswerForAnotherBlockFailsInsteadOfComparingNothing)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    // The target differs from the image at 0x105; the answers name the block below the one asked.
    r.target().sram().fill(0x00);
    r.target().sram()[0x75] = 0x01;
    auto img = r.images.Image(KindSram);
    std::fill(img.begin(), img.end(), quint8(0x00));
    r.target().readAddressSkew = -0x10;
    EXPECT_FALSE(r.boot->VerifyMemory(1, 0x70, r.Msg(311), r.Msg(303), KindSram, 0x8F));
    EXPECT_EQ(r.Last(), r.Msg(303) + r.Msg(256) + QStringLiteral(": 0070"));
    EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](quint8 v) { return v == 0x00; }));
    r.target().readAddressSkew = 0;
    EXPECT_FALSE(r.boot->VerifyMemory(1, 0x70, r.Msg(311), r.Msg(303), KindSram, 0x8F));
    EXPECT_EQ(r.Last(), r.Msg(311) + lang::FormatMsg(r.Msg(313), 0x75));
}

TEST(BootRead, SilentDeviceIsAnIncompleteAnswer)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    r.sensor().faults.mute = true;
    EXPECT_FALSE(r.boot->ReadMemory(1, 0, r.Msg(303), KindSram, 0xFF));
    EXPECT_EQ(r.Last(), r.Msg(303) + r.Msg(255));
}

TEST(BootErase, ThirteenPagesTopDown)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    r.target().flash().fill(0x00);
    r.target().SetBootAddr(0x1A00);
    ASSERT_TRUE(r.boot->EraseMemory(1, 0, r.Msg(276), KindCode, 0x19FF));
    const auto frames = r.BootFrames(cmd::ErasePage);
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames[0].mid(4, 3), Hex("001800"));
    EXPECT_EQ(frames[12].mid(4, 3), Hex("000000"));
    const auto& flash = r.target().flash();
    EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 0x1A00, [](quint8 v) { return v == 0xFF; }));
    EXPECT_EQ(flash[0x1A00], sim::BootLoader::BootCodeByte(0));
    EXPECT_EQ(flash[0x1C00], 0x00);
}

TEST(BootErase, RangesThatAreNotWholePagesAreRefused)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    EXPECT_FALSE(r.boot->EraseMemory(1, 0, r.Msg(276), KindCode, 0x1A00));
    EXPECT_EQ(r.Last(), r.Msg(276) + r.Msg(310));
    EXPECT_FALSE(r.boot->EraseMemory(1, 0x100, r.Msg(276), KindCode, 0x1FF));
    EXPECT_FALSE(r.boot->EraseMemory(1, 0, r.Msg(308), KindSram, 0x1FF));
    EXPECT_TRUE(r.BootFrames(cmd::ErasePage).empty());
}

TEST(BootWrite, FlashOnlyClearsBitsAndTheBootSectorIsProtected)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    auto code = r.images.Image(KindCode);
    std::fill(code.begin(), code.begin() + 0x20, quint8(0x0F));
    ASSERT_TRUE(r.boot->WriteMemory(1, 0, r.Msg(277), KindCode, 0x1F));
    std::fill(code.begin(), code.begin() + 0x20, quint8(0xF0));
    ASSERT_TRUE(r.boot->WriteMemory(1, 0, r.Msg(277), KindCode, 0x1F));
    EXPECT_EQ(r.target().flash()[0x10], 0x00);
    // Verify sees the difference and gives the image back as it was.
    EXPECT_FALSE(r.boot->VerifyMemory(1, 0, r.Msg(278), r.Msg(273), KindCode, 0x1F));
    EXPECT_EQ(r.Last(), r.Msg(278) + QStringLiteral("Daten ungleich bei Adresse 0000"));
    EXPECT_EQ(code[0], 0xF0);

    std::fill(code.begin() + 0x1A00, code.begin() + 0x1A10, quint8(0x00));
    EXPECT_FALSE(r.boot->WriteMemory(1, 0x1A00, r.Msg(277), KindCode, 0x1A0F));
    EXPECT_EQ(r.Last(), r.Msg(277) + r.Msg(255));
    EXPECT_EQ(r.target().flash()[0x1A00], sim::BootLoader::BootCodeByte(0));
}

TEST(BootVerify, UnchangedTargetAndDifferenceAt0123)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    auto code = r.images.Image(KindCode);
    for (int i = 0; i < 0x200; ++i)
        code[size_t(i)] = quint8(0xFF - i);
    std::copy(code.begin(), code.begin() + 0x200, r.target().flash().begin());
    ASSERT_TRUE(r.boot->VerifyMemory(1, 0, r.Msg(278), r.Msg(273), KindCode, 0x1FF));
    EXPECT_EQ(r.Last(), r.Msg(278) + QStringLiteral("von 0000 bis 01FF, ") + r.Msg(250));

    r.target().flash()[0x123] = 0x00;
    r.target().flash()[0x1F0] = 0x00;
    const std::vector<quint8> before(code.begin(), code.begin() + 0x200);
    EXPECT_FALSE(r.boot->VerifyMemory(1, 0, r.Msg(278), r.Msg(273), KindCode, 0x1FF));
    EXPECT_EQ(r.Last(), r.Msg(278) + QStringLiteral("Daten ungleich bei Adresse 0123"));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), code.begin()));
}

TEST(BootWrite, RamsAndEepromRoundTrip)
{
    BootSimRig r;
    ASSERT_TRUE(r.Enter());
    for (int kind : {int(KindSram), int(KindXram), int(KindEeprom)}) {
        auto img = r.images.Image(kind);
        for (size_t i = 0; i < img.size(); ++i)
            img[i] = quint8(i * 5 + kind);
        const quint32 end = KindLimit(kind);
        ASSERT_TRUE(r.boot->WriteMemory(1, 0, r.Msg(kMsgWrite[size_t(kind)]), kind, end)) << kind;
        ASSERT_TRUE(r.boot->VerifyMemory(1, 0, r.Msg(kMsgVerify[size_t(kind)]), r.Msg(kMsgRead[size_t(kind)]),
                                         kind, end));
    }
    EXPECT_EQ(r.target().eeprom()[7], quint8(7 * 5 + KindEeprom));
    EXPECT_EQ(r.target().xram()[0x1FF], quint8(0x1FF * 5 + KindXram));
}

TEST(BootOld, V110BlocksAndRules)
{
    BootSimRig r(33, QStringLiteral("key=6000110"));
    ASSERT_TRUE(r.boot->OldLoader());
    ASSERT_TRUE(r.Enter());
    ASSERT_TRUE(r.boot->BootPing());
    ASSERT_TRUE(r.boot->BootIdent());
    EXPECT_EQ(r.boot->bootStart, 0x0C00u);
    EXPECT_EQ(r.boot->mcuType, 332);

    auto code = r.images.Image(KindCode);
    for (int i = 0; i < 0x400; ++i)
        code[size_t(i)] = quint8(i * 11);
    r.target().flash().fill(0x00);
    r.target().SetBootAddr(0x0C00);
    ASSERT_TRUE(r.boot->EraseMemory(1, 0, r.Msg(276), KindCode, 0x3FF));
    ASSERT_TRUE(r.boot->WriteMemory(1, 0, r.Msg(277), KindCode, 0x3FF));
    ASSERT_TRUE(r.boot->VerifyMemory(1, 0, r.Msg(278), r.Msg(273), KindCode, 0x3FF));
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0x400, r.target().flash().begin()));
    EXPECT_EQ(r.target().pageErases, 2);

    const auto before = r.bench().trace().entries().size();
    EXPECT_FALSE(r.boot->ReadMemory(1, 0x8, r.Msg(273), KindCode, 0x1F));
    EXPECT_EQ(r.Last(), r.Msg(273) + r.Msg(310));
    EXPECT_FALSE(r.boot->EraseMemory(1, 0, r.Msg(276), KindCode, 0xFF));
    EXPECT_FALSE(r.boot->WriteMemory(1, 0, r.Msg(306), KindSram, 0xFF));
    EXPECT_EQ(r.bench().trace().entries().size(), before);
    ASSERT_TRUE(r.boot->BootRestart());
}

// Firmware 100: start, ping, identification and restart framed, the memory commands in the old
// form; the download pings and restarts with the one-byte commands.
TEST(BootOld, V100FramedCommandsWithOldMemoryCommands)
{
    BootSimRig r(33, QStringLiteral("key=6000100,stream=polled"));
    r.session.sensor.Firmware = 100;
    ASSERT_TRUE(r.boot->OldLoader());
    ASSERT_FALSE(r.boot->ShortCommands());
    ASSERT_TRUE(r.Enter());
    ASSERT_TRUE(r.boot->BootPing());
    ASSERT_TRUE(r.boot->BootIdent());
    EXPECT_EQ(r.boot->bootStart, 0x0C00u);
    EXPECT_EQ(r.BootFrames().front(), QByteArray::fromHex("f100052"
                                                          "91e"));

    auto code = r.images.Image(KindCode);
    for (int i = 0; i < 0x200; ++i)
        code[size_t(i)] = quint8(i * 13 + 1);
    r.target().flash().fill(0x00);
    r.target().SetBootAddr(0x0C00);
    ASSERT_TRUE(r.boot->EraseMemory(1, 0, r.Msg(276), KindCode, 0x1FF));
    ASSERT_TRUE(r.boot->WriteMemory(1, 0, r.Msg(277), KindCode, 0x1FF));
    ASSERT_TRUE(r.boot->VerifyMemory(1, 0, r.Msg(278), r.Msg(273), KindCode, 0x1FF))
        << r.Last().toStdString();
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0x200, r.target().flash().begin()));
    // Old form on the wire: erase 14 00 A5, writes of 20 bytes ending in A4, reads of 3 bytes.
    std::vector<QByteArray> erases, writes, reads;
    for (const auto& f : r.BootFrames()) {
        if (quint8(f[0]) == cmd::ErasePage) erases.push_back(f);
        if (quint8(f[0]) == cmd::V100WriteBlock) writes.push_back(f);
        if (quint8(f[0]) == cmd::ReadCode) reads.push_back(f);
    }
    ASSERT_EQ(erases.size(), 1u);
    EXPECT_EQ(erases[0], QByteArray::fromHex("1400a5"));
    ASSERT_EQ(writes.size(), 32u);
    EXPECT_EQ(writes[0].size(), 20);
    EXPECT_EQ(writes[0].left(3), QByteArray::fromHex("1201f0"));
    EXPECT_EQ(quint8(writes[0][19]), 0xA4);
    ASSERT_EQ(reads.size(), 32u);
    EXPECT_EQ(reads.back(), QByteArray::fromHex("110000"));

    // The boot loader takes the framed memory commands of the later generations for nothing.
    const int before = r.target().blockReads;
    r.link->Tx()[4] = 0;
    r.link->Tx()[5] = 0;
    r.link->Tx()[6] = 0;
    r.link->Tx()[7] = 16;
    EXPECT_FALSE(r.boot->protocol().SendReceiveCommand(1, cmd::ReadCode, 9, 24, r.Msg(273)));
    EXPECT_EQ(r.target().blockReads, before);
}

TEST(BootOld, V100DownloadPingsAndRestartsWithOneByte)
{
    BootSimRig r(33, QStringLiteral("key=6000100,stream=polled"));
    r.session.sensor.Firmware = 100;
    r.download->hexImport = false;
    auto code = r.images.Image(KindCode);
    for (quint32 i = 0; i < 0xC00; ++i)
        code[i] = quint8(i ^ 0x5A);
    ASSERT_TRUE(r.download->DownLoad()) << r.Last().toStdString();
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0xC00, r.target().flash().begin()));
    EXPECT_EQ(r.target().pageErases, 6);
    bool onePing = false, oneRestart = false;
    for (const auto& f : r.BootFrames()) {
        onePing |= f == QByteArray(1, char(cmd::V100Ping));
        oneRestart |= f == QByteArray(1, char(cmd::V100BootRestart));
    }
    EXPECT_TRUE(onePing);
    EXPECT_TRUE(oneRestart);
}

// Channel 33 takes the same check: a loader reached through the line switch (here a plain
// serial line, where the switch changes nothing) whose answers name another block.
TEST(BootRead, AnswerForAnotherBlockOnChannel33)
{
    vmx::app::VirtualClock clock;
    vmx::test::RecordingHost host{&clock};
    QTemporaryDir dir;
    vmx::app::Session session{host, clock, dir.path()};
    session.CopyValidSensorType(0);
    vmx::link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    sim::ConverterSpec c = sim::MakeConverter(sim::ConverterKind::LineAdapter, 1);
    c.sensor.mode = 3;
    o.simConverters = {c};
    vmx::test::LinkEvents linkEvents;
    vmx::link::Link link(session, linkEvents, o);
    link.Reset_COM_USB();
    MemoryImages images;
    vmx::test::BootHooks hooks;
    BootLoader boot(session, link, images, hooks);
    clock.SleepMs(300);
    ASSERT_TRUE(boot.BootStart());
    clock.SleepMs(50);
    sim::Bench& bench = *link.OpenSimBench();
    // The adapter's line goes to the sensor whatever RTS says; the loader answers channel 33.
    ASSERT_TRUE(boot.ReadMemory(kChannelModule, 0, session.Msg(303), KindSram, 0x1F))
        << host.panel1Log.last().toStdString();
    bench.sensor().bootLoader().readAddressSkew = 0x20;
    auto img = images.Image(KindSram);
    std::fill(img.begin(), img.end(), quint8(0x77));
    EXPECT_FALSE(boot.VerifyMemory(kChannelModule, 0, session.Msg(311), session.Msg(303), KindSram, 0x1F));
    EXPECT_EQ(host.panel1Log.last(), session.Msg(303) + session.Msg(256) + QStringLiteral(": 0030"));
    EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](quint8 v) { return v == 0x77; }));
    EXPECT_TRUE(link.RtsChecked()); // routed back to the sensor afterwards
}
