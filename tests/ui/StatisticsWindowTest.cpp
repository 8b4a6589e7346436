// The Statistik page over 2,000 generated runs, in German and English: its tables say what
// `vmxctl history stats --json` says about the same database, and a click on a Pareto bar lists
// the runs that failed there. The page's picture is kept.
#include "HistoryGenerator.h"
#include "TestPaths.h"
#include "UiHarness.h"
#include "history/Statistics.h"

#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>

using namespace vmx;
using namespace vmx::ui::test;

namespace {

QJsonObject Stats(const QString& db, const QStringList& extra)
{
    QProcess p;
    p.start(testpaths::Bin(QStringLiteral("vmxctl")),
            QStringList{QStringLiteral("--db"), QStringLiteral("sqlite:") + db, QStringLiteral("history"),
                        QStringLiteral("stats"), QStringLiteral("--json")} +
                extra);
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QString Percent(const QJsonValue& v)
{
    return QString::number(v.toDouble() * 100.0, 'f', 1) + QLatin1Char('%');
}

QString Number(const QJsonValue& v, int decimals)
{
    return history::FormatNumber(v.isNull() ? std::nullopt : std::optional<double>(v.toDouble()), decimals);
}

} // namespace

TEST(StatisticsWindow, TwoThousandRunsAgreeWithTheCommandLineAndABarFindsItsRuns)
{
    for (const char* language : {"GERMAN", "ENGLISH"}) {
        SCOPED_TRACE(language);
        Harness h;
        const QString db = h.dir.filePath(QStringLiteral("history.db"));
        QStringList serials;
        {
            QString why;
            auto store = history::SqlHistoryStore::Open(QStringLiteral("sqlite:history.db"), h.dir.path(),
                                                        QStringLiteral("S1"), QStringLiteral("h"),
                                                        history::SqlHistoryStore::Schema::Latest, &why);
            ASSERT_TRUE(store) << why.toStdString();
            ASSERT_TRUE(generated::Fill(*store, 2000, serials, false));
        }
        h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=%1\n").arg(QLatin1String(language)));
        ui::TMainForm& f = h.StartShown();
        f.resize(1280, 860);
        h.Find<QTabWidget>("PC1")->setCurrentWidget(h.Find<QWidget>("TSStatistics"));
        h.Find<QPushButton>("BTStatShow")->click();
        const QJsonObject all = Stats(db, {});

        auto* yield = h.Find<QTableWidget>("StGStatYield");
        const QJsonArray days = all[QStringLiteral("yieldByDay")].toArray();
        ASSERT_EQ(yield->rowCount(), days.size());
        ASSERT_GE(days.size(), 1);
        for (int r = 0; r < yield->rowCount(); ++r) {
            const QJsonObject d = days[r].toObject();
            EXPECT_EQ(
                QStringList({yield->item(r, 0)->text(), yield->item(r, 1)->text(), yield->item(r, 2)->text(),
                             yield->item(r, 3)->text(), yield->item(r, 4)->text()}),
                QStringList(
                    {d[QStringLiteral("day")].toString(), QString::number(d[QStringLiteral("units")].toInt()),
                     QString::number(d[QStringLiteral("runs")].toInt()),
                     Percent(d[QStringLiteral("firstPassYield")]), Percent(d[QStringLiteral("finalYield")])}))
                << r;
        }
        auto* pareto = h.Find<QTableWidget>("StGStatPareto");
        const QJsonArray steps = all[QStringLiteral("failingSteps")].toArray();
        ASSERT_EQ(pareto->rowCount(), steps.size());
        ASSERT_GT(steps.size(), 1);
        for (int r = 0; r < pareto->rowCount(); ++r) {
            const QJsonObject s = steps[r].toObject();
            EXPECT_EQ(pareto->item(r, 0)->text(), s[QStringLiteral("name")].toString());
            EXPECT_EQ(pareto->item(r, 1)->text(), QString::number(s[QStringLiteral("count")].toInt()));
            EXPECT_EQ(pareto->item(r, 3)->text(), Percent(s[QStringLiteral("cumulative")]));
        }

        // The chosen item's figures, as `--item` gives them.
        const QString item = h.Find<QComboBox>("CBStatItem")->currentText();
        ASSERT_FALSE(item.isEmpty());
        const QJsonObject one =
            Stats(db, {QStringLiteral("--item"), item})[QStringLiteral("items")][0].toObject();
        auto* figures = h.Find<QTableWidget>("StGStatItem");
        const struct {
            int row;
            const char* key;
            int decimals;
        } rows[] = {{1, "mean", 3}, {2, "sd", 3},   {3, "min", 3}, {4, "max", 3}, {9, "sigmaWithin", 3},
                    {10, "cp", 2},  {11, "cpk", 2}, {12, "pp", 2}, {13, "ppk", 2}};
        EXPECT_EQ(figures->item(0, 1)->text(), QString::number(one[QStringLiteral("n")].toInt()));
        for (const auto& r : rows)
            EXPECT_EQ(figures->item(r.row, 1)->text(), Number(one[QLatin1String(r.key)], r.decimals))
                << r.key;

        // The largest bar: every run that failed at that step, each once.
        auto* bars =
            qobject_cast<QBarSeries*>(h.Find<QChartView>("CVStatPareto")->chart()->series().value(0));
        ASSERT_TRUE(bars && !bars->barSets().isEmpty());
        Q_EMIT bars->barSets()[0]->clicked(0);
        auto* listed = h.Find<QTableWidget>("StGStatRuns");
        EXPECT_EQ(listed->rowCount(), steps[0][QStringLiteral("count")].toInt());
        QStringList uuids;
        for (int r = 0; r < listed->rowCount(); ++r) {
            EXPECT_EQ(listed->item(r, 1)->text(), steps[0][QStringLiteral("name")].toString());
            uuids << listed->item(r, 2)->text();
        }
        uuids.removeDuplicates();
        EXPECT_EQ(uuids.size(), listed->rowCount());

        // The first histogram bin: its values, each with its own run's serial number.
        const QJsonObject bins = one[QStringLiteral("histogram")].toObject();
        const int inFirst = bins[QStringLiteral("counts")].toArray().first().toInt();
        ASSERT_GT(inFirst, 0);
        QAreaSeries* area = nullptr;
        for (QAbstractSeries* s : h.Find<QChartView>("CVStatHist")->chart()->series())
            area = area ? area : qobject_cast<QAreaSeries*>(s);
        ASSERT_TRUE(area);
        Q_EMIT area->clicked(QPointF(
            bins[QStringLiteral("start")].toDouble() + bins[QStringLiteral("width")].toDouble() / 2, 1));
        EXPECT_EQ(listed->rowCount(), std::min(inFirst, 1000));
        for (int r = 0; r < listed->rowCount(); ++r)
            EXPECT_TRUE(serials.contains(listed->item(r, 0)->text()))
                << r << listed->item(r, 0)->text().toStdString();
        QCoreApplication::processEvents();
        EXPECT_TRUE(f.grab().save(testpaths::Artefact(
            QStringLiteral("statistics-2000-%1.png").arg(QString::fromLatin1(language).toLower()))));
    }
}
