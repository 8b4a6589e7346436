#include "history/HistoryReader.h"

#include "history/Schema.h"
#include "history/SqlHistoryStore.h"

#include <QSysInfo>

namespace vmx::history {

struct HistoryReader::State {
    QString localUrl, dataDir, station, serverUrl;
    std::unique_ptr<SqlHistoryStore> local, line;

    // The line's server, opened again after it failed; null with the reason when it does not answer.
    SqlHistoryStore* Line(QString* why)
    {
        if (!line) {
            line = SqlHistoryStore::Open(serverUrl, dataDir, station, QSysInfo::machineHostName(),
                                         SqlHistoryStore::Schema::AsIs, why);
            if (line && line->schemaVersion() != SchemaVersionLatest()) {
                *why = QStringLiteral("%1 is at schema %2")
                           .arg(serverUrl, QString::number(line->schemaVersion()));
                line.reset();
            }
        }
        return line.get();
    }
    SqlHistoryStore* Local(QString* why)
    {
        if (!local)
            local = SqlHistoryStore::Open(localUrl, dataDir, station, QSysInfo::machineHostName(),
                                          SqlHistoryStore::Schema::AsIs, why);
        return local.get();
    }
    // A read on the server, or on the station's store when the server fails it.
    template <class Read> auto Either(bool ownView, Read read, bool* usedOwn, QString* why)
    {
        if (!ownView) {
            if (SqlHistoryStore* s = Line(why)) {
                auto rows = read(*s);
                if (s->lastError().isEmpty()) return *usedOwn = false, rows;
                *why = s->lastError();
                line.reset(); // gone away: the next read opens it again
            }
        }
        *usedOwn = true;
        QString own;
        if (SqlHistoryStore* s = Local(&own)) {
            auto rows = read(*s);
            if (!s->lastError().isEmpty()) *why = s->lastError();
            return rows;
        }
        *why = own;
        return decltype(read(*local)){};
    }
};

HistoryReader::HistoryReader(const QString& localUrl, const QString& dataDir, const QString& station,
                             const QString& serverUrl)
    : worker_(new QObject), state_(std::make_shared<State>())
{
    state_->localUrl = localUrl;
    state_->dataDir = dataDir;
    state_->station = station;
    state_->serverUrl = serverUrl;
    worker_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("history-reader"));
    thread_.start();
}

HistoryReader::~HistoryReader()
{
    // The connections close on the thread that opened them, after any read still running.
    QMetaObject::invokeMethod(
        worker_,
        [s = state_] {
            s->line.reset();
            s->local.reset();
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void HistoryReader::Search(const Filter& filter, int limit, int offset, std::function<void(Page)> done)
{
    QMetaObject::invokeMethod(worker_, [this, s = state_, filter, limit, offset, done = std::move(done)] {
        Page p;
        p.runs = s->Either(
            false, [&](SqlHistoryStore& store) { return store.Runs(filter, limit, offset); }, &p.ownView,
            &p.why);
        // Queued to the reader's own thread: dropped with the reader if it is gone by then.
        QMetaObject::invokeMethod(this, [done, p = std::move(p)] { done(p); });
    });
}

void HistoryReader::Read(const RunRow& run, bool ownView, std::function<void(Details)> done)
{
    QMetaObject::invokeMethod(worker_, [this, s = state_, run, ownView, done = std::move(done)] {
        Details d;
        bool own = false;
        QString why;
        d.steps = s->Either(
            ownView, [&](SqlHistoryStore& store) { return store.Steps(run.start.uuid); }, &own, &why);
        d.events = s->Either(
            ownView || own,
            [&](SqlHistoryStore& store) { return store.Events(run.start.serial, run.start.sensorType); },
            &own, &why);
        QMetaObject::invokeMethod(this, [done, d = std::move(d)] { done(d); });
    });
}

} // namespace vmx::history
