// The chart over a streaming sensor with a recording before the store: pause and follow while
// the acquisition goes on, wheel zoom that keeps the sample under the pointer, Shift + wheel,
// dragging, the keys, double click, the time axis, scroll-back into the recording and the
// export of what is in sight. Pictures of the navigated chart are kept as artefacts.
#include "UiHarness.h"

#include "TestPaths.h"
#include "monitor/MeasFiles.h"
#include "monitor/RecordingIndex.h"
#include "sim/Bench.h"

#include <QCheckBox>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <map>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

constexpr std::int64_t kRecorded = 40000; // samples in the recording, 4 a second
const QDateTime kStart(QDate(2026, 7, 1), QTime(6, 0, 0));

monitor::MeasSample Recorded(std::int64_t i)
{
    monitor::MeasSample s = monitor::EmptySample();
    s.Index = qint32(i);
    s.Valid = 1;
    s.Time = monitor::ToSampleTime(kStart.addMSecs(i * 250));
    s.OUT = quint8(100 + i % 100);
    s.Ampl = quint8(i % 200);
    s.AMax = 200;
    s.Gain = quint8(i / 5000);
    s.BAvg = quint8(i % 50);
    return s;
}

// Two files of the recording, written by the text export.
void WriteRecording(TMainForm& f, const QString& dir)
{
    for (const auto& [name, from, to] : {std::tuple{"SN77_20260701-060000.txt", 0, 18000},
                                         std::tuple{"SN77_20260701-071500.txt", 18000, int(kRecorded)}}) {
        monitor::MeasurementStore store;
        monitor::MeasTableModel table;
        for (int i = from; i < to; ++i)
            table.SetSampleRow(i - from + 1, Recorded(i));
        monitor::MeasFiles files(f.session(), store, table, f.station().measFileEvents());
        ASSERT_TRUE(files.ExportText(QDir(dir).filePath(QLatin1String(name))));
    }
}

