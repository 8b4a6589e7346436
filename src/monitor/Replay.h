#pragma once

#include "monitor/MeasSample.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>

namespace vmx::app {
class LineReader;
}

namespace vmx::monitor {

// Reads a recording (one file, or all files of one in order) back as samples with their
// recorded index, due on the session's clock at 1x or 10x the recorded pace or at once.
class Replay {
public:
    // 0: as fast as possible.
    enum Speed { Max = 0, Real = 1, Fast = 10 };
    struct Row {
        qint64 index;
        MeasSample sample;
        bool shortRow;
        qint64 dueUs;
    };

    Replay();
    ~Replay();

    // False when the first file cannot be opened.
    bool Open(const QStringList& files, int speed, qint64 nowUs);
    bool Active() const { return active_; }
    void Close();
    // The next row if it is due at `nowUs` (false: none due yet, or the end: see AtEnd()).
    bool Next(qint64 nowUs, Row& row);
    bool AtEnd() const { return !active_ || (queue_.empty() && eof_); }
    int speed() const { return speed_; }
    qint64 rowsRead() const { return rowsRead_; }
    // Data rows that were no sample (cut lines, text in number cells): left out and counted.
    qint64 badRows() const { return badRows_; }
    bool readFailed() const { return readFailed_; }
    QString currentFile() const { return files_.value(fileAt_); }

    // One data line of a text export back into a sample; false when it is none.
    static bool ParseRow(const QString& line, qint64& index, MeasSample& s, bool& shortRow);

private:
    bool OpenFile(int i);
    bool ReadLine(QString& line);
    // Reads ahead until the queue holds every row of the oldest second (their due times
    // spread over that second).
    void Fill();

    QStringList files_;
    int fileAt_ = -1;
    std::unique_ptr<QFile> file_;
    std::unique_ptr<app::LineReader> reader_;
    int lineNo_ = 0;
    bool active_ = false;
    bool eof_ = false;
    bool readFailed_ = false;
    int speed_ = Max;
    qint64 startUs_ = 0;
    qint64 firstSecond_ = -1;
    std::deque<Row> queue_;
    std::deque<Row> group_; // rows of one second still to be timed
    qint64 rowsRead_ = 0;
    qint64 badRows_ = 0;
};

} // namespace vmx::monitor
