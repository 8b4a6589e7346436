#include "monitor/EventSearch.h"

#include "app/TextHelpers.h"
#include "monitor/Replay.h"

#include <algorithm>

namespace vmx::monitor {

int EventSearch::CountFrom(const QString& text)
{
    int n = 0;
    if (!app::ParseDecimal(text.trimmed(), n) || n < 1) return kDefaultCount;
    return std::min(n, MeasurementStore::kSlots);
}

int EventSearch::ThresholdFrom(const QString& text)
{
    int t = 0;
    return app::ParseDecimal(text.trimmed(), t) ? t : kDefaultThreshold;
}

void EventSearch::Scanner::Feed(int position, const MeasSample& s)
{
    if (skip_ > 0) {
        --skip_;
        return;
    }
    const int v = Value(s);
    if (inWindow_ == 0) {
        if (s.Valid == 0 || v < threshold_) return;
        // The strongest of c0 .. c0 + N - 1; the first of equal maxima. The event's own start
        // is the first candidate, so an event of zeros reports its start, not slot 0.
        bestPosition_ = position;
        bestValue_ = v;
        best_ = s;
        inWindow_ = count_;
    } else if (v > bestValue_) {
        bestPosition_ = position;
        bestValue_ = v;
        best_ = s;
    }
    if (--inWindow_ == 0) {
        hits.push_back(Hit{bestPosition_, best_.Index, best_.OUT, best_.BAvg});
        // The scan goes on at c0 + 2N + 1.
        skip_ = count_ + 1;
    }
}

void EventSearch::Scanner::Finish()
{
    if (inWindow_ > 0) hits.push_back(Hit{bestPosition_, best_.Index, best_.OUT, best_.BAvg});
    inWindow_ = 0;
    skip_ = 0;
}

std::vector<EventSearch::Hit> EventSearch::Search(const MeasurementStore& store, Criterion criterion,
                                                  int count, int threshold)
{
    Scanner scan(criterion, count, threshold);
    for (int c = 0; c <= MeasurementStore::kLastIndex; ++c)
        scan.Feed(c, store.at(c));
    scan.Finish();
    return std::move(scan.hits);
}

bool EventSearch::SearchFiles(const QStringList& files, Criterion criterion, int count, int threshold,
                              std::vector<Hit>& hits)
{
    Replay rows;
    if (!rows.Open(files, Replay::Max, 0)) return false;
    Scanner scan(criterion, count, threshold);
    Replay::Row r;
    int position = 0;
    while (rows.Next(0, r)) {
        // The index column is the recording's, which a store's Index field cannot hold past
        // its range; the row's sample keeps it as far as it goes.
        r.sample.Index = qint32(r.index);
        scan.Feed(position++, r.sample);
    }
    scan.Finish();
    hits = std::move(scan.hits);
    return !rows.readFailed() && rows.badRows() == 0;
}

std::vector<QStringList> EventSearch::Grid(const std::vector<Hit>& hits)
{
    std::vector<QStringList> g(kGridRows, QStringList(kGridColumns));
    g[0] = QStringList{QStringLiteral("Ix"),   QStringLiteral("TIx"), QStringLiteral("QVROut"),
                       QStringLiteral("BAvg"), QStringLiteral("---"), QStringLiteral("--")};
    for (size_t i = 0; i < hits.size() && i + 1 < size_t(kGridRows); ++i) {
        QStringList& r = g[i + 1];
        r[0] = QString::number(i + 1);
        r[1] = QString::number(hits[i].Index);
        r[2] = QString::number(hits[i].Out);
        r[3] = QString::number(hits[i].BAvg);
    }
    return g;
}

QString EventSearch::ClipText(const std::vector<QStringList>& grid)
{
    QString text;
    for (const QStringList& r : grid) {
        for (int c = 0; c < 4; ++c) {
            text += r.value(c);
            text += c < 3 ? QStringLiteral("\t") : QStringLiteral("\r\n");
        }
    }
    return text;
}

} // namespace vmx::monitor
