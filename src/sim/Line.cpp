#include "sim/Line.h"

namespace vmx::sim {

void TxLine::Send(const QByteArray& bytes, qint64 earliestUs)
{
    for (char c : bytes) {
        Send(quint8(c), earliestUs);
    }
}

void TxLine::Send(quint8 byte, qint64 earliestUs)
{
    if (earliestUs > FreeUs()) {
        runStart_ = earliestUs;
        runCount_ = 0;
    }
    ++runCount_;
    q.push_back(TimedByte{FreeUs(), byte});
    // Keep the run's numbers small; the times stay exact to the microsecond.
    if (runCount_ >= proto::kBytesPerSecond * 60) {
        runStart_ = FreeUs();
        runCount_ = 0;
    }
}

qint64 TxLine::FreeAfterUs(qint64 count, qint64 earliestUs) const
{
    if (earliestUs > FreeUs()) return earliestUs + proto::BytesToUs(count);
    return runStart_ + proto::BytesToUs(runCount_ + count);
}

QString UnitName(Unit u)
{
    switch (u) {
    case Unit::Sensor:
        return QStringLiteral("sensor");
    case Unit::BootLoader:
        return QStringLiteral("boot");
    case Unit::TestModule:
        return QStringLiteral("module");
    }
    return QString();
}

QString FormatTrace(const TraceEntry& e)
{
    QString hex;
    for (char c : e.bytes)
        hex += QString::asprintf("%02X ", quint8(c));
    return QStringLiteral("%1 %2 %3 %4 %5%6")
        .arg(double(e.tUs) / 1e6, 0, 'f', 6)
        .arg(e.dir == Dir::In ? QStringLiteral("in ") : QStringLiteral("out"))
        .arg(UnitName(e.unit), -6)
        .arg(hex.trimmed())
        .arg(e.ok ? QStringLiteral("ok") : QStringLiteral("REJECTED"))
        .arg(e.note.isEmpty() ? QString() : QStringLiteral(" (") + e.note + QLatin1Char(')'));
}

void Trace::Add(TraceEntry e)
{
    if (!enabled) return;
    if (onEntry) onEntry(e);
    if (entries_.size() >= limit) entries_.erase(entries_.begin(), entries_.begin() + long(limit / 2));
    entries_.push_back(std::move(e));
}

std::vector<TraceEntry> Trace::Of(Dir dir, Unit unit) const
{
    std::vector<TraceEntry> r;
    for (const TraceEntry& e : entries_)
        if (e.dir == dir && e.unit == unit) r.push_back(e);
    return r;
}

int Trace::CountIn(quint8 command, Unit unit) const
{
    int n = 0;
    for (const TraceEntry& e : entries_) {
        if (e.dir != Dir::In || e.unit != unit || !e.ok) continue;
        const int at = e.bytes.size() >= proto::kMinFrameLength && quint8(e.bytes[0]) == 0xF1 ? 3 : 0;
        if (e.bytes.size() > at && quint8(e.bytes[at]) == command) ++n;
    }
    return n;
}

} // namespace vmx::sim
