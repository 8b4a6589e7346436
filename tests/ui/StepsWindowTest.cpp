// Units of program 5 walked in the window by keyboard against the simulated station, the
// operator's hands following the prompts; the measuring steps' own widgets.
#include "ClipCheck.h"
#include "UiHarness.h"

#include "sim/Bench.h"
#include "sim/Profile.h"

#include "TestPaths.h"
#include <QApplication>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <map>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

// One unit of program 5 on the simulated station, its serial number scanned into the focused
// field: what the operator sees of it.
struct Walk {
    const char* profile;
    int language;        // of the walk; the banner is read in the other one too
    const char* verdict; // "okay" / "FEHLER"
    const char* failing; // a grid column that fails, or null
    const char* picture; // the banner's picture in the artefacts
};

QString Text(Harness& h, const char* label)
{
    return h.Find<QLabel>(label)->text();
}

} // namespace

// Both units scanned and walked by keyboard only (digits and Enter in the serial number, then
// F6), as the station profile starts: the banner, the step count, the hints, the judged live
// value while a preparing step waits, and the grid's failing cell.
TEST(StepsWindow, Program5UnitsScannedAndWalkedByKeyboard)
{
    testpaths::ArtefactDir();
    const Walk walks[] = {{"station", 0, "okay", nullptr, "banner-okay"},
                          {"station,unit=bad-amplitude", 1, "FEHLER", "Ampl 1", "banner-fehler"}};
    for (const Walk& w : walks) {
        SCOPED_TRACE(w.profile);
        Harness h;
        h.links.simulate = QLatin1String(w.profile);
        QFile::copy(testpaths::Bin(QStringLiteral("TEST.INI")), h.dir.filePath(QStringLiteral("TEST.INI")));
        TMainForm& f = h.StartShown();
        f.resize(1040, 700);
        QCoreApplication::processEvents();
        // The station profile: manufacturer mode, the measuring page, the scanner's field.
        EXPECT_TRUE(f.session().mode.Manufacturer);
        EXPECT_TRUE(f.station().simulatedOperator);
        EXPECT_EQ(h.Find<QTabWidget>("PCTest")->currentWidget(), h.Find<QWidget>("TSMeas"));
        EXPECT_EQ(QApplication::focusWidget(), h.Find<QLineEdit>("EditSN"));
        EXPECT_EQ(h.Find<QComboBox>("CBTypeTest")->currentIndex(), 0);
        // Program 5 is the example's second definition.
        auto* combo = h.Find<QComboBox>("CBTypeTest");
        combo->setCurrentIndex(1);
        f.CBTypeTestChange();
        ASSERT_EQ(f.station().testDefinitions().cond.ProgramNo, 5);
        if (w.language == 1) h.Act("MILEn")->trigger();
        // A placeholder is shown as one, and is no entry.
        auto* batch = h.Find<QLineEdit>("ETBatchNo");
        EXPECT_EQ(batch->placeholderText(), QStringLiteral("A-0000"));
        EXPECT_EQ(batch->text(), QStringLiteral("S-0001"));

        prodtest::TestRun& run = f.station().testRun();
        auto settle = [&] {
            for (int t = 0; t < 1200; t += 10) {
                h.clock.SleepMs(10);
                f.station().Tick();
                QCoreApplication::processEvents();
            }
        };
        auto* sn = h.Find<QLineEdit>("EditSN");
        sn->setFocus();
        QTest::keyClicks(sn, QStringLiteral("1000"));
        QTest::keyClick(sn, Qt::Key_Return);
        EXPECT_GT(run.TestStep, 0) << "Enter after the scan started the unit";
        bool prepared = false, hinted = false, backed = false;
        for (int press = 0; press < 80 && run.TestStep != 0; ++press) {
            const int stored = f.station().store().index();
            settle();
            if (!w.failing && run.TestStep == 10 && !backed) {
                // One ZURÜCK on the way: the step before runs again, as a second attempt.
                backed = true;
                run.Back();
                settle();
            }
            if (run.lastRoutine() == QLatin1String("CommandAmplMeas") && !prepared) {
                // The prompt as written, the live values from a measurement while it waits, the
                // judged value marked with its limits.
                EXPECT_EQ(h.Find<QLabel>("LComment")->text(),
                          QStringLiteral("Vorbereitung Ampl Test 1: Schlauch gefüllt"));
                EXPECT_GT(f.station().store().index(), stored + 50) << "samples keep coming while it waits";
                EXPECT_TRUE(
                    Text(h, "LTestSum").contains(QRegularExpression(QStringLiteral("^SIGNAL:  \\d+$"))))
                    << Text(h, "LTestSum").toStdString();
                EXPECT_TRUE(h.Find<QLabel>("LTestSum")->font().bold());
                EXPECT_FALSE(h.Find<QLabel>("LTestAmpl")->font().bold());
                EXPECT_TRUE(Text(h, "LTestLimits").endsWith(QLatin1String("350..450")));
                EXPECT_EQ(Text(h, "LTestProgress"),
                          QString(w.language ? "Step %1 of 33" : "Schritt %1 von 33").arg(run.TestStep));
                EXPECT_EQ(h.Find<QProgressBar>("PBTestProgress")->value(), run.TestStep);
                if (w.language == 0) {
                    EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("operator-preparing.png"))));
                }
                prepared = true;
            }
            if (h.Find<QLabel>("LTestHint")->isVisible()) {
                // A failure says what ZURÜCK, WEITER and ABBRECHEN do there.
                EXPECT_EQ(h.Find<QLabel>("LComment")->styleSheet(), QStringLiteral("color: red;"));
                EXPECT_EQ(Text(h, "LTestHint").count(QLatin1Char('\n')), 2);
                EXPECT_TRUE(Text(h, "LTestHint").startsWith(QStringLiteral("ZURÜCK")));
                if (!hinted) {
                    EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("operator-hint.png"))));
                }
                hinted = true;
            }
            if (run.lastRoutine() == QLatin1String("CommentResult")) {
                // The verdict at a glance, in both languages, whole.
                auto* banner = h.Find<QFrame>("PVerdict");
                QCoreApplication::processEvents();
                ASSERT_TRUE(banner->isVisible());
                EXPECT_EQ(Text(h, "LVerdict"), QLatin1String(w.verdict));
                const bool okay = std::string(w.verdict) == "okay";
                EXPECT_EQ(banner->palette().color(QPalette::Window).green() > 100, okay);
                EXPECT_EQ(banner->palette().color(QPalette::Window).red() > 150, !okay);
                for (int lang : {w.language, 1 - w.language}) {
                    h.Act(lang ? "MILEn" : "MILDt")->trigger();
                    QCoreApplication::processEvents();
                    EXPECT_EQ(
                        Text(h, "LVerdictSN"),
                        QString(lang ? "Serial number %1" : "Seriennummer %1").arg(QStringLiteral("1000")));
                    EXPECT_EQ(Text(h, "LVerdict"), QLatin1String(w.verdict));
                    for (const auto& c : ClippedTexts(banner))
                        ADD_FAILURE() << c.Describe().toStdString();
                }
                h.Act(w.language ? "MILEn" : "MILDt")->trigger();
                if (!okay) {
                    EXPECT_TRUE(
                        Text(h, "LVerdictFailures")
                            .contains(QRegularExpression(QStringLiteral("Ampl 1: \\d+ \\(350..450\\)"))))
                        << Text(h, "LVerdictFailures").toStdString();
                }
                EXPECT_TRUE(f.grab().save(
                    testpaths::Artefact(QStringLiteral("operator-%1.png").arg(QLatin1String(w.picture)))));
            }
            QTest::keyClick(&f, Qt::Key_F6);
        }
        ASSERT_EQ(run.TestStep, 0);
        EXPECT_TRUE(prepared);
        EXPECT_EQ(hinted, w.failing != nullptr);
        // The row in the grid: a failing cell red with its whole value, the verdict coloured.
        const prodtest::ResultGrid& g = f.station().testResults().grid;
        QAbstractItemModel* m = h.Find<QTableView>("StGMV")->model();
        for (int c = 0; c < prodtest::ResultGrid::kColumns; ++c) {
            const QString head = g.Cell(0, c);
            const QModelIndex cell = m->index(0, c);
            const QColor bg = m->data(cell, Qt::BackgroundRole).value<QColor>();
            if (head == QLatin1String("Bewertung")) {
                EXPECT_EQ(g.Cell(1, c), QLatin1String(w.verdict));
                EXPECT_EQ(bg.green() > bg.red(), w.failing == nullptr);
            } else if (w.failing && head == QLatin1String(w.failing)) {
                EXPECT_TRUE(g.Cell(1, c).startsWith(QLatin1String("F(")));
                EXPECT_GT(bg.red(), bg.green());
                EXPECT_EQ(m->data(cell, Qt::ToolTipRole).toString(), g.Cell(1, c));
                h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSReport"));
                QCoreApplication::processEvents();
                EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("operator-grid.png"))));
                h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
            } else if (!g.Cell(1, c).isEmpty() && c > 1) {
                EXPECT_NE(g.Result(1, c), 0) << head.toStdString();
            }
        }
        if (!w.failing) {
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
            // The "Statistik" page over the same history: one unit, passed at the first run, no
            // failing step, and every stored amplitude (each attempt) in its item's numbers; a
            // click on the histogram's first bin lists runs whose values lie in it.
            int amplValues = 0;
            for (int r = 0; r < meas->rowCount(); ++r)
                amplValues += meas->item(r, 0)->text() == QLatin1String("Ampl 1");
            h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSStatistics"));
            h.Find<QPushButton>("BTStatShow")->click();
            auto* yield = h.Find<QTableWidget>("StGStatYield");
            ASSERT_EQ(yield->rowCount(), 1);
            EXPECT_EQ(yield->item(0, 1)->text(), QStringLiteral("1"));
            EXPECT_EQ(yield->item(0, 3)->text(), QStringLiteral("100.0%"));
            EXPECT_EQ(h.Find<QTableWidget>("StGStatPareto")->rowCount(), 0);
            auto* item = h.Find<QComboBox>("CBStatItem");
            item->setCurrentIndex(item->findText(QStringLiteral("Ampl 1")));
            Q_EMIT item->activated(item->currentIndex());
            auto* figures = h.Find<QTableWidget>("StGStatItem");
            EXPECT_EQ(figures->item(0, 1)->text(), QString::number(amplValues));
            auto* chart = h.Find<QChartView>("CVStatHist")->chart();
            auto* bins = qobject_cast<QAreaSeries*>(chart->series().value(0));
            ASSERT_TRUE(bins);
            Q_EMIT bins->clicked(QPointF(figures->item(3, 1)->text().toDouble(), 0.5));
            auto* listed = h.Find<QTableWidget>("StGStatRuns");
            EXPECT_GE(listed->rowCount(), 1);
            EXPECT_LE(listed->rowCount(), amplValues);
            // Exported: the four charts as SVG, the four tables as CSV and as one workbook.
            for (const char* name : {"stat.svg", "stat.csv", "stat.xlsx"}) {
                h.fileNames.push_back(h.dir.filePath(QLatin1String(name)));
                h.Find<QPushButton>("BTStatExport")->click();
            }
            for (const char* part : {"yield", "pareto", "histogram", "run"}) {
                QFile svg(h.dir.filePath(QStringLiteral("stat-%1.svg").arg(QLatin1String(part))));
                ASSERT_TRUE(svg.open(QIODevice::ReadOnly)) << part;
                EXPECT_TRUE(svg.read(200).contains("<svg")) << part;
            }
            QFile csv(h.dir.filePath(QStringLiteral("stat-histogram.csv")));
            ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'));
            ASSERT_GE(lines.size(), 2);
            EXPECT_EQ(lines[1], QStringLiteral("n,%1").arg(amplValues));
            QFile book(h.dir.filePath(QStringLiteral("stat.xlsx")));
            ASSERT_TRUE(book.open(QIODevice::ReadOnly));
            EXPECT_TRUE(book.read(2) == "PK"); // a workbook is a zip archive
            // One chart or table alone from its chart's context menu, under the name chosen.
            for (const char* one : {"ampl.svg", "pareto.csv"}) {
                h.fileNames.push_back(h.dir.filePath(QLatin1String(one)));
                QAction* a = h.Act(one[0] == 'a' ? "ACStatExport-histogram" : "ACStatExport-pareto");
                EXPECT_FALSE(a->text().isEmpty());
                a->trigger();
                QFile written(h.dir.filePath(QLatin1String(one)));
                ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << one;
                EXPECT_TRUE(written.read(200).contains(one[0] == 'a' ? "<svg" : ",")) << one;
            }
            EXPECT_FALSE(QFile::exists(h.dir.filePath(QStringLiteral("ampl-histogram.svg"))));
            QCoreApplication::processEvents();
            EXPECT_TRUE(
                f.grab().save(testpaths::Artefact(QStringLiteral("statistics-%1.png").arg(w.language))));
            h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
        } else {
            // The failing step is the Pareto's one bar; a click lists the unit's run, a double
            // click opens it on the "Historie" page.
            h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSStatistics"));
            h.Find<QPushButton>("BTStatShow")->click();
            ASSERT_EQ(h.Find<QTableWidget>("StGStatPareto")->rowCount(), 1);
            auto* bars =
                qobject_cast<QBarSeries*>(h.Find<QChartView>("CVStatPareto")->chart()->series().value(0));
            ASSERT_TRUE(bars && !bars->barSets().isEmpty());
            Q_EMIT bars->barSets()[0]->clicked(0);
            auto* listed = h.Find<QTableWidget>("StGStatRuns");
            ASSERT_EQ(listed->rowCount(), 1);
            EXPECT_EQ(listed->item(0, 0)->text(), QStringLiteral("1000"));
            Q_EMIT listed->cellDoubleClicked(0, 0);
            EXPECT_EQ(h.Find<QTabWidget>("PC1")->currentWidget(), h.Find<QWidget>("TSHistory"));
            auto* runs = h.Find<QTableWidget>("StGHistRuns");
            ASSERT_GE(runs->currentRow(), 0);
            EXPECT_EQ(runs->item(runs->currentRow(), 2)->text(), QStringLiteral("1000"));
            EXPECT_EQ(runs->item(runs->currentRow(), 4)->text(), QStringLiteral("FEHLER"));
            // The Pareto of failing items instead: its bar leads to the same run.
            h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSStatistics"));
            h.Find<QCheckBox>("CBStatParetoItems")->setChecked(true);
            auto* failedItems = h.Find<QTableWidget>("StGStatPareto");
            ASSERT_GE(failedItems->rowCount(), 1);
            bars = qobject_cast<QBarSeries*>(h.Find<QChartView>("CVStatPareto")->chart()->series().value(0));
            ASSERT_TRUE(bars && !bars->barSets().isEmpty());
            Q_EMIT bars->barSets()[0]->clicked(0);
            ASSERT_EQ(listed->rowCount(), 1);
            EXPECT_EQ(listed->item(0, 0)->text(), QStringLiteral("1000"));
            EXPECT_EQ(listed->item(0, 1)->text(), failedItems->item(0, 0)->text());
            h.Find<QCheckBox>("CBStatParetoItems")->setChecked(false);
            h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
        }
        // The banner stays at step 0 until the next scan starts a unit.
        EXPECT_TRUE(h.Find<QFrame>("PVerdict")->isVisible());
        sn->setFocus();
        sn->selectAll();
        QTest::keyClicks(sn, QStringLiteral("1001"));
        QTest::keyClick(sn, Qt::Key_Return);
        EXPECT_FALSE(h.Find<QFrame>("PVerdict")->isVisible());
        EXPECT_GT(run.TestStep, 0);
    }
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
    run.Next();
    EXPECT_EQ(f.station().testDefinitions().data.ShieldResult, 1);
    EXPECT_FALSE(ok->isVisible());
    // Left at the preselection it fails.
    run.TestStep = 3;
    run.ControlProgress();
    EXPECT_TRUE(nok->isChecked());
    run.Next();
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
