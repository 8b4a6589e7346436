#include "monitor/RecordingIndex.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vmx::monitor {

namespace {

constexpr size_t kCachedBlocks = 2048;

// Cell c of a tab-separated line, without the blanks around it.
struct Cells {
    std::array<const char*, 16> at{};
    std::array<int, 16> size{};
    int count = 0;
};

void Split(const char* p, const char* end, Cells& c)
{
    c.count = 0;
    while (p < end && c.count < 16) {
        const char* tab = static_cast<const char*>(std::memchr(p, '\t', size_t(end - p)));
        const char* e = tab ? tab : end;
        const char* a = p;
        const char* b = e;
        while (a < b && *a == ' ')
            ++a;
        while (b > a && (b[-1] == ' ' || b[-1] == '\r' || b[-1] == '\n'))
            --b;
        c.at[size_t(c.count)] = a;
        c.size[size_t(c.count)] = int(b - a);
        ++c.count;
        if (!tab) break;
        p = tab + 1;
    }
}

bool Number(const Cells& c, int i, int base, std::int64_t& v)
{
    if (i >= c.count || c.size[size_t(i)] == 0) return false;
    const char* p = c.at[size_t(i)];
    const char* e = p + c.size[size_t(i)];
    bool neg = false;
    if (*p == '-') {
        neg = true;
        ++p;
    }
    if (p == e) return false;
    std::int64_t n = 0;
    for (; p < e; ++p) {
        int d;
        if (*p >= '0' && *p <= '9')
            d = *p - '0';
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            d = *p - 'A' + 10;
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            d = *p - 'a' + 10;
        else
            return false;
        if (n > (std::int64_t(1) << 56)) return false;
        n = n * base + d;
    }
    v = neg ? -n : n;
    return true;
}

quint8 Byte(const Cells& c, int i, int base = 10)
{
    std::int64_t v = 0;
    if (!Number(c, i, base, v)) return 0;
    return quint8(std::clamp<std::int64_t>(v, 0, 255));
}

// "dd.MM.yyyy" and "hh:mm:ss" as days since 30.12.1899.
double DayTime(const Cells& c)
{
    if (c.count < 3 || c.size[1] != 10 || c.size[2] != 8) return 0;
    auto two = [](const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); };
    const char* d = c.at[1];
    const char* t = c.at[2];
    const QDate date(two(d + 6) * 100 + two(d + 8), two(d + 3), two(d));
    if (!date.isValid()) return 0;
    static const QDate epoch(1899, 12, 30);
    const int secs = two(t) * 3600 + two(t + 3) * 60 + two(t + 6);
    return double(epoch.daysTo(date)) + double(secs) / 86400.0;
}

} // namespace

bool RecordingIndex::ParseRow(const QByteArray& line, RecordedSample& out)
{
    Cells c;
    Split(line.constData(), line.constData() + line.size(), c);
    std::int64_t ix = 0;
    if (!Number(c, 0, 10, ix)) return false;
    out.index = ix;
    MeasSample& s = out.sample;
    s = EmptySample();
    s.Index = qint32(ix);
    s.Valid = 1;
    s.Time = DayTime(c);
    s.OUT = Byte(c, 3);
    s.Ampl = Byte(c, 7);
    s.AMax = Byte(c, 8);
    s.Gain = Byte(c, 9);
    s.BAvg = Byte(c, 10);
    s.Alarm = Byte(c, 11, 16);
    s.Error = Byte(c, 13, 16);
    s.Signal = c.count > 13 && s.Error == 0 ? qint32(s.AMax) - 100 * qint32(s.Gain) + 400 : -1;
    return true;
}

std::pair<QString, QString> RecordingIndex::InfoOf(const QString& file)
{
    QString p = file;
    if (p.endsWith(QStringLiteral(".txt"))) p.chop(4);
    QFile f(p + QStringLiteral(".info"));
    std::pair<QString, QString> out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.startsWith("recording="))
            out.first = QString::fromUtf8(line.mid(10));
        else if (line.startsWith("recording_start="))
            out.second = QString::fromUtf8(line.mid(16));
    }
    return out;
}

