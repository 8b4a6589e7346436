#include "history/Schema.h"

#include "history/HistoryRecords.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <vector>

namespace vmx::history {

namespace {

const std::vector<QStringList>& Migrations()
{
    static const std::vector<QStringList> m = {
        // 1: the tables.
        {
            QStringLiteral("CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied_at TIMESTAMP "
                           "NOT NULL)"),
            QStringLiteral("CREATE TABLE station (name VARCHAR(64) PRIMARY KEY, host VARCHAR(255) NOT NULL)"),
            QStringLiteral(
                "CREATE TABLE unit (serial VARCHAR(32) NOT NULL, sensor_type VARCHAR(64) NOT NULL, "
                "PRIMARY KEY (serial, sensor_type))"),
            QStringLiteral(
                "CREATE TABLE run (uuid CHAR(36) PRIMARY KEY, station VARCHAR(64) NOT NULL REFERENCES "
                "station(name), serial VARCHAR(32) NOT NULL, sensor_type VARCHAR(64) NOT NULL, label "
                "VARCHAR(255) NOT NULL, program INTEGER NOT NULL, definition_hash CHAR(64) NOT NULL, tester "
                "VARCHAR(255) NOT NULL, batch VARCHAR(255) NOT NULL, batch_comment VARCHAR(255) NOT NULL, "
                "year VARCHAR(16) NOT NULL, tech_index VARCHAR(64) NOT NULL, started_at TIMESTAMP NOT NULL, "
                "local_day CHAR(10) NOT NULL, version VARCHAR(64) NOT NULL, FOREIGN KEY (serial, "
                "sensor_type) "
                "REFERENCES unit(serial, sensor_type))"),
            QStringLiteral(
                "CREATE TABLE step_attempt (run_uuid CHAR(36) NOT NULL REFERENCES run(uuid), step "
                "INTEGER NOT NULL, attempt INTEGER NOT NULL, routine VARCHAR(64) NOT NULL, outcome "
                "INTEGER NOT NULL, started_at TIMESTAMP NOT NULL, duration_ms BIGINT NOT NULL, "
                "PRIMARY KEY (run_uuid, step, attempt))"),
            QStringLiteral(
                "CREATE TABLE status_text (run_uuid CHAR(36) NOT NULL, step INTEGER NOT NULL, attempt "
                "INTEGER NOT NULL, seq INTEGER NOT NULL, colour VARCHAR(16) NOT NULL, text "
                "VARCHAR(1000) NOT NULL, PRIMARY KEY (run_uuid, step, attempt, seq), FOREIGN KEY "
                "(run_uuid, step, attempt) REFERENCES step_attempt(run_uuid, step, attempt))"),
            QStringLiteral(
                "CREATE TABLE measurement (run_uuid CHAR(36) NOT NULL, step INTEGER NOT NULL, attempt "
                "INTEGER NOT NULL, seq INTEGER NOT NULL, item VARCHAR(64) NOT NULL, value "
                "VARCHAR(255) NOT NULL, number DOUBLE PRECISION, unit VARCHAR(16) NOT NULL, "
                "low_limit DOUBLE PRECISION, high_limit DOUBLE PRECISION, outcome INTEGER NOT NULL, "
                "PRIMARY KEY (run_uuid, step, attempt, seq), FOREIGN KEY (run_uuid, step, attempt) "
                "REFERENCES step_attempt(run_uuid, step, attempt))"),
            // A run's end is a row of its own, added once: the run row is never changed.
            QStringLiteral(
                "CREATE TABLE run_end (run_uuid CHAR(36) PRIMARY KEY REFERENCES run(uuid), state "
                "VARCHAR(16) NOT NULL, verdict VARCHAR(16) NOT NULL, comment VARCHAR(1000) NOT NULL, "
                "ended_at TIMESTAMP NOT NULL)"),
            QStringLiteral(
                "CREATE TABLE service_event (uuid CHAR(36) PRIMARY KEY, station VARCHAR(64) NOT NULL "
                "REFERENCES station(name), serial VARCHAR(32) NOT NULL, sensor_type VARCHAR(64) NOT "
                "NULL, at TIMESTAMP NOT NULL, kind VARCHAR(32) NOT NULL, ok INTEGER NOT NULL, "
                "before_hex TEXT NOT NULL, after_hex TEXT NOT NULL, file_name VARCHAR(1000) NOT NULL, "
                "file_sha256 CHAR(64) NOT NULL, range_text VARCHAR(64) NOT NULL)"),
        },
        // 2: what the unit's history, the station's start and the yields look up.
        {
            QStringLiteral("CREATE INDEX run_by_unit ON run (serial, sensor_type, started_at)"),
            QStringLiteral("CREATE INDEX run_by_day ON run (local_day)"),
            QStringLiteral("CREATE INDEX run_by_station ON run (station, started_at)"),
            QStringLiteral("CREATE INDEX event_by_unit ON service_event (serial, at)"),
        },
        // 3: the yields group by unit and definition in this order, without a sort, and read
        // what they group by from the index alone.
        {
            QStringLiteral(
                "CREATE INDEX run_by_definition ON run (serial, sensor_type, label, started_at, uuid, "
                "local_day, station, batch)"),
        },
        // 4: what a station's sync has pushed to the line's server, one row each, added once the
        // server committed it. A run or event without a row here waits in the outbox.
        {
            QStringLiteral("CREATE TABLE pushed (uuid CHAR(36) PRIMARY KEY, pushed_at TIMESTAMP NOT NULL)"),
        },
        // 5: the yields look up each run's end by its UUID and need only its state and verdict:
        // from the index alone, not from the table's rows.
        {
            QStringLiteral("CREATE INDEX run_end_outcome ON run_end (run_uuid, state, verdict)"),
        },
        // 6: a run's end also carries what the yields group and filter its run by, and its
        // yield key (see YieldKeySql), so a server's yield by day reads this table's index alone
        // instead of joining a million runs. The ends already there are filled in once here.
        {
            QStringLiteral("ALTER TABLE run_end ADD COLUMN serial VARCHAR(32)"),
            QStringLiteral("ALTER TABLE run_end ADD COLUMN sensor_type VARCHAR(64)"),
            QStringLiteral("ALTER TABLE run_end ADD COLUMN label VARCHAR(255)"),
            QStringLiteral("ALTER TABLE run_end ADD COLUMN station VARCHAR(64)"),
            QStringLiteral("ALTER TABLE run_end ADD COLUMN batch VARCHAR(255)"),
            QStringLiteral("ALTER TABLE run_end ADD COLUMN local_day CHAR(10)"),
            QStringLiteral("ALTER TABLE run_end ADD COLUMN yield_key BIGINT"),
            QStringLiteral("%FILL%"),
            QStringLiteral("CREATE INDEX run_end_yield ON run_end (serial, sensor_type, label, yield_key) "
                           "WHERE state = 'done'"),
        },
        // 7: the statistics' Paretos read the failed attempts and measurements alone (about one
        // in a hundred), not every row joined with its run; the measured items are found by
        // stepping through an index of them.
        {
            QStringLiteral("CREATE INDEX measurement_by_item ON measurement (item, number, run_uuid)"),
            QStringLiteral("CREATE INDEX step_attempt_failed ON step_attempt (step, routine, run_uuid) WHERE "
                           "outcome = 0"),
            QStringLiteral(
                "CREATE INDEX measurement_failed ON measurement (item, run_uuid) WHERE outcome = 0"),
        },
        // 8: a measurement carries its run's start, so one item's values in unit order are a
        // range of one index, which also holds what the statistics read of each value, instead
        // of every value of the item joined with its run and sorted.
        // The filter reads the run's end, which carries the rest. Existing values are filled in
        // once here.
        {
            QStringLiteral("ALTER TABLE measurement ADD COLUMN started_at TIMESTAMP"),
            QStringLiteral("UPDATE measurement SET started_at = r.started_at FROM run r WHERE r.uuid = "
                           "measurement.run_uuid"),
            QStringLiteral(
                "CREATE INDEX measurement_in_order ON measurement (item, started_at, run_uuid, step, "
                "attempt, seq, number, low_limit, high_limit, unit)"),
        },
        // 9: the runs an item's statistics leave out are found among a handful, not by checking a
        // million runs for their ends: a run is listed here from its start until its end, and the
        // ends that are not "done" have an index of their own. Runs already without an end are
        // listed once here.
        {
            QStringLiteral("CREATE TABLE run_open (run_uuid CHAR(36) PRIMARY KEY REFERENCES run(uuid))"),
            QStringLiteral(
                "INSERT INTO run_open (run_uuid) SELECT r.uuid FROM run r WHERE NOT EXISTS (SELECT 1 "
                "FROM run_end e WHERE e.run_uuid = r.uuid)"),
            QStringLiteral("CREATE INDEX run_end_left_out ON run_end (run_uuid) WHERE state <> 'done'"),
        },
    };
    return m;
}

bool Exec(QSqlDatabase& db, const QString& sql, QString* why)
{
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    if (why) *why = q.lastError().text();
    return false;
}

} // namespace

QString YieldKeySql(bool server, const QString& okay)
{
    // (start in ms since 1970 * 2 + okay) * 2^17 + the local day's number since 2000-01-01: the
    // smallest key of a unit's runs is its first run with its outcome and day, the largest its
    // last run's outcome, and integers compare far quicker than texts.
    if (server)
        return QStringLiteral("((round(date_part('epoch', r.started_at) * 1000)::bigint * 2 + %1) * 131072 + "
                              "(r.local_day::date - DATE '2000-01-01'))")
            .arg(okay);
    return QStringLiteral(
               "(((CAST(strftime('%s', r.started_at) AS INTEGER) * 1000 + CAST(substr(r.started_at, "
               "21, 3) AS INTEGER)) * 2 + %1) * 131072 + CAST(julianday(r.local_day) - "
               "julianday('2000-01-01') AS INTEGER))")
        .arg(okay);
}

QString FillEndsSql(bool server)
{
    return QStringLiteral(
               "UPDATE run_end SET serial = r.serial, sensor_type = r.sensor_type, label = r.label, "
               "station = r.station, batch = r.batch, local_day = r.local_day, yield_key = %1 FROM "
               "run r WHERE r.uuid = run_end.run_uuid")
        .arg(YieldKeySql(server, QStringLiteral("CASE WHEN run_end.verdict = 'okay' THEN 1 ELSE 0 END")));
}

const QStringList& Migration(int version)
{
    return Migrations().at(size_t(version - 1));
}

int SchemaVersionLatest()
{
    return int(Migrations().size());
}

int SchemaVersionOf(QSqlDatabase& db, QString* why)
{
    if (!db.tables().contains(QStringLiteral("schema_version"))) return 0;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next()) {
        if (why) *why = q.lastError().text();
        return -1;
    }
    return q.value(0).toInt();
}

