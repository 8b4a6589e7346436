// The test page with a TEST.INI in the program folder: the definitions in the combo box, the
// start grid, and "WEITER" running program 20 on a simulated TK33 through the page's button.
#include "UiHarness.h"

#include "HexFile.h"
#include "sim/Bench.h"
#include "sim/Profile.h"

#include "TestPaths.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {
// The harness's link is the simulated bench of `profile`; its program folder gets `testIni`
// (in Windows-1252, as stations write it).
void SimulatedStation(Harness& h, const char* profile, const QString& testIni)
{
    std::vector<sim::ConverterSpec> converters;
    QString error;
    ASSERT_TRUE(sim::ParseProfile(QLatin1String(profile), converters, error)) << error.toStdString();
    h.links.simConverters = converters;
    QFile ini(h.dir.filePath(QStringLiteral("TEST.INI")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(testIni.toLatin1());
}
} // namespace

TEST(TestPage, DefinitionsFromTestIniAndProgram20ThroughTheButtons)
{
    testpaths::ArtefactDir();
    Harness h;
    SimulatedStation(
        h, "tk33,stream=none",
        QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                       "[#ART_PRÜFUNG] \"Prüfung\",\"Firmware ins Prüfmittel\"\r\n"
                       "[#PRÜFPROGRAMM] \"Programm\",\"20\"\r\n[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n"
                       "//\r\n[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR06\"\r\n"
                       "[#MASKE] \"Maske\",\"06xxxxxx\"\r\n"));
    std::vector<quint8> fw(0x1C00);
    for (size_t a = 0; a < fw.size(); ++a)
        fw[a] = quint8(a ^ (a >> 7));
    ASSERT_TRUE(vmx::test::WriteHexFile(h.dir.filePath(QStringLiteral("QVR.hex")), fw));
    TMainForm& f = h.StartShown();

    // The version of the first catalogue row is no QVR06: one definition is listed.
    auto* combo = h.Find<QComboBox>("CBTypeTest");
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentText(), QStringLiteral("QVR05 / Firmware ins Prüfmittel"));
    auto* grid = h.Find<QTableWidget>("StGStart");
    ASSERT_NE(grid->item(2, 1), nullptr);
    EXPECT_EQ(grid->item(2, 1)->text(), QStringLiteral("20"));

    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    // Step 0 is shown; ZURÜCK's action is off there, its button on.
    EXPECT_FALSE(h.Act("ALPrior")->isEnabled());
    EXPECT_TRUE(h.Find<QToolButton>("BTPrior")->isEnabled());

    h.Find<QToolButton>("BTNext")->click();
    EXPECT_EQ(f.station().testRun().TestStep, 4);
    EXPECT_EQ(f.station().moduleRecord().tk33ProgResult, 1);
    const auto& segment = f.station().link().OpenSimBench()->module()->loader().flash();
    EXPECT_TRUE(std::equal(fw.begin() + 0x800, fw.end(), segment.begin() + 0x200));
    EXPECT_TRUE(h.Act("ALPrior")->isEnabled());
    // The run ends on the verdict in the comment edit.
    auto* comment = h.Find<QLabel>("LComment");
    EXPECT_EQ(comment->text(), QStringLiteral("Bewertung / Kommentar"));
    EXPECT_EQ(h.Find<QLineEdit>("EditComment")->text(), QStringLiteral("okay"));
    f.resize(1040, 700);
    QCoreApplication::processEvents();
    f.grab().save(testpaths::Artefact(QStringLiteral("test-page-meas.png")));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSStart"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("test-page-start.png"))));
}

