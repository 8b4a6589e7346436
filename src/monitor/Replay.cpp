#include "monitor/Replay.h"

#include "app/InputFile.h"
#include "app/TextHelpers.h"

#include <QDateTime>

namespace vmx::monitor {

namespace {

// A recording file can be far larger than an import takes: it is read line by line.
constexpr qint64 kMaxRecordingFile = qint64(1) << 40;
constexpr int kHeaderLines = 10;

bool Number(QStringView cell, int base, qint64 max, qint64& v)
{
    bool ok = false;
    v = cell.trimmed().toLongLong(&ok, base);
    return ok && v >= 0 && v <= max;
}

} // namespace

Replay::Replay() = default;
Replay::~Replay() = default;

bool Replay::ParseRow(const QString& line, qint64& index, MeasSample& s, bool& shortRow)
{
    const QList<QStringView> c = QStringView(line).split(u'\t');
    // 16 cells, each followed by a tab.
    if (c.size() < 17) return false;
    s = EmptySample();
    s.Signal = -1;
    qint64 v = 0;
    if (!Number(c[0], 10, qint64(1) << 52, index)) return false;
    // Most rows share the date and time of the row before: parsed once for all of them.
    thread_local QString lastDate, lastTime;
    thread_local double lastValue = -1;
    const QStringView dateCell = c[1].trimmed(), timeCell = c[2].trimmed();
    if (lastValue < 0 || dateCell != lastDate || timeCell != lastTime) {
        const QDate d = QDate::fromString(dateCell.toString(), QStringLiteral("dd.MM.yyyy"));
        const QTime t = QTime::fromString(timeCell.toString(), QStringLiteral("hh:mm:ss"));
        if (!d.isValid() || !t.isValid()) return false;
        lastDate = dateCell.toString();
        lastTime = timeCell.toString();
        lastValue = ToSampleTime(QDateTime(d, t));
    }
    s.Time = lastValue;
    if (!Number(c[3], 10, 255, v)) return false;
    s.OUT = quint8(v);
    s.Valid = 1;
    shortRow = c[4].trimmed().isEmpty();
    if (shortRow) return true;
    qint64 f[7];
    const qint64 maxes[7] = {65535, 65535, 65535, 255, 255, 255, 255};
    for (int i = 0; i < 7; ++i)
        if (!Number(c[4 + i], 10, maxes[i], f[i])) return false;
    qint64 h[5];
    const qint64 hmax[5] = {255, 255, 255, 65535, 255};
    for (int i = 0; i < 5; ++i)
        if (!Number(c[11 + i], 16, hmax[i], h[i])) return false;
    s.Zero = quint16(f[0]);
    s.ADC = quint16(f[1]);
    s.Lin = quint16(f[2]);
    s.Ampl = quint8(f[3]);
    s.AMax = quint8(f[4]);
    s.Gain = quint8(f[5]);
    s.BAvg = quint8(f[6]);
    s.Alarm = quint8(h[0]);
    s.Flags = quint8(h[1]);
    s.Error = quint8(h[2]);
    s.Test = quint16(h[3]);
    s.Version = quint8(h[4]);
    s.Signal = s.Error == 0 ? qint32(s.AMax) - 100 * qint32(s.Gain) + 400 : -1;
    return true;
}

bool Replay::Open(const QStringList& files, int speed, qint64 nowUs)
{
    Close();
    files_ = files;
    speed_ = speed;
    startUs_ = nowUs;
    if (files_.isEmpty() || !OpenFile(0)) return false;
    active_ = true;
    return true;
}

void Replay::Close()
{
    active_ = false;
    eof_ = false;
    readFailed_ = false;
    reader_.reset();
    file_.reset();
    fileAt_ = -1;
    firstSecond_ = -1;
    queue_.clear();
    group_.clear();
    rowsRead_ = 0;
    badRows_ = 0;
}

bool Replay::OpenFile(int i)
{
    reader_.reset();
    file_ = std::make_unique<QFile>(files_[i]);
    if (app::OpenInputFile(*file_, kMaxRecordingFile) != app::InputStatus::Ok) {
        file_.reset();
        return false;
    }
    reader_ = std::make_unique<app::LineReader>(*file_, app::TextEncoding::Latin1);
    fileAt_ = i;
    lineNo_ = 0;
    return true;
}

bool Replay::ReadLine(QString& line)
{
    while (reader_) {
        if (reader_->Next(line)) {
            if (++lineNo_ <= kHeaderLines) continue;
            return true;
        }
        if (reader_->Failed()) readFailed_ = true;
        // The next file of the recording; one that cannot be read ends the replay there.
        if (fileAt_ + 1 >= files_.size() || !OpenFile(fileAt_ + 1)) {
            if (fileAt_ + 1 < files_.size()) readFailed_ = true;
            reader_.reset();
        }
    }
    return false;
}

void Replay::Fill()
{
    QString line;
    auto secondOf = [](const Row& r) { return qint64(r.sample.Time * 86400.0 + 0.5); };
    auto timeGroup = [this, &secondOf] {
        // The rows of one second spread evenly over it, at the chosen speed.
        const qint64 n = qint64(group_.size());
        for (qint64 k = 0; k < n; ++k) {
            Row r = group_[size_t(k)];
            const qint64 atUs = (secondOf(r) - firstSecond_) * 1000000 + k * 1000000 / n;
            r.dueUs = speed_ == Max ? 0 : startUs_ + atUs / speed_;
            queue_.push_back(r);
        }
        group_.clear();
    };
    while (!eof_ && queue_.empty()) {
        if (!ReadLine(line)) {
            eof_ = true;
            timeGroup();
            break;
        }
        Row r{};
        if (!ParseRow(line, r.index, r.sample, r.shortRow)) {
            ++badRows_;
            continue;
        }
        ++rowsRead_;
        if (firstSecond_ < 0) firstSecond_ = secondOf(r);
        if (!group_.empty() && secondOf(group_.front()) != secondOf(r)) timeGroup();
        group_.push_back(r);
    }
}

bool Replay::Next(qint64 nowUs, Row& row)
{
    if (!active_) return false;
    if (queue_.empty()) Fill();
    if (queue_.empty()) return false;
    if (queue_.front().dueUs > nowUs) return false;
    row = queue_.front();
    queue_.pop_front();
    return true;
}

} // namespace vmx::monitor
