// The history's store on SQLite: migrations from every earlier version, the yields over a small
// hand-made set, and the runs a killed station left behind.
#include "HandMadeRuns.h"
#include "history/Schema.h"
#include "history/SqlHistoryStore.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <gtest/gtest.h>

using namespace vmx::history;
using namespace vmx::testing;

namespace {

std::unique_ptr<SqlHistoryStore> OpenStore(const QTemporaryDir& dir, const QString& station)
{
    QString why;
    auto s = SqlHistoryStore::Open(QStringLiteral("sqlite:h.db"), dir.path(), station, QStringLiteral("host"),
                                   SqlHistoryStore::Schema::Latest, &why);
    EXPECT_TRUE(s) << why.toStdString();
    return s;
}

int Count(QSqlDatabase& db, const char* table)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)) && q.next()
               ? q.value(0).toInt()
               : -1;
}

} // namespace

// From an empty database and from each earlier version, the migrations reach the latest schema
// and keep what the earlier one held; a database newer than the program is refused.
TEST(HistoryStore, MigrationsFromEveryEarlierVersion)
{
    for (int from = 0; from <= SchemaVersionLatest(); ++from) {
        SCOPED_TRACE(from);
        QTemporaryDir dir;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("m"));
            db.setDatabaseName(dir.filePath(QStringLiteral("h.db")));
            ASSERT_TRUE(db.open());
            QString why;
            ASSERT_TRUE(Migrate(db, from, &why)) << why.toStdString();
            EXPECT_EQ(SchemaVersionOf(db), from);
            if (from >= 1) {
                QSqlQuery q(db);
                ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO station (name, host) VALUES ('old', 'h')")));
                // A finished run from before the ends carried what the yields read.
                for (const char* sql :
                     {"INSERT INTO unit VALUES ('0001', 'T')",
                      "INSERT INTO run (uuid, station, serial, sensor_type, label, program, definition_hash, "
                      "tester, batch, batch_comment, year, tech_index, started_at, local_day, version) "
                      "VALUES "
                      "('u1', 'old', '0001', 'T', 'L', 1, 'h', 't', 'B', '', '26', 'C', '2026-03-01 "
                      "23:30:05.250', '2026-03-02', 'v')",
                      "INSERT INTO run_end (run_uuid, state, verdict, comment, ended_at) VALUES ('u1', "
                      "'done', "
                      "'okay', '', '2026-03-01 23:31:00.000')",
                      "INSERT INTO step_attempt VALUES ('u1', 1, 1, 'GetAmplMeas', 1, '2026-03-01 "
                      "23:30:06.000', 9)",
                      "INSERT INTO measurement (run_uuid, step, attempt, seq, item, value, number, unit, "
                      "low_limit, high_limit, outcome) VALUES ('u1', 1, 1, 0, 'Ampl', '400', 400, '', 350, "
                      "450, "
                      "1)",
                      // And one killed before its end.
                      "INSERT INTO run (uuid, station, serial, sensor_type, label, program, definition_hash, "
                      "tester, batch, batch_comment, year, tech_index, started_at, local_day, version) "
                      "VALUES ('u2', 'old', '0001', 'T', 'L', 1, 'h', 't', 'B', '', '26', 'C', '2026-03-02 "
                      "08:00:00.000', '2026-03-02', 'v')"})
                    ASSERT_TRUE(q.exec(QLatin1String(sql))) << q.lastError().text().toStdString();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("m"));
        auto s = OpenStore(dir, QStringLiteral("new"));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->schemaVersion(), SchemaVersionLatest());
        EXPECT_EQ(Count(s->database(), "station"), from >= 1 ? 2 : 1);
        EXPECT_TRUE(s->database().record(QStringLiteral("run")).contains(QStringLiteral("local_day")));
        if (from >= 1 && from < 6) {
            // Migration 6 filled its end in: start in ms * 2 + okay, * 2^17 + day since 2000.
            const QDateTime start(QDate(2026, 3, 1), QTime(23, 30, 5, 250), QTimeZone::utc());
            const qint64 key =
                (start.toMSecsSinceEpoch() * 2 + 1) * 131072 + QDate(2000, 1, 1).daysTo({2026, 3, 2});
            QSqlQuery end(s->database());
            ASSERT_TRUE(
                end.exec(QStringLiteral("SELECT serial || sensor_type || label || station || batch || "
                                        "local_day, yield_key FROM run_end")) &&
                end.next());
            EXPECT_EQ(end.value(0).toString(), QStringLiteral("0001TLoldB2026-03-02"));
            EXPECT_EQ(end.value(1).toLongLong(), key);
        }
        if (from >= 1 && from < 8) {
            // Migration 8 gave the measurement its run's start.
            QSqlQuery m(s->database());
            ASSERT_TRUE(m.exec(QStringLiteral("SELECT started_at FROM measurement")) && m.next());
            EXPECT_EQ(m.value(0).toString(), QStringLiteral("2026-03-01 23:30:05.250"));
        }
        if (from >= 1 && from < 9) {
            // Migration 9 listed the run without an end as open.
            QSqlQuery open(s->database());
            ASSERT_TRUE(open.exec(QStringLiteral("SELECT run_uuid FROM run_open")) && open.next());
            EXPECT_EQ(open.value(0).toString(), QStringLiteral("u2"));
            EXPECT_FALSE(open.next());
        }
        QSqlQuery idx(s->database());
        ASSERT_TRUE(idx.exec(QStringLiteral(
                        "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                        "('run_by_unit', 'run_by_definition', 'run_end_outcome', 'run_end_yield', "
                        "'measurement_in_order', 'run_end_left_out')")) &&
                    idx.next());
        EXPECT_EQ(idx.value(0).toInt(), 6);
        // Run again, nothing changes.
        QString why;
        EXPECT_TRUE(s->Migrate(&why)) << why.toStdString();
        EXPECT_EQ(Count(s->database(), "schema_version"), SchemaVersionLatest());
        // A later program's schema is not touched by this one.
        if (from == SchemaVersionLatest()) {
            QSqlQuery q(s->database());
            ASSERT_TRUE(
                q.exec(QStringLiteral("INSERT INTO schema_version VALUES (99, '2030-01-01 00:00:00.000')")));
            EXPECT_FALSE(s->Migrate(&why));
            EXPECT_TRUE(why.contains(QStringLiteral("newer"))) << why.toStdString();
        }
    }
}