bool Migrate(QSqlDatabase& db, int target, QString* why)
{
    if (target < 0) target = SchemaVersionLatest();
    const int at = SchemaVersionOf(db, why);
    if (at < 0) return false;
    if (at > SchemaVersionLatest()) {
        if (why)
            *why = QStringLiteral("schema %1 is newer than this program's %2")
                       .arg(at)
                       .arg(SchemaVersionLatest());
        return false;
    }
    for (int v = at + 1; v <= target; ++v) {
        if (!db.transaction()) {
            if (why) *why = db.lastError().text();
            return false;
        }
        bool ok = true;
        const bool server = db.driverName() == QLatin1String("QPSQL");
        for (const QString& sql : Migration(v))
            if (!(ok = Exec(db, sql == QLatin1String("%FILL%") ? FillEndsSql(server) : sql, why))) break;
        if (ok) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO schema_version (version, applied_at) VALUES (?, ?)"));
            q.addBindValue(v);
            q.addBindValue(UtcStamp(QDateTime::currentDateTimeUtc()));
            ok = q.exec();
            if (!ok && why) *why = q.lastError().text();
        }
        if (!ok || !db.commit()) {
            if (ok && why) *why = db.lastError().text();
            db.rollback();
            if (why) *why = QStringLiteral("migration %1: %2").arg(v).arg(*why);
            return false;
        }
    }
    return true;
}

} // namespace vmx::history
