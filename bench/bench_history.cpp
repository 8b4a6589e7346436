// The unit history on SQLite with 1,000,000 runs: a generator fills the database with runs of
// realistic steps, texts and measurements (units retested now and then, four stations, five
// definitions, a year of days), then three figures are measured: a unit's commit with
// synchronous=FULL (median of each commit and of a whole unit), `history unit SN` (the runs with
// their attempts and the service events of a unit), and the yield by day over all runs.
//
// Usage: bench_history [FOLDER] [RUNS]   (default: a temporary folder, 1000000)
#include "HistoryGenerator.h"
#include "history/HistorySync.h"
#include "history/SqlHistoryStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vmx::history;
using vmx::generated::Fill;
using vmx::generated::kLabels;
using vmx::generated::kRoutines;

namespace {

struct Stats {
    double min, median, max;
};
Stats Of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

double Load()
{
    double l = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &l) != 1) l = 0;
        std::fclose(f);
    }
    return l;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1000000;
    QString why;
    auto store =
        SqlHistoryStore::Open(QStringLiteral("sqlite:bench-history.db"), folder, QStringLiteral("S1"),
                              QStringLiteral("bench"), SqlHistoryStore::Schema::Latest, &why);
    if (!store) {
        std::fprintf(stderr, "bench_history: %s\n", qPrintable(why));
        return 1;
    }
    QStringList serials;
    {
        QSqlQuery q(store->database());
        q.exec(QStringLiteral("SELECT COUNT(*) FROM run"));
        const int have = q.next() ? q.value(0).toInt() : 0;
        if (have >= runs) {
            std::fprintf(stderr, "using the %d runs already in %s\n", have, qPrintable(folder));
            QSqlQuery s(store->database());
            s.exec(QStringLiteral("SELECT serial FROM unit"));
            while (s.next())
                serials << s.value(0).toString();
        } else if (have > 0 || !Fill(*store, runs, serials)) {
            std::fprintf(stderr,
                         "bench_history: %s holds %d runs; fill failed or an empty folder is needed\n",
                         qPrintable(folder), have);
            return 1;
        }
    }
    std::printf("load average at start: %.2f\n", Load());

    // 1: units committed as a station commits them, synchronous=FULL: the run row, eight step
    // attempts with texts and measurements, the end. Each commit and the whole unit timed.
    std::vector<double> commits, units;
    for (int u = 0; u < 30; ++u) {
        QElapsedTimer unit;
        unit.start();
        RunStart r;
        r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        r.serial = QStringLiteral("B%1").arg(u);
        r.sensorType = QStringLiteral("5028143");
        r.label = QString::fromUtf8(kLabels[1]);
        r.started = QDateTime::currentDateTimeUtc();
        QElapsedTimer c;
        c.start();
        if (!store->BeginRun(r)) return std::fprintf(stderr, "%s\n", qPrintable(store->lastError())), 1;
        commits.push_back(c.nsecsElapsed() / 1e6);
        for (int s = 1; s <= 8; ++s) {
            StepAttempt a;
            a.runUuid = r.uuid;
            a.step = s;
            a.routine = QLatin1String(kRoutines[s - 1]);
            a.started = QDateTime::currentDateTimeUtc();
            a.texts = {{QStringLiteral("blue"), QStringLiteral("Ampl Test 1: Schlauch gefüllt --> okay")}};
            a.measurements = {
                {QStringLiteral("Ampl 1"), QStringLiteral("402"), 402.0, QString(), 350.0, 450.0, 1}};
            c.restart();
            if (!store->AddStepAttempt(a))
                return std::fprintf(stderr, "%s\n", qPrintable(store->lastError())), 1;
            commits.push_back(c.nsecsElapsed() / 1e6);
        }
        c.restart();
        if (!store->EndRun(
                {r.uuid, RunState::Done, QStringLiteral("okay"), QString(), QDateTime::currentDateTimeUtc()}))
            return 1;
        commits.push_back(c.nsecsElapsed() / 1e6);
        units.push_back(unit.nsecsElapsed() / 1e6);
    }
    const Stats cs = Of(commits), us = Of(units);
    std::printf("one commit (synchronous=FULL): min %.2f  median %.2f  max %.2f ms  (%zu commits)\n", cs.min,
                cs.median, cs.max, commits.size());
    std::printf("a whole unit (10 commits):     min %.2f  median %.2f  max %.2f ms  (target: median <= 10 ms "
                "a commit)\n",
                us.min, us.median, us.max);

    // 2: `history unit SN`: the unit's runs, each with its attempts, and its service events.
    std::vector<double> lookups;
    QRandomGenerator rng(11);
    for (int i = 0; i < 50 && !serials.isEmpty(); ++i) {
        Filter f;
        f.serial = serials[int(rng.bounded(qsizetype(serials.size())))];
        QElapsedTimer t;
        t.start();
        size_t steps = 0;
        for (const RunRow& r : store->Runs(f, 1000, 0))
            steps += store->Steps(r.start.uuid).size();
        store->Events(f.serial, QString());
        lookups.push_back(t.nsecsElapsed() / 1e6);
        if (steps == 0) std::fprintf(stderr, "unit %s: no steps\n", qPrintable(f.serial));
    }
    const Stats ls = Of(lookups);
    std::printf("history unit SN:               min %.2f  median %.2f  max %.2f ms  (target <= 20 ms)\n",
                ls.min, ls.median, ls.max);

    // 3: the yield by day over every run.
    std::vector<double> yields;
    size_t days = 0;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        days = store->Yield(GroupBy::Day, Filter{}).size();
        yields.push_back(t.nsecsElapsed() / 1e9);
    }
    const Stats ys = Of(yields);
    std::printf(
        "history yield --by day:        min %.2f  median %.2f  max %.2f s over %zu days  (target <= 3 s)\n",
        ys.min, ys.median, ys.max, days);

    // 4 (with a line's server as the third argument, the owner's URL): the sync's throughput,
    // the first runs of the store pushed in order, then the unit lookup and yield on the server.
    if (argc > 3) {
        const QString url = QString::fromLocal8Bit(argv[3]);
        const int push = argc > 4 ? std::atoi(argv[4]) : 5000;
        auto line = SqlHistoryStore::Open(url, QString(), QStringLiteral("S1"), QStringLiteral("bench"),
                                          SqlHistoryStore::Schema::Latest, &why);
        if (!line) return std::fprintf(stderr, "bench_history: %s\n", qPrintable(why)), 1;
        HistorySync sync(*store, url);
        QElapsedTimer t;
        t.start();
        const SyncResult r = sync.Push(push);
        const double s = t.nsecsElapsed() / 1e9;
        if (!r.error.isEmpty()) std::fprintf(stderr, "bench_history: sync: %s\n", qPrintable(r.error));
        std::printf(
            "sync to the server:            %d runs in %.2f s = %.0f runs/s  (target >= 500 runs/s; %d "
            "still waiting)\n",
            r.pushed, s, r.pushed / s, r.waiting);
        std::vector<double> serverLookups;
        QSqlQuery pushed(line->database());
        pushed.exec(QStringLiteral("SELECT DISTINCT serial FROM run LIMIT 50"));
        while (pushed.next()) {
            Filter f;
            f.serial = pushed.value(0).toString();
            QElapsedTimer u;
            u.start();
            for (const RunRow& row : line->Runs(f, 1000, 0))
                line->Steps(row.start.uuid);
            line->Events(f.serial, QString());
            serverLookups.push_back(u.nsecsElapsed() / 1e6);
        }
        t.restart();
        const size_t serverDays = line->Yield(GroupBy::Day, Filter{}).size();
        const double yieldSeconds = t.nsecsElapsed() / 1e9;
        if (!serverLookups.empty()) {
            const Stats sl = Of(serverLookups);
            std::printf(
                "server: history unit SN:       min %.2f  median %.2f  max %.2f ms  (target <= 20 ms; "
                "over the runs pushed)\n",
                sl.min, sl.median, sl.max);
        }
        std::printf(
            "server: history yield --by day: %.2f s over %zu days  (target <= 1 s over 1,000,000 runs)\n",
            yieldSeconds, serverDays);
    }
    std::printf("load average at end: %.2f\n", Load());
    return 0;
}
