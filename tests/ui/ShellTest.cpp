// The window's own commands: shortcuts, pages, Enter, link state at start, help, closing.
#include "UiHarness.h"

#include "app/Session.h"
#include "lang/Messages.h"
#include "sim/Bench.h"
#include "ui/FormWidgets.h"
#include "ui/StateForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <map>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

QWidget* Current(Harness& h)
{
    return h.Find<QTabWidget>("PC1")->currentWidget();
}

} // namespace

TEST(Shortcuts, EachKeyIsHeldByTheOneObjectTheTableNames)
{
    Harness h;
    h.Start();
    const std::map<QString, QKeySequence> table = {
        {"MIHelpDoc", QKeySequence(Qt::Key_F1)},
        {"ALGetIdent", QKeySequence(Qt::Key_F2)},
        {"ALStart", QKeySequence(Qt::Key_F3)},
        {"ALResetUSB", QKeySequence(Qt::Key_F4)},
        {"ALNext", QKeySequence(Qt::Key_F6)},
        {"ALPrior", QKeySequence(Qt::CTRL | Qt::Key_F6)},
        {"ALShowMonitor", QKeySequence(Qt::Key_F8)},
        {"ALPause", QKeySequence(Qt::Key_F9)},
        {"ALEnd", QKeySequence(Qt::Key_F10)},
        {"ALStop", QKeySequence(Qt::Key_Escape)},
        {"ALClear", QKeySequence(Qt::ALT | Qt::Key_Delete)},
        {"ALResetQVR", QKeySequence(Qt::ALT | Qt::Key_R)},
        {"ALSetMode", QKeySequence(Qt::ALT | Qt::Key_S)},
        {"ALBubbleTest", QKeySequence(Qt::ALT | Qt::Key_T)},
        {"ALPowerOn", QKeySequence(Qt::ALT | Qt::Key_Q)},
        {"ALAmplDec", QKeySequence(Qt::ALT | Qt::Key_Y)},
        {"MIStartService", QKeySequence(Qt::ALT | Qt::Key_V)},
        {"MIBoot", QKeySequence(Qt::ALT | Qt::Key_B)},
        {"MIDownload", QKeySequence(Qt::ALT | Qt::Key_D)},
        {"MITest", QKeySequence(Qt::ALT | Qt::Key_C)},
        {"ALReadParameter", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"ALWriteParameter", QKeySequence(Qt::CTRL | Qt::Key_W)},
        {"ALVerifyParameter", QKeySequence(Qt::CTRL | Qt::Key_E)},
    };
    std::map<QString, QString> holder;
    for (QAction* a : h.form->findChildren<QAction*>()) {
        if (a->shortcut().isEmpty()) continue;
        const QString key = a->shortcut().toString();
        EXPECT_TRUE(holder.emplace(key, a->objectName()).second)
            << key.toStdString() << " on " << a->objectName().toStdString() << " and "
            << holder[key].toStdString();
    }
    EXPECT_EQ(holder.size(), table.size());
    for (const auto& [name, key] : table)
        EXPECT_EQ(holder[key.toString()], name) << name.toStdString();
    // Menu items of actions show the action's key beside the caption.
    EXPECT_EQ(h.Act("MIStart")->text(),
              QStringLiteral("START\t") + QKeySequence(Qt::Key_F3).toString(QKeySequence::NativeText));
}

TEST(Shortcuts, F8TogglesBetweenMonitorAndTable)
{
    Harness h;
    TMainForm& f = h.StartShown();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSMonitor"));
    QTest::keyClick(&f, Qt::Key_F8);
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSTable"));
    QTest::keyClick(&f, Qt::Key_F8);
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSMonitor"));
    // From any other page F8 goes to the monitor.
    QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSSET"));
    QTest::keyClick(&f, Qt::Key_F8);
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSMonitor"));
}

