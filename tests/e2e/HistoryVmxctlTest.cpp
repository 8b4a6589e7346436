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
#include <cmath>
#include <map>

namespace {

struct Station : StateBench {
    explicit Station(const QString& words = QStringLiteral("tk33,unit=good,tube=empty"))
        : StateBench(words, {QStringLiteral("--type"), QStringLiteral("5028143"), QStringLiteral("--station"),
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

// A lot of 200 units drawn from a seed: amplitudes spread by 3 counts, one unit in ten faulty.
// The statistics see the spread and the failures, and the database's sums over every item
// agree with the numbers of the one item read value by value.
TEST(HistoryVmxctl, ALotOfSpreadUnitsShowsItsSpreadAndFailuresInTheStatistics)
{
    Station s(QStringLiteral("tk33,unit=good,tube=empty,spread=3,bad=10,seed=5"));
    const ToolResult lot = s.Run({"test", "run", "--definition", "1", "--sn", "1000", "--tester", "Weber",
                                  "--batch", "A-4711", "--units", "200"},
                                 200 * 600);
    ASSERT_TRUE(lot.finished) << lot.err.right(2000).toStdString();
    EXPECT_EQ(lot.exitCode, 1) << "faulty units fail the lot";
    auto json = [&](const QStringList& args) {
        const ToolResult r = s.Run(QStringList{"history", "stats", "--json"} + args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    };
    const QJsonObject all = json({});
    int units = 0, firstPassOkay = 0;
    for (const QJsonValue& d : all[QStringLiteral("yieldByDay")].toArray()) {
        const int n = d[QStringLiteral("units")].toInt();
        units += n;
        firstPassOkay += int(std::lround(d[QStringLiteral("firstPassYield")].toDouble() * n));
    }
    EXPECT_EQ(units, 200);
    EXPECT_NEAR(1.0 - double(firstPassOkay) / units, 0.10, 0.05);
    EXPECT_FALSE(all[QStringLiteral("failingSteps")].toArray().isEmpty());

    QJsonObject summed;
    for (const QJsonValue& i : all[QStringLiteral("items")].toArray())
        if (i[QStringLiteral("item")].toString() == QLatin1String("Ampl 1")) summed = i.toObject();
    const QJsonObject read = json({"--item", "Ampl 1"})[QStringLiteral("items")].toArray().at(0).toObject();
    ASSERT_EQ(summed[QStringLiteral("n")].toInt(), 200);
    for (const char* key : {"n", "mean", "sd", "min", "max", "below", "sigmaWithin", "cpk", "ppk"})
        EXPECT_NEAR(summed[QLatin1String(key)].toDouble(), read[QLatin1String(key)].toDouble(), 1e-9) << key;
    // The good units alone: the spread asked for on top of the samples' own jitter, which a
    // lot of good units without the words shows.
    Station plain;
    ASSERT_TRUE(plain
                    .Run({"test", "run", "--definition", "1", "--sn", "1000", "--tester", "Weber", "--batch",
                          "A-4711", "--units", "100"},
                         100 * 600)
                    .finished);
    auto goodAmpl = [](Station& st) {
        const ToolResult r = st.Run({"history", "stats", "--json", "--item", "Ampl 1", "--verdict", "okay"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8())[QStringLiteral("items")].toArray().at(0).toObject();
    };
    const QJsonObject good = goodAmpl(s), jitter = goodAmpl(plain);
    EXPECT_GE(good[QStringLiteral("n")].toInt(), firstPassOkay);
    EXPECT_EQ(jitter[QStringLiteral("n")].toInt(), 100);
    const double sd = good[QStringLiteral("sd")].toDouble(), own = jitter[QStringLiteral("sd")].toDouble();
    EXPECT_NEAR(std::sqrt(sd * sd - own * own), 3.0, 1.0) << sd << " " << own;
    EXPECT_NEAR(good[QStringLiteral("mean")].toDouble(), jitter[QStringLiteral("mean")].toDouble(), 1.0);
    EXPECT_EQ(good[QStringLiteral("below")].toInt() + good[QStringLiteral("above")].toInt(), 0);
}
