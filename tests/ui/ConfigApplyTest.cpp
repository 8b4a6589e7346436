// What MONITOR.INI sets reaches the window: language, mode, menus, log window.
#include "UiHarness.h"

#include "lang/Messages.h"
#include "ui/StateForm.h"

#include <QTabWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

bool TabShown(Harness& h, const char* page)
{
    auto* t = h.Find<QTabWidget>("PC1");
    return t->isTabVisible(t->indexOf(h.Find<QWidget>(page)));
}

QString CheckedRefresh(Harness& h)
{
    QStringList on;
    for (int tag : {1, 2, 5, 10, 20, 50, 100, 200})
        if (h.Act(QStringLiteral("MIDrawDia_%1").arg(tag).toLatin1().constData())->isChecked())
            on << QString::number(tag);
    return on.join(QLatin1Char(','));
}

} // namespace

TEST(ConfigApplied, MissingFileLeavesEveryDefault)
{
    Harness h;
    TMainForm& f = h.Start();
    EXPECT_EQ(f.session().language(), 0);
    EXPECT_TRUE(h.Act("MILDt")->isChecked());
    EXPECT_EQ(CheckedRefresh(h), QStringLiteral("10"));
    EXPECT_EQ(f.station().settings.refreshDivisor, 10);
    EXPECT_TRUE(h.Act("MIDataOvfStop")->isChecked());
    EXPECT_EQ(f.DataOverflowPolicy(), app::DataOverflow::Stop);
    EXPECT_FALSE(h.Act("MIOptMessageWindow")->isChecked());
    EXPECT_TRUE(f.StateForm()->isHidden());
    EXPECT_FALSE(f.BeeperOn());
    EXPECT_TRUE(h.Act("MIWithACK")->isChecked());
    EXPECT_TRUE(h.Act("MIWithAnswer")->isChecked());
    EXPECT_FALSE(h.Act("MIWithFrameCRC")->isChecked());
    EXPECT_FALSE(f.station().PowerAutomatic());
    // Standard mode: no boot or test page.
    EXPECT_FALSE(TabShown(h, "TSBoot"));
    EXPECT_FALSE(TabShown(h, "TSTest"));
    EXPECT_FALSE(h.Find<QMenu>("MIBootMenu")->menuAction()->isVisible());
    EXPECT_FALSE(h.Act("MITest")->isVisible());
    // The failed reading is in the log window as well.
    EXPECT_TRUE(f.StateForm()->Lines().contains(lang::Msg(319, 0) + QStringLiteral("MONITOR.INI")));
}

TEST(ConfigApplied, EnglishManufacturerAndEveryMenuSetting)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=ENGLISH\nMODE=MANUFACTURE\nREFRESHDIA=50\n"
                              "DATAOVERFLOW=ROLLOVER\nMESSAGEWINDOW=ON\nBEEPER=ON\nWITHACK=OFF\n"
                              "WITHANSWER=OFF\nWITHFRAMECRC=ON\nPOWERAUTO=ON\n"));
    TMainForm& f = h.Start();
    // The first caption update is already English.
    EXPECT_EQ(f.session().language(), 1);
    EXPECT_TRUE(h.Act("MILEn")->isChecked());
    EXPECT_EQ(h.Act("ALEnd")->text(), QStringLiteral("CLOSE"));
    EXPECT_EQ(h.Act("ALStart")->toolTip(), QStringLiteral("Start Measuring"));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Monitor for VELMOTRIX, Type QVRxx.xx"));
    EXPECT_EQ(h.Act("MIBanner")->property("glyph").toString(), QStringLiteral("BANNERD"));
    EXPECT_TRUE(f.StateForm()->Lines().contains(lang::Msg(318, 0) + QStringLiteral("MONITOR.INI")));

    EXPECT_TRUE(TabShown(h, "TSBoot"));
    EXPECT_TRUE(TabShown(h, "TSTest"));
    EXPECT_TRUE(h.Act("MITest")->isVisible());
    EXPECT_TRUE(h.Find<QMenu>("MIBootMenu")->menuAction()->isEnabled());

    EXPECT_EQ(CheckedRefresh(h), QStringLiteral("50"));
    EXPECT_EQ(f.station().settings.refreshDivisor, 50);
    EXPECT_TRUE(h.Act("MIDataOvfRollOver")->isChecked());
    EXPECT_FALSE(h.Act("MIDataOvfStop")->isChecked());
    EXPECT_EQ(f.DataOverflowPolicy(), app::DataOverflow::RollOver);
    EXPECT_TRUE(h.Act("MIOptMessageWindow")->isChecked());
    EXPECT_FALSE(f.StateForm()->isHidden());
    EXPECT_TRUE(f.BeeperOn());
    EXPECT_FALSE(f.WithAck());
    EXPECT_FALSE(f.WithAnswer());
    EXPECT_TRUE(f.WithFrameCRC());
    EXPECT_TRUE(f.station().PowerAutomatic());
}

