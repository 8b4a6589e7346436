// The test module, C2 and PIC programming and the module's firmware segment, through the
// station the program builds, against the simulated bench (a TK33 or VO40 with the sensor
// behind it) on a virtual clock: what reaches the module, what it does to the sensor's flash
// and the PIC, and what the operator is shown.
#include "HexFile.h"
#include "RecordingHost.h"
#include "StationWatch.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "lang/Format.h"
#include "link/FrameProtocol.h"
#include "sim/Bench.h"
#include "sim/Sensor.h"
#include "station/Station.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace vmx;
using namespace vmx::proto;
using testmodule::Font;

namespace {

constexpr int kRowV143 = 8; // QVR05.28 V1.43, boot sector 0x1A00
constexpr int kChannel = boot::kChannelModule;

struct Steps : testmodule::StepSignal {
    int done = 0;
    void AutoAdvance() override { ++done; }
};

struct Rig : test::StationWatch {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    std::unique_ptr<station::Station> st;
    Steps steps;

    explicit Rig(const QString& profile)
    {
        session.CopyValidSensorType(kRowV143);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        st = std::make_unique<station::Station>(session, o);
        st->ApplyConfig(session.config);
        EXPECT_TRUE(st->OpenLink());
        clock.SleepMs(300);
        tm().steps = &steps;
        st->SetView(this);
    }
    ~Rig() override { st->SetView(nullptr); }
    sim::Bench& bench() { return *st->link().OpenSimBench(); }
    sim::TestModule& mod() { return *bench().module(); }
    sim::Sensor& sensor() { return bench().sensor(); }
    testmodule::TestModule& tm() { return st->testModule(); }
    testmodule::ModuleRecord& record() { return st->moduleRecord(); }
    std::span<quint8> code() { return st->images().Image(boot::KindCode); }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
    QString Msg(int m) const { return session.Msg(m); }
    // Valid frames the module took, in order (all of them, or those with one command byte).
    std::vector<QByteArray> In(int command = -1)
    {
        std::vector<QByteArray> r;
        for (const auto& e : bench().trace().Of(sim::Dir::In, sim::Unit::TestModule))
            if (e.ok && (command < 0 || quint8(e.bytes[3]) == command)) r.push_back(e.bytes);
        return r;
    }
    bool HasComment(app::CommentColour c, const QString& text) const
    {
        for (const auto& [colour, t] : host.comments)
            if (colour == c && t == text) return true;
        return false;
    }
    QString LastComment() const { return host.comments.empty() ? QString() : host.comments.back().second; }
    // A sensor-side exchange: does the sensor answer at all?
    bool SensorPing()
    {
        return st->link().protocol().SendReceiveCommand(kTargetSensor, cmd::Ping, 5, 1,
                                                        QStringLiteral("Ping: "), true);
    }
    QString WriteHex(const QString& name, const std::vector<quint8>& bytes)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(test::WriteHexFile(path, bytes));
        return path;
    }
};

// A sensor firmware: a reset vector at 0 and a pattern every address tells apart.
std::vector<quint8> Firmware(quint32 end = 0x1BFF)
{
    std::vector<quint8> b(end + 1);
    for (quint32 a = 0; a <= end; ++a)
        b[a] = quint8((a * 7 + (a >> 8) * 13 + 1) & 0xFF);
    b[0] = 0x02, b[1] = 0x01, b[2] = 0x00; // LJMP 0x0100
    return b;
}

quint32 Addr24(const QByteArray& f, int at)
{
    return (quint32(quint8(f[at])) << 16) | (quint32(quint8(f[at + 1])) << 8) | quint8(f[at + 2]);
}

} // namespace

// ---- identification, measurements, LEDs, rest state ----

TEST(ModuleIdent, Tk33ModelAndVersionFromTheAnswerBytes)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.tm().TK33_GetIdent());
    const quint8* d = r.st->link().Rx() + 4;
    EXPECT_EQ(std::vector<int>(d, d + 6), (std::vector<int>{99, 33, 1, 0, 0xD2, 0x00}));
    EXPECT_EQ(r.tm().ident.firmware, 210);
    EXPECT_EQ(r.Last(), QStringLiteral("Lese Ident: TK33 - QVR05/06 / FW: V2.10"));
}

TEST(ModuleIdent, ForeignDeviceGetsTheGenericLineAndNoOutputMeasurement)
{
    Rig r(QStringLiteral("tk33,stream=none,tmident=5,tmtype=7,tmsub=1,tmfw=100"));
    ASSERT_TRUE(r.tm().TK33_GetIdent());
    EXPECT_EQ(r.Last(), QStringLiteral("Lese Ident: Id: 5 / Ty: 7 / STy: 1 / Tag: 0 / FW: V1.00"));
    // Not a test module: the output measurement asks again and gives up without starting.
    EXPECT_FALSE(r.tm().QVR06Meas(true));
    EXPECT_TRUE(r.In(cmd::TmMeasStart).empty());
    EXPECT_EQ(r.In(cmd::TmIdent).size(), 2u);
}

