#include "monitor/Trigger.h"

#include "app/SafeSave.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "lang/RecordingTexts.h"
#include "monitor/MeasFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vmx::monitor {

int Trigger::ValueOf(Value v, const MeasSample& s)
{
    switch (v) {
    case Value::QVR:
        return s.OUT;
    case Value::Signal:
        return s.Signal;
    case Value::Ampl:
        return s.Ampl;
    case Value::Error:
        return s.Error;
    }
    return 0;
}

QString Trigger::ValueName(Value v)
{
    switch (v) {
    case Value::QVR:
        return QStringLiteral("QVR");
    case Value::Signal:
        return QStringLiteral("SIGNAL");
    case Value::Ampl:
        return QStringLiteral("Ampl");
    case Value::Error:
        return QStringLiteral("Error");
    }
    return {};
}

void Trigger::Configure(const Settings& settings, const QString& folder, const QString& eventsFile)
{
    settings_ = settings;
    settings_.before = std::max(0, settings_.before);
    settings_.after = std::max(0, settings_.after);
    folder_ = folder;
    eventsFile_ = eventsFile;
    Restart();
}

void Trigger::Restart()
{
    havePrevious_ = false;
    window_.clear();
    open_.reset();
    snippetUntil_ = -1;
}

Trigger::Outcome Trigger::Feed(qint64 index, const MeasSample& s, bool shortRow, bool& stopWanted)
{
    stopWanted = false;
    if (!settings_.enabled) return Outcome::None;
    Outcome outcome = Outcome::None;
    window_.push_back(Kept{index, s, shortRow});
    const int v = ValueOf(settings_.value, s);
    const bool above = v >= settings_.threshold;
    const bool wasAbove = previous_ >= settings_.threshold;
    const bool crossed =
        havePrevious_ && above != wasAbove &&
        (settings_.direction == Direction::Either || (settings_.direction == Direction::Rising) == above);
    previous_ = v;
    havePrevious_ = true;
    // One snippet at a time: a crossing while one collects is marked, its samples are in it.
    if (crossed) {
        // The list of marks is the chart's (the events file has every one): hours of crossings
        // would make it grow without end, so the oldest go in halves.
        if (marks_.size() >= 2 * kKeptMarks) marks_.erase(marks_.begin(), marks_.begin() + long(kKeptMarks));
        marks_.push_back(Mark{index, v, QString()});
        outcome = Outcome::Fired;
        session_.PanelText(1,
                           lang::RecordingTextOf(lang::RecordingText::TriggerFired, session_.language())
                               .arg(QString::number(index), ValueName(settings_.value), QString::number(v)));
        if (!open_) {
            open_ = marks_.back();
            snippetUntil_ = index + settings_.after;
        } else if (!Saved(AppendEvent(marks_.back()), marks_.back(), eventsFile_)) {
            outcome = Outcome::WriteFailed;
        }
    }
    if (open_ && index >= snippetUntil_) {
        const bool written = WriteSnippet(*open_);
        const bool appended = AppendEvent(*open_);
        outcome = Saved(written, *open_, folder_) && Saved(appended, *open_, eventsFile_)
                      ? Outcome::SnippetWritten
                      : Outcome::WriteFailed;
        // Its place in the list, unless crossings while it collected pushed it out.
        const auto at = std::lower_bound(marks_.begin(), marks_.end(), open_->index,
                                         [](const Mark& m, qint64 i) { return m.index < i; });
        if (at != marks_.end() && at->index == open_->index) at->snippet = open_->snippet;
        open_.reset();
        stopWanted = settings_.stop;
    }
    // Outside a snippet only the samples before the next one are kept.
    if (!open_)
        while (qint64(window_.size()) > settings_.before)
            window_.pop_front();
    return outcome;
}

bool Trigger::WriteSnippet(Mark& m)
{
    if (folder_.isEmpty() || !QDir().mkpath(folder_)) return false;
    // Beside the recording, named after it, so the snippets of one recording sort together.
    const QString base = QFileInfo(eventsFile_).completeBaseName();
    const QString prefix =
        base.isEmpty() || base == QLatin1String("trigger") ? QString() : base + QLatin1Char('_');
    const QString name = QDir(folder_).filePath(prefix + QStringLiteral("trigger_%1.txt").arg(m.index));
    app::SafeSave save(name);
    if (save.Open() != app::SaveStatus::Ok) return false;
    QByteArray out;
    for (const QString& line : MeasFiles::HeaderLinesAt(session_, name, QDateTime::currentDateTime())) {
        out += app::EncodeWindows1252(line);
        out += "\r\n";
    }
    for (int c = 0; c < TableHeadings().size(); ++c) {
        const QByteArray cell = TableHeadings()[c].toLatin1();
        out += cell;
        if (c == 1 || c == 2 || c == 11 || c == 12) out.append(12 - cell.size(), ' ');
        out += '\t';
    }
    out += "\r\n";
    RowFormatter rows;
    for (const Kept& k : window_)
        if (k.index >= m.index - settings_.before && k.index <= m.index + settings_.after)
            rows.Append(out, k.index, k.sample, k.shortRow);
    if (save.file().write(out) != out.size() || save.Commit() != app::SaveStatus::Ok) return false;
    m.snippet = name;
    return true;
}

// One line per mark beside the recording, so the recording itself stays an export.
bool Trigger::AppendEvent(const Mark& m)
{
    if (eventsFile_.isEmpty()) return true;
    QFile f(eventsFile_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QString line =
        QStringLiteral("%1\t%2\t%3\t%4\n")
            .arg(m.index)
            .arg(ValueName(settings_.value))
            .arg(m.value)
            .arg(QDir(folder_).relativeFilePath(m.snippet.isEmpty() ? QString() : m.snippet));
    const QByteArray bytes = line.toUtf8();
    // A full disk takes part of a line or none of it: only a whole line, flushed, counts.
    return f.write(bytes) == bytes.size() && f.flush();
}

bool Trigger::Saved(bool saved, const Mark& m, const QString& file)
{
    if (!saved)
        session_.PanelText(1, lang::RecordingTextOf(lang::RecordingText::TriggerNotSaved, session_.language())
                                  .arg(QString::number(m.index), QDir::toNativeSeparators(file)));
    return saved;
}

} // namespace vmx::monitor