// A small set whose answers are counted by hand: per unit and definition the first finished
// run decides the first pass, the last one the final yield, the unit counts on the day (and at
// the station, in the batch) of its first finished run, aborted and running runs do not count.
TEST(HistoryStore, YieldsOverAHandMadeSet)
{
    QTemporaryDir dir;
    auto s = OpenStore(dir, QStringLiteral("S1"));
    auto s2 = OpenStore(dir, QStringLiteral("S2"));
    ASSERT_TRUE(s && s2);
    const Made runs[] = {
        {"0001", "Ampl", "S1", "B1", "2026-03-01T08:00:00", "okay"},    // passes first time
        {"0002", "Ampl", "S1", "B1", "2026-03-01T09:00:00", "FEHLER"},  // retested next day at S2
        {"0002", "Ampl", "S2", "B2", "2026-03-02T10:00:00", "okay"},    //
        {"0003", "Ampl", "S1", "B1", "2026-03-01T23:30:00", "FEHLER"},  // fails twice
        {"0003", "Ampl", "S1", "B1", "2026-03-01T23:45:00", "FEHLER"},  //
        {"0004", "Ampl", "S2", "B2", "2026-03-02T07:00:00", "aborted"}, // aborted: only the next counts
        {"0004", "Ampl", "S2", "B2", "2026-03-02T07:10:00", "okay"},    //
        {"0005", "Ampl", "S2", "B2", "2026-03-02T08:00:00", ""},        // still running: not counted
        {"0001", "Kabel", "S2", "B2", "2026-03-02T11:00:00", "FEHLER"}, // another definition: its own unit
        {"0001", "Kabel", "S2", "B2", "2026-03-02T11:05:00", "okay"},   //
    };
    for (const Made& m : runs)
        Add(QLatin1String(m.station) == QLatin1String("S1") ? *s : *s2, m);
    struct Expect {
        GroupBy by;
        std::vector<YieldRow> rows; // group, units, runs, first-pass okay, final okay
    };
    const Expect expected[] = {
        {GroupBy::Day, {{"2026-03-01", 3, 5, 1, 2}, {"2026-03-02", 2, 3, 1, 2}}},
        {GroupBy::Station, {{"S1", 3, 5, 1, 2}, {"S2", 2, 3, 1, 2}}},
        {GroupBy::Label, {{"Ampl", 4, 6, 2, 3}, {"Kabel", 1, 2, 0, 1}}},
        {GroupBy::Batch, {{"B1", 3, 5, 1, 2}, {"B2", 2, 3, 1, 2}}},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(int(e.by));
        const std::vector<YieldRow> got = s->Yield(e.by, Filter{});
        ASSERT_EQ(got.size(), e.rows.size()) << s->lastError().toStdString();
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].group, e.rows[i].group);
            EXPECT_EQ(got[i].units, e.rows[i].units);
            EXPECT_EQ(got[i].runs, e.rows[i].runs);
            EXPECT_EQ(got[i].firstPassOkay, e.rows[i].firstPassOkay);
            EXPECT_EQ(got[i].finalOkay, e.rows[i].finalOkay);
        }
    }
    // Filters narrow the runs before the units are counted.
    Filter day2;
    day2.since = QDate(2026, 3, 2);
    day2.label = QStringLiteral("Ampl");
    const std::vector<YieldRow> narrowed = s->Yield(GroupBy::Day, day2);
    ASSERT_EQ(narrowed.size(), 1u);
    EXPECT_EQ(narrowed[0].units, 2); // 0002's retest alone is its first run in the window
    EXPECT_EQ(narrowed[0].firstPassOkay, 2);
    EXPECT_DOUBLE_EQ(narrowed[0].firstPassYield(), 1.0);

    // A unit's runs, newest first, with the step and its measurement as stored.
    Filter unit;
    unit.serial = QStringLiteral("0002");
    const std::vector<RunRow> two = s->Runs(unit, 10, 0);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].station, QStringLiteral("S2"));
    EXPECT_EQ(two[1].verdict, QStringLiteral("FEHLER"));
    const std::vector<StepAttempt> steps = s->Steps(two[0].start.uuid);
    ASSERT_EQ(steps.size(), 1u);
    ASSERT_EQ(steps[0].measurements.size(), 1u);
    EXPECT_EQ(steps[0].measurements[0].high, std::optional<double>(450.0));
    EXPECT_EQ(steps[0].texts[0].text, QStringLiteral("Ampl Test 1 --> okay"));
}