TEST(ModuleMeasure, Qvr02StopShowsCurrentAndLatchedLettersAndOd)
{
    Rig r(QStringLiteral("tk33,stream=none,tmsub=0"));
    ASSERT_TRUE(r.tm().ToggleQVR02());
    EXPECT_EQ(r.tm().qvr02.caption, QStringLiteral("STOP"));
    EXPECT_EQ(r.tm().qvr02.font, Font::Red);
    r.mod().nextStopData = QByteArray("\x25\x10", 2);
    ASSERT_TRUE(r.tm().ToggleQVR02());
    EXPECT_EQ(r.Last(), QStringLiteral("QVR02: aktuell: LB / OD: OFF | Speicher: M / OD: ON"));
    EXPECT_EQ(r.tm().qvr02.caption, QStringLiteral("START"));
    EXPECT_EQ(r.tm().qvr02.font, Font::Green);
    EXPECT_FALSE(r.tm().qvr02.checked);
}

TEST(ModuleMeasure, OutputsLatchAnAlarmSeenOnlyBetweenStartAndStop)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.tm().QVR06Meas(true));
    r.clock.SleepMs(100);
    // A large bubble passes for 100 ms and is gone well before the stop.
    r.sensor().Bubble(r.clock.NowUs(), 100000);
    r.clock.SleepMs(400);
    ASSERT_TRUE(r.tm().QVR06Meas(false));
    EXPECT_EQ(r.Last(), QStringLiteral("QVR05/06, aktuell: H H H | Speicher: LH LH LH"));
    EXPECT_EQ(r.tm().qvr06.font, Font::Green);
    // A second run without the bubble latches only what it saw.
    ASSERT_TRUE(r.tm().QVR06Meas(true));
    r.clock.SleepMs(200);
    ASSERT_TRUE(r.tm().QVR06Meas(false));
    EXPECT_EQ(r.Last(), QStringLiteral("QVR05/06, aktuell: H H H | Speicher: H H H"));
}

TEST(ModuleMeasure, Vo40HasFourOutputsInItsOwnLine)
{
    Rig r(QStringLiteral("vo40,stream=none"));
    ASSERT_TRUE(r.tm().QVR06Meas(true));
    r.mod().nextStopData = QByteArray("\x12\x21\x01\x32", 4);
    ASSERT_TRUE(r.tm().QVR06Meas(false));
    EXPECT_EQ(
        r.Last(),
        QStringLiteral("QVR05/WSK02, aktuell: O1=H O2= L A1= L A2= H | Speicher: O1=L O2= H A1=  A2= LH"));
}

TEST(ModuleLeds, GreenPanelClickSendsTheRedBitOnly)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.tm().ToggleLed(true));
    EXPECT_EQ(r.tm().ledGreen, 0);
    EXPECT_EQ(r.tm().ledRed, 1);
    const auto leds = r.In(cmd::TmLed);
    ASSERT_EQ(leds.size(), 1u);
    EXPECT_EQ(quint8(leds[0][4]), 2);
    EXPECT_EQ(r.mod().leds(), 2);
}

TEST(ModulePower, SwitchFollowsWithFontCheckAndTheSensorFallsSilent)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.SensorPing());
    ASSERT_TRUE(r.tm().TogglePower()); // unchecked at start: switches on
    EXPECT_EQ(r.tm().power.font, Font::Red);
    ASSERT_TRUE(r.tm().TogglePower());
    EXPECT_FALSE(r.tm().power.checked);
    EXPECT_EQ(r.tm().power.font, Font::Green);
    EXPECT_FALSE(r.sensor().powered());
    EXPECT_FALSE(r.SensorPing());
}

TEST(ModuleReset, Vo40SendsNothingTk33RaisesOdDtAndResetsC2)
{
    Rig v(QStringLiteral("vo40,stream=none"));
    v.record().testHardware = testmodule::HardwareVO40;
    EXPECT_TRUE(v.tm().ResetSwitches());
    EXPECT_TRUE(v.In().empty());

    Rig t(QStringLiteral("tk33,stream=none"));
    t.record().testHardware = testmodule::HardwareTK33;
    ASSERT_TRUE(t.tm().SwitchPICProg(true));
    ASSERT_TRUE(t.tm().ResetSwitches());
    std::vector<int> sent;
    for (const auto& f : t.In())
        sent.push_back(quint8(f[3]));
    EXPECT_EQ(sent, (std::vector<int>{cmd::TmPicLines, cmd::TmOdDt, cmd::TmPicLines, cmd::TmC2Reset}));
    EXPECT_TRUE(t.mod().odDt());
    EXPECT_FALSE(t.mod().picLines());
    EXPECT_FALSE(t.tm().picProg.checked);
}

TEST(ModuleSerialIf, RadioSelectionFollowsTheRequestAndTheSensorIsReachedOnItsOwnInterface)
{
    Rig r(QStringLiteral("tk33,stream=polled"));
    const int& told = r.serialIfChanges;
    ASSERT_TRUE(r.tm().SwitchSerialIF(0));
    EXPECT_EQ(r.tm().serialIfType(), 0);
    EXPECT_EQ(r.mod().serialIf(), 0);
    // The sensor speaks TTL master: on the slave interface it cannot be reached; the line is
    // back at the sensor after the exchange.
    EXPECT_TRUE(r.bench().rts());
    EXPECT_FALSE(r.SensorPing());
    ASSERT_TRUE(r.tm().SwitchSerialIF(1));
    EXPECT_TRUE(r.SensorPing());
    EXPECT_EQ(told, 2);
}