TEST(Shortcuts, F1OpensTheHelpDocumentOfTheActiveLanguage)
{
    Harness h;
    TMainForm& f = h.StartShown();
    QTest::keyClick(&f, Qt::Key_F1);
    ASSERT_EQ(h.opened.size(), 1u);
    EXPECT_EQ(h.opened[0].toLocalFile(),
              QDir(h.dir.path()).filePath(QStringLiteral("Doc/HelpOverviewD.htm")));
    h.Act("MILEn")->trigger();
    QTest::keyClick(&f, Qt::Key_F1);
    ASSERT_EQ(h.opened.size(), 2u);
    EXPECT_EQ(h.opened[1].toLocalFile(),
              QDir(h.dir.path()).filePath(QStringLiteral("Doc/HelpOverviewE.htm")));
    // The opener failed (no such document): nothing is said.
    EXPECT_TRUE(h.questions.size() == 1u); // only the start's "no interface" warning
}

TEST(EnterKey, CommitsTheFocusedEditOnceAndNothingElse)
{
    Harness h;
    TMainForm& f = h.StartShown();
    QSignalSpy spy(&f, &TMainForm::editChanged);
    auto* edit = h.Find<QLineEdit>("EBubbleTestTime");
    // The edit is disabled for row 0? Bit 5 is set there, so it takes the focus.
    ASSERT_TRUE(edit->isEnabled());
    edit->setFocus();
    ASSERT_EQ(f.focusWidget(), edit);
    const int before = f.EditChangeCount();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(f.EditChangeCount(), before + 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<QObject*>(), edit);
    QTest::keyClick(edit, Qt::Key_Enter); // the keypad's Enter as well
    EXPECT_EQ(f.EditChangeCount(), before + 2);

    // Leaving the edit commits it the same way.
    auto* box = h.Find<QCheckBox>("ChBPowerOnAutoMon");
    box->setFocus();
    EXPECT_EQ(f.EditChangeCount(), before + 3);
    EXPECT_EQ(spy.last().at(0).value<QObject*>(), edit);

    // Enter on a check box, a list or a button does nothing.
    QTest::keyClick(box, Qt::Key_Return);
    auto* combo = h.Find<QComboBox>("CBMSerialMode");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Return);
    auto* tabs = h.Find<QTabWidget>("PC1");
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Return);
    EXPECT_EQ(f.EditChangeCount(), before + 3);
}

TEST(EnterKey, CommitsTheGainTestGridFromItsCellEditor)
{
    Harness h;
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSSET"));
    h.Find<QTabWidget>("PCSet")->setCurrentWidget(h.Find<QWidget>("TSSet3"));
    auto* grid = h.Find<QTableWidget>("StGainTest");
    grid->setCurrentCell(1, 1);
    grid->setFocus();
    QSignalSpy spy(&f, &TMainForm::editChanged);
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<QObject*>(), grid);
}

TEST(EnterKey, NothingHappensWhileTheWindowIsHidden)
{
    Harness h;
    TMainForm& f = h.Start();
    h.Find<QLineEdit>("ENThr")->setFocus();
    const int before = f.EditChangeCount();
    f.TestFocusChanged();
    EXPECT_EQ(f.EditChangeCount(), before);
}

