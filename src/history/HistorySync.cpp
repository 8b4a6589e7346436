#include "history/HistorySync.h"

#include "history/HistoryRecords.h"
#include "history/Schema.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QVariant>

#include <algorithm>

namespace vmx::history {

namespace {

// Local rows not yet pushed: ended runs and service events, by the time they ended.
const char* const kWaitingRows =
    "SELECT e.run_uuid, 0, e.ended_at FROM run_end e LEFT JOIN pushed p ON p.uuid = e.run_uuid WHERE "
    "p.uuid IS NULL UNION ALL SELECT s.uuid, 1, s.at FROM service_event s LEFT JOIN pushed p ON p.uuid = "
    "s.uuid WHERE p.uuid IS NULL";

// Runs and events taken from the outbox at a time; the server's disk is waited for once per take.
// Finding what waits reads every end and event of the store (a second on a million runs), so a
// take is large.
constexpr int kRowsPerTake = 5000;
// Runs and events per server transaction: a run's rows are few, and a round trip costs more than
// them all. Each run or event is still on the server whole or not at all.
constexpr int kRowsPerTransaction = 100;
// Rows per INSERT, at most: well below the server's 65535 parameters for the widest table. Fewer
// go in as the powers of two they add up to, so a table has at most ten statements to prepare.
constexpr int kRowsPerInsert = 512;

// The tables in the order the server's keys want them: parents first.
const char* const kTables[] = {"station",     "unit",        "run",     "step_attempt",
                               "status_text", "measurement", "run_end", "service_event"};

} // namespace

HistorySync::HistorySync(SqlHistoryStore& local, QString serverUrl)
    : local_(local), serverUrl_(std::move(serverUrl))
{
}

HistorySync::~HistorySync()
{
    Disconnect();
}

void HistorySync::Disconnect()
{
    inserts_.clear();
    server_.reset();
}

int HistorySync::Waiting()
{
    // Only pushed ends and events are marked, and nothing is ever deleted: what waits is the rest,
    // counted from three indexes instead of looking up a mark for each of a million ends.
    QSqlQuery q(local_.database());
    if (!q.exec(
            QStringLiteral("SELECT (SELECT COUNT(*) FROM run_end) + (SELECT COUNT(*) FROM service_event) - "
                           "(SELECT COUNT(*) FROM pushed)")) ||
        !q.next())
        return -1;
    return q.value(0).toInt();
}

bool HistorySync::Connect(QString* why)
{
    if (server_) return true;
    // The server's schema is the line administrator's (vmxctl db init with the owner's URL); a
    // station's role can only add rows, so it does not migrate.
    server_ = SqlHistoryStore::Open(serverUrl_, QString(), local_.station(), QSysInfo::machineHostName(),
                                    SqlHistoryStore::Schema::AsIs, why);
    if (!server_) return false;
    // Each run is committed on its own without waiting for the server's disk; Durable() waits
    // once for all of them before any is marked pushed.
    QSqlQuery async(server_->database());
    if (!async.exec(QStringLiteral("SET synchronous_commit TO off"))) {
        if (why) *why = async.lastError().text();
        Disconnect();
        return false;
    }
    const int v = server_->schemaVersion();
    if (v != SchemaVersionLatest()) {
        if (why)
            *why = QStringLiteral("%1 is at schema %2, this program writes %3 (vmxctl db migrate with the "
                                  "owner's URL)")
                       .arg(serverUrl_, QString::number(v), QString::number(SchemaVersionLatest()));
        Disconnect();
        return false;
    }
    return true;
}

SyncResult HistorySync::Push(int max, QDeadlineTimer deadline)
{
    SyncResult r;
    QString why;
    while ((max < 0 || r.pushed < max) && !deadline.hasExpired()) {
        QSqlQuery q(local_.database());
        q.setForwardOnly(true);
        const int take = max < 0 ? kRowsPerTake : std::min(kRowsPerTake, max - r.pushed);
        if (!q.exec(QStringLiteral("%1 ORDER BY 3, 1 LIMIT %2").arg(QLatin1String(kWaitingRows)).arg(take))) {
            r.error = q.lastError().text();
            break;
        }
        std::vector<std::pair<QString, bool>> next;
        while (q.next())
            next.emplace_back(q.value(0).toString(), q.value(1).toInt() == 1);
        q.finish();
        if (next.empty()) break;
        const bool fresh = !server_;
        if (!Connect(&why)) {
            r.error = why;
            break;
        }
        // A kept connection may have died with the server; it has answered once a push went in.
        r.reached = r.reached || fresh;
        bool failed = false;
        std::vector<QString> done;
        for (size_t at = 0; at < next.size();) {
            const int room = max < 0 ? kRowsPerTransaction : max - r.pushed - int(done.size());
            if (room <= 0 || deadline.hasExpired()) break;
            const size_t n = std::min({next.size() - at, size_t(room), size_t(kRowsPerTransaction)});
            const std::vector<std::pair<QString, bool>> batch(next.begin() + long(at),
                                                              next.begin() + long(at + n));
            if (PushBatch(batch, &why)) {
                for (const auto& row : batch)
                    done.push_back(row.first);
            } else {
                // A batch is all or nothing. One run the server refuses must not hold back the
                // runs before it: push them one by one up to that run, which waits with all after it.
                size_t k = 0;
                if (n > 1)
                    while (k < n && PushBatch({batch[k]}, &why))
                        done.push_back(batch[k++].first);
                if (k < n) {
                    r.error = why;
                    failed = true;
                    break;
                }
            }
            at += n;
        }
        // What the server committed is on its disk before it is marked here, all in one local
        // transaction: a failure or a kill before that pushes those rows again, harmlessly.
        if (!done.empty() && !(Durable(&why) && MarkPushed(done, &why))) {
            r.error = why;
            failed = true;
            done.clear();
        }
        r.pushed += int(done.size());
        r.reached = r.reached || !done.empty();
        if (failed) {
            // A dropped connection is opened again at the next push.
            Disconnect();
            break;
        }
        // A short take was all that waited; what ended since has a push of its own coming, and
        // another take would read every end again to find nothing.
        if (int(next.size()) < take) break;
    }
    r.waiting = Waiting();
    return r;
}

bool HistorySync::PushBatch(const std::vector<std::pair<QString, bool>>& batch, QString* why)
{
    // Every table's rows of the whole batch, then one INSERT per table (or a few): the round
    // trips are per batch, not per run.
    std::map<QString, Rows> rows;
    for (const auto& [uuid, isEvent] : batch) {
        bool ok;
        if (isEvent) {
            ok = Collect(QStringLiteral("station"),
                         QStringLiteral("name = (SELECT station FROM service_event WHERE uuid = ?)"), uuid,
                         rows, why) &&
                 Collect(QStringLiteral("service_event"), QStringLiteral("uuid = ?"), uuid, rows, why);
        } else {
            ok =
                Collect(QStringLiteral("station"),
                        QStringLiteral("name = (SELECT station FROM run WHERE uuid = ?)"), uuid, rows, why) &&
                Collect(QStringLiteral("unit"),
                        QStringLiteral(
                            "(serial, sensor_type) = (SELECT serial, sensor_type FROM run WHERE uuid = ?)"),
                        uuid, rows, why) &&
                Collect(QStringLiteral("run"), QStringLiteral("uuid = ?"), uuid, rows, why);
            for (const char* table : {"step_attempt", "status_text", "measurement", "run_end"})
                ok = ok && Collect(QLatin1String(table), QStringLiteral("run_uuid = ?"), uuid, rows, why);
        }
        if (!ok) return false;
    }
    QSqlDatabase& db = server_->database();
    if (!db.transaction()) {
        if (why) *why = db.lastError().text();
        return false;
    }
    bool ok = true;
    for (const char* table : kTables)
        if (auto at = rows.find(QLatin1String(table)); at != rows.end())
            if (!(ok = Insert(at->first, at->second, why))) break;
    if (!ok || !db.commit()) {
        if (ok && why) *why = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

bool HistorySync::Durable(QString* why)
{
    // A commit that waits for the server's disk, after the ones that did not: the server's log
    // is written in order, so once it returns every earlier commit is on disk too. Only a
    // transaction with an id writes a commit record to wait for.
    QSqlDatabase& db = server_->database();
    QSqlQuery q(db);
    if (!db.transaction() || !q.exec(QStringLiteral("SET LOCAL synchronous_commit TO on")) ||
        !q.exec(QStringLiteral("SELECT txid_current()")) || !db.commit()) {
        if (why) *why = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

bool HistorySync::Collect(const QString& table, const QString& where, const QVariant& key,
                          std::map<QString, Rows>& rows, QString* why)
{
    auto [it, fresh] = selects_.try_emplace(table + where, local_.database());
    QSqlQuery& from = it->second;
    if (fresh) {
        from.setForwardOnly(true);
        if (!from.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2").arg(table, where))) {
            if (why) *why = from.lastError().text();
            selects_.erase(it);
            return false;
        }
    }
    from.addBindValue(key);
    if (!from.exec()) {
        if (why) *why = from.lastError().text();
        return false;
    }
    Rows& to = rows[table];
    const QSqlRecord record = from.record();
    if (to.columns.isEmpty())
        for (int i = 0; i < record.count(); ++i)
            to.columns << record.fieldName(i);
    while (from.next()) {
        QVariantList values;
        for (int i = 0; i < record.count(); ++i)
            values << from.value(i);
        // The station and the unit are shared by many runs of a batch: once each is enough.
        if (table == QLatin1String("station") || table == QLatin1String("unit")) {
            QStringList texts;
            for (const QVariant& v : values)
                texts << v.toString();
            if (!to.seen.insert(texts.join(QChar(0x1f))).second) continue;
        }
        to.values.push_back(std::move(values));
    }
    // Kept for the next run, but not holding a read of the store open meanwhile.
    from.finish();
    return true;
}

bool HistorySync::Insert(const QString& table, const Rows& rows, QString* why)
{
    const QString row = QLatin1Char('(') +
                        QStringList(rows.columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) +
                        QLatin1Char(')');
    for (size_t at = 0; at < rows.values.size();) {
        int n = kRowsPerInsert;
        while (size_t(n) > rows.values.size() - at)
            n /= 2;
        auto [it, fresh] = inserts_.try_emplace({table, n}, server_->database());
        QSqlQuery& to = it->second;
        if (fresh && !to.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3 ON CONFLICT DO NOTHING")
                                     .arg(table, rows.columns.join(QLatin1Char(',')),
                                          QStringList(n, row).join(QLatin1Char(','))))) {
            if (why) *why = to.lastError().text();
            inserts_.erase(it);
            return false;
        }
        for (int i = 0; i < n; ++i)
            for (const QVariant& v : rows.values[at + size_t(i)])
                to.addBindValue(v);
        at += size_t(n);
        if (!to.exec()) {
            if (why) *why = to.lastError().text();
            return false;
        }
    }
    return true;
}

bool HistorySync::MarkPushed(const std::vector<QString>& uuids, QString* why)
{
    QSqlDatabase& db = local_.database();
    if (!db.transaction()) {
        if (why) *why = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO pushed (uuid, pushed_at) VALUES (?, ?) ON CONFLICT DO NOTHING"));
    const QString now = UtcStamp(QDateTime::currentDateTimeUtc());
    for (const QString& uuid : uuids) {
        q.addBindValue(uuid);
        q.addBindValue(now);
        if (!q.exec()) {
            if (why) *why = q.lastError().text();
            db.rollback();
            return false;
        }
    }
    if (db.commit()) return true;
    if (why) *why = db.lastError().text();
    db.rollback();
    return false;
}

std::chrono::milliseconds RetryPause::Next()
{
    const int shift = std::min(failures_++, 6);
    return std::min(std::chrono::milliseconds(1000 << shift), std::chrono::milliseconds(60000));
}

} // namespace vmx::history