TEST(TestPage, SerialNumberEntriesOnTheMeasuringPage)
{
    testpaths::ArtefactDir();
    Harness h;
    {
        QFile ini(h.dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                                 "[#PRÜFPROGRAMM] \"Programm\",\"1\"\r\n[#SN_MIN] \"SN von\",\"100\"\r\n"
                                 "[#SN_MAX] \"SN bis\",\"199\"\r\n[#PRÜFER] \"Prüfer\",\"Name\"\r\n")
                      .toLatin1());
    }
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    QCoreApplication::processEvents();
    auto* sn = h.Find<QLineEdit>("EditSN");
    auto* tester = h.Find<QLineEdit>("ETTester");
    EXPECT_TRUE(sn->isVisible());
    EXPECT_TRUE(tester->isVisible());
    EXPECT_FALSE(h.Find<QLineEdit>("ETBatchNo")->isVisible());
    // The definition's placeholder shows greyed in an empty field: no entry, so refused; the
    // refused field stays in view with the focus, and Enter there takes the entries again.
    EXPECT_EQ(tester->placeholderText(), QStringLiteral("Name"));
    EXPECT_TRUE(tester->text().isEmpty());
    sn->setText(QStringLiteral("150"));
    h.Find<QToolButton>("BTNext")->click();
    EXPECT_EQ(h.Find<QLabel>("LComment")->text(), QStringLiteral("Name des Prüfers nicht eingetragen!"));
    EXPECT_TRUE(tester->isVisible());
    EXPECT_TRUE(sn->isVisible());
    EXPECT_TRUE(tester->hasFocus());
    EXPECT_TRUE(h.Find<QLabel>("LTestHint")->isVisible());
    QTest::keyClicks(tester, QStringLiteral("Weber"));
    QTest::keyClick(tester, Qt::Key_Return);
    const auto& items = f.station().testDefinitions().items;
    EXPECT_EQ(items.SerialNo.Result, 1);
    EXPECT_EQ(sn->text(), QStringLiteral("0150"));
    auto* grid = h.Find<QTableWidget>("StGStart");
    ASSERT_NE(grid->item(items.Tester.GridRow, 1), nullptr);
    EXPECT_EQ(grid->item(items.Tester.GridRow, 1)->text(), QStringLiteral("Weber"));
    f.resize(1040, 700);
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("test-page-entries.png"))));
}