TEST(Link, NoLinkAtStartWarnsOnceAndLeavesStartAndStopDisabled)
{
    Harness h;
    TMainForm& f = h.Start();
    EXPECT_EQ(f.portName(), QStringLiteral("nix"));
    EXPECT_FALSE(h.Act("ALStart")->isEnabled());
    EXPECT_FALSE(h.Act("ALStop")->isEnabled());
    EXPECT_FALSE(h.Act("MIStart")->isEnabled());
    EXPECT_FALSE(h.Find<QWidget>("BTStart")->isEnabled());
    ASSERT_EQ(h.questions.size(), 1u);
    EXPECT_EQ(h.questions[0].Icon, app::AskIcon::Warning);
    EXPECT_EQ(h.questions[0].Buttons, app::AskButtons::Ok);
    EXPECT_EQ(h.questions[0].Text, QStringLiteral("Keine Schnittstelle verfügbar"));
    EXPECT_TRUE(h.Find<QMenu>("MIInterfaceSelect")->actions().isEmpty());
    EXPECT_EQ(f.PanelTextOf(2), QStringLiteral("V01.50.12.09/ 23.06.2014"));
    EXPECT_EQ(f.PanelTextOf(1), QStringLiteral("Sensor: QVRxx.xx, Version: V1.4x"));
    EXPECT_TRUE(h.Act("ALPowerOn")->isChecked());
    EXPECT_TRUE(h.Act("ALSwitchRTS")->isChecked());
    EXPECT_EQ(h.Act("ALSwitchRTS")->text(), QStringLiteral("PC <-> QVR"));
}

// A pseudo-terminal stands in for a serial port: the program opens it like any COM port.
struct Pty {
    int master = -1;
    QString path;
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            path = QString::fromLatin1(ptsname(master));
    }
    ~Pty()
    {
        if (master >= 0) close(master);
    }
};

TEST(Link, ConverterFirstThenSerialPortAndResetUsb)
{
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    Harness h;
    h.links.extraPorts << pty.path;
    vmx::sim::ConverterSpec broken;
    broken.serial = QStringLiteral("VMXS9005");
    broken.description = QStringLiteral("VMX Sim Data Converter");
    broken.openable = false; // listed by the driver, cannot be opened: no menu item
    h.links.simConverters = {vmx::sim::ConverterSpec{}, broken};
    TMainForm& f = h.Start();
    EXPECT_TRUE(h.questions.empty());
    EXPECT_EQ(f.portName(), QStringLiteral("USB1"));
    EXPECT_EQ(f.PanelTextOf(0), QStringLiteral("USB1: VMX Sim Line Adapter 007 / SN: VMXS9007"));
    EXPECT_TRUE(h.Act("ALStart")->isEnabled());
    EXPECT_FALSE(h.Act("ALStop")->isEnabled());
    QList<QAction*> items = h.Find<QMenu>("MIInterfaceSelect")->actions();
    ASSERT_EQ(items.size(), 2);
    // The converter with its description and serial number, as the status bar names it.
    EXPECT_EQ(items[0]->text(), QStringLiteral("USB1: VMX Sim Line Adapter 007 / SN: VMXS9007"));
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("MILink_USB1"));
    EXPECT_EQ(Tag(items[0]), 1001);
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_EQ(items[1]->text(), pty.path);

    // Choosing the serial port opens it; the converter's check mark goes.
    items[1]->trigger();
    EXPECT_EQ(f.portName(), pty.path);
    items = h.Find<QMenu>("MIInterfaceSelect")->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_EQ(f.PanelTextOf(0), pty.path);

    // Reset USB finds the same links again and prefers the converter.
    h.Act("ALResetUSB")->trigger();
    EXPECT_EQ(f.portName(), QStringLiteral("USB1"));
    EXPECT_TRUE(h.Act("ALStart")->isEnabled());
    EXPECT_FALSE(h.Act("ALStop")->isEnabled());
    EXPECT_TRUE(h.questions.empty());
}

TEST(Link, ProtocolSwitchesFollowMonitorIniAndTheMenu)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\r\nWITHACK=OFF\r\nWITHFRAMECRC=ON\r\n"));
    TMainForm& f = h.Start();
    link::FrameProtocol& fp = f.station().link().protocol();
    EXPECT_FALSE(fp.WithAck());
    EXPECT_TRUE(fp.WithAnswer());
    EXPECT_TRUE(fp.WithFrameCrc());
    h.Act("MIWithAnswer")->trigger();
    EXPECT_FALSE(fp.WithAnswer());
    h.Act("MIWithACK")->trigger();
    EXPECT_TRUE(fp.WithAck());
}

