#pragma once
// The simulated test module (TK33 with its front end, or VO40): it sits between the PC and the
// sensor, answers its own framed command set when the RTS line routes the PC to it, switches
// the sensor's power and serial interface, samples the sensor's switching outputs, and
// programs the sensor's controllers: the Silicon Labs chip over C2 (the target's flash is the
// simulated sensor's own), the PIC with its program words, CONFIG and factory OSCCAL. It has
// its own boot loader (XRAM staging area, own code flash) reached on channel 33.

#include "sim/BootLoader.h"
#include "sim/Device.h"

#include <array>
#include <functional>
#include <optional>

namespace vmx::sim {

class Sensor;

// How the module fails, from its `afterFrame`th frame on (1: the first): it hangs and hears
// nothing more (mute), the answer to that frame is lost though the command was carried out
// (drop), that answer arrives garbled, every byte's lowest bit flipped (corrupt), or every answer from that
// frame on comes `delayUs` late (delay).
struct ModuleFault {
    enum class Kind { None, Mute, Drop, Corrupt, Delay };
    Kind kind = Kind::None;
    int afterFrame = 1;
    qint64 delayUs = 0;
};

struct ModuleProfile {
    int ident = 99;  // 99 for a test module; anything else models a foreign device
    int type = 33;   // 33 TK33, 40 VO40
    int subType = 1; // TK33: 0 QVR02.10, 1 QVR05/06; VO40: 2 board QVR06_20
    int tag = 0;
    int firmware = 210;              // V2.10
    int serialIf = proto::kIfMaster; // selection at power-up
    bool sensorPower = true;         // sensor supply at power-up
    int picOscCal = 0x0C24;          // the PIC's factory oscillator calibration word
    ModuleFault fault;               // a failure of the module, aimed at one of its frames
};

// The small PIC: 56 twelve-bit program words, CONFIG, and the OSCCAL word with its backup.
// Erased words read 0xFFF; writes only clear bits, as in the flash they model.
struct PicChip {
    static constexpr int kWords = 56;
    static constexpr quint16 kErased = 0x0FFF;
    std::array<quint16, kWords> words;
    quint16 config = kErased;
    quint16 oscCal;
    quint16 oscBackup;
    // For tests: a program word whose cells no longer take a write (-1: none).
    int brokenWord = -1;
    explicit PicChip(int osc = 0x0C24) : oscCal(quint16(osc & 0xFFF)), oscBackup(quint16(osc & 0xFFF))
    {
        words.fill(kErased);
    }
};

class TestModule final : public Device {
public:
    explicit TestModule(ModuleProfile profile = {});

    void Receive(quint8 b, qint64 tUs) override;
    void Advance(qint64 tUs) override;

    int serialIf() const { return serialIf_; }
    bool sensorPower() const { return power_; }
    bool odDt() const { return odDt_; }
    quint8 leds() const { return leds_; }
    bool picLines() const { return picLines_; }
    bool c2Ready() const { return c2Ready_; }
    const ModuleProfile& profile() const { return profile_; }
    PicChip& pic() { return pic_; }
    // The module's own memories (code flash with CodeSegment_3, the 512-byte XRAM).
    BootLoader& loader() { return loader_; }

    // Wired by the bench.
    std::function<void(bool on, qint64 tUs)> onPower;
    std::function<void(qint64 tUs)> onTestPulse;
    // The sensor's switching outputs now: bit 0 low, bit 1 high, per output.
    std::function<quint8(int output, qint64 tUs)> outputState;
    // The QVR02.10's outputs now: bits 0..3 the letters L, M, B, E.
    std::function<quint8(qint64 tUs)> qvr02State;
    // The C2 target: the sensor behind the module.
    Sensor* target = nullptr;
    // For tests: the data bytes of the next measurement stop, in place of what was sampled.
    std::optional<QByteArray> nextStopData;

    static constexpr qint64 kProcUs = 600;
    // The C2 flash operations on the target: a page erase and a block write from XRAM are
    // acknowledged at once and keep the module busy (deaf) for this long; the PC waits it out.
    // A block write from the module's flash and the device erase answer when they are done.
    static constexpr qint64 kC2PageEraseUs = 10000;
    static constexpr qint64 kC2BlockWriteUs = 10000;
    static constexpr qint64 kC2DeviceEraseUs = 20000;
    // The outputs are sampled this often between start and stop.
    static constexpr qint64 kSampleUs = 10000;
    // The module's own boot sector (its loader's code, protected).
    static constexpr int kBootAddr = 0xFC00;

private:
    void Command(const QByteArray& f, qint64 tUs);
    // Every answer goes out here, with the aimed fault applied.
    void Reply(QByteArray answer, qint64 tUs, qint64 procUs);
    bool C2Command(quint8 c, const QByteArray& f, qint64 tUs, QString& note);
    bool PicCommand(quint8 c, const QByteArray& f, QByteArray& payload, QString& note);
    void Sample(qint64 tUs);
    quint8 Output(int i, qint64 t) const { return outputState ? outputState(i, t) : quint8(0x01); }
    quint8 Qvr02(qint64 t) const { return qvr02State ? qvr02State(t) : quint8(0x01); }

    ModuleProfile profile_;
    FrameParser parser_;
    BootLoader loader_{kBootAddr};
    PicChip pic_;
    int serialIf_;
    bool power_;
    bool odDt_ = true;
    quint8 leds_ = 3;
    bool picLines_ = false;
    bool c2Ready_ = false;
    // Frames heard so far (for the aimed fault), and until when a C2 flash operation runs.
    int frames_ = 0;
    qint64 busyUntilUs_ = -1;
    // Output measurement: latched bits since the start, sampled up to nextSampleUs_.
    bool measuring_ = false;
    bool qvr02Measuring_ = false;
    qint64 nextSampleUs_ = 0;
    std::array<quint8, 4> latched_{};
    quint8 qvr02Latched_ = 0;
    bool odLatched_ = false;
};

} // namespace vmx::sim
