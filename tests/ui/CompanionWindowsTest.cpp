// The log window and the mode dialog.
#include "UiHarness.h"

#include "lang/Messages.h"
#include "ui/PWForm.h"
#include "ui/StateForm.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

void Fill(TStateForm& log, int count)
{
    for (int i = 0; log.LineCount() < count; ++i)
        log.AddMessage(QStringLiteral("m%1").arg(i));
}

bool TabShown(Harness& h, const char* page)
{
    auto* t = h.Find<QTabWidget>("PC1");
    return t->isTabVisible(t->indexOf(h.Find<QWidget>(page)));
}

} // namespace

TEST(LogWindow, WarnsOnceWhenTheTenThousandthMessageArrives)
{
    TStateForm log([](int i) { return lang::Msg(i, 0); }, nullptr);
    Fill(log, 9999);
    EXPECT_EQ(log.LineCount(), 9999);
    log.AddMessage(QStringLiteral("the 10000th"));
    ASSERT_EQ(log.LineCount(), 10001);
    const QStringList lines = log.Lines();
    EXPECT_EQ(lines[9999], QStringLiteral("the 10000th"));
    EXPECT_EQ(lines[10000], lang::Msg(342, 0));
    log.AddMessage(QStringLiteral("next"));
    log.AddMessage(QStringLiteral("and next"));
    EXPECT_EQ(log.LineCount(), 10003);
    EXPECT_EQ(log.Lines().count(lang::Msg(342, 0)), 1);
}

TEST(LogWindow, MessageAfterMoreThanTwentyThousandLinesClearsTheLog)
{
    TStateForm log([](int i) { return lang::Msg(i, 1); }, nullptr);
    Fill(log, 20000);
    log.AddMessage(QStringLiteral("line 20001")); // 20000 lines are not yet too many
    EXPECT_EQ(log.LineCount(), 20001);
    log.AddMessage(QStringLiteral("after the limit"));
    EXPECT_EQ(log.Lines(),
              (QStringList{QStringLiteral("Status field was cleared!"), QStringLiteral("after the limit")}));
    // A dialog line break inside a message stays on its line.
    log.AddMessage(QStringLiteral("two\rparts"));
    EXPECT_EQ(log.LineCount(), 3);
}

TEST(LogWindow, CloseBoxUnchecksTheMenuItemAndTheLinesStay)
{
    Harness h;
    TMainForm& f = h.Start();
    QAction* item = h.Act("MIOptMessageWindow");
    item->trigger();
    TStateForm* log = f.StateForm();
    ASSERT_FALSE(log->isHidden());
    EXPECT_EQ(log->windowTitle(), QStringLiteral("Statusmeldungen"));
    f.PanelText(1, QStringLiteral("kept"));
    const QStringList before = log->Lines();
    EXPECT_EQ(before.last(), QStringLiteral("kept"));
    log->close();
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(log->isHidden());
    item->trigger();
    EXPECT_FALSE(log->isHidden());
    EXPECT_EQ(log->Lines(), before);
    // Panel 0 and 2 texts do not go to the log.
    f.PanelText(0, QStringLiteral("COM9"));
    EXPECT_EQ(log->Lines(), before);
}

TEST(ModeDialog, ServiceCodeWithEnterConfirmsWaitsAndShowsTheBootPage)
{
    Harness h;
    TMainForm& f = h.Start();
    TPWForm* pw = f.PWForm();
    EXPECT_TRUE(pw->isHidden());
    h.Act("MIChangeMode")->trigger();
    ASSERT_FALSE(pw->isHidden());
    auto* edit = pw->findChild<QLineEdit*>(QStringLiteral("EPassword"));
    auto* prompt = pw->findChild<QLabel*>(QStringLiteral("LPW1"));
    edit->setText(QStringLiteral("6874"));
    const qint64 t0 = h.clock.NowMs();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(prompt->text(), QStringLiteral("Gewählter Mode: Service"));
    EXPECT_GE(h.clock.NowMs() - t0, 1000); // the pause to read it
    EXPECT_TRUE(pw->isHidden());
    EXPECT_TRUE(f.session().mode.Service);
    EXPECT_FALSE(f.session().mode.Manufacturer);
    EXPECT_TRUE(TabShown(h, "TSBoot"));
    EXPECT_FALSE(TabShown(h, "TSTest"));
    EXPECT_TRUE(h.Find<QMenu>("MIBootMenu")->menuAction()->isVisible());
}