TEST(Link, PingThroughTheWindowsLink)
{
    Harness h;
    vmx::sim::ConverterSpec polled;
    polled.sensor.mode = 3; // answers polls, streams nothing
    h.links.simConverters = {polled};
    TMainForm& f = h.Start();
    ASSERT_EQ(f.portName(), QStringLiteral("USB1"));
    EXPECT_TRUE(f.station().link().protocol().SendReceiveCommand(1, 0x29, 5, 1, f.session().Msg(260)));
    EXPECT_EQ(f.PanelTextOf(1), QStringLiteral("Ping: alles okay"));
    // The frame went out byte for byte through the simulated converter.
    const auto in = f.station().link().OpenSimBench()->trace().Of(vmx::sim::Dir::In, vmx::sim::Unit::Sensor);
    ASSERT_FALSE(in.empty());
    EXPECT_EQ(in.back().bytes, QByteArray::fromHex("f10005291e"));
}

TEST(Link, RoutingControlsFollowTheirCommands)
{
    Harness h;
    h.Start();
    QAction* rts = h.Act("ALSwitchRTS");
    rts->trigger(); // unchecks
    EXPECT_FALSE(rts->isChecked());
    EXPECT_EQ(rts->text(), QStringLiteral("PC <-> TK"));
    rts->trigger();
    EXPECT_EQ(rts->text(), QStringLiteral("PC <-> QVR"));
    // Radio button tags: Master 1, Slave 0, RS232 2.
    h.Find<QRadioButton>("RBTK_IF2")->click();
    EXPECT_TRUE(h.Find<QRadioButton>("RBTK_IF2")->isChecked());
    EXPECT_FALSE(h.form->SwitchSerialIF(0));
    EXPECT_TRUE(h.Find<QRadioButton>("RBTK_IF1")->isChecked());
    h.form->SwitchSerialIF(1);
    EXPECT_TRUE(h.Find<QRadioButton>("RBTK_IF0")->isChecked());
}

TEST(Pages, ViewCommandsShowTheirPages)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURE\n"));
    h.Start();
    h.Act("ALSetMode")->trigger();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSSET"));
    h.Act("MITest")->trigger();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSTest"));
    h.Act("MIDownload")->trigger();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSBoot"));
    h.Act("ALShowMonitor")->trigger();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSMonitor"));
    h.Act("MIBoot")->trigger();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSBoot"));
    h.Find<QPushButton>("BTShowMonitor")->click();
    EXPECT_EQ(Current(h), h.Find<QWidget>("TSMonitor"));
}

TEST(Pages, HelpButtonTogglesTheHelpTextAndItsCaption)
{
    Harness h;
    h.Start();
    auto* memo = h.Find<QPlainTextEdit>("MemoHelp");
    auto* button = h.Find<QPushButton>("BTStGridHelp");
    EXPECT_TRUE(memo->isHidden());
    EXPECT_EQ(button->text(), QStringLiteral("Hilfe ein"));
    button->click();
    EXPECT_FALSE(memo->isHidden());
    EXPECT_EQ(button->text(), QStringLiteral("Hilfe aus"));
    // A language switch keeps the state and names it in the new language.
    h.Act("MILEn")->trigger();
    EXPECT_EQ(button->text(), QStringLiteral("Help OFF"));
    button->click();
    EXPECT_TRUE(memo->isHidden());
    EXPECT_EQ(button->text(), QStringLiteral("Help ON"));
}

