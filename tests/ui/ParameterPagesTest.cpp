// The settings pages typed into as the user does: every edit applies its rule to the edit block
// and the refresh shows the stored value back.
#include "UiHarness.h"

#include "lang/Messages.h"
#include "ui/FormWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;
namespace Par = vmx::sensor::Par;

namespace {

void Choose(Harness& h, int key)
{
    h.Act(QStringLiteral("MIVersion_%1").arg(key).toLatin1().constData())->trigger();
}

void ShowPage(Harness& h, const char* sub)
{
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSSET"));
    h.Find<QTabWidget>("PCSet")->setCurrentWidget(h.Find<QWidget>(sub));
}

// Types `text` into the edit as the user does and presses Enter.
void Type(Harness& h, const char* name, const QString& text)
{
    auto* e = h.Find<QLineEdit>(name);
    ASSERT_TRUE(e->isVisible()) << name;
    ASSERT_TRUE(e->isEnabled()) << name;
    e->setFocus();
    ASSERT_EQ(h.form->focusWidget(), e) << name;
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    if (!text.isEmpty()) QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}

QString Text(Harness& h, const char* name)
{
    return h.Find<QLineEdit>(name)->text();
}

} // namespace

TEST(ParameterPages, GateBeginWithCommaSendPulseOffAndIncrementClamp)
{
    Harness h;
    TMainForm& f = h.StartShown();
    ShowPage(h, "TSSet2"); // row 0 (V1.4x) has the V1.40 page
    sensor::ParameterBlock& b = f.station().params().edit;

    Type(h, "EGateBegin2", QStringLiteral("1,0"));
    EXPECT_EQ(b.GateBegin(), 8);
    EXPECT_EQ(Text(h, "EGateBegin2"), QStringLiteral("1.1"));

    Type(h, "EAmplIncrement2", QStringLiteral("600"));
    EXPECT_EQ(b.AmplIncrement(), 65535);
    EXPECT_EQ(Text(h, "EAmplIncrement2"), QStringLiteral("500.0"));
    EXPECT_TRUE(h.Find<QLineEdit>("EAmplIncrement2")->toolTip().startsWith(QStringLiteral("int. = 65535\n")));

    ShowPage(h, "TSSet3");
    Type(h, "ESendPulse", QStringLiteral("0"));
    EXPECT_EQ(b.SendPulse(), 0);
    EXPECT_EQ(Text(h, "ESendPulse"), QStringLiteral("OFF"));
    // Text that is no number keeps the stored value.
    Type(h, "ESendPulse", QStringLiteral("4"));
    const quint8 four = b.SendPulse();
    EXPECT_EQ(four, 32); // (4 - 0.08) * 8.166 = 32.01
    Type(h, "ESendPulse", QStringLiteral("abc"));
    EXPECT_EQ(b.SendPulse(), four);
    EXPECT_EQ(Text(h, "ESendPulse"), QStringLiteral("4.0"));

    // Leaving an edit commits it the same way as Enter.
    auto* e = h.Find<QLineEdit>("EAmplMaxUpLimit");
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, QStringLiteral("999"));
    h.Find<QLineEdit>("EBubbleFactor")->setFocus();
    EXPECT_EQ(b.AmplMaxUpLimit(), 255);
    EXPECT_EQ(Text(h, "EAmplMaxUpLimit"), QStringLiteral("255"));
}

TEST(ParameterPages, ServiceModeTimeBelowTheLimitShowsNoLimit)
{
    Harness h;
    TMainForm& f = h.StartShown();
    Choose(h, 5030201); // QVR05.30 V2.01: bit 12 enables the service-mode time
    ShowPage(h, "TSSet3");
    Type(h, "EServiceModeTime", QStringLiteral("3"));
    // 3 s * 0.25 stores 1, which the refresh turns into 0.
    EXPECT_EQ(f.station().params().edit.ServiceModeTime(), 0);
    EXPECT_EQ(Text(h, "EServiceModeTime"), lang::Msg(400, 0));
    Type(h, "EServiceModeTime", QStringLiteral("100"));
    EXPECT_EQ(f.station().params().edit.ServiceModeTime(), 25);
    EXPECT_EQ(Text(h, "EServiceModeTime"), QStringLiteral("100"));
}

