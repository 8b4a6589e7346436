#pragma once
// The production statistics drawn with Qt Charts. The window's Statistik page and
// `vmxctl history chart` build the same four charts from the same numbers, so a daily report
// shows what the engineer saw on the station.

#include "history/Statistics.h"

#include <QSize>
#include <QString>

class QChart;

namespace vmx::charts {

// The charts' words in the program's language.
struct ChartTexts {
    QString yieldTitle, firstPass, finalYield, share;
    QString stepsTitle, itemsTitle, count, cumulative;
    QString histogramTitle, runTitle, unitNo, value, low, high, mean, sigmaBand;
    static ChartTexts For(bool english);
};

enum class ChartKind { Yield, Pareto, Histogram, Run };

// Each returns a new chart the caller owns (or hands to a view).
QChart* YieldChart(const std::vector<history::YieldRow>& rows, const ChartTexts& t);
QChart* ParetoChart(const std::vector<history::ParetoRow>& rows, const QString& title, const ChartTexts& t);
// The bins as bars over the values' axis, the limits as vertical lines.
QChart* HistogramChart(const history::ItemStats& s, const ChartTexts& t);
// The values in unit order with the limits and mean ± 3σ (σ within; the sample sd without it).
QChart* RunChart(const history::ItemStats& s, const ChartTexts& t);

// Writes `chart` as it is drawn at `size` to FILE.png or FILE.svg (by the name's end), saved
// beside and renamed into place. False with the reason in `why`.
bool ExportChart(QChart& chart, const QString& file, QSize size, QString* why);

struct ChartRequest {
    ChartKind kind = ChartKind::Yield;
    history::Filter filter;
    QString item;               // histogram and run
    bool paretoOfItems = false; // the Pareto of failing items, not steps
};
// Reads what the chart needs, draws it and writes it as ExportChart does.
bool DrawChart(history::HistoryStatistics& stats, const ChartRequest& request, const ChartTexts& t,
               const QString& file, QSize size, QString* why);

} // namespace vmx::charts
