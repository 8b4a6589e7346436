// The "Statistik" page: the production statistics of the unit history for a filter, four charts
// (yield per day, Pareto of failing steps, the item's histogram against its limits, its run
// chart), each with its numbers beside it. A click on a histogram bin lists the runs behind it.
#include "charts/StatisticsCharts.h"
#include "charts/TableExport.h"
#include "history/SqlHistoryStore.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace vmx::ui {

namespace {

const PageText kStatTexts[] = {
    {"LStatLabel", "Prüfung", "Definition"},
    {"LStatStation", "Station", "Station"},
    {"LStatBatch", "Auftrag", "Batch"},
    {"LStatFrom", "von", "from"},
    {"LStatTo", "bis", "to"},
    {"LStatItem", "Größe", "Item"},
    {"CBStatFirstPass", "nur Erstprüfung", "first pass only"},
    {"CBStatParetoItems", "Größen statt Schritte", "items, not steps"},
    {"BTStatShow", "Anzeigen", "Show"},
    {"BTStatExport", "Exportieren ...", "Export ..."},
    {"GBStatYield", "Ausbeute", "Yield"},
    {"GBStatPareto", "Fehlerhafte Schritte", "Failing steps"},
    {"GBStatHist", "Histogramm", "Histogram"},
    {"GBStatRun", "Verlauf", "Run chart"},
};
struct StatPart {
    const char* part;
    const char* view;
    const char* table;
};
const StatPart kStatParts[] = {{"yield", "CVStatYield", "StGStatYield"},
                               {"pareto", "CVStatPareto", "StGStatPareto"},
                               {"histogram", "CVStatHist", "StGStatItem"},
                               {"run", "CVStatRun", "StGStatRuns"}};
const char* const kYieldHeads[][2] = {{"Tag", "Day"},
                                      {"Einheiten", "Units"},
                                      {"Prüfungen", "Runs"},
                                      {"Erste", "First pass"},
                                      {"Ende", "Final"}};
const char* const kParetoHeads[][2] = {
    {"Schritt", "Step"}, {"Anzahl", "Count"}, {"Anteil", "Share"}, {"Kumuliert", "Cumulative"}};
const char* const kItemHeads[][2] = {{"Kennzahl", "Figure"}, {"Wert", "Value"}};
const char* const kRunHeads[][2] = {{"SN", "SN"}, {"Wert", "Value"}, {"Prüfung", "Run"}};

QTableWidget* Table(QWidget* parent, const char* name, int columns)
{
    QTableWidget* g = ResultGrid(parent, name, columns);
    g->setMinimumWidth(140);
    return g;
}

void SetRow(QTableWidget* g, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c)
        g->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString Percent(const std::optional<double>& v)
{
    return v ? QString::number(*v * 100.0, 'f', 1) + QLatin1Char('%') : history::UndefinedText();
}

} // namespace

