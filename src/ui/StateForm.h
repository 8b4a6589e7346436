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

    std::function<QString(int)> msg_;
    QPlainTextEdit* memo_;
};

} // namespace vmx::ui
