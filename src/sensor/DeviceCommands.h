#pragma once
// The single commands of the monitor and service pages: restart, bubble test, LED, output
// (serial) mode per firmware generation, service start, temporary adjusting, gain test,
// channel selection and sensor power. The window reads its controls and passes their values;
// what it has to show back is state it reads when the events say so.

#include "app/Session.h"
#include "link/Link.h"

#include <QString>

#include <array>

namespace vmx::sensor {

// What hangs on the open USB converter, by its serial number.
enum class AdapterKind {
    None,              // serial port, or a converter without extras
    LineAdapter,       // "007_V001" / "…9007": CBUS power and test-input lines
    TestModule,        // "002_V001" / "…9002": power through the test module
    TestModuleDigital, // "…9010": the test module with its digital test port
};
AdapterKind AdapterKindOf(const QString& usbSerial);

// The LED check boxes (CBLEDgreen, CBLEDred, CBLEDblue, CBLEDauto).
struct LedBits {
    bool green = false;
    bool red = false;
    bool blue = false;
    bool automatic = false;
    quint8 Byte() const
    {
        return quint8((green ? 1 : 0) | (red ? 2 : 0) | (blue ? 4 : 0) | (automatic ? 8 : 0));
    }
    // The colour boxes are only editable while "auto" is off.
    bool ColourBoxesEnabled() const { return !automatic; }
};

// Which configuration routine a sensor type uses.
enum class ConfigFamily { V110, V120, V140, QVR0530 };

// The gain-test grid StGainTesttemp: 4 rows, column 0 the labels, column 1 the values.
struct GainGrid {
    std::array<std::array<QString, 2>, 4> cells;
    // Per row: column 0, a tab, column 1, CR LF.
    QString ClipboardText() const;
};

// What the device commands need of a test module behind the converter. The test module
// implements it; the station connects the two, so the sensor layer never reaches up.
class ModuleRoutes {
public:
    virtual ~ModuleRoutes() = default;
    // Sensor power through the module, identifying it first while none is known. `isModule`
    // false: nothing that answers as a test module is there (nothing was switched).
    virtual bool RoutePower(bool on, bool& isModule) = 0;
    // The module's digital test port: a pulse of `time` (high or low first).
    virtual bool RouteTestPulse(bool high, int time) = 0;
    // The module's serial-interface switch: channel 1 or 2 of the sensor.
    virtual bool RouteChannel(bool channel1) = 0;
};

class DeviceCommands {
public:
    static constexpr int kDefaultBubbleTestTime = 10;
    static constexpr int kDefaultAdjustingSpeed = 10000;
    static constexpr int kGainAuto = 255;

    // What the commands leave for a front end to show (it reads the state below when told),
    // and what they ask of the rest of the program; the station implements it.
    enum class Shown { PowerGlyph, PowerAction, ColourBoxes, Channel, PowerAutomatic };
    class Events {
    public:
        virtual ~Events() = default;
        virtual void Changed(Shown what) = 0;
        // STOP of the acquisition; run before every operation on the sensor.
        virtual void StopAcquisition() = 0;
    };

    DeviceCommands(app::Session& session, link::Link& link, Events& events);

    // Glyph "POWER_ON" / "POWER_OFF" of both power buttons.
    bool PowerGlyphOn() const { return powerGlyphOn_; }
    // The check of ALPowerOn (SetPowerAutomatically unchecks and checks it).
    bool PowerActionChecked() const { return powerActionChecked_; }
    // The colour boxes' enabling after an LED or V1.10 configuration command.
    bool ColourBoxesEnabled() const { return colourBoxesEnabled_; }
    // Caption of ALSwitchIF: "CH 1" / "CH 2".
    const QString& ChannelCaption() const { return channelCaption_; }

    AdapterKind adapterKind() const;
    ConfigFamily configFamily() const;

    // --- restart, bubble test, LED ----------------------------------------------------------
    bool Restart();
    // serialMode: CBMSerialMode index; time: EBubbleTestTime (0..250).
    bool BubbleTest(int serialMode, int bubbleTestTime);
    bool SetLed(int serialMode, const LedBits& led);

    // --- output mode ------------------------------------------------------------------------
    // Power cycle first when automatic power is on, then the generation's routine.
    bool SetOutputMode(int serialMode, const LedBits& led);
    // Serial mode 3, then ALSetConfig; the window sets CBMSerialMode to 3.
    bool StartService(const LedBits& led);
    static constexpr int kServiceMode = 3;
    // The mode check shared by V1.10, V1.20 and V1.40 (message 427 when refused).
    bool ModeAllowed(int mode, ConfigFamily family) const;
    bool SetConfigV110(int serialMode, const LedBits& led);
    bool SetConfigV120(int serialMode);
    bool SetConfigV140(int serialMode);
    bool SetConfigQVR0530(int serialMode);
    static quint8 V110ConfigByte(int serialMode, const LedBits& led);
    static quint8 V120ModeByte(int serialMode);

    // --- adjusting, gain test ---------------------------------------------------------------
    bool AdjustTemporarily(int adjustingSpeed);
    // gainStep: 0..4 or 255 (CBGainTest item "Auto").
    bool RunGainTest(int gainStep);
    bool SetGainTest(int gainStep);
    const GainGrid& gainGrid() const { return gain_; }
    // CBGainTest item index (0..4 steps, 5 "Auto") to the command's step.
    static int GainStepOfItem(int item) { return item >= 0 && item <= 4 ? item : kGainAuto; }

    // --- channel, power ---------------------------------------------------------------------
    bool SetIF(bool channel1);
    bool SetPower(bool on);
    bool PowerAuto() const { return powerAuto_; }
    void SetPowerAuto(bool on);
    // Left-button release on one of the three "Power automatisch " boxes.
    void TogglePowerAuto() { SetPowerAuto(!powerAuto_); }
    bool SetPowerAutomatically();
    // The test module's routes (null: none connected; the module commands then fail).
    void SetModuleRoutes(ModuleRoutes* routes) { routes_ = routes; }

private:
    void Stop();
    void Panel(int message) { session_.PanelText(1, session_.Msg(message)); }
    bool Sensor(quint8 command, int frameLength, int answerLength, int opMessage);
    void SetProtocolForMode(int serialMode, ConfigFamily family);
    void Glyph(bool on);
    bool BubblePulse(bool high, int bubbleTestTime);

    app::Session& session_;
    link::Link& link_;
    GainGrid gain_;
    bool powerAuto_ = false;
    ModuleRoutes* routes_ = nullptr;
    Events& events_;
    bool powerGlyphOn_ = true;
    bool powerActionChecked_ = true;
    bool colourBoxesEnabled_ = true;
    QString channelCaption_ = QStringLiteral("CH 1");
    void Show(Shown what) { events_.Changed(what); }
};

} // namespace vmx::sensor
