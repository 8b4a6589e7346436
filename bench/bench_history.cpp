// The unit history on SQLite with 1,000,000 runs: a generator fills the database with runs of
// realistic steps, texts and measurements (units retested now and then, four stations, five
// definitions, a year of days), then three figures are measured: a unit's commit with
// synchronous=FULL (median of each commit and of a whole unit), `history unit SN` (the runs with
// their attempts and the service events of a unit), and the yield by day over all runs.
//
// Usage: bench_history [FOLDER] [RUNS] [postgresql://owner@… [N]]   (default: a temporary folder,
// 1000000; with a line's server, that server filled with RUNS runs too and N runs synced to it)
#include "HistoryBench.h"
#include "HistoryGenerator.h"
#include "history/HistorySync.h"
#include "history/Schema.h"
#include "history/SqlHistoryStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vmx::history;
using vmx::generated::Fill;
using vmx::generated::kLabels;
using vmx::generated::kRoutines;

namespace {

using vmx::bench::Load;
using vmx::bench::Of;
using vmx::bench::Stats;

// The same kind of history generated on a line's server by the server itself (a row at a time
// over the socket would take an hour): one INSERT … SELECT per table, the same mix of retests,
// stations, definitions, batches, failed steps and measurements as Fill.
bool FillServer(SqlHistoryStore& line, int runs)
{
    QSqlDatabase& db = line.database();
    QElapsedTimer t;
    t.start();
    const QString n = QString::number(runs - 1);
    QStringList labels;
    for (const char* l : kLabels)
        labels << QLatin1Char('\'') + QString::fromUtf8(l) + QLatin1Char('\'');
    QStringList routines;
    for (const char* r : kRoutines)
        routines << QLatin1Char('\'') + QLatin1String(r) + QLatin1Char('\'');
    const QString sql[] = {
        QStringLiteral("INSERT INTO station VALUES ('S1', 'b'), ('S2', 'b'), ('S3', 'b'), ('S4', 'b') ON "
                       "CONFLICT DO NOTHING"),
        // About one run in seven is a retest of the unit before.
        QStringLiteral(
            // The station's time-ordered UUIDs: the milliseconds first, version 7.
            "CREATE TEMP TABLE g AS SELECT r, sn, started, substr(h, 1, 8) || '-' || substr(h, 9, 4) || "
            "'-7' || substr(rnd, 1, 3) || '-8' || substr(rnd, 4, 3) || '-' || substr(rnd, 7, 12) AS uuid "
            "FROM (SELECT r, sn, started, lpad(to_hex((extract(epoch FROM started) * 1000)::bigint), 12, "
            "'0') AS h, md5(random()::text) AS rnd FROM (SELECT r, 1 + SUM(fresh) OVER (ORDER BY r) AS "
            "sn, TIMESTAMP '2026-01-01 06:00:00' + r * INTERVAL '31 seconds' AS started FROM (SELECT r, "
            "CASE WHEN r = 0 OR random() >= 1.0 / 7 THEN 1 ELSE 0 END AS fresh FROM generate_series(0, "
            "%1) r) x) y) z")
            .arg(n),
        QStringLiteral(
            "INSERT INTO unit SELECT DISTINCT lpad(sn::text, 6, '0'), '5028143' FROM g ON CONFLICT "
            "DO NOTHING"),
        QStringLiteral("INSERT INTO run SELECT uuid, 'S' || (r % 4 + 1), lpad(sn::text, 6, '0'), '5028143', "
                       "(ARRAY[%1])[(sn / 1000) % 5 + 1], 5, "
                       "'0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef', 'Weber', 'B' || "
                       "(sn / 500), '', '26', 'C', started, to_char(started, 'YYYY-MM-DD'), 'V01.50.12.09' "
                       "FROM g")
            .arg(labels.join(QLatin1Char(','))),
        QStringLiteral("CREATE TEMP TABLE s AS SELECT uuid, started, st, random() < 0.01 AS bad, "
                       "(random() * 3000)::int AS dur, 350 + (random() * 99)::int AS v FROM g, "
                       "generate_series(1, 8) st"),
        QStringLiteral("INSERT INTO step_attempt SELECT uuid, st, 1, (ARRAY[%1])[st], CASE WHEN bad THEN 0 "
                       "ELSE 1 END, started + (st - 1) * INTERVAL '3 seconds', dur FROM s")
            .arg(routines.join(QLatin1Char(','))),
        QStringLiteral("INSERT INTO status_text SELECT uuid, st, 1, 0, CASE WHEN bad THEN 'red' ELSE 'blue' "
                       "END, (ARRAY[%1])[st] || CASE WHEN bad THEN ': FEHLER' ELSE ': okay' END FROM s")
            .arg(routines.join(QLatin1Char(','))),
        QStringLiteral("INSERT INTO measurement SELECT uuid, st, 1, 0, 'Ampl ' || (st - 4), v::text, v, '', "
                       "350, 450, CASE WHEN bad THEN 0 ELSE 1 END, started FROM s WHERE st >= 5"),
        QStringLiteral(
            "INSERT INTO run_end (run_uuid, state, verdict, comment, ended_at) SELECT uuid, 'done', "
            "CASE WHEN bool_or(bad) THEN 'FEHLER' ELSE 'okay' END, '', started + INTERVAL '30 "
            "seconds' FROM s GROUP BY uuid, started"),
        FillEndsSql(true),
        QStringLiteral("DROP TABLE s"),
        QStringLiteral("DROP TABLE g"),
    };
    for (const QString& statement : sql) {
        QSqlQuery q(db);
        if (!q.exec(statement)) {
            std::fprintf(stderr, "%s\n%s\n", qPrintable(statement), qPrintable(q.lastError().text()));
            return false;
        }
        std::fprintf(stderr, "server fill: %.0f s\n", t.elapsed() / 1000.0);
    }
    // What the planner knows and the visibility map an index-only scan needs.
    QSqlQuery vacuum(db);
    if (!vacuum.exec(QStringLiteral("VACUUM ANALYZE"))) {
        std::fprintf(stderr, "VACUUM ANALYZE: %s\n", qPrintable(vacuum.lastError().text()));
        return false;
    }
    std::fprintf(stderr, "%d runs generated on the server in %.0f s\n", runs, t.elapsed() / 1000.0);
    return true;
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
        r.started = QDateTime::currentDateTimeUtc();
        r.uuid = NewUuid(r.started);
        r.serial = QStringLiteral("B%1").arg(u);
        r.sensorType = QStringLiteral("5028143");
        r.label = QString::fromUtf8(kLabels[1]);
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

    // 4 (with a line's server as the third argument, the owner's URL): the server filled with as
    // many runs by a generator of its own, then the sync's throughput (the station store's first
    // runs not yet pushed, in order, onto the full server), the unit lookup and the yield there.
    if (argc > 3) {
        const QString url = QString::fromLocal8Bit(argv[3]);
        const int push = argc > 4 ? std::atoi(argv[4]) : 5000;
        auto line = SqlHistoryStore::Open(url, QString(), QStringLiteral("S1"), QStringLiteral("bench"),
                                          SqlHistoryStore::Schema::Latest, &why);
        if (!line) return std::fprintf(stderr, "bench_history: %s\n", qPrintable(why)), 1;
        QSqlQuery count(line->database());
        count.exec(QStringLiteral("SELECT COUNT(*) FROM run"));
        const int have = count.next() ? count.value(0).toInt() : 0;
        if (have == 0 && !FillServer(*line, runs)) return 1;
        if (have > 0) std::fprintf(stderr, "using the %d runs already on the server\n", have);
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
        QSqlQuery sample(line->database());
        sample.exec(QStringLiteral("SELECT serial FROM unit ORDER BY random() LIMIT 50"));
        while (sample.next()) {
            Filter f;
            f.serial = sample.value(0).toString();
            QElapsedTimer u;
            u.start();
            size_t steps = 0;
            for (const RunRow& row : line->Runs(f, 1000, 0))
                steps += line->Steps(row.start.uuid).size();
            line->Events(f.serial, QString());
            serverLookups.push_back(u.nsecsElapsed() / 1e6);
            if (steps == 0) std::fprintf(stderr, "server: unit %s: no steps\n", qPrintable(f.serial));
        }
        std::vector<double> serverYields;
        size_t serverDays = 0;
        for (int i = 0; i < 3; ++i) {
            t.restart();
            serverDays = line->Yield(GroupBy::Day, Filter{}).size();
            serverYields.push_back(t.nsecsElapsed() / 1e9);
        }
        if (serverDays == 0) std::fprintf(stderr, "server: yield: %s\n", qPrintable(line->lastError()));
        QSqlQuery total(line->database());
        total.exec(QStringLiteral("SELECT COUNT(*) FROM run"));
        const int serverRuns = total.next() ? total.value(0).toInt() : 0;
        if (!serverLookups.empty()) {
            const Stats sl = Of(serverLookups);
            std::printf(
                "server: history unit SN:       min %.2f  median %.2f  max %.2f ms  (target <= 20 ms; %d "
                "runs)\n",
                sl.min, sl.median, sl.max, serverRuns);
        }
        const Stats sy = Of(serverYields);
        std::printf(
            "server: history yield --by day: min %.2f  median %.2f  max %.2f s over %zu days  (target "
            "<= 1 s; %d runs)\n",
            sy.min, sy.median, sy.max, serverDays, serverRuns);
    }
    std::printf("load average at end: %.2f\n", Load());
    return 0;
}