TEST(ParameterPages, GainTestCellsClampAndEmptyIsZero)
{
    Harness h;
    TMainForm& f = h.StartShown();
    ShowPage(h, "TSSet3");
    auto* grid = h.Find<QTableWidget>("StGainTest");
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("140"));
    EXPECT_EQ(grid->item(1, 4)->text(), QStringLiteral("000"));
    EXPECT_EQ(f.StGainTestGetEditMask(1, 1), QStringLiteral("000;0"));
    EXPECT_TRUE(f.StGainTestGetEditMask(0, 1).isEmpty());
    EXPECT_FALSE(grid->item(0, 1)->flags() & Qt::ItemIsEditable);

    // Typed into the cell editor: the mask takes three digits, 300 is stored as 255.
    grid->setFocus();
    grid->setCurrentCell(2, 3);
    grid->editItem(grid->item(2, 3));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->inputMask().isEmpty());
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("300"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor hands its text over after the key
    EXPECT_EQ(f.station().params().edit.Byte(32 + 6 * 1 + 2), 255);
    EXPECT_EQ(grid->item(2, 3)->text(), QStringLiteral("255"));

    // An emptied cell stores 0 once another cell is selected.
    grid->item(3, 2)->setText(QString());
    grid->setCurrentCell(4, 4);
    EXPECT_EQ(f.station().params().edit.Byte(32 + 6 * 2 + 1), 0);
    EXPECT_EQ(grid->item(3, 2)->text(), QStringLiteral("000"));
}

TEST(ParameterPages, BubbleTableSizesThatDecreaseShowTheError)
{
    Harness h;
    TMainForm& f = h.StartShown();
    ShowPage(h, "TSSet2");
    auto* err = h.Find<QLabel>("LBubbleTabErr");
    EXPECT_EQ(err->text(), QStringLiteral("--> okay"));
    EXPECT_TRUE(err->styleSheet().contains(QStringLiteral("green")));
    // Row 0 is fixed at 0, row 7 at 8.0 mm.
    EXPECT_EQ(Text(h, "EBubbleTab_0_0"), QStringLiteral("0.0"));
    EXPECT_EQ(Text(h, "EBubbleTab_7_0"), QStringLiteral("8.0"));
    EXPECT_TRUE(h.Find<QLineEdit>("EBubbleTab_0_0")->isReadOnly());

    Type(h, "EBubbleTab_1_0", QStringLiteral("1,0"));
    Type(h, "EBubbleTab_2_0", QStringLiteral("0.5"));
    EXPECT_EQ(f.station().params().edit.BubbleSize(1), 10);
    EXPECT_EQ(f.station().params().edit.BubbleSize(2), 5);
    EXPECT_EQ(err->text(), QStringLiteral("--> ") + lang::Msg(134, 0));
    EXPECT_TRUE(err->styleSheet().contains(QStringLiteral("red")));

    Type(h, "EBubbleTab_2_0", QStringLiteral("1.2"));
    EXPECT_EQ(err->text(), QStringLiteral("--> okay"));

    // Percentages and values of the alarm row.
    Type(h, "EBubbleTab_8_2", QStringLiteral("33"));
    EXPECT_EQ(f.station().params().edit.BubblePercent(8), 84); // 33 * 2.55 = 84.15
    EXPECT_EQ(Text(h, "EBubbleTab_8_2"), QStringLiteral("32.9"));
    Type(h, "EBubbleTab_8_1", QStringLiteral("300"));
    EXPECT_EQ(f.station().params().edit.BubbleValue(8), 241);
    EXPECT_EQ(Text(h, "EBubbleTab_8_0"), lang::Msg(458, 0));
}

