#pragma once
// Real FTDI converters through libftdi1. Its read returns what is there, so the D2XX read
// with its time-out is a loop to a deadline on the session clock.

#include "link/UsbDriver.h"

#include <vector>

struct ftdi_context;
struct ftdi_device_list;
struct libusb_device;

namespace vmx::app {
class Clock;
}

namespace vmx::link {

class FtdiDriver final : public UsbDriver {
public:
    explicit FtdiDriver(app::Clock& clock);
    ~FtdiDriver() override;
    FtdiDriver(const FtdiDriver&) = delete;
    FtdiDriver& operator=(const FtdiDriver&) = delete;

    int ListCount(int& count) override;
    int Description(int index, QString& text) override;
    int SerialNumber(int index, QString& text) override;
    int Open(int index) override;
    int Close() override;
    bool IsOpen() const override { return open_; }
    int SetBaudRate(int baud) override;
    int SetDataCharacteristics(int bits, int stopBits, int parity) override;
    int SetFlowControl(int flow, quint8 xon, quint8 xoff) override;
    int SetTimeouts(int readMs, int writeMs) override;
    int Purge(int mask) override;
    int Write(const quint8* data, int n, int& written) override;
    int Read(quint8* data, int n, int& got) override;
    int QueueStatus(int& count) override;
    int SetRts(bool on) override;
    int SetDtr(bool on) override;
    int SetBitMode(quint8 mask, quint8 mode) override;

private:
    bool Context();
    ::libusb_device* DeviceAt(int index) const;
    int Strings(int index, QString* description, QString* serial);

    app::Clock& clock_;
    ftdi_context* ctx_ = nullptr;
    ftdi_device_list* list_ = nullptr;
    int count_ = 0;
    bool open_ = false;
    bool noUsb_ = false; // libusb could not start (no USB on this machine): lists nothing
    int readTimeoutMs_ = 1000;
    // What the queue query took from the chip and no read has consumed yet (libftdi has no
    // queue status of its own). Bounded: beyond it the chip's own buffer holds the line.
    std::vector<quint8> ahead_;
    static constexpr size_t kAheadMax = 65536;
    // Size of one libftdi read transfer: a few ticks of the line at once.
    static constexpr unsigned kChunk = 16384;
};

} // namespace vmx::link
