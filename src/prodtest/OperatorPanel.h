#pragma once
// What the production test does to the operator's page: the window implements it with its
// widgets, vmxctl with the terminal, the tests with a script. Steps never touch a widget.
// Every method has an empty default.

#include <QString>
#include <QStringList>

namespace vmx::prodtest {

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
    // The operator's entry fields of the measuring page (Comment: EditComment, which lies over
    // EditSN).
    enum class Entry { SerialNo, Tester, BatchNo, BatchComment, TechIndex, ManuYear, Comment };
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

    // The list of measured values LBxMV.
    virtual void ShowResultList(const QStringList& lines) { (void)lines; }
    // The live-value panel PanelTestValues: its seven captions in order (LTestSum ..
    // LTestVersion); the error code is shown in red when `errorRed`.
    virtual void ShowTestValues(const QStringList& captions, bool errorRed)
    {
        (void)captions, (void)errorRed;
    }
    // Row `row` of the result grid was written (cell (row, 1) is to be selected), or the
    // whole grid changed (row -1).
    virtual void ResultGridChanged(int row) { (void)row; }
    // The workbook's file name (SaveDialog1, preset with `name`); false: cancelled.
    virtual bool AskReportFile(QString& name)
    {
        (void)name;
        return false;
    }
    // The temporary record file's name (SaveDialog2, preset with `name`); false: cancelled.
    virtual bool AskRecordFile(QString& name)
    {
        (void)name;
        return false;
    }
    // The radio buttons RBShieldOK "Widerstand 0 .. 3 Ohm" and RBShieldNOK "Widerstand > 3 Ohm":
    // shown with RBShieldNOK checked, or hidden.
    virtual void ShowShieldChoice(bool shown) { (void)shown; }
    // Whether RBShieldNOK is checked; without buttons nobody judged, which is no pass.
    virtual bool ShieldTooHigh() { return true; }

    // The verdict banner: set when a unit's verdict is set, hidden (shown false) when the next
    // unit starts. The failures are the failing steps with their values and limits.
    struct Verdict {
        bool shown = false;
        bool okay = false;
        QString serialNo;
        QStringList failures;
    };
    virtual void ShowVerdict(const Verdict& verdict) { (void)verdict; }
    // Step `step` of the program's steps 0..`last` runs (the unit's progress).
    virtual void ShowStepProgress(int step, int last) { (void)step, (void)last; }
    // What the operator can do after the step that just halted on a failure.
    enum class Hint { None, Failure, FailureAfterPreparing, Entry };
    virtual void ShowHint(Hint hint) { (void)hint; }
    // The live value the step judges (index into the seven captions of ShowTestValues; -1:
    // none) with its limits as the step's text gives them.
    virtual void MarkJudgedValue(int field, const QString& limits) { (void)field, (void)limits; }
    // The refused entry of step 0 takes the focus.
    virtual void FocusEntry(Entry entry) { (void)entry; }
};

} // namespace vmx::prodtest
