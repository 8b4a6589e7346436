// The window with a line's server that is away: the station's units wait in its own store, and
// the status bar says how many, in the window's language.
#include "UiHarness.h"
#include "history/SqlHistoryStore.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QUuid>

using namespace vmx;
using namespace vmx::ui::test;

TEST(LineSyncWindow, TheStatusBarCountsWhatWaitsForTheServer)
{
    const struct {
        const char* language;
        const char* text;
    } cases[] = {{"GERMAN", "Datenbank: 2 Einheiten warten auf den Server"},
                 {"ENGLISH", "Database: 2 units waiting for the server"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        Harness h;
        {
            QString why;
            auto local = history::SqlHistoryStore::Open(QStringLiteral("sqlite:history.db"), h.dir.path(),
                                                        QStringLiteral("S1"), QStringLiteral("h"),
                                                        history::SqlHistoryStore::Schema::Latest, &why);
            ASSERT_TRUE(local) << why.toStdString();
            for (int i = 0; i < 2; ++i) {
                history::RunStart r;
                r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
                r.serial = QStringLiteral("1000");
                r.sensorType = QStringLiteral("5028143");
                r.started = QDateTime::currentDateTimeUtc();
                ASSERT_TRUE(local->BeginRun(r));
                ASSERT_TRUE(local->EndRun({r.uuid, history::RunState::Done, QStringLiteral("okay"), QString(),
                                           r.started.addSecs(30)}));
            }
        }
        // A socket folder that does not exist: the server is away.
        h.WriteIni(QStringLiteral("[SETTINGS]\nLANGUAGE=%1\n[DATABASE]\nURL=postgresql://station@"
                                  "%2Fnonexistent-vmx-line:5432/line\nSTATION=S1\n")
                       .arg(QLatin1String(c.language)));
        h.Start();
        QLabel* waiting = h.Find<QLabel>("SBarSync");
        const QDeadlineTimer bound(30000); // for a broken worker, not a measure
        while (waiting->text().isEmpty() && !bound.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(waiting->text(), QLatin1String(c.text));
        EXPECT_FALSE(waiting->isHidden());
    }
}
