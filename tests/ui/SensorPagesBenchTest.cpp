// The settings and identification pages against the simulated bench, as the window's
// --simulate path runs them: edit, write, read back, verify, save and reopen the file,
// identify, and the identification edits.
#include "UiHarness.h"

#include "sensor/ParameterFile.h"
#include "sim/Bench.h"
#include "ui/FormWidgets.h"
#include "ui/StateForm.h"

#include <QFile>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

void Choose(Harness& h, int key)
{
    h.Act(QStringLiteral("MIVersion_%1").arg(key).toLatin1().constData())->trigger();
}

void Type(Harness& h, const char* name, const QString& text, bool enter = true)
{
    auto* e = h.Find<QLineEdit>(name);
    ASSERT_TRUE(e->isVisible() && e->isEnabled()) << name;
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
    if (enter) QTest::keyClick(e, Qt::Key_Return);
}

QString Msg(Harness& h, int m)
{
    return h.form->session().Msg(m);
}

} // namespace

TEST(SensorPagesBench, EditWriteReadVerifyAndTheFileRoundTrip)
{
    Harness h;
    h.links.simulate = QStringLiteral("stream=polled,key=5028143");
    TMainForm& f = h.StartShown();
    Choose(h, 5028143); // QVR05.28 V1.43
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSSET"));
    h.Find<QTabWidget>("PCSet")->setCurrentWidget(h.Find<QWidget>("TSSet3"));
    sim::Bench* bench = f.station().link().OpenSimBench();
    ASSERT_NE(bench, nullptr);
    h.clock.SleepMs(300);

    // A pending edit (typed, not yet committed) is taken by the write.
    Type(h, "EBubbleFactor", QStringLiteral("12"), false);
    h.Act("ALWriteParameter")->trigger();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 279) + Msg(h, 250));
    auto& flash = bench->sensor().bootLoader().flash();
    EXPECT_EQ(flash[0x0A00 + sensor::Par::BubbleFactor], 12);
    EXPECT_EQ(flash[0x0A00], f.station().params().edit.ComputeCheckSum(256));

    // Changed in the window, then read back: the sensor's block returns.
    h.clock.SleepMs(300);
    Type(h, "EBubbleFactor", QStringLiteral("3"));
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 3);
    h.Act("ALVerifyParameter")->trigger();
    // The difference named: the first differing byte and what sensor and editor hold there.
    EXPECT_TRUE(
        f.PanelTextOf(1).startsWith(Msg(h, 281) + Msg(h, 280) + QStringLiteral(": erstes ungleiches Byte ")))
        << f.PanelTextOf(1).toStdString();
    h.clock.SleepMs(300);
    h.Act("ALReadParameter")->trigger();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 275) + Msg(h, 250));
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 12);
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleFactor")->text(), QStringLiteral("12"));
    h.clock.SleepMs(300);
    h.Act("ALVerifyParameter")->trigger();
    EXPECT_EQ(f.PanelTextOf(1), Msg(h, 281) + Msg(h, 250));

    // Saved and reopened through the two buttons.
    const QString path = h.dir.filePath(QStringLiteral("params.hex"));
    QStringList dialogs;
    h.fileName = [&](const QString& dialog, const QString&) {
        dialogs << dialog;
        return path;
    };
    h.Find<QAbstractButton>("BTSSaveParameterFile")->click();
    EXPECT_EQ(f.PanelTextOf(1), Msg(h, 296) + Msg(h, 250));
    const sensor::ParameterBlock saved = f.station().params().edit;
    Type(h, "EBubbleFactor", QStringLiteral("7"));
    h.Find<QAbstractButton>("BTSOpenParameterFile")->click();
    EXPECT_EQ(f.PanelTextOf(1), Msg(h, 297) + Msg(h, 250));
    EXPECT_EQ(f.station().params().edit, saved);
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleFactor")->text(), QStringLiteral("12"));
    EXPECT_EQ(dialogs, (QStringList{QStringLiteral("SaveHexFile"), QStringLiteral("OpenHexFile")}));
    EXPECT_EQ(f.station().parameterFile().lastFileName, path);

    // A cancelled dialog does nothing.
    h.fileName = nullptr;
    const QString before = f.PanelTextOf(1);
    h.Find<QAbstractButton>("BTSOpenParameterFile")->click();
    EXPECT_EQ(f.PanelTextOf(1), before);
}

