// The window with a line's server: while it is away the station's units wait in its own store,
// the status bar says how many in the window's language, and the "Historie" page reads the
// station's own store and says so; once it is back the sync's worker pushes them by itself and
// the page shows every station's runs.
#include "UiHarness.h"
#include "history/HandMadeRuns.h"
#include "history/HistorySync.h"
#include "history/PgServer.h"
#include "history/SqlHistoryStore.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace vmx;
using namespace vmx::ui::test;

namespace {

// Two finished runs of unit 2000 in the store of station `station` in `folder`.
std::unique_ptr<history::SqlHistoryStore> TwoRuns(const QString& folder, const char* station)
{
    auto store = history::SqlHistoryStore::Open(QStringLiteral("sqlite:history.db"), folder,
                                                QLatin1String(station), QStringLiteral("h"),
                                                history::SqlHistoryStore::Schema::Latest, nullptr);
    for (const char* start : {"2026-03-01T08:00:00", "2026-03-01T09:00:00"})
        if (store) vmx::testing::Add(*store, {"2000", "Ampl", station, "B", start, "okay"});
    return store;
}

// Serves events until `done` or a bound for a broken worker (not a measure).
template <class Done> void Until(Done done)
{
    const QDeadlineTimer bound(30000);
    while (!done() && !bound.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace

TEST(LineSyncWindow, WhatWaitsIsCountedUntilTheServerIsBackAndThePageSaysWhoseViewItIs)
{
    vmx::testing::PgServer pg;
    VMX_NEED_PG(pg);
    ASSERT_TRUE(pg.Psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE line")));
    const QString url = pg.Url(QStringLiteral("line"));
    {
        // Another station's runs are on the line's server already.
        QTemporaryDir other;
        auto s2 = TwoRuns(other.path(), "S2");
        ASSERT_TRUE(s2 &&
                    history::SqlHistoryStore::Open(url, QString(), QStringLiteral("S2"), QStringLiteral("h"),
                                                   history::SqlHistoryStore::Schema::Latest, nullptr));
        ASSERT_EQ(history::HistorySync(*s2, url).Push().pushed, 2);
    }
    const struct {
        const char* language;
        const char* waiting;
        const char* ownPage;
        const char* linePage;
    } cases[] = {
        {"GERMAN", "Datenbank: 2 Einheiten warten auf den Server",
         "Seite 1 (Server nicht erreichbar: nur Station S1)", "Seite 1"},
        {"ENGLISH", "Database: 2 units waiting for the server",
         "Page 1 (server not reachable: station S1's own view)", "Page 1"},
    };
    int onServer = 2;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        Harness h;
        ASSERT_TRUE(TwoRuns(h.dir.path(), "S1"));
        ASSERT_TRUE(pg.Stop()) << pg.error().toStdString();
        h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=%1\n[DATABASE]\nURL=%2\nSTATION=S1\n")
                       .arg(QLatin1String(c.language), url));
        h.Start();
        QLabel* waiting = h.Find<QLabel>("SBarSync");
        Until([&] { return !waiting->text().isEmpty(); });
        EXPECT_EQ(waiting->text(), QLatin1String(c.waiting));
        EXPECT_FALSE(waiting->isHidden());
        // The page's stations and the text of its first run's step, once read.
        auto search = [&] {
            auto* label = h.Find<QLabel>("LHistPage");
            auto* runs = h.Find<QTableWidget>("StGHistRuns");
            auto* steps = h.Find<QTableWidget>("StGHistSteps");
            h.Find<QLineEdit>("EHistSN")->setText(QStringLiteral("2000"));
            h.Find<QPushButton>("BTHistSearch")->click();
            Until([&] { return !label->text().endsWith(QStringLiteral("…")) && steps->rowCount() > 0; });
            QStringList seen{label->text()};
            for (int r = 0; r < runs->rowCount(); ++r)
                seen << runs->item(r, 0)->text();
            seen << (steps->rowCount() == 1 ? steps->item(0, 3)->text() : QString());
            return seen;
        };
        const QString step = QStringLiteral("Ampl Test 1 --> okay");
        EXPECT_EQ(search(), (QStringList{QLatin1String(c.ownPage), "S1", "S1", step}));

        // The server back: the worker's next try pushes what waits, the status bar goes, and
        // the page shows every station.
        ASSERT_TRUE(pg.Start()) << pg.error().toStdString();
        Until([&] { return waiting->isHidden(); });
        EXPECT_TRUE(waiting->isHidden()) << waiting->text().toStdString();
        onServer += 2;
        const QStringList line = search();
        EXPECT_EQ(line.value(0), QLatin1String(c.linePage));
        EXPECT_EQ(line.size(), onServer + 2);
        EXPECT_EQ(line.filter(QStringLiteral("S2")).size(), 2);
        EXPECT_EQ(line.last(), step);
    }
}
