// The unit history through vmxctl: a unit of the amplitude definition with a ZURÜCK repeat is
// stored with every step attempt and its measurements, and a station killed mid-unit finds its
// run left running at the next start and marks it aborted.
#include "StateBench.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include <map>

namespace {

struct Station : StateBench {
    Station()
        : StateBench(QStringLiteral("tk33,unit=good,tube=empty"),
                     {QStringLiteral("--type"), QStringLiteral("5028143"), QStringLiteral("--station"),
                      QStringLiteral("S1")})
    {
        for (const char* name : {"TEST.INI", "QVR.hex", "PIC.hex"})
            EXPECT_TRUE(QFile::copy(testpaths::Bin(QLatin1String(name)), File(name))) << name;
    }
    QStringList Args(const QStringList& args) const
    {
        return QStringList{QStringLiteral("--config-dir"), dir.path()} + globals + QStringList{profile} +
               args;
    }
    QStringList UnitArgs(int sn, bool interactive) const
    {
        QStringList a{"test",     "run",   "--definition", "1",     "--sn", QString::number(sn),
                      "--tester", "Weber", "--batch",      "A-4711"};
        if (interactive) a << QStringLiteral("--interactive");
        return Args(a);
    }
    QJsonObject Unit(const char* sn)
    {
        const ToolResult r = Run({"history", "unit", sn, "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }
};

} // namespace

TEST(HistoryVmxctl, AUnitWithAZurueckRepeatIsStoredWithEveryAttemptAndMeasurement)
{
    Station s;
    QProcess p;
    p.start(testpaths::Bin(QStringLiteral("vmxctl")), s.UnitArgs(1000, true));
    ASSERT_TRUE(p.waitForStarted(5000));
    // Four waits on, ZURÜCK once, then WEITER to the end.
    p.write(QByteArray("\n\n\n\nb\n") + QByteArray(200, '\n'));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    ASSERT_EQ(p.exitCode(), 0) << err.toStdString();

    const QJsonObject unit = s.Unit("1000");
    const QJsonArray runs = unit.value(QStringLiteral("runs")).toArray();
    ASSERT_EQ(runs.size(), 1) << QJsonDocument(unit).toJson().toStdString();
    const QJsonObject run = runs[0].toObject();
    EXPECT_EQ(run.value(QStringLiteral("serial")).toString(), QStringLiteral("1000"));
    EXPECT_EQ(run.value(QStringLiteral("station")).toString(), QStringLiteral("S1"));
    EXPECT_EQ(run.value(QStringLiteral("tester")).toString(), QStringLiteral("Weber"));
    EXPECT_EQ(run.value(QStringLiteral("batch")).toString(), QStringLiteral("A-4711"));
    EXPECT_EQ(run.value(QStringLiteral("state")).toString(), QStringLiteral("done"));
    EXPECT_EQ(run.value(QStringLiteral("verdict")).toString(), QStringLiteral("okay"));
    EXPECT_EQ(run.value(QStringLiteral("program")).toInt(), 5);

    // Every step's attempts numbered 1, 2, ... with no gap; ZURÜCK made at least one a second.
    std::map<int, int> attempts;
    std::map<QString, QJsonObject> measured;
    for (const QJsonValue& v : run.value(QStringLiteral("steps")).toArray()) {
        const QJsonObject step = v.toObject();
        const int n = step.value(QStringLiteral("step")).toInt();
        EXPECT_EQ(step.value(QStringLiteral("attempt")).toInt(), ++attempts[n]) << n;
        EXPECT_EQ(step.value(QStringLiteral("outcome")).toInt(), 1) << n;
        for (const QJsonValue& m : step.value(QStringLiteral("measurements")).toArray())
            measured[m.toObject().value(QStringLiteral("item")).toString()] = m.toObject();
    }
    int repeated = 0;
    for (const auto& [step, count] : attempts)
        repeated += count > 1;
    EXPECT_GE(repeated, 1);
    EXPECT_EQ(attempts.rbegin()->first, 32); // WriteResult, the record line

    // The measurements against the definition's limits, as the grid printed them.
    struct Item {
        const char* name;
        double low, high;
    };
    const Item items[] = {
        {"Ampl 1", 350, 450}, {"Ampl 2", 200, 300}, {"Blase 1", 200, 255}, {"SN", 1000, 1999}};
    const QStringList grid = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    ASSERT_GE(grid.size(), 2);
    const QStringList heads = grid[0].split(QLatin1Char('\t')), cells = grid[1].split(QLatin1Char('\t'));
    for (const Item& it : items) {
        SCOPED_TRACE(it.name);
        const QJsonObject m = measured[QLatin1String(it.name)];
        EXPECT_EQ(m.value(QStringLiteral("low")).toDouble(), it.low);
        EXPECT_EQ(m.value(QStringLiteral("high")).toDouble(), it.high);
        EXPECT_EQ(m.value(QStringLiteral("outcome")).toInt(), 1);
        EXPECT_EQ(m.value(QStringLiteral("value")).toString(),
                  cells.value(heads.indexOf(QLatin1String(it.name))));
    }
}

TEST(HistoryVmxctl, AKilledUnitIsAbortedAtTheNextStartAndLeftOutOfTheYield)
{
    Station s;
    QProcess p;
    p.start(testpaths::Bin(QStringLiteral("vmxctl")), s.UnitArgs(1000, true));
    ASSERT_TRUE(p.waitForStarted(5000));
    // One WEITER: the unit starts and runs to its first wait, where the operator stays.
    p.write("\n");
    ASSERT_TRUE(p.waitForBytesWritten(5000));
    QString runs;
    for (int i = 0; i < 200 && !runs.contains(QStringLiteral("\trunning\t")); ++i) {
        QThread::msleep(50);
        runs = s.Run({"history", "runs"}).out;
    }
    ASSERT_TRUE(runs.contains(QStringLiteral("\trunning\t"))) << runs.toStdString();
    p.kill();
    p.waitForFinished(5000);

    // The next start of the same station says what it found and marks it.
    const ToolResult next =
        s.Run({"test", "run", "--definition", "1", "--sn", "1001", "--tester", "Weber", "--batch", "A-4711"});
    EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_TRUE(next.err.contains(
        QStringLiteral("Datenbank: 1 unterbrochene Prüfung(en) von S1 als abgebrochen markiert")))
        << next.err.toStdString();
    const QStringList lines = s.Run({"history", "runs"}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\t1001\t")) &&
                lines[0].contains(QStringLiteral("\tdone\tokay\t")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\t1000\t")) &&
                lines[1].contains(QStringLiteral("\taborted\tFEHLER\t")))
        << lines[1].toStdString();
    // Only the finished unit counts.
    const QStringList yield = s.Run({"history", "yield", "--by", "station"}).out.split(QLatin1Char('\n'));
    ASSERT_GE(yield.size(), 2);
    EXPECT_EQ(yield[1], QStringLiteral("S1\t1\t1\t100.0%\t100.0%\t0"));
    // So do its values: one amplitude, too few for any index, which text and JSON both say.
    const ToolResult stats = s.Run({"history", "stats", "--item", "Ampl 1"});
    EXPECT_EQ(stats.exitCode, 0) << stats.err.toStdString();
    const QStringList row = stats.out.split(QLatin1Char('\n')).value(2).split(QLatin1Char('\t'));
    ASSERT_EQ(row.size(), 16) << stats.out.toStdString();
    EXPECT_EQ(row[2], QStringLiteral("1"));
    EXPECT_EQ(row.mid(12), QStringList(4, QStringLiteral("\u2014")));
    const QJsonObject item =
        QJsonDocument::fromJson(s.Run({"history", "stats", "--item", "Ampl 1", "--json"}).out.toUtf8())
            .object()[QStringLiteral("items")][0]
            .toObject();
    EXPECT_EQ(item[QStringLiteral("n")].toInt(), 1);
    EXPECT_TRUE(item[QStringLiteral("cpk")].isNull());
    EXPECT_EQ(item[QStringLiteral("low")].toDouble(), 350.0);
    // A bad date is a usage error.
    EXPECT_EQ(s.Run({"history", "runs", "--since", "2026-13-01"}).exitCode, 2);
}

// A history that refuses a step's row (here a trigger, as a full disk or a broken file would)
// fails the unit in red and ends the run with exit 1, though every measurement passed.
TEST(HistoryVmxctl, AStepTheHistoryRefusesFailsTheUnit)
{
    Station s;
    ASSERT_EQ(s.Run({"db", "init"}).exitCode, 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("refuse"));
        db.setDatabaseName(s.File("history.db"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(
            q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON measurement WHEN NEW.item = "
                                  "'Ampl 2' BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("refuse"));
    const ToolResult r = s.Run({"test", "run", "--definition", "1", "--sn", "1000", "--tester", "Weber",
                                "--batch", "A-4711", "--json", s.File("units.json")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Datenbank: FEHLER (refused"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("test run: unit 1: FEHLER, history not written")))
        << r.err.toStdString();
    QFile json(s.File("units.json"));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(json.readLine()).object().value(QStringLiteral("verdict")).toString(),
              QStringLiteral("FEHLER"));
}