TEST(SensorPagesBench, IdentificationFillsThePageAndItsEditsAreLimited)
{
    Harness h;
    h.links.simulate = QStringLiteral("stream=polled,key=5028143,year=14,serial=321,hw=10,model=2");
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURER\n"));
    TMainForm& f = h.StartShown();
    Choose(h, 5028143); // bit 17: year and serial may be edited in manufacturer mode
    h.clock.SleepMs(300);
    h.Act("ALGetIdent")->trigger();
    EXPECT_EQ(h.Find<QTabWidget>("PC1")->currentWidget(), h.Find<QWidget>("TSIdent"));
    // The current type's key: no question.
    EXPECT_TRUE(h.questions.size() <= 1u); // at most the start's warning
    EXPECT_EQ(h.Find<QLineEdit>("EIdYear")->text(), QStringLiteral("14"));
    EXPECT_EQ(h.Find<QLineEdit>("EIdSN")->text(), QStringLiteral("00321"));
    auto* grid = h.Find<QTableWidget>("StGIdent");
    EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("QVR05.28"));
    EXPECT_EQ(grid->item(3, 1)->text(), QStringLiteral("Board QVR07_01"));
    EXPECT_EQ(grid->item(4, 1)->text(), QStringLiteral("2014 / 00321"));
    auto* model = h.Find<QComboBox>("CBIdModel");
    EXPECT_EQ(model->currentIndex(), 2);
    EXPECT_EQ(grid->item(1, 1)->text(), model->currentText());

    Type(h, "EIdYear", QStringLiteral("5"));
    EXPECT_EQ(f.session().sensor.Year, 11);
    EXPECT_EQ(h.Find<QLineEdit>("EIdYear")->text(), QStringLiteral("11"));
    Type(h, "EIdYear", QStringLiteral("123"));
    EXPECT_EQ(f.session().sensor.Year, 99);
    Type(h, "EIdYear", QStringLiteral("x"));
    EXPECT_EQ(f.session().sensor.Year, 99);
    Type(h, "EIdSN", QStringLiteral("70000"));
    EXPECT_EQ(f.session().sensor.SerialNo, 65535);
    // The top of the range is also the "not set" value.
    EXPECT_EQ(grid->item(4, 1)->text(), QStringLiteral("2099 / ????"));
    Type(h, "EIdSN", QStringLiteral("42"));
    EXPECT_EQ(grid->item(4, 1)->text(), QStringLiteral("2099 / 00042"));
}

TEST(SensorPagesBench, CalibrationGridParsesSizesAndValues)
{
    Harness h;
    h.WriteIni(QStringLiteral("[SETTINGS]\nMODE=MANUFACTURER\n"));
    TMainForm& f = h.StartShown();
    Choose(h, 5030201); // QVR05.30 V2.01: the type with a calibration block
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSIdent"));
    auto* cal = h.Find<QTableWidget>("StGCal");
    ASSERT_TRUE(cal->isVisible());
    EXPECT_EQ(cal->rowCount(), 9);
    EXPECT_EQ(cal->columnCount(), 3);
    EXPECT_EQ(cal->item(1, 1)->text(), QStringLiteral("---"));
    EXPECT_EQ(cal->item(8, 0)->text(), QStringLiteral("---/CRC"));
    cal->item(1, 1)->setText(QStringLiteral("2,5"));
    cal->item(2, 1)->setText(QStringLiteral("12"));
    cal->item(1, 2)->setText(QStringLiteral("300"));
    cal->setCurrentCell(3, 2); // selecting another cell takes the grid
    const auto& c = f.session().sensor.Cal;
    EXPECT_EQ(c[0], 25);
    EXPECT_EQ(c[2], 100);
    EXPECT_EQ(c[1], 240);
    EXPECT_EQ(c[4], 0xFF);
    EXPECT_EQ(cal->item(1, 1)->text(), QStringLiteral("2.5"));
    EXPECT_EQ(cal->item(2, 1)->text(), QStringLiteral("10.0"));
    cal->item(1, 1)->setText(QString());
    EXPECT_EQ(c[0], 0xFF);
    EXPECT_EQ(cal->item(1, 1)->text(), QStringLiteral("---"));
    // The export option sits in the calibration group.
    EXPECT_TRUE(h.Find<QCheckBox>("ChBIdExImCal")->isVisible());
}

TEST(SensorPagesBench, FileOfAnotherTypeAsksAndCancelKeepsTheBlock)
{
    Harness h;
    TMainForm& f = h.StartShown();
    Choose(h, 5028143);
    const QString path = h.dir.filePath(QStringLiteral("p.hex"));
    h.fileName = [&](const QString&, const QString&) { return path; };
    h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSSET"));
    h.Find<QTabWidget>("PCSet")->setCurrentWidget(h.Find<QWidget>("TSSet3"));
    Type(h, "EBubbleFactor", QStringLiteral("9"));
    h.Find<QAbstractButton>("BTSSaveParameterFile")->click();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 296) + Msg(h, 250));

    Choose(h, 5063143); // another subtype
    h.Act("ALSetStandard")->trigger();
    const std::size_t asked = h.questions.size();
    h.answers = {app::AskResult::Cancel};
    h.Find<QAbstractButton>("BTSOpenParameterFile")->click();
    ASSERT_EQ(h.questions.size(), asked + 1);
    EXPECT_EQ(h.questions.back().Text, Msg(h, 283));
    EXPECT_EQ(h.questions.back().Icon, app::AskIcon::Warning); // the window's warning box
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 5);

    h.answers = {app::AskResult::Yes};
    h.Find<QAbstractButton>("BTSOpenParameterFile")->click();
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 9);
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleFactor")->text(), QStringLiteral("9"));
}

