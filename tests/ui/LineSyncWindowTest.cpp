// The window with a line's server: while it is away the station's units wait in its own store,
// the status bar says how many in the window's language, and the "Historie" page reads the
// station's own store and says so; once it answers, the page shows every station's runs.
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

#include <optional>

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

TEST(LineSyncWindow, TheStatusBarCountsWhatWaitsAndThePageSaysWhoseViewItIs)
{
    const struct {
        const char* language;
        bool serverUp;
        const char* waiting; // the status bar's text; empty: hidden, nothing waits
        const char* page;
        const char* station; // of the runs the page shows
    } cases[] = {
        {"GERMAN", false, "Datenbank: 2 Einheiten warten auf den Server",
         "Seite 1 (Server nicht erreichbar: nur Station S1)", "S1"},
        {"ENGLISH", false, "Database: 2 units waiting for the server",
         "Page 1 (server not reachable: station S1's own view)", "S1"},
        {"GERMAN", true, "", "Seite 1", "S2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language + std::string(c.serverUp ? " up" : " away"));
        std::optional<vmx::testing::PgServer> pg;
        QString url = QStringLiteral("postgresql://station@%2Fnonexistent-vmx-line:5432/line");
        Harness h;
        if (c.serverUp) {
            // Another station's runs are on the line's server; this station has none.
            pg.emplace();
            VMX_NEED_PG(*pg);
            ASSERT_TRUE(pg->Psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE line")));
            url = pg->Url(QStringLiteral("line"));
            QTemporaryDir other;
            auto s2 = TwoRuns(other.path(), "S2");
            ASSERT_TRUE(s2 && history::SqlHistoryStore::Open(
                                  url, QString(), QStringLiteral("S2"), QStringLiteral("h"),
                                  history::SqlHistoryStore::Schema::Latest, nullptr));
            ASSERT_EQ(history::HistorySync(*s2, url).Push().pushed, 2);
        } else {
            ASSERT_TRUE(TwoRuns(h.dir.path(), "S1"));
        }
        h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=%1\n[DATABASE]\nURL=%2\nSTATION=S1\n")
                       .arg(QLatin1String(c.language), url));
        h.Start();
        QLabel* waiting = h.Find<QLabel>("SBarSync");
        if (*c.waiting) {
            Until([&] { return !waiting->text().isEmpty(); });
            EXPECT_EQ(waiting->text(), QLatin1String(c.waiting));
            EXPECT_FALSE(waiting->isHidden());
        }
        h.Find<QLineEdit>("EHistSN")->setText(QStringLiteral("2000"));
        h.Find<QPushButton>("BTHistSearch")->click();
        auto* runs = h.Find<QTableWidget>("StGHistRuns");
        auto* steps = h.Find<QTableWidget>("StGHistSteps");
        Until([&] { return steps->rowCount() > 0; });
        EXPECT_EQ(h.Find<QLabel>("LHistPage")->text(), QLatin1String(c.page));
        ASSERT_EQ(runs->rowCount(), 2);
        for (int r = 0; r < 2; ++r)
            EXPECT_EQ(runs->item(r, 0)->text(), QLatin1String(c.station));
        ASSERT_EQ(steps->rowCount(), 1);
        EXPECT_EQ(steps->item(0, 3)->text(), QStringLiteral("Ampl Test 1 --> okay"));
        if (!*c.waiting) {
            EXPECT_TRUE(waiting->isHidden());
        }
    }
}