// A unit of a definition with a serial-number range walked on the measuring page: a serial
// number out of range refused and corrected, Enter moving to WEITER and running the next step,
// the verdict extended by the operator, the row written to the result grid.
TEST(TestPage, UnitWalkedFromEntriesToTheResultGrid)
{
    testpaths::ArtefactDir();
    Harness h;
    SimulatedStation(h, "tk33,stream=none",
                     QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                                    "[#ART_PRÜFUNG] \"Art der Prüfung\",\"Parameter\"\r\n"
                                    "[#PRÜFPROGRAMM] \"Programm\",\"26\"\r\n[#SN_MIN] \"SN von\",\"1000\"\r\n"
                                    "[#SN_MAX] \"SN bis\",\"1999\"\r\n[#PRÜFER] \"Prüfer\",\"Name\"\r\n"
                                    "[#HERSTELLUNGSJAHR] \"Jahr\",\"JJ\"\r\n"));
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    QCoreApplication::processEvents();
    auto* comment = h.Find<QLabel>("LComment");
    auto* sn = h.Find<QLineEdit>("EditSN");
    auto* next = h.Find<QToolButton>("BTNext");
    EXPECT_EQ(h.Find<QLabel>("LTestQVROut")->text(), QStringLiteral("QVR: "));
    h.Find<QLineEdit>("ETTester")->setText(QStringLiteral("Weber"));
    h.Find<QLineEdit>("ETManuYear")->setText(QStringLiteral("26"));
    sn->setText(QStringLiteral("999"));
    next->click();
    EXPECT_EQ(comment->text(), QStringLiteral("SN: FEHLER, Seriennummer nicht plausibel!"));
    EXPECT_EQ(f.station().testRun().TestStep, 1);
    h.Find<QToolButton>("BTPrior")->click();
    EXPECT_EQ(f.station().testRun().TestStep, 0);
    // Enter after the serial number starts the unit, as a scanner's Enter does.
    sn->setFocus();
    sn->setText(QStringLiteral("1015"));
    QTest::keyClick(sn, Qt::Key_Return);
    EXPECT_GT(f.station().testRun().TestStep, 1);
    EXPECT_EQ(f.station().testDefinitions().items.SerialNo.Result, 1);
    // The operator goes on through every wait until the verdict.
    for (int press = 0; press < 10 && comment->text() != QStringLiteral("Bewertung / Kommentar"); ++press)
        next->click();
    ASSERT_EQ(comment->text(), QStringLiteral("Bewertung / Kommentar"));
    auto* edit = h.Find<QLineEdit>("EditComment");
    EXPECT_TRUE(edit->isVisible());
    EXPECT_FALSE(sn->isVisible());
    EXPECT_EQ(edit->text(), QStringLiteral("okay"));
    auto* list = h.Find<QListWidget>("LBxMV");
    next->click();
    EXPECT_EQ(comment->text(), QStringLiteral("Eintrag in Tabelle ???")); // the verdict was taken before
    h.Find<QToolButton>("BTPrior")->click(); // back: the verdict again, now extended
    edit->setText(QStringLiteral("okay Sichtprüfung"));
    next->click();
    EXPECT_EQ(comment->text(), QStringLiteral("Eintrag in Tabelle ???"));
    next->click();
    EXPECT_EQ(comment->text(), QStringLiteral("in Tabelle eingeschrieben"));
    ASSERT_GE(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("SN: 1015"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Jahr: 26"));
    auto* grid = h.Find<QTableView>("StGMV");
    QAbstractItemModel* m = grid->model();
    auto column = [m](const QString& head) {
        for (int c = 0; c < m->columnCount(); ++c)
            if (m->headerData(c, Qt::Horizontal).toString() == head) return c;
        return -1;
    };
    ASSERT_GE(column(QStringLiteral("SN")), 0);
    EXPECT_EQ(m->index(0, column(QStringLiteral("SN"))).data().toString(), QStringLiteral("1015"));
    EXPECT_EQ(m->index(0, column(QStringLiteral("Jahr"))).data().toString(), QStringLiteral("26"));
    EXPECT_EQ(m->index(0, column(QStringLiteral("Bewertung"))).data().toString(),
              QStringLiteral("okay Sichtprüfung"));
    EXPECT_EQ(grid->columnWidth(column(QStringLiteral("Bewertung"))), 120);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(grid->currentIndex().column(), 1);
    EXPECT_FALSE(f.station().testDefinitions().TestDataSaved);
    // WEITER: the next serial number is proposed and the run is at step 0 for the next unit.
    next->click();
    EXPECT_EQ(f.station().testRun().TestStep, 0);
    EXPECT_EQ(sn->text(), QStringLiteral("1016"));
    EXPECT_TRUE(sn->isVisible());

    f.resize(1040, 700);
    auto keep = [&](const char* page, const char* file) {
        h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>(page));
        QCoreApplication::processEvents();
        EXPECT_TRUE(f.grab().save(testpaths::Artefact(QStringLiteral("")) + QLatin1String(file)));
    };
    keep("TSMeas", "test-page-unit-meas.png");
    keep("TSStart", "test-page-unit-start.png");
    keep("TSReport", "test-page-unit-report.png");
}

