#include "history/SqlHistoryStore.h"

#include "history/HistoryUrl.h"
#include "history/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <atomic>
#include <map>

namespace vmx::history {

namespace {

std::atomic<int> connections{0};

QVariant Text(const QString& s)
{
    // NOT NULL columns take an empty text, never a null.
    return s.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(s);
}

QVariant Number(const std::optional<double>& v)
{
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

std::optional<double> NumberOf(const QVariant& v)
{
    if (v.isNull()) return std::nullopt;
    return v.toDouble();
}

// A stored time: SQLite gives the stamp's text, PostgreSQL a timestamp without zone whose fields
// are the UTC time as written.
QDateTime TimeOf(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QDateTime) {
        const QDateTime t = v.toDateTime();
        return QDateTime(t.date(), t.time(), QTimeZone::utc());
    }
    return FromUtcStamp(v.toString());
}

// PostgreSQL pads CHAR(n) columns with blanks; SQLite keeps the text as written.
QString Fixed(const QVariant& v)
{
    return v.toString().trimmed();
}

RunState StateOf(const QVariant& v)
{
    if (v.isNull()) return RunState::Running;
    return v.toString() == QLatin1String("aborted") ? RunState::Aborted : RunState::Done;
}

} // namespace

// The filter's conditions on run r and its end e (or on the end alone, which carries the run's
// columns the filter reads), with their values in order.
QString Where(const Filter& f, QVariantList& values, bool endOnly)
{
    QStringList c;
    auto add = [&](const char* column, const char* op, const QVariant& v) {
        c << (endOnly ? QStringLiteral("e.") : QStringLiteral("r.")) + QLatin1String(column) +
                 QLatin1String(op);
        values << v;
    };
    if (f.since) add("local_day", " >= ?", f.since->toString(Qt::ISODate));
    if (f.until) add("local_day", " <= ?", f.until->toString(Qt::ISODate));
    if (!f.label.isEmpty()) add("label", " = ?", f.label);
    if (!f.station.isEmpty()) add("station", " = ?", f.station);
    if (!f.batch.isEmpty()) add("batch", " = ?", f.batch);
    if (!f.verdict.isEmpty()) {
        c << QStringLiteral("e.verdict = ?");
        values << f.verdict;
    }
    if (!f.serial.isEmpty()) add("serial", " = ?", f.serial);
    // Only a unit's first finished run of its definition, wherever the filter's window starts.
    if (f.firstPassOnly)
        c << (endOnly ? QStringLiteral("NOT EXISTS (SELECT 1 FROM run_end pe WHERE pe.serial = e.serial AND "
                                       "pe.sensor_type = e.sensor_type AND pe.label = e.label AND pe.state = "
                                       "'done' AND pe.yield_key < e.yield_key)")
                      : QStringLiteral(
                            "NOT EXISTS (SELECT 1 FROM run p JOIN run_end pe ON pe.run_uuid = p.uuid WHERE "
                            "p.serial = r.serial AND p.sensor_type = r.sensor_type AND p.label = r.label AND "
                            "pe.state = 'done' AND (p.started_at < r.started_at OR (p.started_at = "
                            "r.started_at AND p.uuid < r.uuid)))"));
    return c.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c.join(QStringLiteral(" AND "));
}

namespace {

bool Run(QSqlQuery& q, const QVariantList& values)
{
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

} // namespace

SqlHistoryStore::SqlHistoryStore(QSqlDatabase db, QString connection, QString url, QString station,
                                 QString host)
    : db_(std::move(db)), connection_(std::move(connection)), url_(std::move(url)),
      station_(std::move(station)), host_(std::move(host))
{
}

SqlHistoryStore::~SqlHistoryStore()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

std::unique_ptr<SqlHistoryStore> SqlHistoryStore::Open(const QString& url, const QString& dataDir,
                                                       const QString& station, const QString& host,
                                                       Schema schema, QString* why)
{
    const bool server = IsServerUrl(url);
    ServerUrl where;
    QString file;
    if (server ? !ParseServerUrl(url, &where, why) : !SqliteFile(url, dataDir, &file, why)) return nullptr;
    const QString driver = server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        if (why)
            *why = server ? QStringLiteral("the Qt PostgreSQL driver (QPSQL) is not installed")
                          : QStringLiteral("the Qt SQLite driver (QSQLITE) is not installed");
        return nullptr;
    }
    if (!server && !QFileInfo(QFileInfo(file).absolutePath()).isDir()) {
        if (why) *why = QStringLiteral("%1: no such folder").arg(QFileInfo(file).absolutePath());
        return nullptr;
    }
    const QString name = QStringLiteral("vmx-history-%1").arg(++connections);
    std::unique_ptr<SqlHistoryStore> store;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        if (server) {
            db.setHostName(where.host);
            db.setPort(where.port);
            db.setUserName(where.user);
            db.setDatabaseName(where.dbname);
            // An away server is found out in seconds, not after the system's TCP time-out.
            QString options = where.options;
            if (!options.contains(QLatin1String("connect_timeout=")))
                options += QLatin1String(options.isEmpty() ? "" : ";") + QStringLiteral("connect_timeout=5");
            db.setConnectOptions(options);
        } else {
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
        store.reset(new SqlHistoryStore(db, name, url, station, host));
        store->server_ = server;
    }
    QSqlDatabase& db = store->db_;
    if (!db.open()) {
        // The URL holds no password, so it can be shown.
        if (why) *why = QStringLiteral("%1: %2").arg(server ? url : file, db.lastError().text().trimmed());
        return nullptr;
    }
    // SQLite: WAL with a full sync at every commit, so a committed unit survives a kill or a power
    // cut; a 64 MB page cache and sorts in memory keep the yields over a large history quick.
    static const char* const sqlite[] = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                                         "PRAGMA foreign_keys=ON", "PRAGMA cache_size=-65536",
                                         "PRAGMA temp_store=MEMORY"};
    // PostgreSQL: a line's stations share the server's quiet.
    static const char* const postgres[] = {"SET client_min_messages TO WARNING"};
    for (const char* statement : server ? std::vector<const char*>(std::begin(postgres), std::end(postgres))
                                        : std::vector<const char*>(std::begin(sqlite), std::end(sqlite))) {
        QSqlQuery q(db);
        if (!q.exec(QLatin1String(statement))) {
            if (why) *why = QStringLiteral("%1: %2").arg(server ? url : file, q.lastError().text());
            return nullptr;
        }
    }
    if (schema == Schema::Latest && (!store->Migrate(why) || !store->RegisterStation())) {
        if (why && !store->error_.isEmpty()) *why = store->error_;
        return nullptr;
    }
    return store;
}

