// The window keeps pace with a streaming sensor: START for ten simulated minutes of long
// stream (the store rolling over), then the store, the table's last row and the chart agree
// with the last block the simulator completed; a tube emptied in the Simulator dock reaches
// the store at the next tick and the chart at its next redraw.
#include "UiHarness.h"

#include "sim/Bench.h"
#include "ui/SimulatorPanel.h"

#include <QRadioButton>
#include <QTableView>

#include <deque>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

namespace {

struct Block {
    qint64 startUs = 0; // the block's first byte on the line (when the sensor measured it)
    monitor::MeasSample sample;
};

monitor::MeasSample Decode(const QByteArray& b)
{
    std::array<quint8, 16> v{};
    quint8 out = 0;
    for (int r = 0; r < 16; ++r) {
        const auto* rec = reinterpret_cast<const quint8*>(b.constData()) + 5 * r;
        out = std::max(out, rec[1]);
        v[size_t(r)] = quint8((rec[2] & 0x7F) | (rec[3] & 0x80));
    }
    monitor::MeasSample s = monitor::EmptySample();
    monitor::SetMonV(s, v);
    s.OUT = out;
    return s;
}

bool SameFields(const monitor::MeasSample& a, const monitor::MeasSample& b)
{
    return a.OUT == b.OUT && a.Zero == b.Zero && a.ADC == b.ADC && a.Lin == b.Lin && a.Ampl == b.Ampl &&
           a.AMax == b.AMax && a.Gain == b.Gain && a.BAvg == b.BAvg && a.Alarm == b.Alarm &&
           a.Flags == b.Flags && a.Error == b.Error && a.Test == b.Test && a.Version == b.Version;
}

QRgb StateColour(int out)
{
    if (out > 240) return qRgb(0, 0, 255);
    if (out < 240) return qRgb(0, 128, 0);
    return qRgb(255, 0, 0);
}

// The last stored sample's slot.
int LastSlot(const monitor::MeasurementStore& s)
{
    return s.index() == 0 ? monitor::MeasurementStore::kLastIndex : s.index() - 1;
}

} // namespace