TEST(ModuleSerialIf, ProductionFormStopsFirstAndSignalsOnlyOnSuccess)
{
    Rig r(QStringLiteral("vo40,stream=polled"));
    EXPECT_TRUE(r.tm().SwitchSerialInterface(1));
    EXPECT_EQ(r.steps.done, 1);
    // On a line adapter no module answers: the selection is still set, nothing is signalled.
    Rig a(QStringLiteral("adapter,stream=polled"));
    EXPECT_FALSE(a.tm().SwitchSerialInterface(2));
    EXPECT_EQ(a.tm().serialIfType(), 2);
    EXPECT_EQ(a.Last(), a.Msg(376) + a.Msg(255));
    EXPECT_EQ(a.steps.done, 0);
}

TEST(ModulePower, StepsSwitchByHardwareKindAndSignal)
{
    Rig t(QStringLiteral("tk33,stream=none"));
    t.record().testHardware = testmodule::HardwareTK33;
    t.tm().SwitchPowerQVR_OFF();
    EXPECT_FALSE(t.mod().sensorPower());
    EXPECT_TRUE(t.HasComment(app::CommentColour::Blue, QStringLiteral("QVR Power OFF: okay")));
    t.tm().SwitchPowerQVR_ON();
    EXPECT_TRUE(t.mod().sensorPower());
    EXPECT_EQ(t.LastComment(), QStringLiteral("QVR Power ON: okay"));
    EXPECT_EQ(t.steps.done, 2);

    // The line adapter (kind 7) switches its own power line; the monitor page's action follows.
    Rig a(QStringLiteral("adapter,stream=none"));
    a.record().testHardware = testmodule::HardwareConverter007;
    a.tm().SwitchPowerQVR_OFF();
    EXPECT_FALSE(a.sensor().powered());
    EXPECT_FALSE(a.st->deviceState().powerActionChecked);
    a.tm().SwitchPowerQVR_Automatically();
    EXPECT_TRUE(a.sensor().powered());
    EXPECT_EQ(a.steps.done, 2);

    // Another kind switches nothing and only signals.
    Rig c(QStringLiteral("converter,stream=none"));
    c.record().testHardware = testmodule::HardwareComPort;
    c.tm().SwitchPowerQVR_ON();
    EXPECT_TRUE(c.host.comments.empty());
    EXPECT_EQ(c.steps.done, 1);
}

TEST(ModulePower, FailedModuleSwitchIsRedAndNotSignalled)
{
    Rig r(QStringLiteral("adapter,stream=none"));
    // Told a TK33 is there, but the line adapter has none to answer.
    r.record().testHardware = testmodule::HardwareTK33;
    r.tm().SwitchPowerQVR_ON();
    EXPECT_TRUE(r.HasComment(app::CommentColour::Red, QStringLiteral("QVR Power ON: FEHLER")));
    EXPECT_EQ(r.steps.done, 0);
    EXPECT_EQ(r.tm().power.font, Font::Black);
}

// ---- the test-hardware check ----

TEST(ModuleCheck, ConverterNotAllowedIsUnsuitableAllowedIsOkay)
{
    Rig r(QStringLiteral("converter,stream=none"));
    r.tm().CheckTK33Ident(1, testmodule::AllowConverter007);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Prüfmittel: FEHLER, ungeeignetes Prüfmittel"));
    EXPECT_TRUE(r.HasComment(app::CommentColour::Red, r.LastComment()));
    EXPECT_EQ(r.steps.done, 0);
    r.tm().CheckTK33Ident(1, testmodule::AllowConverter005);
    EXPECT_TRUE(r.HasComment(app::CommentColour::Blue, QStringLiteral("Kontrolle Prüfmittel: ...")));
    EXPECT_EQ(r.LastComment(), QStringLiteral("Prüfmittel: USB-Data-Converter Typ 005, okay"));
    EXPECT_EQ(r.record().testHardware, testmodule::HardwareConverter005);
    EXPECT_EQ(r.steps.done, 1);
}

TEST(ModuleCheck, Tk33WithTheRightFrontEndSwitchesTheInterface)
{
    Rig r(QStringLiteral("tk33,stream=none,if=1"));
    r.tm().CheckTK33Ident(0, testmodule::AllowAny);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend"));
    EXPECT_EQ(r.steps.done, 0);
    EXPECT_TRUE(r.In(cmd::TmSerialIf).empty());
    r.tm().CheckTK33Ident(1, testmodule::AllowAny);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Prüfmittel: okay"));
    EXPECT_EQ(r.record().testHardware, testmodule::HardwareTK33);
    ASSERT_EQ(r.In(cmd::TmSerialIf).size(), 1u);
    EXPECT_EQ(r.mod().serialIf(), 1);
    EXPECT_EQ(r.steps.done, 1);
}

// ---- C2 ----