int SqlHistoryStore::schemaVersion()
{
    return SchemaVersionOf(db_, &error_);
}

bool SqlHistoryStore::Migrate(QString* why)
{
    return history::Migrate(db_, -1, why);
}

bool SqlHistoryStore::Fail(const QString& why)
{
    error_ = why;
    return false;
}

template <class Work> bool SqlHistoryStore::Transaction(Work work)
{
    error_.clear();
    if (!db_.transaction()) return Fail(db_.lastError().text());
    if (!work() || !db_.commit()) {
        if (error_.isEmpty()) error_ = db_.lastError().text();
        db_.rollback();
        return false;
    }
    return true;
}

bool SqlHistoryStore::RegisterStation()
{
    return Transaction([&] {
        QSqlQuery q(db_);
        q.prepare(QStringLiteral("INSERT INTO station (name, host) VALUES (?, ?) ON CONFLICT DO NOTHING"));
        return Run(q, {Text(station_), Text(host_)}) || Fail(q.lastError().text());
    });
}

bool SqlHistoryStore::BeginRun(const RunStart& r)
{
    return Transaction([&] {
        QSqlQuery u(db_);
        u.prepare(
            QStringLiteral("INSERT INTO unit (serial, sensor_type) VALUES (?, ?) ON CONFLICT DO NOTHING"));
        if (!Run(u, {Text(r.serial), Text(r.sensorType)})) return Fail(u.lastError().text());
        QSqlQuery q(db_);
        q.prepare(QStringLiteral("INSERT INTO run (uuid, station, serial, sensor_type, label, program, "
                                 "definition_hash, tester, batch, "
                                 "batch_comment, year, tech_index, started_at, local_day, version) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                 "?, ?, ?, ?, ?)"));
        const QVariantList v = {Text(r.uuid),           Text(station_),
                                Text(r.serial),         Text(r.sensorType),
                                Text(r.label),          r.program,
                                Text(r.definitionHash), Text(r.tester),
                                Text(r.batch),          Text(r.batchComment),
                                Text(r.year),           Text(r.techIndex),
                                UtcStamp(r.started),    r.started.toLocalTime().date().toString(Qt::ISODate),
                                Text(r.version)};
        if (!Run(q, v)) return Fail(q.lastError().text());
        QSqlQuery open(db_);
        open.prepare(QStringLiteral("INSERT INTO run_open (run_uuid) VALUES (?)"));
        return Run(open, {Text(r.uuid)}) || Fail(open.lastError().text());
    });
}

bool SqlHistoryStore::AddStepAttempt(const StepAttempt& a)
{
    return Transaction([&] {
        QSqlQuery q(db_);
        q.prepare(
            QStringLiteral("INSERT INTO step_attempt (run_uuid, step, attempt, routine, outcome, started_at, "
                           "duration_ms) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        if (!Run(q, {Text(a.runUuid), a.step, a.attempt, Text(a.routine), a.outcome, UtcStamp(a.started),
                     a.durationMs}))
            return Fail(q.lastError().text());
        QSqlQuery t(db_);
        t.prepare(QStringLiteral("INSERT INTO status_text (run_uuid, step, attempt, seq, colour, text) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
        for (size_t i = 0; i < a.texts.size(); ++i)
            if (!Run(t, {Text(a.runUuid), a.step, a.attempt, int(i), Text(a.texts[i].colour),
                         Text(a.texts[i].text)}))
                return Fail(t.lastError().text());
        QSqlQuery m(db_);
        m.prepare(QStringLiteral(
            "INSERT INTO measurement (run_uuid, step, attempt, seq, item, value, number, unit, "
            "low_limit, high_limit, outcome, started_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, (SELECT "
            "started_at FROM run WHERE uuid = ?))"));
        for (size_t i = 0; i < a.measurements.size(); ++i) {
            const Measurement& x = a.measurements[i];
            if (!Run(m, {Text(a.runUuid), a.step, a.attempt, int(i), Text(x.item), Text(x.value),
                         Number(x.number), Text(x.unit), Number(x.low), Number(x.high), x.outcome,
                         Text(a.runUuid)}))
                return Fail(m.lastError().text());
        }
        return true;
    });
}

bool SqlHistoryStore::EndRun(const RunEnd& e)
{
    return Transaction([&] {
        QSqlQuery q(db_);
        q.prepare(EndInsert(QStringLiteral("?, ?, ?, ") + Stamp(), QStringLiteral("?")) +
                  QStringLiteral(" WHERE r.uuid = ?"));
        if (!Run(q, {StateName(e.state), Text(e.verdict), Text(e.comment), UtcStamp(e.ended),
                     e.verdict == QLatin1String("okay") ? 1 : 0, Text(e.runUuid)}))
            return Fail(q.lastError().text());
        // The end is made from its run's row: no run, no end.
        if (q.numRowsAffected() != 1)
            return Fail(QStringLiteral("run %1 is not in the history").arg(e.runUuid));
        QSqlQuery open(db_);
        open.prepare(QStringLiteral("DELETE FROM run_open WHERE run_uuid = ?"));
        return Run(open, {Text(e.runUuid)}) || Fail(open.lastError().text());
    });
}

QString SqlHistoryStore::Stamp() const
{
    // A value in a SELECT's list has no column to take its type from on PostgreSQL.
    return server_ ? QStringLiteral("CAST(? AS TIMESTAMP)") : QStringLiteral("?");
}

QString SqlHistoryStore::EndInsert(const QString& values, const QString& okay) const
{
    return QStringLiteral(
               "INSERT INTO run_end (run_uuid, state, verdict, comment, ended_at, serial, sensor_type, "
               "label, station, batch, local_day, yield_key) SELECT r.uuid, %1, r.serial, "
               "r.sensor_type, r.label, r.station, r.batch, r.local_day, %2 FROM run r")
        .arg(values, YieldKeySql(server_, okay));
}

bool SqlHistoryStore::AddServiceEvent(const ServiceEvent& e)
{
    return Transaction([&] {
        QSqlQuery q(db_);
        q.prepare(QStringLiteral(
            "INSERT INTO service_event (uuid, station, serial, sensor_type, at, kind, ok, "
            "before_hex, after_hex, file_name, file_sha256, range_text) VALUES (?, ?, ?, ?, ?, "
            "?, ?, ?, ?, ?, ?, ?)"));
        return Run(q, {Text(e.uuid), Text(station_), Text(e.serial), Text(e.sensorType), UtcStamp(e.at),
                       KindName(e.kind), e.ok ? 1 : 0, Text(QString::fromLatin1(e.before.toHex())),
                       Text(QString::fromLatin1(e.after.toHex())), Text(e.fileName), Text(e.fileSha256),
                       Text(e.range)}) ||
               Fail(q.lastError().text());
    });
}

int SqlHistoryStore::RunningCount()
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "SELECT COUNT(*) FROM run_open o JOIN run r ON r.uuid = o.run_uuid WHERE r.station = ?"));
    if (!Run(q, {Text(station_)}) || !q.next()) return Fail(q.lastError().text()), -1;
    return q.value(0).toInt();
}

