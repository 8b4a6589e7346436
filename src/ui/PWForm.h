#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vmx::app {
class Session;
}

namespace vmx::ui {

// The mode dialog: the access code of a mode switches the program to it.
class TPWForm : public QWidget {
    Q_OBJECT
public:
    // `applyMode` re-applies the sensor type with the new mode to the main window.
    TPWForm(app::Session& session, std::function<void()> applyMode, QWidget* parent);

    void UpdateCaptions();

public Q_SLOTS:
    void BTPWOKClick();
    void BTPWCancelClick();

protected:
    void showEvent(QShowEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void FormShow();
    void EPasswordEnter();
    QString T(int i) const;

    app::Session& session_;
    std::function<void()> applyMode_;
    QLabel* LPW1;
    QLineEdit* EPassword;
    QPushButton* BTPWOK;
    QPushButton* BTPWCancel;
    bool confirming_ = false;
};

} // namespace vmx::ui