TEST(C2, BlockWriteXStagesEachBlockInXramTopDown)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    const auto fw = Firmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    ASSERT_TRUE(r.st->c2().Init());
    ASSERT_TRUE(r.st->c2().EraseAll());
    r.bench().trace().Clear();
    ASSERT_TRUE(r.st->c2().C2_BlockWriteX(kChannel, 0, QStringLiteral("Schreibe Flash: "), 511));
    std::vector<int> kinds;
    for (const auto& f : r.In())
        kinds.push_back(quint8(f[3]));
    std::vector<int> want;
    for (int block = 0; block < 2; ++block) {
        want.insert(want.end(), 16, cmd::WriteXram);
        want.push_back(cmd::TmC2Write);
    }
    EXPECT_EQ(kinds, want);
    const auto writes = r.In(cmd::TmC2Write);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(Addr24(writes[0], 4), 0x100u);
    EXPECT_EQ(Addr24(writes[1], 4), 0x000u);
    for (const auto& w : writes) {
        EXPECT_EQ(quint8(w[7]), 0); // 256 bytes
        EXPECT_EQ(Addr24(w, 8), 0u);
    }
    const auto& flash = r.sensor().bootLoader().flash();
    EXPECT_TRUE(std::equal(fw.begin(), fw.begin() + 512, flash.begin()));
    EXPECT_EQ(flash[512], 0xFF); // nothing beyond the range

    r.bench().trace().Clear();
    r.host.progress.clear();
    ASSERT_TRUE(r.st->c2().C2_BlockWriteX(kChannel, 0, QStringLiteral("Schreibe Flash: "), 0x1BFF));
    // The bar runs once over the whole range, block by block, and ends; the XRAM staging
    // between does not move it.
    std::vector<std::pair<qint64, qint64>> bar;
    for (qint64 done = 256; done <= 0x1C00; done += 256)
        bar.emplace_back(done, 0x1C00);
    bar.emplace_back(0, 0);
    EXPECT_EQ(r.host.progress, bar);
    const auto all = r.In(cmd::TmC2Write);
    ASSERT_EQ(all.size(), 28u);
    EXPECT_EQ(Addr24(all.front(), 4), 0x1B00u);
    EXPECT_TRUE(std::equal(fw.begin(), fw.end(), flash.begin()));
}

TEST(C2, BlockWriteFNamesTheModuleFlashSourceAndIsBoundedTo5120Bytes)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    auto& moduleFlash = r.mod().loader().flash();
    const auto fw = Firmware();
    std::copy(fw.begin() + 0x800, fw.end(), moduleFlash.begin() + 0x200);
    ASSERT_TRUE(r.st->c2().Init());
    // The sensor's flash as a chip erase leaves it.
    ASSERT_TRUE(r.st->c2().EraseAll());
    const QString caption = QStringLiteral("SiLab: schreiben: ");
    r.bench().trace().Clear();
    EXPECT_FALSE(r.st->c2().C2_BlockWriteF(kChannel, 2048, caption, 512, 7169));
    EXPECT_EQ(r.Last(), caption + QStringLiteral("unzulässiger Programmaufruf (prüfe Adressen)"));
    EXPECT_FALSE(r.st->c2().C2_BlockWriteF(kChannel, 2048, caption, 511, 2100));
    EXPECT_TRUE(r.In().empty());

    ASSERT_TRUE(r.st->c2().C2_BlockWriteF(kChannel, 2048, caption, 512, 7167));
    const auto w = r.In(cmd::TmC2Write2);
    ASSERT_EQ(w.size(), 20u);
    EXPECT_EQ(Addr24(w.front(), 4), 0x1B00u);
    EXPECT_EQ(Addr24(w.front(), 8), 0x1500u);
    EXPECT_EQ(Addr24(w.back(), 4), 0x0800u);
    EXPECT_EQ(Addr24(w.back(), 8), 0x0200u);
    EXPECT_EQ(r.Last(), caption + QStringLiteral("von 0800 bis 1BFF, alles okay"));
    const auto& flash = r.sensor().bootLoader().flash();
    EXPECT_TRUE(std::equal(fw.begin() + 0x800, fw.end(), flash.begin() + 0x800));
    EXPECT_EQ(flash[0x7FF], 0xFF);
}

TEST(C2, WritesOnlyClearBitsOfWhatTheChipHolds)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.st->c2().Init());
    auto& flash = r.sensor().bootLoader().flash();
    const std::vector<quint8> before(flash.begin() + 0x0A00, flash.begin() + 0x0B00);
    for (int i = 0; i < 256; ++i)
        r.code()[size_t(0x0A00 + i)] = quint8(0xF0 | i);
    // Without an erase first the factory parameter page and the new bytes merge.
    ASSERT_TRUE(r.st->c2().C2_BlockWriteX(kChannel, 0x0A00, QStringLiteral("Schreibe Flash: "), 0x0AFF));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(flash[size_t(0x0A00 + i)], quint8(before[size_t(i)] & (0xF0 | i))) << i;
    EXPECT_FALSE(r.st->c2().C2_Verify(kChannel, 0x0A00, QStringLiteral("Vergleiche Flash: "),
                                      QStringLiteral("Lese Flash: "), 0x0AFF));
}

TEST(C2, PageEraseTakesWholePagesOnly)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.st->c2().Init());
    r.bench().trace().Clear();
    EXPECT_FALSE(r.st->c2().C2_PageErase(kChannel, 0, QStringLiteral("Lösche Flash-Page: "), 0x1A00));
    EXPECT_EQ(r.Last(), QStringLiteral("Lösche Flash-Page: ") + r.Msg(310));
    EXPECT_TRUE(r.In().empty());
    ASSERT_TRUE(r.st->c2().C2_PageErase(kChannel, 0x0A00, QStringLiteral("Lösche Flash-Page: "), 0x0DFF));
    const auto pages = r.In(cmd::TmC2PageErase);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(Addr24(pages[0], 4), 0x0C00u);
    EXPECT_EQ(Addr24(pages[1], 4), 0x0A00u);
    // The parameter page the factory wrote is gone.
    EXPECT_EQ(r.sensor().bootLoader().flash()[0x0A00], 0xFF);
}

