#pragma once
// The measuring steps of a test run: the signal without tube, with an empty and with a filled
// tube, the amplitude tests, the bubble tests (output maximum), the switching outputs read by
// the test module or judged from an LED, the shield judged by the operator and the cable
// bridge. Each restarts the acquisition before it measures and judges only what came after.

#include <QString>

namespace vmx::link {
class Link;
}
namespace vmx::monitor {
class MeasurementStore;
}
namespace vmx::sensor {
class DeviceCommands;
}
namespace vmx::testmodule {
class TestModule;
}

namespace vmx::prodtest {

class StepContext;

class MeasurementSteps {
public:
    MeasurementSteps(StepContext& context, link::Link& link, monitor::MeasurementStore& store,
                     sensor::DeviceCommands& devices, testmodule::TestModule& module);

    // The acquisition restarted in the long measurement protocol (or the 05.30 form), with the
    // sample marked invalid first.
    void StartLongSerialProt();
    void StartLongSerialProtQVR0530();

    void PrepareWithout();
    void GetWithout();
    void CommandEmpty();
    void PrepareEmpty();
    void GetEmpty();
    void CommandFull();
    void PrepareFull();
    void GetFull();
    void CommandAmplMeas(int n);
    void PrepareAmplMeas(int n);
    void GetAmplMeas(int n);
    void PrepareBubbleTest(int n);
    void GetBubbleTest(int n);
    void CheckSwitchingOut(int n, int port, bool configure);
    void CheckSwitchingOutput(int level, int port);
    void PrepareCheckShield();
    void SubmitCheckShield();
    void TestCableBridge(int port);

    // "L" for 0x11, "H" for 0x22, "Toggle" for 0x31/0x32, "?" for anything else.
    static QString PortClass(quint8 state);
    // Whether a port state byte shows the expected state (0 "L", 1 "H", 2 "LHLH").
    static bool PortMatches(int expected, quint8 state);
    // The levels of a port state byte as status panel 1 shows them after its caption.
    static QString PortLevels(quint8 state);

private:
    // The live value the step judges, marked on the panel with its limits.
    void Judge(int field, const QString& limits);
    // A prompt that prepares a measurement: the acquisition runs while the operator works.
    void LiveWhilePreparing(int field, const QString& limits);
    bool AmplDefined(int n) const;
    bool BubbleDefined(int n) const;
    // After a failed test-hardware check: `outcome` 0 and the red text; false when the check
    // did not fail.
    bool ModuleRefused(int& outcome, const QString& caption);
    // One module measurement of `waitMs`; false when an exchange failed (the module said why).
    bool ReadPort(int port, int waitMs, const QString& caption, quint8& state);

    StepContext& c_;
    link::Link& link_;
    monitor::MeasurementStore& store_;
    sensor::DeviceCommands& devices_;
    testmodule::TestModule& module_;
};

} // namespace vmx::prodtest
