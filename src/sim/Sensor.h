#pragma once
// The simulated sensor: its application (framed command set per firmware generation, the
// unframed V1.10 set), the entry into its boot loader and the boot loader's own small command
// set, and a measuring model that streams short or long records at the line's byte rate or
// answers the polled request 0x23.

#include "sim/BootLoader.h"
#include "sim/Device.h"

#include <array>
#include <random>

namespace vmx::sim {

enum class Tube { None, Empty, Filled };

// Firmware generations that change the protocol.
enum class Generation {
    V110,   // unframed application and old unframed boot loader (firmware 110)
    V100,   // framed application; old memory commands in the boot loader (firmware 100)
    Framed, // V1.2x .. V1.4x
    G0530,  // QVR05.30 (V2.0x): two-step boot entry and service mode
};

struct SensorProfile {
    int ident = 20;
    int type = 5;
    int subType = 28;
    int firmware = 143;
    int hardware = 14;
    int year = 13;
    int serialNo = 1234;
    int model = 1;
    // Output (serial) mode after every restart: 1 short stream, 2 long stream, other none
    // (3 is the polled dialog mode; 0x23 is answered in every mode of the framed generations).
    int mode = 2;
    int bootAddr = 0x1A00;
    int mcu = 330;
    int bootVersion = 3;
    // Serial interface the sensor speaks behind a test module (0 slave, 1 master, 2 RS232;
    // -1 every one: a unit of two channels).
    int serialIf = 1;
    // With serialIf -1 behind a test module: a unit of two channels, two controllers with
    // memories of their own (the master behind interfaces 1 and 2, the slave behind 0), not
    // one that answers behind each interface.
    bool twoChannels = false;
    Tube tube = Tube::Filled;
    bool powered = true;
    // A new chip: the whole code flash erased, nothing runs until it is programmed (over C2).
    bool blank = false;
    // Where the parameter page, the identification and the calibration block lie in the code
    // flash (0xFFFF: none), and the parameter block's length (0: none).
    int parAddr = 0x0A00;
    int parLen = 256;
    int snOffset = 128;
    int calOffset = 0xFFFF;
    std::array<quint8, 16> cal{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Faults from the start (a profile's fault words).
    Faults faults;
    // The boot loader's read answers name an address this far off the one asked for.
    int readAddressSkew = 0;
    // Without a tube the bench's sensor reports error 2; a unit on the production station
    // measures its bare transducers instead (a weak signal, no error).
    bool noTubeError = true;
    // Faulty units: a weak transducer (received signal this many 0.1 dB lower), switching
    // outputs stuck at one level (0x01 low, 0x02 high; 0 none), the version byte of the
    // measurement this far below the firmware's.
    int amplitudeLoss = 0;
    quint8 stuckOutput = 0;
    int versionSkew = 0;
    // A population of units, drawn anew for each unit from `seed` (the same units every time):
    // the measured amplitude around the good unit's with standard deviation `spread` (in its
    // own counts), and `badPercent` of the units with one of the faulty kinds above.
    double spread = 0.0;
    double badPercent = 0.0;
    quint32 seed = 1;

    Generation generation() const;
    // Sets type, subtype and firmware from a catalogue key (type * 10^6 + subtype * 10^3 +
    // firmware) and the numbers that go with that generation (ident, boot sector, interface).
    bool SetKey(qint64 key);
    qint64 key() const { return qint64(type) * 1000000 + subType * 1000 + firmware; }
};

struct MeasValues {
    std::array<quint8, 16> v{}; // V0..V15
    quint8 out = 0;             // output value OUT
};

class Sensor final : public Device {
public:
    explicit Sensor(SensorProfile profile = {});

    void Receive(quint8 b, qint64 tUs) override;
    void Advance(qint64 tUs) override;
    qint64 SpontaneousUs(qint64 count, qint64 nowUs) const override;

    // States are as of the last Receive/Advance (the bench advances on every PC-side call).
    // Halted: powered, but the core is held by C2 or its flash holds no program: silent.
    enum class Run { Off, Starting, App, EnteringBoot, Boot, Halted };
    Run run() const { return run_; }
    bool InBootLoader() const { return run_ == Run::Boot; }
    int mode() const { return mode_; }
    bool Streaming() const;
    bool powered() const { return run_ != Run::Off; }

    void SetPower(bool on, qint64 tUs);
    void Restart(qint64 tUs);
    void SetTube(Tube tube, qint64 tUs);
    // The next unit from the line takes this one's place on the station: its production data
    // blank again, its parameter page the factory's, and a new chip's flash erased as a whole.
    void NextUnit(qint64 tUs);
    Tube tube() const { return profile_.tube; }
    // Bubbles pass the sensor for `durationUs` from `tUs` on, lowering the amplitude by
    // `dropTenthDb` (0.1 dB): on demand a large one (air, alarm), a bubble test a small one.
    static constexpr int kLargeBubbleDrop = 200;
    static constexpr int kSmallBubbleDrop = 80;
    void Bubble(qint64 tUs, qint64 durationUs, int dropTenthDb = kLargeBubbleDrop);
    // Bubbles one after the other from `tUs` on, each `widthUs` long, one every `periodUs`,
    // until SetTube or StopBubbles (an operator squeezing the tube again and again).
    void BubbleTrain(qint64 tUs, qint64 periodUs, qint64 widthUs, int dropTenthDb = kLargeBubbleDrop);
    void StopBubbles(qint64 tUs);
    // Whether a bubble passes at `tUs`, and how deep it drops the amplitude.
    bool BubbleAt(qint64 tUs, int* dropTenthDb = nullptr) const;
    // The level of the switching outputs at `tUs` (0x01 low, 0x02 high): configured as
    // switching outputs (mode 0) they go high on air, as the alarm; in the other modes they
    // show the liquid signal (high while liquid is seen).
    quint8 OutputLevel(qint64 tUs) const;
    // A test pulse on the digital test input (line adapter CBUS3, test module 0x55).
    void TestInputPulse(qint64 tUs) { Bubble(tUs, 200000, kSmallBubbleDrop); }

    // Streamed blocks go into the trace as they are built ("stream block"), so a test can
    // compare what the program stored with what was sent. Off by default: a stream is long.
    bool traceStreamBlocks = false;

    quint8 led() const { return led_; }
    int gainStep() const { return gainStep_; }
    int adjustingSpeed() const { return adjust_; }
    qint64 samples() const { return samples_; }

    // Whether the sensor sees air at `tUs` (empty or missing tube, a large bubble passing):
    // what its switching outputs follow. Does not disturb the measuring model.
    bool AirAt(qint64 tUs) const;
    // One measurement as the sensor sees the tube at `tUs`.
    MeasValues Measure(qint64 tUs);
    // The identification answer: the numbers of the firmware, the production data (model,
    // year, serial number) from the identification block in flash when the type has one.
    std::array<quint8, 16> IdentBlock() const;
    // The calibration answer: from flash when the type has the block, else the profile's.
    std::array<quint8, 16> CalBlock() const;
    // The factory contents of the flash: identification and calibration blocks in the first
    // page, a parameter block with a valid checksum and the page's extra word.
    void InitFlash();
    static constexpr quint16 kFactoryExtraWord = 0x5AA5;
    // The standard parameter set as the factory writes it into the parameter page.
    static std::array<quint8, 256> StandardParameterPage();
    std::array<quint8, 16> IdentBlockOfProfile() const;
    std::array<quint8, 16> BootIdentBlock() const;

    // The C2 debug interface of the test module: halting the core (init) and resetting it
    // (the program, if any, starts). Flash changes go straight to bootLoader().flash().
    bool C2Halt(qint64 tUs);
    void C2Reset(qint64 tUs);
    // Whether the code flash holds an application: judged by the reset vector once the chip
    // is blank or C2 has touched it (the factory profiles model no application code).
    bool HasProgram() const;
    // The code flash was replaced from outside (a kept state): a running or halted sensor runs
    // what it now holds, or halts when that is nothing.
    void FlashChanged(qint64 tUs);

    BootLoader& bootLoader() { return boot_; }
    const SensorProfile& profile() const { return profile_; }
    SensorProfile& profile() { return profile_; }

    static constexpr qint64 kRestartUs = 100000;  // restart until the application runs
    static constexpr qint64 kBootEntryUs = 20000; // start of the boot loader
    static constexpr qint64 kProcUs = 400;        // from a request's last byte to the answer
    static constexpr qint64 kModeChangeUs = 10000;
    static constexpr qint64 kArmUs = 200000; // two-step commands of the 05.30 generation

protected:
    void Unplugged(qint64 tUs) override { SetPower(false, tUs); }

private:
    void Tick(qint64 tUs);
    void App(const QByteArray& f, qint64 tUs);
    void BootFramed(const QByteArray& f, qint64 tUs);
    void UnframedApp(quint8 b, qint64 tUs);
    void UnframedBoot(quint8 b, qint64 tUs);
    static bool OldBootCommand(quint8 b);
    BootLoader::Result RunBootMemory(const QByteArray& bytes, qint64 tUs);
    void Reply(Unit unit, const QByteArray& bytes, qint64 tUs);
    void SetMode(int mode, qint64 tUs);
    void StopOutput(qint64 tUs);
    void FinishRecord();
    void EmitStreamByte();
    int RecordSize() const;
    int BlockSize() const;
    void FillBlock();
    void FillBlockFrom(const MeasValues& m);
    quint32 Rand();
    // The next unit of the population (spread, badPercent): its offset and fault kind.
    void DrawUnit();

    SensorProfile profile_;
    FrameParser parser_;
    Run run_ = Run::Off;
    Run next_ = Run::App; // what Starting/EnteringBoot ends in
    qint64 readyAt_ = 0;
    int mode_ = 0;
    quint8 led_ = 0;
    int gainStep_ = 255;
    int adjust_ = 10000;
    qint64 bubbleFrom_ = -1;
    qint64 bubbleUntil_ = -1;
    int bubbleDrop_ = kLargeBubbleDrop;
    qint64 trainFrom_ = -1;
    qint64 trainPeriod_ = 0;
    qint64 trainWidth_ = 0;
    int trainDrop_ = kLargeBubbleDrop;
    qint64 serialArmUntil_ = -1;
    qint64 bootArmUntil_ = -1;
    qint64 nowUs_ = 0;
    // Stream state.
    qint64 streamFromUs_ = 0;
    qint64 streamIndex_ = 0;
    qint64 streamCount_ = 0; // bytes streamed, for the stream faults
    std::array<quint8, proto::kLongBlock> block_{};
    qint64 samples_ = 0;
    quint32 rng_ = 0x2545F491u;
    std::mt19937 population_;
    int unitOffset_ = 0; // this unit's amplitude off the good unit's
    // The profile's own unit kind, which a drawn good unit goes back to.
    struct UnitKind {
        int amplitudeLoss = 0;
        quint8 stuckOutput = 0;
        int versionSkew = 0;
        bool mute = false;
    } ownKind_;
    // Old boot loader: bytes still expected for a multi-byte command.
    QByteArray pending_;
    BootLoader boot_;
    int pendingNeed_ = 0;
    bool checkProgram_ = false;
};

} // namespace vmx::sim