TEST(C2, VerifyDifferenceNamesTheAddressAndRestoresTheImage)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    const auto fw = Firmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    ASSERT_TRUE(r.st->c2().Init());
    ASSERT_TRUE(r.st->c2().EraseAll());
    ASSERT_TRUE(r.st->c2().C2_BlockWriteX(kChannel, 0, QStringLiteral("Schreibe Flash: "), 0x3FF));
    ASSERT_TRUE(r.st->c2().C2_Verify(kChannel, 0, QStringLiteral("Vergleiche Flash: "),
                                     QStringLiteral("Lese Flash: "), 0x3FF));
    // One byte of the chip differs from the image.
    r.sensor().bootLoader().flash()[0x201] = quint8(~fw[0x201]);
    const std::vector<quint8> before(r.code().begin(), r.code().end());
    EXPECT_FALSE(r.st->c2().C2_Verify(kChannel, 0, QStringLiteral("Vergleiche Flash: "),
                                      QStringLiteral("Lese Flash: "), 0x3FF));
    EXPECT_EQ(r.Last(), QStringLiteral("Vergleiche Flash: ") + lang::FormatMsg(r.Msg(313), 0x201));
    EXPECT_TRUE(r.Last().contains(QLatin1String("0201")));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), r.code().begin()));
}

TEST(C2, WithoutInitOrPowerTheModuleRefusesAndTheAddressIsShown)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    // No init: the module does not take the block; the program names the block's address.
    EXPECT_FALSE(r.st->c2().C2_BlockRead(kChannel, 0x100, QStringLiteral("Lese Flash: "), 0x2FF));
    EXPECT_EQ(r.Last(), QStringLiteral("Lese Flash: FEHLER bei Adresse: 0200 "));
    ASSERT_TRUE(r.tm().SwitchPowerQVR(false));
    EXPECT_FALSE(r.st->c2().Init());
    // An end beyond the code image is refused before anything is sent.
    r.bench().trace().Clear();
    EXPECT_FALSE(r.st->c2().C2_BlockRead(kChannel, 0xFF00, QStringLiteral("Lese Flash: "), 0x10000));
    EXPECT_EQ(r.Last(), QStringLiteral("Lese Flash: ") + r.Msg(305));
    EXPECT_TRUE(r.In().empty());
}

// ---- a blank sensor brought to life ----

TEST(Production, BlankSensorIsErasedProgrammedXAndFAndThenAnswers)
{
    Rig r(QStringLiteral("tk33,blank,stream=polled"));
    EXPECT_EQ(r.sensor().run(), sim::Sensor::Run::Halted);
    EXPECT_FALSE(r.SensorPing());
    const auto fw = Firmware();
    const QString file = r.WriteHex(QStringLiteral("QVR.hex"), fw);
    auto& c2 = r.st->c2();
    auto& tmfw = r.st->moduleFirmware();

    r.tm().CheckTK33Ident(1, testmodule::AllowAny);
    ASSERT_EQ(r.record().testHardware, testmodule::HardwareTK33) << r.LastComment().toStdString();
    ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import SiLab: ")));
    c2.SiLabDeviceErase(QStringLiteral("SiLab: Löschen: "));
    ASSERT_EQ(r.record().siLabResult, 1) << r.LastComment().toStdString();
    c2.SiLabProgrammingX(0, 2047, QStringLiteral("SiLab: "));
    ASSERT_EQ(r.record().siLabResult, 1) << r.LastComment().toStdString();
    EXPECT_TRUE(r.HasComment(app::CommentColour::Blue, QStringLiteral("SiLab: Verifizieren ...")));
    // Every run leaves the sensor without power.
    EXPECT_FALSE(r.mod().sensorPower());

    ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import FW: ")));
    ASSERT_TRUE(tmfw.ProgCodeTK33(512, 2048, 7167)) << r.LastComment().toStdString();
    EXPECT_EQ(r.record().tk33ProgResult, 1);
    const auto& segment = r.mod().loader().flash();
    EXPECT_EQ(std::mismatch(fw.begin() + 0x800, fw.end(), segment.begin() + 0x200).first - fw.begin(),
              0x1C00);
    // The check at the start of a later run, on a freshly imported file.
    ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import FW: ")));
    ASSERT_TRUE(tmfw.ProgCodeTK33Check(512, 2048, 1791, 1024, 7167));
    EXPECT_EQ(r.record().tk33ProgResult, 1);
    // The check moved the segment inside the image; "F" compares with the file as it is.
    ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import SiLab: ")));

    c2.SiLabProgrammingF(2048, 7167, QStringLiteral("SiLab: "), 512);
    ASSERT_EQ(r.record().siLabResult, 1) << r.LastComment().toStdString();
    EXPECT_EQ(r.steps.done, 10);

    const auto& flash = r.sensor().bootLoader().flash();
    EXPECT_TRUE(std::equal(fw.begin(), fw.begin() + 0x1A00, flash.begin()));
    // Powered again, the programmed sensor runs and answers.
    ASSERT_TRUE(r.tm().SwitchPowerQVR(true));
    EXPECT_TRUE(r.SensorPing());
    EXPECT_EQ(r.sensor().run(), sim::Sensor::Run::App);
    EXPECT_TRUE(r.st->Identify()) << r.Last().toStdString();
}

