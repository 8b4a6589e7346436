#pragma once

#include <QWidget>

#include <functional>

class QPlainTextEdit;

namespace vmx::ui {

// The message log: every status text of panel 1, one per line, kept while hidden too.
class TStateForm : public QWidget {
    Q_OBJECT
public:
    // `msg` looks a catalogue text up in the current language.
    TStateForm(std::function<QString(int)> msg, QWidget* parent);

    void AddMessage(const QString& text);
    int LineCount() const;
    bool Following() const { return follow_; }
    QStringList Lines() const;

    static constexpr int kClearAbove = 20000;
    static constexpr int kWarnAt = 10000;

Q_SIGNALS:
    // The window was hidden by its close box or by the program.
    void hidden();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void FormShow();
    void ScrollToEnd();

    std::function<QString(int)> msg_;
    QPlainTextEdit* memo_;
    // The view follows new lines while its end is shown, also across a resize; the user
    // scrolling up stops it, scrolling back to the end resumes it.
    bool follow_ = true;
    bool scrolling_ = false;
};

} // namespace vmx::ui
