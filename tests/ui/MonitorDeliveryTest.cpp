// START in the window against the simulated sensor in each delivery mode: every stored sample
// is one the simulator sent (its trace holds the answers and stream blocks), in order, and the
// window's table and chart show it.
#include "UiHarness.h"

#include "sim/Bench.h"

#include <QTableView>

#include <algorithm>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

// What the simulator put on the line for one sample.
struct Sent {
    quint8 out = 0;
    bool hasValues = false;
    std::array<quint8, 16> v{};
};

quint16 Word(const std::array<quint8, 16>& v, int i)
{
    return quint16(v[size_t(i)] << 8 | v[size_t(i + 1)]);
}

std::vector<Sent> SentByTheSimulator(const sim::Trace& trace, int mode)
{
    std::vector<Sent> sent;
    for (const sim::TraceEntry& e : trace.Of(sim::Dir::Out, sim::Unit::Sensor)) {
        const auto* b = reinterpret_cast<const quint8*>(e.bytes.constData());
        Sent s;
        if (mode == 3) {
            // The polled answer: V0..V15 at 4..19, OUT at 20 (22-byte answers).
            if (e.bytes.size() != 22 || b[3] != 0x23) continue;
            s.hasValues = true;
            for (int k = 0; k < 16; ++k)
                s.v[size_t(k)] = b[4 + k];
            s.out = b[20];
        } else if (e.note == QLatin1String("stream block")) {
            const int rec = mode == 2 ? 5 : 3;
            if (e.bytes.size() != 16 * rec) continue;
            for (int k = 0; k < 16; ++k) {
                const quint8* r = b + k * rec;
                s.out = std::max(s.out, r[1]);
                if (mode == 2) s.v[size_t(k)] = quint8((r[2] & 0x7F) | (r[3] & 0x80));
            }
            s.hasValues = mode == 2;
        } else {
            continue;
        }
        sent.push_back(s);
    }
    return sent;
}

bool Matches(const monitor::MeasSample& m, const Sent& s)
{
    if (m.OUT != s.out) return false;
    if (!s.hasValues) return m.Zero == 0 && m.ADC == 0 && m.Ampl == 0 && m.Version == 0;
    const auto& v = s.v;
    return m.Zero == Word(v, 0) && m.ADC == Word(v, 2) && m.Lin == Word(v, 4) && m.Ampl == v[6] &&
           m.AMax == v[7] && m.Gain == v[8] && m.Alarm == v[9] && m.Flags == v[10] && m.BAvg == v[11] &&
           m.Error == v[12] && m.Test == Word(v, 13) && m.Version == v[15];
}

QRgb StateColour(int out, int threshold)
{
    if (out > 240) return qRgb(0, 0, 255);
    if (out < threshold) return qRgb(0, 128, 0);
    return qRgb(255, 0, 0);
}