int SqlHistoryStore::AbortLeftRunning(const QDateTime& now)
{
    int count = 0;
    const bool ok = Transaction([&] {
        QSqlQuery q(db_);
        // The open runs are listed: no scan of every run for its end.
        q.prepare(EndInsert(QStringLiteral("'aborted', 'FEHLER', '', ") + Stamp(), QStringLiteral("0")) +
                  QStringLiteral(" JOIN run_open o ON o.run_uuid = r.uuid WHERE r.station = ?"));
        if (!Run(q, {UtcStamp(now), Text(station_)})) return Fail(q.lastError().text());
        count = q.numRowsAffected();
        QSqlQuery ended(db_);
        return ended.exec(QStringLiteral("DELETE FROM run_open WHERE EXISTS (SELECT 1 FROM run_end e WHERE "
                                         "e.run_uuid = run_open.run_uuid)")) ||
               Fail(ended.lastError().text());
    });
    return ok ? count : -1;
}

std::vector<RunRow> SqlHistoryStore::Runs(const Filter& filter, int limit, int offset)
{
    error_.clear();
    std::vector<RunRow> rows;
    QVariantList values;
    const QString where = Where(filter, values);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT r.uuid, r.station, r.serial, r.sensor_type, r.label, r.program, "
                       "r.definition_hash, r.tester, r.batch, r.batch_comment, r.year, r.tech_index, "
                       "r.started_at, r.version, e.state, e.verdict, e.comment, e.ended_at FROM run r LEFT "
                       "JOIN run_end e ON e.run_uuid = r.uuid") +
        where + QStringLiteral(" ORDER BY r.started_at DESC, r.uuid DESC LIMIT ? OFFSET ?"));
    values << limit << offset;
    if (!Run(q, values)) {
        Fail(q.lastError().text());
        return rows;
    }
    while (q.next()) {
        RunRow r;
        RunStart& s = r.start;
        s.uuid = q.value(0).toString();
        r.station = q.value(1).toString();
        s.serial = q.value(2).toString();
        s.sensorType = q.value(3).toString();
        s.label = q.value(4).toString();
        s.program = q.value(5).toInt();
        s.definitionHash = Fixed(q.value(6));
        s.tester = q.value(7).toString();
        s.batch = q.value(8).toString();
        s.batchComment = q.value(9).toString();
        s.year = q.value(10).toString();
        s.techIndex = q.value(11).toString();
        s.started = TimeOf(q.value(12));
        s.version = q.value(13).toString();
        r.state = StateOf(q.value(14));
        r.verdict = q.value(15).toString();
        r.comment = q.value(16).toString();
        if (!q.value(17).isNull()) r.ended = TimeOf(q.value(17));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<StepAttempt> SqlHistoryStore::Steps(const QString& runUuid)
{
    error_.clear();
    std::vector<StepAttempt> steps;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT step, attempt, routine, outcome, started_at, duration_ms FROM step_attempt "
                       "WHERE run_uuid = ? ORDER BY started_at, step, attempt"));
    if (!Run(q, {runUuid})) {
        Fail(q.lastError().text());
        return steps;
    }
    std::map<std::pair<int, int>, size_t> at;
    while (q.next()) {
        StepAttempt a;
        a.runUuid = runUuid;
        a.step = q.value(0).toInt();
        a.attempt = q.value(1).toInt();
        a.routine = q.value(2).toString();
        a.outcome = q.value(3).toInt();
        a.started = TimeOf(q.value(4));
        a.durationMs = q.value(5).toLongLong();
        at[{a.step, a.attempt}] = steps.size();
        steps.push_back(std::move(a));
    }
    QSqlQuery t(db_);
    t.setForwardOnly(true);
    t.prepare(QStringLiteral(
        "SELECT step, attempt, colour, text FROM status_text WHERE run_uuid = ? ORDER BY step, "
        "attempt, seq"));
    if (Run(t, {runUuid}))
        while (t.next())
            if (auto i = at.find({t.value(0).toInt(), t.value(1).toInt()}); i != at.end())
                steps[i->second].texts.push_back({t.value(2).toString(), t.value(3).toString()});
    QSqlQuery m(db_);
    m.setForwardOnly(true);
    m.prepare(
        QStringLiteral("SELECT step, attempt, item, value, number, unit, low_limit, high_limit, outcome FROM "
                       "measurement WHERE run_uuid = ? ORDER BY step, attempt, seq"));
    if (Run(m, {runUuid}))
        while (m.next())
            if (auto i = at.find({m.value(0).toInt(), m.value(1).toInt()}); i != at.end())
                steps[i->second].measurements.push_back(
                    {m.value(2).toString(), m.value(3).toString(), NumberOf(m.value(4)),
                     m.value(5).toString(), NumberOf(m.value(6)), NumberOf(m.value(7)), m.value(8).toInt()});
    return steps;
}

