#pragma once
// The simulated bench as USB converters: each converter is a sim::Bench; its serial number
// selects the kind, as the program's adapter checks expect. Reads and writes run on the
// session clock, so with a virtual clock a whole exchange takes no real time.

#include "link/UsbDriver.h"
#include "sim/Bench.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace vmx::app {
class Clock;
}

namespace vmx::link {

class SimUsbDriver final : public UsbDriver {
public:
    SimUsbDriver(app::Clock& clock, const std::vector<sim::ConverterSpec>& converters);
    // The converters of a profile (--simulate=…), then `extra`; null when there are none. A
    // profile that does not parse is left out, `profileError` says why.
    static std::unique_ptr<SimUsbDriver> FromOptions(app::Clock& clock, const std::optional<QString>& profile,
                                                     const std::vector<sim::ConverterSpec>& extra,
                                                     QString& profileError);
    // The profile asks for the virtual clock (--simulate=virtual,…).
    static bool IsVirtualProfile(const QString& profile);

    size_t size() const { return benches_.size(); }
    sim::Bench& bench(size_t i) { return *benches_[i]; }
    // The bench of the open converter, or null.
    sim::Bench* openBench() { return open_; }
    // The simulated operator at the open bench: puts the next unit on the station, or does
    // what a production-test prompt asks; false without an open bench or when the prompt
    // asks nothing.
    bool NextUnit();
    bool UnitTested();
    bool HandsFollow(const QString& prompt);

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

    // The converter's transmit FIFO: a write returns once all but this much is on the line.
    static constexpr int kTxFifo = 384;

private:
    app::Clock& clock_;
    std::vector<std::unique_ptr<sim::Bench>> benches_;
    sim::Bench* open_ = nullptr;
    int readTimeoutMs_ = 0; // 0: D2XX default, wait for ever (bounded here to 10 s)
    int writeTimeoutMs_ = 0;
    int baud_ = 9600;
};

} // namespace vmx::link
