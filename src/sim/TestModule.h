#pragma once
// The simulated test module (TK33 with its front end, or VO40): it sits between the PC and the
// sensor, answers its own framed command set when the RTS line routes the PC to it, switches
// the sensor's power and serial interface, and samples the sensor's switching outputs.

#include "sim/Device.h"

#include <functional>

namespace vmx::sim {

struct ModuleProfile {
    int type = 33;   // 33 TK33, 40 VO40
    int subType = 1; // TK33: 0 QVR02.10, 1 QVR05/06; VO40: 2 board QVR06_20
    int tag = 0;
    int firmware = 210;              // V2.10
    int serialIf = proto::kIfMaster; // selection at power-up
    bool sensorPower = true;         // sensor supply at power-up
};

class TestModule final : public Device {
public:
    explicit TestModule(ModuleProfile profile = {});

    void Receive(quint8 b, qint64 tUs) override;

    int serialIf() const { return serialIf_; }
    bool sensorPower() const { return power_; }
    bool odDt() const { return odDt_; }
    quint8 leds() const { return leds_; }
    bool picLines() const { return picLines_; }
    const ModuleProfile& profile() const { return profile_; }

    // Wired by the bench.
    std::function<void(bool on, qint64 tUs)> onPower;
    std::function<void(qint64 tUs)> onTestPulse;
    // The sensor's switching outputs now: bit 0 low, bit 1 high, per output.
    std::function<quint8(int output, qint64 tUs)> outputState;

    static constexpr qint64 kProcUs = 600;

private:
    void Command(const QByteArray& f, qint64 tUs);
    quint8 Output(int i, qint64 t) const { return outputState ? outputState(i, t) : quint8(0x01); }

    ModuleProfile profile_;
    FrameParser parser_;
    int serialIf_;
    bool power_;
    bool odDt_ = true;
    quint8 leds_ = 3;
    bool picLines_ = false;
    quint8 latched_[4] = {0, 0, 0, 0};
    bool measuring_ = false;
};

} // namespace vmx::sim