TEST(SensorPagesBench, StartUpParameterFileBecomesStandardAndEditBlock)
{
    Harness first;
    TMainForm& a = first.StartShown();
    a.station().params().edit.SetBubbleFactor(17);
    a.station().params().edit.word = 0x4321;
    first.fileName = [&](const QString&, const QString&) {
        return first.dir.filePath(QStringLiteral("p.hex"));
    };
    first.Find<QAbstractButton>("BTSSaveParameterFile")->click();

    Harness h;
    ASSERT_TRUE(
        QFile::copy(first.dir.filePath(QStringLiteral("p.hex")), h.dir.filePath(QStringLiteral("p.hex"))));
    h.WriteIni(QStringLiteral("[DEVICE]\nPARFILE=p.hex\n"));
    TMainForm& f = h.Start();
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 17);
    EXPECT_EQ(f.station().params().standard.BubbleFactor(), 17);
    EXPECT_EQ(f.station().params().edit.word, 0x4321);
    EXPECT_EQ(h.Find<QLineEdit>("EBubbleFactor")->text(), QStringLiteral("17"));
    EXPECT_EQ(h.Find<QLineEdit>("ECRC")->text(), QStringLiteral("$4321"));
    EXPECT_TRUE(f.StateForm()->Lines().contains(Msg(h, 297) + Msg(h, 250)));
    // "Standard" returns to the file's block, not to the built-in one.
    f.station().params().edit.SetBubbleFactor(1);
    h.Act("ALSetStandard")->trigger();
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 17);
}

TEST(SensorPagesBench, OutputTableIsBuiltAsTheStartSequenceSays)
{
    Harness h;
    h.Start();
    auto* tab = h.Find<QWidget>("PBubbleTab");
    const int editLeft[] = {16, 60, 104};
    const int panelLeft[] = {150, 178, 198, 218};
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 3; ++j) {
            auto* e = tab->findChild<QLineEdit*>(QStringLiteral("EBubbleTab_%1_%2").arg(i).arg(j));
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->geometry(), QRect(editLeft[j], 30 + 20 * i, 43, 19)) << i << " " << j;
        }
        for (int j = 0; j < 4; ++j) {
            auto* p = tab->findChild<QWidget*>(QStringLiteral("PBubbleTab_%1_%2").arg(i).arg(j));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->x(), panelLeft[j]);
            EXPECT_EQ(p->size(), QSize(17, 17));
            EXPECT_EQ(Tag(p), j == 0 ? 10 * i + 104 : 10 * i + 100 + j - 1);
        }
    }
    for (int i : {0, 7, 8, 9})
        EXPECT_TRUE(tab->findChild<QLineEdit*>(QStringLiteral("EBubbleTab_%1_0").arg(i))->isReadOnly()) << i;
    EXPECT_FALSE(tab->findChild<QLineEdit*>(QStringLiteral("EBubbleTab_3_0"))->isReadOnly());
}

// The sensor's factory block as the pages show it differs from it in the bytes the refresh
// normalises; its checksum byte follows, so the file saved from the read block verifies
// against the sensor, before and after it is written back.
TEST(SensorPagesBench, ReadSaveOpenVerifyWriteVerifyOfTheSensorsOwnBlock)
{
    Harness h;
    h.links.simulate = QStringLiteral("stream=polled,key=5028143");
    TMainForm& f = h.StartShown();
    Choose(h, 5028143);
    sim::Bench* bench = f.station().link().OpenSimBench();
    ASSERT_NE(bench, nullptr);
    h.clock.SleepMs(300);
    auto& flash = bench->sensor().bootLoader().flash();
    const QByteArray factory(reinterpret_cast<const char*>(flash.data()) + 0x0A00, 256);

    h.Act("ALReadParameter")->trigger();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 275) + Msg(h, 250));
    const sensor::ParameterBlock& edit = f.station().params().edit;
    EXPECT_NE(QByteArray(reinterpret_cast<const char*>(edit.data()), 256), factory); // normalised
    EXPECT_TRUE(edit.CheckSumValid(256));

    const QString path = h.dir.filePath(QStringLiteral("read.hex"));
    h.fileName = [&](const QString&, const QString&) { return path; };
    h.Find<QAbstractButton>("BTSSaveParameterFile")->click();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 296) + Msg(h, 250));
    h.Find<QAbstractButton>("BTSOpenParameterFile")->click();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 297) + Msg(h, 250));
    h.clock.SleepMs(300);
    h.Act("ALVerifyParameter")->trigger();
    EXPECT_EQ(f.PanelTextOf(1), Msg(h, 281) + Msg(h, 250));

    h.clock.SleepMs(300);
    h.Act("ALWriteParameter")->trigger();
    ASSERT_EQ(f.PanelTextOf(1), Msg(h, 279) + Msg(h, 250));
    h.clock.SleepMs(300);
    h.Find<QAbstractButton>("BTSOpenParameterFile")->click();
    h.Act("ALVerifyParameter")->trigger();
    EXPECT_EQ(f.PanelTextOf(1), Msg(h, 281) + Msg(h, 250));
    EXPECT_EQ(flash[0x0A00], edit.ComputeCheckSum(256));
}