// The station's programming day in the window: the firmware into the module (program 20), then
// a blank sensor's controller programmed from it (program 27) through the page's buttons.
TEST(TestPage, Program27ProgramsABlankSensorThroughTheButtons)
{
    Harness h;
    SimulatedStation(
        h, "tk33,blank,stream=none",
        QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                       "[#ART_PRÜFUNG] \"Prüfung\",\"Prüfmittel\"\r\n"
                       "[#PRÜFPROGRAMM] \"Programm\",\"20\"\r\n[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n"
                       "//\r\n[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                       "[#ART_PRÜFUNG] \"Prüfung\",\"SiLab\"\r\n"
                       "[#PRÜFPROGRAMM] \"Programm\",\"27\"\r\n[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n"));
    std::vector<quint8> fw(0x1C00);
    for (size_t a = 0; a < fw.size(); ++a)
        fw[a] = quint8(a * 7 + (a >> 8) * 13 + 1);
    fw[0] = 0x02, fw[1] = 0x01, fw[2] = 0x00;
    ASSERT_TRUE(vmx::test::WriteHexFile(h.dir.filePath(QStringLiteral("QVR.hex")), fw));
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    auto* next = h.Find<QToolButton>("BTNext");
    auto* comment = h.Find<QLabel>("LComment");
    next->click();
    EXPECT_EQ(comment->text(), QStringLiteral("Bewertung / Kommentar"));
    EXPECT_EQ(f.station().moduleRecord().tk33ProgResult, 1);

    auto* combo = h.Find<QComboBox>("CBTypeTest");
    ASSERT_EQ(combo->count(), 2);
    combo->setCurrentIndex(1);
    f.CBTypeTestChange();
    EXPECT_EQ(f.station().testDefinitions().cond.ProgramNo, 27);
    EXPECT_EQ(f.station().testRun().TestStep, 0);
    // Each ControlWait step asks for the next at once; the run stops only at the verdict.
    next->click();
    EXPECT_EQ(comment->text(), QStringLiteral("Bewertung / Kommentar"));
    EXPECT_EQ(f.station().testRun().TestStep, 12);
    EXPECT_EQ(f.station().moduleRecord().siLabResult, 1);
    EXPECT_EQ(h.Find<QLineEdit>("EditComment")->text(), QStringLiteral("okay"));
    auto* list = h.Find<QListWidget>("LBxMV");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Programmierung SiL: okay"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Programmierung TK33: okay"));
    // The sensor's flash holds the image: "X" wrote 0..7FF from the file, "F" 800..1BFF from
    // the module.
    sim::Bench* bench = f.station().link().OpenSimBench();
    ASSERT_NE(bench, nullptr);
    const auto& flash = bench->sensor().bootLoader().flash();
    EXPECT_TRUE(std::equal(fw.begin(), fw.end(), flash.begin()));
    next->click();
    EXPECT_EQ(f.station().testRun().TestStep, 0);
}

// A definition whose limit does not read as a number: listed, its key and value in red in the
// start grid and the status line, and WEITER starts no unit.
TEST(TestPage, AnUnusableDefinitionShowsItsKeyInRedAndStartsNoUnit)
{
    Harness h;
    SimulatedStation(h, "tk33,stream=none",
                     QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                                    "[#PRÜFPROGRAMM] \"Programm\",\"5\"\r\n"
                                    "[#AMPLITUDE_MIN_1] \"Amplitude min\",\"403.5\"\r\n"));
    TMainForm& f = h.StartShown();
    ASSERT_EQ(h.Find<QComboBox>("CBTypeTest")->count(), 1);
    auto* grid = h.Find<QTableWidget>("StGStart");
    ASSERT_NE(grid->item(2, 1), nullptr);
    EXPECT_EQ(grid->item(2, 1)->foreground().color(), QColor(Qt::red));
    EXPECT_NE(grid->item(1, 1)->foreground().color(), QColor(Qt::red));
    auto* comment = h.Find<QLabel>("LComment");
    EXPECT_TRUE(comment->text().startsWith(QStringLiteral("[#AMPLITUDE_MIN_1] \"403.5\"")))
        << comment->text().toStdString();
    EXPECT_TRUE(comment->styleSheet().contains(QStringLiteral("red")));
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));
    h.Find<QToolButton>("BTNext")->click();
    EXPECT_EQ(f.station().testRun().TestStep, 0);
    EXPECT_FALSE(h.Find<QLineEdit>("EditSN")->isVisible());
}
