#pragma once

#include "monitor/MeasSample.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

namespace vmx::app {
class Session;
}

namespace vmx::monitor {

// What a recording says about itself: in the export header where it has a line for it, the
// rest in NAME.info beside each file.
struct RecordingInfo {
    QString serial;   // serial number from the identification; "unknown" without one
    QString ident;    // the identification as key=value pairs, empty without one
    QString model;    // the sensor line of the header
    int firmware = 0; // the firmware line of the header
    QString delivery; // short, long, polled
    QString program;  // this program's version
};

struct RecordingOptions {
    QString folder;
    int rotateMinutes = 60;
    // Below the text import's 64 MiB, so that every file of a recording opens as an export.
    qint64 rotateBytes = qint64(60) << 20;
    // Rows handed to the writer and not yet written: beyond this the writer has fallen too far
    // behind, and the recording stops instead of growing in memory.
    qint64 maxBacklogBytes = qint64(64) << 20;
};

// One decoded sample as a line of the text export: the index column counts from the
// recording's start. Date and time of the last sample are kept, since most samples share them.
class RowFormatter {
public:
    void Append(QByteArray& out, qint64 index, const MeasSample& s, bool shortRow);

private:
    qint64 second_ = -1;
    QByteArray dateTime_; // "dd.mm.yyyy  \thh:nn:ss    \t"
};

class RecordingWriter;

// Every stored sample appended to a recording in the text export format. Rows are collected
// here and handed to the writer thread once a second of the session's clock; the writer
// appends them, fsyncs at least every 10 s and on rotation and close, and answers by queued
// signals that Tick() takes. Nothing here waits for the disk while recording.
class Recording : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kHandOverUs = 1000000;
    static constexpr int kSyncEvery = 10; // hand-overs between two fsyncs

    explicit Recording(app::Session& session, QObject* parent = nullptr);
    ~Recording() override;

    // Opens the first file (on the writer thread); false with the reason in FailureText() when
    // the folder cannot be made. `startTime` names the first file.
    bool Start(const RecordingOptions& options, const RecordingInfo& info, const QDateTime& startTime);
    // One stored sample; its index is Samples() before the call.
    void Add(const MeasSample& s, bool shortRow);
    // On every tick of the acquisition: the writer's answers, the hand-over each second,
    // rotation.
    void Tick();
    // Hands over the rest, closes the file with an fsync and waits for the writer: true when
    // every sample reached the disk.
    bool Stop();

    bool Active() const { return active_; }
    bool Failed() const { return !failure_.isEmpty(); }
    QString FailureText() const { return failure_; }
    qint64 Samples() const { return samples_; }
    QString CurrentFile() const { return currentFile_; }
    QStringList Files() const { return files_; }
    // Rows handed to the writer and not yet written (bytes).
    qint64 BacklogBytes() const { return backlog_ ? backlog_->load() : 0; }
    // Bytes of the current file, handed to the writer so far.
    qint64 FileBytes() const { return fileBytes_; }
    // Session-clock time since the start.
    qint64 RecordedUs() const;
    // The writer thread's context: a call queued to it runs in line with the writes.
    QObject* WriterContext() const;
    // The status-bar text: file, size, time recorded (or why it stopped).
    QString StatusText() const;

    // The file names a recording's files are given: SERIAL_yyyyMMdd-HHmmss.txt.
    static QString FileName(const QString& serial, const QDateTime& start);
    // All files of the recording `file` belongs to (same serial, same folder, in time order,
    // from `file` on while each next one continues the index).
    static QStringList FilesOf(const QString& file);
    // NAME.info beside the recording file NAME.txt.
    static QString InfoFileOf(const QString& file);

Q_SIGNALS:
    // The recording stopped on its own (write error, full disk, a writer too far behind).
    void failed(const QString& text);

private Q_SLOTS:
    void WriterFailed(const QString& why);

private:
    void HandOver(bool sync);
    void OpenNext();
    void Fail(const QString& text);
    QString Text(int which) const;

    app::Session& session_;
    RecordingOptions options_;
    RecordingInfo info_;
    QThread* thread_ = nullptr;
    RecordingWriter* writer_ = nullptr;
    std::shared_ptr<std::atomic<qint64>> backlog_;
    RowFormatter rows_;
    QByteArray pending_;
    bool active_ = false;
    QString failure_;
    qint64 samples_ = 0;
    qint64 fileFirst_ = 0;
    qint64 fileBytes_ = 0;
    qint64 startUs_ = 0;
    qint64 fileStartUs_ = 0;
    qint64 nextHandOverUs_ = 0;
    int handOvers_ = 0;
    QDateTime startTime_;
    QString currentFile_;
    QStringList files_;
};

} // namespace vmx::monitor
