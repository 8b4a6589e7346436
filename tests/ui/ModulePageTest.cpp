// The "Prüfmittel" page driven by its buttons against a simulated TK33 with a sensor behind
// it: identification, power with its font colours, a C2 write and verify of the sensor's
// flash, a PIC read into the edits; the page is kept as a picture.
#include "UiHarness.h"

#include "sim/Bench.h"
#include "sim/Profile.h"

#include "TestPaths.h"
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

void Tk33(Harness& h, const char* words = "tk33,stream=none")
{
    std::vector<sim::ConverterSpec> converters;
    QString error;
    ASSERT_TRUE(sim::ParseProfile(QString::fromLatin1(words), converters, error)) << error.toStdString();
    h.links.simConverters = converters;
}

void Click(Harness& h, const char* name)
{
    h.Find<QAbstractButton>(name)->click();
}

QString Panel1(Harness& h)
{
    return h.form->PanelTextOf(1); // the whole text; the panel may show it shortened
}

} // namespace

TEST(ModulePage, ButtonsIdentifySwitchProgramAndReadThroughTheModule)
{
    testpaths::ArtefactDir();
    Harness h;
    Tk33(h);
    TMainForm& f = h.StartShown();
    auto* pc1 = h.Find<QTabWidget>("PC1");
    pc1->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSTK33"));
    // Every group of the page is there.
    for (const char* g : {"GBTK_SerialIF", "GBTK_QVR02", "GBTK_QVRxx", "GBTK_SiLab", "GBTK_PIC"})
        EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(g)), nullptr) << g;
    // The window shows what the core holds: both words erased, so "Schreiben" refuses at once.
    EXPECT_EQ(h.Find<QLineEdit>("ETK_PICOsc")->text(), QStringLiteral("$FFF"));
    EXPECT_EQ(h.Find<QLineEdit>("ETK_PICConfig")->text(), f.station().pic().configEdit);
    EXPECT_EQ(h.Find<QLineEdit>("ETK_PICOsc")->text(), f.station().pic().oscEdit);
    Click(h, "BTPICProgWrite");
    EXPECT_EQ(Panel1(h), QStringLiteral("Schreibe PIC: Fehler, OSCCAL=$FFFF nicht plausibel!"));
    EXPECT_EQ(h.Find<QCheckBox>("CBxTKPICwriteOsc")->toolTip(),
              QStringLiteral("löschen und schreiben inklusive dem Backup-Wert von OSCCAL"));

    Click(h, "BTTK33GetIdent");
    EXPECT_EQ(Panel1(h), QStringLiteral("Lese Ident: TK33 - QVR05/06 / FW: V2.10"));

    sim::Bench& bench = *f.station().link().OpenSimBench();
    Click(h, "BTSwitchPowerQVR"); // on
    EXPECT_TRUE(h.Act("ALSwitchPowerQVR")->isChecked());
    EXPECT_EQ(h.Find<QToolButton>("BTSwitchPowerQVR")->property("fontColour").toString(),
              QStringLiteral("#ff0000"));
    EXPECT_TRUE(bench.module()->sensorPower());

    // C2: init, erase, write the code image 0 .. BootAddr + 511, verify.
    const auto code = f.station().images().Image(boot::KindCode);
    for (quint32 a = 0; a < 0x1C00; ++a)
        code[a] = quint8(a * 3 + 1);
    Click(h, "BTSiLabInit");
    Click(h, "BTSiLabDeviceErase");
    Click(h, "BTSiLabWriteBlock");
    EXPECT_EQ(Panel1(h), QStringLiteral("Schreibe Flash: ") +
                             lang::FormatMsg(h.form->session().Msg(302), 0, 0x1BFF) +
                             h.form->session().Msg(250));
    const auto& flash = bench.sensor().bootLoader().flash();
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0x1C00, flash.begin()));
    Click(h, "BTSiLabVerify");
    EXPECT_TRUE(Panel1(h).startsWith(QStringLiteral("Vergleiche Flash: "))) << Panel1(h).toStdString();
    EXPECT_TRUE(Panel1(h).endsWith(h.form->session().Msg(250)));

    Click(h, "BTPICProgRead");
    EXPECT_EQ(h.Find<QLineEdit>("ETK_PICOsc")->text(), QStringLiteral("$C24"));
    EXPECT_EQ(Panel1(h), QStringLiteral("Lese PIC: CONFIG = $FFF, OSCCAL = $C24"));
    EXPECT_FALSE(h.Act("ALSwitchPICProg")->isChecked()); // the voltage went off again

    // The green LED panel toggles and the module follows.
    QTest::mouseClick(h.Find<QLabel>("PTKLEDgreen"), Qt::LeftButton);
    EXPECT_FALSE(h.Find<QLabel>("PTKLEDgreen")->property("lit").toBool());
    EXPECT_EQ(bench.module()->leds(), 2);

    f.resize(1040, 700);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("module-page.png"))));
}
