#include "history/Statistics.h"

#include "history/SqlHistoryStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

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

Histogram FreedmanDiaconis(const std::vector<double>& sorted)
{
    Histogram h;
    if (sorted.empty()) return h;
    h.start = sorted.front();
    const double range = sorted.back() - sorted.front();
    const double iqr = *QuantileInclusive(sorted, 0.75) - *QuantileInclusive(sorted, 0.25);
    int bins = 1;
    if (range > 0.0 && iqr > 0.0) {
        h.width = 2.0 * iqr / std::cbrt(double(sorted.size()));
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
    for (double x : sorted)
        ++h.counts[size_t(std::max(0, h.BinOf(x)))];
    return h;
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

ItemStats Describe(const QString& item, const QString& unit, const std::vector<ItemValue>& inUnitOrder)
{
    ItemStats s;
    s.item = item;
    s.unit = unit;
    s.n = int(inUnitOrder.size());
    s.values.reserve(inUnitOrder.size());
    s.runs.reserve(inUnitOrder.size());
    s.serials.reserve(inUnitOrder.size());
    for (const ItemValue& v : inUnitOrder) {
        s.values.push_back(v.number);
        s.runs.push_back(v.run);
        s.serials.push_back(v.serial);
        s.below += v.low && v.number < *v.low;
        s.above += v.high && v.number > *v.high;
    }
    if (s.n == 0) return s;
    s.low = inUnitOrder.back().low;
    s.high = inUnitOrder.back().high;
    std::vector<double> sorted = s.values;
    std::sort(sorted.begin(), sorted.end());
    s.min = sorted.front();
    s.max = sorted.back();
    s.mean = Mean(s.values);
    if (s.n >= 2) {
        double squares = 0.0;
        for (double x : s.values)
            squares += (x - *s.mean) * (x - *s.mean);
        s.sd = std::sqrt(squares / double(s.n - 1));
    }
    s.histogram = FreedmanDiaconis(sorted);
    s.capability = CapabilityOf(s.values, s.low, s.high);
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
QString DoneValues(const Filter& filter, QVariantList& values)
{
    const bool endOnly = !filter.firstPassOnly;
    QString where = Where(filter, values, endOnly);
    where += where.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    return QStringLiteral(" FROM measurement m JOIN run_end e ON e.run_uuid = m.run_uuid") +
           (endOnly ? QString() : QStringLiteral(" JOIN run r ON r.uuid = m.run_uuid")) + where +
           QStringLiteral("e.state = 'done' AND m.number IS NOT NULL");
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
    error_.clear();
    std::vector<ItemStats> items;
    QVariantList values;
    const QString from = DoneValues(filter, values);
    // One pass over the item's values in unit order: each value's moving range to the one
    // before, the item's mean over all of them (for the squares, a second sum that does not
    // lose digits the way Σx² − (Σx)²/n does) and whether it is the last (its run's limits and
    // unit are the item's). Window functions both engines know; the program gets a row an item.
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral(
            "SELECT item, MAX(CASE WHEN last = 1 THEN unit END), COUNT(*), AVG(x), MIN(x), MAX(x), "
            "SUM((x - mean) * (x - mean)), COALESCE(SUM(mr), 0), MAX(CASE WHEN last = 1 THEN lo END), "
            "MAX(CASE WHEN last = 1 THEN hi END), SUM(CASE WHEN x < lo THEN 1 ELSE 0 END), "
            "SUM(CASE WHEN x > hi THEN 1 ELSE 0 END) FROM (SELECT m.item AS item, m.unit AS unit, "
            "m.number AS x, m.low_limit AS lo, m.high_limit AS hi, AVG(m.number) OVER (w ROWS "
            "BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING) AS mean, ABS(m.number - "
            "LAG(m.number) OVER w) AS mr, CASE WHEN LEAD(m.number) OVER w IS NULL THEN 1 ELSE 0 "
            "END AS last%1 WINDOW w AS (PARTITION BY m.item ORDER BY %2)) v GROUP BY item ORDER BY item")
            .arg(from, QLatin1String(kUnitOrder)));
    if (!Exec(q, values)) {
        error_ = q.lastError().text();
        return items;
    }
    while (q.next()) {
        ItemStats s;
        s.item = q.value(0).toString();
        s.unit = q.value(1).toString();
        s.n = q.value(2).toInt();
        s.mean = Number(q.value(3));
        s.min = Number(q.value(4));
        s.max = Number(q.value(5));
        if (s.n >= 2) s.sd = std::sqrt(q.value(6).toDouble() / double(s.n - 1));
        s.low = Number(q.value(8));
        s.high = Number(q.value(9));
        s.below = q.value(10).toInt();
        s.above = q.value(11).toInt();
        s.capability = CapabilityOf(s.n, s.mean.value_or(0.0), s.sd, q.value(7).toDouble(), s.low, s.high);
        items.push_back(std::move(s));
    }
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

ItemStats HistoryStatistics::Item(const Filter& filter, const QString& item)
{
    error_.clear();
    QVariantList values;
    const QString from = DoneValues(filter, values) + QStringLiteral(" AND m.item = ?");
    values << item;
    QSqlQuery q(store_.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT m.unit, m.number, m.low_limit, m.high_limit, m.run_uuid, e.serial%1 "
                             "ORDER BY %2")
                  .arg(from, QLatin1String(kUnitOrder)));
    std::vector<ItemValue> run;
    QString unit;
    if (!Exec(q, values)) {
        error_ = q.lastError().text();
        return Describe(item, unit, run);
    }
    while (q.next()) {
        unit = q.value(0).toString(); // the latest run's, as its limits
        run.push_back({q.value(1).toDouble(), Number(q.value(2)), Number(q.value(3)), q.value(4).toString(),
                       q.value(5).toString()});
    }
    return Describe(item, unit, run);
}

} // namespace vmx::history