TEST(MonitorLive, TenMinutesOfLongStreamAndATubeEmptiedInTheDock)
{
    Harness h;
    sim::ConverterSpec converter;
    converter.sensor.mode = 2;
    h.links.simConverters = {converter};
    TMainForm& f = h.Start();
    sim::Bench* bench = f.station().link().SimBench(0);
    ASSERT_NE(bench, nullptr);
    bench->sensor().traceStreamBlocks = true;
    bench->trace().limit = 64;
    std::deque<Block> blocks; // the last few the sensor put on the line
    qint64 sent = 0;
    bench->trace().onEntry = [&](const sim::TraceEntry& e) {
        if (e.note != QLatin1String("stream block") || e.bytes.size() != 80) return;
        blocks.push_back(Block{e.tUs, Decode(e.bytes)});
        if (blocks.size() > 8) blocks.pop_front();
        ++sent;
    };
    // Ten minutes are 86400 blocks: the store rolls over.
    h.Act("MIDataOvfRollOver")->trigger();
    h.Act("ALStart")->trigger();
    ASSERT_FALSE(f.station().Stopped());

    // The block complete on the line at `now` (80 bytes after its start).
    auto lastComplete = [&](qint64 now) -> const Block* {
        for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
            if (it->startUs + proto::BytesToUs(proto::kLongBlock) <= now) return &*it;
        return nullptr;
    };
    const qint64 t0 = h.clock.NowUs();
    int tick = 0;
    qint64 lastRedraws = 0;
    // The timer's period; the program waits nowhere else in a stream tick.
    while (h.clock.NowUs() - t0 < qint64(600) * 1000000) {
        ++tick;
        h.clock.SleepUntilUs(t0 + qint64(tick) * 10000);
        f.Timer2Timer();
        lastRedraws = f.station().acquisition().counters().redraws;
    }
    ASSERT_FALSE(f.station().Stopped());
    const auto& c = f.station().acquisition().counters();
    EXPECT_EQ(c.resyncAfterFirst, 0);
    EXPECT_EQ(bench->overrunBytes(), 0);
    // Every block sent since the first stored one is stored, but the one on the wire.
    EXPECT_NEAR(double(c.stored), double(sent), 16);
    EXPECT_NEAR(double(c.stored), 600.0 * 144, 20);
    EXPECT_EQ(f.station().store().index(), int(c.stored % monitor::MeasurementStore::kSlots));

    // The store's last sample is the simulator's last complete block; the table's last row
    // shows it.
    const Block* last = lastComplete(h.clock.NowUs());
    ASSERT_NE(last, nullptr);
    const int slot = LastSlot(f.station().store());
    const monitor::MeasSample& stored = f.station().store().at(slot);
    EXPECT_TRUE(SameFields(stored, last->sample))
        << monitor::RowTexts(stored).join(' ').toStdString() << " / "
        << monitor::RowTexts(last->sample).join(' ').toStdString();
    QAbstractItemModel* model = h.Find<QTableView>("StGRead")->model();
    const QStringList texts = monitor::RowTexts(stored);
    for (int col = 0; col < 16; ++col)
        EXPECT_EQ(model->index(slot + 1, col).data().toString(), texts[col]) << col;
    EXPECT_EQ(model->index(slot + 1, 4).data().toString(), QString::number(last->sample.Zero));
    EXPECT_TRUE(model->index(slot + 2, 0).data().toString().isEmpty())
        << "the gap runs ahead of the write position";

    // The chart of the last redraw ends with the sample stored last in that tick.
    while (f.station().acquisition().counters().redraws == lastRedraws) {
        ++tick;
        h.clock.SleepUntilUs(t0 + qint64(tick) * 10000);
        f.Timer2Timer();
    }
    const QImage& img = f.diagram().image();
    const int right = f.station().store().index() >= monitor::DiagramRenderer::kSamples
                          ? 50 + monitor::DiagramRenderer::kSamples - 1
                          : 50 + f.station().store().index() - 1;
    const monitor::MeasSample& drawn = f.station().store().at(LastSlot(f.station().store()));
    EXPECT_EQ(img.pixel(right, 20), StateColour(drawn.OUT));
    EXPECT_TRUE(SameFields(drawn, lastComplete(h.clock.NowUs())->sample));

    // "Tube empty" in the dock: the next tick stores a block measured after it, the next
    // redraw shows air (OUT 240, the alarm band's red) at the chart's right end.
    auto* dock = f.SimulatorPanel();
    ASSERT_NE(dock, nullptr);
    const qint64 emptiedAt = h.clock.NowUs();
    dock->findChild<QRadioButton*>(QStringLiteral("RBSimTubeEmpty"))->click();
    int ticksToStore = 0;
    while (f.station().store().at(LastSlot(f.station().store())).OUT != 240 && ticksToStore < 100) {
        ++tick;
        ++ticksToStore;
        h.clock.SleepUntilUs(t0 + qint64(tick) * 10000);
        f.Timer2Timer();
    }
    // The block on the wire when the tube emptied was measured before; the one after it is
    // complete 2 x 6.9 ms later, within two ticks.
    EXPECT_LE(ticksToStore, 2);
    EXPECT_GE(lastComplete(h.clock.NowUs())->startUs, emptiedAt);
    const qint64 redraws = f.station().acquisition().counters().redraws;
    while (f.station().acquisition().counters().redraws == redraws) {
        ++tick;
        h.clock.SleepUntilUs(t0 + qint64(tick) * 10000);
        f.Timer2Timer();
    }
    EXPECT_EQ(f.station().store().at(LastSlot(f.station().store())).OUT, 240);
    EXPECT_EQ(f.diagram().image().pixel(right, 20), qRgb(255, 0, 0)) << "air shows in the state strip";
    EXPECT_LE(h.clock.NowUs() - emptiedAt, 100000) << "within ten samples of the change";
    h.Act("ALStop")->trigger();
}

// A polled sensor below V1.24 sends no OUT: the window derives it from the bubble factor of
// the working parameter block (byte 22), as the edit on the settings page sets it.
TEST(MonitorLive, PolledV123OutIsTheBubbleFactorTimesTheAverage)
{
    Harness h;
    h.WriteIni(QStringLiteral("[DEVICE]\nIDENTCODE=20\nTYPE=6\nSUBTYPE=0\nFIRMWARE=123\n"));
    sim::ConverterSpec converter;
    ASSERT_TRUE(converter.sensor.SetKey(6000123));
    converter.sensor.mode = 3;
    h.links.simConverters = {converter};
    TMainForm& f = h.Start();
    ASSERT_EQ(f.session().sensor.Firmware, 123);
    EXPECT_EQ(f.station().params().edit.BubbleFactor(), 5) << "the standard set";
    for (const quint8 factor : {quint8(5), quint8(3)}) {
        SCOPED_TRACE(int(factor));
        f.station().params().edit.SetBubbleFactor(factor);
        h.Act("ALStart")->trigger();
        ASSERT_FALSE(f.station().Stopped());
        const int from = f.station().store().index();
        for (int i = 0; i < 5; ++i) {
            h.clock.SleepMs(1000);
            f.Timer2Timer();
        }
        h.Act("ALStop")->trigger();
        ASSERT_GE(f.station().store().index(), from + 5);
        for (int i = from; i < f.station().store().index(); ++i) {
            const monitor::MeasSample& s = f.station().store().at(i);
            ASSERT_EQ(s.Error, 0);
            ASSERT_EQ(s.Alarm, 0);
            EXPECT_GE(s.BAvg, 1);
            EXPECT_EQ(s.OUT, factor * s.BAvg) << i;
        }
    }
}
