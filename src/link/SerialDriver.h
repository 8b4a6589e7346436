#pragma once
// Serial ports of the operating system (COM ports; on Linux ttyS0, ttyUSB0 or any device path
// such as the pseudo-terminal of vmx-sim), with the Win32 semantics the program relies on:
// exclusive open, and reads bounded by an inter-byte and a total time-out.

#include <QString>
#include <QtGlobal>

#include <vector>

namespace vmx::link {

struct SerialPortEntry {
    QString name; // as the menu shows it (ttyS0)
    QString path; // what is opened (/dev/ttyS0)
    QString description;
    QString serial;
};

// COMMTIMEOUTS: total = multiplier * n + constant; the interval bounds the gap between bytes.
struct CommTimeouts {
    int readIntervalMs = 0;
    int readTotalMultiplierMs = 0;
    int readTotalConstantMs = 0;
    int writeTotalMultiplierMs = 0;
    int writeTotalConstantMs = 0;
};

class SerialDriver {
public:
    virtual ~SerialDriver() = default;
    virtual std::vector<SerialPortEntry> List() = 0;
    // Opens the port for reading only, exclusively, and closes it again: is it there and free?
    virtual bool Probe(const QString& path) = 0;
    // Opens for reading and writing: 115200 baud, 8 data bits, no parity, 1 stop bit, binary,
    // no flow control, DTR and RTS left alone.
    virtual bool Open(const QString& path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool SetQueues(int in, int out) = 0;
    virtual bool SetTimeouts(const CommTimeouts& t) = 0;
    // Aborts and clears both directions.
    virtual bool Purge() = 0;
    // Bytes written, -1 when the call failed.
    virtual int Write(const quint8* data, int n) = 0;
    // Bytes read (fewer when a time-out ended the read), -1 when the call failed.
    virtual int Read(quint8* data, int n) = 0;
    // Bytes received and not yet read, without waiting; -1 when the port failed.
    virtual int Available() = 0;
};

} // namespace vmx::link
