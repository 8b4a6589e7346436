#pragma once
// The test module's simple commands (channel 33: the line is switched to the module around
// each exchange), its identification, the rest state, the output measurements, the LED
// panels, the check of the connected test hardware and the power steps of a test run.
// The page's controls show the state kept here (checks, captions, font colours).

#include "app/Host.h"
#include "sensor/DeviceCommands.h"
#include "testmodule/ModuleRecord.h"

#include <QString>

#include <functional>

namespace vmx::app {
class Session;
}
namespace vmx::link {
class Link;
}

namespace vmx::testmodule {

enum class Font { Black, Red, Green };

// A toggling action of the page: its check, its button font and caption.
struct Toggle {
    bool checked = false;
    Font font = Font::Black;
    QString caption;
};

struct ModuleIdent {
    int ident = -1;
    int type = -1;
    int subType = -1;
    int tag = -1;
    int firmware = -1;
    QString version; // "V2.10"
    QString model;   // "TK33 - QVR05/06"
};

// The allowed set of the test-hardware check.
enum AllowedHardware : int {
    AllowConverter005 = 0x04,
    AllowConverter007 = 0x08,
    AllowComPort = 0x20,
    AllowAny = 0x40,
};

class TestModule final : public sensor::ModuleRoutes {
public:
    // What the module asks of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        virtual void StopAcquisition() = 0;
        // The converter's own power line (SetPower of the device commands).
        virtual bool ConverterPower(bool on) = 0;
        // The "Power On" action of the monitor page is to be checked or unchecked.
        virtual void PowerActionChanged(bool on) = 0;
        // A control of the page is to be shown again.
        virtual void ModuleChanged() = 0;
        // The serial-interface radio buttons are to follow serialIfType().
        virtual void SerialIfChanged() = 0;
    };

    TestModule(app::Session& session, link::Link& link, ModuleRecord& record, Hooks& hooks);

    ModuleIdent ident;
    Toggle power;                                              // ALSwitchPowerQVR
    Toggle odDt;                                               // ALSwitchODDT
    Toggle qvr02{false, Font::Black, QStringLiteral("START")}; // ALQVR02Meas
    Toggle qvr06{false, Font::Black, QStringLiteral("START")}; // ALQVR06Meas
    Toggle picProg;                                            // ALSwitchPICProg
    int ledGreen = 1;                                          // PTKLEDgreen
    int ledRed = 1;                                            // PTKLEDred

    StepSignal* steps = nullptr;

    // One exchange with the module; the payload is set at link.Tx()[4..] by the caller.
    bool Command(quint8 command, int frameLength, int answerLength, const QString& caption);

    bool SwitchPowerQVR(bool on);
    bool SwitchODDT(bool high);
    bool Ping();
    bool TK33_GetIdent();
    bool SetLeds();
    // One of the module's two LEDs switched to its other state (a click on its panel).
    bool ToggleLed(bool green);
    bool QVR02Meas(bool start);
    bool QVR06Meas(bool start);
    bool ResetSwitches();
    bool SwitchPICProg(bool on);
    bool ResetC2();
    // The toggling actions: the new state of the check is passed on.
    bool TogglePower() { return SwitchPowerQVR(!power.checked); }
    bool ToggleODDT() { return SwitchODDT(!odDt.checked); }
    bool ToggleQVR02() { return QVR02Meas(!qvr02.checked); }
    bool ToggleQVR06() { return QVR06Meas(!qvr06.checked); }
    bool TogglePICProg() { return SwitchPICProg(!picProg.checked); }

    // The routes of the monitor page's power, test-pulse and channel commands.
    bool RoutePower(bool on, bool& isModule) override;
    bool RouteTestPulse(bool high, int time) override;
    bool RouteChannel(bool channel1) override;

    // The serial-interface switch (command 0x43) and its radio buttons: the selection follows
    // the request whatever the module answered. -1 before the first.
    bool SwitchSerialIF(int type);
    // The production-test form: STOP first, then the switch; on success the step is done.
    bool SwitchSerialInterface(int type);
    int serialIfType() const { return serialIfType_; }

    // Steps of a test run.
    void CheckTK33Ident(int frontEnd, int allowed);
    void SwitchPowerQVR_ON() { PowerStep(true); }
    void SwitchPowerQVR_OFF() { PowerStep(false); }
    void SwitchPowerQVR_Automatically();

    ModuleRecord& record() { return *record_; }
    app::Session& session() { return *session_; }
    // STOP of the acquisition, as the module's own operations run it first.
    void StopAcquisition() { hooks_->StopAcquisition(); }
    link::Link& link() { return *link_; }
    // A comment line of the test page.
    void Comment(app::CommentColour colour, const QString& text);
    void Signal();
    void Changed();

private:
    bool SwitchConverterOrModule(bool on);
    void PowerStep(bool on);
    // A two-state switch of the module (payload 1/0) with its action's check and font.
    bool Switch(Toggle& action, quint8 command, bool on, const QString& caption, Font onFont, Font offFont,
                int waitMs);
    // The start half of the two measurements: caption "STOP", the command, the font.
    bool StartMeasurement(Toggle& action, quint8 command, const QString& caption);

    app::Session* session_;
    link::Link* link_;
    ModuleRecord* record_;
    Hooks* hooks_;
    int serialIfType_ = -1;
};

} // namespace vmx::testmodule