// Behind a converter no test module answers. With the menu's answer and ACK checks off a run
// would take the silence for acknowledgements and say "okay"; production runs read them anyway.
TEST(Production, AcknowledgementsAreReadWhateverTheMenuSays)
{
    for (const bool menu : {true, false}) {
        Rig r(QStringLiteral("converter,stream=none"));
        r.record().testHardware = testmodule::HardwareTK33;
        auto& fp = r.st->link().protocol();
        fp.SetWithAnswer(menu);
        fp.SetWithAck(menu);
        r.st->c2().SiLabDeviceErase(QStringLiteral("SiLab: Löschen: "));
        EXPECT_EQ(r.record().siLabResult, 0) << menu;
        EXPECT_TRUE(r.HasComment(app::CommentColour::Red,
                                 QStringLiteral("SiLab: Löschen: FEHLER beim Reset der Steuerleitungen")))
            << r.LastComment().toStdString();
        EXPECT_EQ(r.steps.done, 0);
        // The menu keeps what the operator set.
        EXPECT_EQ(fp.WithAnswer(), menu);
        EXPECT_EQ(fp.WithAck(), menu);
    }
}

// A range a run cannot write is refused before the first frame: no switch, no C2 init.
TEST(Production, RefusedRangesSendNothing)
{
    struct Case {
        bool fromModule;
        quint32 start, end, source;
        QString panel;
    };
    const QString addresses =
        QStringLiteral("SiLab: schreiben: unzulässiger Programmaufruf (prüfe Adressen)");
    const Case cases[] = {
        {true, 2048, 7169, 512, addresses}, // end - start = 5,121
        {true, 2048, 4095, 256, addresses}, // source below the module's area
        {true, 4096, 2048, 512, addresses}, // end before start
        {false, 0x200, 0x1FF, 0, QStringLiteral("SiLab: schreiben: ")},
    };
    for (const Case& c : cases) {
        Rig r(QStringLiteral("tk33,blank,stream=none"));
        r.record().testHardware = testmodule::HardwareTK33;
        r.record().siLabResult = 1;
        r.bench().trace().Clear();
        if (c.fromModule)
            r.st->c2().SiLabProgrammingF(c.start, c.end, QStringLiteral("SiLab: "), c.source);
        else
            r.st->c2().SiLabProgrammingX(c.start, c.end, QStringLiteral("SiLab: "));
        EXPECT_EQ(r.record().siLabResult, 0) << c.start;
        EXPECT_EQ(r.LastComment(), QStringLiteral("SiLab: FEHLER beim Schreiben")) << c.start;
        EXPECT_TRUE(r.Last().startsWith(c.panel)) << r.Last().toStdString();
        EXPECT_TRUE(r.In().empty()) << c.start;
        EXPECT_EQ(r.steps.done, 0);
    }
}

// The module's segment holds another firmware (one byte differs from the file): the check at
// the start of a run and the "F" programming both compare every byte they cover and name the
// first differing address, wherever it lies in the segment.
TEST(Production, SegmentCheckAndFProgrammingCompareTheWholeRange)
{
    for (quint32 segmentAddr : {0x0200u, 0x0500u, 0x1000u, 0x15FFu}) {
        Rig r(QStringLiteral("tk33,blank,stream=none"));
        const auto fw = Firmware();
        const QString file = r.WriteHex(QStringLiteral("QVR.hex"), fw);
        auto& c2 = r.st->c2();
        auto& tmfw = r.st->moduleFirmware();
        r.tm().CheckTK33Ident(1, testmodule::AllowAny);
        ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import FW: ")));
        ASSERT_TRUE(tmfw.ProgCodeTK33(512, 2048, 7167)) << r.LastComment().toStdString();
        r.mod().loader().flash()[segmentAddr] ^= 0x5A;

        ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import FW: ")));
        EXPECT_FALSE(tmfw.ProgCodeTK33Check(512, 2048, 1791, 1024, 7167)) << segmentAddr;
        EXPECT_EQ(r.record().tk33ProgResult, 0);
        EXPECT_EQ(r.Last(),
                  QStringLiteral("Vergleiche CodeSegment_3: ") + lang::FormatMsg(r.Msg(313), segmentAddr));

        ASSERT_TRUE(tmfw.ImportFirmware(file, QStringLiteral("Import SiLab: ")));
        c2.SiLabDeviceErase(QStringLiteral("SiLab: Löschen: "));
        c2.SiLabProgrammingX(0, 0x7FF, QStringLiteral("SiLab: "));
        ASSERT_EQ(r.record().siLabResult, 1) << r.LastComment().toStdString();
        c2.SiLabProgrammingF(2048, 7167, QStringLiteral("SiLab: "), 512);
        EXPECT_EQ(r.record().siLabResult, 0) << segmentAddr;
        EXPECT_EQ(r.LastComment(), QStringLiteral("SiLab: FEHLER beim Verifizieren"));
        const quint32 target = 0x800 + segmentAddr - 0x200;
        EXPECT_TRUE(
            r.host.panel1Log.contains(QStringLiteral("vergleichen: ") + lang::FormatMsg(r.Msg(313), target)))
            << target;
        EXPECT_EQ(r.sensor().bootLoader().flash()[target], quint8(fw[target] ^ 0x5A));
        EXPECT_FALSE(r.mod().sensorPower());
    }
}

