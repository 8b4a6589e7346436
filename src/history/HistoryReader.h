#pragma once
// The window's reads of the history with a line's server, on a thread of their own so that a slow
// or away server never holds the window: the server when it answers (every station's runs), else
// the station's own store, and the answer says which. Answers come back on the thread that owns
// the reader, through its event loop.

#include "history/HistoryRecords.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace vmx::history {

class HistoryReader final : public QObject {
public:
    struct Page {
        std::vector<RunRow> runs;
        bool ownView = false; // read from the station's own store: the server did not answer
        QString why;          // why the server was not read, or why nothing could be read
    };
    struct Details {
        std::vector<StepAttempt> steps;
        std::vector<ServiceEvent> events;
    };

    // `localUrl`/`dataDir`: the station's own store as it opened it; `serverUrl`: the line's.
    HistoryReader(const QString& localUrl, const QString& dataDir, const QString& station,
                  const QString& serverUrl);
    ~HistoryReader() override;
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // One page of the runs a filter finds, newest first.
    void Search(const Filter& filter, int limit, int offset, std::function<void(Page)> done);
    // A run's attempts and its unit's service events, from where the page came from.
    void Read(const RunRow& run, bool ownView, std::function<void(Details)> done);

private:
    struct State;
    QThread thread_;
    QObject* worker_;              // lives on thread_
    std::shared_ptr<State> state_; // touched on thread_ only
};

} // namespace vmx::history
