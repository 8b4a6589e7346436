// The boot page in the window: its controls, the dump, the address edits, the file buttons and
// the download against the simulated sensor with its progress bar.
#include "UiHarness.h"

#include <QDir>

#include "proto/Protocol.h"
#include "sim/Bench.h"
#include "sim/Profile.h"

#include "TestPaths.h"
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

QString Text(Harness& h, const char* edit)
{
    return h.Find<QLineEdit>(edit)->text();
}
QListWidget* Dump(Harness& h)
{
    return h.Find<QListWidget>("ListBoxBoot");
}
void Click(Harness& h, const char* name)
{
    h.Find<QAbstractButton>(name)->click();
}
QString M(Harness& h, int i)
{
    return h.form->session().Msg(i);
}

// One simulated sensor that answers polls (no stream).
void PolledSensor(Harness& h)
{
    sim::ConverterSpec c;
    c.sensor.mode = 3;
    h.links.simConverters = {c};
}
sim::BootLoader& Target(Harness& h)
{
    return h.form->station().link().OpenSimBench()->sensor().bootLoader();
}

void WriteText(const QString& path, const QByteArray& text)
{
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(text);
}

} // namespace

TEST(BootPage, ControlsAndTheCodeDumpAtStart)
{
    Harness h;
    h.Start();
    for (const char* n :
         {"BTStartBoot", "BTBootReset", "BTBootPing", "BTBootIdent", "BTMemErase", "BTMemRead", "BTMemWrite",
          "BTMemVerify", "BTOpenFileHex", "BTSaveHexFile", "BTABSImport", "BTDownload"})
        EXPECT_NE(h.Find<QPushButton>(n), nullptr);
    EXPECT_EQ(h.Find<QWidget>("GBBootMem")->findChildren<QRadioButton*>().size(), 4);
    EXPECT_TRUE(h.Find<QRadioButton>("RBMemCode")->isChecked());
    EXPECT_TRUE(h.Find<QRadioButton>("RBMemInEE")->isHidden());
    EXPECT_EQ(h.Find<QRadioButton>("RBMemCode")->text(), QStringLiteral("Code Flash"));
    EXPECT_TRUE(h.Find<QRadioButton>("RBMCUType330")->isChecked());
    EXPECT_EQ(h.Find<QRadioButton>("RBMCUType334")->text(), QStringLiteral("C8051F334"));
    EXPECT_TRUE(h.Find<QLineEdit>("EditBootStartAddr")->isReadOnly());
    EXPECT_TRUE(h.Find<QCheckBox>("BHexImport")->isChecked());
    EXPECT_FALSE(h.Find<QCheckBox>("BABSImport")->isChecked());
    EXPECT_EQ(h.Find<QGroupBox>("GBBootBoot")->title(), QStringLiteral("Boot-Sektor"));
    EXPECT_NE(h.Find<QGroupBox>("GBBootBoot")->findChild<QLineEdit*>(QStringLiteral("EditBootEndAddr")),
              nullptr);

    EXPECT_EQ(Text(h, "EditStartAddr"), QStringLiteral("0000"));
    EXPECT_EQ(Text(h, "EditEndAddr"), QStringLiteral("19FF"));
    EXPECT_EQ(Text(h, "EditBootStartAddr"), QStringLiteral("1A00"));
    EXPECT_EQ(Text(h, "EditBootEndAddr"), QStringLiteral("1BFF"));
    // 0 .. 0x1BFF in lines of 16 bytes, the separator before the boot sector.
    QListWidget* list = Dump(h);
    ASSERT_EQ(list->count(), 0x1C00 / 16 + 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("0000: ") + QStringLiteral("FF ").repeated(16));
    EXPECT_EQ(list->item(0x1A0)->text(),
              QStringLiteral("-----------------------------------------------------"));
    EXPECT_TRUE(list->item(0x1A1)->text().startsWith(QStringLiteral("1A00: ")));
    EXPECT_TRUE(list->item(list->count() - 1)->text().startsWith(QStringLiteral("1BF0: ")));
}