std::vector<ServiceEvent> SqlHistoryStore::Events(const QString& serial, const QString& sensorType)
{
    error_.clear();
    std::vector<ServiceEvent> events;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    QVariantList values{serial};
    QString sql =
        QStringLiteral("SELECT uuid, station, serial, sensor_type, at, kind, ok, before_hex, after_hex, "
                       "file_name, file_sha256, range_text FROM service_event WHERE serial = ?");
    if (!sensorType.isEmpty()) {
        sql += QStringLiteral(" AND sensor_type = ?");
        values << sensorType;
    }
    q.prepare(sql + QStringLiteral(" ORDER BY at DESC, uuid DESC"));
    if (!Run(q, values)) {
        Fail(q.lastError().text());
        return events;
    }
    while (q.next()) {
        ServiceEvent e;
        e.uuid = q.value(0).toString();
        e.station = q.value(1).toString();
        e.serial = q.value(2).toString();
        e.sensorType = q.value(3).toString();
        e.at = TimeOf(q.value(4));
        e.kind = KindFromName(q.value(5).toString()).value_or(ServiceKind::ParameterWrite);
        e.ok = q.value(6).toInt() != 0;
        e.before = QByteArray::fromHex(q.value(7).toString().toLatin1());
        e.after = QByteArray::fromHex(q.value(8).toString().toLatin1());
        e.fileName = q.value(9).toString();
        e.fileSha256 = Fixed(q.value(10));
        e.range = q.value(11).toString();
        events.push_back(std::move(e));
    }
    return events;
}

