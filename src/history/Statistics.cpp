#include "history/Statistics.h"

#include "history/BinaryCopy.h"
#include "history/SqlHistoryStore.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

#if defined(VMX_SQLITE_HANDLE) || defined(VMX_LIBPQ_HANDLE)
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>
#endif
#ifdef VMX_SQLITE_HANDLE
#include <sqlite3.h>

#include <string_view>
#include <unordered_set>
#endif
#ifdef VMX_LIBPQ_HANDLE
#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <vector>
#endif

namespace vmx::history {

QString UndefinedText()
{
    return QStringLiteral("\u2014");
}

QString FormatNumber(const std::optional<double>& v, int decimals)
{
    return v && std::isfinite(*v) ? QString::number(*v, 'f', decimals) : UndefinedText();
}

std::optional<double> QuantileInclusive(const std::vector<double>& sorted, double p)
{
    if (sorted.empty()) return std::nullopt;
    const double at = p * double(sorted.size() - 1);
    const size_t i = size_t(std::floor(at));
    if (i + 1 >= sorted.size()) return sorted.back();
    return sorted[i] + (at - double(i)) * (sorted[i + 1] - sorted[i]);
}

int Histogram::BinOf(double x) const
{
    if (counts.empty() || x < start) return -1;
    if (width <= 0.0) return x == start ? 0 : -1;
    const double end = start + width * double(counts.size());
    if (x > end) return -1;
    return std::min(int(counts.size()) - 1, int(std::floor((x - start) / width)));
}

namespace {

// Bins of the Freedman–Diaconis width over values in any order, whose extremes and inclusive
// quartiles are known.
Histogram Bins(const std::vector<double>& values, double min, double max, double q1, double q3)
{
    Histogram h;
    if (values.empty()) return h;
    h.start = min;
    const double range = max - min;
    const double iqr = q3 - q1;
    int bins = 1;
    if (range > 0.0 && iqr > 0.0) {
        h.width = 2.0 * iqr / std::cbrt(double(values.size()));
        bins = std::max(1, int(std::ceil(range / h.width)));
        if (bins > kMaxBins) {
            bins = kMaxBins;
            h.width = range / bins;
        }
    } else {
        // All in one bin: as wide as the values reach (0 when they are all equal).
        h.width = range;
    }
    h.counts.assign(size_t(bins), 0);
    for (double x : values)
        ++h.counts[size_t(std::max(0, h.BinOf(x)))];
    return h;
}

// The inclusive p-quantile of values in any order, which it reorders: two order statistics
// found in linear time (an item can have a million values).
double QuantileOf(std::vector<double>& v, double p)
{
    const double at = p * double(v.size() - 1);
    const size_t i = size_t(std::floor(at));
    std::nth_element(v.begin(), v.begin() + long(i), v.end());
    if (i + 1 >= v.size()) return v[i];
    const double next = *std::min_element(v.begin() + long(i) + 1, v.end());
    return v[i] + (at - double(i)) * (next - v[i]);
}

} // namespace

Histogram FreedmanDiaconis(const std::vector<double>& sorted)
{
    if (sorted.empty()) return Histogram{};
    return Bins(sorted, sorted.front(), sorted.back(), *QuantileInclusive(sorted, 0.25),
                *QuantileInclusive(sorted, 0.75));
}

namespace {

// Both limits: the smaller distance; one: its own; none: undefined. Over 3σ, σ > 0.
std::optional<double> Cpk(double mean, double sigma, std::optional<double> low, std::optional<double> high)
{
    std::optional<double> k;
    if (high) k = (*high - mean) / (3.0 * sigma);
    if (low) k = std::min(k.value_or(INFINITY), (mean - *low) / (3.0 * sigma));
    return k;
}

std::optional<double> Cp(double sigma, std::optional<double> low, std::optional<double> high)
{
    if (!low || !high) return std::nullopt;
    return (*high - *low) / (6.0 * sigma);
}

double Mean(const std::vector<double>& v)
{
    double sum = 0.0;
    for (double x : v)
        sum += x;
    return sum / double(v.size());
}

} // namespace

Capability CapabilityOf(int n, double mean, std::optional<double> sd, double movingRanges,
                        std::optional<double> low, std::optional<double> high)
{
    Capability c;
    if (n < 2) return c;
    const double within = movingRanges / double(n - 1) / kD2;
    c.sigmaWithin = within > 0.0 ? within : 0.0;
    if (within > 0.0) {
        c.cp = Cp(within, low, high);
        c.cpk = Cpk(mean, within, low, high);
    }
    if (sd && *sd > 0.0) {
        c.pp = Cp(*sd, low, high);
        c.ppk = Cpk(mean, *sd, low, high);
    }
    return c;
}

Capability CapabilityOf(const std::vector<double>& v, std::optional<double> low, std::optional<double> high)
{
    if (v.size() < 2) return Capability{};
    const double mean = Mean(v);
    double ranges = 0.0, squares = 0.0;
    for (size_t i = 1; i < v.size(); ++i)
        ranges += std::fabs(v[i] - v[i - 1]);
    for (double x : v)
        squares += (x - mean) * (x - mean);
    return CapabilityOf(int(v.size()), mean, std::sqrt(squares / double(v.size() - 1)), ranges, low, high);
}

namespace {

// The figures of s.values (in unit order), whose counts outside the limits and whose latest
// limits are already in s.
void Summarize(ItemStats& s)
{
    s.n = int(s.values.size());
    if (s.n == 0) return;
    const auto [min, max] = std::minmax_element(s.values.begin(), s.values.end());
    s.min = *min;
    s.max = *max;
    s.mean = Mean(s.values);
    if (s.n >= 2) {
        double squares = 0.0;
        for (double x : s.values)
            squares += (x - *s.mean) * (x - *s.mean);
        s.sd = std::sqrt(squares / double(s.n - 1));
    }
    std::vector<double> scratch = s.values;
    const double q1 = QuantileOf(scratch, 0.25), q3 = QuantileOf(scratch, 0.75);
    s.histogram = Bins(s.values, *s.min, *s.max, q1, q3);
    s.capability = CapabilityOf(s.values, s.low, s.high);
}

} // namespace

ItemStats Describe(const QString& item, const QString& unit, const std::vector<ItemValue>& inUnitOrder)
{
    ItemStats s;
    s.item = item;
    s.unit = unit;
    s.values.reserve(inUnitOrder.size());
    for (const ItemValue& v : inUnitOrder) {
        s.values.push_back(v.number);
        s.below += v.low && v.number < *v.low;
        s.above += v.high && v.number > *v.high;
    }
    if (!inUnitOrder.empty()) {
        s.low = inUnitOrder.back().low;
        s.high = inUnitOrder.back().high;
    }
    Summarize(s);
    return s;
}

namespace {

bool Exec(QSqlQuery& q, const QVariantList& values)
{
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

// The filter's conditions with the run finished (aborted and unfinished runs do not count).
QString DoneWhere(const Filter& filter, QVariantList& values)
{
    QString where = Where(filter, values);
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    return where + QStringLiteral("e.state = 'done'");
}

// The finished runs' measurements of the filter: the run's end carries what the filter reads
// and the measurement its run's start, so the run itself is joined only for the first pass,
// whose order among runs started in the same millisecond is the run's UUID.
QString JoinedValues(const Filter& filter, QVariantList& values)
{
    const bool endOnly = !filter.firstPassOnly;
    QString where = Where(filter, values, endOnly);
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    return QStringLiteral(" FROM measurement m JOIN run_end e ON e.run_uuid = m.run_uuid") +
           (endOnly ? QString() : QStringLiteral(" JOIN run r ON r.uuid = m.run_uuid")) + where +
           QStringLiteral("e.state = 'done' AND m.number IS NOT NULL");
}

bool Unfiltered(const Filter& f)
{
    return !f.since && !f.until && f.label.isEmpty() && f.station.isEmpty() && f.batch.isEmpty() &&
           f.verdict.isEmpty() && f.serial.isEmpty() && !f.firstPassOnly;
}

// The runs whose values no statistics count: still running, or ended other than "done". A
// handful among a million, each in a small index of its own; SQLite without statistics of its
// tables would rather scan the ends' larger index that also holds the state.
QString LeftOut(bool server)
{
    return QStringLiteral(
               "SELECT run_uuid FROM run_open UNION ALL SELECT run_uuid FROM run_end%1 WHERE state "
               "<> 'done'")
        .arg(server ? QString() : QStringLiteral(" INDEXED BY run_end_left_out"));
}

// The same values for all of an item's values. Looking up each value's run end costs many times
// the item's whole index: with no filter every value is kept but those of the runs left out.
// With a filter, SQLite keeps every value but those of the runs that are not the filter's,
// found by merging the runs' and the ends' keys in order; PostgreSQL hashes the ends itself.
QString DoneValues(const Filter& filter, QVariantList& values, bool server)
{
    if (Unfiltered(filter))
        return QStringLiteral(" FROM measurement m WHERE m.run_uuid NOT IN (%1) AND m.number IS NOT NULL")
            .arg(LeftOut(server));
    if (server || filter.firstPassOnly) return JoinedValues(filter, values);
    QString where = Where(filter, values, true);
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    return QStringLiteral(" FROM measurement m WHERE m.run_uuid NOT IN (SELECT uuid FROM run EXCEPT SELECT "
                          "e.run_uuid FROM run_end e") +
           where + QStringLiteral("e.state = 'done' ORDER BY 1) AND m.number IS NOT NULL");
}

} // namespace

std::vector<YieldRow> HistoryStatistics::Yield(GroupBy by, const Filter& filter)
{
    std::vector<YieldRow> rows = store_.Yield(by, filter);
    error_ = store_.lastError();
    return rows;
}

std::vector<ParetoRow> HistoryStatistics::Pareto(const QString& select, const Filter& filter)
{
    error_.clear();
    std::vector<ParetoRow> rows;
    QVariantList values;
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(select.arg(DoneWhere(filter, values)));
    if (!Exec(q, values)) {
        error_ = q.lastError().text();
        return rows;
    }
    int total = 0;
    while (q.next()) {
        ParetoRow r;
        r.step = q.value(0).isNull() ? -1 : q.value(0).toInt();
        r.routine = q.value(1).toString();
        r.name = r.step < 0 ? r.routine : QStringLiteral("%1 %2").arg(r.step).arg(r.routine);
        r.count = q.value(2).toInt();
        total += r.count;
        rows.push_back(r);
    }
    // Most first; equal counts by name, so the order is the same every time.
    std::stable_sort(rows.begin(), rows.end(), [](const ParetoRow& a, const ParetoRow& b) {
        return a.count != b.count ? a.count > b.count : a.name < b.name;
    });
    int sum = 0;
    for (ParetoRow& r : rows) {
        sum += r.count;
        r.share = double(r.count) / total;
        r.cumulative = double(sum) / total;
    }
    return rows;
}

std::vector<ParetoRow> HistoryStatistics::FailingSteps(const Filter& filter)
{
    return Pareto(
        QStringLiteral("SELECT s.step, s.routine, COUNT(*) FROM step_attempt s JOIN run r ON "
                       "r.uuid = s.run_uuid JOIN run_end e ON e.run_uuid = r.uuid%1 AND s.outcome = "
                       "0 GROUP BY s.step, s.routine"),
        filter);
}

std::vector<ParetoRow> HistoryStatistics::FailingItems(const Filter& filter)
{
    return Pareto(
        QStringLiteral("SELECT NULL, m.item, COUNT(*) FROM measurement m JOIN run r ON r.uuid = m.run_uuid "
                       "JOIN run_end e ON e.run_uuid = r.uuid%1 AND m.outcome = 0 GROUP BY m.item"),
        filter);
}

std::vector<RunRow> HistoryStatistics::FailingRuns(const Filter& filter, const ParetoRow& row)
{
    error_.clear();
    std::vector<RunRow> runs;
    QVariantList values;
    QString where = DoneWhere(filter, values);
    // A run counts once however many of its attempts failed there.
    if (row.step >= 0) {
        where += QStringLiteral(" AND EXISTS (SELECT 1 FROM step_attempt s WHERE s.run_uuid = r.uuid AND "
                                "s.step = ? AND s.routine = ? AND s.outcome = 0)");
        values << row.step << row.routine;
    } else {
        where += QStringLiteral(" AND EXISTS (SELECT 1 FROM measurement m WHERE m.run_uuid = r.uuid AND "
                                "m.item = ? AND m.outcome = 0)");
        values << row.routine;
    }
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT r.uuid, r.serial, r.label, r.started_at, r.station, e.verdict FROM run r "
                       "JOIN run_end e ON e.run_uuid = r.uuid") +
        where + QStringLiteral(" ORDER BY r.started_at, r.uuid"));
    if (!Exec(q, values)) {
        error_ = q.lastError().text();
        return runs;
    }
    while (q.next()) {
        RunRow r;
        r.start.uuid = q.value(0).toString();
        r.start.serial = q.value(1).toString();
        r.start.label = q.value(2).toString();
        r.start.started = FromUtcStamp(q.value(3).toString());
        r.station = q.value(4).toString();
        r.state = RunState::Done;
        r.verdict = q.value(5).toString();
        runs.push_back(std::move(r));
    }
    return runs;
}

