#pragma once
// The run controller of the production test: the step counter, the dispatch of the selected
// definition's step program, "WEITER" (chained while a step asks for the next), "ZURÜCK",
// "ABBRECHEN" and the wait step. Step routines report through the status line of the
// measuring page and ask for the next step through AutoAdvance.

#include "app/Host.h"
#include "testmodule/ModuleRecord.h"

#include <QString>

#include <functional>

namespace vmx::app {
class Session;
}
namespace vmx::testmodule {
class TestModule;
class C2Programmer;
class PicProgrammer;
class TestModuleFirmware;
} // namespace vmx::testmodule

namespace vmx::prodtest {

class TestDefinitions;
struct StepDef;

// What the controller does to the operator's page: the window implements it with its widgets,
// vmxctl with the terminal. Every method has an empty default.
class OperatorPanel {
public:
    virtual ~OperatorPanel() = default;
    // The actions ALNext/ALPrior and the buttons BTNext/BTPrior/BTTestCancel.
    virtual void EnableButtons(bool nextAction, bool priorAction, bool priorButton, bool cancel)
    {
        (void)nextAction, (void)priorAction, (void)priorButton, (void)cancel;
    }
    // EditComment, EditSN and PanelTest are hidden before every step.
    virtual void HideEntries() {}
    virtual void FocusNext() {}
};

class TestRun final : public testmodule::StepSignal {
public:
    struct Parts {
        testmodule::TestModule& module;
        testmodule::C2Programmer& c2;
        testmodule::PicProgrammer& pic;
        testmodule::TestModuleFirmware& firmware;
    };
    TestRun(app::Session& session, TestDefinitions& definitions, Parts parts);

    int TestStep = 0;
    bool autoAdvance = false;
    OperatorPanel* panel = nullptr;
    // The STOP action of the acquisition (ABBRECHEN).
    std::function<void()> stopAcquisition;
    // The list of measured values is to be shown again (before every step).
    std::function<void()> showLMV;

    void AutoAdvance() override { autoAdvance = true; }

    // Runs step TestStep of the selected program.
    void ControlProgress();
    void ALNextExecute();
    void ALPriorExecute();
    void ALCancelExecute();
    // A step that shows `text` in blue, waits and asks for the next step.
    void ControlWait(const QString& text, int ms);
    void ShowLComment(app::CommentColour colour, const QString& text);

    // The routine of the step run last (empty before any), for the operator's log.
    const QString& lastRoutine() const { return lastRoutine_; }
    // Whether the routine names a step this program can run.
    static bool Known(const char* routine);

private:
    void RunStep(const StepDef& step);
    QString FileOf(const QString& field) const;

    app::Session& session_;
    TestDefinitions& defs_;
    Parts parts_;
    bool inStep_ = false;
    QString lastRoutine_;
};

} // namespace vmx::prodtest
