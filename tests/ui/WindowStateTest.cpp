// What the window keeps: the identification across a mode change and a language switch, the
// settings sub-page across a mode change, and one transfer at a time while a transfer pumps
// events.
#include "UiHarness.h"

#include "HexFile.h"

#include "sim/Bench.h"
#include "sim/Profile.h"
#include "ui/PWForm.h"
#include "ui/StateForm.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

void ChangeMode(Harness& h, const char* code)
{
    TPWForm* pw = h.form->PWForm();
    h.Act("MIChangeMode")->trigger();
    pw->findChild<QLineEdit*>(QStringLiteral("EPassword"))->setText(QLatin1String(code));
    pw->findChild<QPushButton*>(QStringLiteral("BTPWOK"))->click();
}

QString Cell(Harness& h, int row)
{
    const QTableWidgetItem* it = h.Find<QTableWidget>("StGIdent")->item(row, 1);
    return it ? it->text() : QString();
}

// Firmware below the boot sector, as a HEX file.
void WriteFirmware(const QString& path)
{
    QByteArray text;
    for (int line = 0; line < 0x1A0; ++line) {
        const int a = line * 16;
        QByteArray rec = QByteArray(":10") + QByteArray::number(a, 16).rightJustified(4, '0') + "00";
        int sum = 0x10 + (a >> 8) + (a & 0xFF);
        for (int i = 0; i < 16; ++i) {
            const int b = ((a + i) * 3) & 0xFF;
            sum += b;
            rec += QByteArray::number(b, 16).rightJustified(2, '0');
        }
        rec += QByteArray::number((-sum) & 0xFF, 16).rightJustified(2, '0');
        text += rec.toUpper() + "\r\n";
    }
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text + ":00000001FF\r\n");
}

} // namespace

TEST(WindowState, IdentificationSurvivesAModeChangeAndALanguageSwitch)
{
    Harness h;
    h.links.simulate = QStringLiteral("stream=polled,key=5028143,year=14,serial=321,hw=10,model=2");
    TMainForm& f = h.StartShown();
    h.Act("MIVersion_5028143")->trigger();
    h.clock.SleepMs(300);
    h.Act("ALGetIdent")->trigger();
    ASSERT_EQ(Cell(h, 4), QStringLiteral("2014 / 00321"));
    const QString board = Cell(h, 3);
    const QString modelDe = h.Find<QComboBox>("CBIdModel")->currentText();
    ASSERT_EQ(board, QStringLiteral("Board QVR07_01"));

    ChangeMode(h, "6874"); // service
    ASSERT_TRUE(f.session().mode.Service);
    h.Act("MILEn")->trigger();
    EXPECT_EQ(f.session().sensor.Year, 14);
    EXPECT_EQ(f.session().sensor.SerialNo, 321);
    EXPECT_EQ(f.session().sensor.ModelIndex, 2);
    EXPECT_EQ(Cell(h, 0), QStringLiteral("QVR05.28"));
    EXPECT_EQ(Cell(h, 3), board);
    EXPECT_EQ(Cell(h, 4), QStringLiteral("2014 / 00321"));
    EXPECT_EQ(h.Find<QLineEdit>("EIdYear")->text(), QStringLiteral("14"));
    EXPECT_EQ(h.Find<QLineEdit>("EIdSN")->text(), QStringLiteral("00321"));
    // The model is re-captioned, not cleared: same entry, now in English.
    auto* model = h.Find<QComboBox>("CBIdModel");
    EXPECT_EQ(model->currentIndex(), 2);
    EXPECT_NE(model->currentText(), modelDe);
    EXPECT_EQ(Cell(h, 1), model->currentText());

    // And back, with a second mode change in between.
    ChangeMode(h, "9684");
    h.Act("MILDt")->trigger();
    EXPECT_EQ(Cell(h, 4), QStringLiteral("2014 / 00321"));
    EXPECT_EQ(h.Find<QComboBox>("CBIdModel")->currentText(), modelDe);

    // Another version chosen by hand is another sensor: unknown again.
    h.Act("MIVersion_5050143")->trigger();
    EXPECT_EQ(f.session().sensor.SerialNo, 0xFFFF);
    EXPECT_EQ(f.session().sensor.Year, 255);
}