namespace {

// The finished runs' values of the filter, every attempt, in unit order: the order the runs
// started in, within a run the order it measured in.
const char* const kUnitOrder = "m.started_at, m.run_uuid, m.step, m.attempt, m.seq";

std::optional<double> Number(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
}

} // namespace

std::vector<ItemStats> HistoryStatistics::Items(const Filter& filter)
{
    std::vector<ItemStats> items;
    // An item's values read in unit order cost less than the database's window over them
    // (SQLite passes every row of a window through a temporary table), and they are needed for
    // the histogram's quartiles anyway.
    const QStringList names = ItemNames(filter);
    for (const QString& name : names) {
        if (!error_.isEmpty()) break;
        items.push_back(Item(filter, name));
        items.back().values.clear();
        items.back().values.shrink_to_fit();
    }
    if (!error_.isEmpty()) items.clear();
    return items;
}

QStringList HistoryStatistics::ItemNames(const Filter& filter)
{
    error_.clear();
    QStringList names;
    QVariantList values;
    // The distinct items one index step each (a handful among millions of values), each kept
    // when the filter finds one of its values: no pass over every measurement. The first value
    // is a scalar subquery with LIMIT, which PostgreSQL cannot turn into a join over all.
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("WITH RECURSIVE i (item) AS (SELECT MIN(item) FROM measurement UNION ALL SELECT "
                       "(SELECT MIN(item) FROM measurement WHERE item > i.item) FROM i WHERE i.item IS "
                       "NOT NULL) SELECT item FROM i WHERE item IS NOT NULL AND (SELECT 1 FROM "
                       "measurement m JOIN run r ON r.uuid = m.run_uuid JOIN run_end e ON e.run_uuid = "
                       "r.uuid%1 AND m.item = i.item AND m.number IS NOT NULL LIMIT 1) = 1 ORDER BY item")
            .arg(DoneWhere(filter, values)));
    if (!Exec(q, values)) {
        error_ = q.lastError().text();
        return names;
    }
    while (q.next())
        names << q.value(0).toString();
    return names;
}

