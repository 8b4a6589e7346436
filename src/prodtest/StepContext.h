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
    // What the steps ask of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        virtual void StopAcquisition() = 0;  // ALStop
        virtual void StartAcquisition() = 0; // ALStart
        // Store and table cleared.
        virtual void ResetMeasuredValues() = 0;
        // CBMSerialMode := mode, then ALSetConfig; false when the sensor refused.
        virtual bool ConfigureOutput(int serialMode) = 0;
        // The parameter and identification pages show the blocks again (UpdateDialog).
        virtual void RefreshPages() = 0;
        // The live-value panel from a sample (NewMeasValue).
        virtual void ShowMeasValue(const monitor::MeasSample& sample) = 0;
        // A prompt that waits for the operator was shown (the simulated operator acts on it).
        virtual void PromptShown(const QString& prompt) = 0;
        // The acquisition's own current sample, which the restart marks invalid as well.
        virtual monitor::MeasSample& AcquisitionSample() = 0;
    };

    StepContext(app::Session& session, TestDefinitions& definitions, testmodule::ModuleRecord& record,
                Hooks& hooks);

    app::Session& session;
    TestDefinitions& defs;
    testmodule::ModuleRecord& record;
    testmodule::StepSignal* steps = nullptr;
    OperatorPanel* panel = nullptr;

    Hooks& hooks;

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
