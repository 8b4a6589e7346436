// The programming and identity steps against the simulated sensor: the firmware version,
// parameter files with their tag and extra word, variant, year and serial number written into
// the identification block, the calibration block, the restart and the boot loader's start.
#include "StationRig.h"

#include "prodtest/IdentitySteps.h"

using namespace vmx;
using prodtest::IdentitySteps;
using test::StationRig;

namespace {

QStringList Definition(const QString& program, const QStringList& more)
{
    QStringList d = {QStringLiteral("[#QVR_TYP] \"Typ\",\"QVR05\""),
                     QStringLiteral("[#PRÜFPROGRAMM] \"Programm\",\"%1\"").arg(program)};
    return d + more;
}

// The sensor's identification block in its flash (model, year, serial number).
struct FlashIdent {
    int model, year, serial;
};
FlashIdent IdentInFlash(StationRig& r)
{
    const auto& flash = r.sensor().bootLoader().flash();
    const size_t at = size_t(r.sensor().profile().snOffset) + 12;
    return {flash[at], flash[at + 1], flash[at + 2] | (flash[at + 3] << 8)};
}

} // namespace

TEST(IdentitySteps, ParameterFileTagIsTheThreeCharactersBeforeTheExtension)
{
    EXPECT_EQ(IdentitySteps::ParFileTag(QStringLiteral("QVR05_V123.hex")), QStringLiteral("123"));
    EXPECT_EQ(IdentitySteps::ParFileTag(QStringLiteral("par\\V123.PAR")), QStringLiteral("123"));
    EXPECT_EQ(IdentitySteps::ModelOfVariant(0), 0);
    EXPECT_EQ(IdentitySteps::ModelOfVariant(100), 0);
    EXPECT_EQ(IdentitySteps::ModelOfVariant(1), 1);
    EXPECT_EQ(IdentitySteps::ModelOfVariant(99), 99);
    EXPECT_EQ(IdentitySteps::SensorSerial(123456), 23456);
}