TEST(ParameterPages, SecurityListShowsAndWritesTheByteAndItsInverse)
{
    Harness h;
    TMainForm& f = h.StartShown();
    ShowPage(h, "TSSet3");
    auto* list = h.Find<QListWidget>("CBLSecurity");
    ASSERT_EQ(list->count(), 7);
    EXPECT_EQ(f.station().params().edit.Security(), 0x16);
    EXPECT_EQ(f.station().params().edit.SecurityInv(), 0xE9);
    std::vector<int> checked;
    for (int k = 0; k < list->count(); ++k)
        if (list->item(k)->checkState() == Qt::Checked) checked.push_back(k);
    EXPECT_EQ(checked, (std::vector<int>{1, 2, 4})); // RAM, CPU and gain test

    list->item(0)->setCheckState(Qt::Checked); // as a click on the box does
    EXPECT_EQ(f.station().params().edit.Security(), 0x17);
    EXPECT_EQ(f.station().params().edit.SecurityInv(), 0xE8);
    list->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(f.station().params().edit.Security(), 0x13);
    EXPECT_EQ(f.station().params().edit.SecurityInv(), 0xEC);
}

TEST(ParameterPages, PanelsToggleTheirBitsAndShowColourAndLevel)
{
    Harness h;
    TMainForm& f = h.StartShown();
    Choose(h, 5011131); // V1.31: the older page with the LED and output groups
    ShowPage(h, "TSSet1");
    sensor::ParameterBlock& b = f.station().params().edit;
    auto* start = h.Find<TPanel>("PCfgLED03"); // start "auto"
    EXPECT_EQ(start->text(), QStringLiteral("AUTO"));
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(b.Byte(Par::StartCfg) & 0x08, 0);
    EXPECT_TRUE(start->text().isEmpty());

    auto* liquidGreen = h.Find<TPanel>("PCfgLED10");
    EXPECT_TRUE(liquidGreen->styleSheet().contains(QStringLiteral("background")));
    QTest::mouseClick(liquidGreen, Qt::LeftButton);
    EXPECT_EQ(b.LiquidOutCfg(), 0);
    EXPECT_FALSE(liquidGreen->styleSheet().contains(QStringLiteral("background")));

    auto* errorLevel = h.Find<TPanel>("PCfgOut3"); // tag 34
    EXPECT_EQ(errorLevel->text(), QStringLiteral("H"));
    QTest::mouseClick(errorLevel, Qt::LeftButton);
    EXPECT_EQ(b.ErrorOutCfg(), 4);
    EXPECT_EQ(errorLevel->text(), QStringLiteral("L"));
    // Output bytes have no "auto" bit: no panel stands for it.
    EXPECT_EQ(f.findChild<TPanel*>(QStringLiteral("PCfgLED13")), nullptr);

    // The output table on the V1.40 page: masked with 0x17 after the toggle.
    Choose(h, 5028143);
    ShowPage(h, "TSSet2");
    f.station().params().edit.SetBubbleOut(3, 0x1F);
    f.UpdateDialog();
    auto* level = h.Find<TPanel>("PBubbleTab_3_0"); // tag 134
    EXPECT_EQ(level->text(), QStringLiteral("H"));
    QTest::mouseClick(level, Qt::LeftButton);
    EXPECT_EQ(f.station().params().edit.BubbleOut(3), 0x07);
    EXPECT_EQ(level->text(), QStringLiteral("L"));
}

TEST(ParameterPages, ListsCheckBoxesAndTheStartConfiguration)
{
    Harness h;
    TMainForm& f = h.StartShown();
    sensor::ParameterBlock& b = f.station().params().edit;
    // Standard set: bubble averaging 0x31 -> index 3 with M, zero averaging 225 -> index 14 with M.
    EXPECT_EQ(h.Find<QComboBox>("CBBubbleAvg2")->currentIndex(), 3);
    EXPECT_TRUE(h.Find<QCheckBox>("ChBBubbleAvgM2")->isChecked());
    EXPECT_EQ(h.Find<QComboBox>("CBZeroAvg")->currentIndex(), 14);
    EXPECT_EQ(h.Find<QComboBox>("CBBurstCt")->currentIndex(), 5);
    EXPECT_EQ(h.Find<QComboBox>("CBInitInterval")->currentIndex(), 6); // 12 -> "1s"
    EXPECT_EQ(h.Find<QComboBox>("CBStartCfg")->currentIndex(), 0);

    auto* avg = h.Find<QComboBox>("CBBubbleAvg2");
    avg->setCurrentIndex(7);
    f.EditChange(avg);
    EXPECT_EQ(b.Byte(Par::BubbleAvg), 0x71);
    EXPECT_EQ(h.Find<QComboBox>("CBBubbleAvg")->currentIndex(), 7);
    h.Find<QCheckBox>("ChBBurst")->click();
    EXPECT_EQ(b.Byte(Par::Burst), 0x50);

    // Below 12 is kept while the start is no test-input mode.
    auto* cfg = h.Find<QComboBox>("CBInitInterval");
    cfg->setCurrentIndex(2); // "0.05s" = 8
    f.EditChange(cfg);
    EXPECT_EQ(b.InitInterval(), 8);
    b.SetStartCfgMode(5); // a test-input start mode clamps it to 12..21
    f.UpdateDialog();
    EXPECT_EQ(b.InitInterval(), 12);
    EXPECT_EQ(cfg->currentIndex(), 6);

    // The start configuration mode list and its labels.
    auto* mode = h.Find<QComboBox>("CBStartCfgMode");
    EXPECT_EQ(mode->count(), 11);
    EXPECT_EQ(mode->currentIndex(), 5);
    EXPECT_EQ(h.Find<QLabel>("LMSerialModeIn2")->text(), lang::Msg(429, 0));
    EXPECT_EQ(h.Find<QLabel>("LMSerialModeOut2")->text(), lang::Msg(431, 0));
}