namespace {

#if defined(VMX_SQLITE_HANDLE) || defined(VMX_LIBPQ_HANDLE)
// Whether the loaded driver plugin whose file name has `plugin` in it calls the same library as
// this program: a Qt built with its own copy of a client library hands out handles no other
// copy may touch.
bool DriverShares(const char* plugin, const char* symbol, const void* ours)
{
    struct Search {
        const char* name;
        std::string path;
    } search{plugin, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            auto* s = static_cast<Search*>(found);
            if (!info->dlpi_name || !std::strstr(info->dlpi_name, s->name)) return 0;
            s->path = info->dlpi_name;
            return 1;
        },
        &search);
    void* loaded = search.path.empty() ? nullptr : dlopen(search.path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!loaded) return false;
    // Looked up from the plugin: its own copy's symbol, or the library it links.
    const void* theirs = dlsym(loaded, symbol);
    dlclose(loaded);
    return theirs == ours;
}

// The driver's own handle of `type`, where the driver uses the same library: a million rows
// through QSqlQuery cost more than the database's scan of them.
template <class Handle> Handle DriverHandle(QSqlDatabase& db, const char* type)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), type) != 0) return nullptr;
    return *static_cast<const Handle*>(handle.data());
}
#endif

#ifdef VMX_SQLITE_HANDLE
sqlite3* LiteHandle(QSqlDatabase& db)
{
    static const bool same =
        DriverShares("libqsqlite", "sqlite3_libversion", reinterpret_cast<const void*>(&sqlite3_libversion));
    return same ? DriverHandle<sqlite3*>(db, "sqlite3*") : nullptr;
}

