// The production statistics: each item's numbers worked by hand below, then the same arithmetic
// over a small stored set, with its Paretos, the first pass only and a filter that finds nothing.
#include "history/Statistics.h"
#include "PgServer.h"
#include "history/BinaryCopy.h"
#include "history/SqlHistoryStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

using namespace vmx::history;
using vmx::testing::PgServer;

namespace {

using Opt = std::optional<double>;

void ExpectNear(const Opt& got, const Opt& want, const char* what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(got.has_value(), want.has_value());
    if (want) {
        EXPECT_NEAR(*got, *want, 1e-9);
    }
}

} // namespace

TEST(Statistics, ItemNumbersWorkedByHand)
{
    const double sdA = std::sqrt(10.0 / 4);  // 10 12 11 13 9: mean 11, squares 1+1+0+4+4
    const double withinA = 9.0 / 4 / 1.128;  // moving ranges 2 1 2 4
    const double sdC = std::sqrt(28.75 / 3); // 1 4 2 8: mean 3.75, squares 7.5625+0.0625+3.0625+18.0625
    const double withinC = 11.0 / 3 / 1.128; // moving ranges 3 2 6
    struct Case {
        const char* name;
        std::vector<double> values; // in unit order
        Opt low, high;
        int n, below, above;
        Opt mean, sd, min, max, cp, cpk, pp, ppk;
        double width; // sorted 9..13: quartiles 10 and 12; 1 2 4 8: 1.75 and 5
        std::vector<int> bins;
    };
    const Opt no;
    const double wA = 2 * 2 / std::cbrt(5.0), wC = 2 * 3.25 / std::cbrt(4.0);
    // clang-format off
    const Case cases[] = {
        // name, values, low, high, n, below, above, mean, sd, min, max, Cp, Cpk, Pp, Ppk, width, bins
        {"both limits, one below", {10, 12, 11, 13, 9}, 10.0, 20.0, 5, 1, 0, 11.0, sdA, 9.0, 13.0,
         10 / (6 * withinA), 1 / (3 * withinA), 10 / (6 * sdA), 1 / (3 * sdA), wA, {3, 2}},
        {"upper limit only", {10, 12, 11, 13, 9}, no, 14.0, 5, 0, 0, 11.0, sdA, 9.0, 13.0,
         no, 3 / (3 * withinA), no, 3 / (3 * sdA), wA, {3, 2}},
        {"lower limit only, mean beyond it", {10, 12, 11, 13, 9}, 12.0, no, 5, 3, 0, 11.0, sdA, 9.0, 13.0,
         no, -1 / (3 * withinA), no, -1 / (3 * sdA), wA, {3, 2}},
        {"interpolated quartiles", {1, 4, 2, 8}, 0.0, 12.0, 4, 0, 0, 3.75, sdC, 1.0, 8.0,
         12 / (6 * withinC), 3.75 / (3 * withinC), 12 / (6 * sdC), 3.75 / (3 * sdC), wC, {3, 1}},
        {"zero spread: no index", {5, 5, 5}, 0.0, 10.0, 3, 0, 0, 5.0, 0.0, 5.0, 5.0, no, no, no, no, 0.0, {3}},
        {"one value: no sd, no index", {7}, 0.0, 10.0, 1, 0, 0, 7.0, no, 7.0, 7.0, no, no, no, no, 0.0, {1}},
        {"no values", {}, 0.0, 10.0, 0, 0, 0, no, no, no, no, no, no, no, no, 0.0, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ItemValue> values;
        for (double x : c.values)
            values.push_back({x, c.low, c.high});
        const ItemStats s = Describe(QStringLiteral("Ampl 1"), QString(), values);
        EXPECT_EQ(s.n, c.n);
        EXPECT_EQ(s.below, c.below);
        EXPECT_EQ(s.above, c.above);
        ExpectNear(s.mean, c.mean, "mean");
        ExpectNear(s.sd, c.sd, "sd");
        ExpectNear(s.min, c.min, "min");
        ExpectNear(s.max, c.max, "max");
        ExpectNear(s.capability.cp, c.cp, "Cp");
        ExpectNear(s.capability.cpk, c.cpk, "Cpk");
        ExpectNear(s.capability.pp, c.pp, "Pp");
        ExpectNear(s.capability.ppk, c.ppk, "Ppk");
        EXPECT_NEAR(s.histogram.width, c.width, 1e-9);
        EXPECT_EQ(s.histogram.counts, c.bins);
        if (!c.cpk) {
            EXPECT_EQ(FormatNumber(s.capability.cpk, 2), QStringLiteral("\u2014"));
        }
        if (c.n) ExpectNear(s.shareBelow(), double(c.below) / c.n, "share below");
    }
}

namespace {

struct Unit {
    const char* serial;
    const char* start; // UTC
    const char* end;   // okay, FEHLER, aborted; empty: not finished
    int step;          // the step that measured
    const char* routine;
    const char* item;
    double value;
    Opt low, high;
};

void Store(SqlHistoryStore& s, const Unit& u)
{
    RunStart r;
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.serial = QLatin1String(u.serial);
    r.sensorType = QStringLiteral("5028143");
    r.label = QStringLiteral("Ampl");
    r.started = QDateTime::fromString(QLatin1String(u.start) + QLatin1Char('Z'), Qt::ISODate);
    ASSERT_TRUE(s.BeginRun(r)) << s.lastError().toStdString();
    const bool pass = (!u.low || u.value >= *u.low) && (!u.high || u.value <= *u.high);
    StepAttempt a{r.uuid, u.step, 1, QLatin1String(u.routine), {}, pass, r.started, 10, {}};
    a.measurements = {
        {QLatin1String(u.item), QString::number(u.value), u.value, QString(), u.low, u.high, pass}};
    ASSERT_TRUE(s.AddStepAttempt(a)) << s.lastError().toStdString();
    if (!*u.end) return;
    const bool aborted = QLatin1String(u.end) == QLatin1String("aborted");
    ASSERT_TRUE(s.EndRun({r.uuid, aborted ? RunState::Aborted : RunState::Done,
                          aborted ? QStringLiteral("FEHLER") : QLatin1String(u.end), QString(),
                          r.started.addSecs(30)}));
}

} // namespace

TEST(Statistics, OverTheStoredRuns)
{
    QTemporaryDir dir;
    QString why;
    auto s = SqlHistoryStore::Open(QStringLiteral("sqlite:h.db"), dir.path(), QStringLiteral("S1"),
                                   QStringLiteral("host"), SqlHistoryStore::Schema::Latest, &why);
    ASSERT_TRUE(s) << why.toStdString();
    const Unit units[] = {
        {"0001", "2026-03-01T08:00:00", "okay", 3, "GetAmplMeas", "Ampl 1", 402, 350, 450},
        {"0002", "2026-03-01T08:10:00", "FEHLER", 3, "GetAmplMeas", "Ampl 1", 460, 350, 450},
        {"0003", "2026-03-01T08:20:00", "FEHLER", 5, "CheckCurrent", "Strom", 12, 0, 10},
        {"0002", "2026-03-01T08:30:00", "okay", 3, "GetAmplMeas", "Ampl 1", 420, 350, 450}, // retest
        {"0004", "2026-03-01T08:40:00", "aborted", 3, "GetAmplMeas", "Ampl 1", 500, 350, 450},
        {"0005", "2026-03-01T08:50:00", "FEHLER", 3, "GetAmplMeas", "Ampl 1", 470, 350, 450},
        {"0006", "2026-03-01T09:00:00", "", 3, "GetAmplMeas", "Ampl 1", 480, 350, 460}, // not finished
    };
    for (const Unit& u : units)
        Store(*s, u);
    HistoryStatistics stats(*s);

    // Failures of finished runs only: 0002's and 0005's amplitude, 0003's current.
    const std::vector<ParetoRow> steps = stats.FailingSteps(Filter{});
    ASSERT_EQ(steps.size(), 2u) << stats.lastError().toStdString();
    EXPECT_EQ(steps[0].name, QStringLiteral("3 GetAmplMeas"));
    EXPECT_EQ(steps[0].count, 2);
    EXPECT_DOUBLE_EQ(steps[0].share, 2.0 / 3);
    EXPECT_EQ(steps[1].name, QStringLiteral("5 CheckCurrent"));
    EXPECT_DOUBLE_EQ(steps[1].cumulative, 1.0);
    const std::vector<ParetoRow> items = stats.FailingItems(Filter{});
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].name, QStringLiteral("Strom"));
    // Behind a bar: the runs that failed there, oldest first, the aborted one not among them.
    for (const ParetoRow& bar : {steps[0], items[0]}) {
        const std::vector<RunRow> behind = stats.FailingRuns(Filter{}, bar);
        ASSERT_EQ(behind.size(), 2u) << bar.name.toStdString();
        EXPECT_EQ(behind[0].start.serial, QStringLiteral("0002"));
        EXPECT_EQ(behind[1].start.serial, QStringLiteral("0005"));
    }
    EXPECT_EQ(stats.FailingRuns(Filter{}, items[1]).size(), 1u);

    // Unfinished and aborted runs never count, whether the filter is empty, keeps a part or
    // asks for first passes.
    struct Expect {
        bool firstPass;
        const char* verdict;
        std::vector<double> values; // Ampl 1 in unit order
        int above;
        size_t items;
    };
    for (const Expect& e :
         {Expect{false, "", {402, 460, 420, 470}, 2, 2}, Expect{true, "", {402, 460, 470}, 2, 2},
          Expect{false, "okay", {402, 420}, 0, 1}}) {
        SCOPED_TRACE(e.firstPass);
        SCOPED_TRACE(e.verdict);
        Filter f;
        f.firstPassOnly = e.firstPass;
        f.verdict = QLatin1String(e.verdict);
        const std::vector<ItemStats> all = stats.Items(f);
        ASSERT_EQ(all.size(), e.items) << stats.lastError().toStdString();
        EXPECT_EQ(stats.ItemNames(f).size(), qsizetype(e.items));
        const ItemStats ampl = stats.Item(f, QStringLiteral("Ampl 1"));
        EXPECT_EQ(ampl.values, e.values);
        // The latest two as the page lists them, and the largest value's bin.
        const std::vector<ListedValue> latest = stats.Latest(f, ampl.item, ampl.histogram, -1, 2);
        ASSERT_EQ(latest.size(), 2u);
        EXPECT_EQ(latest[1].number, e.values.back());
        EXPECT_EQ(latest[1].serial, QLatin1String(e.values.back() == 420 ? "0002" : "0005"));
        const int top = ampl.histogram.BinOf(*ampl.max);
        const std::vector<ListedValue> inTop = stats.Latest(f, ampl.item, ampl.histogram, top, 10);
        EXPECT_EQ(int(inTop.size()), ampl.histogram.counts[size_t(top)]);
        EXPECT_EQ(inTop.back().number, *ampl.max);
        for (const ItemStats& a : {all[0], ampl}) {
            EXPECT_EQ(a.item, QStringLiteral("Ampl 1"));
            EXPECT_EQ(a.n, int(e.values.size()));
            EXPECT_EQ(a.above, e.above);
            EXPECT_EQ(a.high, Opt(450)); // not the unfinished run's
        }
        if (e.items > 1) {
            EXPECT_EQ(all[1].n, 1);
            EXPECT_FALSE(all[1].capability.ppk);
        }
    }
    // A filter that finds nothing: no rows, no error, nothing divided by zero.
    Filter none;
    none.label = QStringLiteral("Kabel");
    EXPECT_TRUE(stats.Items(none).empty());
    EXPECT_TRUE(stats.FailingSteps(none).empty());
    EXPECT_TRUE(stats.ItemNames(none).isEmpty());
    EXPECT_EQ(stats.Item(none, QStringLiteral("Strom")).n, 0);
    EXPECT_EQ(stats.Item(Filter{}, QStringLiteral("Strom")).n, 1);
    EXPECT_TRUE(stats.lastError().isEmpty()) << stats.lastError().toStdString();
}

