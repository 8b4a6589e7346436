// A line of stations on a private PostgreSQL server through vmxctl: two stations test at once
// and the server holds each run once; with the server away the units go on and wait in the
// outbox; a sync killed mid-push and run again loses and doubles nothing.
#include "StateBench.h"
#include "history/PgServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// What a query gives, rows by '\n', columns by '|', through a connection opened for it alone
// (the server goes away and comes back in between).
QString Query(const char* driver, const QString& host, int port, const QString& db, const QString& sql)
{
    QStringList rows;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QLatin1String(driver), QStringLiteral("query"));
        c.setHostName(host);
        c.setPort(port);
        c.setUserName(QStringLiteral("vmx"));
        c.setDatabaseName(db);
        QSqlQuery q(c);
        if (!c.open() || !q.exec(sql)) rows << c.lastError().text() + q.lastError().text();
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << q.value(i).toString();
            rows << cells.join(QLatin1Char('|'));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("query"));
    return rows.join(QLatin1Char('\n'));
}

QString Line(vmx::testing::PgServer& pg, const QString& sql)
{
    const vmx::testing::PgConnection c = pg.Connection(QStringLiteral("line"));
    return Query("QPSQL", c.socketDir, c.port, QStringLiteral("line"), sql);
}

struct LineStation : StateBench {
    LineStation(const char* name, const QString& url)
        : StateBench(QStringLiteral("tk33,unit=good,tube=empty"),
                     {QStringLiteral("--type"), QStringLiteral("5028143"), QStringLiteral("--station"),
                      QLatin1String(name), QStringLiteral("--db"), url})
    {
        for (const char* file : {"TEST.INI", "QVR.hex", "PIC.hex"})
            EXPECT_TRUE(QFile::copy(testpaths::Bin(QLatin1String(file)), File(file))) << file;
    }
    QStringList Args(const QStringList& args) const
    {
        return QStringList{QStringLiteral("--config-dir"), dir.path()} + globals + QStringList{profile} +
               args;
    }
    QStringList Units(int sn, int units) const
    {
        return Args({"test", "run", "--definition", "1", "--sn", QString::number(sn), "--units",
                     QString::number(units), "--tester", "Weber", "--batch", "L-1"});
    }
    // A count in the station's own store.
    int Local(const char* sql)
    {
        return Query("QSQLITE", {}, -1, File("history.db"), QLatin1String(sql)).toInt();
    }
};

} // namespace

