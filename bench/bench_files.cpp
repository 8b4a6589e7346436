// Export and import of a full table (32000 samples): text file and workbook. Plain timing
// main; figures against the design targets.
#include "MeasFileEvents.h"
#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "monitor/MeasFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace vmx;
using namespace vmx::monitor;

namespace {
double BestMs(int reps, const std::function<bool()>& f)
{
    double best = 1e9;
    for (int i = 0; i < reps; ++i) {
        QElapsedTimer t;
        t.start();
        if (!f()) return -1;
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    app::VirtualClock clock;
    test::RecordingHost host(&clock);
    app::Session session(host, clock, QString());
    session.CopyValidSensorType(0);
    MeasurementStore store;
    MeasTableModel table;
    test::MeasFileEvents events(store, table);
    MeasFiles files(session, store, table, events);
    const int n = 32000;
    for (int i = 0; i < n; ++i) {
        MeasSample s = EmptySample();
        s.Index = i;
        s.Valid = 1;
        s.Time = 46000.5 + i / 86400.0;
        s.OUT = quint8(i % 250);
        s.Zero = quint16(900 + i % 7);
        s.ADC = quint16(300 + i % 13);
        s.Lin = quint16(s.Zero - s.ADC);
        s.Ampl = quint8(180 + i % 20);
        s.AMax = 200;
        s.Gain = 3;
        s.BAvg = quint8(i % 90);
        s.Flags = 0x5A;
        s.Test = quint16(i);
        s.Version = 0x43;
        table.SetSampleRow(i + 1, s);
        store.at(i) = s;
    }
    QTemporaryDir dir;
    const QString txt = dir.filePath("bench.txt");
    const QString xlsx = dir.filePath("bench.xlsx");

    const double te = BestMs(5, [&] { return files.ExportText(txt); });
    std::printf("text export of %d samples: %.1f ms (%lld bytes)  target <= 100 ms\n", n, te,
                (long long)QFileInfo(txt).size());
    const double we = BestMs(3, [&] { return files.ExportExcel(xlsx); });
    std::printf("workbook export of %d samples: %.1f ms (%lld bytes)  target <= 1000 ms\n", n, we,
                (long long)QFileInfo(xlsx).size());

    MeasurementStore store2;
    MeasTableModel table2;
    test::MeasFileEvents events2(store2, table2);
    MeasFiles in(session, store2, table2, events2);
    const double ti = BestMs(5, [&] { return in.ImportText(txt) && !in.ImportError(); });
    std::printf("text import of %d samples (table and store): %.1f ms  target <= 100 ms\n", n, ti);
    const double wi = BestMs(3, [&] { return in.ImportExcel(xlsx) && !in.ImportError(); });
    std::printf("workbook import of %d samples (table and store): %.1f ms  (no target)\n", n, wi);
    return te < 0 || we < 0 || ti < 0 || wi < 0 ? 1 : 0;
}
