#include "app/Host.h"

#include "app/Clock.h"

namespace vmx::app {

void RecordingHost::PanelText(int p, const QString& text)
{
    if (p < 0 || p > 2) return;
    panel[p] = text;
    if (p == 1) panel1Log << text;
    if (p == 0) panel0Log << text;
}

void RecordingHost::ShowLComment(CommentColour colour, const QString& text) { comments.emplace_back(colour, text); }

AskResult RecordingHost::Ask(AskIcon icon, AskButtons buttons, const QString& text, const QString& caption)
{
    questions.push_back(Question{icon, buttons, text, caption});
    if (!answers.empty()) {
        AskResult a = answers.front();
        answers.pop_front();
        return a;
    }
    if (buttons == AskButtons::Ok) return AskResult::Ok;
    return defaultAnswer;
}

void RecordingHost::Wait(int ms)
{
    waitedMs += ms;
    if (clock_) clock_->SleepMs(ms);
    if (ms > 20) ++pumps;
    if (onWait) onWait(ms);
}

} // namespace vmx::app