TEST(BootPage, KindsMcuButtonsAndAddressEdits)
{
    Harness h;
    h.Start();
    Click(h, "RBMemSRAM");
    EXPECT_EQ(Dump(h)->count(), 16);
    EXPECT_EQ(Text(h, "EditEndAddr"), QStringLiteral("00FF"));
    // Leaving an edit parses hex and clamps to the kind's range.
    auto* end = h.Find<QLineEdit>("EditEndAddr");
    end->setText(QStringLiteral("1ff"));
    Q_EMIT end->editingFinished();
    EXPECT_EQ(Text(h, "EditEndAddr"), QStringLiteral("00FF"));
    auto* start = h.Find<QLineEdit>("EditStartAddr");
    start->setText(QStringLiteral("a0"));
    Q_EMIT start->editingFinished();
    EXPECT_EQ(h.form->station().bootLoader().rangeStart[boot::KindSram], 0xA0u);
    start->setText(QStringLiteral("zz"));
    Q_EMIT start->editingFinished();
    EXPECT_EQ(Text(h, "EditStartAddr"), QStringLiteral("00A0"));

    Click(h, "RBMemXRAM");
    EXPECT_EQ(Dump(h)->count(), 32);
    EXPECT_EQ(Text(h, "EditEndAddr"), QStringLiteral("01FF"));

    Click(h, "RBMemCode");
    Click(h, "RBMCUType332");
    EXPECT_EQ(Text(h, "EditBootStartAddr"), QStringLiteral("0C00"));
    EXPECT_EQ(Text(h, "EditBootEndAddr"), QStringLiteral("0DFF"));
    EXPECT_EQ(Text(h, "EditEndAddr"), QStringLiteral("0BFF"));
    EXPECT_EQ(Dump(h)->count(), 0xE00 / 16 + 1);
    EXPECT_EQ(Dump(h)->item(0xC0)->text(),
              QStringLiteral("-----------------------------------------------------"));
}

TEST(BootPage, IdentificationReadAndEraseThroughTheButtons)
{
    Harness h;
    PolledSensor(h);
    TMainForm& f = h.Start();
    // "Lesen" before "Start Boot": the sensor's application does not answer the loader's
    // command, and the page says what to do.
    Click(h, "BTMemRead");
    EXPECT_EQ(f.PanelTextOf(1), QStringLiteral("Boot-Loader nicht gestartet: zuerst \"Start Boot\" drücken"));
    h.clock.SleepMs(300);
    h.form->station().bootLoader().SelectMcu(334);
    Click(h, "BTStartBoot");
    h.clock.SleepMs(50);
    Click(h, "BTBootIdent");
    EXPECT_TRUE(h.Find<QRadioButton>("RBMCUType330")->isChecked());
    EXPECT_EQ(Text(h, "EditBootStartAddr"), QStringLiteral("1A00"));
    EXPECT_EQ(Text(h, "EditEndAddr"), QStringLiteral("19FF"));

    auto& flash = Target(h).flash();
    for (int i = 0; i < 0x1A00; ++i)
        flash[size_t(i)] = quint8(i * 3);
    Click(h, "BTMemRead");
    EXPECT_EQ(f.PanelTextOf(1),
              f.session().Msg(273) + QStringLiteral("von 0000 bis 19FF, ") + f.session().Msg(250));
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 0x1A00,
                           f.station().images().Image(boot::KindCode).begin()));
    EXPECT_EQ(Dump(h)->item(1)->text(),
              QStringLiteral("0010: 30 33 36 39 3C 3F 42 45 48 4B 4E 51 54 57 5A 5D "));

    // SRAM has no erase command: its range is written with 0xFF.
    Click(h, "RBMemSRAM");
    Target(h).sram().fill(0x12);
    Click(h, "BTMemErase");
    EXPECT_EQ(f.PanelTextOf(1),
              f.session().Msg(308) + QStringLiteral("von 0000 bis 00FF, ") + f.session().Msg(250));
    EXPECT_TRUE(
        std::all_of(Target(h).sram().begin(), Target(h).sram().end(), [](quint8 v) { return v == 0xFF; }));
}

