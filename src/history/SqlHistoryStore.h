#pragma once
// The history in a Qt SQL database: SQLite on a station, in WAL mode with synchronous=FULL, so a
// committed row survives a kill or a power cut; or a line's PostgreSQL server, with the same
// schema and queries. Every value is a bound parameter.

#include "history/HistoryStore.h"

#include <QSqlDatabase>

#include <memory>

namespace vmx::history {

// The filter's conditions on run r and its end e as " WHERE ..." (empty without any), their
// values appended in order.
QString Where(const Filter& f, QVariantList& values, bool endOnly = false);

class SqlHistoryStore final : public HistoryStore {
public:
    enum class Schema { AsIs, Latest };
    // Opens (and creates) the database of `url` for station `station` on `host`. With
    // Schema::Latest the migrations run first; with AsIs a database behind the latest schema
    // can be read for its status only. Null with the reason when it cannot be opened.
    static std::unique_ptr<SqlHistoryStore> Open(const QString& url, const QString& dataDir,
                                                 const QString& station, const QString& host, Schema schema,
                                                 QString* why);
    ~SqlHistoryStore() override;
    SqlHistoryStore(const SqlHistoryStore&) = delete;
    SqlHistoryStore& operator=(const SqlHistoryStore&) = delete;

    const QString& url() const { return url_; }
    // A line's server (PostgreSQL) rather than a station's own file.
    bool isServer() const { return server_; }
    int schemaVersion();
    bool Migrate(QString* why);
    // This station's runs without an end (a kill, a power cut) each get an "aborted" end now.
    // Their number; -1 when the database could not be written.
    int AbortLeftRunning(const QDateTime& now);
    // Runs of this station without an end.
    int RunningCount();

    bool BeginRun(const RunStart& run) override;
    bool AddStepAttempt(const StepAttempt& attempt) override;
    bool EndRun(const RunEnd& end) override;
    bool AddServiceEvent(const ServiceEvent& event) override;
    QString lastError() const override { return error_; }
    QString station() const override { return station_; }

    std::vector<RunRow> Runs(const Filter& filter, int limit, int offset) override;
    std::vector<StepAttempt> Steps(const QString& runUuid) override;
    std::vector<ServiceEvent> Events(const QString& serial, const QString& sensorType) override;
    std::vector<YieldRow> Yield(GroupBy by, const Filter& filter) override;

    QSqlDatabase& database() { return db_; }

private:
    SqlHistoryStore(QSqlDatabase db, QString connection, QString url, QString station, QString host);
    bool RegisterStation();
    bool Fail(const QString& why);
    // Runs `work` in one transaction; false (rolled back) when it or the commit fails.
    template <class Work> bool Transaction(Work work);

    QSqlDatabase db_;
    QString connection_, url_, station_, host_, error_;
    bool server_ = false;
    // A time as a bound value in a SELECT's list.
    QString Stamp() const;
    // "INSERT INTO run_end … SELECT `values` and what the yields need … FROM run r", the yield key
    // with `okay` as its okay flag; the caller adds which runs.
    QString EndInsert(const QString& values, const QString& okay) const;
};

} // namespace vmx::history