// A statement on that handle, its values bound as text (as the filters' are).
class LiteStatement {
public:
    LiteStatement(sqlite3* db, const QString& sql, const QVariantList& values) : db_(db)
    {
        rc_ = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st_, nullptr);
        for (int i = 0; i < values.size() && rc_ == SQLITE_OK; ++i) {
            const QByteArray text = values[i].toString().toUtf8();
            rc_ = sqlite3_bind_text(st_, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    ~LiteStatement() { sqlite3_finalize(st_); }
    LiteStatement(const LiteStatement&) = delete;
    LiteStatement& operator=(const LiteStatement&) = delete;

    // The next row; false at the end and on an error.
    bool Next()
    {
        if (rc_ != SQLITE_OK && rc_ != SQLITE_ROW) return false;
        rc_ = sqlite3_step(st_);
        return rc_ == SQLITE_ROW;
    }
    // After the last row: empty when all of them were read.
    QString error() const { return rc_ == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db_)); }
    double Double(int column) const { return sqlite3_column_double(st_, column); }
    std::optional<double> Maybe(int column) const
    {
        return sqlite3_column_type(st_, column) == SQLITE_NULL ? std::nullopt : std::optional(Double(column));
    }
    std::string_view Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st_, column));
        return text ? std::string_view(text, size_t(sqlite3_column_bytes(st_, column))) : std::string_view();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_OK;
};