TEST(ParameterPages, SerialModeListFollowsTheTypeAndIsClamped)
{
    Harness h;
    TMainForm& f = h.Start();
    auto* serial = h.Find<QComboBox>("CBMSerialMode");
    EXPECT_EQ(serial->count(), 11); // row 0: bit 16
    serial->setCurrentIndex(9);
    f.EditChange(serial);
    EXPECT_EQ(h.Find<QLabel>("LMSerialModeIn")->text(), lang::Msg(474, 0));
    Choose(h, 5011131); // five modes
    EXPECT_EQ(serial->count(), 5);
    EXPECT_EQ(serial->currentIndex(), 4);
    EXPECT_EQ(h.Find<QLabel>("LMSerialModeIn")->text(), lang::Msg(428, 0));
    EXPECT_EQ(h.Find<QLabel>("LMSerialModeOut")->text(), lang::Msg(431, 0));
}

TEST(ParameterPages, OlderTypesClearTheNewerFieldsAndLeaveTheSecondSetAlone)
{
    Harness h;
    TMainForm& f = h.Start();
    Choose(h, 5011131);
    const sensor::ParameterBlock& b = f.station().params().edit;
    for (int i = Par::BubbleTab; i <= Par::InputCfg; ++i)
        EXPECT_EQ(b.Byte(i), 0xFF) << i;
    EXPECT_EQ(b.Byte(Par::Burst), 0xFF); // no bit 14
    // Filled once by the V1.40 type and not refilled since: still the old text.
    EXPECT_EQ(Text(h, "EBubbleTab_3_0"), QStringLiteral("3.6"));
    EXPECT_EQ(Text(h, "EGateBegin"), Text(h, "EGateBegin2"));
}

TEST(ParameterPages, StandardRestoresTheStandardBlock)
{
    Harness h;
    TMainForm& f = h.StartShown();
    ShowPage(h, "TSSet3");
    Type(h, "EBubbleFactor", QStringLiteral("12"));
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 12);
    h.Act("ALSetStandard")->trigger();
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 5);
    EXPECT_EQ(Text(h, "EBubbleFactor"), QStringLiteral("5"));
    EXPECT_EQ(Text(h, "ECRC"), QStringLiteral("$FFFF"));
}

TEST(ParameterPages, ScaleAndThresholdEditsAreLimited)
{
    Harness h;
    TMainForm& f = h.StartShown();
    Type(h, "EMaxBubble", QStringLiteral("10"));
    EXPECT_EQ(Text(h, "EMaxBubble"), QStringLiteral("64"));
    Type(h, "ENThr", QStringLiteral("300"));
    EXPECT_EQ(Text(h, "ENThr"), QStringLiteral("250"));
    Type(h, "EBubbleTestTime", QStringLiteral("999"));
    EXPECT_EQ(Text(h, "EBubbleTestTime"), QStringLiteral("250"));
    EXPECT_EQ(Text(h, "EBubbleTestTime2"), QStringLiteral("250"));
    (void)f;
}