QWidget* TMainForm::CreateStatisticsPage()
{
    auto* page = NewNamed<QWidget>(nullptr, "TSStatistics");
    auto* lay = new QVBoxLayout(page);
    auto* filters = new QHBoxLayout;
    auto edit = [&](const char* label, const char* name, int width) {
        filters->addWidget(NewNamed<QLabel>(page, label));
        auto* e = NewNamed<QLineEdit>(page, name);
        e->setFixedWidth(width);
        connect(e, &QLineEdit::returnPressed, this, [this] { StatisticsShow(); });
        filters->addWidget(e);
    };
    edit("LStatLabel", "EStatLabel", 160);
    edit("LStatStation", "EStatStation", 70);
    edit("LStatBatch", "EStatBatch", 80);
    edit("LStatFrom", "EStatFrom", 90);
    edit("LStatTo", "EStatTo", 90);
    filters->addStretch(1);
    lay->addLayout(filters);
    // The second row: what is shown of it.
    filters = new QHBoxLayout;
    filters->addWidget(NewNamed<QCheckBox>(page, "CBStatFirstPass"));
    // The Pareto of failing steps or of failing items.
    auto* ofItems = NewNamed<QCheckBox>(page, "CBStatParetoItems");
    connect(ofItems, &QCheckBox::toggled, this, [this] { StatisticsShow(); });
    filters->addWidget(ofItems);
    filters->addWidget(NewNamed<QLabel>(page, "LStatItem"));
    auto* item = NewNamed<QComboBox>(page, "CBStatItem");
    item->setMinimumWidth(120);
    connect(item, &QComboBox::activated, this, [this] { StatisticsShow(); });
    filters->addWidget(item);
    auto* show = NewNamed<QPushButton>(page, "BTStatShow");
    connect(show, &QPushButton::clicked, this, [this] { StatisticsShow(); });
    filters->addWidget(show);
    auto* out = NewNamed<QPushButton>(page, "BTStatExport");
    connect(out, &QPushButton::clicked, this, [this] { StatisticsExport(); });
    filters->addWidget(out);
    filters->addWidget(NewNamed<QLabel>(page, "LStatInfo"), 1);
    lay->addLayout(filters);

    auto* grid = new QGridLayout;
    auto group = [&](const char* name, const char* view, QTableWidget* table, int row, int column) {
        auto* g = NewNamed<QGroupBox>(page, name);
        auto* l = new QHBoxLayout(g);
        auto* v = NewNamed<QChartView>(g, view);
        v->setRenderHint(QPainter::Antialiasing);
        // Its own export from the chart's context menu: the chart or its table, by the name's end.
        for (const StatPart& p : kStatParts)
            if (qstrcmp(p.view, view) == 0) {
                auto* a = new QAction(v);
                a->setObjectName(QStringLiteral("ACStatExport-%1").arg(QLatin1String(p.part)));
                const QString part = QLatin1String(p.part);
                connect(a, &QAction::triggered, this, [this, part] { StatisticsExport(part); });
                v->addAction(a);
                v->setContextMenuPolicy(Qt::ActionsContextMenu);
            }
        v->setMinimumSize(200, 160);
        l->addWidget(v, 3);
        table->setParent(g);
        l->addWidget(table, 2);
        grid->addWidget(g, row, column);
    };
    group("GBStatYield", "CVStatYield", Table(page, "StGStatYield", 5), 0, 0);
    group("GBStatPareto", "CVStatPareto", Table(page, "StGStatPareto", 4), 0, 1);
    group("GBStatHist", "CVStatHist", Table(page, "StGStatItem", 2), 1, 0);
    QTableWidget* listed = Table(page, "StGStatRuns", 3);
    connect(listed, &QTableWidget::cellDoubleClicked, this, [this](int row) { StatisticsOpenRun(row); });
    group("GBStatRun", "CVStatRun", listed, 1, 1);
    lay->addLayout(grid, 1);
    return page;
}

void TMainForm::StatisticsCaptions()
{
    const int language = session_->language();
    SetPageTexts(this, kStatTexts, std::size(kStatTexts), language);
    if (auto* page = findChild<QWidget*>(QStringLiteral("TSStatistics")))
        PC1->setTabText(PC1->indexOf(page),
                        language == 1 ? QStringLiteral("Statistics") : QStringLiteral("Statistik"));
    for (QAction* a : findChildren<QAction*>())
        if (a->objectName().startsWith(QLatin1String("ACStatExport-")))
            a->setText(language == 1 ? QStringLiteral("Export this chart ...")
                                     : QStringLiteral("Dieses Diagramm exportieren ..."));
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGStatYield")), kYieldHeads, 5, language);
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGStatPareto")), kParetoHeads, 4, language);
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGStatItem")), kItemHeads, 2, language);
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGStatRuns")), kRunHeads, 3, language);
}