// An item's values with no filter, every value kept but the left-out runs', which are held in
// the program: SQLite's own check of a million keys against a handful costs more than the scan.
// Both are read in one snapshot, so a run that starts between them is not taken for done.
template <class Add> QString LiteKeptValues(sqlite3* lite, const QString& item, Add add)
{
    QString why;
    auto exec = [&](const char* sql) {
        LiteStatement s(lite, QLatin1String(sql), {});
        s.Next();
        if (why.isEmpty()) why = s.error();
    };
    exec("SAVEPOINT item_values");
    if (why.isEmpty()) {
        std::unordered_set<std::string> leftOut;
        {
            LiteStatement lo(lite, LeftOut(false), {});
            while (lo.Next())
                leftOut.emplace(lo.Text(0));
            why = lo.error();
        }
        if (why.isEmpty()) {
            LiteStatement in(
                lite,
                QStringLiteral("SELECT m.number, m.low_limit, m.high_limit, m.run_uuid FROM "
                               "measurement m WHERE m.item = ? AND m.number IS NOT NULL ORDER BY %1")
                    .arg(QLatin1String(kUnitOrder)),
                {item});
            std::string run;
            while (in.Next()) {
                if (!leftOut.empty() && leftOut.count(run.assign(in.Text(3)))) continue;
                add(in.Double(0), in.Maybe(1), in.Maybe(2));
            }
            why = in.error();
        }
        exec("RELEASE item_values");
    }
    return why;
}
#endif

#ifdef VMX_LIBPQ_HANDLE
PGconn* PqHandle(QSqlDatabase& db)
{
    static const bool same =
        DriverShares("libqsqlpsql", "PQlibVersion", reinterpret_cast<const void*>(&PQlibVersion));
    if (!same) return nullptr;
    // The type's name is the struct's that libpq's PGconn stands for.
    PGconn* pq = DriverHandle<PGconn*>(db, "pg_conn*");
    if (!pq) pq = DriverHandle<PGconn*>(db, "PGconn*");
    // Within a transaction of the driver's the values are read through the driver.
    return pq && PQtransactionStatus(pq) == PQTRANS_IDLE ? pq : nullptr;
}