TEST(BootPage, HexImportAsksOnceAndFillsTheCheckedImage)
{
    Harness h;
    const QString file = h.dir.filePath(QStringLiteral("par.hex"));
    WriteText(file, "[Sensor]\r\n[Typ]\r\n:0300100011223387\r\n:00000001FF\r\n");
    std::vector<QString> asked;
    QString pick = file;
    h.pickFile = [&](const QString& dialog, const QString&) {
        asked.push_back(dialog);
        return pick;
    };
    h.Start();
    h.questions.clear(); // the start's own (no link found)
    h.answers = {app::AskResult::Yes};
    Click(h, "RBMemXRAM");
    Click(h, "BTOpenFileHex");
    ASSERT_EQ(h.questions.size(), 1u);
    EXPECT_EQ(h.questions[0].Text, M(h, 328));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], QStringLiteral("OpenHexFile"));
    const auto xram = h.form->station().images().Image(boot::KindXram);
    EXPECT_EQ(xram[0x10], 0x11);
    EXPECT_EQ(xram[0x12], 0x33);
    EXPECT_EQ(xram[0x13], 0xFF);
    EXPECT_EQ(h.form->PanelTextOf(1), M(h, 316) + M(h, 250));
    EXPECT_EQ(Dump(h)->item(1)->text(),
              QStringLiteral("0010: 11 22 33 ") + QStringLiteral("FF ").repeated(13));

    // Cancel in the question: no success, and the image holds the erased buffer.
    h.answers = {app::AskResult::Cancel};
    Click(h, "BTOpenFileHex");
    EXPECT_EQ(h.questions.size(), 2u);
    EXPECT_NE(h.form->PanelTextOf(1), M(h, 316) + M(h, 250));
    EXPECT_EQ(xram[0x10], 0xFF);

    // Cancel in the dialog does nothing at all.
    pick.clear();
    const QString before = h.form->PanelTextOf(1);
    Click(h, "BTOpenFileHex");
    EXPECT_EQ(h.form->PanelTextOf(1), before);

    // Export of the checked kind: 32 lines for XRAM, then the end record.
    const QString saved = h.dir.filePath(QStringLiteral("x.hex"));
    pick = saved;
    xram[0x1FF] = 0x42;
    Click(h, "BTSaveHexFile");
    EXPECT_EQ(asked.back(), QStringLiteral("SaveHexFile"));
    EXPECT_EQ(h.form->PanelTextOf(1), M(h, 317) + M(h, 250));
    QFile in(saved);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    ASSERT_EQ(lines.size(), 34); // 33 lines and the empty rest after the last line end
    EXPECT_EQ(lines[31], QByteArray(":1001F000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF42CC\r"));
    EXPECT_EQ(lines[32], QByteArray(":00000001FF\r"));
}

TEST(BootPage, AbsImportWithoutConverterReports288)
{
    Harness h;
    const QString abs = h.dir.filePath(QStringLiteral("fw.abs"));
    WriteText(abs, "x");
    QString pick = abs;
    h.pickFile = [&](const QString&, const QString&) { return pick; };
    h.Start();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", h.dir.path().toLocal8Bit()); // no OH51 there
    Click(h, "BTABSImport");
    qputenv("PATH", path);
    EXPECT_EQ(h.form->PanelTextOf(1), M(h, 314) + M(h, 288) + QStringLiteral("fw.abs"));

    // A file that is not there is named without its folder.
    pick = h.dir.filePath(QStringLiteral("none.abs"));
    Click(h, "BTABSImport");
    EXPECT_EQ(h.form->PanelTextOf(1), M(h, 314) + M(h, 291) + QStringLiteral("none.abs"));
}