void TMainForm::StatisticsShow()
{
    auto* info = findChild<QLabel*>(QStringLiteral("LStatInfo"));
    const bool english = session_->language() == 1;
    history::SqlHistoryStore* store = station_->history().store();
    if (!store) {
        info->setText(english ? QStringLiteral("no database open")
                              : QStringLiteral("keine Datenbank geöffnet"));
        return;
    }
    auto text = [this](const char* name) {
        return findChild<QLineEdit*>(QLatin1String(name))->text().trimmed();
    };
    history::Filter f;
    f.label = text("EStatLabel");
    f.station = text("EStatStation");
    f.batch = text("EStatBatch");
    for (auto [name, day] : {std::pair{"EStatFrom", &f.since}, std::pair{"EStatTo", &f.until}}) {
        const QDate d = QDate::fromString(text(name), Qt::ISODate);
        if (d.isValid()) *day = d;
    }
    f.firstPassOnly = findChild<QCheckBox*>(QStringLiteral("CBStatFirstPass"))->isChecked();
    history::HistoryStatistics stats(*store);
    const charts::ChartTexts t = charts::ChartTexts::For(english);

    const std::vector<history::YieldRow> yield = stats.Yield(history::GroupBy::Day, f);
    auto* yt = findChild<QTableWidget*>(QStringLiteral("StGStatYield"));
    yt->setRowCount(int(yield.size()));
    for (int r = 0; r < int(yield.size()); ++r) {
        const history::YieldRow& y = yield[size_t(r)];
        SetRow(yt, r,
               {y.group, QString::number(y.units), QString::number(y.runs), Percent(y.firstPassYield()),
                Percent(y.finalYield())});
    }
    StatisticsChart("CVStatYield", charts::YieldChart(yield, t));

    statisticsFilter_ = f;
    const bool ofItems = findChild<QCheckBox*>(QStringLiteral("CBStatParetoItems"))->isChecked();
    statisticsPareto_ = ofItems ? stats.FailingItems(f) : stats.FailingSteps(f);
    findChild<QGroupBox*>(QStringLiteral("GBStatPareto"))
        ->setTitle(
            ofItems ? (english ? QStringLiteral("Failing items") : QStringLiteral("Fehlerhafte Größen"))
                    : (english ? QStringLiteral("Failing steps") : QStringLiteral("Fehlerhafte Schritte")));
    const std::vector<history::ParetoRow>& pareto = statisticsPareto_;
    auto* pt = findChild<QTableWidget*>(QStringLiteral("StGStatPareto"));
    pt->setHorizontalHeaderItem(
        0, new QTableWidgetItem(ofItems ? (english ? QStringLiteral("Item") : QStringLiteral("Größe"))
                                        : (english ? QStringLiteral("Step") : QStringLiteral("Schritt"))));
    pt->setRowCount(int(pareto.size()));
    for (int r = 0; r < int(pareto.size()); ++r) {
        const history::ParetoRow& p = pareto[size_t(r)];
        SetRow(pt, r, {p.name, QString::number(p.count), Percent(p.share), Percent(p.cumulative)});
    }
    QChart* bars = charts::ParetoChart(pareto, ofItems ? t.itemsTitle : t.stepsTitle, t);
    for (QAbstractSeries* series : bars->series())
        if (auto* b = qobject_cast<QBarSeries*>(series))
            for (QBarSet* set : b->barSets())
                connect(set, &QBarSet::clicked, this, [this](int index) { StatisticsListFailing(index); });
    StatisticsChart("CVStatPareto", bars);

    // The item list follows the filter; the chosen item stays when the filter still has it.
    // Only the chosen item's values are read.
    auto* box = findChild<QComboBox*>(QStringLiteral("CBStatItem"));
    const QString chosen = box->currentText();
    {
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(stats.ItemNames(f));
        box->setCurrentIndex(std::max(0, box->findText(chosen)));
    }
    statisticsItem_ = box->currentText().isEmpty() ? history::ItemStats{} : stats.Item(f, box->currentText());
    const history::ItemStats& s = statisticsItem_;
    const history::Capability& c = s.capability;
    const QStringList figures{QStringLiteral("n"),
                              english ? QStringLiteral("mean") : QStringLiteral("Mittelwert"),
                              QStringLiteral("s"),
                              QStringLiteral("min"),
                              QStringLiteral("max"),
                              english ? QStringLiteral("lower limit") : QStringLiteral("untere Grenze"),
                              english ? QStringLiteral("upper limit") : QStringLiteral("obere Grenze"),
                              english ? QStringLiteral("below") : QStringLiteral("darunter"),
                              english ? QStringLiteral("above") : QStringLiteral("darüber"),
                              QStringLiteral("σ within"),
                              QStringLiteral("Cp"),
                              QStringLiteral("Cpk"),
                              QStringLiteral("Pp"),
                              QStringLiteral("Ppk")};
    const QStringList values{QString::number(s.n),           history::FormatNumber(s.mean),
                             history::FormatNumber(s.sd),    history::FormatNumber(s.min),
                             history::FormatNumber(s.max),   history::FormatNumber(s.low),
                             history::FormatNumber(s.high),  Percent(s.shareBelow()),
                             Percent(s.shareAbove()),        history::FormatNumber(c.sigmaWithin),
                             history::FormatNumber(c.cp, 2), history::FormatNumber(c.cpk, 2),
                             history::FormatNumber(c.pp, 2), history::FormatNumber(c.ppk, 2)};
    auto* it = findChild<QTableWidget*>(QStringLiteral("StGStatItem"));
    it->setRowCount(int(figures.size()));
    for (int r = 0; r < int(figures.size()); ++r)
        SetRow(it, r, {figures[r], values[r]});
    QChart* hist = charts::HistogramChart(s, t);
    // A click on a bin lists the runs whose values fall into it.
    for (QAbstractSeries* series : hist->series())
        if (auto* area = qobject_cast<QAreaSeries*>(series))
            connect(area, &QAreaSeries::clicked, this,
                    [this](const QPointF& p) { StatisticsListRuns(statisticsItem_.histogram.BinOf(p.x())); });
    StatisticsChart("CVStatHist", hist);
    StatisticsChart("CVStatRun", charts::RunChart(s, t));
    StatisticsListRuns(-1);
    info->setText(stats.lastError().isEmpty() ? QString() : stats.lastError());
}

