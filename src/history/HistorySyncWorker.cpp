#include "history/HistorySyncWorker.h"

#include "history/HistorySync.h"

#include <QSysInfo>
#include <QTimer>

namespace vmx::history {

struct SyncPusher::State {
    QString localUrl, dataDir, station, serverUrl;
    std::unique_ptr<SqlHistoryStore> local;
    std::unique_ptr<HistorySync> sync;
    RetryPause pause;
    QTimer* retry = nullptr; // a child of the pusher, so it moves to the worker's thread with it
};

SyncPusher::SyncPusher(QString localUrl, QString dataDir, QString station, QString serverUrl)
    : state_(new State)
{
    state_->localUrl = std::move(localUrl);
    state_->dataDir = std::move(dataDir);
    state_->station = std::move(station);
    state_->serverUrl = std::move(serverUrl);
    state_->retry = new QTimer(this);
    state_->retry->setSingleShot(true);
    connect(state_->retry, &QTimer::timeout, this, &SyncPusher::Push);
}

SyncPusher::~SyncPusher()
{
    // The connections close on the thread that opened them.
    state_->sync.reset();
    state_->local.reset();
    delete state_;
}

void SyncPusher::Push()
{
    State& s = *state_;
    s.retry->stop();
    QString why;
    if (!s.local) {
        // Its own connection to the station's store: SQLite's WAL lets it read while the
        // station writes.
        s.local = SqlHistoryStore::Open(s.localUrl, s.dataDir, s.station, QSysInfo::machineHostName(),
                                        SqlHistoryStore::Schema::AsIs, &why);
        if (s.local) s.sync = std::make_unique<HistorySync>(*s.local, s.serverUrl);
    }
    SyncResult r;
    if (s.sync)
        r = s.sync->Push();
    else {
        r.waiting = -1;
        r.error = why;
    }
    Q_EMIT waitingChanged(r.waiting, r.error);
    if (r.waiting == 0) {
        s.pause.Reset();
        return;
    }
    s.retry->start(s.pause.Next());
}

HistorySyncWorker::HistorySyncWorker(const QString& localUrl, const QString& dataDir, const QString& station,
                                     const QString& serverUrl)
    : pusher_(new SyncPusher(localUrl, dataDir, station, serverUrl))
{
    pusher_->moveToThread(&thread_);
    connect(pusher_, &SyncPusher::waitingChanged, this, &HistorySyncWorker::waitingChanged,
            Qt::QueuedConnection);
    thread_.setObjectName(QStringLiteral("history-sync"));
    thread_.start();
}

HistorySyncWorker::~HistorySyncWorker()
{
    SyncPusher* p = pusher_;
    QMetaObject::invokeMethod(
        p, [p] { delete p; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void HistorySyncWorker::Kick()
{
    QMetaObject::invokeMethod(pusher_, &SyncPusher::Push, Qt::QueuedConnection);
}

} // namespace vmx::history