TEST(BootPage, DownloadFromTheMenuWithProgressAndThePageAfterwards)
{
    Harness h;
    PolledSensor(h);
    // Firmware below the boot sector.
    const QString fw = h.dir.filePath(QStringLiteral("fw.hex"));
    QByteArray text;
    for (int line = 0; line < 0x1A0; ++line) {
        const int a = line * 16;
        QByteArray rec = QByteArray(":10") + QByteArray::number(a, 16).rightJustified(4, '0') + "00";
        int sum = 0x10 + (a >> 8) + (a & 0xFF);
        for (int i = 0; i < 16; ++i) {
            const int b = ((a + i) * 5) & 0xFF;
            sum += b;
            rec += QByteArray::number(b, 16).rightJustified(2, '0');
        }
        rec += QByteArray::number((-sum) & 0xFF, 16).rightJustified(2, '0');
        text += rec.toUpper() + "\r\n";
    }
    WriteText(fw, text + ":00000001FF\r\n");
    int picks = 0;
    h.pickFile = [&](const QString&, const QString&) {
        ++picks;
        return fw;
    };
    TMainForm& f = h.Start();
    Target(h).flash().fill(0x00);
    Target(h).SetBootAddr(0x1A00);

    // The bar follows the blocks: shown with a growing value, hidden at the end.
    QProgressBar* bar = f.TransferProgress();
    ASSERT_NE(bar, nullptr);
    int changes = 0, maxSeen = 0;
    bool shownWhileRunning = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
        ++changes;
        maxSeen = std::max(maxSeen, v);
        shownWhileRunning |= !bar->isHidden();
    });
    // Events are handled during the run, block by block.
    int pumped = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++pumped; });
    tick.start(0);
    h.Act("MIDownload")->trigger();
    tick.stop();
    EXPECT_EQ(picks, 1); // no name known yet: the hex import button asked
    EXPECT_EQ(f.PanelTextOf(1), M(h, 324));
    const auto& flash = Target(h).flash();
    for (int i = 0; i < 0x1A00; ++i)
        ASSERT_EQ(flash[size_t(i)], quint8(i * 5)) << i;
    EXPECT_EQ(flash[0x1A00], sim::BootLoader::BootCodeByte(0));
    EXPECT_GE(changes, 416);
    EXPECT_EQ(maxSeen, 0x1A00);
    EXPECT_TRUE(shownWhileRunning);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_GT(pumped, 416);
    auto* pages = h.Find<QTabWidget>("PC1");
    EXPECT_EQ(pages->currentWidget()->objectName(),
              QStringLiteral("TSMonitor")); // success: back to the monitor

    // A failing run stays on the boot page; the file name is remembered.
    h.form->station().link().OpenSimBench()->sensor().faults.mute = true;
    h.Act("MIDownload")->trigger();
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("TSBoot"));
    EXPECT_EQ(picks, 1);
}

TEST(BootPage, DumpScrollsTheStartLineToTheTop)
{
    Harness h;
    h.StartShown();
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSBoot"));
    auto* start = h.Find<QLineEdit>("EditStartAddr");
    start->setText(QStringLiteral("1005"));
    Q_EMIT start->editingFinished();
    QApplication::processEvents();
    const QModelIndex top = Dump(h)->indexAt(QPoint(4, 4));
    ASSERT_TRUE(top.isValid());
    EXPECT_EQ(top.row(), 0x100);
    EXPECT_TRUE(Dump(h)->item(top.row())->text().startsWith(QStringLiteral("1000: ")));
}

TEST(BootPage, TestModuleOnlyBoxSendsThePingToTheModule)
{
    Harness h;
    sim::ConverterSpec c = sim::MakeConverter(sim::ConverterKind::TestModule, 1);
    c.sensor.mode = 3;
    h.links.simConverters = {c};
    TMainForm& f = h.Start();
    sim::Bench& bench = *f.station().link().OpenSimBench();
    bench.trace().Clear();
    Click(h, "BTBootPing");
    EXPECT_EQ(bench.trace().Of(sim::Dir::In, sim::Unit::TestModule).size(), 0u);
    EXPECT_EQ(f.PanelTextOf(1), M(h, 260) + M(h, 250));
    h.Find<QCheckBox>("ChBTK33Mem")->setChecked(true);
    Click(h, "BTBootPing");
    const auto module = bench.trace().Of(sim::Dir::In, sim::Unit::TestModule);
    ASSERT_EQ(module.size(), 1u);
    EXPECT_EQ(module[0].bytes, QByteArray::fromHex("f100052"
                                                   "91e"));
    EXPECT_EQ(f.PanelTextOf(1), M(h, 260) + M(h, 250));
    EXPECT_TRUE(bench.rts()); // the line is back at the sensor
}

// The page in the service mode, for the eye (test artefacts).
TEST(BootPage, ShownInServiceModeWithAPicture)
{
    Harness h;
    TMainForm& f = h.Start();
    auto* pc1 = h.Find<QTabWidget>("PC1");
    const int index = pc1->indexOf(h.Find<QWidget>("TSBoot"));
    EXPECT_FALSE(pc1->isTabVisible(index));
    f.session().mode.Service = true;
    f.UpdateVersion();
    EXPECT_TRUE(pc1->isTabVisible(index));
    pc1->setCurrentWidget(h.Find<QWidget>("TSBoot"));
    f.resize(1040, 700);
    // Tests run in parallel in a fresh build: the folder may not be there yet.
    testpaths::ArtefactDir();
    EXPECT_TRUE(f.grab().toImage().save(testpaths::Artefact(QStringLiteral("monitor-de-TSBoot.png"))));
}
