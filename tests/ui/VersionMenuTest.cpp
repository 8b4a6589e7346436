// The version menu as the window builds it, and what the chosen type and mode switch.
#include "UiHarness.h"

#include "app/SensorTypes.h"
#include "lang/Messages.h"
#include "ui/FormWidgets.h"

#include <QCheckBox>
#include <QMenu>
#include <QTabWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

QMenu* VersionMenu(Harness& h)
{
    return h.Find<QMenu>("MIVersion");
}

// The menu as lines in the form `vmxctl types --menu` prints it.
QStringList MenuLines(QMenu* m)
{
    QStringList out;
    for (QAction* a : m->actions()) {
        if (a->isSeparator()) {
            out << QStringLiteral("-");
            continue;
        }
        out << a->menu()->title();
        for (QAction* it : a->menu()->actions())
            out << (it->isChecked() ? QStringLiteral("*  ") : QStringLiteral("  ")) + it->text();
    }
    return out;
}

QStringList DataLines(const app::VersionFilter& f, int checkedKey)
{
    QStringList out;
    for (const app::VersionMenuEntry& e : app::BuildVersionMenu(f)) {
        if (e.Separator) {
            out << QStringLiteral("-");
            continue;
        }
        out << e.Caption;
        for (const app::VersionMenuItem& it : e.Items)
            out << (it.Key == checkedKey ? QStringLiteral("*  ") : QStringLiteral("  ")) + it.Caption;
    }
    return out;
}

void Choose(Harness& h, int key)
{
    h.Act(QStringLiteral("MIVersion_%1").arg(key).toLatin1().constData())->trigger();
}

bool TabShown(Harness& h, const char* tabs, const char* page)
{
    auto* t = h.Find<QTabWidget>(tabs);
    return t->isTabVisible(t->indexOf(h.Find<QWidget>(page)));
}

} // namespace

TEST(VersionMenu, UnfilteredMenuHasEveryGroupSeparatorAndItemInCatalogueOrder)
{
    Harness h;
    h.Start();
    QMenu* m = VersionMenu(h);
    int groups = 0, separators = 0, items = 0;
    for (QAction* a : m->actions()) {
        if (a->isSeparator())
            ++separators;
        else {
            ASSERT_NE(a->menu(), nullptr);
            ++groups;
            items += int(a->menu()->actions().size());
        }
    }
    EXPECT_EQ(groups, 29);
    EXPECT_EQ(separators, 8);
    EXPECT_EQ(items, 54);
    EXPECT_EQ(h.form->VersionItems().size(), 54);

    QMenu* first = m->actions().first()->menu();
    EXPECT_EQ(first->title(), QStringLiteral("QVRxx.xx"));
    QStringList firstItems;
    for (QAction* a : first->actions())
        firstItems << a->text();
    EXPECT_EQ(firstItems,
              (QStringList{QStringLiteral("V1.4x"), QStringLiteral("V1.3x"), QStringLiteral("V1.2x")}));

    // Type 8 is followed by a separator and a second group of type 5.
    const QList<QAction*> entries = m->actions();
    int last08 = -1;
    for (int i = 0; i < entries.size(); ++i)
        if (!entries[i]->isSeparator() && entries[i]->menu()->title() == QLatin1String("QVR08.11"))
            last08 = i;
    ASSERT_GE(last08, 0);
    ASSERT_LT(last08 + 2, entries.size());
    EXPECT_TRUE(entries[last08 + 1]->isSeparator());
    EXPECT_EQ(entries[last08 + 2]->menu()->title(), QStringLiteral("WSK01.xx"));

    // The window shows what the command line lists, the check mark included.
    EXPECT_EQ(MenuLines(m), DataLines(app::VersionFilter{}, 143));
    // Radio items carrying their key as tag.
    for (QAction* a : h.form->VersionItems()) {
        EXPECT_TRUE(a->isCheckable());
        EXPECT_GE(app::LastRowWithKey(Tag(a)), 0);
    }
}

TEST(VersionMenu, ShowVersionFilterRestrictsTheMenuAndTheStart)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nSHOWVERSION 05050***\n"));
    h.Start();
    const app::VersionFilter f{5, 50, -1};
    EXPECT_EQ(MenuLines(VersionMenu(h)), DataLines(f, -1));
    ASSERT_EQ(h.form->VersionItems().size(), 3);
    // Row 0 is filtered out: nothing is checked, and row 0 is still the current type.
    EXPECT_EQ(h.form->CheckedVersionItem(), nullptr);
    EXPECT_EQ(h.form->session().sensor.Row, 0);
    EXPECT_EQ(h.form->windowTitle(), lang::Msg(2, 0) + QStringLiteral("QVRxx.xx"));

    Choose(h, 5050143);
    EXPECT_EQ(h.form->session().sensor.Row, 17);
    EXPECT_EQ(Tag(h.form->CheckedVersionItem()), 5050143);
}