TEST(WindowState, TheThirdSettingsSubPageStaysAcrossAModeChange)
{
    Harness h;
    h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSSET"));
    auto* pcSet = h.Find<QTabWidget>("PCSet");
    pcSet->setCurrentWidget(h.Find<QWidget>("TSSet3"));
    ChangeMode(h, "6874");
    h.Act("MILEn")->trigger();
    EXPECT_EQ(pcSet->currentWidget()->objectName(), QStringLiteral("TSSet3"));
}

TEST(WindowState, ASecondTransferIsRefusedWhileADownloadPumpsEvents)
{
    Harness h;
    sim::ConverterSpec c;
    c.sensor.mode = 3; // answers polls, no stream
    h.links.simConverters = {c};
    const QString fw = h.dir.filePath(QStringLiteral("fw.hex"));
    WriteFirmware(fw);
    int picks = 0;
    h.pickFile = [&](const QString&, const QString&) {
        ++picks;
        return fw;
    };
    TMainForm& f = h.StartShown();
    f.StateForm(); // the log collects every panel-1 text
    sim::BootLoader& target = f.station().link().OpenSimBench()->sensor().bootLoader();
    target.flash().fill(0x00);
    target.SetBootAddr(0x1A00);
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSBoot"));

    // Clicks arrive through the event pump of the running download: a second download, a
    // memory read, a parameter read and the identification.
    QProgressBar* bar = f.TransferProgress();
    int clicks = 0, refusedInside = 0, paints = 0;
    bool runningSeen = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        // Only while the blocks go out: the bar shows the download's progress.
        if (!f.TransferRunning() || bar->isHidden() || clicks >= 4) return;
        runningSeen = true;
        const char* names[] = {"BTDownload", "BTMemRead", "BTOpenFileHex", "BTDownload"};
        h.Find<QAbstractButton>(names[clicks])->click();
        ++clicks;
        if (f.PanelTextOf(1) == f.TransferBusyText()) ++refusedInside;
    });
    // The window keeps painting meanwhile.
    struct PaintCounter : QObject {
        int* n;
        explicit PaintCounter(int* count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint) ++*n;
            return false;
        }
    } counter(&paints);
    bar->installEventFilter(&counter);
    clicker.start(0);
    h.Find<QAbstractButton>("BTDownload")->click();
    clicker.stop();
    bar->removeEventFilter(&counter);

    EXPECT_EQ(clicks, 4);
    EXPECT_EQ(refusedInside, 4);
    EXPECT_TRUE(runningSeen);
    EXPECT_GT(paints, 0);
    EXPECT_FALSE(f.TransferRunning());
    // One file question, the first download's own; the clicked import did not ask.
    EXPECT_EQ(picks, 1);
    // The first download ran to its end undisturbed.
    EXPECT_EQ(f.PanelTextOf(1), f.session().Msg(324));
    for (int i = 0; i < 0x1A00; ++i)
        ASSERT_EQ(target.flash()[size_t(i)], quint8(i * 3)) << i;
    const QStringList log = f.StateForm()->Lines();
    EXPECT_EQ(log.count(f.TransferBusyText()), 4);

    // Afterwards a click works again.
    h.Find<QAbstractButton>("BTBootPing")->click();
    EXPECT_NE(f.PanelTextOf(1), f.TransferBusyText());
}