// A station's runs left without an end become aborted at its next start, another station's
// stay; an ended run takes no second end (rows are only added).
TEST(HistoryStore, RunsLeftRunningAreAbortedOnceAndEndsAreNeverRewritten)
{
    QTemporaryDir dir;
    {
        auto s1 = OpenStore(dir, QStringLiteral("S1"));
        auto s2 = OpenStore(dir, QStringLiteral("S2"));
        ASSERT_TRUE(s1 && s2);
        Add(*s1, {"0007", "Ampl", "S1", "B", "2026-03-01T08:00:00", ""});
        Add(*s1, {"0008", "Ampl", "S1", "B", "2026-03-01T08:10:00", "okay"});
        Add(*s2, {"0009", "Ampl", "S2", "B", "2026-03-01T08:20:00", ""});
    }
    auto s1 = OpenStore(dir, QStringLiteral("S1"));
    ASSERT_TRUE(s1);
    EXPECT_EQ(s1->RunningCount(), 1);
    EXPECT_EQ(s1->AbortLeftRunning(QDateTime::currentDateTimeUtc()), 1);
    EXPECT_EQ(s1->AbortLeftRunning(QDateTime::currentDateTimeUtc()), 0);
    // S2's run is the one still open.
    EXPECT_EQ(s1->RunningCount(), 0);
    EXPECT_EQ(Count(s1->database(), "run_open"), 1);
    const std::vector<RunRow> all = s1->Runs(Filter{}, 10, 0);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].state, RunState::Running); // S2's
    EXPECT_EQ(all[1].state, RunState::Done);
    EXPECT_EQ(all[2].state, RunState::Aborted);
    EXPECT_FALSE(s1->EndRun({all[1].start.uuid, RunState::Done, QStringLiteral("FEHLER"), QString(),
                             QDateTime::currentDateTimeUtc()}));
    EXPECT_EQ(s1->Runs(Filter{}, 10, 0)[1].verdict, QStringLiteral("okay"));
}
