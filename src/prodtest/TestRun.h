#pragma once
// The run controller of the production test: the step counter, the dispatch of the selected
// definition's step program, "WEITER" (chained while a step asks for the next), "ZURÜCK",
// "ABBRECHEN" and the wait step. Step routines report through the status line of the
// measuring page and ask for the next step through AutoAdvance.

#include "app/Host.h"
#include "prodtest/OperatorPanel.h"
#include "prodtest/RunLog.h"
#include "testmodule/ModuleRecord.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vmx::app {
class Session;
}
namespace vmx::monitor {
struct MeasSample;
}
namespace vmx::testmodule {
class TestModule;
class C2Programmer;
class PicProgrammer;
class TestModuleFirmware;
} // namespace vmx::testmodule

namespace vmx::prodtest {

class TestDefinitions;
class TestResults;
class MeasurementSteps;
class IdentitySteps;
struct StepDef;

class TestRun final : public testmodule::StepSignal {
public:
    struct Parts {
        testmodule::TestModule& module;
        testmodule::C2Programmer& c2;
        testmodule::PicProgrammer& pic;
        testmodule::TestModuleFirmware& firmware;
    };
    // What the run asks of the rest of the program and tells it; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // WEITER at step 0, before a unit starts: the operator has put an untested unit on the
        // station (the last one stays when its test did not go through to its end).
        virtual void NextUnit() = 0;
        // A unit's test went through to its end; the operator takes that unit off before the
        // next test, in this run or a later one.
        virtual void UnitTested() = 0;
        // The STOP action of the acquisition (ABBRECHEN).
        virtual void StopAcquisition() = 0;
        // Every step the controller runs, listed empty ones and those past the table included
        // (routine empty), before it runs: the operator's log and the tests.
        virtual void StepStarted(int step, const QString& routine) = 0;
    };

    TestRun(app::Session& session, TestDefinitions& definitions, TestResults& results, Parts parts,
            Hooks& hooks, RunLog& log);

    int TestStep = 0;
    bool autoAdvance = false;
    OperatorPanel* panel = nullptr;
    // The measuring and the programming/identity steps (the station owns them).
    MeasurementSteps* measurement = nullptr;
    IdentitySteps* identity = nullptr;

    void AutoAdvance() override { autoAdvance = true; }

    // Runs step TestStep of the selected program.
    void ControlProgress();
    // WEITER, ZURÜCK and ABBRECHEN of the operator.
    void Next();
    void Back();
    void Cancel();
    // A step that shows `text` in blue, waits and asks for the next step.
    void ControlWait(const QString& text, int ms);
    void ShowLComment(app::CommentColour colour, const QString& text);
    // The live-value panel from a stored sample (null: no valid measurement) and the highest
    // output stored.
    void NewMeasValue(const monitor::MeasSample* sample, int highestOut);
    // The seven captions of the live-value panel and whether the error code is red.
    static QStringList TestValueCaptions(const monitor::MeasSample* sample, int highestOut, bool* errorRed);

    // Why the unit history did not take the unit's last record (empty while it took them all);
    // such a unit does not pass.
    const QString& historyError() const { return historyError_; }
    // A unit's run is in the history and has not ended yet.
    bool UnitRunning() const { return unitRunning_; }

    // The routine of the step run last (empty before any), for the operator's log.
    const QString& lastRoutine() const { return lastRoutine_; }

    // Steps of the unit's identity: step 0 of every program, the operator's entries, the next
    // serial number.
    void Start_EnableSN();
    void GetSN();
    void NextSN();
    // An entry of step 0 was refused and the run halts on it with the entries shown.
    bool EntryRefused() const { return entryRefused_; }
    // Enter in the corrected entry: the entries are taken again (step 1 runs again).
    void RetakeEntries();

private:
    void RunStep(const StepDef& step);
    // The routines of the two step groups; false when the name is not one of theirs.
    bool RunMeasurementStep(const QString& name, const StepDef& step);
    bool RunIdentityStep(const QString& name, const StepDef& step);
    bool HasSerialRange() const;
    QString FileOf(const QString& field) const;
    // The entry fields of step 0 as the definition asks for them.
    void ShowEntries();
    // The history's calls; a refusal is a red text, counted against the step it happened in.
    bool StartUnit();
    void EndUnit(bool aborted);
    bool LogStep(StepReport& report);
    void HistoryRefused(const QString& why);

    app::Session& session_;
    TestDefinitions& defs_;
    TestResults& results_;
    Parts parts_;
    Hooks& hooks_;
    RunLog& log_;
    bool unitRunning_ = false;
    QString historyError_;
    bool inStep_ = false;
    bool entryRefused_ = false;
    QString lastRoutine_;
};

} // namespace vmx::prodtest
