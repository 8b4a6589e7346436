// Recording, trigger and replay from the window's menus on the virtual clock: the trigger marks
// the samples where OUT rises to the alarm, the recording holds them at those indices, and a
// replay at 10x brings the same marks back in a tenth of the time without a byte to the sensor.
// Pictures of the trigger dialog and of the window while recording are kept as artefacts.
#include "UiHarness.h"

#include "TestPaths.h"

#include "monitor/Replay.h"
#include "sim/Bench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

TEST(RecordingWindow, TriggerMarksTheRisesAndAReplayAt10xBringsThemBack)
{
    Harness h;
    QTemporaryDir rec;
    sim::ConverterSpec converter;
    converter.sensor.mode = 2;
    h.links.simConverters = {converter};
    h.pickFile = [&](const QString& dialog, const QString&) {
        if (dialog == QLatin1String("RecordFolder")) return rec.path();
        if (dialog == QLatin1String("OpenRecording"))
            return QDir(rec.path())
                .filePath(QDir(rec.path()).entryList({"*.txt"}, QDir::Files, QDir::Name).value(0));
        return QString();
    };
    TMainForm& f = h.Start();
    sim::Bench* bench = f.station().link().SimBench(0);
    ASSERT_NE(bench, nullptr);
    bench->trace().limit = 64;
    int toSensor = 0;
    bench->trace().onEntry = [&](const sim::TraceEntry& e) {
        if (e.dir == sim::Dir::In) ++toSensor;
    };
    std::vector<qint64> signalled;
    QObject::connect(&f, &TMainForm::triggerMarked, &f, [&](qint64 i) { signalled.push_back(i); });

    f.triggerDialogHook = [](QDialog& d) {
        d.findChild<QCheckBox*>("ChBTriggerOn")->setChecked(true);
        d.findChild<QComboBox*>("CBTriggerValue")->setCurrentIndex(0); // QVR
        d.findChild<QSpinBox*>("ETriggerThreshold")->setValue(240);
        d.findChild<QComboBox*>("CBTriggerDirection")->setCurrentIndex(0); // rising
        d.findChild<QSpinBox*>("ETriggerBefore")->setValue(5);
        d.findChild<QSpinBox*>("ETriggerAfter")->setValue(5);
        d.findChild<QRadioButton*>("RBTriggerMark")->setChecked(true);
        d.show();
        QCoreApplication::processEvents();
        testpaths::ArtefactDir();
        d.grab().save(testpaths::Artefact(QStringLiteral("trigger-dialog.png")));
        QTimer::singleShot(0, &d, &QDialog::accept);
    };
    h.Act("MITrigger")->trigger();
    ASSERT_TRUE(f.station().trigger().settings().enabled);
    h.Act("MIRecordStart")->trigger();
    ASSERT_TRUE(f.station().recording().Active());
    EXPECT_FALSE(h.Act("MIRecordStart")->isEnabled());
    h.Act("MIDataOvfRollOver")->trigger();
    h.Act("ALStart")->trigger();
    bench->sensor().BubbleTrain(h.clock.NowUs() + 2000000, 3100000, 300000);
    auto runFor = [&](qint64 us) {
        const qint64 until = h.clock.NowUs() + us;
        while (h.clock.NowUs() < until) {
            h.clock.SleepMs(10);
            f.Timer2Timer();
        }
    };
    runFor(240 * 1000000); // the store rolls over after 32001 samples, 3 min 42 s
    auto* label = h.Find<QLabel>("SBarRecording");
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("Aufzeichnung: "))) << label->text().toStdString();
    f.show(); // a window never shown has not laid out its menu bar
    QCoreApplication::processEvents();
    f.grab().save(testpaths::Artefact(QStringLiteral("recording-status.png")));
    // After the store rolled over, the chart's newest sample is still the last one stored.
    ASSERT_LT(f.station().store().index(), int(f.station().AbsoluteIndex()));
    ASSERT_TRUE(f.ChartKey(Qt::Key_End, Qt::NoModifier));
    f.DrawDiagram();
    EXPECT_EQ(f.VisibleRange().second, f.station().AbsoluteIndex() - 1);
    h.Act("MIRecordStop")->trigger();
    h.Act("ALStop")->trigger();
    ASSERT_FALSE(f.station().recording().Failed());
    // The chart reads the recording it has been writing, for scroll-back beyond the store.
    f.Timer2Timer();
    const QStringList firstFiles = f.station().recording().Files();
    EXPECT_EQ(f.recording().files(), firstFiles);
    EXPECT_EQ(f.recording().firstIndex(), 0);

    // The marks are the rows where OUT reaches 240 after a row below it.
    std::vector<qint64> rises;
    monitor::Replay rows;
    ASSERT_TRUE(rows.Open(f.station().recording().Files(), monitor::Replay::Max, 0));
    monitor::Replay::Row r;
    int previous = 0;
    qint64 n = 0;
    while (rows.Next(0, r)) {
        if (r.index > 0 && r.sample.OUT >= 240 && previous < 240) rises.push_back(r.index);
        previous = r.sample.OUT;
        n = r.index + 1;
    }
    EXPECT_NEAR(double(n), 240.0 * 144, 144);
    ASSERT_GE(rises.size(), 15u);
    EXPECT_EQ(signalled, rises);
    EXPECT_EQ(f.station().TriggerMarks(), rises);
    EXPECT_EQ(f.diagram().marks(), std::vector<std::int64_t>(rises.begin(), rises.end()));

    // Replay at 10x from the file menu: a tenth of the recorded time, the same marks again.
    signalled.clear();
    toSensor = 0;
    h.Act("MIReplay_10")->trigger();
    ASSERT_TRUE(f.station().Replaying());
    const qint64 t0 = h.clock.NowUs();
    f.Timer2Timer();
    EXPECT_TRUE(label->text().startsWith(QStringLiteral("Wiedergabe "))) << label->text().toStdString();
    while (f.station().Replaying() && h.clock.NowUs() - t0 < 40 * 1000000) {
        h.clock.SleepMs(10);
        f.Timer2Timer();
    }
    const double took = double(h.clock.NowUs() - t0) / 1e6;
    EXPECT_GT(took, 23.5);
    EXPECT_LT(took, 24.6);
    EXPECT_EQ(signalled, rises);
    EXPECT_EQ(f.station().store().index(), int(n % monitor::MeasurementStore::kSlots));
    EXPECT_EQ(toSensor, 0);

    // A new recording in the same folder: the chart leaves the last one for it.
    h.Act("MIRecordStart")->trigger();
    ASSERT_TRUE(f.station().recording().Active());
    h.Act("MIRecordStop")->trigger();
    f.Timer2Timer();
    ASSERT_NE(f.station().recording().Files(), firstFiles);
    EXPECT_EQ(f.recording().files(), f.station().recording().Files());
}
