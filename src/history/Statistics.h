#pragma once
// Production statistics over the history: yields, Paretos of what fails, and each measured item's
// distribution against its limits with its process capability. The arithmetic is plain functions
// (tested on numbers worked by hand); HistoryStatistics has the database count the yields and
// the failures, and reads an item's values (one item at a time) for its distribution.

#include "history/HistoryRecords.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace vmx::history {

class SqlHistoryStore;

// d2 for subgroups of two: σ within = mean moving range / d2.
inline constexpr double kD2 = 1.128;

// What an index shows when it is not defined (n < 2, no spread, no limit).
QString UndefinedText();
// The number with `decimals`, or UndefinedText().
QString FormatNumber(const std::optional<double>& v, int decimals = 3);

// The p-quantile of sorted values by the inclusive method (linear between order statistics,
// position p·(n−1)): what a spreadsheet's QUARTILE.INC gives. Undefined for no values.
std::optional<double> QuantileInclusive(const std::vector<double>& sorted, double p);

struct Histogram {
    double start = 0.0; // the lower edge of the first bin (the smallest value)
    double width = 0.0; // every bin's width; the last bin includes its upper edge
    std::vector<int> counts;
    // The bin of x, or -1 outside.
    int BinOf(double x) const;
};

// Bins of width 2·IQR·n^(−1/3) (Freedman–Diaconis, quartiles inclusive) from the smallest value;
// at most kMaxBins. One bin when the IQR or the range is 0; none for no values.
inline constexpr int kMaxBins = 100;
Histogram FreedmanDiaconis(const std::vector<double>& sorted);

struct Capability {
    std::optional<double> sigmaWithin; // mean moving range / 1.128
    std::optional<double> cp, cpk;     // from σ within
    std::optional<double> pp, ppk;     // from the sample standard deviation
};

// Cp = (USL − LSL) / 6σ needs both limits; Cpk = min(USL − mean, mean − LSL) / 3σ over the
// limits there are (one limit: its one-sided index). Undefined with n < 2 or σ = 0.
Capability CapabilityOf(const std::vector<double>& inUnitOrder, std::optional<double> low,
                        std::optional<double> high);
// The same from the sums: n values with their mean, sample standard deviation and the sum of the
// n − 1 moving ranges in unit order.
Capability CapabilityOf(int n, double mean, std::optional<double> sd, double movingRanges,
                        std::optional<double> low, std::optional<double> high);

struct ItemStats {
    QString item, unit;
    int n = 0;
    std::optional<double> mean, sd, min, max; // sd: sample (n − 1); needs n ≥ 2
    std::optional<double> low, high;          // the latest run's limits
    int below = 0, above = 0;                 // values outside their own run's limits
    std::optional<double> shareBelow() const { return n ? std::optional(double(below) / n) : std::nullopt; }
    std::optional<double> shareAbove() const { return n ? std::optional(double(above) / n) : std::nullopt; }
    Histogram histogram; // Item() only
    Capability capability;
    // Item() only: the run chart's values in unit order.
    std::vector<double> values;
};

// One value as measured, with the limits its run judged it by.
struct ItemValue {
    double number = 0.0;
    std::optional<double> low, high;
};

// A value as the page lists it: with its run and its unit's serial number.
struct ListedValue {
    double number = 0.0;
    QString run, serial;
};

// The statistics of one item's values in unit order.
ItemStats Describe(const QString& item, const QString& unit, const std::vector<ItemValue>& inUnitOrder);

struct ParetoRow {
    QString name;    // "step routine" or the item
    int step = -1;   // the failing step (steps only)
    QString routine; // its routine, or the item
    int count = 0;
    double share = 0.0, cumulative = 0.0;
};

class HistoryStatistics {
public:
    explicit HistoryStatistics(SqlHistoryStore& store) : store_(store) {}

    // Units, runs, first-pass and final yield per local day or per station.
    std::vector<YieldRow> Yield(GroupBy by, const Filter& filter);
    // Failed step attempts by step and routine, most first.
    std::vector<ParetoRow> FailingSteps(const Filter& filter);
    // Failed measurements by item, most first.
    std::vector<ParetoRow> FailingItems(const Filter& filter);
    // The finished runs behind a row of FailingSteps or FailingItems, in the order they started.
    std::vector<RunRow> FailingRuns(const Filter& filter, const ParetoRow& row);
    // Every measured item with a number, by name, as Item() gives it without the values.
    std::vector<ItemStats> Items(const Filter& filter);
    // The names Items() would list, and no more.
    QStringList ItemNames(const Filter& filter);
    // One item with its values in unit order and its histogram; n = 0 when nothing measured it.
    ItemStats Item(const Filter& filter, const QString& item);
    // The latest `limit` values of the item in unit order, oldest first: all of its values, or
    // those in bin `bin` of `bins` (Item()'s histogram) when bin >= 0.
    std::vector<ListedValue> Latest(const Filter& filter, const QString& item, const Histogram& bins, int bin,
                                    int limit);

    // Empty when the last query ran.
    QString lastError() const { return error_; }

private:
    std::vector<ParetoRow> Pareto(const QString& select, const Filter& filter);

    SqlHistoryStore& store_;
    QString error_;
};

} // namespace vmx::history
