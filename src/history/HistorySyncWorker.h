#pragma once
// The sync on a thread of its own, so the window never waits for the network: it keeps its own
// connections to the station's store and to the line's server, pushes when kicked (a unit or a
// service event ended) and, while anything waits, tries again after a growing pause. What waits
// comes back by a queued signal.

#include <QObject>
#include <QString>
#include <QThread>

namespace vmx::history {

class SyncPusher;

class HistorySyncWorker final : public QObject {
    Q_OBJECT
public:
    // `localUrl`/`dataDir`: the station's own store as it opened it; `serverUrl`: the line's.
    HistorySyncWorker(const QString& localUrl, const QString& dataDir, const QString& station,
                      const QString& serverUrl);
    ~HistorySyncWorker() override;
    HistorySyncWorker(const HistorySyncWorker&) = delete;
    HistorySyncWorker& operator=(const HistorySyncWorker&) = delete;

    // Push now (returns at once; the push runs on the worker's thread).
    void Kick();

Q_SIGNALS:
    // After each try: runs and events still waiting (-1: the station's store could not be read)
    // and why the last try stopped (empty when nothing is left).
    void waitingChanged(int waiting, const QString& error);

private:
    QThread thread_;
    SyncPusher* pusher_;
};

// The worker thread's side; used by HistorySyncWorker only.
class SyncPusher final : public QObject {
    Q_OBJECT
public:
    SyncPusher(QString localUrl, QString dataDir, QString station, QString serverUrl);
    ~SyncPusher() override;

public Q_SLOTS:
    void Push();

Q_SIGNALS:
    void waitingChanged(int waiting, const QString& error);

private:
    struct State;
    State* state_;
};

} // namespace vmx::history