TEST(VersionMenu, ConfiguredTypeIsCheckedAndUnknownTypeFallsBackToRowZero)
{
    Harness h;
    h.WriteIni(QStringLiteral("[DEVICE]\nIDENTCODE=20\nTYPE=5\nSUBTYPE=28\nFIRMWARE=143\n"));
    h.Start();
    EXPECT_EQ(Tag(h.form->CheckedVersionItem()), 5028143);
    EXPECT_EQ(h.form->session().sensor.Row, 8);
    EXPECT_EQ(h.form->PanelTextOf(1), QStringLiteral("Sensor: QVR05.28, Version: V1.43"));

    Harness u;
    u.WriteIni(QStringLiteral("[DEVICE]\nTYPE=77\nSUBTYPE=x\n"));
    u.Start();
    EXPECT_EQ(Tag(u.form->CheckedVersionItem()), 143);
    EXPECT_EQ(u.form->session().sensor.Row, 0);
}

TEST(VersionSelection, ChoosingAVersionAppliesItAndResetsTheIdentification)
{
    Harness h;
    h.Start();
    h.form->session().sensor.SerialNo = 1234;
    Choose(h, 5028143);
    EXPECT_EQ(h.form->session().sensor.Row, 8);
    EXPECT_EQ(h.form->session().sensor.SerialNo, 0xFFFF);
    EXPECT_EQ(h.form->PanelTextOf(1), QStringLiteral("Sensor: QVR05.28, Version: V1.43"));
    int checked = 0;
    for (QAction* a : h.form->VersionItems())
        checked += a->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);
    // Choosing the checked item again keeps it checked.
    Choose(h, 5028143);
    EXPECT_EQ(Tag(h.form->CheckedVersionItem()), 5028143);
}

TEST(VersionSelection, OldestQvr06DisablesSettingsIdentAndAmplifierControl)
{
    Harness h;
    h.Start();
    Choose(h, 5011131); // QVR05.11/.12 V1.31, flags 0x00DBF: all of it on
    EXPECT_TRUE(h.Act("ALSetMode")->isEnabled());
    EXPECT_TRUE(TabShown(h, "PC1", "TSIdent"));
    EXPECT_TRUE(h.Act("ALAmplDec")->isVisible());
    EXPECT_FALSE(h.Find<QWidget>("BTAmplDec")->isHidden());

    Choose(h, 6000110); // QVR06.xx, V1.10 .. V1.13, flags 0x00809
    EXPECT_FALSE(h.Act("ALSetMode")->isEnabled());
    EXPECT_FALSE(h.Find<QAction>("MISetMode")->isEnabled());
    EXPECT_FALSE(TabShown(h, "PC1", "TSIdent"));
    EXPECT_FALSE(h.Act("ALGetIdent")->isEnabled());
    EXPECT_FALSE(h.Act("ALAmplDec")->isVisible());
    for (const char* n : {"BTAmplDec", "EAmplDecTemp", "LAmplDec"})
        EXPECT_TRUE(h.Find<QWidget>(n)->isHidden()) << n;
    EXPECT_EQ(h.form->windowTitle(), lang::Msg(1, 0) + QStringLiteral("QVR06.xx"));
    // Bit 3 is set: the LED group works; bit 5 clear: no bubble test.
    EXPECT_TRUE(h.Find<QWidget>("GBLED")->isEnabled());
    EXPECT_FALSE(h.Act("ALBubbleTest")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("EBubbleTestTime")->isEnabled());
}

TEST(VersionSelection, LedColoursFollowTheAutoBoxAndTheLedBit)
{
    Harness h;
    h.Start();
    auto* autoBox = h.Find<QCheckBox>("CBLEDauto");
    autoBox->setChecked(true);
    h.form->UpdateVersion();
    EXPECT_TRUE(autoBox->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("CBLEDgreen")->isEnabled());
    autoBox->click(); // unchecked by the user
    EXPECT_TRUE(h.Find<QWidget>("CBLEDgreen")->isEnabled());
    EXPECT_TRUE(h.Find<QWidget>("CBLEDblue")->isEnabled());

    Choose(h, 5020122); // flags 0x00839: bit 3 set
    EXPECT_TRUE(h.Find<QWidget>("CBLEDred")->isEnabled());
    Choose(h, 5011131); // 0x00DBF: bit 3 set
    EXPECT_TRUE(h.Find<QWidget>("GBLED")->isEnabled());
    Choose(h, 16000124); // 0x00833: bit 3 clear
    EXPECT_FALSE(h.Find<QWidget>("GBLED")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("CBLEDauto")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("CBLEDgreen")->isEnabled());
}

