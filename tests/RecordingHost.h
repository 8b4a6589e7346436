#pragma once
// A Host that records everything and answers questions from a script; its Wait advances the
// given clock. For tests and benchmarks.

#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace vmx::test {

class RecordingHost : public app::Host {
public:
    explicit RecordingHost(app::Clock* clock = nullptr) : clock_(clock) {}

    struct Question {
        app::AskIcon Icon;
        app::AskButtons Buttons;
        QString Text;
        QString Caption;
    };

    void PanelText(int p, const QString& text) override
    {
        if (p < 0 || p > 2) return;
        panel[p] = text;
        if (p == 1) panel1Log << text;
        if (p == 0) panel0Log << text;
    }
    void ShowLComment(app::CommentColour colour, const QString& text) override
    {
        comments.emplace_back(colour, text);
    }
    app::AskResult Ask(app::AskIcon icon, app::AskButtons buttons, const QString& text,
                       const QString& caption) override
    {
        questions.push_back(Question{icon, buttons, text, caption});
        if (!answers.empty()) {
            const app::AskResult a = answers.front();
            answers.pop_front();
            return a;
        }
        if (buttons == app::AskButtons::Ok) return app::AskResult::Ok;
        return defaultAnswer;
    }
    void Wait(int ms) override
    {
        waitedMs += ms;
        if (clock_) clock_->SleepMs(ms);
        if (ms > 20) ++pumps;
        if (onWait) onWait(ms);
    }
    void ProcessMessages() override { ++pumps; }
    void Beep() override { ++beeps; }
    void SetClipboardText(const QString& text) override { clipboard = text; }
    QString ClipboardText() override { return clipboard; }
    void Progress(qint64 done, qint64 total) override { progress.emplace_back(done, total); }

    QString panel[3];
    QStringList panel1Log; // every text written to panel 1, in order
    QStringList panel0Log;
    std::vector<std::pair<app::CommentColour, QString>> comments;
    std::vector<std::pair<qint64, qint64>> progress; // the progress bar's steps, (0, 0) ends it
    std::vector<Question> questions;
    std::deque<app::AskResult> answers; // scripted answers; when empty the default below is used
    app::AskResult defaultAnswer = app::AskResult::No;
    qint64 waitedMs = 0;
    int pumps = 0;
    int beeps = 0;
    QString clipboard;
    std::function<void(int)> onWait; // optional hook, called with the wait's length

private:
    app::Clock* clock_;
};

} // namespace vmx::test