// ---- the module's firmware segment ----

TEST(ModuleFirmware, TransferRangeMustFitTheSegment)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    EXPECT_FALSE(r.st->moduleFirmware().ProgCodeTK33(512, 2048, 7168));
    EXPECT_EQ(r.LastComment(), QStringLiteral("QVR-Firmware: Adressbereich nicht plausibel"));
    EXPECT_TRUE(r.In().empty());
    EXPECT_EQ(r.record().tk33ProgResult, 0);
}

TEST(ModuleFirmware, TransferTo1024ErasesWritesAndVerifiesToTheSegmentEnd)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    const auto fw = Firmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    ASSERT_TRUE(r.st->moduleFirmware().ProgCodeTK33(1024, 2048, 6655)) << r.Last().toStdString();
    const auto erased = r.In(cmd::ErasePage);
    ASSERT_EQ(erased.size(), 9u);
    EXPECT_EQ(Addr24(erased.front(), 4), 0x1400u);
    EXPECT_EQ(Addr24(erased.back(), 4), 0x0400u);
    EXPECT_EQ(r.In(cmd::WriteCode).size(), 0x1200u / 16);
    const auto& segment = r.mod().loader().flash();
    EXPECT_TRUE(std::equal(fw.begin() + 0x800, fw.begin() + 0x1A00, segment.begin() + 0x400));
    EXPECT_EQ(segment[0x3FF], 0xFF);
}

TEST(ModuleFirmware, OverlappingMoveCopiesTheSourceAsItWas)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    const auto fw = Firmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    // Destination 0x0A00 lies inside the source 0x0800..0x0FFF.
    ASSERT_TRUE(r.st->moduleFirmware().ProgCodeTK33(0x0A00, 0x0800, 0x0FFF));
    const auto& segment = r.mod().loader().flash();
    EXPECT_TRUE(std::equal(fw.begin() + 0x800, fw.begin() + 0x1000, segment.begin() + 0xA00));
}

TEST(ModuleFirmware, FailedImportKeepsTheCodeImage)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    const auto fw = Firmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    const QString bad = r.dir.filePath(QStringLiteral("bad.hex"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // The second record is cut short.
    f.write(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n:10001000123456\r\n");
    f.close();
    EXPECT_FALSE(r.st->moduleFirmware().ImportFirmware(bad, QStringLiteral("Import FW: ")))
        << r.Last().toStdString();
    EXPECT_TRUE(r.HasComment(app::CommentColour::Red, QStringLiteral("Import FW: FEHLER bei Import")));
    EXPECT_TRUE(std::equal(fw.begin(), fw.end(), r.code().begin()));
    EXPECT_EQ(r.steps.done, 0);
    EXPECT_FALSE(r.st->moduleFirmware().ImportFirmware(r.dir.filePath(QStringLiteral("none.hex")),
                                                       QStringLiteral("Import FW: ")));
    EXPECT_TRUE(std::equal(fw.begin(), fw.end(), r.code().begin()));
}

// ---- PIC ----

namespace {
// A PIC firmware: 56 words (high bytes with noise above the twelve bits) and CONFIG 0x0FEB.
std::vector<quint8> PicFirmware(bool withConfig = true)
{
    std::vector<quint8> b(0x2000, 0xFF);
    for (int i = 0; i < 56; ++i) {
        b[size_t(2 * i)] = quint8(i * 3 + 5);
        b[size_t(2 * i + 1)] = quint8(0xA0 | (i % 16));
    }
    if (withConfig) b[0x1FFE] = 0xEB, b[0x1FFF] = 0x0F;
    return b;
}
} // namespace

TEST(Pic, ProgrammingKeepsTheFactoryOscCalAndReadsBackTheFile)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    r.record().testHardware = testmodule::HardwareTK33;
    const auto fw = PicFirmware();
    ASSERT_TRUE(r.st->moduleFirmware().ImportFirmware(r.WriteHex(QStringLiteral("PIC.hex"), fw),
                                                      QStringLiteral("Import PIC: ")));
    r.st->pic().PICProgramming(QStringLiteral("PIC: "));
    ASSERT_EQ(r.record().picResult, 1) << r.LastComment().toStdString();
    const sim::PicChip& chip = r.mod().pic();
    EXPECT_EQ(chip.oscCal, 0x0C24);
    EXPECT_EQ(chip.config, 0x0FEB);
    for (int i = 0; i < 56; ++i)
        EXPECT_EQ(chip.words[size_t(i)], (fw[size_t(2 * i)] | (fw[size_t(2 * i + 1)] << 8)) & 0xFFF) << i;
    EXPECT_FALSE(r.mod().picLines());
    EXPECT_FALSE(r.mod().sensorPower());
    // Read from the page: the edits show what the chip holds.
    ASSERT_TRUE(r.st->pic().ReadButton());
    EXPECT_EQ(r.st->pic().oscEdit, QStringLiteral("$C24"));
    EXPECT_EQ(r.Last(), QStringLiteral("Lese PIC: CONFIG = $FEB, OSCCAL = $C24"));
}

TEST(Pic, EraseWithTheOscCalFlagLosesTheFactoryValue)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    ASSERT_TRUE(r.st->pic().PICProgErase(false));
    ASSERT_TRUE(r.st->pic().PICProgRead());
    EXPECT_EQ(r.record().picOscCal, 0x0C24);
    ASSERT_TRUE(r.st->pic().PICProgErase(true));
    ASSERT_TRUE(r.st->pic().PICProgRead());
    EXPECT_EQ(r.record().picOscCal, 0x0FFF);
    EXPECT_EQ(r.st->pic().oscEdit, QStringLiteral("$FFF"));
    // Without the programming voltage the module takes no PIC command.
    EXPECT_FALSE(r.mod().picLines());
}