TEST(IdentitySteps, FirmwareVersionAsTheSensorMeasuresIt)
{
    StationRig r(Definition(QStringLiteral("1"), {QStringLiteral("[#TESTVERSION_1] \"FW\",\"143\""),
                                                  QStringLiteral("[#TESTVERSION_2] \"FW\",\"144\"")}));
    ASSERT_TRUE(r.Scan());
    IdentitySteps& d = r.st->identitySteps();
    auto& v = r.defs().items.TestVersion;
    r.run().autoAdvance = false;
    d.CheckFirmware(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Firmware 1: okay"));
    EXPECT_EQ(v[1].Measured, 143);
    EXPECT_EQ(v[1].Result, 1);
    EXPECT_TRUE(r.run().autoAdvance);
    d.CheckFirmware(2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Firmware 2: FEHLER, falsche Version: 143"));
    EXPECT_EQ(v[2].Result, 0);
    // A sensor that does not answer: the sample read before does not pass for this one.
    ASSERT_TRUE(r.st->acquisition().Current().Valid);
    r.sensor().faults.mute = true;
    d.CheckFirmware(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Kontrolle Firmware 1: FEHLER, keine Messung"));
    EXPECT_EQ(v[1].Result, 0);
    // The same for the request itself: a failed one leaves no valid sample.
    r.sensor().faults.mute = false;
    ASSERT_TRUE(r.st->acquisition().GetMeasValues());
    ASSERT_TRUE(r.st->acquisition().Current().Valid);
    r.sensor().faults.mute = true;
    EXPECT_FALSE(r.st->acquisition().GetMeasValues());
    EXPECT_FALSE(r.st->acquisition().Current().Valid);
    EXPECT_EQ(+r.st->acquisition().Current().Signal, -1);
    // Not defined: passed over.
    const size_t said = r.host.comments.size();
    d.CheckFirmware(3);
    EXPECT_EQ(r.host.comments.size(), said);
}

TEST(IdentitySteps, ParameterFileProgrammedWithItsTagAndExtraWord)
{
    StationRig r(
        Definition(QStringLiteral("1"), {QStringLiteral("[#DATEI_PAR_1] \"Par\",\"QVR05_V123.hex\""),
                                         QStringLiteral("[#DATEI_PAR_2] \"Par\",\"missing_V200.hex\"")}));
    ASSERT_TRUE(r.Scan());
    r.WriteParameterFile(QStringLiteral("QVR05_V123.hex"), 0x1234);
    IdentitySteps& d = r.st->identitySteps();
    auto& f = r.defs().items.ParFile;
    r.run().autoAdvance = false;
    d.SetParameters(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Parameter 1: okay"));
    EXPECT_EQ(f[1].MeasuredText, QStringLiteral("123"));
    EXPECT_EQ(f[1].Measured, 0x1234);
    EXPECT_EQ(f[1].Result, 1);
    EXPECT_TRUE(r.run().autoAdvance);
    // The block and its word are in the sensor's parameter page.
    const auto& flash = r.sensor().bootLoader().flash();
    const size_t page = size_t(r.session.sensor.ParAddr);
    EXPECT_EQ(flash[page + 510] | (flash[page + 511] << 8), 0x1234);
    EXPECT_TRUE(std::equal(r.st->params().edit.bytes.begin(), r.st->params().edit.bytes.end(),
                           flash.begin() + long(page)));
    d.SetParameters(2);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Parameter 2: FEHLER bei Import"));
    EXPECT_EQ(f[2].Result, 0);
    // A sensor that does not answer is not programmed.
    r.sensor().faults.mute = true;
    d.SetParameters(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Parameter 1: FEHLER beim Programmieren"));
    EXPECT_EQ(f[1].Result, 0);
}

TEST(IdentitySteps, VariantYearAndSerialNumberWrittenIntoTheSensor)
{
    StationRig r(Definition(QStringLiteral("3"), {QStringLiteral("[#VARIANTE_1] \"Var\",\"100\""),
                                                  QStringLiteral("[#VARIANTE_2] \"Var\",\"7\"")}));
    ASSERT_TRUE(r.Scan());
    ASSERT_TRUE(r.session.sensor.Has(app::Cap::WriteSerial));
    auto& it = r.defs().items;
    it.SerialNo.Measured = 123456;
    it.ManuYear.Measured = 26;
    IdentitySteps& d = r.st->identitySteps();
    r.run().autoAdvance = false;
    d.SetIdentVar(1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Setze Ident 1: okay"));
    EXPECT_TRUE(r.Said(QStringLiteral("Setze Ident ...")));
    EXPECT_EQ(it.Variant[1].Measured, 0);
    EXPECT_EQ(it.Variant[1].MeasuredText, QStringLiteral("??"));
    EXPECT_EQ(it.Variant[1].Result, 1);
    EXPECT_TRUE(r.run().autoAdvance);
    const FlashIdent written = IdentInFlash(r);
    EXPECT_EQ(written.model, 0);
    EXPECT_EQ(written.year, 26);
    EXPECT_EQ(written.serial, 23456);
}

TEST(IdentitySteps, VariantZeroAndTheTextOfAGoodOne)
{
    StationRig r(Definition(QStringLiteral("3"), {QStringLiteral("[#VARIANTE_1] \"Var\",\"0\""),
                                                  QStringLiteral("[#VARIANTE_2] \"Var\",\"7\"")}));
    ASSERT_TRUE(r.Scan());
    auto& it = r.defs().items;
    it.SerialNo.Measured = 1001;
    it.ManuYear.Measured = 25;
    IdentitySteps& d = r.st->identitySteps();
    d.SetIdentVar(1);
    EXPECT_EQ(it.Variant[1].Measured, 0);
    EXPECT_EQ(it.Variant[1].MeasuredText, QStringLiteral("??"));
    EXPECT_EQ(IdentInFlash(r).model, 0);
    // The identification bytes take a write only where they are blank: the second one fails
    // on the simulated flash, as on a real one, and says so.
    d.SetIdentVar(2);
    EXPECT_EQ(it.Variant[2].Measured, 7);
    EXPECT_EQ(it.Variant[2].MeasuredText, QStringLiteral("7"));
    EXPECT_EQ(r.LastComment(), QStringLiteral("Setze Ident 2: FEHLER beim Schreiben"));
    EXPECT_EQ(it.Variant[2].Result, 0);
}

TEST(IdentitySteps, IdentityPassedOverWithoutTheCapability)
{
    StationRig r(Definition(QStringLiteral("3"), {QStringLiteral("[#VARIANTE_1] \"Var\",\"3\"")}),
                 QStringLiteral("tk33,unit=good,key=5020130"), 7);
    ASSERT_TRUE(r.Scan());
    ASSERT_FALSE(r.session.sensor.Has(app::Cap::WriteSerial));
    const size_t said = r.host.comments.size();
    r.run().autoAdvance = false;
    r.st->identitySteps().SetIdentVar(1);
    EXPECT_TRUE(r.run().autoAdvance);
    EXPECT_EQ(r.host.comments.size(), said);
    EXPECT_EQ(r.defs().items.Variant[1].Result, -1);
}

TEST(IdentitySteps, CalibrationBlockFromParameterFile1)
{
    StationRig r(Definition(QStringLiteral("9"), {QStringLiteral("[#DATEI_PAR_1] \"Par\",\"CAL_V001.hex\"")}),
                 QStringLiteral("tk33,unit=good,caloffset=144"));
    ASSERT_TRUE(r.Scan());
    r.session.sensor.CalOffset = 144;
    r.session.sensor.Cal = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 0};
    r.WriteParameterFile(QStringLiteral("CAL_V001.hex"), 0x0001, true);
    r.session.sensor.Cal.fill(0);
    r.run().autoAdvance = false;
    r.st->identitySteps().SetCalBlock();
    EXPECT_EQ(r.LastComment(), QStringLiteral("Cal wird gesetzt: okay"));
    EXPECT_EQ(r.defs().data.CalResult, 1);
    EXPECT_TRUE(r.run().autoAdvance);
    const auto& flash = r.sensor().bootLoader().flash();
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(flash[size_t(144 + i)], 10 * (i + 1)) << i;
}

TEST(IdentitySteps, CalibrationPassedOverWithoutABlockButAdvances)
{
    StationRig r(
        Definition(QStringLiteral("9"), {QStringLiteral("[#DATEI_PAR_1] \"Par\",\"CAL_V001.hex\"")}));
    ASSERT_TRUE(r.Scan());
    r.run().autoAdvance = false;
    r.st->identitySteps().SetCalBlock();
    EXPECT_EQ(r.LastComment(), QStringLiteral("Setze Cal ..."));
    EXPECT_TRUE(r.run().autoAdvance);
    EXPECT_EQ(r.defs().data.CalResult, -1);
}

TEST(IdentitySteps, RestartSentOrNot)
{
    StationRig r(Definition(QStringLiteral("1"), {}));
    ASSERT_TRUE(r.Scan());
    r.run().autoAdvance = false;
    r.st->identitySteps().BootRestart();
    EXPECT_EQ(r.LastComment(), QStringLiteral("Neustart: okay"));
    EXPECT_TRUE(r.run().autoAdvance);
    EXPECT_EQ(r.bench().trace().CountIn(proto::cmd::Restart, sim::Unit::Sensor), 1);
    // The link gone: the restart cannot be sent.
    r.st->link().CloseAll();
    r.run().autoAdvance = false;
    r.st->identitySteps().BootRestart();
    EXPECT_EQ(r.LastComment(), QStringLiteral("FEHLER beim Neustart"));
    EXPECT_FALSE(r.run().autoAdvance);
}

namespace {
int PanelTexts(const StationRig& r, const QString& prefix)
{
    int n = 0;
    for (const QString& t : r.host.panel1Log)
        n += t.startsWith(prefix) ? 1 : 0;
    return n;
}
} // namespace

TEST(IdentitySteps, BootModeStartedPingedAndIdentified)
{
    StationRig r(Definition(QStringLiteral("24"), {QStringLiteral("[#BOOTVERSION_1] \"Boot\",\"3\""),
                                                   QStringLiteral("[#BOOTVERSION_2] \"Boot\",\"4\"")}));
    ASSERT_TRUE(r.Scan());
    IdentitySteps& d = r.st->identitySteps();
    auto& trace = r.bench().trace();
    r.run().autoAdvance = false;
    d.StartCheckBootMode(0x1A00, 1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Start Boot 1: okay"));
    EXPECT_EQ(r.defs().items.BootVersion[1].Measured, 3);
    EXPECT_EQ(r.defs().items.BootVersion[1].Result, 1);
    EXPECT_TRUE(r.run().autoAdvance);
    EXPECT_EQ(trace.CountIn(proto::cmd::StartBoot, sim::Unit::Sensor), 1);
    EXPECT_EQ(trace.CountIn(proto::cmd::Ping, sim::Unit::BootLoader), 1);
    EXPECT_TRUE(r.sensor().InBootLoader());
    d.StartCheckBootMode(0x1A00, 2);
    EXPECT_EQ(r.LastComment(),
              QStringLiteral("Start Boot 2: FEHLER, falsche Bootversion: 3! Richtiges Gerät???"));
    EXPECT_EQ(r.defs().items.BootVersion[2].Result, 0);
    d.StartCheckBootMode(0x0C00, 1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Start Boot 1: FEHLER, falsche Bootadresse: 1A00"));
    EXPECT_EQ(r.defs().items.BootVersion[1].Result, 0);
}

TEST(IdentitySteps, UnansweredBootStartGoesStraightToTheIdentification)
{
    StationRig r(Definition(QStringLiteral("24"), {QStringLiteral("[#BOOTVERSION_1] \"Boot\",\"3\"")}));
    ASSERT_TRUE(r.Scan());
    r.st->link().CloseAll();
    r.host.panel1Log.clear();
    r.st->identitySteps().StartCheckBootMode(0x1A00, 1);
    // One start, no ping, no further attempts: the identification was asked at once.
    EXPECT_EQ(PanelTexts(r, r.session.Msg(272)), 1);
    EXPECT_EQ(PanelTexts(r, r.session.Msg(260)), 0);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Start Boot 1: FEHLER beim Lesen BootIdent"));
    EXPECT_EQ(r.defs().items.BootVersion[1].Result, 0);
}