// The same numbers from an independent computation: a test-only script reads the database with
// Python's statistics module (moving ranges, inclusive quartiles included). Items with both
// limits, with an upper limit only and with no spread at all; a filter that finds nothing. The
// figures of every item and of each one asked for by name, on SQLite and on a private
// PostgreSQL server holding the same runs, some of them aborted and one still running.
TEST(Statistics, AgreeWithPythonsStatisticsModule)
{
    QTemporaryDir dir;
    QString why;
    auto s = SqlHistoryStore::Open(QStringLiteral("sqlite:h.db"), dir.path(), QStringLiteral("S1"),
                                   QStringLiteral("host"), SqlHistoryStore::Schema::Latest, &why);
    ASSERT_TRUE(s) << why.toStdString();
    PgServer pg;
    std::unique_ptr<SqlHistoryStore> server;
    if (pg.skipReason().isEmpty()) {
        ASSERT_TRUE(pg.Psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE line")))
            << pg.error().toStdString();
        server = SqlHistoryStore::Open(pg.Url(QStringLiteral("line")), QString(), QStringLiteral("S1"),
                                       QStringLiteral("host"), SqlHistoryStore::Schema::Latest, &why);
        ASSERT_TRUE(server) << why.toStdString();
    } else if (qEnvironmentVariableIsSet("VMX_REQUIRE_POSTGRES")) {
        FAIL() << pg.skipReason().toStdString();
    }
    unsigned seed = 12345;
    auto next = [&seed](int spread) { return int((seed = seed * 1103515245u + 12345u) >> 16) % spread; };
    for (int u = 0; u < 60; ++u) {
        const QByteArray
            number = QByteArray::number(1000 + u),
            when = QDateTime(QDate(2026, 3, 1), QTime(8, 0)).addSecs(60 * u).toString(Qt::ISODate).toLatin1();
        const char *serial = number.constData(), *start = when.constData(),
                   *end = u == 59       ? "" // still running
                          : u % 11 == 5 ? "aborted"
                          : u % 7       ? "okay"
                                        : "FEHLER";
        const Unit runs[] = {
            {serial, start, end, 3, "GetAmplMeas", "Ampl 1", 400.0 + next(41) - 20, 385, 445},
            {serial, start, end, 5, "CheckCurrent", "Strom", 5.0 + next(8), {}, 10},
            {serial, start, end, 7, "ReadFirmware", "FW 1", 143, 100, 200}};
        for (const Unit& run : runs) {
            Store(*s, run);
            if (server) Store(*server, run);
        }
    }
    auto python = [&](const QStringList& extra) {
        QProcess p;
        p.start(QStringLiteral("python3"),
                QStringList{QStringLiteral(VMX_STATS_CHECK), dir.filePath(QStringLiteral("h.db"))} + extra);
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    };
    const QJsonObject want = python({});
    Filter none;
    none.label = QStringLiteral("Kabel");
    EXPECT_TRUE(python({none.label}).isEmpty());
    for (SqlHistoryStore* store : {s.get(), server.get()}) {
        if (!store) continue;
        SCOPED_TRACE(store->isServer() ? "PostgreSQL" : "SQLite");
        HistoryStatistics stats(*store);
        // Every item at once (without their values), and each item by name (with them).
        const std::vector<ItemStats> all = stats.Items(Filter{});
        ASSERT_EQ(int(all.size()), want.size()) << stats.lastError().toStdString();
        std::vector<ItemStats> both = all;
        for (const ItemStats& i : all)
            both.push_back(stats.Item(Filter{}, i.item));
        for (const ItemStats& g : both) {
            SCOPED_TRACE(g.item.toStdString() + (g.values.empty() ? " of all" : " by name"));
            const QJsonObject w = want[g.item].toObject();
            auto same = [&](const char* key, const Opt& v) {
                const QJsonValue x = w[QLatin1String(key)];
                ExpectNear(v, x.isNull() ? Opt() : Opt(x.toDouble()), key);
            };
            EXPECT_EQ(g.n, w[QStringLiteral("n")].toInt());
            EXPECT_EQ(g.below, w[QStringLiteral("below")].toInt());
            EXPECT_EQ(g.above, w[QStringLiteral("above")].toInt());
            same("mean", g.mean);
            same("sd", g.sd);
            same("min", g.min);
            same("max", g.max);
            same("sigmaWithin", g.capability.sigmaWithin);
            same("cp", g.capability.cp);
            same("cpk", g.capability.cpk);
            same("pp", g.capability.pp);
            same("ppk", g.capability.ppk);
            if (!g.values.empty() && !w[QStringLiteral("width")].isNull()) {
                EXPECT_NEAR(g.histogram.width, w[QStringLiteral("width")].toDouble(), 1e-9);
            }
            // Each bin's values as the page lists them, by the database's arithmetic: as many
            // as the histogram counts.
            for (int b = 0; !g.values.empty() && b < int(g.histogram.counts.size()); ++b)
                EXPECT_EQ(int(stats.Latest(Filter{}, g.item, g.histogram, b, 1000).size()),
                          g.histogram.counts[size_t(b)])
                    << "bin " << b;
        }
        // By name: "Ampl 1" with both limits, "FW 1" without spread, "Strom" with its upper limit only.
        const std::vector<ItemStats>& got = all;
        EXPECT_TRUE(got[0].capability.cp && got[0].capability.cpk && got[0].below > 0);
        EXPECT_FALSE(got[1].capability.cp || got[1].capability.cpk || got[1].capability.ppk);
        EXPECT_TRUE(got[2].capability.cpk && got[2].capability.ppk && !got[2].capability.cp);
        EXPECT_TRUE(stats.Items(none).empty());
        EXPECT_TRUE(stats.ItemNames(none).isEmpty());
        QStringList names;
        for (const ItemStats& i : all)
            names << i.item;
        EXPECT_EQ(stats.ItemNames(Filter{}), names);
        // A failed measurement is one outside its limits: the Pareto counts what Python counts.
        for (const ParetoRow& p : stats.FailingItems(Filter{})) {
            const QJsonObject w = want[p.routine].toObject();
            EXPECT_EQ(p.count, w[QStringLiteral("below")].toInt() + w[QStringLiteral("above")].toInt())
                << p.name.toStdString();
        }
        EXPECT_TRUE(stats.lastError().isEmpty()) << stats.lastError().toStdString();
    }
    // A station's role allowed one connection reads the same values through it alone.
    if (server) {
        ASSERT_TRUE(pg.StationRole(QStringLiteral("line")) &&
                    pg.Psql(QStringLiteral("line"), QStringLiteral("ALTER ROLE station CONNECTION LIMIT 1")))
            << pg.error().toStdString();
        auto station = SqlHistoryStore::Open(pg.Url(QStringLiteral("line"), QStringLiteral("station")),
                                             QString(), QStringLiteral("S1"), QStringLiteral("host"),
                                             SqlHistoryStore::Schema::AsIs, &why);
        ASSERT_TRUE(station) << why.toStdString();
        HistoryStatistics own(*server), alone(*station);
        const ItemStats ampl = alone.Item(Filter{}, QStringLiteral("Ampl 1"));
        EXPECT_TRUE(alone.lastError().isEmpty()) << alone.lastError().toStdString();
        EXPECT_EQ(ampl.values.size(),
                  size_t(want[QStringLiteral("Ampl 1")].toObject()[QStringLiteral("n")].toInt()));
        EXPECT_EQ(ampl.values, own.Item(Filter{}, QStringLiteral("Ampl 1")).values);
    }
}

namespace {

// A server's binary copy of rows of three doubles, NULL where a row has no value.
std::string CopyStream(const std::vector<std::array<Opt, 3>>& rows, const std::string& extension = {})
{
    std::string s("PGCOPY\n\377\r\n\0", 11);
    auto int32 = [&s](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            s += char(v >> shift);
    };
    int32(0);
    int32(uint32_t(extension.size()));
    s += extension;
    for (const auto& row : rows) {
        s += '\0';
        s += '\3';
        for (const Opt& v : row) {
            if (!v) {
                int32(0xffffffffu);
                continue;
            }
            int32(8);
            uint64_t bits;
            std::memcpy(&bits, &*v, 8);
            int32(uint32_t(bits >> 32));
            int32(uint32_t(bits));
        }
    }
    return s + "\xff\xff";
}

} // namespace

// The rows come whole however the stream is cut into pieces; a stream cut short never ends, and
// one that is not such rows is refused rather than read as numbers.
TEST(BinaryCopy, RowsInAnyPiecesAndBrokenStreams)
{
    const std::vector<std::array<Opt, 3>> rows = {
        {400.0, 350.0, 450.0}, {-1.5e300, std::nullopt, 2.0}, {0.0, std::nullopt, std::nullopt}};
    const std::string good = CopyStream(rows, "ext");
    for (size_t piece : {size_t(1), size_t(2), size_t(5), size_t(13), good.size()}) {
        SCOPED_TRACE(piece);
        BinaryCopyRows copy;
        std::vector<std::array<Opt, 3>> got;
        for (size_t at = 0; at < good.size(); at += piece)
            ASSERT_TRUE(
                copy.Feed(good.data() + at, std::min(piece, good.size() - at), [&](double x, Opt a, Opt b) {
                    got.push_back({x, a, b});
                }));
        EXPECT_TRUE(copy.ended());
        EXPECT_EQ(got, rows);
    }
    auto patched = [&good](size_t at, const std::string& bytes) {
        return good.substr(0, at) + bytes + good.substr(at + bytes.size());
    };
    const size_t firstRow = 19 + 3;
    const struct {
        const char* what;
        std::string stream;
        bool refused;
    } broken[] = {
        {"cut in the last row", good.substr(0, good.size() - 5), false},
        {"no end", good.substr(0, good.size() - 2), false},
        {"not a copy", "COPY 3\n" + good, true},
        {"two fields", patched(firstRow, std::string("\0\2", 2)), true},
        {"a four-byte field", patched(firstRow + 2, std::string("\0\0\0\4", 4)), true},
        {"no number", CopyStream({{std::nullopt, 1.0, 2.0}}), true},
        {"more after the end", good + "x", true},
    };
    for (const auto& b : broken) {
        SCOPED_TRACE(b.what);
        BinaryCopyRows copy;
        EXPECT_EQ(copy.Feed(b.stream.data(), b.stream.size(), [](double, Opt, Opt) {}), !b.refused);
        EXPECT_FALSE(copy.ended());
    }
}
