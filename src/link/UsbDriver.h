#pragma once
// The USB converter driver as the program uses it: the D2XX calls, each returning
// the driver's status. Implementations: libftdi1 (real converters), the simulated bench, and
// a set that lists several drivers one after the other.

#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

namespace vmx::link {

// D2XX status codes the program knows by name.
namespace ft {
inline constexpr int Ok = 0;
inline constexpr int InvalidHandle = 1;
inline constexpr int DeviceNotFound = 2;
inline constexpr int DeviceNotOpened = 3;
inline constexpr int IoError = 4;
inline constexpr int InsufficientResources = 5;
inline constexpr int InvalidParameter = 6;
inline constexpr int OtherError = 18;
inline constexpr int PurgeRx = 1;
inline constexpr int PurgeTx = 2;
} // namespace ft

// The text the error dialog adds after the wrapper's operation name.
QString FtStatusText(int status);

class UsbDriver {
public:
    virtual ~UsbDriver() = default;
    // Refreshes the device list and gives its length ("GetFTDeviceCount").
    virtual int ListCount(int& count) = 0;
    virtual int Description(int index, QString& text) = 0;
    virtual int SerialNumber(int index, QString& text) = 0;
    // One device is open at a time; index as in the last listing.
    virtual int Open(int index) = 0;
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual int SetBaudRate(int baud) = 0;
    virtual int SetDataCharacteristics(int bits, int stopBits, int parity) = 0;
    virtual int SetFlowControl(int flow, quint8 xon, quint8 xoff) = 0;
    virtual int SetTimeouts(int readMs, int writeMs) = 0;
    virtual int Purge(int mask) = 0;
    virtual int Write(const quint8* data, int n, int& written) = 0;
    // Returns when n bytes are in or the read time-out has passed (count below n, status 0).
    virtual int Read(quint8* data, int n, int& got) = 0;
    // Bytes waiting in the receive queue, without waiting ("FT_GetQueueStatus").
    virtual int QueueStatus(int& count) = 0;
    virtual int SetRts(bool on) = 0;
    virtual int SetDtr(bool on) = 0;
    virtual int SetBitMode(quint8 mask, quint8 mode) = 0;
};

// Several drivers listed one after the other (real converters first, then simulated ones).
class UsbDriverSet final : public UsbDriver {
public:
    void Add(std::unique_ptr<UsbDriver> driver) { drivers_.push_back(std::move(driver)); }
    size_t size() const { return drivers_.size(); }
    UsbDriver* driver(size_t i) { return drivers_[i].get(); }

    int ListCount(int& count) override;
    int Description(int index, QString& text) override;
    int SerialNumber(int index, QString& text) override;
    int Open(int index) override;
    int Close() override;
    bool IsOpen() const override { return open_ != nullptr; }
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

    // Which driver and local index a global index falls on; false when out of range.
    bool Locate(int index, UsbDriver*& driver, int& local) const;

private:
    std::vector<std::unique_ptr<UsbDriver>> drivers_;
    std::vector<int> counts_;
    UsbDriver* open_ = nullptr;
};

} // namespace vmx::link
