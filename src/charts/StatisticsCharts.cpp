#include "charts/StatisticsCharts.h"

#include "app/SafeSave.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vmx::charts {

ChartTexts ChartTexts::For(bool english)
{
    if (english)
        return {QStringLiteral("Yield"),         QStringLiteral("First-pass yield"),
                QStringLiteral("Final yield"),   QStringLiteral("Share %"),
                QStringLiteral("Failing steps"), QStringLiteral("Failing items"),
                QStringLiteral("Count"),         QStringLiteral("Cumulative %"),
                QStringLiteral("Histogram"),     QStringLiteral("Run chart"),
                QStringLiteral("Unit"),          QStringLiteral("Value"),
                QStringLiteral("Lower limit"),   QStringLiteral("Upper limit"),
                QStringLiteral("Mean"),          QStringLiteral("Mean ± 3σ")};
    return {QStringLiteral("Ausbeute"),
            QStringLiteral("Erstausbeute"),
            QStringLiteral("Endausbeute"),
            QStringLiteral("Anteil %"),
            QStringLiteral("Fehlerhafte Schritte"),
            QStringLiteral("Fehlerhafte Messungen"),
            QStringLiteral("Anzahl"),
            QStringLiteral("Kumuliert %"),
            QStringLiteral("Histogramm"),
            QStringLiteral("Verlauf"),
            QStringLiteral("Prüfling"),
            QStringLiteral("Wert"),
            QStringLiteral("Untere Grenze"),
            QStringLiteral("Obere Grenze"),
            QStringLiteral("Mittelwert"),
            QStringLiteral("Mittelwert ± 3σ")};
}

namespace {

QChart* NewChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QValueAxis* ValueAxis(const QString& title, double low, double high)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(low, high);
    return axis;
}

// A line across the chart (vertical at x, or horizontal at y), dashed in `colour`.
QLineSeries* Line(QChart* chart, const QString& name, QPointF from, QPointF to, const QColor& colour,
                  Qt::PenStyle style)
{
    auto* s = new QLineSeries;
    s->setName(name);
    s->append(from);
    s->append(to);
    QPen pen(colour);
    pen.setWidthF(1.5);
    pen.setStyle(style);
    s->setPen(pen);
    chart->addSeries(s);
    return s;
}

// An axis of counts (or unit numbers) from `low` to `high` with a tick on whole numbers only.
QValueAxis* WholeAxis(const QString& title, int low, int high)
{
    high = std::max(high, low + 1);
    QValueAxis* axis = ValueAxis(title, low, high);
    axis->setLabelFormat(QStringLiteral("%d"));
    if (high - low <= 10)
        axis->setTickCount(high - low + 1);
    else
        axis->applyNiceNumbers();
    return axis;
}

void Attach(QChart* chart, QAbstractAxis* x, QAbstractAxis* y)
{
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

// The second line of a pair keeps out of the legend.
void HideLegend(QChart* chart, QAbstractSeries* s)
{
    for (QLegendMarker* m : chart->legend()->markers(s))
        m->setVisible(false);
}

} // namespace

QChart* YieldChart(const std::vector<history::YieldRow>& rows, const ChartTexts& t)
{
    QChart* chart = NewChart(t.yieldTitle);
    auto* first = new QBarSet(t.firstPass);
    auto* final = new QBarSet(t.finalYield);
    QStringList groups;
    for (const history::YieldRow& y : rows) {
        *first << y.firstPassYield() * 100.0;
        *final << y.finalYield() * 100.0;
        groups << y.group;
    }
    auto* bars = new QBarSeries;
    bars->append(first);
    bars->append(final);
    chart->addSeries(bars);
    auto* x = new QBarCategoryAxis;
    x->append(groups);
    Attach(chart, x, ValueAxis(t.share, 0.0, 100.0));
    return chart;
}

