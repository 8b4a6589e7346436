// A line's server: its URL, the same schema and answers on PostgreSQL as on a station's SQLite
// store, a push repeated after a kill that doubles nothing, and a station role that can only add.
// The server is a private one the test starts (the away server: the line and window tests).
#include "HandMadeRuns.h"
#include "PgServer.h"
#include "history/HistorySync.h"
#include "history/HistoryUrl.h"
#include "history/Schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace vmx::history;
using namespace vmx::testing;

namespace {

int Count(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

const char* const kTables[] = {"run",         "step_attempt", "status_text",
                               "measurement", "run_end",      "service_event"};

// The line's database and a station role that can only add and read, as the README gives them.
QString MakeLine(PgServer& pg)
{
    if (!pg.Psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE line"))) return pg.error();
    QString why;
    if (!SqlHistoryStore::Open(pg.Url(QStringLiteral("line")), QString(), QStringLiteral("admin"),
                               QStringLiteral("h"), SqlHistoryStore::Schema::Latest, &why))
        return why;
    return pg.StationRole(QStringLiteral("line")) ? QString() : pg.error();
}

} // namespace

TEST(ServerUrl, TakesWhatLibpqTakesAndNeverAPassword)
{
    struct Case {
        const char* url;
        bool ok;
        const char* user;
        const char* host;
        int port;
        const char* db;
        const char* options; // or the start of the reason
    };
    const Case cases[] = {
        {"postgresql://station@line-db:5433/line?sslmode=require", true, "station", "line-db", 5433, "line",
         "sslmode=require"},
        {"postgres://db.example/line", true, "", "db.example", -1, "line", ""},
        {"postgresql://st%40a@%2Ftmp%2Fpg:6000/x?connect_timeout=3&sslmode=disable", true, "st@a", "/tmp/pg",
         6000, "x", "connect_timeout=3;sslmode=disable"},
        {"postgresql://[::1]:5432/line", true, "", "::1", 5432, "line", ""},
        {"postgresql:///line?host=/run/postgresql&port=5434&service=line", true, "", "/run/postgresql", 5434,
         "line", "service=line"},
        {"postgresql://station:secret@db/line", false, "", "", 0, "", "a password does not belong"},
        {"postgresql://db/line?password=secret", false, "", "", 0, "", "a password does not belong"},
        {"postgresql://db:99999/line", false, "", "", 0, "", "postgresql://db:99999/line: bad port"},
        {"postgresql://db/line?sslmode=require%3Bhost%3Devil", false, "", "", 0, "", "postgresql://db/"},
        {"sqlite:history.db", false, "", "", 0, "", "sqlite:history.db: not a postgresql:// URL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        ServerUrl u;
        QString why;
        ASSERT_EQ(ParseServerUrl(QLatin1String(c.url), &u, &why), c.ok) << why.toStdString();
        if (!c.ok) {
            EXPECT_TRUE(why.startsWith(QLatin1String(c.options))) << why.toStdString();
            EXPECT_FALSE(why.contains(QLatin1String("secret")));
            continue;
        }
        EXPECT_EQ(u.user, QLatin1String(c.user));
        EXPECT_EQ(u.host, QLatin1String(c.host));
        EXPECT_EQ(u.port, c.port);
        EXPECT_EQ(u.dbname, QLatin1String(c.db));
        EXPECT_EQ(u.options, QLatin1String(c.options));
    }
    RetryPause pause;
    for (int seconds : {1, 2, 4, 8, 16, 32, 60, 60})
        EXPECT_EQ(pause.Next().count(), seconds * 1000);
    pause.Reset();
    EXPECT_EQ(pause.Next().count(), 1000);
}

// The same runs give the same answers from the server as from the station's store; the server's
// schema is the same migrations; a push repeated after the server committed (a kill before the
// station marked it) adds nothing twice; the station role cannot change a row it added.
TEST(ServerSync, SameAnswersOnBothEnginesARepeatedPushAndARoleThatOnlyAdds)
{
    PgServer pg;
    VMX_NEED_PG(pg);
    ASSERT_EQ(MakeLine(pg).toStdString(), "");
    QTemporaryDir dir;
    QString why;
    auto local = SqlHistoryStore::Open(QStringLiteral("sqlite:h.db"), dir.path(), QStringLiteral("S1"),
                                       QStringLiteral("h"), SqlHistoryStore::Schema::Latest, &why);
    ASSERT_TRUE(local) << why.toStdString();
    const Made runs[] = {
        {"0001", "Ampl", "S1", "B1", "2026-03-01T08:00:00", "okay"},
        {"0002", "Ampl", "S1", "B1", "2026-03-01T09:00:00", "FEHLER"},
        {"0002", "Ampl", "S1", "B2", "2026-03-02T10:00:00", "okay"},
        {"0003", "Ampl", "S1", "B1", "2026-03-01T23:30:00", "FEHLER"},
        {"0004", "Ampl", "S1", "B2", "2026-03-02T07:00:00", "aborted"},
        {"0004", "Ampl", "S1", "B2", "2026-03-02T07:10:00", "okay"},
        {"0001", "Kabel", "S1", "B2", "2026-03-02T11:05:00", "okay"},
    };
    for (const Made& m : runs)
        Add(*local, m);
    ServiceEvent ev;
    ev.at = At("2026-03-02T09:30:00");
    ev.uuid = NewUuid(ev.at);
    ev.serial = QStringLiteral("0002");
    ev.sensorType = QStringLiteral("5028143");
    ev.kind = ServiceKind::Download;
    ev.ok = true;
    ev.fileName = QStringLiteral("fw.hex");
    ev.range = QStringLiteral("0800-1BFF");
    ASSERT_TRUE(local->AddServiceEvent(ev)) << local->lastError().toStdString();

    HistorySync sync(*local, pg.Url(QStringLiteral("line"), QStringLiteral("station")));
    const SyncResult r = sync.Push();
    EXPECT_TRUE(r.reached) << r.error.toStdString();
    EXPECT_EQ(r.pushed, 8);
    EXPECT_EQ(r.waiting, 0);
    // The station's marks lost, as a kill after the server's commit loses the last one.
    QSqlQuery forget(local->database());
    ASSERT_TRUE(forget.exec(QStringLiteral("DELETE FROM pushed")));
    EXPECT_EQ(sync.Waiting(), 8);
    EXPECT_EQ(sync.Push().pushed, 8);

    auto server =
        SqlHistoryStore::Open(pg.Url(QStringLiteral("line"), QStringLiteral("station")), QString(),
                              QStringLiteral("S1"), QStringLiteral("h"), SqlHistoryStore::Schema::AsIs, &why);
    ASSERT_TRUE(server) << why.toStdString();
    EXPECT_TRUE(server->isServer());
    EXPECT_EQ(server->schemaVersion(), SchemaVersionLatest());
    for (const char* t : kTables) {
        const QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(t);
        EXPECT_EQ(Count(server->database(), sql), Count(local->database(), sql)) << t;
    }
    Filter since;
    since.since = QDate(2026, 3, 2);
    since.station = QStringLiteral("S1");
    for (const auto& [by, filter] : {std::pair{GroupBy::Day, Filter{}}, std::pair{GroupBy::Station, Filter{}},
                                     std::pair{GroupBy::Label, Filter{}}, std::pair{GroupBy::Batch, Filter{}},
                                     std::pair{GroupBy::Day, since}}) {
        SCOPED_TRACE(int(by));
        const std::vector<YieldRow> a = local->Yield(by, filter), b = server->Yield(by, filter);
        ASSERT_EQ(a.size(), b.size()) << server->lastError().toStdString();
        ASSERT_FALSE(a.empty());
        for (size_t i = 0; i < a.size(); ++i)
            EXPECT_EQ(std::tie(a[i].group, a[i].units, a[i].runs, a[i].firstPassOkay, a[i].finalOkay),
                      std::tie(b[i].group, b[i].units, b[i].runs, b[i].firstPassOkay, b[i].finalOkay));
    }
    // The yield keys the station computed are the ones the server computes for ends it fills in.
    auto owner = SqlHistoryStore::Open(pg.Url(QStringLiteral("line")), QString(), QStringLiteral("admin"),
                                       QStringLiteral("h"), SqlHistoryStore::Schema::AsIs, &why);
    ASSERT_TRUE(owner) << why.toStdString();
    EXPECT_EQ(Count(owner->database(),
                    QStringLiteral("SELECT COUNT(*) FROM run_end e JOIN run r ON r.uuid = e.run_uuid WHERE "
                                   "e.yield_key = ") +
                        YieldKeySql(true, QStringLiteral("CASE WHEN e.verdict = 'okay' THEN 1 ELSE 0 END"))),
              int(std::size(runs)));
    // A unit's runs with their attempts, and its service events, as the history shows them.
    auto unit = [](SqlHistoryStore& s) {
        Filter f;
        f.serial = QStringLiteral("0002");
        QStringList l;
        for (const RunRow& r : s.Runs(f, 10, 0)) {
            l << r.start.uuid << UtcStamp(r.start.started) << UtcStamp(r.ended) << r.start.definitionHash
              << r.verdict << r.station << r.start.batch;
            for (const StepAttempt& a : s.Steps(r.start.uuid))
                l << UtcStamp(a.started) << a.texts.at(0).text << QString::number(*a.measurements.at(0).high);
        }
        for (const ServiceEvent& e : s.Events(QStringLiteral("0002"), QString()))
            l << e.uuid << UtcStamp(e.at) << e.fileSha256 << e.range;
        return l;
    };
    EXPECT_EQ(unit(*local).size(), 2 * 10 + 4);
    EXPECT_EQ(unit(*server), unit(*local));

    // The station role adds and reads; it cannot change or remove what is there.
    for (const char* sql : {"UPDATE run_end SET verdict = 'okay'", "DELETE FROM run_end",
                            "UPDATE run SET serial = '9999'", "DELETE FROM service_event"}) {
        QSqlQuery q(server->database());
        EXPECT_FALSE(q.exec(QLatin1String(sql))) << sql;
        EXPECT_TRUE(q.lastError().text().contains(QStringLiteral("permission denied")))
            << sql << ": " << q.lastError().text().toStdString();
    }

    // A run the server refuses (a serial number longer than its column) stops the push there:
    // the run before it goes, it and the one after it wait, in order.
    for (const Made& m : {Made{"0005", "Ampl", "S1", "B3", "2026-03-03T08:00:00", "okay"},
                          Made{"0006-and-far-more-than-thirty-two-characters", "Ampl", "S1", "B3",
                               "2026-03-03T09:00:00", "okay"},
                          Made{"0007", "Ampl", "S1", "B3", "2026-03-03T10:00:00", "okay"}})
        Add(*local, m);
    const SyncResult refused = sync.Push();
    EXPECT_EQ(refused.pushed, 1);
    EXPECT_EQ(refused.waiting, 2);
    EXPECT_FALSE(refused.error.isEmpty());
    EXPECT_EQ(Count(server->database(), QStringLiteral("SELECT COUNT(*) FROM run WHERE serial = '0005'")), 1);
    EXPECT_EQ(Count(server->database(), QStringLiteral("SELECT COUNT(*) FROM run WHERE serial = '0007'")), 0);
}
