#include "prodtest/TestRun.h"

#include "app/Session.h"
#include "prodtest/StepPrograms.h"
#include "prodtest/TestDefinitions.h"
#include "testmodule/C2Programmer.h"
#include "testmodule/PicProgrammer.h"
#include "testmodule/TestModule.h"
#include "testmodule/TestModuleFirmware.h"

#include <QDir>

#include <cstring>

namespace vmx::prodtest {

using app::CommentColour;

namespace {
// "WEITER" chains while steps ask for the next; no program has more steps than this, so more
// links mean a fault, not a run.
constexpr int kMaxChain = 1000;

const char* const kKnown[] = {
    "CheckTK33Ident",    "SwitchPowerQVR_ON",     "SwitchPowerQVR_OFF", "SwitchPowerQVR_Automatically",
    "SwitchSerialIF",    "SwitchSerialInterface", "ImportFirmware",     "ProgCodeTK33",
    "ProgCodeTK33Check", "PICProgramming",        "SiLabDeviceErase",   "SiLabProgrammingX",
    "SiLabProgrammingF", "ControlWait",
};
} // namespace

TestRun::TestRun(app::Session& session, TestDefinitions& definitions, Parts parts)
    : session_(session), defs_(definitions), parts_(parts)
{
}

bool TestRun::Known(const char* routine)
{
    for (const char* k : kKnown)
        if (std::strcmp(k, routine) == 0) return true;
    return false;
}

void TestRun::ShowLComment(CommentColour colour, const QString& text)
{
    session_.host().ShowLComment(colour, text);
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
    // Names in TEST.INI are relative to the program folder unless they say otherwise.
    if (name.isEmpty() || QDir::isAbsolutePath(name)) return name;
    return QDir(session_.programDir()).filePath(name);
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
    else
        // Not a pass: the run halts here and says which step it cannot run.
        ShowLComment(
            CommentColour::Red,
            QStringLiteral("Schritt %1: %2 ist in diesem Programm nicht verfügbar").arg(s.step).arg(name));
}

void TestRun::ControlProgress()
{
    if (inStep_) return; // a step's own wait must not re-enter the controller
    inStep_ = true;
    if (panel) {
        panel->EnableButtons(false, false, false, false);
        panel->HideEntries();
    }
    if (showLMV) showLMV();
    if (const StepProgram* p = FindProgram(defs_.cond.ProgramNo)) {
        if (TestStep > p->rangeBound || TestStep < 0) TestStep = 0;
        // A program without steps only counts; past the last listed step, or on a listed empty
        // step, the run goes on at once.
        if (!p->steps.empty()) {
            if (TestStep < int(p->steps.size()) && p->steps[size_t(TestStep)].routine)
                RunStep(p->steps[size_t(TestStep)]);
            else
                AutoAdvance();
        }
    }
    inStep_ = false;
    if (panel) {
        panel->EnableButtons(true, TestStep != 0, true, true);
        panel->FocusNext();
    }
}

void TestRun::ALNextExecute()
{
    if (inStep_) return;
    int links = 0;
    do {
        ++TestStep;
        autoAdvance = false;
        ControlProgress();
    } while (autoAdvance && ++links < kMaxChain);
}

void TestRun::ALPriorExecute()
{
    if (inStep_) return;
    --TestStep;
    autoAdvance = false;
    ControlProgress();
    autoAdvance = false; // one step back, never a chain
    if (panel) panel->FocusNext();
}

void TestRun::ALCancelExecute()
{
    if (inStep_) return;
    TestStep = 0;
    autoAdvance = false;
    if (stopAcquisition) stopAcquisition();
    ControlProgress();
}

} // namespace vmx::prodtest