TEST(ConfigApplied, RefreshValueThatIsNoMenuTagChangesNothing)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nREFRESHDIA=7\nDATAOVERFLOW=RESTART\n"));
    TMainForm& f = h.Start();
    EXPECT_EQ(CheckedRefresh(h), QStringLiteral("10"));
    EXPECT_EQ(f.station().settings.refreshDivisor, 10);
    EXPECT_EQ(f.DataOverflowPolicy(), app::DataOverflow::Restart);
}

TEST(ConfigApplied, ServiceModeShowsBootButNotTest)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=SERVICE\nMESSAGEWINDOW=OFF\n"));
    h.Start();
    EXPECT_TRUE(TabShown(h, "TSBoot"));
    EXPECT_FALSE(TabShown(h, "TSTest"));
    EXPECT_FALSE(h.Act("MITest")->isVisible());
    EXPECT_FALSE(h.Act("MIOptMessageWindow")->isChecked());
}

TEST(ConfigApplied, LanguageOptionOverridesTheFile)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=GERMAN\n"));
    h.options.language = 1;
    TMainForm& f = h.Start();
    EXPECT_EQ(f.session().language(), 1);
    EXPECT_EQ(h.Act("ALEnd")->text(), QStringLiteral("CLOSE"));

    Harness g;
    g.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=ENGLISH\n"));
    g.options.language = 0;
    g.Start();
    EXPECT_EQ(g.Act("ALEnd")->text(), QStringLiteral("ENDE"));
}

TEST(ConfigApplied, NamedParameterFileIsReportedAndStandardValuesStay)
{
    Harness h;
    h.WriteIni(QStringLiteral("[DEVICE]\nPARFILE=QVR.hex\n"));
    TMainForm& f = h.Start();
    const QStringList log = f.StateForm()->Lines();
    EXPECT_TRUE(log.contains(lang::Msg(297, 0) + QStringLiteral("QVR.hex")));
    EXPECT_TRUE(log.contains(lang::Msg(117, 0)));
}

TEST(ConfigApplied, ParameterFileWithASignedAddressDoesNotBreakTheStart)
{
    // "-100" in the address field was read as a negative address and written before the
    // parameter image: the window crashed at every start with this PARFILE.
    Harness h;
    h.WriteIni(QStringLiteral("[DEVICE]\nPARFILE=bad.hex\n"));
    QFile par(h.dir.filePath(QStringLiteral("bad.hex")));
    ASSERT_TRUE(par.open(QIODevice::WriteOnly));
    par.write(
        "[PARAMETER]\r\n[IDENTCODE=20]\r\n[TYPE=05]\r\n[SUBTYPE=28]\r\n[FIRMWARE=143]\r\n[CODE]\r\n"
        ":10-1000000112233445566778899aabbccddeeff00\r\n:0aff-10000112233445566778899\r\n:00000001FF\r\n");
    par.close();
    TMainForm& f = h.Start();
    const QStringList log = f.StateForm()->Lines();
    EXPECT_TRUE(log.contains(lang::Msg(297, 0) + lang::Msg(298, 0) + QStringLiteral(": bad.hex:7")))
        << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(lang::Msg(117, 0)));
    EXPECT_EQ(f.station().params().standard, sensor::StandardParameterBlock());
    EXPECT_EQ(f.station().params().edit.word, f.station().params().standard.word);
}