// One binary copy of an item's values as it arrives, read without waiting when others are
// read alongside; no connection: nothing to copy.
class CopyOut {
public:
    explicit CopyOut(PGconn* conn) : conn_(conn), done_(!conn) {}
    // Sends the copy and waits for the server to start it.
    bool Start(const QByteArray& sql)
    {
        if (!PQsendQuery(conn_, sql.constData())) {
            Fail(QString::fromUtf8(PQerrorMessage(conn_)));
            done_ = true;
            return false;
        }
        PGresult* result = PQgetResult(conn_);
        const bool copying = result && PQresultStatus(result) == PGRES_COPY_OUT;
        if (!copying) Fail(QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_)));
        PQclear(result);
        if (!copying) Finish();
        return copying;
    }
    // Takes the rows that have arrived (all of them, to the end, when `wait`). After a failure
    // the rest is read and dropped, so the connection is ready again.
    template <class Add> void Take(Add add, bool wait = false)
    {
        while (!done_) {
            char* piece = nullptr;
            const int size = PQgetCopyData(conn_, &piece, wait ? 0 : 1);
            if (size == 0) return;
            if (size < 0) {
                if (size == -2) Fail(QString::fromUtf8(PQerrorMessage(conn_)));
                Finish();
                return;
            }
            if (why_.isEmpty() && !rows_.Feed(piece, size_t(size), add))
                Fail(QStringLiteral("the server's copy of the values is not three numbers a row"));
            PQfreemem(piece);
        }
    }
    // Reads what the server has sent, for Take().
    void Read()
    {
        if (done_ || PQconsumeInput(conn_)) return;
        Fail(QString::fromUtf8(PQerrorMessage(conn_)));
        Finish();
    }
    bool done() const { return done_; }
    int socket() const { return PQsocket(conn_); }
    QString why() const { return why_; }

private:
    void Fail(const QString& why)
    {
        if (why_.isEmpty()) why_ = why.trimmed();
    }
    // The command's own result after the copy.
    void Finish()
    {
        done_ = true;
        while (PGresult* result = PQgetResult(conn_)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK)
                Fail(QString::fromUtf8(PQresultErrorMessage(result)));
            PQclear(result);
        }
        if (!rows_.ended()) Fail(QStringLiteral("the server's copy of the values ended early"));
    }

    PGconn* conn_;
    BinaryCopyRows rows_;
    bool done_;
    QString why_;
};

// Runs a statement: empty when it ran, else why not. The first row's first value in *value.
QString Run(PGconn* conn, const QByteArray& sql, QByteArray* value = nullptr)
{
    PGresult* result = PQexec(conn, sql.constData());
    const ExecStatusType status = PQresultStatus(result);
    QString why;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        why = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn)).trimmed();
    else if (value)
        *value = PQntuples(result) && !PQgetisnull(result, 0, 0) ? QByteArray(PQgetvalue(result, 0, 0))
                                                                 : QByteArray();
    PQclear(result);
    return why;
}

// A second connection to the same server and database as `first` (libpq finds a password
// itself, as for the first), in the snapshot `first` exported; nullptr when there is none.
PGconn* SecondConnection(PGconn* first, const QByteArray& snapshot)
{
    PQconninfoOption* options = PQconninfo(first);
    if (!options) return nullptr;
    std::vector<const char*> keys, values;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && *o->val) {
            keys.push_back(o->keyword);
            values.push_back(o->val);
        }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* second = PQconnectdbParams(keys.data(), values.data(), 0);
    PQconninfoFree(options);
    // The item's name is sent as the driver's connection sends text.
    if (PQstatus(second) == CONNECTION_OK &&
        PQsetClientEncoding(second, PQparameterStatus(first, "client_encoding")) == 0 &&
        Run(second, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY").isEmpty() &&
        Run(second, "SET TRANSACTION SNAPSHOT '" + snapshot + "'").isEmpty())
        return second;
    PQfinish(second);
    return nullptr;
}

