// Live monitoring in the program's own code, with realistic data: a long stream the simulated
// sensor produced (its values, bubbles, an emptied tube) replayed at the line's rate through
// the link and the acquisition into the store, the table model (attached to a view) and the
// chart (every 10th sample). Then clearing store and table after an import of 32000 rows, and
// one chart redraw. Plain timing main; each figure as min / median / max of several runs.
#include "AcquisitionHooks.h"
#include "LinkEvents.h"
#include "MeasFileEvents.h"
#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "link/Link.h"
#include "link/SerialDriver.h"
#include "monitor/Acquisition.h"
#include "monitor/ChartView.h"
#include "monitor/DiagramRenderer.h"
#include "monitor/MeasFiles.h"
#include "monitor/RecordingIndex.h"
#include "sim/Bench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace vmx;
using namespace vmx::monitor;

namespace {

// A serial port that delivers a recorded byte stream at 11520 bytes/s of the session clock.
class ReplayPort final : public link::SerialDriver {
public:
    ReplayPort(app::Clock& clock, const QByteArray& bytes) : clock_(clock), bytes_(bytes) {}
    std::vector<link::SerialPortEntry> List() override { return {}; }
    bool Probe(const QString&) override { return true; }
    bool Open(const QString&) override { return open_ = true; }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool SetQueues(int, int) override { return true; }
    bool SetTimeouts(const link::CommTimeouts&) override { return true; }
    bool Purge() override
    {
        at_ = Arrived();
        return true;
    }
    int Write(const quint8*, int n) override { return n; }
    int Read(quint8* data, int n) override
    {
        const int k = std::min(n, Available());
        std::copy_n(reinterpret_cast<const quint8*>(bytes_.constData()) + at_, k, data);
        at_ += k;
        return k;
    }
    int Available() override { return int(Arrived() - at_); }
    void Restart(qint64 fromUs)
    {
        fromUs_ = fromUs;
        at_ = 0;
    }
    bool Done() const { return at_ + 80 > qint64(bytes_.size()); }

private:
    qint64 Arrived() const
    {
        const qint64 n = (clock_.NowUs() - fromUs_) * proto::kBytesPerSecond / 1000000;
        return std::clamp<qint64>(n, 0, bytes_.size());
    }
    app::Clock& clock_;
    QByteArray bytes_;
    qint64 at_ = 0;
    qint64 fromUs_ = 0;
    bool open_ = false;
};

// `seconds` of long stream as the simulated sensor sends it: filled tube with bubbles, a
// spell of air, no tube for a moment.
QByteArray RecordStream(int seconds)
{
    sim::ConverterSpec conv;
    conv.sensor.mode = 2;
    sim::Bench bench(conv);
    QByteArray out;
    out.reserve(seconds * proto::kBytesPerSecond);
    quint8 buf[4096];
    for (qint64 ms = 10; ms <= qint64(seconds) * 1000; ms += 10) {
        const qint64 t = ms * 1000;
        if (ms % 700 == 0) bench.sensor().Bubble(t, 120000);
        if (ms % 20000 == 5000) bench.sensor().SetTube(sim::Tube::Empty, t);
        if (ms % 20000 == 9000) bench.sensor().SetTube(sim::Tube::None, t);
        if (ms % 20000 == 9500) bench.sensor().SetTube(sim::Tube::Filled, t);
        for (int k; (k = bench.Read(buf, int(sizeof buf), t)) > 0;)
            out.append(reinterpret_cast<char*>(buf), k);
    }
    return out;
}

struct Stats {
    std::vector<double> v;
    void Add(double x) { v.push_back(x); }
    double Min() const { return *std::min_element(v.begin(), v.end()); }
    double Max() const { return *std::max_element(v.begin(), v.end()); }
    double Median() const
    {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    app::VirtualClock clock;
    test::RecordingHost host(&clock);
    app::Session session(host, clock, QString());
    session.CopyValidSensorType(0);

    const int seconds = 600;
    const QByteArray stream = RecordStream(seconds);
    auto port = std::make_unique<ReplayPort>(clock, stream);
    ReplayPort* replay = port.get();
    link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    o.extraPorts = {QStringLiteral("replay")};
    test::LinkEvents events;
    link::Link lnk(session, events, std::move(port), nullptr, o);
    lnk.Reset_COM_USB();

    MeasurementStore store;
    MeasTableModel table;
    QTableView view;
    view.setModel(&table);
    view.resize(700, 400);
    view.show();
    DiagramRenderer diagram;
    diagram.DrawBitmapSchedule({});
    test::AcquisitionHooks hooks;
    Acquisition acq(session, lnk, store, table, hooks);
    hooks.settings.RefreshDivisor = 10;
    hooks.settings.Policy = app::DataOverflow::RollOver;
    hooks.redraw = [&] { diagram.DrawDiagram(store, {}, acq.Current().Signal); };
    hooks.follow = [&](int i) { view.selectRow(i + 1); };

    // 1. Throughput: the program's work per sample while it keeps pace with the line; once
    // with the chart as the window draws it, once without (where the time goes).
    const double lineRate = double(proto::kBytesPerSecond) / proto::kLongBlock;
    for (const bool chart : {true, false}) {
        hooks.redraw =
            chart ? std::function<void()>([&] { diagram.DrawDiagram(store, {}, acq.Current().Signal); })
                  : std::function<void()>();
        Stats rate;
        qint64 samples = 0;
        for (int run = 0; run < 5; ++run) {
            acq.ResetValues();
            replay->Restart(clock.NowUs());
            lnk.protocol().setMeasProtocol(link::MeasLong);
            acq.SetStopped(false);
            const qint64 before = acq.counters().stored;
            QElapsedTimer t;
            qint64 busyNs = 0;
            while (!replay->Done()) {
                clock.SleepMs(10);
                t.start();
                acq.Tick();
                busyNs += t.nsecsElapsed();
            }
            samples = acq.counters().stored - before;
            rate.Add(double(samples) / (double(busyNs) / 1e9));
        }
        std::printf(
            "samples/s (link read, decode, store, table row on a view%s; %lld samples of simulated "
            "stream per run): min %.0f  median %.0f  max %.0f  = %.0f .. %.0f x the line's %.0f/s  target "
            ">= 1000 x\n",
            chart ? ", chart every 10th" : ", no chart", static_cast<long long>(samples), rate.Min(),
            rate.Median(), rate.Max(), rate.Min() / lineRate, rate.Max() / lineRate, lineRate);
    }
    hooks.redraw = [&] { diagram.DrawDiagram(store, {}, acq.Current().Signal); };

    // 2. ResetValues (store, table with its view, chart) after importing 32000 rows.
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("full.txt"));
    {
        MeasurementStore full;
        MeasTableModel fullTable;
        for (int i = 0; i < 32000; ++i) {
            MeasSample s = EmptySample();
            std::array<quint8, 16> v{};
            quint8 out = 0;
            const auto* b = reinterpret_cast<const quint8*>(stream.constData()) + qint64(i % 80000) * 80;
            for (int r = 0; r < 16; ++r) {
                out = std::max(out, b[5 * r + 1]);
                v[size_t(r)] = quint8((b[5 * r + 2] & 0x7F) | (b[5 * r + 3] & 0x80));
            }
            SetMonV(s, v);
            s.OUT = out;
            s.Index = i;
            s.Valid = 1;
            s.Time = 46000.5 + i / 86400.0;
            fullTable.SetSampleRow(i + 1, s);
            full.at(i) = s;
        }
        test::MeasFileEvents outEvents(full, fullTable);
        MeasFiles out(session, full, fullTable, outEvents);
        if (!out.ExportText(txt)) return 1;
    }
    test::MeasFileEvents fileEvents(store, table);
    MeasFiles files(session, store, table, fileEvents);
    Stats reset;
    for (int run = 0; run < 7; ++run) {
        if (!files.ImportText(txt) || files.ImportError()) return 1;
        qapp.processEvents();
        QElapsedTimer t;
        t.start();
        acq.ResetValues();
        reset.Add(double(t.nsecsElapsed()) / 1e6);
        qapp.processEvents();
    }
    std::printf(
        "ResetValues after importing 32000 rows (store, table on a view, chart): min %.3f  median %.3f  "
        "max %.3f ms  target <= 1 ms\n",
        reset.Min(), reset.Median(), reset.Max());
    Stats emptyReset;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        acq.ResetValues();
        emptyReset.Add(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("ResetValues of an empty store: min %.3f  median %.3f  max %.3f ms\n", emptyReset.Min(),
                emptyReset.Median(), emptyReset.Max());

    // 3. One chart redraw of 640 samples of the stream.
    if (!files.ImportText(txt)) return 1;
    store.setIndex(5000);
    Stats redraw;
    for (int run = 0; run < 7; ++run) {
        const int reps = 200;
        QElapsedTimer t;
        t.start();
        for (int k = 0; k < reps; ++k)
            diagram.DrawDiagram(store, {}, 300);
        redraw.Add(double(t.nsecsElapsed()) / 1e6 / reps);
    }
    std::printf("one chart redraw of 640 samples: min %.3f  median %.3f  max %.3f ms  target <= 0.2 ms\n",
                redraw.Min(), redraw.Median(), redraw.Max());

    // 4. An hour of recording (the stream's samples over and over, 144 a second, in files of
    // 28800 rows as the text export writes them): indexing it, then zoom and pan redraws of
    // the navigated chart over the whole hour and close up.
    const int hourRows = 3600 * 144;
    const int fileRows = 28800;
    QTemporaryDir recDir;
    const std::int64_t blocks = stream.size() / 80;
    for (int f0 = 0; f0 < hourRows; f0 += fileRows) {
        MeasurementStore part;
        MeasTableModel partTable;
        for (int i = f0; i < f0 + fileRows; ++i) {
            MeasSample s = EmptySample();
            std::array<quint8, 16> v{};
            quint8 out = 0;
            const auto* b = reinterpret_cast<const quint8*>(stream.constData()) + (i % blocks) * 80;
            for (int r = 0; r < 16; ++r) {
                out = std::max(out, b[5 * r + 1]);
                v[size_t(r)] = quint8((b[5 * r + 2] & 0x7F) | (b[5 * r + 3] & 0x80));
            }
            SetMonV(s, v);
            s.OUT = out;
            s.Index = i;
            s.Valid = 1;
            s.Time = 46000.25 + i / (144.0 * 86400.0);
            partTable.SetSampleRow(i - f0 + 1, s);
        }
        test::MeasFileEvents partEvents(part, partTable);
        MeasFiles partFiles(session, part, partTable, partEvents);
        const QString name =
            QStringLiteral("SN1_20260101-%1.txt").arg(f0 / fileRows, 6, 10, QLatin1Char('0'));
        if (!partFiles.ExportText(recDir.filePath(name))) return 1;
    }
    qint64 bytes = 0;
    for (const QFileInfo& fi : QDir(recDir.path()).entryInfoList(QDir::Files))
        bytes += fi.size();
    RecordingIndex rec;
    QElapsedTimer open;
    open.start();
    if (!rec.Open(recDir.path()) || rec.rows() != hourRows) return 1;
    std::printf("indexing an hour of recording (%d rows, %d files, %.1f MB): %.0f ms\n", hourRows,
                int(rec.files().size()), double(bytes) / 1e6, double(open.nsecsElapsed()) / 1e6);
    MeasurementStore live; // the store after the recording, empty: all from the files
    ChartSource src{&live, hourRows, &rec};
    ChartView chart;
    chart.Pause(0);
    const auto timed = [&](const char* what, const std::function<void(int)>& step, int reps) {
        Stats st;
        for (int k = 0; k < reps; ++k) {
            step(k);
            QElapsedTimer t;
            t.start();
            diagram.DrawColumns(chart, src, {}, -1, 0);
            st.Add(double(t.nsecsElapsed()) / 1e6);
        }
        const auto worst = std::max_element(st.v.begin(), st.v.end()) - st.v.begin();
        std::printf("%s: min %.3f  median %.3f  max %.3f ms (redraw %d of %d)  target <= 16 ms\n", what,
                    st.Min(), st.Median(), st.Max(), int(worst) + 1, reps);
    };
    // The whole hour in sight: 810 samples a pixel.
    chart.ZoomTime(double(hourRows) / ChartView::kColumns, 0);
    timed(
        "zoom redraw, the hour in sight, wheel around the pointer",
        [&](int k) { chart.ZoomTime(k % 2 ? 1.25 : 0.8, 50 + (k * 37) % 540); }, 60);
    chart.Reset();
    chart.Pause(0);
    chart.ZoomTime(double(hourRows) / ChartView::kColumns, 0);
    timed(
        "pan redraw, the hour in sight, 20 pixels a step", [&](int k) { chart.Pan(k % 20 < 10 ? 20 : -20); },
        60);
    chart.Reset();
    chart.Pause(200000);
    chart.ZoomTime(4, 320);
    timed(
        "pan redraw close up (4 samples a pixel, rows read from the files), 64 pixels a step",
        [&](int) { chart.Pan(64); }, 60);
    chart.Reset();
    chart.Pause(0);
    timed(
        "zoom from one sample a pixel to the hour and back, step by step (1.25 a notch)",
        [&](int k) { chart.ZoomTime(k % 60 < 30 ? 1.25 : 0.8, 320); }, 60);
    return 0;
}