void Wheel(QWidget* w, int x, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWheelEvent e(QPointF(x, 300), w->mapToGlobal(QPointF(x, 300)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  mods, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

void Mouse(QWidget* w, QEvent::Type type, int x, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(x, 300), w->mapToGlobal(QPointF(x, 300)), Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(ChartNavigation, PauseZoomPanTimeAxisScrollBackAndExport)
{
    Harness h;
    sim::ConverterSpec converter;
    converter.sensor.mode = 2; // streaming, 144 samples a second
    h.links.simConverters = {converter};
    TMainForm& f = h.Start();
    QWidget* pb = h.Find<QWidget>("PB");
    QTemporaryDir recDir;
    WriteRecording(f, recDir.path());
    ASSERT_TRUE(f.OpenRecording(recDir.path()));
    EXPECT_EQ(f.recording().rows(), kRecorded);
    f.SetStoreBase(kRecorded); // the live samples follow the recording's
    f.SetMarks({kRecorded - 100, kRecorded + 50});

    int tick = 0;
    const qint64 t0 = h.clock.NowUs();
    auto run = [&](int ms) {
        for (int i = 0; i < ms / 10; ++i) {
            ++tick;
            h.clock.SleepUntilUs(t0 + qint64(tick) * 10000);
            f.Timer2Timer();
        }
    };
    h.Act("ALStart")->trigger();
    run(8000);
    const auto newest = [&] { return kRecorded + f.station().store().index() - 1; };
    ASSERT_GT(f.station().store().index(), 1000);
    EXPECT_FALSE(f.chartView().navigated()) << "nothing changes until the user navigates";

    const monitor::ChartView& v = f.chartView();
    std::int64_t under = 0;
    double first = 0;
    struct Step {
        const char* what;
        std::function<void()> act;
        std::function<void()> check;
    };
    const std::vector<Step> steps = {
        {"pause: the view stays while the store fills",
         [&] {
             h.Act("ALPause")->trigger();
             first = v.first();
             run(2000);
         },
         [&] {
             EXPECT_TRUE(v.paused());
             EXPECT_EQ(v.first(), first);
             EXPECT_EQ(f.VisibleRange().first, std::int64_t(first));
             EXPECT_LT(f.VisibleRange().second, newest() - 200);
             EXPECT_TRUE(h.Act("ALFollow")->isEnabled());
         }},
        {"follow: the newest sample at the right end, keeping up",
         [&] {
             h.Act("ALFollow")->trigger();
             run(1000);
         },
         [&] {
             EXPECT_FALSE(v.paused());
             EXPECT_EQ(f.VisibleRange().second, newest());
             EXPECT_FALSE(h.Act("ALFollow")->isEnabled());
         }},
        {"wheel up at x 300: closer, the sample under the pointer stays",
         [&] {
             f.DrawDiagram();
             under = v.SampleAt(250);
             Wheel(pb, 300, 240);
         },
         [&] {
             EXPECT_TRUE(v.paused());
             EXPECT_LT(v.per(), 1.0);
             EXPECT_EQ(v.SampleAt(250), under);
         }},
        {"wheel down at x 600 three notches: farther, the sample stays",
         [&] {
             under = v.SampleAt(550);
             Wheel(pb, 600, -360);
             Wheel(pb, 600, -360);
         },
         [&] {
             EXPECT_GT(v.per(), 1.0);
             EXPECT_EQ(v.SampleAt(550), under);
         }},
        {"Shift + wheel zooms the values only",
         [&] {
             first = v.first();
             Wheel(pb, 400, 240, Qt::ShiftModifier);
         },
         [&] {
             EXPECT_GT(v.valueZoom(), 1.0);
             EXPECT_EQ(v.first(), first);
         }},
        {"arrow up and down zoom the values too",
         [&] {
             under = std::int64_t(v.valueZoom() * 1000);
             Key(pb, Qt::Key_Up);
         },
         [&] {
             EXPECT_NEAR(v.valueZoom(), under / 1000.0 * 1.25, 0.002);
             Key(pb, Qt::Key_Down);
             EXPECT_NEAR(v.valueZoom(), under / 1000.0, 0.002);
         }},
        {"dragging 100 pixels left shows 100 columns of newer samples",
         [&] {
             first = v.first();
             Mouse(pb, QEvent::MouseButtonPress, 400, Qt::LeftButton);
             Mouse(pb, QEvent::MouseMove, 350, Qt::LeftButton);
             Mouse(pb, QEvent::MouseMove, 300, Qt::LeftButton);
             Mouse(pb, QEvent::MouseButtonRelease, 300, Qt::NoButton);
         },
         [&] { EXPECT_DOUBLE_EQ(v.first(), first + 100 * v.per()); }},
        {"arrow left pans back",
         [&] {
             first = v.first();
             Key(pb, Qt::Key_Left);
         },
         [&] { EXPECT_DOUBLE_EQ(v.first(), first - 64 * v.per()); }},
        {"minus zooms out around the middle",
         [&] {
             under = v.SampleAt(320);
             first = v.per();
             Key(pb, Qt::Key_Minus);
         },
         [&] {
             EXPECT_GT(v.per(), first);
             EXPECT_EQ(v.SampleAt(320), under);
         }},
        {"double click: the default chart again",
         [&] {
             QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(300, 300), pb->mapToGlobal(QPointF(300, 300)),
                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(pb, &e);
         },
         [&] {
             EXPECT_FALSE(v.navigated());
             EXPECT_EQ(v.per(), 1.0);
             EXPECT_EQ(v.valueZoom(), 1.0);
         }},
        {"Home: back into the recording, its first sample at the left", [&] { Key(pb, Qt::Key_Home); },
         [&] {
             EXPECT_EQ(v.first(), 0.0);
             const auto& cols = f.diagram().columns();
             ASSERT_EQ(cols.size(), 640u);
             for (int c : {0, 1, 333, 639}) {
                 ASSERT_TRUE(cols[size_t(c)].any) << c;
                 EXPECT_EQ(cols[size_t(c)].hi[3], Recorded(c).OUT) << c;
                 EXPECT_EQ(cols[size_t(c)].hi[1], Recorded(c).Ampl) << c;
             }
         }},
        {"time axis: hh:mm:ss of the sample at each grid line",
         [&] {
             h.Find<QCheckBox>("ChBTimeAxis")->setChecked(true);
             for (int i = 0; i < 6; ++i)
                 Wheel(pb, 50, -240); // zoomed out from the recording's start: minutes
         },
         [&] {
             EXPECT_TRUE(v.timeAxis());
             const auto& labels = f.diagram().axisLabels();
             ASSERT_GE(labels.size(), 3u);
             for (const auto& l : labels) {
                 EXPECT_EQ(l.text, kStart.addMSecs(l.sample * 250).toString(QStringLiteral("hh:mm:ss")))
                     << l.x;
                 EXPECT_EQ(l.x, 50 + int(std::floor((double(l.sample) - v.first()) / v.per())));
             }
             f.PBMouseMove(50 + 10);
             EXPECT_TRUE(pb->toolTip().endsWith(
                 kStart.addMSecs(v.SampleAt(10) * 250).toString(QStringLiteral("hh:mm:ss"))))
                 << qPrintable(pb->toolTip());
         }},
        {"End follows the newest sample again with the zoom kept",
         [&] {
             Key(pb, Qt::Key_End);
             for (int i = 0; i < 3; ++i) // about 36000 samples in sight
                 Wheel(pb, 689, -240);
             Key(pb, Qt::Key_End);
             run(500);
         },
         [&] {
             EXPECT_FALSE(v.paused());
             EXPECT_GT(v.per(), 1.0);
             f.DrawDiagram(); // as the next stored sample's redraw does
             EXPECT_EQ(f.VisibleRange().second, newest());
             // An hour of the recording and the store around it is too much for one table.
             EXPECT_FALSE(f.ExportVisible(false, recDir.filePath(QStringLiteral("wide.txt"))));
             EXPECT_TRUE(f.PanelTextOf(1).contains(QStringLiteral("32000"))) << qPrintable(f.PanelTextOf(1));
             EXPECT_FALSE(QFile::exists(recDir.filePath(QStringLiteral("wide.txt"))));
         }},
    };
    const std::map<size_t, const char*> pictures = {{2, "chart-zoomed.png"},
                                                    {4, "chart-values.png"},
                                                    {10, "chart-recording.png"},
                                                    {11, "chart-time-axis.png"}};
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].what);
        steps[i].act();
        steps[i].check();
        if (pictures.count(i)) {
            f.show(); // a window never shown has not laid out its menu bar
            QCoreApplication::processEvents();
            f.grab().save(testpaths::Artefact(QLatin1String(pictures.at(i))));
        }
    }

    // The visible range across the recording's end and the store's start, exported from the
    // chart's menu: every sample in sight once, in order, as the files and the table hold it.
    h.Find<QCheckBox>("ChBTimeAxis")->setChecked(false);
    f.ChartReset();
    f.ALPauseExecute();
    Key(pb, Qt::Key_Home);
    for (int i = 0; i < 2000 && v.first() < double(kRecorded - 300); ++i)
        Key(pb, Qt::Key_Right);
    const std::pair<std::int64_t, std::int64_t> range = f.VisibleRange();
    const std::int64_t from = range.first, to = range.second;
    ASSERT_LT(from, kRecorded);
    ASSERT_GT(to, kRecorded);
    const QString out = recDir.filePath(QStringLiteral("visible.txt"));
    h.fileNames.push_back(out);
    QMenu* menu = f.ChartMenu();
    menu->findChild<QAction*>(QStringLiteral("MIChartExportText"))->trigger();
    monitor::RecordingIndex exported;
    ASSERT_TRUE(exported.Open(out));
    EXPECT_EQ(exported.rows(), to - from + 1);
    std::int64_t expect = 0;
    exported.Rows(0, kRecorded * 2, [&](const monitor::RecordedSample& s, const QByteArray&) {
        EXPECT_EQ(s.index, from + expect);
        if (s.index < kRecorded) {
            EXPECT_EQ(s.sample.OUT, Recorded(s.index).OUT);
        } else {
            EXPECT_EQ(s.sample.OUT, f.station().store().at(int(from + expect - kRecorded)).OUT);
        }
        ++expect;
    });
    EXPECT_EQ(expect, to - from + 1);
    const QString book = recDir.filePath(QStringLiteral("visible.xlsx"));
    h.fileNames.push_back(book);
    menu->findChild<QAction*>(QStringLiteral("MIChartExportExcel"))->trigger();
    EXPECT_TRUE(QFile::exists(book));
    h.Act("ALStop")->trigger();
}
