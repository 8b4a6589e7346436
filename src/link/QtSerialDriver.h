#pragma once
// SerialDriver on Qt Serial Port, without an event loop: the waits are QSerialPort's blocking
// calls cut into slices whose deadlines come from the session clock.

#include "link/SerialDriver.h"

#include <QSerialPort>

namespace vmx::app {
class Clock;
}

namespace vmx::link {

class QtSerialDriver final : public SerialDriver {
public:
    explicit QtSerialDriver(app::Clock& clock);
    ~QtSerialDriver() override;

    std::vector<SerialPortEntry> List() override;
    bool Probe(const QString& path) override;
    bool Open(const QString& path) override;
    void Close() override;
    bool IsOpen() const override;
    bool SetQueues(int in, int out) override;
    bool SetTimeouts(const CommTimeouts& t) override;
    bool Purge() override;
    int Write(const quint8* data, int n) override;
    int Read(quint8* data, int n) override;
    int Available() override;

private:
    bool Configure(QSerialPort& p);
    // Waits up to `us` of clock time for input; false when the port failed.
    bool WaitInput(qint64 us);

    app::Clock& clock_;
    QSerialPort* port_ = nullptr;
    CommTimeouts timeouts_;
};

} // namespace vmx::link
