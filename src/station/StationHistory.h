#pragma once
// The station's side of the unit history: it opens the database, hands it each unit's run, step
// attempts and end as the run controller reports them, and each service action of the station.

#include "history/HistoryReader.h"
#include "history/HistorySyncWorker.h"
#include "history/SqlHistoryStore.h"
#include "prodtest/RunLog.h"

#include <QString>

#include <map>
#include <memory>

namespace vmx::app {
class Session;
}
namespace vmx::prodtest {
class TestDefinitions;
class TestResults;
class OperatorPanel;
} // namespace vmx::prodtest

namespace vmx::station {

class StationHistory final : public prodtest::RunLog {
public:
    StationHistory(app::Session& session, prodtest::TestDefinitions& definitions,
                   prodtest::TestResults& results);

    // Opens the history of `url` (empty: the default in `dataDir`) as station `name` (empty: the
    // host name). This station's runs left running by a kill become aborted, and the log says
    // how many. False with the reason when the database cannot be opened.
    bool Open(const QString& url, const QString& dataDir, const QString& name, QString* why);
    void Close()
    {
        reader_.reset();
        sync_.reset();
        store_.reset();
    }
    // The line's server the station's store is pushed to; empty when it has none.
    const QString& serverUrl() const { return serverUrl_; }
    // The window's sync to the line's server on a thread of its own, kicked after each unit's
    // end and each service event; null without a server. vmxctl syncs in its own commands.
    history::HistorySyncWorker* StartSync();
    // The window's reads with a line's server, on a thread of their own (the server when it
    // answers, else this store); null without a server.
    history::HistoryReader* Reader();
    // Null while no history is open: the program then keeps units in its record files only.
    history::SqlHistoryStore* store() { return store_.get(); }

    prodtest::OperatorPanel* panel = nullptr;

    // A service action: time, station and UUID are filled in here. False (and a red text) when
    // the history did not take it.
    bool Record(history::ServiceEvent event);
    // The serial number of the sensor on the station as the history keys it, and its type key.
    QString SensorSerial() const;
    QString SensorTypeKey() const;

    bool UnitStarted(QString* why) override;
    bool StepEnded(const prodtest::StepReport& step, QString* why) override;
    bool UnitEnded(bool aborted, QString* why) override;

    // The measured item's limits for the history (none: nullopt).
    std::pair<std::optional<double>, std::optional<double>> Limits(const QString& item) const;

private:
    app::Session& session_;
    prodtest::TestDefinitions& defs_;
    prodtest::TestResults& results_;
    std::unique_ptr<history::SqlHistoryStore> store_;
    std::unique_ptr<history::HistorySyncWorker> sync_;
    std::unique_ptr<history::HistoryReader> reader_;
    QString localUrl_, dataDir_;
    QString runUuid_, serverUrl_;
    std::map<int, int> attempts_; // step -> attempts so far in the run
};

} // namespace vmx::station
