#include "prodtest/TestRun.h"

#include "app/Session.h"
#include "monitor/MeasSample.h"
#include "prodtest/IdentitySteps.h"
#include "prodtest/MeasurementSteps.h"
#include "prodtest/StepPrograms.h"
#include "prodtest/TestDefinitions.h"
#include "prodtest/TestResults.h"
#include "testmodule/C2Programmer.h"
#include "testmodule/PicProgrammer.h"
#include "testmodule/TestModule.h"
#include "testmodule/TestModuleFirmware.h"

#include <QDir>

namespace vmx::prodtest {

using app::CommentColour;

namespace {
// "WEITER" chains while steps ask for the next; no program has more steps than this, so more
// links mean a fault, not a run.
constexpr int kMaxChain = 1000;

} // namespace

TestRun::TestRun(app::Session& session, TestDefinitions& definitions, TestResults& results, Parts parts,
                 Hooks& hooks, RunLog& log)
    : session_(session), defs_(definitions), results_(results), parts_(parts), hooks_(hooks), log_(log)
{
    results_.steps = this;
}

void TestRun::ShowLComment(CommentColour colour, const QString& text)
{
    session_.ShowLComment(colour, text);
}

QStringList TestRun::TestValueCaptions(const monitor::MeasSample* s, int highestOut, bool* errorRed)
{
    if (errorRed) *errorRed = false;
    if (!s || !s->Valid)
        return {QStringLiteral("SIGNAL:  "), QStringLiteral("QVR: "),  QStringLiteral("QVRmax: "),
                QStringLiteral("Ampl: "),    QStringLiteral("Vst:  "), QStringLiteral("ErrCode:  "),
                QStringLiteral("Version:  ")};
    if (errorRed) *errorRed = s->Error != 0;
    return {QStringLiteral("SIGNAL:  ") + (s->Signal < 0 ? QString() : QString::number(s->Signal)),
            QStringLiteral("QVR: %1").arg(s->OUT),
            QStringLiteral("QVRmax: %1").arg(highestOut),
            QStringLiteral("Ampl: %1").arg(s->Ampl),
            QStringLiteral("Vst:  %1").arg(s->Gain),
            QStringLiteral("ErrCode:  $") + QString::asprintf("%2.2X", unsigned(s->Error)),
            QStringLiteral("Version:  %1").arg(s->Version)};
}

void TestRun::NewMeasValue(const monitor::MeasSample* sample, int highestOut)
{
    if (!panel) return;
    bool red = false;
    const QStringList captions = TestValueCaptions(sample, highestOut, &red);
    panel->ShowTestValues(captions, red);
}

void TestRun::ControlWait(const QString& text, int ms)
{
    ShowLComment(CommentColour::Blue, text);
    session_.Wait(ms);
    AutoAdvance();
}

QString TestRun::FileOf(const QString& field) const
{
    QString name;
    if (field == QLatin1String("FirmwareFile1"))
        name = defs_.cond.FirmwareFile1;
    else if (field == QLatin1String("FirmwareFile2"))
        name = defs_.cond.FirmwareFile2;
    else if (field == QLatin1String("PicFile"))
        name = defs_.cond.PicFile;
    // Names in TEST.INI are relative to its folder (then the shipped files) unless absolute.
    return session_.folders().Find(name);
}

void TestRun::RunStep(const StepDef& s)
{
    const QString name = QString::fromUtf8(s.routine);
    lastRoutine_ = name;
    auto num = [&](size_t i) { return i < s.args.size() ? s.args[i].value : 0; };
    auto unum = [&](size_t i) { return quint32(num(i)); };
    auto text = [&](size_t i) {
        return i < s.args.size() && s.args[i].text ? QString::fromUtf8(s.args[i].text) : QString();
    };
    testmodule::TestModule& m = parts_.module;
    testmodule::ModuleRecord& rec = m.record();
    // Nothing is programmed through test hardware whose check failed (a wrong module or
    // front end): the programming step fails without touching it.
    auto refused = [&](const QString& caption, int& outcome) {
        if (rec.checkResult != 0) return false;
        outcome = 0;
        ShowLComment(CommentColour::Red, caption + QStringLiteral("FEHLER, Prüfmittel nicht bestätigt"));
        return true;
    };
    const QString tk33Caption = QStringLiteral("Prüfmittel-Firmware: ");
    if (name == QLatin1String("ProgCodeTK33") || name == QLatin1String("ProgCodeTK33Check")) {
        if (refused(tk33Caption, rec.tk33ProgResult)) return;
    } else if (name == QLatin1String("PICProgramming")) {
        if (refused(text(0), rec.picResult)) return;
    } else if (name.startsWith(QLatin1String("SiLab"))) {
        if (refused(name == QLatin1String("SiLabDeviceErase") ? text(0) : text(2), rec.siLabResult)) return;
    }
    if (name == QLatin1String("CheckTK33Ident"))
        m.CheckTK33Ident(num(0), num(1));
    else if (name == QLatin1String("SwitchPowerQVR_ON"))
        m.SwitchPowerQVR_ON();
    else if (name == QLatin1String("SwitchPowerQVR_OFF"))
        m.SwitchPowerQVR_OFF();
    else if (name == QLatin1String("SwitchPowerQVR_Automatically"))
        m.SwitchPowerQVR_Automatically();
    else if (name == QLatin1String("SwitchSerialIF"))
        m.SwitchSerialIF(num(0));
    else if (name == QLatin1String("SwitchSerialInterface"))
        m.SwitchSerialInterface(num(0));
    else if (name == QLatin1String("ImportFirmware"))
        parts_.firmware.ImportFirmware(FileOf(text(0)), text(1));
    else if (name == QLatin1String("ProgCodeTK33"))
        parts_.firmware.ProgCodeTK33(unum(0), unum(1), unum(2));
    else if (name == QLatin1String("ProgCodeTK33Check"))
        parts_.firmware.ProgCodeTK33Check(unum(0), unum(1), unum(2), unum(3), unum(4));
    else if (name == QLatin1String("PICProgramming"))
        parts_.pic.PICProgramming(text(0));
    else if (name == QLatin1String("SiLabDeviceErase"))
        parts_.c2.SiLabDeviceErase(text(0));
    else if (name == QLatin1String("SiLabProgrammingX"))
        parts_.c2.SiLabProgrammingX(unum(0), unum(1), text(2));
    else if (name == QLatin1String("SiLabProgrammingF"))
        parts_.c2.SiLabProgrammingF(unum(0), unum(1), text(2), unum(3));
    else if (name == QLatin1String("ControlWait"))
        ControlWait(text(0), num(1));
    else if (name == QLatin1String("Start_EnableSN"))
        Start_EnableSN();
    else if (name == QLatin1String("GetSN"))
        GetSN();
    else if (name == QLatin1String("NextSN"))
        NextSN();
    else if (name == QLatin1String("CommentResult"))
        results_.CommentResult();
    else if (name == QLatin1String("SubmitResult"))
        results_.SubmitResult();
    else if (name == QLatin1String("WriteResult"))
        results_.WriteResult();
    else if (!RunMeasurementStep(name, s) && !RunIdentityStep(name, s))
        // Every routine of the tables is one of the above; a name that is none is a fault of
        // the table, and the run halts on it rather than pass it.
        ShowLComment(
            CommentColour::Red,
            QStringLiteral("Schritt %1: %2 ist in diesem Programm nicht verfügbar").arg(s.step).arg(name));
}

bool TestRun::RunMeasurementStep(const QString& name, const StepDef& s)
{
    MeasurementSteps* m = measurement;
    if (!m) return false;
    auto num = [&](size_t i) { return i < s.args.size() ? s.args[i].value : 0; };
    if (name == QLatin1String("StartLongSerialProt"))
        m->StartLongSerialProt();
    else if (name == QLatin1String("StartLongSerialProtQVR0530"))
        m->StartLongSerialProtQVR0530();
    else if (name == QLatin1String("PrepareWithout"))
        m->PrepareWithout();
    else if (name == QLatin1String("GetWithout"))
        m->GetWithout();
    else if (name == QLatin1String("CommandEmpty"))
        m->CommandEmpty();
    else if (name == QLatin1String("PrepareEmpty"))
        m->PrepareEmpty();
    else if (name == QLatin1String("GetEmpty"))
        m->GetEmpty();
    else if (name == QLatin1String("CommandFull"))
        m->CommandFull();
    else if (name == QLatin1String("PrepareFull"))
        m->PrepareFull();
    else if (name == QLatin1String("GetFull"))
        m->GetFull();
    else if (name == QLatin1String("CommandAmplMeas"))
        m->CommandAmplMeas(num(0));
    else if (name == QLatin1String("PrepareAmplMeas"))
        m->PrepareAmplMeas(num(0));
    else if (name == QLatin1String("GetAmplMeas"))
        m->GetAmplMeas(num(0));
    else if (name == QLatin1String("PrepareBubbleTest"))
        m->PrepareBubbleTest(num(0));
    else if (name == QLatin1String("GetBubbleTest"))
        m->GetBubbleTest(num(0));
    else if (name == QLatin1String("CheckSwitchingOut"))
        m->CheckSwitchingOut(num(0), num(1), num(2) != 0);
    else if (name == QLatin1String("CheckSwitchingOutput"))
        m->CheckSwitchingOutput(num(0), num(1));
    else if (name == QLatin1String("PrepareCheckShield"))
        m->PrepareCheckShield();
    else if (name == QLatin1String("SubmitCheckShield"))
        m->SubmitCheckShield();
    else if (name == QLatin1String("TestCableBridge"))
        m->TestCableBridge(num(0));
    else
        return false;
    return true;
}

bool TestRun::RunIdentityStep(const QString& name, const StepDef& s)
{
    IdentitySteps* d = identity;
    if (!d) return false;
    auto num = [&](size_t i) { return i < s.args.size() ? s.args[i].value : 0; };
    auto text = [&](size_t i) {
        return i < s.args.size() && s.args[i].text ? QString::fromUtf8(s.args[i].text) : QString();
    };
    if (name == QLatin1String("CheckFirmware"))
        d->CheckFirmware(num(0));
    else if (name == QLatin1String("SetParameters"))
        d->SetParameters(num(0));
    else if (name == QLatin1String("SetIdentVar"))
        d->SetIdentVar(num(0));
    else if (name == QLatin1String("SetCalBlock"))
        d->SetCalBlock();
    else if (name == QLatin1String("BootRestart"))
        d->BootRestart();
    else if (name == QLatin1String("StartCheckBootMode"))
        d->StartCheckBootMode(quint32(num(0)), num(1));
    else if (name == QLatin1String("DownloadFirmware"))
        d->DownloadFirmware(quint32(num(0)), quint32(num(1)), text(2));
    else
        return false;
    return true;
}

void TestRun::HistoryRefused(const QString& why)
{
    historyError_ = why;
    ShowLComment(CommentColour::Red, QStringLiteral("Datenbank: FEHLER (%1)").arg(why));
}

bool TestRun::StartUnit()
{
    historyError_.clear();
    QString why;
    if (!log_.UnitStarted(&why)) {
        HistoryRefused(why);
        return false;
    }
    unitRunning_ = true;
    return true;
}

void TestRun::EndUnit(bool aborted)
{
    if (!unitRunning_) return;
    unitRunning_ = false;
    QString why;
    if (!log_.UnitEnded(aborted, &why)) HistoryRefused(why);
}

bool TestRun::LogStep(StepReport& report)
{
    if (!unitRunning_) return true;
    QString why;
    if (log_.StepEnded(report, &why)) return true;
    HistoryRefused(why);
    return false;
}

bool TestRun::HasSerialRange() const
{
    return defs_.items.SerialNo.Low != -1 && defs_.items.SerialNo.High != -1;
}

void TestRun::ShowEntries()
{
    using Entry = OperatorPanel::Entry;
    if (!panel) return;
    const MeasItems& it = defs_.items;
    panel->ShowEntry(Entry::SerialNo, true);
    panel->ShowEntryPanel(true);
    panel->ShowEntry(Entry::Tester, !it.Tester.IniValue.isEmpty());
    panel->ShowEntry(Entry::BatchNo, !it.BatchNo.IniValue.isEmpty());
    panel->ShowEntry(Entry::BatchComment, !it.BatchComment.IniValue.isEmpty());
    panel->ShowEntry(Entry::TechIndex, !it.TechIndex.IniValue.isEmpty());
    panel->ShowEntry(Entry::ManuYear, !it.ManuYear.IniValue.isEmpty());
}

void TestRun::Start_EnableSN()
{
    results_.ResetMV();
    hooks_.StopAcquisition();
    if (!HasSerialRange()) {
        ShowLComment(CommentColour::Blue, QStringLiteral("Start:"));
        session_.Wait(500);
        return;
    }
    ShowEntries();
    ShowLComment(CommentColour::Blue, QStringLiteral("Eingabe Seriennummer/ Prüfer/ Prod.-Index..."));
    // Step 0 waits for the operator, always.
}

void TestRun::GetSN()
{
    using Entry = OperatorPanel::Entry;
    hooks_.StopAcquisition();
    if (!HasSerialRange()) return AutoAdvance();
    MeasItems& it = defs_.items;
    auto entry = [&](Entry e) { return panel ? panel->EntryText(e) : QString(); };
    // A refused entry stays in view with the focus, so the operator corrects it where it is.
    auto refuse = [&](Entry e, const QString& text) {
        ShowLComment(CommentColour::Red, text);
        entryRefused_ = true;
        ShowEntries();
        if (panel) panel->FocusEntry(e);
    };
    auto toGrid = [&](const TMeasItem& item) {
        if (item.GridRow >= 0 && item.GridRow < StartGrid::kRows) {
            defs_.startGrid.cells[size_t(item.GridRow)][1] = item.MeasuredText;
            if (panel) panel->StartGridChanged();
        }
    };
    // A text entry: refused when empty (unless that is allowed) or left at the placeholder.
    auto take = [&](TMeasItem& item, Entry e, bool emptyAllowed, const char* refusal) {
        if (item.IniValue.isEmpty()) return true;
        item.Result = 0;
        item.MeasuredText = entry(e);
        if ((!emptyAllowed && item.MeasuredText.isEmpty()) || item.MeasuredText == item.IniValue) {
            refuse(e, QString::fromUtf8(refusal));
            return false;
        }
        item.Result = 1;
        toGrid(item);
        return true;
    };
    if (!take(it.Tester, Entry::Tester, false, "Name des Prüfers nicht eingetragen!")) return;
    if (!take(it.BatchNo, Entry::BatchNo, false, "Auftragsnummer nicht eingetragen!")) return;
    if (!take(it.BatchComment, Entry::BatchComment, true, "Bemerkung zum Los nicht eingetragen!")) return;
    if (!take(it.TechIndex, Entry::TechIndex, false, "Produkt-Index nicht eingetragen!")) return;
    if (!it.ManuYear.IniValue.isEmpty()) {
        TMeasItem& year = it.ManuYear;
        year.Result = 0;
        year.MeasuredText = entry(Entry::ManuYear);
        year.Measured = TestDefinitions::Number(year.MeasuredText);
        if (year.Measured < 10 || year.Measured > 29) {
            refuse(Entry::ManuYear, QStringLiteral("Herstellungsjahr nicht plausibel!"));
            return;
        }
        year.Result = 1;
        toGrid(year);
    }
    TMeasItem& sn = it.SerialNo;
    sn.Result = 0;
    ShowLComment(CommentColour::Blue, QStringLiteral("Übernahme Seriennummer ... "));
    sn.Measured = TestDefinitions::Number(entry(Entry::SerialNo).trimmed());
    sn.MeasuredText = sn.Measured < 0 ? QString() : QString::asprintf("%4.4d", sn.Measured);
    if (panel) panel->SetEntryText(Entry::SerialNo, sn.MeasuredText);
    if (sn.Measured < sn.Low || sn.Measured > sn.High) {
        refuse(Entry::SerialNo, QStringLiteral("SN: FEHLER, Seriennummer nicht plausibel!"));
        return;
    }
    sn.Result = 1;
    AutoAdvance();
}

void TestRun::NextSN()
{
    using Entry = OperatorPanel::Entry;
    results_.ResetMV();
    if (HasSerialRange() && panel) {
        const int next = TestDefinitions::Number(panel->EntryText(Entry::SerialNo).trimmed()) + 1;
        panel->SetEntryText(Entry::SerialNo, next > 0 ? QString::asprintf("%4.4d", next) : QString());
    }
    AutoAdvance();
}

void TestRun::ControlProgress()
{
    if (inStep_) return; // a step's own wait must not re-enter the controller
    inStep_ = true;
    if (panel) {
        panel->EnableButtons(false, false, false, false);
        panel->HideEntries();
        panel->ShowHint(OperatorPanel::Hint::None);
        panel->MarkJudgedValue(-1, QString());
    }
    entryRefused_ = false;
    results_.ShowLMV();
    if (!defs_.Unusable.isEmpty()) {
        // A definition that cannot be used starts no unit: step 0 says why and stays.
        TestStep = 0;
        ShowLComment(CommentColour::Red, defs_.Unusable);
    } else if (const StepProgram* p = FindProgram(defs_.cond.ProgramNo)) {
        if (TestStep > p->rangeBound) {
            // A program that writes no record line ends its unit here.
            EndUnit(false);
            hooks_.UnitTested();
        }
        if (TestStep > p->rangeBound || TestStep < 0) TestStep = 0;
        // A program without steps only counts; past the last listed step, or on a listed empty
        // step, the run goes on at once.
        if (!p->steps.empty()) {
            const bool listed = TestStep < int(p->steps.size()) && p->steps[size_t(TestStep)].routine;
            hooks_.StepStarted(TestStep,
                               listed ? QString::fromUtf8(p->steps[size_t(TestStep)].routine) : QString());
            if (listed) {
                // A step that showed a red text halted on a failure; run again (ZURÜCK), it
                // counts as it ended last.
                const int step = TestStep;
                const int reds = session_.redComments();
                StepReport report;
                report.step = step;
                report.started = QDateTime::currentDateTimeUtc();
                const qint64 t0 = session_.clock().NowMs();
                const std::vector<Outcome> before = results_.Outcomes();
                session_.TakeComments();
                RunStep(p->steps[size_t(step)]);
                report.routine = lastRoutine_;
                report.failed = session_.redComments() != reds;
                report.durationMs = session_.clock().NowMs() - t0;
                report.texts = session_.TakeComments();
                const std::vector<Outcome> after = results_.Outcomes();
                for (size_t i = 0; i < after.size() && i < before.size(); ++i)
                    if (after[i].result != before[i].result || after[i].cell != before[i].cell ||
                        after[i].value != before[i].value)
                        report.outcomes.push_back(after[i]);
                // A step the history did not take fails the unit, as a lost record line does.
                if (!LogStep(report)) report.failed = true;
                results_.stepFailed[step] = report.failed;
                // The record line is written: the unit's end goes with it.
                if (lastRoutine_ == QLatin1String("WriteResult") && HasSerialRange()) {
                    EndUnit(false);
                    if (!historyError_.isEmpty()) results_.stepFailed[step] = true;
                }
                if (report.failed && panel) {
                    // What ZURÜCK repeats: the step before, usually the measurement's preparation.
                    const char* prior = step > 0 ? p->steps[size_t(step - 1)].routine : nullptr;
                    const bool preparing =
                        prior && (QLatin1String(prior).startsWith(QLatin1String("Prepare")) ||
                                  QLatin1String(prior).startsWith(QLatin1String("Command")));
                    panel->ShowHint(entryRefused_ ? OperatorPanel::Hint::Entry
                                    : preparing   ? OperatorPanel::Hint::FailureAfterPreparing
                                                  : OperatorPanel::Hint::Failure);
                }
            } else
                AutoAdvance();
        }
    }
    inStep_ = false;
    if (panel) {
        const StepProgram* p = defs_.Unusable.isEmpty() ? FindProgram(defs_.cond.ProgramNo) : nullptr;
        panel->ShowStepProgress(TestStep, p && !p->steps.empty() ? int(p->steps.size()) - 1 : 0);
        panel->EnableButtons(true, TestStep != 0, true, true);
        // A refused entry keeps the focus it was given.
        if (!entryRefused_) panel->FocusNext();
    }
}

void TestRun::Next()
{
    if (inStep_) return;
    // A unit whose result could not be kept is not tested.
    if (TestStep == 0 && !results_.MayStartUnit()) return;
    if (TestStep == 0 && !unitRunning_) hooks_.NextUnit();
    // The last unit's verdict stays in view until the next unit starts.
    if (TestStep == 0 && panel) panel->ShowVerdict(OperatorPanel::Verdict{});
    if (TestStep == 0 && !unitRunning_ && !StartUnit()) return;
    int links = 0;
    do {
        ++TestStep;
        autoAdvance = false;
        ControlProgress();
    } while (autoAdvance && ++links < kMaxChain);
}

void TestRun::RetakeEntries()
{
    if (inStep_ || !entryRefused_) return;
    TestStep = 0;
    Next();
}

void TestRun::Back()
{
    if (inStep_) return;
    --TestStep;
    autoAdvance = false;
    ControlProgress();
    autoAdvance = false; // one step back, never a chain
    if (panel) panel->FocusNext();
}

void TestRun::Cancel()
{
    if (inStep_) return;
    TestStep = 0;
    autoAdvance = false;
    hooks_.StopAcquisition();
    EndUnit(true);
    ControlProgress();
}

} // namespace vmx::prodtest