TEST(ModeDialog, ManufacturerAddsTheTestPageAndStandardHidesBoth)
{
    Harness h;
    TMainForm& f = h.Start();
    TPWForm* pw = f.PWForm();
    auto* edit = pw->findChild<QLineEdit*>(QStringLiteral("EPassword"));
    auto* ok = pw->findChild<QPushButton*>(QStringLiteral("BTPWOK"));
    h.Act("MIChangeMode")->trigger();
    edit->setText(QStringLiteral("9684"));
    ok->click();
    EXPECT_TRUE(f.session().mode.Manufacturer);
    EXPECT_TRUE(TabShown(h, "TSBoot"));
    EXPECT_TRUE(TabShown(h, "TSTest"));
    EXPECT_TRUE(h.Act("MITest")->isVisible());
    EXPECT_TRUE(h.Find<QWidget>("EIdSN")->isEnabled()); // row 0 has bit 17

    h.Act("MIChangeMode")->trigger();
    edit->setText(QStringLiteral("5185"));
    ok->click();
    EXPECT_FALSE(f.session().mode.Service);
    EXPECT_FALSE(f.session().mode.Manufacturer);
    EXPECT_FALSE(TabShown(h, "TSBoot"));
    EXPECT_FALSE(TabShown(h, "TSTest"));
    EXPECT_FALSE(h.Act("MITest")->isVisible());
    EXPECT_FALSE(h.Find<QWidget>("EIdSN")->isEnabled());
}

TEST(ModeDialog, OpensWithStarsThatTheFocusEmpties)
{
    Harness h;
    TMainForm& f = h.Start();
    TPWForm* pw = f.PWForm();
    auto* edit = pw->findChild<QLineEdit*>(QStringLiteral("EPassword"));
    auto* prompt = pw->findChild<QLabel*>(QStringLiteral("LPW1"));
    h.Act("MIChangeMode")->trigger();
    EXPECT_EQ(edit->text(), QStringLiteral("*****"));
    EXPECT_EQ(prompt->text(), QStringLiteral("Zum Wechsel des Mode -> Passwort eingeben:"));
    QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(edit, &in);
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(pw->windowTitle(), QStringLiteral("Mode wechseln"));
    EXPECT_EQ(pw->size(), QSize(408, 136));
}

TEST(ModeDialog, WrongCodeStaysOpenAndChangesNothing)
{
    Harness h;
    TMainForm& f = h.Start();
    TPWForm* pw = f.PWForm();
    auto* edit = pw->findChild<QLineEdit*>(QStringLiteral("EPassword"));
    auto* prompt = pw->findChild<QLabel*>(QStringLiteral("LPW1"));
    h.Act("MIChangeMode")->trigger();
    const qint64 t0 = h.clock.NowMs();
    edit->setText(QStringLiteral("6874 ")); // a trailing blank is wrong
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(prompt->text(), QStringLiteral("Sorry, das Passwort ist nicht richtig!"));
    EXPECT_TRUE(prompt->styleSheet().contains(QLatin1String("red")));
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_FALSE(pw->isHidden());
    EXPECT_FALSE(f.session().mode.Service);
    EXPECT_FALSE(TabShown(h, "TSBoot"));
    EXPECT_EQ(h.clock.NowMs(), t0); // no delay
    // Cancel leaves the mode as it is.
    pw->findChild<QPushButton*>(QStringLiteral("BTPWCancel"))->click();
    EXPECT_TRUE(pw->isHidden());
    EXPECT_FALSE(f.session().mode.Service);
}
