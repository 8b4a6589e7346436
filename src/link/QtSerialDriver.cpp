#include "link/QtSerialDriver.h"

#include "app/Clock.h"
#include "proto/Protocol.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <limits>

namespace vmx::link {

QtSerialDriver::QtSerialDriver(app::Clock& clock) : clock_(clock) {}

QtSerialDriver::~QtSerialDriver()
{
    Close();
}

std::vector<SerialPortEntry> QtSerialDriver::List()
{
    std::vector<SerialPortEntry> r;
    for (const QSerialPortInfo& i : QSerialPortInfo::availablePorts())
        r.push_back(SerialPortEntry{i.portName(), i.systemLocation(), i.description(), i.serialNumber()});
    return r;
}

bool QtSerialDriver::Configure(QSerialPort& p)
{
    return p.setBaudRate(proto::kBaudRate) && p.setDataBits(QSerialPort::Data8) &&
           p.setParity(QSerialPort::NoParity) && p.setStopBits(QSerialPort::OneStop) &&
           p.setFlowControl(QSerialPort::NoFlowControl);
}

bool QtSerialDriver::Probe(const QString& path)
{
    QSerialPort p;
    p.setPortName(path);
    if (!p.open(QIODevice::ReadOnly)) return false;
    p.close();
    return true;
}

bool QtSerialDriver::Open(const QString& path)
{
    Close();
    port_ = new QSerialPort;
    port_->setPortName(path);
    if (!port_->open(QIODevice::ReadWrite) || !Configure(*port_)) {
        Close();
        return false;
    }
    return true;
}

void QtSerialDriver::Close()
{
    if (!port_) return;
    if (port_->isOpen()) port_->close();
    delete port_;
    port_ = nullptr;
}

bool QtSerialDriver::IsOpen() const
{
    return port_ && port_->isOpen();
}

bool QtSerialDriver::SetQueues(int in, int)
{
    // The kernel's queues are fixed; Qt's read buffer is the input queue we size. Full, it
    // leaves the rest in the kernel until the program reads again.
    if (!IsOpen()) return false;
    port_->setReadBufferSize(std::max(in, 0));
    return true;
}

bool QtSerialDriver::SetTimeouts(const CommTimeouts& t)
{
    timeouts_ = t;
    return IsOpen();
}

bool QtSerialDriver::Purge()
{
    if (!IsOpen()) return false;
    // Take in what the kernel holds first, so clearing the buffer really empties the line.
    port_->waitForReadyRead(0);
    return port_->clear(QSerialPort::AllDirections);
}

bool QtSerialDriver::WaitInput(qint64 us)
{
    if (us <= 0) us = 0;
    if (clock_.IsVirtual()) {
        port_->waitForReadyRead(0);
        clock_.SleepUs(std::min<qint64>(us, 1000));
    } else {
        const int ms = int(std::min<qint64>((us + 999) / 1000, 50));
        if (!port_->waitForReadyRead(ms) && port_->error() == QSerialPort::ResourceError) return false;
    }
    return port_->error() != QSerialPort::ResourceError;
}

int QtSerialDriver::Write(const quint8* data, int n)
{
    if (!IsOpen()) return -1;
    if (n <= 0) return 0;
    const qint64 w = port_->write(reinterpret_cast<const char*>(data), n);
    if (w < 0) return -1;
    const qint64 totalMs = qint64(timeouts_.writeTotalMultiplierMs) * n + timeouts_.writeTotalConstantMs;
    const qint64 deadline = clock_.NowUs() + (totalMs > 0 ? totalMs * 1000 : qint64(3600) * 1000000);
    while (port_->bytesToWrite() > 0) {
        const qint64 now = clock_.NowUs();
        if (now >= deadline) break;
        const int ms = int(std::min<qint64>((deadline - now + 999) / 1000, 50));
        if (!port_->waitForBytesWritten(ms) && port_->error() == QSerialPort::ResourceError) return -1;
    }
    return int(w - port_->bytesToWrite());
}

int QtSerialDriver::Available()
{
    if (!IsOpen()) return -1;
    // Without an event loop (vmxctl) nothing moves the kernel's bytes into Qt's buffer but a
    // wait; one that returns at once does.
    port_->waitForReadyRead(0);
    if (port_->error() == QSerialPort::ResourceError) return -1;
    return int(std::min<qint64>(port_->bytesAvailable(), std::numeric_limits<int>::max()));
}

int QtSerialDriver::Read(quint8* data, int n)
{
    if (!IsOpen()) return -1;
    if (n <= 0) return 0;
    const CommTimeouts& t = timeouts_;
    const qint64 start = clock_.NowUs();
    const qint64 totalMs = qint64(t.readTotalMultiplierMs) * n + t.readTotalConstantMs;
    const qint64 totalDeadline = totalMs > 0 ? start + totalMs * 1000 : -1;
    int got = 0;
    qint64 lastByte = start;
    for (;;) {
        const qint64 r = port_->read(reinterpret_cast<char*>(data + got), n - got);
        if (r < 0) return got > 0 ? got : -1;
        const qint64 now = clock_.NowUs();
        if (r > 0) {
            got += int(r);
            lastByte = now;
        }
        if (got >= n) break;
        qint64 deadline = totalDeadline;
        if (got > 0 && t.readIntervalMs > 0) {
            const qint64 gap = lastByte + qint64(t.readIntervalMs) * 1000;
            deadline = deadline < 0 ? gap : std::min(deadline, gap);
        }
        // No time-out at all: Win32 waits until the bytes are there.
        if (deadline < 0) deadline = now + 1000000;
        if (now >= deadline) break;
        if (!WaitInput(deadline - now)) return got > 0 ? got : -1;
    }
    return got;
}

} // namespace vmx::link