void TMainForm::StatisticsChart(const char* view, QChart* chart)
{
    auto* v = findChild<QChartView*>(QLatin1String(view));
    // The group box names the chart; the space goes to the plot.
    chart->setTitle(QString());
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    QChart* old = v->chart();
    v->setChart(chart);
    delete old;
}

void TMainForm::StatisticsListRuns(int bin)
{
    // Without a bin: the item's latest values in unit order, as the run chart ends. The latest
    // 1000 at most: a table of a million rows helps nobody and takes the window seconds.
    constexpr int kListed = 1000;
    auto* t = findChild<QTableWidget*>(QStringLiteral("StGStatRuns"));
    t->setRowCount(0);
    const history::ItemStats& s = statisticsItem_;
    history::SqlHistoryStore* store = station_->history().store();
    if (!store || s.n == 0) return;
    const std::vector<history::ListedValue> listed =
        history::HistoryStatistics(*store).Latest(statisticsFilter_, s.item, s.histogram, bin, kListed);
    t->setRowCount(int(listed.size()));
    for (int r = 0; r < int(listed.size()); ++r) {
        const history::ListedValue& v = listed[size_t(r)];
        SetRow(t, r, {v.serial, QString::number(v.number), v.run});
    }
}

void TMainForm::StatisticsListFailing(int bar)
{
    auto* t = findChild<QTableWidget*>(QStringLiteral("StGStatRuns"));
    t->setRowCount(0);
    history::SqlHistoryStore* store = station_->history().store();
    if (!store || bar < 0 || bar >= int(statisticsPareto_.size())) return;
    history::HistoryStatistics stats(*store);
    for (const history::RunRow& run : stats.FailingRuns(statisticsFilter_, statisticsPareto_[size_t(bar)])) {
        const int r = t->rowCount();
        t->insertRow(r);
        SetRow(t, r, {run.start.serial, statisticsPareto_[size_t(bar)].name, run.start.uuid});
    }
}