bool RecordingIndex::Open(const QString& folderOrFile)
{
    Close();
    const QFileInfo info(folderOrFile);
    if (!info.exists()) {
        error_ = QStringLiteral("not found: ") + folderOrFile;
        return false;
    }
    if (info.isFile()) {
        id_ = InfoOf(info.absoluteFilePath()).first;
        single_ = id_.isEmpty();
        folder_ = single_ ? info.absoluteFilePath() : info.absolutePath();
    } else {
        single_ = false;
        folder_ = info.absoluteFilePath();
        // The newest recording by its start; the name breaks a tie.
        QString newest;
        const QDir dir(folder_);
        for (const QString& n : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            const auto [id, start] = InfoOf(dir.filePath(n));
            if (!id.isEmpty() && start >= newest) {
                newest = start;
                id_ = id;
            }
        }
    }
    Refresh();
    if (files_.empty()) {
        error_ = QStringLiteral("no recording files in ") + folderOrFile;
        return false;
    }
    return true;
}

void RecordingIndex::Close()
{
    files_.clear();
    names_.clear();
    blocks_.clear();
    cache_.clear();
    cacheOrder_.clear();
    lastOpen_ = false;
    rows_ = badRows_ = 0;
    error_.clear();
    id_.clear();
    foreign_.clear();
}

void RecordingIndex::Refresh()
{
    QStringList found;
    if (single_) {
        found << folder_;
    } else {
        // The names carry the start time, so their order is the recording's.
        const QDir dir(folder_);
        for (const QString& n : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            const QString path = dir.filePath(n);
            if (!id_.isEmpty() && !names_.contains(path) && !foreign_.contains(path)) {
                const QString id = InfoOf(path).first;
                // A file whose NAME.info is not written yet is asked again next time.
                if (id.isEmpty()) continue;
                if (id != id_) {
                    foreign_ << path;
                    continue;
                }
            } else if (foreign_.contains(path)) {
                continue;
            }
            found << path;
        }
    }
    for (const QString& path : found) {
        if (std::any_of(files_.begin(), files_.end(), [&](const FileState& f) { return f.path == path; }))
            continue;
        files_.push_back(FileState{path, 0, false});
        names_ << path;
    }
    // In order: what a file gained since, then the files that came after it.
    for (int i = 0; i < int(files_.size()); ++i)
        if (QFileInfo(files_[size_t(i)].path).size() > files_[size_t(i)].end) ReadFrom(i);
}

void RecordingIndex::ReadFrom(int file)
{
    FileState& f = files_[size_t(file)];
    QFile in(f.path);
    if (!in.open(QIODevice::ReadOnly) || !in.seek(f.end)) return;
    // A new file starts a new block: a block's rows are in one file.
    if (!blocks_.empty() && blocks_.back().file != file) lastOpen_ = false;
    // The block that was last may take more rows: its kept rows would be stale.
    if (!blocks_.empty() && cache_.erase(blocks_.size() - 1) != 0) cacheOrder_.remove(blocks_.size() - 1);
    constexpr qint64 kChunk = 1 << 22;
    QByteArray buf;
    qint64 bufStart = f.end;
    RecordedSample rs;
    for (;;) {
        const QByteArray more = in.read(kChunk);
        if (more.isEmpty()) break;
        buf += more;
        const char* base = buf.constData();
        qsizetype pos = 0;
        for (;;) {
            const char* nl =
                static_cast<const char*>(std::memchr(base + pos, '\n', size_t(buf.size() - pos)));
            if (!nl) break;
            const qsizetype lineEnd = nl - base + 1;
            const qint64 lineOffset = bufStart + pos;
            const QByteArray line = QByteArray::fromRawData(base + pos, lineEnd - pos);
            pos = lineEnd;
            if (!f.headerDone) {
                // The heading row ends the header.
                if (line.startsWith("Ix\t")) f.headerDone = true;
                continue;
            }
            if (!ParseRow(line, rs) || (!blocks_.empty() && rs.index <= blocks_.back().last)) {
                ++badRows_;
                continue;
            }
            ++rows_;
            if (!lastOpen_ || blocks_.back().count >= kBlockRows) {
                Block b;
                b.first = rs.index;
                b.offset = lineOffset;
                b.file = file;
                b.time = rs.sample.Time;
                blocks_.push_back(b);
                lastOpen_ = true;
            }
            Block& b = blocks_.back();
            b.last = rs.index;
            ++b.count;
            b.range.Add(rs.sample);
        }
        bufStart += pos;
        buf.remove(0, pos);
    }
    f.end = bufStart;
}