// An item's values with no filter on a line's server, as binary copies through libpq: a million
// rows of text through QSqlQuery cost more than the server's scan. The item's span of starts is
// cut at its middle, and each half is copied by a server process of its own (the driver's
// connection and a second one, in one snapshot), which nearly halves the wait; the later half
// is held until the earlier one is in. Without a second connection the driver's copies it all.
template <class Add> QString CopiedValues(PGconn* pq, const QString& item, Add add)
{
    const QByteArray name = item.toUtf8();
    char* escaped = PQescapeLiteral(pq, name.constData(), size_t(name.size()));
    if (!escaped) return QString::fromUtf8(PQerrorMessage(pq)).trimmed();
    const QByteArray literal(escaped);
    PQfreemem(escaped);
    auto copy = [&](const QByteArray& range) {
        return "COPY (SELECT m.number, m.low_limit, m.high_limit FROM measurement m WHERE m.item = " +
               literal + range + " AND m.number IS NOT NULL AND m.run_uuid NOT IN (" +
               LeftOut(true).toUtf8() + ") ORDER BY " + kUnitOrder + ") TO STDOUT (FORMAT binary)";
    };
    const char* const begin = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
    QString why = Run(pq, begin);
    if (!why.isEmpty()) return why;
    QByteArray snapshot, middle;
    if (!Run(pq, "SELECT pg_export_snapshot()", &snapshot).isEmpty()) {
        // A server that exports no snapshot (a standby) copies it all through one connection.
        snapshot.clear();
        Run(pq, "ROLLBACK");
        if (!(why = Run(pq, begin)).isEmpty()) return why;
    } else {
        why = Run(pq,
                  "SELECT to_char(MIN(started_at) + (MAX(started_at) - MIN(started_at)) / 2, "
                  "'YYYY-MM-DD HH24:MI:SS.US') FROM measurement WHERE item = " +
                      literal + " AND number IS NOT NULL",
                  &middle);
    }
    PGconn* second = why.isEmpty() && !middle.isEmpty() ? SecondConnection(pq, snapshot) : nullptr;
    std::vector<ItemValue> later;
    auto hold = [&later](double x, std::optional<double> low, std::optional<double> high) {
        later.push_back({x, low, high});
    };
    if (why.isEmpty()) {
        CopyOut early(pq), late(nullptr);
        if (!early.Start(copy(second ? " AND m.started_at < TIMESTAMP '" + middle + "'" : QByteArray()))) {
            why = early.why();
        } else if (second) {
            late = CopyOut(second);
            late.Start(copy(" AND m.started_at >= TIMESTAMP '" + middle + "'"));
        }
        // Both are read as they arrive: a server process whose rows wait unread stops.
        while (!early.done() || !late.done()) {
            early.Take(add);
            late.Take(hold);
            pollfd waiting[2];
            nfds_t n = 0;
            for (const CopyOut* half : {&early, &late})
                if (!half->done()) waiting[n++] = {half->socket(), POLLIN, 0};
            if (n && poll(waiting, n, -1) < 0 && errno != EINTR) {
                early.Take(add, true);
                late.Take(hold, true);
            }
            early.Read();
            late.Read();
        }
        if (why.isEmpty()) why = !early.why().isEmpty() ? early.why() : late.why();
    }
    if (why.isEmpty())
        for (const ItemValue& v : later)
            add(v.number, v.low, v.high);
    PQfinish(second);
    const QString ended = Run(pq, why.isEmpty() ? "COMMIT" : "ROLLBACK");
    return why.isEmpty() ? ended : why;
}
#endif

} // namespace