TEST(Pic, OddOscCalStopsBeforeAnythingIsErased)
{
    Rig r(QStringLiteral("tk33,stream=none,osccal=0x0c25"));
    r.record().testHardware = testmodule::HardwareTK33;
    const auto fw = PicFirmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    r.st->pic().PICProgramming(QStringLiteral("PIC: "));
    EXPECT_EQ(r.record().picResult, 0);
    EXPECT_TRUE(r.HasComment(app::CommentColour::Red, QStringLiteral("PIC: FEHLER, OSCCAL=$C25")));
    EXPECT_TRUE(r.In(cmd::TmPicErase).empty());
    EXPECT_FALSE(r.mod().picLines());
}

TEST(Pic, FileWithoutConfigIsRefusedBeforeTheFirstFrame)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    r.record().testHardware = testmodule::HardwareTK33;
    const auto fw = PicFirmware(false);
    std::copy(fw.begin(), fw.end(), r.code().begin());
    r.st->pic().PICProgramming(QStringLiteral("PIC: "));
    EXPECT_EQ(r.LastComment(), QStringLiteral("PIC: FEHLER, CONFIG=$FFFF"));
    // Known from the file alone: refused before the first frame.
    EXPECT_TRUE(r.In().empty());
}

TEST(Pic, ABrokenWordFailsTheProgramCompareOncePerByte)
{
    Rig r(QStringLiteral("tk33,stream=none"));
    r.record().testHardware = testmodule::HardwareTK33;
    r.mod().pic().brokenWord = 7;
    const auto fw = PicFirmware();
    std::copy(fw.begin(), fw.end(), r.code().begin());
    r.st->pic().PICProgramming(QStringLiteral("PIC: "));
    EXPECT_EQ(r.record().picResult, 0);
    int compares = 0;
    for (const auto& [colour, text] : r.host.comments)
        if (text == QLatin1String("PIC: FEHLER beim Vergleich (Programm)")) ++compares;
    EXPECT_EQ(compares, 2);
    EXPECT_EQ(r.steps.done, 0);
}

// "Schreiben" sends the write only with a CONFIG and an OSCCAL that are set, not erased and in
// range; the page starts with both erased, so an untouched page refuses too.
TEST(Pic, WriteRefusesUnsetErasedOrOutOfRangeWords)
{
    const QString osc = QStringLiteral("Schreibe PIC: Fehler, OSCCAL=$FFFF nicht plausibel!");
    const QString config = QStringLiteral("Schreibe PIC: Fehler, CONFIG=$FFFF, nicht plausibel!");
    struct Case {
        const char* config;
        const char* osc;
        QString refusal; // empty: written
    };
    const Case cases[] = {
        {nullptr, nullptr, osc},   // the page as it starts
        {"$FEB", "$FFF", osc},     // erased OSCCAL
        {"$FEB", "", osc},         // unset
        {"$FEB", "-1", osc},       // unknown
        {"$FEB", "$C31", osc},     // odd
        {"$FEB", "$BFE", osc},     // below the range
        {"$FEB", "$D00", osc},     // above the range
        {"$FFF", "$C30", config},  // erased CONFIG
        {"", "$C30", config},      // unset
        {"$1000", "$C30", config}, // wider than twelve bits
        {"$FEB", "$C30", QString()},
    };
    for (const Case& c : cases) {
        Rig r(QStringLiteral("tk33,stream=none,osccal=0x0c30"));
        auto& pic = r.st->pic();
        EXPECT_EQ(pic.configEdit, QStringLiteral("$FFF"));
        EXPECT_EQ(pic.oscEdit, QStringLiteral("$FFF"));
        if (c.config) pic.configEdit = QString::fromLatin1(c.config);
        if (c.osc) pic.oscEdit = QString::fromLatin1(c.osc);
        pic.writeOsc = true;
        EXPECT_EQ(pic.WriteButton(), c.refusal.isEmpty()) << c.osc;
        EXPECT_EQ(r.In(cmd::TmPicWrite).size(), c.refusal.isEmpty() ? 1u : 0u) << c.osc;
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(r.Last(), c.refusal) << c.osc;
            EXPECT_TRUE(r.In().empty());
        }
        EXPECT_EQ(r.mod().pic().oscCal, 0x0C30) << c.osc;
    }
}