TEST(WindowState, NoOtherTransferStartsDuringAProductionStep)
{
    Harness h;
    std::vector<sim::ConverterSpec> converters;
    QString error;
    ASSERT_TRUE(sim::ParseProfile(QStringLiteral("tk33,stream=none"), converters, error));
    h.links.simConverters = converters;
    {
        QFile ini(h.dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Sensortyp\",\"QVR05\"\r\n"
                                 "[#ART_PRÜFUNG] \"Prüfung\",\"Firmware ins Prüfmittel\"\r\n"
                                 "[#PRÜFPROGRAMM] \"Programm\",\"20\"\r\n"
                                 "[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n")
                      .toLatin1());
    }
    std::vector<quint8> fw(0x1C00);
    for (size_t a = 0; a < fw.size(); ++a)
        fw[a] = quint8(a ^ (a >> 7));
    ASSERT_TRUE(vmx::test::WriteHexFile(h.dir.filePath(QStringLiteral("QVR.hex")), fw));
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURER\n"));
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSTest"));
    h.Find<QTabWidget>("PCTest")->setCurrentWidget(h.Find<QWidget>("TSMeas"));

    // While the step pumps events: a memory read, a parameter read, a boot-loader start (WEITER
    // itself is switched off by the run meanwhile).
    int clicks = 0, refused = 0;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (!f.TransferRunning() || clicks >= 3) return;
        if (clicks == 0) h.Find<QAbstractButton>("BTMemRead")->click();
        if (clicks == 1) h.Act("ALReadParameter")->trigger();
        if (clicks == 2) {
            EXPECT_FALSE(h.Act("ALNext")->isEnabled());
            h.Find<QAbstractButton>("BTStartBoot")->click();
        }
        ++clicks;
        if (f.PanelTextOf(1) == f.TransferBusyText()) ++refused;
    });
    clicker.start(0);
    h.Find<QToolButton>("BTNext")->click();
    clicker.stop();
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(refused, 3);
    // The step ran to its end as without the clicks.
    EXPECT_EQ(f.station().testRun().TestStep, 4);
    EXPECT_EQ(f.station().moduleRecord().tk33ProgResult, 1);
    const auto& segment = f.station().link().OpenSimBench()->module()->loader().flash();
    EXPECT_TRUE(std::equal(fw.begin() + 0x800, fw.end(), segment.begin() + 0x200));
    EXPECT_FALSE(f.TransferRunning());
}

TEST(WindowState, TheBootPageKeepsItsChoicesAcrossAModeChangeAndALanguageSwitch)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=SERVICE\n"));
    TMainForm& f = h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSBoot"));
    h.Find<QAbstractButton>("RBMemXRAM")->click();
    auto* start = h.Find<QLineEdit>("EditStartAddr");
    start->setText(QStringLiteral("10"));
    Q_EMIT start->editingFinished();
    h.Find<QAbstractButton>("RBMCUType332")->click();
    h.Find<QAbstractButton>("BABSImport")->click();
    const QString end = h.Find<QLineEdit>("EditEndAddr")->text();
    const int dumpLines = h.Find<QListWidget>("ListBoxBoot")->count();

    ChangeMode(h, "9684");
    h.Act("MILEn")->trigger();
    ChangeMode(h, "6874");
    h.Act("MILDt")->trigger();
    EXPECT_EQ(h.Find<QTabWidget>("PC1")->currentWidget()->objectName(), QStringLiteral("TSBoot"));
    EXPECT_TRUE(h.Find<QAbstractButton>("RBMemXRAM")->isChecked());
    EXPECT_EQ(start->text(), QStringLiteral("0010"));
    EXPECT_EQ(h.Find<QLineEdit>("EditEndAddr")->text(), end);
    EXPECT_TRUE(h.Find<QAbstractButton>("RBMCUType332")->isChecked());
    EXPECT_TRUE(h.Find<QAbstractButton>("BABSImport")->isChecked());
    EXPECT_EQ(h.Find<QListWidget>("ListBoxBoot")->count(), dumpLines);
    EXPECT_EQ(f.station().bootLoader().rangeStart[boot::KindXram], 0x10u);
}