std::vector<YieldRow> SqlHistoryStore::Yield(GroupBy by, const Filter& filter)
{
    // A unit with a definition counts once, in the group of its first finished run; aborted and
    // unfinished runs do not count.
    QVariantList values;
    QString sql;
    // The yields read the ends alone (each carries its run's unit, definition, station, batch,
    // day and yield key), through run_end_yield: per unit and definition the smallest yield key
    // is the first run with its outcome, the largest the last run's outcome.
    QString where = Where(filter, values, true);
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    where += QStringLiteral("e.state = 'done'");
    if (by == GroupBy::Day) {
        // The key carries the day's number, written out as a date only for the few groups.
        const QString date = server_ ? QStringLiteral("to_char(DATE '2000-01-01' + day, 'YYYY-MM-DD')")
                                     : QStringLiteral("date('2000-01-01', '+' || day || ' days')");
        sql = QStringLiteral(
                  "SELECT %2, units, runs, first_okay, last_okay FROM (SELECT CAST(first_run % 131072 AS "
                  "INTEGER) AS day, COUNT(*) AS units, SUM(runs) AS runs, SUM(first_run / 131072 % 2) AS "
                  "first_okay, SUM(last_run / 131072 % 2) AS last_okay FROM (SELECT MIN(e.yield_key) AS "
                  "first_run, MAX(e.yield_key) AS last_run, COUNT(*) AS runs FROM run_end e%1 GROUP BY "
                  "e.serial, e.sensor_type, e.label) u GROUP BY 1) g ORDER BY day")
                  .arg(where, date);
    } else {
        // The first run's group rides behind its key, written with 20 digits so that the text
        // orders as the number (the same SQL on both engines but for the padding).
        const char* group = by == GroupBy::Station ? "e.station"
                            : by == GroupBy::Label ? "e.label"
                                                   : "e.batch";
        const QString key = server_
                                ? QStringLiteral("lpad(CAST(e.yield_key AS TEXT), 20, '0')")
                                : QStringLiteral("substr('00000000000000000000' || e.yield_key, -20, 20)");
        sql =
            QStringLiteral(
                "SELECT SUBSTR(first_run, 21) AS grp, COUNT(*), SUM(runs), SUM(CAST(SUBSTR(first_run, 1, 20) "
                "AS BIGINT) / 131072 % 2), SUM(last_run / 131072 % 2) FROM (SELECT MIN(%2 || %3) AS "
                "first_run, MAX(e.yield_key) AS last_run, COUNT(*) AS runs FROM run_end e%1 GROUP BY "
                "e.serial, e.sensor_type, e.label) u GROUP BY SUBSTR(first_run, 21) ORDER BY 1")
                .arg(where, key, QLatin1String(group));
    }
    std::vector<YieldRow> rows;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(sql);
    if (!Run(q, values)) {
        Fail(q.lastError().text());
        return rows;
    }
    while (q.next())
        rows.push_back(YieldRow{q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt(),
                                q.value(3).toInt(), q.value(4).toInt()});
    return rows;
}

} // namespace vmx::history
