#pragma once
// The outbox: a station writes its history to its own SQLite store first, and this pushes each
// finished or aborted run (with its step attempts, texts and measurements) and each service event
// to the line's PostgreSQL server, in the order they ended, a batch of them in one transaction
// (each whole or not at all). Every insert is
// "ON CONFLICT DO NOTHING" by UUID, so a push that a kill interrupted after the server's commit
// is pushed again without a double, and the server's rows are only ever added.

#include "history/SqlHistoryStore.h"

#include <QDeadlineTimer>
#include <QString>

#include <QSqlQuery>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace vmx::history {

struct SyncResult {
    int pushed = 0;       // runs and events the server took in this call
    int waiting = 0;      // still waiting after it (-1: the local store could not be read)
    bool reached = false; // the server answered
    QString error;        // why the push stopped, empty when nothing is left
};

class HistorySync {
public:
    // `local`: the station's own store (used on the calling thread only); `serverUrl`: the line's
    // server, opened on the first push and again after it failed.
    HistorySync(SqlHistoryStore& local, QString serverUrl);
    ~HistorySync();
    HistorySync(const HistorySync&) = delete;
    HistorySync& operator=(const HistorySync&) = delete;

    // Runs and events not yet on the server; -1 when the local store cannot be read.
    int Waiting();
    // Pushes what waits, oldest first, until nothing is left, `max` were pushed (-1: no limit),
    // the deadline passed or the server fails.
    SyncResult Push(int max = -1, QDeadlineTimer deadline = QDeadlineTimer::Forever);

private:
    bool Connect(QString* why);
    // A table's rows gathered for one server transaction.
    struct Rows {
        QStringList columns;
        std::vector<QVariantList> values;
        std::set<QString> seen;
    };
    // Pushes runs (false) and events (true) by UUID in one server transaction.
    bool PushBatch(const std::vector<std::pair<QString, bool>>& batch, QString* why);
    bool Collect(const QString& table, const QString& where, const QVariant& key,
                 std::map<QString, Rows>& rows, QString* why);
    bool Insert(const QString& table, const Rows& rows, QString* why);
    bool Durable(QString* why);
    bool MarkPushed(const std::vector<QString>& uuids, QString* why);

    SqlHistoryStore& local_;
    QString serverUrl_;
    void Disconnect();

    std::unique_ptr<SqlHistoryStore> server_;
    // The server's statements by table and row count, prepared once per connection: a run's
    // tables mostly have the same shape as the last one's, and a prepare is a round trip.
    std::map<std::pair<QString, int>, QSqlQuery> inserts_;
    // The station store's reads of a run's rows, prepared once.
    std::map<QString, QSqlQuery> selects_;
};

// The pause before the next try after a failed push: 1 s, doubled after each failure up to a
// minute, back to 1 s after a success.
class RetryPause {
public:
    std::chrono::milliseconds Next();
    void Reset() { failures_ = 0; }

private:
    int failures_ = 0;
};

} // namespace vmx::history
