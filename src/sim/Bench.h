#pragma once
// One simulated converter with what hangs on it: the PC side of the line (what the program's
// simulated port driver calls), the routing by RTS, the CBUS lines of the line adapter, and
// the sensor (and test module) behind it. Times are the caller's clock in microseconds.

#include "sim/OperatorHands.h"
#include "sim/Sensor.h"
#include "sim/TestModule.h"

#include <deque>
#include <memory>
#include <optional>

namespace vmx::sim {

enum class ConverterKind {
    LineAdapter,   // "…9007": sensor on the line, power and test input on CBUS lines
    DataConverter, // "…9005": sensor on the line, nothing else
    TestModule,    // "…9002" TK33 / "…9010" VO40: RTS routes the line to the module or the sensor
    Serial,        // a plain serial line (vmx-sim on a pseudo-terminal): no modem lines
};

struct ConverterSpec {
    ConverterKind kind = ConverterKind::LineAdapter;
    QString serial = QStringLiteral("VMXS9007");
    QString description = QStringLiteral("VMX Sim Line Adapter 007");
    bool openable = true; // false: listed by the driver, but the open fails
    SensorProfile sensor;
    ModuleProfile module;
    // Serial kind with a test module: the line goes to the module instead of the sensor.
    bool routeToModule = false;
    // Where the bench keeps its non-volatile memories from one run to the next (empty: none):
    // the sensor's code flash and EEPROM, the module's flash and the PIC.
    QString stateDir;
};

class Bench {
public:
    explicit Bench(ConverterSpec setup);
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    const ConverterSpec& setup() const { return spec_; }
    Sensor& sensor() { return sensor_; }
    // A unit of two channels (profile if=two behind a test module): the controller behind the
    // module's slave interface 0; the master (sensor()) answers behind the others.
    Sensor* slave() { return slave_.get(); }
    // A unit's test went through to its end: the operator takes that unit off before the next
    // test, in this run or a later one (the mark is kept in the state folder).
    void UnitTested() { unitTested_ = true; }
    // The operator readies the station for a unit's test: when the unit on it has been tested,
    // the next unit from the line takes its place (both controllers of a two-channel one).
    void NextUnit(qint64 nowUs);
    TestModule* module() { return module_ ? module_.get() : nullptr; }
    Trace& trace() { return trace_; }
    // The operator's hands at the sensor (the production station's prompts).
    OperatorHands& hands() { return hands_; }

    // PC side. Write queues bytes on the PC's line at 11520 bytes/s from `nowUs` (behind what
    // is still being sent) and returns their number.
    int Write(const quint8* data, int n, qint64 nowUs);
    // Copies up to `max` bytes that have arrived by `nowUs`.
    int Read(quint8* data, int max, qint64 nowUs);
    int Available(qint64 nowUs);
    // When `n` bytes will have arrived (nowUs if they have); -1 when nothing more is coming
    // that the bench can foresee.
    qint64 WhenAvailable(int n, qint64 nowUs);
    void PurgeRx(qint64 nowUs);
    // When the PC's line has sent everything written.
    qint64 TxFreeUs() const { return txFreeUs_; }

    void SetRts(bool on, qint64 nowUs);
    bool rts() const { return rts_; }
    void SetDtr(bool on, qint64 nowUs);
    // FTDI bit mode; 0x20 CBUS bit-bang: high nibble of the mask = outputs, low nibble = levels.
    void SetBitMode(quint8 mask, quint8 mode, qint64 nowUs);
    // Where the PC's line goes now.
    bool RoutedToModule() const;
    // Whether the sensor's line reaches the PC at all (routing and the module's interface).
    bool SensorConnected() const;

    // The driver buffer on the PC side; what arrives beyond it is lost (overrun): the devices
    // send at the line's rate whether or not the PC reads.
    static constexpr int kRxCapacity = 65536;
    void SetRxCapacity(int bytes) { rxCapacity_ = bytes > 0 ? bytes : kRxCapacity; }
    int rxCapacity() const { return rxCapacity_; }
    // Bytes that reached the PC side while its buffer was full, since the bench was made.
    qint64 overrunBytes() const { return overrunBytes_; }
    // A serving process (vmx-sim) whose own output queue refused bytes: lost the same way.
    void NoteOverrun(qint64 bytes, qint64 nowUs, Unit unit = Unit::Sensor);

    // Open/close of the converter: a closed converter hears nothing from the PC; output still
    // runs into its buffer, as a real driver's would not, so the buffer is emptied at open.
    void Opened(qint64 nowUs);

    // The non-volatile memories into the state folder (also done when the bench goes); false
    // when a file could not be written. Without a state folder there is nothing to do.
    bool SaveState();

private:
    void LoadState();
    Device* Routed();
    void Pull(qint64 nowUs);
    void Deliver(Device& d, qint64 nowUs, bool keep);

    ConverterSpec spec_;
    Trace trace_;
    Sensor sensor_;
    OperatorHands hands_{sensor_};
    std::unique_ptr<TestModule> module_;
    std::unique_ptr<Sensor> slave_;
    std::deque<quint8> rx_;
    bool unitTested_ = false;
    int rxCapacity_ = kRxCapacity;
    qint64 overrunBytes_ = 0;
    qint64 txRunStart_ = 0;
    qint64 txRunCount_ = 0;
    qint64 txFreeUs_ = 0;
    bool rts_ = false;
    bool dtr_ = false;
    bool cbusPowerOff_ = false;
    bool cbusPulse_ = false;
};

} // namespace vmx::sim