void RunMode(int mode, int ticks, int tickMs)
{
    SCOPED_TRACE(mode);
    Harness h;
    sim::ConverterSpec converter;
    converter.sensor.mode = mode;
    h.links.simConverters = {converter};
    TMainForm& f = h.Start();
    sim::Bench* bench = f.station().link().SimBench(0);
    ASSERT_NE(bench, nullptr);
    bench->sensor().traceStreamBlocks = true;
    h.Act("ALStart")->trigger();
    ASSERT_FALSE(f.station().Stopped());
    for (int i = 0; i < ticks; ++i) {
        // A bubble now and then, so OUT and the state strip change during the run.
        if (i % 15 == 5) bench->sensor().Bubble(h.clock.NowUs(), 150000);
        h.clock.SleepMs(tickMs);
        f.Timer2Timer();
    }
    h.Act("ALStop")->trigger();
    const int n = f.station().store().index();
    ASSERT_GE(n, 20);
    ASSERT_LT(n, monitor::DiagramRenderer::kSamples);

    // Every stored sample is one the simulator sent, in order (blocks the program dropped
    // while synchronising are skipped); polled answers are all stored.
    // The short stream has no record pointer: a block read may start at any record, so its
    // OUT is the largest of 16 consecutive records as sent.
    const std::vector<Sent> sent = SentByTheSimulator(bench->trace(), mode);
    std::vector<quint8> records;
    for (const sim::TraceEntry& e : bench->trace().Of(sim::Dir::Out, sim::Unit::Sensor))
        if (e.note == QLatin1String("stream block") && e.bytes.size() == 48)
            for (int k = 0; k < 16; ++k)
                records.push_back(quint8(e.bytes[k * 3 + 1]));
    size_t at = 0;
    bool sawAlarm = false, sawClear = false;
    for (int i = 0; i < n; ++i) {
        const monitor::MeasSample& m = f.station().store().at(i);
        ASSERT_EQ(m.Valid, 1) << i;
        EXPECT_EQ(+m.Index, i);
        if (mode == 1) {
            EXPECT_TRUE(Matches(m, Sent{m.OUT, false, {}})) << "no values in the short stream: " << i;
            auto windowMax = [&](size_t p) {
                return *std::max_element(records.begin() + long(p), records.begin() + long(p) + 16);
            };
            while (at + 16 <= records.size() && windowMax(at) != m.OUT)
                ++at;
            ASSERT_LE(at + 16, records.size())
                << "sample " << i << " (OUT " << int(m.OUT) << ") was never sent";
            at += 16;
        } else {
            while (at < sent.size() && !Matches(m, sent[at])) {
                // The probe's own poll comes before the first stored answer.
                ASSERT_TRUE(mode != 3 || i == 0) << "a polled answer was not stored: sample " << i;
                ++at;
            }
            ASSERT_LT(at, sent.size()) << "sample " << i << " (OUT " << int(m.OUT) << ") was never sent";
            ++at;
        }
        (m.OUT >= 240 ? sawAlarm : sawClear) = true;
    }
    if (mode == 3) {
        EXPECT_EQ(at, sent.size()) << "every answer after the probe is stored";
    }
    EXPECT_TRUE(sawAlarm);
    EXPECT_TRUE(sawClear);

    // The table: row i + 1 holds sample i, with the value columns only when values came.
    auto* grid = h.Find<QTableView>("StGRead");
    QAbstractItemModel* model = grid->model();
    for (int i = 0; i < n; ++i) {
        const monitor::MeasSample& m = f.station().store().at(i);
        EXPECT_EQ(model->index(i + 1, 0).data().toString(), QString::number(i));
        EXPECT_EQ(model->index(i + 1, 3).data().toString(), QString::asprintf("%2d", m.OUT));
        if (mode == 1) {
            EXPECT_TRUE(model->index(i + 1, 4).data().toString().isEmpty());
        } else {
            EXPECT_EQ(model->index(i + 1, 4).data().toString(), QString::number(+m.Zero));
        }
    }

    // The chart: the state strip shows each sample's OUT band; the amplitude curve passes
    // through each sample's point when values came.
    f.DrawDiagram();
    const QImage& img = f.diagram().image();
    for (int i = 0; i < n; ++i) {
        const monitor::MeasSample& m = f.station().store().at(i);
        EXPECT_EQ(img.pixel(50 + i, 20), StateColour(m.OUT, 240)) << i;
        // Only where the AMax polyline, drawn later, does not cross the point.
        auto yMax = [&](int j) {
            return 288 - std::min(128, f.station().store().at(std::max(j, 0)).AMax / 2);
        };
        const int y = 288 - std::min(128, m.Ampl / 2);
        auto crosses = [&](int a, int b) {
            return y >= std::min(yMax(a), yMax(b)) && y <= std::max(yMax(a), yMax(b));
        };
        if (mode != 1 && !crosses(i - 1, i) && !crosses(i, i + 1)) {
            EXPECT_EQ(img.pixel(50 + i, 288 - std::min(128, m.Ampl / 2)), qRgb(255, 255, 0)) << i;
        }
    }
    EXPECT_EQ(img.pixel(50 + n + 20, 20), qRgb(128, 128, 128)) << "empty samples are grey";
}

} // namespace

TEST(MonitorDelivery, PolledAnswersAreStoredAndShown)
{
    RunMode(3, 60, 100);
}
TEST(MonitorDelivery, LongStreamBlocksAreStoredAndShown)
{
    RunMode(2, 120, 10);
}
TEST(MonitorDelivery, ShortStreamBlocksAreStoredAndShown)
{
    RunMode(1, 80, 10);
}
