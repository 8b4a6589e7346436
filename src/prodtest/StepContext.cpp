#include "prodtest/StepContext.h"

#include "app/Session.h"
#include "testmodule/ModuleRecord.h"

#include <QDir>

namespace vmx::prodtest {

StepContext::StepContext(app::Session& s, TestDefinitions& definitions, testmodule::ModuleRecord& r, Hooks& h)
    : session(s), defs(definitions), record(r), hooks(h), measured_(monitor::EmptySample())
{
    measured_.Signal = -1;
}

void StepContext::MarkMeasurementInvalid()
{
    auto invalidate = [](monitor::MeasSample& s) {
        s.Valid = 0;
        s.Signal = -1;
        s.Version = 0;
    };
    invalidate(measured_);
    invalidate(hooks.AcquisitionSample());
}

void StepContext::Blue(const QString& text)
{
    session.ShowLComment(app::CommentColour::Blue, text);
}

void StepContext::Red(const QString& text)
{
    session.ShowLComment(app::CommentColour::Red, text);
}

void StepContext::Prompt(const QString& text)
{
    Blue(text);
    hooks.PromptShown(text);
}

void StepContext::Wait(int ms)
{
    session.Wait(ms);
}

void StepContext::Stop()
{
    hooks.StopAcquisition();
}

void StepContext::AutoAdvance()
{
    if (steps) steps->AutoAdvance();
}

QString StepContext::ProgramFile(const QString& name) const
{
    return session.folders().Find(name);
}

} // namespace vmx::prodtest
