#pragma once

#include "monitor/MeasSample.h"
#include "monitor/Recording.h"

#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace vmx::app {
class Session;
}

namespace vmx::monitor {

// Fires when a chosen value crosses a threshold in a chosen direction: marks the sample (its
// absolute index: counted from the recording's or the run's start), keeps N samples before and
// after it as a snippet file in the export format, and can ask for the acquisition to stop
// once the snippet is complete.
class Trigger {
public:
    enum class Value { QVR, Signal, Ampl, Error };
    enum class Direction { Rising, Falling, Either };
    struct Settings {
        bool enabled = false;
        Value value = Value::QVR;
        int threshold = 240;
        Direction direction = Direction::Rising;
        int before = 100;
        int after = 100;
        bool stop = false; // stop the acquisition when the snippet is complete; else only mark
    };
    struct Mark {
        qint64 index; // absolute sample index
        int value;
        QString snippet; // the snippet's file, once written
    };
    // WriteFailed: a snippet or a line of the events file did not reach the disk (the panel says
    // which mark).
    enum class Outcome { None, Fired, SnippetWritten, WriteFailed };

    explicit Trigger(app::Session& session) : session_(session) {}

    // New settings start afresh (no previous value, no open snippet); marks stay.
    void Configure(const Settings& settings, const QString& folder, const QString& eventsFile);
    const Settings& settings() const { return settings_; }
    // One stored sample; what came of it. `stopWanted` is set when the acquisition is to stop.
    Outcome Feed(qint64 index, const MeasSample& s, bool shortRow, bool& stopWanted);
    // A new run: no previous value, the window of samples before emptied.
    void Restart();

    // The latest marks: at least kKeptMarks once there were as many, at most twice that.
    static constexpr size_t kKeptMarks = 10000;
    const std::vector<Mark>& marks() const { return marks_; }
    void ClearMarks() { marks_.clear(); }
    static int ValueOf(Value v, const MeasSample& s);
    static QString ValueName(Value v);

private:
    struct Kept {
        qint64 index;
        MeasSample sample;
        bool shortRow;
    };
    bool WriteSnippet(Mark& m);
    bool AppendEvent(const Mark& m);
    // Says in the panel when a mark's file or line was not written; `saved` again.
    bool Saved(bool saved, const Mark& m, const QString& file);

    app::Session& session_;
    Settings settings_;
    QString folder_;
    QString eventsFile_;
    bool havePrevious_ = false;
    int previous_ = 0;
    std::deque<Kept> window_;  // the last `before` samples, then the snippet's samples
    std::optional<Mark> open_; // the mark whose snippet is collecting
    qint64 snippetUntil_ = -1;
    std::vector<Mark> marks_;
};

} // namespace vmx::monitor
