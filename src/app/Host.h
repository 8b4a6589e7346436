#pragma once

#include <QString>
#include <QStringList>

namespace vmx::app {

enum class CommentColour { Blue, Red };
enum class AskIcon { None, Information, Warning, Error, Question };
enum class AskButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class AskResult { Ok, Cancel, Yes, No };

// The only way the core reaches the person. The window implements it with Qt, vmxctl prints
// and answers from its options, tests script it and record what was said.
class Host {
public:
    virtual ~Host() = default;
    // Status bar: panel 0 the link, panel 1 operation results (also the log), panel 2 the version.
    virtual void PanelText(int panel, const QString& text) = 0;
    // Status line of the test page.
    virtual void ShowLComment(CommentColour colour, const QString& text) = 0;
    virtual AskResult Ask(AskIcon icon, AskButtons buttons, const QString& text,
                          const QString& caption = QString()) = 0;
    // Millisecond wait on the session clock; pumps pending events for waits above 20 ms.
    virtual void Wait(int ms) = 0;
    virtual void ProcessMessages() = 0;
    virtual void Beep() = 0;
    virtual void SetClipboardText(const QString& text) = 0;
    virtual QString ClipboardText() = 0;
    // Hourglass cursor around blocking work.
    virtual void SetBusy(bool busy) { (void)busy; }
    // Progress of a long transfer; total 0 ends it.
    virtual void Progress(qint64 done, qint64 total) { (void)done, (void)total; }
};

} // namespace vmx::app