QChart* ParetoChart(const std::vector<history::ParetoRow>& rows, const QString& title, const ChartTexts& t)
{
    QChart* chart = NewChart(title);
    auto* counts = new QBarSet(t.count);
    auto* cumulative = new QLineSeries;
    cumulative->setName(t.cumulative);
    QStringList names;
    int most = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        *counts << rows[i].count;
        cumulative->append(double(i), rows[i].cumulative * 100.0);
        names << rows[i].name;
        most = std::max(most, rows[i].count);
    }
    auto* bars = new QBarSeries;
    bars->append(counts);
    chart->addSeries(bars);
    chart->addSeries(cumulative);
    auto* x = new QBarCategoryAxis;
    x->append(names);
    chart->addAxis(x, Qt::AlignBottom);
    QValueAxis* y = WholeAxis(t.count, 0, most);
    chart->addAxis(y, Qt::AlignLeft);
    QValueAxis* share = ValueAxis(t.cumulative, 0.0, 100.0);
    chart->addAxis(share, Qt::AlignRight);
    bars->attachAxis(x);
    bars->attachAxis(y);
    cumulative->attachAxis(x);
    cumulative->attachAxis(share);
    return chart;
}

QChart* HistogramChart(const history::ItemStats& s, const ChartTexts& t)
{
    QChart* chart = NewChart(QStringLiteral("%1: %2").arg(t.histogramTitle, s.item));
    const history::Histogram& h = s.histogram;
    // One bin of no width (all values equal) is drawn one unit wide around its value.
    const double width = h.width > 0.0 ? h.width : 1.0;
    const double start = h.width > 0.0 ? h.start : h.start - 0.5;
    auto* outline = new QLineSeries;
    int most = 0;
    for (size_t i = 0; i < h.counts.size(); ++i) {
        const double x0 = start + double(i) * width, x1 = x0 + width;
        *outline << QPointF(x0, 0) << QPointF(x0, h.counts[i]) << QPointF(x1, h.counts[i]) << QPointF(x1, 0);
        most = std::max(most, h.counts[i]);
    }
    auto* bins = new QAreaSeries(outline);
    outline->setParent(bins); // an area series does not own its boundary
    bins->setName(t.count);
    bins->setBorderColor(QColor(0x1f, 0x4e, 0x79));
    bins->setColor(QColor(0x5b, 0x9b, 0xd5));
    chart->addSeries(bins);
    double low = start, high = start + width * double(std::max<size_t>(1, h.counts.size()));
    const double top = std::max(1, most);
    if (s.low) {
        Line(chart, t.low, {*s.low, 0}, {*s.low, top}, Qt::red, Qt::DashLine);
        low = std::min(low, *s.low);
        high = std::max(high, *s.low);
    }
    if (s.high) {
        Line(chart, t.high, {*s.high, 0}, {*s.high, top}, Qt::red, Qt::DashLine);
        low = std::min(low, *s.high);
        high = std::max(high, *s.high);
    }
    const double margin = (high - low) * 0.05;
    QValueAxis* y = WholeAxis(t.count, 0, most);
    Attach(chart,
           ValueAxis(s.unit.isEmpty() ? t.value : QStringLiteral("%1 (%2)").arg(t.value, s.unit),
                     low - margin, high + margin),
           y);
    return chart;
}

QChart* RunChart(const history::ItemStats& s, const ChartTexts& t)
{
    // What a plot a few hundred pixels wide can show of a line.
    constexpr size_t kRunChartPoints = 4000;
    QChart* chart = NewChart(QStringLiteral("%1: %2").arg(t.runTitle, s.item));
    auto* values = new QLineSeries;
    values->setName(s.item);
    double low = s.min.value_or(0.0), high = s.max.value_or(1.0);
    const size_t n = s.values.size();
    QList<QPointF> points;
    if (n <= kRunChartPoints) {
        values->setPointsVisible(true);
        for (size_t i = 0; i < n; ++i)
            points.append(QPointF(double(i + 1), s.values[i]));
    } else {
        // More values than the plot has pixels: each stretch of units drawn as the line from its
        // smallest to its largest value, which is what the full line would cover there.
        const size_t stretches = kRunChartPoints / 2;
        for (size_t k = 0; k < stretches; ++k) {
            const size_t from = k * n / stretches, to = (k + 1) * n / stretches;
            const auto [lo, hi] =
                std::minmax_element(s.values.begin() + qsizetype(from), s.values.begin() + qsizetype(to));
            const bool rising = lo < hi;
            points.append(QPointF(double((rising ? lo : hi) - s.values.begin() + 1), rising ? *lo : *hi));
            points.append(QPointF(double((rising ? hi : lo) - s.values.begin() + 1), rising ? *hi : *lo));
        }
    }
    values->replace(points);
    chart->addSeries(values);
    const double last = double(std::max<size_t>(2, s.values.size()));
    auto across = [&](const QString& name, double y, const QColor& colour, Qt::PenStyle style) {
        low = std::min(low, y);
        high = std::max(high, y);
        return Line(chart, name, {1.0, y}, {last, y}, colour, style);
    };
    if (s.low) across(t.low, *s.low, Qt::red, Qt::SolidLine);
    if (s.high) across(t.high, *s.high, Qt::red, Qt::SolidLine);
    if (s.mean) {
        across(t.mean, *s.mean, Qt::darkGreen, Qt::SolidLine);
        const std::optional<double> sigma =
            s.capability.sigmaWithin && *s.capability.sigmaWithin > 0.0 ? s.capability.sigmaWithin : s.sd;
        if (sigma && *sigma > 0.0) {
            across(t.sigmaBand, *s.mean + 3.0 * *sigma, Qt::darkGreen, Qt::DashLine);
            HideLegend(chart, across(t.sigmaBand, *s.mean - 3.0 * *sigma, Qt::darkGreen, Qt::DashLine));
        }
    }
    const double margin = high > low ? (high - low) * 0.05 : 1.0;
    QValueAxis* x = WholeAxis(t.unitNo, 1, int(last));
    Attach(chart, x,
           ValueAxis(s.unit.isEmpty() ? t.value : QStringLiteral("%1 (%2)").arg(t.value, s.unit),
                     low - margin, high + margin));
    return chart;
}

