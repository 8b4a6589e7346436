#pragma once
// What every simulated device on the line has: its outgoing line, faults, the shared trace and
// a frame receiver that is as strict as the real firmware.

#include "sim/Line.h"

#include <QByteArray>

namespace vmx::sim {

// Collects request frames byte by byte: a frame starts with 0xF1 (address 1; other addresses
// are not ours), its length field must be sane, and a pause of more than 20 ms inside a frame
// throws the partial frame away, as the firmware's receive time-out does.
class FrameParser {
public:
    enum class Result { None, Frame, Bad };
    Result Feed(quint8 b, qint64 tUs);
    // The frame just completed (valid or not).
    const QByteArray& frame() const { return frame_; }
    QString reason() const { return reason_; }
    void Reset() { buf_.clear(); }
    // No frame begun at `tUs` (nothing collected, or what was collected has timed out).
    bool Idle(qint64 tUs) const { return buf_.isEmpty() || (lastUs_ >= 0 && tUs - lastUs_ > kGapUs); }

    static constexpr qint64 kGapUs = 20000;
    static constexpr int kMaxLength = 600;

private:
    QByteArray buf_;
    QByteArray frame_;
    QString reason_;
    qint64 lastUs_ = -1;
};

class Device {
public:
    virtual ~Device() = default;
    // A byte from the PC, completely received at `tUs`.
    virtual void Receive(quint8 b, qint64 tUs) = 0;
    // Produces what the device sends by itself (a stream) up to `tUs`, and runs timed state
    // changes (restart finished, boot entry).
    virtual void Advance(qint64 tUs) { (void)tUs; }
    // When `count` more spontaneous bytes after the queue will be complete; -1 when the device
    // sends nothing by itself.
    virtual qint64 SpontaneousUs(qint64 count, qint64 nowUs) const
    {
        (void)count, (void)nowUs;
        return -1;
    }

    // Bytes the device sent by itself but skipped producing, because they came while nobody
    // could have taken them (see Sensor::Advance); the bench counts them as overrun.
    qint64 TakeSkipped()
    {
        const qint64 n = skipped_;
        skipped_ = 0;
        return n;
    }

    TxLine out;
    Faults faults;
    Trace* trace = nullptr;

protected:
    qint64 skipped_ = 0;
    // The cable is pulled at `tUs` (fault `unplug`): the device loses its supply.
    virtual void Unplugged(qint64 tUs) { (void)tUs; }
    // Sends an answer `procUs` after `tUs` (the request's last byte), faults applied and traced.
    void Answer(Unit unit, QByteArray bytes, qint64 tUs, qint64 procUs);
    void TraceIn(Unit unit, const QByteArray& bytes, qint64 tUs, bool ok, const QString& note = QString());
    // A framed answer: F1, length, echo, payload, checksum.
    static QByteArray Framed(quint8 command, const QByteArray& payload);
    static QByteArray Ack() { return QByteArray(1, char(proto::kAck)); }
};

} // namespace vmx::sim