size_t RecordingIndex::FindBlock(std::int64_t index) const
{
    return size_t(std::lower_bound(blocks_.begin(), blocks_.end(), index,
                                   [](const Block& b, std::int64_t i) { return b.last < i; }) -
                  blocks_.begin());
}

const std::vector<RecordedSample>& RecordingIndex::BlockRows(size_t block)
{
    auto it = cache_.find(block);
    if (it != cache_.end()) return it->second;
    if (cache_.size() >= kCachedBlocks) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.pop_front();
    }
    std::vector<RecordedSample> rows;
    Rows(blocks_[block].first, blocks_[block].last + 1,
         [&](const RecordedSample& s, const QByteArray&) { rows.push_back(s); });
    cacheOrder_.push_back(block);
    return cache_.emplace(block, std::move(rows)).first->second;
}

void RecordingIndex::Rows(std::int64_t from, std::int64_t to,
                          const std::function<void(const RecordedSample&, const QByteArray& line)>& row)
{
    size_t b = FindBlock(from);
    QFile in;
    int openFile = -1;
    RecordedSample rs;
    while (b < blocks_.size() && blocks_[b].first < to) {
        const Block& blk = blocks_[b];
        if (blk.file != openFile) {
            in.close();
            in.setFileName(files_[size_t(blk.file)].path);
            if (!in.open(QIODevice::ReadOnly)) return;
            openFile = blk.file;
        }
        if (!in.seek(blk.offset)) return;
        // The rows of consecutive blocks of one file follow each other: read on to the range's
        // end or the file's.
        while (in.pos() < files_[size_t(blk.file)].end) {
            const QByteArray line = in.readLine();
            if (line.isEmpty()) break;
            if (!ParseRow(line, rs)) continue;
            if (rs.index >= to) return;
            if (rs.index >= from) row(rs, line);
        }
        // Past this file: continue with the first block of the next.
        while (b < blocks_.size() && blocks_[b].file == openFile)
            ++b;
    }
}

void RecordingIndex::Columns(double from, double per, std::vector<CurveRange>& out)
{
    const int n = int(out.size());
    if (n == 0 || blocks_.empty() || per <= 0) return;
    const double to = from + per * n;
    const auto column = [&](std::int64_t index) { return int(std::floor((double(index) - from) / per)); };
    size_t b = FindBlock(std::int64_t(std::floor(from)));
    if (per >= kBlockRows) {
        for (; b < blocks_.size() && double(blocks_[b].first) < to; ++b) {
            const int c = column(blocks_[b].first);
            out[size_t(std::clamp(c, 0, n - 1))].Add(blocks_[b].range);
        }
        return;
    }
    for (; b < blocks_.size() && double(blocks_[b].first) < to; ++b)
        for (const RecordedSample& s : BlockRows(b)) {
            const int c = column(s.index);
            if (c >= 0 && c < n) out[size_t(c)].Add(s.sample);
        }
}

double RecordingIndex::TimeAt(std::int64_t index)
{
    if (blocks_.empty() || index < blocks_.front().first) return 0;
    size_t b = FindBlock(index);
    if (b >= blocks_.size()) return blocks_.back().time;
    if (blocks_[b].first > index) return blocks_[b - 1].time;
    double t = blocks_[b].time;
    for (const RecordedSample& s : BlockRows(b)) {
        if (s.index > index) break;
        t = s.sample.Time;
    }
    return t;
}

} // namespace vmx::monitor
