#pragma once
// What the step routines of a test run share: the definition they check against, the test
// hardware found, the sample they judge, how they report and how they reach the acquisition.
// The station owns one and wires its hooks; the run controller's steps signal through `steps`.

#include "app/Host.h"
#include "monitor/MeasSample.h"

#include <QString>

#include <functional>

namespace vmx::app {
class Session;
}
namespace vmx::testmodule {
struct ModuleRecord;
class StepSignal;
} // namespace vmx::testmodule

namespace vmx::prodtest {

class TestDefinitions;
class OperatorPanel;

class StepContext {
public:
    StepContext(app::Session& session, TestDefinitions& definitions, testmodule::ModuleRecord& record);

    app::Session& session;
    TestDefinitions& defs;
    testmodule::ModuleRecord& record;
    testmodule::StepSignal* steps = nullptr;
    OperatorPanel* panel = nullptr;

    // Wired by the station (each may be unset).
    std::function<void()> stopAcquisition;  // ALStop
    std::function<void()> startAcquisition; // ALStart
    std::function<void()> resetValues;      // store and table cleared
    // CBMSerialMode := mode, then ALSetConfig; false when the sensor refused.
    std::function<bool(int serialMode)> setConfig;
    // The parameter and identification pages show the blocks again (UpdateDialog).
    std::function<void()> refreshPages;
    // The live-value panel from a sample (NewMeasValue).
    std::function<void(const monitor::MeasSample&)> showMeasValue;
    // A prompt that waits for the operator was shown (the simulated operator acts on it).
    std::function<void(const QString& prompt)> promptShown;
    // The acquisition's own current sample, which the restart marks invalid as well.
    std::function<monitor::MeasSample*()> acquisitionSample;

    // The sample a step judges: the last one stored since the acquisition was restarted for
    // the step. Only the restart and a stored sample change it, so nothing measured before
    // the restart can pass for the new measurement.
    const monitor::MeasSample& measured() const { return measured_; }
    void Sampled(const monitor::MeasSample& s) { measured_ = s; }
    // Valid flag false, Signal -1, Version 0 (here and in the acquisition's sample).
    void MarkMeasurementInvalid();
    // No sample, or one without a signal.
    bool MeasurementMissing() const { return !measured_.Valid || measured_.Signal < 0; }

    void Blue(const QString& text);
    void Red(const QString& text);
    // Blue, and the run waits for the operator to do what it says.
    void Prompt(const QString& text);
    void Wait(int ms);
    void Stop();
    void AutoAdvance();
    // A file named in TEST.INI: relative to the program folder unless it says otherwise.
    QString ProgramFile(const QString& name) const;

private:
    monitor::MeasSample measured_;
};

} // namespace vmx::prodtest
