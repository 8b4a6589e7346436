// The window with a line's server: while it is away the station's units wait in its own store,
// the status bar says how many in the window's language, and the "Historie" page reads the
// station's own store and says so; once it answers, the page shows every station's runs.
#include "UiHarness.h"
#include "history/HistorySync.h"
#include "history/PgServer.h"
#include "history/SqlHistoryStore.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUuid>

#include <optional>

using namespace vmx;
using namespace vmx::ui::test;

namespace {

// Two finished runs of unit `serial` in the store of station `station` in `folder`.
void AddRuns(const QString& folder, const char* station, const char* serial)
{
    QString why;
    auto store =
        history::SqlHistoryStore::Open(QStringLiteral("sqlite:history.db"), folder, QLatin1String(station),
                                       QStringLiteral("h"), history::SqlHistoryStore::Schema::Latest, &why);
    ASSERT_TRUE(store) << why.toStdString();
    for (int i = 0; i < 2; ++i) {
        history::RunStart r;
        r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        r.serial = QLatin1String(serial);
        r.sensorType = QStringLiteral("5028143");
        r.started = QDateTime::currentDateTimeUtc().addSecs(i);
        ASSERT_TRUE(store->BeginRun(r));
        history::StepAttempt a;
        a.runUuid = r.uuid;
        a.step = 1;
        a.routine = QStringLiteral("GetSN");
        a.started = r.started;
        a.texts = {{QStringLiteral("blue"), QStringLiteral("SN okay")}};
        ASSERT_TRUE(store->AddStepAttempt(a));
        ASSERT_TRUE(store->EndRun(
            {r.uuid, history::RunState::Done, QStringLiteral("okay"), QString(), r.started.addSecs(30)}));
    }
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
            pg.emplace();
            VMX_NEED_PG(*pg);
            // Another station's runs are on the line's server; this station's are its own.
            ASSERT_TRUE(pg->Psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE line")));
            url = pg->Url(QStringLiteral("line"));
            QTemporaryDir other;
            AddRuns(other.path(), "S2", "2000");
            auto s2 = history::SqlHistoryStore::Open(QStringLiteral("sqlite:history.db"), other.path(),
                                                     QStringLiteral("S2"), QStringLiteral("h"),
                                                     history::SqlHistoryStore::Schema::Latest, nullptr);
            ASSERT_TRUE(s2);
            history::SqlHistoryStore::Open(url, QString(), QStringLiteral("S2"), QStringLiteral("h"),
                                           history::SqlHistoryStore::Schema::Latest, nullptr);
            ASSERT_EQ(history::HistorySync(*s2, url).Push().pushed, 2);
        } else {
            AddRuns(h.dir.path(), "S1", "2000");
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
        EXPECT_EQ(steps->item(0, 3)->text(), QStringLiteral("SN okay"));
        if (!*c.waiting) {
            EXPECT_TRUE(waiting->isHidden());
        }
    }
}
