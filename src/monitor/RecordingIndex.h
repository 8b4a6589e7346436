#pragma once

#include "monitor/MeasSample.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vmx::monitor {

// The extremes of the chart's five curves over some samples (Gain, Ampl, AMax, OUT, BAvg), and
// whether any sample was seen. What one pixel column of a zoomed-out chart shows.
struct CurveRange {
    static constexpr int kCurves = 5;
    std::array<quint8, kCurves> lo{255, 255, 255, 255, 255};
    std::array<quint8, kCurves> hi{};
    bool any = false;

    void Add(const MeasSample& s)
    {
        const quint8 v[kCurves] = {s.Gain, s.Ampl, s.AMax, s.OUT, s.BAvg};
        for (int c = 0; c < kCurves; ++c) {
            lo[size_t(c)] = std::min(lo[size_t(c)], v[c]);
            hi[size_t(c)] = std::max(hi[size_t(c)], v[c]);
        }
        any = true;
    }
    void Add(const CurveRange& r)
    {
        if (!r.any) return;
        for (int c = 0; c < kCurves; ++c) {
            lo[size_t(c)] = std::min(lo[size_t(c)], r.lo[size_t(c)]);
            hi[size_t(c)] = std::max(hi[size_t(c)], r.hi[size_t(c)]);
        }
        any = true;
    }
};

// One sample row of a recording: its index (counted from the recording's start, across files)
// and the values the chart shows.
struct RecordedSample {
    std::int64_t index = 0;
    MeasSample sample{};
};

// A recording: text exports named <serial>_<yyyyMMdd-HHmmss>.txt in one folder, whose index
// column runs on across the files. Each file's NAME.info names the recording it belongs to, so
// several recordings can share the folder. Reading it keeps every K-th row's file offset and the
// curves' extremes of the K rows from there, so a chart over hours needs only those, and a
// close-up reads only the rows it shows, never the whole recording.
class RecordingIndex {
public:
    static constexpr int kBlockRows = 16;

    // A file: reads the recording it belongs to (every file whose NAME.info names the same
    // recording; a file without one alone). A folder: its newest recording, or all its `*.txt`
    // when none has a NAME.info. False with `error()` when there is nothing to read.
    bool Open(const QString& folderOrFile);
    // Reads what was appended since: the rest of the last file, and new files.
    void Refresh();
    void Close();

    bool isOpen() const { return !files_.empty(); }
    const QStringList& files() const { return names_; }
    QString error() const { return error_; }
    std::int64_t rows() const { return rows_; }
    // Rows that were no sample (no number in the index column); they are passed over.
    std::int64_t badRows() const { return badRows_; }
    // First and last sample index (empty recording: 0 and -1).
    std::int64_t firstIndex() const { return blocks_.empty() ? 0 : blocks_.front().first; }
    std::int64_t lastIndex() const { return blocks_.empty() ? -1 : blocks_.back().last; }

    // The extremes of the samples with an index in [from, to), one per column of `out`, column
    // c covering [from + c * per, from + (c + 1) * per). Wide columns take whole blocks' extremes
    // (a block goes to the column its first sample falls in); narrow ones read the rows.
    void Columns(double from, double per, std::vector<CurveRange>& out);
    // The samples with an index in [from, to), read from the files, each with its row's text.
    void Rows(std::int64_t from, std::int64_t to,
              const std::function<void(const RecordedSample&, const QByteArray& line)>& row);
    // The time (days, as samples keep it) of the sample at or before `index`; 0 when unknown.
    double TimeAt(std::int64_t index);

    // One row of the text export; false when its index cell holds no number.
    static bool ParseRow(const QByteArray& line, RecordedSample& out);

private:
    struct Block {
        std::int64_t first = 0, last = 0; // sample indices of its first and last row
        qint64 offset = 0;                // of its first row in its file
        int file = 0;
        int count = 0;
        double time = 0; // of its first row
        CurveRange range;
    };
    struct FileState {
        QString path;
        qint64 end = 0; // read up to here (whole lines)
        bool headerDone = false;
    };
    void ReadFrom(int file);
    // The block's rows, read once and kept for a while.
    const std::vector<RecordedSample>& BlockRows(size_t block);
    // First block whose last index is >= index.
    size_t FindBlock(std::int64_t index) const;

    // The recording id and start from a file's NAME.info; empty without one.
    static std::pair<QString, QString> InfoOf(const QString& file);

    std::vector<FileState> files_;
    QStringList names_;
    QString folder_;
    bool single_ = false;
    QString id_;          // the recording read; empty: every *.txt of the folder
    QStringList foreign_; // files of other recordings, not asked again
    std::vector<Block> blocks_;
    bool lastOpen_ = false; // the last block still takes rows
    std::int64_t rows_ = 0, badRows_ = 0;
    QString error_;
    // Rows of recently read blocks, oldest first out.
    std::unordered_map<size_t, std::vector<RecordedSample>> cache_;
    std::list<size_t> cacheOrder_;
};

} // namespace vmx::monitor