TEST(LineVmxctl, TwoStationsAnAwayServerAndAKilledSync)
{
    vmx::testing::PgServer pg;
    VMX_NEED_PG(pg);
    ASSERT_TRUE(pg.Psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE line")))
        << pg.error().toStdString();
    {
        LineStation admin("admin", pg.Url(QStringLiteral("line")));
        const ToolResult init = admin.Run({"db", "init"});
        ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
    }
    ASSERT_TRUE(pg.StationRole(QStringLiteral("line"))) << pg.error().toStdString();
    const QString url = pg.Url(QStringLiteral("line"), QStringLiteral("station"));
    LineStation s1("S1", url), s2("S2", url);

    // Two stations at once, 100 units each.
    QProcess p1, p2;
    p1.start(testpaths::Bin(QStringLiteral("vmxctl")), s1.Units(1000, 100));
    p2.start(testpaths::Bin(QStringLiteral("vmxctl")), s2.Units(1100, 100));
    for (QProcess* p : {&p1, &p2}) {
        p->closeWriteChannel();
        ASSERT_TRUE(p->waitForFinished(600000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().right(2000).toStdString();
    }
    EXPECT_EQ(Line(pg, QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT uuid) FROM run")),
              QStringLiteral("200|200"));
    EXPECT_EQ(Line(pg, QStringLiteral("SELECT station, COUNT(*) FROM run GROUP BY station ORDER BY 1"))
                  .toStdString(),
              "S1|100\nS2|100");
    EXPECT_EQ(s1.Run({"db", "status"}).out.split(QLatin1Char('\n')).filter(QStringLiteral("waiting=")),
              QStringList{QStringLiteral("waiting=0")});

    // The server stopped while a third station runs: its units go on with their verdict and wait.
    LineStation s3("S3", url);
    QProcess p3;
    p3.start(testpaths::Bin(QStringLiteral("vmxctl")), s3.Units(1200, 60));
    p3.closeWriteChannel();
    while (p3.state() != QProcess::NotRunning && s3.Local("SELECT COUNT(*) FROM run_end") < 10)
        p3.waitForFinished(20);
    const int doneAtStop = s3.Local("SELECT COUNT(*) FROM run_end");
    ASSERT_TRUE(pg.Stop()) << pg.error().toStdString();
    ASSERT_TRUE(p3.waitForFinished(300000));
    const QString awayErr = QString::fromUtf8(p3.readAllStandardError());
    EXPECT_EQ(p3.exitCode(), 0) << awayErr.right(300).toStdString();
    EXPECT_LT(doneAtStop, 60) << "stopped before the run's end";
    EXPECT_TRUE(awayErr.contains(QStringLiteral("history: 60 run(s) wait for the server")))
        << awayErr.right(500).toStdString();
    EXPECT_TRUE(s3.Run({"db", "status"}).out.contains(QStringLiteral("\nwaiting=60\n")));
    const ToolResult refused = s3.Run({"db", "sync"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.contains(QStringLiteral("pushed=0\nwaiting=60")));

    // Back: a sync killed as soon as the server has some of them, then one to the end.
    ASSERT_TRUE(pg.Start()) << pg.error().toStdString();
    QProcess sync;
    sync.start(testpaths::Bin(QStringLiteral("vmxctl")), s3.Args({"db", "sync"}));
    ASSERT_TRUE(sync.waitForStarted(5000));
    while (sync.state() == QProcess::Running &&
           Line(pg, QStringLiteral("SELECT COUNT(*) FROM run")).toInt() <= 200)
        QThread::msleep(5);
    ::kill(pid_t(sync.processId()), SIGKILL);
    sync.waitForFinished(10000);
    const ToolResult rest = s3.Run({"db", "sync"});
    EXPECT_EQ(rest.exitCode, 0) << rest.err.toStdString();
    EXPECT_TRUE(rest.out.endsWith(QStringLiteral("waiting=0\n"))) << rest.out.toStdString();
    EXPECT_EQ(Line(pg, QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT uuid) FROM run")),
              QStringLiteral("260|260"));
    // Every row of the station's store is on the server once.
    for (const char* table : {"step_attempt", "status_text", "measurement", "run_end"}) {
        const QString sql =
            QStringLiteral("SELECT COUNT(*) FROM %1 t JOIN run r ON r.uuid = t.run_uuid WHERE "
                           "r.station = 'S3'")
                .arg(QLatin1String(table));
        EXPECT_EQ(Line(pg, sql).toInt(), s3.Local(sql.toUtf8().constData())) << table;
        EXPECT_GT(s3.Local(sql.toUtf8().constData()), 0) << table;
    }

    // The line's view from the server, every station; with the server away, the station's own.
    const QStringList line = s1.Run({"history", "yield", "--by", "station"}).out.split(QLatin1Char('\n'));
    EXPECT_EQ(line.filter(QRegularExpression(QStringLiteral("^S[123]\t"))).size(), 3)
        << line.join(QLatin1Char('\n')).toStdString();
    // A unit's history and a station's yields read the same from the server and from the
    // station's own store.
    const QList<QStringList> same = {{"history", "unit", "1000", "--json"},
                                     {"history", "yield", "--by", "day", "--station", "S1", "--json"}};
    QStringList fromServer;
    for (const QStringList& args : same)
        fromServer << s1.Run(args).out;
    ASSERT_TRUE(pg.Stop()) << pg.error().toStdString();
    for (qsizetype i = 0; i < same.size(); ++i) {
        const ToolResult r = s1.Run(same[i]);
        EXPECT_TRUE(r.err.contains(QStringLiteral("own view"))) << r.err.toStdString();
        EXPECT_EQ(r.out, fromServer[i]) << same[i].join(' ').toStdString();
        EXPECT_FALSE(r.out.trimmed().isEmpty());
    }
    const ToolResult own = s1.Run({"history", "yield", "--by", "station"});
    EXPECT_EQ(own.exitCode, 0) << own.err.toStdString();
    EXPECT_TRUE(own.err.contains(QStringLiteral("this is station S1's own view"))) << own.err.toStdString();
    EXPECT_EQ(own.out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^S[123]\t"))),
              QStringList{QStringLiteral("S1\t100\t100\t100.0%\t100.0%\t0")});
}
