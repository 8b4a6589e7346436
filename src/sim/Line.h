#pragma once
// One direction of a serial line at 115200 baud 8N1, the frame trace and the fault switches of
// the simulated devices. Times are microseconds of whatever clock the caller runs.

#include "proto/Protocol.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <vector>

namespace vmx::sim {

struct TimedByte {
    qint64 t; // when its stop bit ends
    quint8 b;
};

// Bytes put on a line, each with the time it is completely received. Consecutive bytes form
// a run whose times are computed from the run's start, so long streams do not drift.
class TxLine {
public:
    // Queues `bytes` to start no earlier than `earliestUs` (and after what is queued).
    void Send(const QByteArray& bytes, qint64 earliestUs);
    void Send(quint8 byte, qint64 earliestUs);
    // When the line is free again (the last queued byte is complete).
    qint64 FreeUs() const { return runStart_ + proto::BytesToUs(runCount_); }
    // When `count` further bytes sent back to back after the queue would be complete.
    qint64 FreeAfterUs(qint64 count, qint64 earliestUs) const;
    void Clear() { q.clear(); }

    std::deque<TimedByte> q;

private:
    qint64 runStart_ = 0;
    qint64 runCount_ = 0;
};

enum class Dir { In, Out };
enum class Unit { Sensor, BootLoader, TestModule };

// One frame (or unframed command) seen by a simulated device, or one answer it sent.
struct TraceEntry {
    qint64 tUs = 0;
    Dir dir = Dir::In;
    Unit unit = Unit::Sensor;
    QByteArray bytes;
    bool ok = true; // In: the frame was valid (checksum, length, address) and understood
    QString note;   // e.g. "bad checksum", "unknown command", "dropped (fault)"
};

QString UnitName(Unit u);
// "12.345678 in  sensor     F1 00 05 29 1E  ok" (for vmx-sim --trace and test failure output).
QString FormatTrace(const TraceEntry& e);

class Trace {
public:
    void Add(TraceEntry e);
    const std::vector<TraceEntry>& entries() const { return entries_; }
    void Clear() { entries_.clear(); }
    // Entries of one direction and unit, in order.
    std::vector<TraceEntry> Of(Dir dir, Unit unit) const;
    // Incoming frames with this command byte (byte 3 of a frame, byte 0 when unframed).
    int CountIn(quint8 command, Unit unit) const;

    bool enabled = true;
    std::function<void(const TraceEntry&)> onEntry; // e.g. vmx-sim prints it
    size_t limit = 200000;                          // keeps a long stream of commands bounded

private:
    std::vector<TraceEntry> entries_;
};

// Faults on demand. Counters count down as they strike; they are deterministic.
struct Faults {
    // The faults below strike only after this many answers went out unharmed, so they can be
    // aimed at the middle of a transfer (counts down with every answer).
    int afterAnswers = 0;
    bool unplug = false;        // the cable is pulled: the device loses its supply
    bool mute = false;          // the device stops answering (streams stop too)
    int dropAnswers = 0;        // the next N answers are lost completely
    int truncateAnswers = 0;    // the next N answers lose their last byte
    int corruptAnswers = 0;     // the next N answers get their last byte flipped
    qint64 delayUs = 0;         // every answer starts this much later
    int dropStreamEvery = 0;    // every Nth streamed byte is lost
    int corruptStreamEvery = 0; // every Nth streamed byte has bit 0 flipped

    // The aimed faults have struck (no answers left to wait for).
    bool Armed() const { return afterAnswers <= 0; }
    bool Muted() const { return mute && Armed(); }
};

} // namespace vmx::sim