void TMainForm::StatisticsOpenRun(int row)
{
    auto* t = findChild<QTableWidget*>(QStringLiteral("StGStatRuns"));
    if (row < 0 || row >= t->rowCount()) return;
    const QString serial = t->item(row, 0)->text(), uuid = t->item(row, 2)->text();
    PC1->setCurrentWidget(findChild<QWidget*>(QStringLiteral("TSHistory")));
    for (const char* name : {"EHistBatch", "EHistFrom", "EHistTo"})
        findChild<QLineEdit*>(QLatin1String(name))->clear();
    findChild<QLineEdit*>(QStringLiteral("EHistSN"))->setText(serial);
    // The unit's runs, a page at a time, until the one listed is among them.
    for (int page = 0;; ++page) {
        HistorySearch(page);
        if (historyPage_ != page) return;
        for (int r = 0; r < int(historyRuns_.size()); ++r)
            if (historyRuns_[size_t(r)].start.uuid == uuid) {
                findChild<QTableWidget*>(QStringLiteral("StGHistRuns"))->setCurrentCell(r, 0);
                return;
            }
        if (historyRuns_.empty()) return;
    }
}

void TMainForm::StatisticsExport(const QString& only)
{
    const bool english = session_->language() == 1;
    auto* info = findChild<QLabel*>(QStringLiteral("LStatInfo"));
    const QString name =
        env_.fileName
            ? env_.fileName(QString(), QString(), true, QString())
            : QFileDialog::getSaveFileName(
                  this, english ? QStringLiteral("Export") : QStringLiteral("Exportieren"), QString(),
                  QStringLiteral("PNG (*.png);;SVG (*.svg);;CSV (*.csv);;Excel (*.xlsx)"));
    if (name.isEmpty()) return;
    const QFileInfo file(name);
    const QString suffix = file.suffix().toLower();
    if (!QStringList{QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("csv"),
                     QStringLiteral("xlsx")}
             .contains(suffix)) {
        info->setText(
            english ? QStringLiteral("%1: not a .png, .svg, .csv or .xlsx file").arg(file.fileName())
                    : QStringLiteral("%1: keine .png-, .svg-, .csv- oder .xlsx-Datei").arg(file.fileName()));
        return;
    }
    const QString base = file.path() + QLatin1Char('/') + file.completeBaseName();
    std::vector<StatPart> parts;
    for (const StatPart& p : kStatParts)
        if (only.isEmpty() || only == QLatin1String(p.part)) parts.push_back(p);
    std::vector<charts::Table> tables;
    for (const StatPart& p : parts) {
        auto* t = findChild<QTableWidget*>(QLatin1String(p.table));
        charts::Table table{QLatin1String(p.part), {}, {}};
        for (int c = 0; c < t->columnCount(); ++c)
            table.heads << (t->horizontalHeaderItem(c) ? t->horizontalHeaderItem(c)->text() : QString());
        for (int r = 0; r < t->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < t->columnCount(); ++c)
                cells << (t->item(r, c) ? t->item(r, c)->text() : QString());
            table.rows.push_back(cells);
        }
        tables.push_back(std::move(table));
    }
    QStringList written;
    QString why;
    bool ok = true;
    if (suffix == QLatin1String("xlsx")) {
        // One workbook, a sheet per table.
        ok = charts::SaveWorkbook(tables, name, &why);
        written << file.fileName();
    } else {
        for (size_t i = 0; ok && i < parts.size(); ++i) {
            // One part goes to the name chosen; all of them beside it, each by its part's name.
            const QString target =
                only.isEmpty() ? QStringLiteral("%1-%2.%3").arg(base, QLatin1String(parts[i].part), suffix)
                               : name;
            if (suffix == QLatin1String("csv")) {
                ok = charts::SaveCsv(tables[i], target, &why);
            } else {
                QChart* chart = findChild<QChartView*>(QLatin1String(parts[i].view))->chart();
                ok = charts::ExportChart(*chart, target, chart->size().toSize(), &why);
            }
            written << QFileInfo(target).fileName();
        }
    }
    info->setText(ok ? (english ? QStringLiteral("written: %1") : QStringLiteral("geschrieben: %1"))
                           .arg(written.join(QStringLiteral(", ")))
                     : (english ? QStringLiteral("not written: %1") : QStringLiteral("nicht geschrieben: %1"))
                           .arg(why));
}

} // namespace vmx::ui
