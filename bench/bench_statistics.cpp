// The Statistik page and `vmxctl history stats --item` over the 1,000,000 runs bench_history
// generates: what the page reads (yield by day, the Paretos of failing steps and items, the item
// list, the chosen item's values), its charts built and drawn at the page's size and its tables
// filled, timed as a whole and by part; then the CLI's stats for one item as a process. With a
// server URL the same on PostgreSQL, after the runs are pushed there by the station's own sync.
//
// Usage: bench_statistics FOLDER VMXCTL [postgresql://owner@… [server-only]]
//   FOLDER holds bench-history.db (bench_history FOLDER fills it); VMXCTL is the built vmxctl.
#include "HistoryBench.h"
#include "charts/StatisticsCharts.h"
#include "history/HistorySync.h"
#include "history/SqlHistoryStore.h"

#include <QApplication>
#include <QChart>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSqlQuery>
#include <QTableWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace vmx;
using namespace vmx::history;

namespace {

using vmx::bench::Load;
using vmx::bench::Of;
using vmx::bench::Stats;

// Drawn as the page's view draws it: in a scene, into an image of the view's size.
void Draw(QChart* chart)
{
    QGraphicsScene scene;
    scene.addItem(chart);
    chart->resize(QSizeF(560, 360));
    QImage image(560, 360, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        scene.render(&p);
    }
    scene.removeItem(chart); // the caller still owns it
}

void Fill(QTableWidget& t, const std::vector<QStringList>& rows)
{
    t.setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < rows[size_t(r)].size(); ++c)
            t.setItem(r, c, new QTableWidgetItem(rows[size_t(r)][c]));
}

QString Percent(double v)
{
    return QString::number(v * 100.0, 'f', 1) + QLatin1Char('%');
}

// Seconds of each part of one page, the whole last.
enum Part { Yield, Steps, Items, Names, Item, ChartsAndTables, Whole, Parts };
const char* const kPartNames[] = {"yield by day", "failing steps",     "failing items",
                                  "item list",    "the item's values", "charts drawn, tables filled"};

bool Page(SqlHistoryStore& store, std::vector<double> (&seconds)[Parts])
{
    HistoryStatistics stats(store);
    const charts::ChartTexts t = charts::ChartTexts::For(false);
    QElapsedTimer whole, part;
    whole.start();
    part.start();
    auto lap = [&](Part p) {
        seconds[p].push_back(part.nsecsElapsed() / 1e9);
        part.restart();
        return stats.lastError().isEmpty();
    };
    const std::vector<YieldRow> yield = stats.Yield(GroupBy::Day, Filter{});
    if (!lap(Yield)) return false;
    const std::vector<ParetoRow> steps = stats.FailingSteps(Filter{});
    if (!lap(Steps)) return false;
    const std::vector<ParetoRow> items = stats.FailingItems(Filter{});
    if (!lap(Items)) return false;
    const QStringList names = stats.ItemNames(Filter{});
    if (!lap(Names) || names.isEmpty()) return false;
    const ItemStats item = stats.Item(Filter{}, names.front());
    if (!lap(Item)) return false;

    std::vector<QStringList> rows;
    for (const YieldRow& y : yield)
        rows.push_back({y.group, QString::number(y.units), QString::number(y.runs),
                        Percent(y.firstPassYield()), Percent(y.finalYield())});
    QTableWidget yt(0, 5), pt(0, 4), it(0, 2), rt(0, 3);
    Fill(yt, rows);
    rows.clear();
    for (const ParetoRow& p : steps)
        rows.push_back({p.name, QString::number(p.count), Percent(p.share), Percent(p.cumulative)});
    Fill(pt, rows);
    rows.clear();
    for (const std::optional<double>& v :
         {item.mean, item.sd, item.min, item.max, item.low, item.high, item.capability.sigmaWithin,
          item.capability.cp, item.capability.cpk, item.capability.pp, item.capability.ppk})
        rows.push_back({QStringLiteral("x"), FormatNumber(v)});
    Fill(it, rows);
    rows.clear();
    // The runs list: the latest values, with their runs and serial numbers.
    for (const ListedValue& v : stats.Latest(Filter{}, item.item, item.histogram, -1, 1000))
        rows.push_back({v.serial, QString::number(v.number), v.run});
    Fill(rt, rows);
    for (QChart* c : {charts::YieldChart(yield, t), charts::ParetoChart(steps, t.stepsTitle, t),
                      charts::ParetoChart(items, t.itemsTitle, t), charts::HistogramChart(item, t),
                      charts::RunChart(item, t)}) {
        Draw(c);
        delete c;
    }
    lap(ChartsAndTables);
    seconds[Whole].push_back(whole.nsecsElapsed() / 1e9);
    return true;
}

