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
    // The operator's entry fields of the measuring page.
    enum class Entry { SerialNo, Tester, BatchNo, BatchComment, TechIndex, ManuYear };
    virtual void ShowEntry(Entry entry, bool shown) { (void)entry, (void)shown; }
    // The entry panel PanelTest (the five labelled edits).
    virtual void ShowEntryPanel(bool shown) { (void)shown; }
    virtual QString EntryText(Entry entry)
    {
        (void)entry;
        return QString();
    }
    virtual void SetEntryText(Entry entry, const QString& text) { (void)entry, (void)text; }
    // A cell of the start grid was written (an entry taken over).
    virtual void StartGridChanged() {}
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
    // The measured values and outcomes of the unit are reset (beyond the items of the
    // definition, which the run resets itself).
    std::function<void()> resetMV;

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

    // Steps of the unit's identity: step 0 of every program, the operator's entries, the next
    // serial number.
    void Start_EnableSN();
    void GetSN();
    void NextSN();

private:
    void RunStep(const StepDef& step);
    void ResetMV();
    bool HasSerialRange() const;
    QString FileOf(const QString& field) const;

    app::Session& session_;
    TestDefinitions& defs_;
    Parts parts_;
    bool inStep_ = false;
    QString lastRoutine_;
};

} // namespace vmx::prodtest