ItemStats HistoryStatistics::Item(const Filter& filter, const QString& item)
{
    error_.clear();
    ItemStats s;
    s.item = item;
    // Each value against its own run's limits; the latest run's limits are the item's.
    auto add = [&s](double x, std::optional<double> low, std::optional<double> high) {
        s.values.push_back(x);
        s.below += low && x < *low;
        s.above += high && x > *high;
        s.low = low;
        s.high = high;
    };
    auto failed = [&](const QString& why) {
        error_ = why;
        ItemStats none;
        none.item = item;
        return none;
    };
    QVariantList values;
    const bool server = store_.isServer();
    const QString from = DoneValues(filter, values, server) + QStringLiteral(" AND m.item = ?");
    values << item;
    const QString sql = QStringLiteral("SELECT m.number, m.low_limit, m.high_limit%1 ORDER BY %2")
                            .arg(from, QLatin1String(kUnitOrder));
    bool read = false;
#ifdef VMX_SQLITE_HANDLE
    if (sqlite3* lite = server ? nullptr : LiteHandle(store_.database())) {
        read = true;
        if (Unfiltered(filter)) {
            const QString why = LiteKeptValues(lite, item, add);
            if (!why.isEmpty()) return failed(why);
        } else {
            LiteStatement in(lite, sql, values);
            while (in.Next())
                add(in.Double(0), in.Maybe(1), in.Maybe(2));
            if (!in.error().isEmpty()) return failed(in.error());
        }
    }
#endif
#ifdef VMX_LIBPQ_HANDLE
    if (PGconn* pq = server && Unfiltered(filter) ? PqHandle(store_.database()) : nullptr) {
        read = true;
        const QString why = CopiedValues(pq, item, add);
        if (!why.isEmpty()) return failed(why);
    }
#endif
    if (!read) {
        QSqlQuery q(store_.database());
        q.setForwardOnly(true);
        q.prepare(sql);
        if (!Exec(q, values)) return failed(q.lastError().text());
        while (q.next())
            add(q.value(0).toDouble(), Number(q.value(1)), Number(q.value(2)));
    }
    if (s.values.empty()) return s;
    // The latest value's unit is the item's: found from the end of the order, one run's end
    // looked up.
    values.clear();
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT m.unit%1 AND m.item = ? ORDER BY m.started_at DESC, m.run_uuid DESC, "
                             "m.step DESC, m.attempt DESC, m.seq DESC LIMIT 1")
                  .arg(JoinedValues(filter, values)));
    values << item;
    if (!Exec(q, values) || !q.next())
        return failed(q.lastError().text().isEmpty()
                          ? QStringLiteral("%1: the latest value is gone").arg(item)
                          : q.lastError().text());
    s.unit = q.value(0).toString();
    Summarize(s);
    return s;
}

std::vector<ListedValue> HistoryStatistics::Latest(const Filter& filter, const QString& item,
                                                   const Histogram& bins, int bin, int limit)
{
    error_.clear();
    std::vector<ListedValue> listed;
    QVariantList values;
    QString where = JoinedValues(filter, values) + QStringLiteral(" AND m.item = ?");
    values << item;
    // A bin's values by the arithmetic of Histogram::BinOf: floor((x − start) / width) = bin,
    // the last bin taking the rest.
    if (bin >= 0 && bins.width <= 0.0) {
        where += QStringLiteral(" AND m.number = ?");
        values << bins.start;
    } else if (bin >= 0) {
        where += QStringLiteral(" AND (m.number - ?) / ? >= ?");
        values << bins.start << bins.width << double(bin);
        if (bin + 1 < int(bins.counts.size())) {
            where += QStringLiteral(" AND (m.number - ?) / ? < ?");
            values << bins.start << bins.width << double(bin + 1);
        }
    }
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT m.number, m.run_uuid, e.serial%1 ORDER BY m.started_at DESC, m.run_uuid "
                             "DESC, m.step DESC, m.attempt DESC, m.seq DESC LIMIT %2")
                  .arg(where, QString::number(std::max(0, limit))));
    if (!Exec(q, values)) {
        error_ = q.lastError().text();
        return listed;
    }
    while (q.next())
        listed.push_back({q.value(0).toDouble(), q.value(1).toString(), q.value(2).toString()});
    std::reverse(listed.begin(), listed.end());
    return listed;
}

} // namespace vmx::history
