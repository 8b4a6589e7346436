#include "monitor/EventSearch.h"

#include "app/TextHelpers.h"

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

std::vector<EventSearch::Hit> EventSearch::Search(const MeasurementStore& store, Criterion criterion,
                                                  int count, int threshold)
{
    auto value = [&](int c) {
        const MeasSample& s = store.at(c);
        return int(criterion == Criterion::QVROut ? s.OUT : s.BAvg);
    };
    std::vector<Hit> hits;
    const int last = MeasurementStore::kLastIndex;
    int c = 0;
    while (c <= last) {
        if (store.at(c).Valid == 0 || value(c) < threshold) {
            ++c;
            continue;
        }
        // The strongest of c0 .. c0 + N - 1; the first of equal maxima. The event's own start
        // is the first candidate, so an event of zeros reports its start, not slot 0.
        const int c0 = c;
        int best = c0;
        int bestValue = value(c0);
        for (int k = c0 + 1; k <= std::min(last, c0 + count - 1); ++k) {
            if (value(k) > bestValue) {
                best = k;
                bestValue = value(k);
            }
        }
        const MeasSample& s = store.at(best);
        hits.push_back(Hit{best, s.Index, s.OUT, s.BAvg});
        c = c0 + 2 * count + 1;
    }
    return hits;
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