bool ExportChart(QChart& chart, const QString& file, QSize size, QString* why)
{
    auto fail = [&](const QString& text) {
        if (why) *why = text;
        return false;
    };
    const bool svg = file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
    if (!svg && !file.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return fail(QStringLiteral("%1: not a .png or .svg file").arg(file));
    // A chart not shown anywhere is drawn in a scene of its own, and taken out again so the
    // caller still owns it.
    QGraphicsScene own;
    QGraphicsScene* scene = chart.scene();
    const bool borrowed = scene == nullptr;
    if (borrowed) {
        scene = &own;
        own.addItem(&chart);
        chart.resize(size);
    }
    const QRectF source = chart.sceneBoundingRect();
    const QRectF target(QPointF(0, 0), source.size());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (svg) {
        QSvgGenerator out;
        out.setOutputDevice(&buffer);
        out.setSize(source.size().toSize());
        out.setViewBox(target);
        out.setTitle(chart.title());
        QPainter p(&out);
        p.setRenderHint(QPainter::Antialiasing);
        scene->render(&p, target, source);
    } else {
        QImage image(source.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            scene->render(&p, target, source);
        }
        image.save(&buffer, "PNG");
    }
    if (borrowed) own.removeItem(&chart);
    if (bytes.isEmpty()) return fail(QStringLiteral("%1: nothing was drawn").arg(file));
    const app::SaveStatus saved = app::SafeSave::Save(file, bytes);
    if (saved == app::SaveStatus::Ok) return true;
    return fail(saved == app::SaveStatus::FolderMissing ? QStringLiteral("%1: no such folder").arg(file)
                : saved == app::SaveStatus::WriteProtected
                    ? QStringLiteral("%1: write-protected").arg(file)
                    : QStringLiteral("%1: cannot be written").arg(file));
}

bool DrawChart(history::HistoryStatistics& stats, const ChartRequest& r, const ChartTexts& t,
               const QString& file, QSize size, QString* why)
{
    std::unique_ptr<QChart> chart;
    switch (r.kind) {
    case ChartKind::Yield:
        chart.reset(YieldChart(stats.Yield(history::GroupBy::Day, r.filter), t));
        break;
    case ChartKind::Pareto:
        chart.reset(r.paretoOfItems ? ParetoChart(stats.FailingItems(r.filter), t.itemsTitle, t)
                                    : ParetoChart(stats.FailingSteps(r.filter), t.stepsTitle, t));
        break;
    case ChartKind::Histogram:
    case ChartKind::Run: {
        // An item nothing measured is drawn empty, with its name.
        const history::ItemStats s = stats.Item(r.filter, r.item);
        chart.reset(r.kind == ChartKind::Histogram ? HistogramChart(s, t) : RunChart(s, t));
        break;
    }
    }
    if (!stats.lastError().isEmpty()) {
        if (why) *why = stats.lastError();
        return false;
    }
    return ExportChart(*chart, file, size, why);
}

} // namespace vmx::charts