void Report(const char* engine, SqlHistoryStore& store, double target)
{
    std::vector<double> seconds[Parts];
    for (int i = 0; i < 3; ++i)
        if (!Page(store, seconds)) {
            std::printf("%s: the page failed\n", engine);
            return;
        }
    for (int p = 0; p < Whole; ++p) {
        const Stats s = Of(seconds[p]);
        std::printf("%s:   %-28s min %.3f  median %.3f  max %.3f s\n", engine, kPartNames[p], s.min, s.median,
                    s.max);
    }
    const Stats s = Of(seconds[Whole]);
    std::printf("%s: the Statistik page:          min %.3f  median %.3f  max %.3f s  (target <= %.1f s) %s\n",
                engine, s.min, s.median, s.max, target, s.median <= target ? "ok" : "OVER");
}

void Cli(const char* engine, const QString& vmxctl, const QString& url, const QStringList& args,
         double target, int times = 3)
{
    std::vector<double> seconds;
    for (int i = 0; i < times; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(vmxctl,
                QStringList{QStringLiteral("--db"), url, QStringLiteral("history"), QStringLiteral("stats")} +
                    args);
        if (!p.waitForFinished(120000) || p.exitCode() != 0) {
            std::printf("%s: vmxctl history stats failed: %s\n", engine,
                        p.readAllStandardError().constData());
            return;
        }
        seconds.push_back(t.nsecsElapsed() / 1e9);
    }
    const Stats s = Of(seconds);
    std::printf("%s: vmxctl history stats %-10s min %.3f  median %.3f  max %.3f s", engine,
                qPrintable(args.join(QLatin1Char(' '))), s.min, s.median, s.max);
    if (target > 0)
        std::printf("  (target <= %.1f s) %s\n", target, s.median <= target ? "ok" : "OVER");
    else
        std::printf("\n");
}

int Count(SqlHistoryStore& store)
{
    QSqlQuery q(store.database());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM run")) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_statistics FOLDER VMXCTL [postgresql://owner@...]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]), vmxctl = QString::fromLocal8Bit(argv[2]);
    const QString file = folder + QStringLiteral("/bench-history.db");
    if (!QFileInfo::exists(file)) {
        std::fprintf(stderr, "bench_statistics: %s: none there (bench_history %s fills it)\n",
                     qPrintable(file), argv[1]);
        return 1;
    }
    QString why;
    auto store =
        SqlHistoryStore::Open(QStringLiteral("sqlite:bench-history.db"), folder, QStringLiteral("S1"),
                              QStringLiteral("bench"), SqlHistoryStore::Schema::AsIs, &why);
    if (!store) return std::fprintf(stderr, "bench_statistics: %s\n", qPrintable(why)), 1;
    const int runs = Count(*store);
    const QStringList item{QStringLiteral("--item"), QStringLiteral("Ampl 1")};
    std::printf("%d runs; load average at start: %.2f\n", runs, Load());
    if (argc <= 4 || qstrcmp(argv[4], "server-only") != 0) {
        Report("SQLite", *store, 4.0);
        Cli("SQLite", vmxctl, QStringLiteral("sqlite:") + file, item, 0.5);
        Cli("SQLite", vmxctl, QStringLiteral("sqlite:") + file, {}, 0, 1);
    }

    if (argc > 3) {
        const QString url = QString::fromLocal8Bit(argv[3]);
        auto line = SqlHistoryStore::Open(url, QString(), QStringLiteral("S1"), QStringLiteral("bench"),
                                          SqlHistoryStore::Schema::Latest, &why);
        if (!line) return std::fprintf(stderr, "bench_statistics: %s\n", qPrintable(why)), 1;
        if (Count(*line) < runs) {
            HistorySync sync(*store, url);
            QElapsedTimer t;
            t.start();
            for (;;) {
                const SyncResult r = sync.Push(50000);
                if (!r.error.isEmpty())
                    return std::fprintf(stderr, "bench_statistics: sync: %s\n", qPrintable(r.error)), 1;
                std::fprintf(stderr, "\r%d waiting, %.0f s", r.waiting, t.elapsed() / 1000.0);
                if (r.waiting <= 0) break;
            }
            QSqlQuery(line->database()).exec(QStringLiteral("ANALYZE"));
            std::fprintf(stderr, "\npushed in %.0f s\n", t.elapsed() / 1000.0);
        }
        std::printf("PostgreSQL: %d runs\n", Count(*line));
        Report("PostgreSQL", *line, 1.5);
        Cli("PostgreSQL", vmxctl, url, item, 0.5);
        Cli("PostgreSQL", vmxctl, url, {}, 0, 1);
    }
    std::printf("load average at end: %.2f\n", Load());
    return 0;
}
