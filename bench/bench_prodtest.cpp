// One production-test unit on the simulated station, on the virtual clock: program 5 (the
// amplitude test: 34 steps, nine measurements with their restarts) for its CPU time and the
// exchanges it makes; program 24 for its firmware download step, the time it takes in the
// simulated world over the causal minimum of the same link operations and waits at 115200 baud.
#include "CausalMinimum.h"
#include "HexFile.h"
#include "StationWatch.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "sim/Bench.h"
#include "station/Station.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace vmx;

namespace {

const char* const kDefinitions = R"INI([TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Amplitude"
[#PRÜFPROGRAMM] "Programm","5"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#TESTVERSION_1] "Firmware","143"
[#VARIANTE_1] "Variante","3"
[#DATEI_PAR_1] "Parameter","QVR05_V101.hex"
[#DATEI_PAR_2] "Parameter","QVR05_V101.hex"
[#AMPLITUDE_1] "A1","gefüllter Schlauch"
[#AMPLITUDE_MIN_1] "min","350"
[#AMPLITUDE_MAX_1] "max","450"
[#AMPLITUDE_2] "A2","leerer Schlauch"
[#AMPLITUDE_MIN_2] "min","200"
[#AMPLITUDE_MAX_2] "max","300"
[#AMPLITUDE_3] "A3","Schlauch mit Blasen"
[#AMPLITUDE_MIN_3] "min","350"
[#AMPLITUDE_MAX_3] "max","450"
[#AMPLITUDE_4] "A4","gefüllter Schlauch"
[#AMPLITUDE_MIN_4] "min","350"
[#AMPLITUDE_MAX_4] "max","450"
[#BLASE_1] "B1","kleine Blasen"
[#BLASE_MIN_1] "min","50"
[#BLASE_MAX_1] "max","150"
[#BLASE_2] "B2","große Blasen"
[#BLASE_MIN_2] "min","200"
[#BLASE_MAX_2] "max","255"
[#SCHALTAUSGANG_1] "S1","H"
[#SCHALTAUSGANG_2] "S2","L"
[#SCHALTAUSGANG_3] "S3","LHLH"
[#SCHALTAUSGANG_4] "S4","H"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Download"
[#PRÜFPROGRAMM] "Programm","24"
[#DATEI_FW_1] "Firmware","QVR05_V143.hex"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#BOOTVERSION_1] "Boot","3"
[#TESTVERSION_1] "Firmware","143"
[#VARIANTE_1] "Variante","2"
[#AMPLITUDE_4] "A4","gefüllter Schlauch"
[#AMPLITUDE_MIN_4] "min","350"
[#AMPLITUDE_MAX_4] "max","450"
)INI";

struct Panel : prodtest::OperatorPanel {
    std::map<Entry, QString> text;
    QString EntryText(Entry e) override { return text[e]; }
    void SetEntryText(Entry e, const QString& t) override { text[e] = t; }
};

struct Unit {
    double cpuS = 0;
    double virtualS = 0;
    int exchanges = 0;
    double downloadS = 0;
    double downloadMinS = 0;
    QString verdict;
};

Unit RunUnit(int definition)
{
    app::VirtualClock clock;
    std::vector<benchsupport::Event> log;
    benchsupport::WaitLog host(&clock, log);
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("TEST.INI")));
        ini.open(QIODevice::WriteOnly);
        ini.write(QByteArray(kDefinitions).replace("\n", "\r\n"));
    }
    std::vector<quint8> fw(0x1A00);
    for (size_t a = 0; a < fw.size(); ++a)
        fw[a] = quint8(a * 7 + (a >> 8) + 1);
    std::fill(fw.begin() + 0x80, fw.begin() + 0x100, quint8(0xFF));
    std::fill(fw.begin() + 0x0A00, fw.begin() + 0x0C00, quint8(0xFF));
    test::WriteHexFile(dir.filePath(QStringLiteral("QVR05_V143.hex")), fw);

    app::Session session(host, clock, dir.path());
    session.CopyValidSensorType(8);
    link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    o.simulate = QStringLiteral("tk33,tube=empty,unit=good");
    station::Station st(session, o);
    st.OpenLink();
    clock.SleepMs(300);
    st.SaveParameterFile(dir.filePath(QStringLiteral("QVR05_V101.hex")), false);
    Panel panel;
    panel.text[prodtest::OperatorPanel::Entry::SerialNo] = QStringLiteral("1000");
    st.SetOperatorPanel(&panel);
    st.simulatedOperator = true;
    bool ticking = false;
    auto tick = [&] {
        if (ticking) return;
        ticking = true;
        st.Tick();
        ticking = false;
    };
    host.onWait = [&](int ms) {
        if (ms > 20) tick();
    };
    prodtest::TestDefinitions& defs = st.testDefinitions();
    defs.ScanTestIniFile(session.sensor.Key);
    if (definition != defs.comboIndex) defs.SelectDefinition(definition);
    sim::Bench& bench = *st.link().OpenSimBench();
    bench.trace().Clear();

    // The download step's own link operations and waits.
    Unit u;
    bool inDownload = false;
    qint64 downloadFrom = 0;
    prodtest::TestRun& run = st.testRun();
    test::StationWatch watch;
    st.SetView(&watch);
    watch.onIo = [&](char op, int n) {
        if (inDownload) log.push_back(benchsupport::Event{op, n});
    };
    watch.onStep = [&](int, const QString& routine) {
        if (inDownload) {
            u.downloadS = double(clock.NowUs() - downloadFrom) / 1e6;
            // The host logs every wait; up to here they are the download's own.
            u.downloadMinS = benchsupport::CausalMinimumS(log, sim::Sensor::kProcUs);
            inDownload = false;
        }
        if (routine == QLatin1String("DownloadFirmware")) {
            log.clear();
            inDownload = true;
            downloadFrom = clock.NowUs();
        }
    };
    const std::clock_t c0 = std::clock();
    const qint64 t0 = clock.NowUs();
    for (int press = 0; press < 200; ++press) {
        for (int t = 0; t < 1200 && !st.Stopped(); t += 10) {
            clock.SleepMs(10);
            tick();
        }
        run.Next();
        if (run.lastRoutine() == QLatin1String("CommentResult"))
            u.verdict = panel.text[prodtest::OperatorPanel::Entry::Comment];
        if (run.TestStep == 0) break;
    }
    u.cpuS = double(std::clock() - c0) / CLOCKS_PER_SEC;
    u.virtualS = double(clock.NowUs() - t0) / 1e6;
    for (const sim::TraceEntry& e : bench.trace().entries())
        u.exchanges += e.dir == sim::Dir::In ? 1 : 0;
    return u;
}

template <typename F> void Report(const char* what, std::vector<Unit>& runs, F figure, const char* unit)
{
    std::vector<double> v;
    for (const Unit& u : runs)
        v.push_back(figure(u));
    std::sort(v.begin(), v.end());
    std::printf("%-44s min %9.4f  median %9.4f  max %9.4f %s\n", what, v.front(), v[v.size() / 2], v.back(),
                unit);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kRuns = 5;
    std::vector<Unit> p5, p24;
    for (int i = 0; i < kRuns; ++i) {
        p5.push_back(RunUnit(0));
        p24.push_back(RunUnit(1));
    }
    std::printf("program 5, one unit (verdict %s), %d runs\n", qPrintable(p5.front().verdict), kRuns);
    Report(
        "  CPU time (target <= 0.5 s)", p5, [](const Unit& u) { return u.cpuS; }, "s");
    Report(
        "  time in the simulated world", p5, [](const Unit& u) { return u.virtualS; }, "s");
    Report(
        "  exchanges (frames to the devices)", p5, [](const Unit& u) { return double(u.exchanges); }, "");
    std::printf("program 24, one unit (verdict %s), %d runs\n", qPrintable(p24.front().verdict), kRuns);
    Report(
        "  CPU time", p24, [](const Unit& u) { return u.cpuS; }, "s");
    Report(
        "  download step, simulated world", p24, [](const Unit& u) { return u.downloadS; }, "s");
    Report(
        "  download step, causal minimum", p24, [](const Unit& u) { return u.downloadMinS; }, "s");
    Report(
        "  ratio (target <= 1.05)", p24, [](const Unit& u) { return u.downloadS / u.downloadMinS; }, "");
    return 0;
}
