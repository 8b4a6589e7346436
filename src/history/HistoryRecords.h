#pragma once
// What the history keeps: the rows the station hands the writer, and what the queries give back.
// Times are UTC; a run also keeps the station's local day, which the yields count by.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace vmx::history {

// A status text of a step as the operator saw it, with its colour ("red", "blue", ...).
struct StatusText {
    QString colour;
    QString text;
};

struct Measurement {
    QString item;
    QString value;                // as the grid shows it
    std::optional<double> number; // the measured number, when there is one
    QString unit;
    std::optional<double> low, high;
    int outcome = -1; // -1 not tested, 0 failed, 1 passed
};

struct RunStart {
    QString uuid; // made at the start, never reused
    QString serial, sensorType;
    QString label; // the definition as the list shows it
    int program = -1;
    QString definitionHash; // SHA-256 of the definition's entries, hex
    QString tester, batch, batchComment, year, techIndex;
    QDateTime started; // UTC
    QString version;   // the program's version
};

struct StepAttempt {
    QString runUuid;
    int step = 0;
    int attempt = 1; // ZURÜCK runs a step again: 2, 3, ...
    QString routine;
    std::vector<StatusText> texts;
    int outcome = 1; // 0: the step halted on a failure
    QDateTime started;
    qint64 durationMs = 0;
    std::vector<Measurement> measurements;
};

enum class RunState { Running, Done, Aborted };

struct RunEnd {
    QString runUuid;
    RunState state = RunState::Done;
    QString verdict; // "okay" or "FEHLER"
    QString comment;
    QDateTime ended;
};

enum class ServiceKind {
    ParameterWrite,
    Download,
    IdentWrite,
    CalibrationWrite,
    C2Programming,
    PicProgramming
};
QString KindName(ServiceKind kind);
std::optional<ServiceKind> KindFromName(const QString& name);
QString StateName(RunState state);
// A time as the history stores it: UTC, "yyyy-MM-dd HH:mm:ss.zzz" (sorts as it reads; both
// engines take it as a timestamp).
QString UtcStamp(const QDateTime& t);
QDateTime FromUtcStamp(const QString& text);
// A new run's or event's UUID, time-ordered (version 7: the milliseconds since 1970 first, then
// random bits): rows added in time order land next to each other in the UUID indexes, so the
// yields' lookups of a run's end walk the index nearly in order instead of all over it.
QString NewUuid(const QDateTime& at);

struct ServiceEvent {
    QString uuid;
    QString station;
    QString serial, sensorType;
    QDateTime at;
    ServiceKind kind = ServiceKind::ParameterWrite;
    bool ok = false;
    QByteArray before, after;     // the block before and after (writes)
    QString fileName, fileSha256; // the image (download, programming)
    QString range;                // "0800-1BFF"
};

// One run as the queries give it.
struct RunRow {
    RunStart start;
    QString station;
    RunState state = RunState::Running;
    QString verdict, comment;
    QDateTime ended;
};

struct Filter {
    std::optional<QDate> since, until; // the station's local day, both included
    QString label, station, batch, verdict, serial;
    bool firstPassOnly = false; // each unit's first finished run of a definition only
};

enum class GroupBy { Day, Station, Label, Batch };

struct YieldRow {
    QString group;
    int units = 0;
    int runs = 0;
    int firstPassOkay = 0;
    int finalOkay = 0;
    int retests() const { return runs - units; }
    double firstPassYield() const { return units ? double(firstPassOkay) / units : 0.0; }
    double finalYield() const { return units ? double(finalOkay) / units : 0.0; }
};

} // namespace vmx::history