TEST(VersionSelection, SerialNumberEditsFollowManufacturerModeAndBit17)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURER\n"));
    h.Start();
    const char* edits[] = {"EIdSN", "EIdYear", "CBIdModel", "BTIdClearSN"};
    // Row 0 has bit 17.
    for (const char* n : edits)
        EXPECT_TRUE(h.Find<QWidget>(n)->isEnabled()) << n;
    EXPECT_TRUE(h.Act("ALSetIdSN")->isEnabled());
    Choose(h, 130); // V1.3x, 0x009BF: no bit 17
    for (const char* n : edits)
        EXPECT_FALSE(h.Find<QWidget>(n)->isEnabled()) << n;
    EXPECT_FALSE(h.Act("ALSetIdSN")->isEnabled());
    Choose(h, 5028143); // 0x3E9B7: bit 17 again
    for (const char* n : edits)
        EXPECT_TRUE(h.Find<QWidget>(n)->isEnabled()) << n;

    // Service mode never opens them.
    Harness s;
    s.WriteIni(QStringLiteral("[SETTINGS]\nMODE=SERVICE\n"));
    s.Start();
    for (const char* n : edits)
        EXPECT_FALSE(s.Find<QWidget>(n)->isEnabled()) << n;
}

TEST(VersionSelection, Generation0530ShowsServiceAndCalibrationAndLocksOutputGroups)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=SERVICE\n"));
    h.Start();
    EXPECT_TRUE(h.Find<QWidget>("GBIdService")->isHidden());
    EXPECT_FALSE(h.Act("MIStartService")->isVisible());
    EXPECT_FALSE(h.Find<QWidget>("EServiceModeTime")->isEnabled());
    EXPECT_TRUE(h.Find<QWidget>("GBConfig")->isEnabled());

    Choose(h, 5030201);
    EXPECT_FALSE(h.Find<QWidget>("GBIdService")->isHidden());
    EXPECT_TRUE(h.Act("MIStartService")->isVisible());
    EXPECT_FALSE(h.Find<QWidget>("GBIdCal")->isHidden());
    EXPECT_FALSE(h.Find<QWidget>("ChBIdExImCal")->isHidden());
    EXPECT_TRUE(h.Find<QWidget>("EServiceModeTime")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("GBConfig")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("GBLEDCfg")->isEnabled());
    // Setting and clearing the calibration is the manufacturer's.
    for (const char* n : {"BTIdSetCal", "BTIdClearCal", "StGCal"})
        EXPECT_TRUE(h.Find<QWidget>(n)->isHidden()) << n;
    h.form->session().mode = app::FlagsFor(app::ModeKind::Manufacturer);
    h.form->UpdateVersion();
    for (const char* n : {"BTIdSetCal", "BTIdClearCal", "StGCal"})
        EXPECT_FALSE(h.Find<QWidget>(n)->isHidden()) << n;
    // Bit 12 without bit 13: old settings page, gain test off, the two limits on.
    EXPECT_TRUE(TabShown(h, "PCSet", "TSSet1"));
    EXPECT_FALSE(TabShown(h, "PCSet", "TSSet2"));
    EXPECT_FALSE(h.Find<QWidget>("CBGainTest")->isEnabled());
    EXPECT_TRUE(h.Find<QWidget>("EMaxDiff")->isEnabled());
}

TEST(VersionSelection, Generation140ShowsTheSecondSettingsPage)
{
    Harness h;
    h.Start();
    // Row 0 (V1.4x) has bit 13.
    auto* pcSet = h.Find<QTabWidget>("PCSet");
    EXPECT_TRUE(TabShown(h, "PCSet", "TSSet2"));
    EXPECT_FALSE(TabShown(h, "PCSet", "TSSet1"));
    EXPECT_EQ(pcSet->currentWidget(), h.Find<QWidget>("TSSet2"));
    EXPECT_TRUE(h.Find<QWidget>("BTSetGainTest")->isEnabled());
    EXPECT_TRUE(h.Find<QWidget>("EExtResetTime")->isEnabled()); // bit 16
    Choose(h, 130);                                             // V1.3x: 0x009BF
    EXPECT_EQ(pcSet->currentWidget(), h.Find<QWidget>("TSSet1"));
    EXPECT_FALSE(h.Find<QWidget>("BTSetGainTest")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("EMaxDiff")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("EExtResetTime")->isEnabled());
    EXPECT_TRUE(h.Find<QWidget>("BTTKSwitchIF")->isHidden());
    Choose(h, 8010143); // 0x729B7: bit 18, the channel button
    EXPECT_FALSE(h.Find<QWidget>("BTTKSwitchIF")->isHidden());
}