TEST(Pages, StartSetsTheGridsAndTheTestPage)
{
    Harness h;
    h.Start();
    auto* gain = h.Find<QTableWidget>("StGainTest");
    QStringList heads;
    for (int c = 0; c < gain->columnCount(); ++c)
        heads << gain->item(0, c)->text();
    EXPECT_EQ(heads, (QStringList{QStringLiteral("Gain"), QStringLiteral("1¯¯"), QStringLiteral("1__"),
                                  QStringLiteral("2¯¯"), QStringLiteral("2__"), QStringLiteral("3¯¯"),
                                  QStringLiteral("3__")}));
    for (int r = 1; r <= 5; ++r)
        EXPECT_EQ(gain->item(r, 0)->text(), QString::number(r - 1));
    EXPECT_EQ(gain->verticalHeader()->sectionSize(0), 16);
    auto* mv = h.Find<QTableView>("StGMV");
    ASSERT_NE(mv->model(), nullptr);
    EXPECT_EQ(mv->model()->columnCount(), 41);
    EXPECT_EQ(mv->model()->rowCount(), 200); // the units under the row of headings
    EXPECT_EQ(h.form->station().testResults().grid.nextRow, 1);
    EXPECT_EQ(h.Find<QLineEdit>("ETK_PICConfig")->text(), QStringLiteral("$FFF"));
    EXPECT_EQ(h.Find<QTableWidget>("StGStart")->columnWidth(0), 120);
    EXPECT_TRUE(h.form->station().testDefinitions().TestDataSaved);
    EXPECT_EQ(h.form->diagram().image().width(), 740);
    EXPECT_EQ(h.Find<QWidget>("ScrollBar")->width(), 740);
    // Output table: ten rows at their places, panel tags by row and column.
    EXPECT_EQ(h.Find<QWidget>("EBubbleTab_3_1")->geometry(), QRect(60, 90, 43, 19));
    EXPECT_EQ(Tag(h.Find<QObject>("PBubbleTab_3_0")), 134);
    EXPECT_EQ(Tag(h.Find<QObject>("PBubbleTab_3_3")), 132);
    EXPECT_TRUE(h.Find<QLineEdit>("EBubbleTab_7_0")->isReadOnly());
    EXPECT_FALSE(h.Find<QLineEdit>("EBubbleTab_6_0")->isReadOnly());
}

TEST(MessageWindowItem, ShowsAndHidesTheLogWindow)
{
    Harness h;
    TMainForm& f = h.Start();
    QAction* item = h.Act("MIOptMessageWindow");
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(f.StateForm()->isHidden());
    item->trigger();
    EXPECT_TRUE(f.StateForm()->isHidden());
}

TEST(Closing, UnsavedTestDataAsksOnceAndNoClosesWithoutSaving)
{
    Harness h;
    TMainForm& f = h.StartShown();
    QSignalSpy saves(h.Act("ALTestSave"), &QAction::triggered);
    f.station().testDefinitions().TestDataSaved = false;
    h.questions.clear();
    h.answers = {app::AskResult::No};
    EXPECT_TRUE(f.close());
    f.close();
    ASSERT_EQ(h.questions.size(), 1u);
    EXPECT_EQ(h.questions[0].Buttons, app::AskButtons::YesNo);
    EXPECT_EQ(h.questions[0].Text,
              QStringLiteral("Programm wird beendet!\rSollen Daten aus Prüfungen gespeichert werden?"));
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(f.StateForm(), nullptr);
    // Panel 1 still works without the log window.
    f.PanelText(1, QStringLiteral("after the end"));
    EXPECT_EQ(f.PanelTextOf(1), QStringLiteral("after the end"));
}

TEST(Closing, YesSavesAndSavedDataAsksNothing)
{
    Harness h;
    TMainForm& f = h.Start();
    QSignalSpy saves(h.Act("ALTestSave"), &QAction::triggered);
    f.station().testDefinitions().TestDataSaved = false;
    h.questions.clear();
    h.answers = {app::AskResult::Yes};
    h.Act("ALEnd")->trigger();
    EXPECT_EQ(h.questions.size(), 1u);
    EXPECT_EQ(saves.count(), 1);

    Harness s;
    TMainForm& g = s.Start();
    s.questions.clear();
    g.close();
    EXPECT_TRUE(s.questions.empty());
}
