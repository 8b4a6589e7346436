// One unit of program 5 walked in the window with F6 against the simulated station, the
// Simulator dock's operator following the prompts: the live values while a preparing step
// waits, the verdict at the end, a picture of each.
#include "UiHarness.h"

#include "sim/Bench.h"
#include "sim/Profile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <map>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

TEST(StepsWindow, Program5UnitWalkedWithF6)
{
    QDir().mkpath(QStringLiteral(VMX_TEST_ARTEFACTS));
    Harness h;
    std::vector<sim::ConverterSpec> converters;
    QString error;
    ASSERT_TRUE(sim::ParseProfile(QStringLiteral("tk33,tube=empty,unit=good"), converters, error));
    h.links.simConverters = converters;
    {
        QFile ini(h.dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        QStringList d = {"[TEST_CONDITION]",
                         "[#QVR_TYP] \"Sensortyp\",\"QVR05\"",
                         "[#ART_PRÜFUNG] \"Prüfung\",\"Amplitudenprüfung\"",
                         "[#PRÜFPROGRAMM] \"Programm\",\"5\"",
                         "[#SN_MIN] \"SN von\",\"1000\"",
                         "[#SN_MAX] \"SN bis\",\"1999\"",
                         "[#TESTVERSION_1] \"Firmware\",\"143\"",
                         "[#VARIANTE_1] \"Variante\",\"3\"",
                         "[#BLASE_1] \"B1\",\"kleine Blasen\"",
                         "[#BLASE_MIN_1] \"min\",\"50\"",
                         "[#BLASE_MAX_1] \"max\",\"150\"",
                         "[#SCHALTAUSGANG_1] \"S1\",\"H\"",
                         "[#SCHALTAUSGANG_2] \"S2\",\"L\""};
        const char* labels[] = {"gefüllter Schlauch", "leerer Schlauch", "Schlauch mit Blasen",
                                "gefüllter Schlauch"};
        for (int n = 1; n <= 4; ++n)
            d << QStringLiteral("[#AMPLITUDE_%1] \"A%1\",\"%2\"").arg(n).arg(QString::fromUtf8(labels[n - 1]))
              << QStringLiteral("[#AMPLITUDE_MIN_%1] \"min\",\"%2\"").arg(n).arg(n == 2 ? 200 : 350)
              << QStringLiteral("[#AMPLITUDE_MAX_%1] \"max\",\"%2\"").arg(n).arg(n == 2 ? 300 : 450);
        ini.write((d.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    }
    TMainForm& f = h.StartShown();
    f.resize(1040, 700);
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    // The Simulator dock's check box lets the operator's hands follow the prompts.
    auto* follows = h.Find<QCheckBox>("ChBSimOperator");
    ASSERT_NE(follows, nullptr);
    follows->click();
    ASSERT_TRUE(f.station().simulatedOperator);
    QTest::keyClicks(h.Find<QLineEdit>("EditSN"), QStringLiteral("1000"));
    QApplication::setActiveWindow(&f);

    prodtest::TestRun& run = f.station().testRun();
    // The window's timer, on the virtual clock: the operator watches the live values.
    auto settle = [&] {
        for (int t = 0; t < 1200; t += 10) {
            h.clock.SleepMs(10);
            f.station().Tick();
            QCoreApplication::processEvents();
        }
    };
    bool pictured = false;
    bool backed = false;
    QString verdict;
    for (int press = 0; press < 60; ++press) {
        settle();
        if (run.TestStep == 10 && !pictured) {
            // Ampl Test 1 prepared: its prompt and the live values of the filled tube.
            EXPECT_EQ(h.Find<QLabel>("LComment")->text(),
                      QStringLiteral("Ampl Test 1: gefüllter Schlauch, (Ampl= 350..450)"));
            EXPECT_TRUE(h.Find<QLabel>("LTestSum")
                            ->text()
                            .contains(QRegularExpression(QStringLiteral("^SIGNAL:  3\\d\\d$"))))
                << h.Find<QLabel>("LTestSum")->text().toStdString();
            EXPECT_TRUE(h.Find<QLabel>("LTestVersion")->text().endsWith(QLatin1String("143")));
            // The dock shows the tube the hands put in.
            EXPECT_TRUE(h.Find<QRadioButton>("RBSimTubeFilled")->isChecked());
            EXPECT_TRUE(f.grab().save(QStringLiteral(VMX_TEST_ARTEFACTS "/steps-preparing.png")));
            pictured = true;
        }
        // One ZURÜCK on the way: the step before runs again, as a second attempt.
        if (run.TestStep == 10 && pictured && !backed) {
            backed = true;
            run.ALPriorExecute();
            settle();
        }
        const int before = run.TestStep;
        QTest::keyClick(&f, Qt::Key_F6);
        ASSERT_NE(run.TestStep, before) << "F6 ran the next step";
        if (run.lastRoutine() == QLatin1String("CommentResult")) {
            verdict = h.Find<QLineEdit>("EditComment")->text();
            QCoreApplication::processEvents();
            EXPECT_TRUE(f.grab().save(QStringLiteral(VMX_TEST_ARTEFACTS "/steps-verdict.png")));
        }
        if (run.TestStep == 0) break;
    }
    EXPECT_TRUE(pictured);
    EXPECT_EQ(run.TestStep, 0);
    EXPECT_EQ(verdict, QStringLiteral("okay"));
    EXPECT_EQ(f.station().testDefinitions().items.Ampl[3].Result, -1) << "reset for the next unit";
    EXPECT_EQ(f.station().testResults().grid.Cell(1, 0), QStringLiteral("1"));

    // The unit is in the history beside the program: the "Historie" page finds it by its serial
    // number, with its step attempts (the repeated ones twice) and the measurements' limits.
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSHistory"));
    h.Find<QLineEdit>("EHistSN")->setText(QStringLiteral("1000"));
    h.Find<QPushButton>("BTHistSearch")->click();
    auto* runs = h.Find<QTableWidget>("StGHistRuns");
    ASSERT_EQ(runs->rowCount(), 1);
    EXPECT_EQ(runs->item(0, 2)->text(), QStringLiteral("1000"));
    EXPECT_EQ(runs->item(0, 4)->text(), QStringLiteral("okay"));
    auto* steps = h.Find<QTableWidget>("StGHistSteps");
    std::map<QString, int> attempts;
    for (int r = 0; r < steps->rowCount(); ++r)
        attempts[steps->item(r, 0)->text()] =
            std::max(attempts[steps->item(r, 0)->text()], steps->item(r, 1)->text().toInt());
    EXPECT_EQ(attempts[QStringLiteral("9")], 2);
    EXPECT_EQ(attempts[QStringLiteral("10")], 2);
    EXPECT_EQ(attempts[QStringLiteral("11")], 1);
    auto* meas = h.Find<QTableWidget>("StGHistMeas");
    bool ampl = false;
    for (int r = 0; r < meas->rowCount(); ++r)
        if (meas->item(r, 0)->text() == QLatin1String("Ampl 1")) {
            ampl = true;
            EXPECT_EQ(meas->item(r, 2)->text(), QStringLiteral("350"));
            EXPECT_EQ(meas->item(r, 3)->text(), QStringLiteral("450"));
        }
    EXPECT_TRUE(ampl);
}

TEST(StepsWindow, ShieldJudgedWithTheTwoRadioButtons)
{
    Harness h;
    {
        QFile ini(h.dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                                 "[#PRÜFPROGRAMM] \"Programm\",\"9\"\r\n[#SN_MIN] \"SN von\",\"1000\"\r\n"
                                 "[#SN_MAX] \"SN bis\",\"1999\"\r\n")
                      .toUtf8());
    }
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    prodtest::TestRun& run = f.station().testRun();
    // Step 3 shows the choice with "Widerstand > 3 Ohm" preselected.
    run.TestStep = 3;
    run.ControlProgress();
    QCoreApplication::processEvents();
    auto* ok = h.Find<QRadioButton>("RBShieldOK");
    auto* nok = h.Find<QRadioButton>("RBShieldNOK");
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(nok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("Widerstand 0 .. 3 Ohm"));
    EXPECT_EQ(nok->text(), QStringLiteral("Widerstand > 3 Ohm"));
    EXPECT_TRUE(ok->isVisible());
    EXPECT_TRUE(nok->isChecked());
    EXPECT_EQ(h.Find<QLabel>("LComment")->text(),
              QStringLiteral("Messung Widerstand: Steckergehäuse <--> Sensorboden"));
    // The operator measured 0.4 Ohm: step 4 passes, the buttons go.
    ok->click();
    run.ALNextExecute();
    EXPECT_EQ(f.station().testDefinitions().data.ShieldResult, 1);
    EXPECT_FALSE(ok->isVisible());
    // Left at the preselection it fails.
    run.TestStep = 3;
    run.ControlProgress();
    EXPECT_TRUE(nok->isChecked());
    run.ALNextExecute();
    EXPECT_EQ(f.station().testDefinitions().data.ShieldResult, 0);
    EXPECT_EQ(run.TestStep, 4);
    // Leaving the step any other way hides the choice too, also where step 0 shows the entry
    // panel again.
    for (const char* leave : {"ALPrior", "ALCancel"}) {
        run.TestStep = 3;
        run.ControlProgress();
        ASSERT_FALSE(ok->isHidden());
        f.findChild<QAction*>(QLatin1String(leave))->trigger();
        QCoreApplication::processEvents();
        EXPECT_TRUE(ok->isHidden()) << leave;
        EXPECT_TRUE(nok->isHidden()) << leave;
    }
    EXPECT_TRUE(h.Find<QWidget>("PanelTest")->isVisible()) << "step 0 asks for the entries";
}

// A step pumps events while it waits: nothing that changes the unit's context may be used
// then, and afterwards everything is as usable as before.
TEST(StepsWindow, StepLocksTheUnitsContextWhileItRuns)
{
    Harness h;
    {
        QFile ini(h.dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(
            QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                           "[#PRÜFPROGRAMM] \"Programm\",\"0\"\r\n//\r\n[TEST_CONDITION]\r\n"
                           "[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n[#PRÜFPROGRAMM] \"Programm\",\"2\"\r\n")
                .toUtf8());
    }
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    auto* combo = h.Find<QComboBox>("CBTypeTest");
    ASSERT_EQ(combo->count(), 2);
    const QList<QAction*> versions = f.VersionItems();
    ASSERT_FALSE(versions.isEmpty());
    QAction* english = f.findChild<QAction*>(QStringLiteral("MILEn"));
    QAction* resetUsb = f.findChild<QAction*>(QStringLiteral("ALResetUSB"));
    QWidget* modeForm = f.findChild<QWidget*>(QStringLiteral("PWForm"));
    ASSERT_TRUE(english && resetUsb && modeForm);
    const int sensorRow = f.session().sensor.Row;
    // What the operator reaches while step 0 waits: each is refused.
    QStringList usable;
    QTimer::singleShot(0, &f, [&] {
        if (combo->isEnabled()) usable << "CBTypeTest";
        if (english->isEnabled()) usable << "MILEn";
        if (resetUsb->isEnabled()) usable << "ALResetUSB";
        if (modeForm->isEnabled()) usable << "PWForm";
        for (QAction* a : versions)
            if (a->isEnabled()) usable << a->objectName();
        for (const char* menu : {"MIVersion", "MILanguage", "MIInterfaceSelect", "MIChangeMode", "MIBoot"})
            if (QObject* o = f.findChild<QObject*>(QLatin1String(menu))) {
                auto* m = qobject_cast<QMenu*>(o);
                auto* a = m ? m->menuAction() : qobject_cast<QAction*>(o);
                if (a && a->isEnabled()) usable << QLatin1String(menu);
            }
        english->trigger();
        versions.last()->trigger();
    });
    f.findChild<QAction*>(QStringLiteral("ALCancel"))->trigger();
    EXPECT_EQ(f.station().testRun().lastRoutine(), QStringLiteral("Start_EnableSN"));
    EXPECT_TRUE(usable.isEmpty()) << usable.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(f.session().language(), 0);
    EXPECT_EQ(f.session().sensor.Row, sensorRow);
    // The step is over: all of it works again.
    EXPECT_TRUE(combo->isEnabled() && english->isEnabled() && resetUsb->isEnabled() && modeForm->isEnabled());
    EXPECT_TRUE(versions.last()->isEnabled());
}
