// Measuring throughput: decode -> store -> table row -> every 10th redraw, the reset, one
// redraw. Plain timing main; figures against the design targets.
#include "monitor/DiagramRenderer.h"
#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>

using namespace vmx::monitor;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    MeasurementStore store;
    MeasTableModel table;
    DiagramRenderer diagram;
    diagram.DrawBitmapSchedule({});
    StoreSettings st;
    st.RefreshDivisor = 10;
    st.Policy = vmx::app::DataOverflow::RollOver;

    const int n = 32000;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        MeasSample s = EmptySample();
        std::array<quint8, 16> v{0x03, 0x84, 0x01, 0x2C, 0x02, 0x58, quint8(i), 210, 3, 0, 0x5A, 12, 0, 0, 0, 0x43};
        SetMonV(s, v);
        s.Index = store.index();
        s.Valid = 1;
        s.OUT = quint8(i % 250);
        table.SetSampleRow(store.index() + 1, s);
        const auto r = store.Store(s, st);
        if (r.Redraw) diagram.DrawDiagram(store, {}, s.Signal);
    }
    const double secs = double(t.nsecsElapsed()) / 1e9;
    const double rate = n / secs;
    std::printf("samples/s (decode, store, table row, redraw every 10th): %.0f  target >= %d (1000 x 144/s)\n",
                rate, 144000);

    double worstReset = 0;
    for (int k = 0; k < 20; ++k) {
        t.restart();
        table.Clear();
        store.Reset();
        worstReset = std::max(worstReset, double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("ResetValues (store and table), worst of 20: %.3f ms  target <= 1 ms\n", worstReset);

    store.setIndex(5000);
    const int reps = 200;
    t.restart();
    for (int k = 0; k < reps; ++k) diagram.DrawDiagram(store, {}, 300);
    std::printf("one redraw of 640 samples: %.3f ms  target <= 1 ms\n", double(t.nsecsElapsed()) / 1e6 / reps);
    return 0;
}
