#include "ui/PWForm.h"

#include "app/Modes.h"
#include "app/Session.h"
#include "lang/ModeTexts.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vmx::ui {

TPWForm::TPWForm(app::Session& session, std::function<void()> applyMode, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), session_(session),
      applyMode_(std::move(applyMode)), LPW1(new QLabel(this)), EPassword(new QLineEdit(this)),
      BTPWOK(new QPushButton(this)), BTPWCancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("PWForm"));
    LPW1->setObjectName(QStringLiteral("LPW1"));
    EPassword->setObjectName(QStringLiteral("EPassword"));
    BTPWOK->setObjectName(QStringLiteral("BTPWOK"));
    BTPWCancel->setObjectName(QStringLiteral("BTPWCancel"));

    setFixedSize(408, 136);
    QFont bold = LPW1->font();
    bold.setBold(true);
    LPW1->setFont(bold);
    LPW1->setGeometry(16, 12, 376, 22);
    EPassword->setGeometry(16, 44, 200, 24);
    EPassword->setEchoMode(QLineEdit::Password);
    EPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    BTPWOK->setGeometry(16, 88, 120, 30);
    BTPWCancel->setGeometry(272, 88, 120, 30);
    EPassword->installEventFilter(this);

    connect(BTPWOK, &QPushButton::clicked, this, &TPWForm::BTPWOKClick);
    connect(BTPWCancel, &QPushButton::clicked, this, &TPWForm::BTPWCancelClick);
    UpdateCaptions();
}

QString TPWForm::T(int i) const
{
    return lang::ModeText(i, session_.language());
}

void TPWForm::UpdateCaptions()
{
    setWindowTitle(T(0));
    BTPWOK->setText(T(1));
    BTPWOK->setToolTip(T(2));
    BTPWCancel->setText(T(3));
    BTPWCancel->setToolTip(T(4));
}

void TPWForm::FormShow()
{
    EPassword->setText(QStringLiteral("*****"));
    LPW1->setStyleSheet(QStringLiteral("color: blue;"));
    LPW1->setText(T(5));
}

void TPWForm::EPasswordEnter()
{
    EPassword->clear();
}

void TPWForm::showEvent(QShowEvent* e)
{
    FormShow();
    QWidget::showEvent(e);
}

bool TPWForm::eventFilter(QObject* o, QEvent* e)
{
    if (o == EPassword && e->type() == QEvent::FocusIn) EPasswordEnter();
    // The edit keeps its key releases to itself; Enter there is OK as well.
    if (o == EPassword && e->type() == QEvent::KeyRelease) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && !k->isAutoRepeat()) {
            BTPWOKClick();
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void TPWForm::keyReleaseEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !e->isAutoRepeat()) {
        BTPWOKClick();
        return;
    }
    QWidget::keyReleaseEvent(e);
}

void TPWForm::BTPWOKClick()
{
    // The confirmation pause pumps events; a second OK meanwhile must not apply twice.
    if (confirming_) return;
    const std::optional<app::ModeKind> kind = app::ModeForAccessCode(EPassword->text());
    if (!kind) {
        LPW1->setStyleSheet(QStringLiteral("color: red;"));
        LPW1->setText(T(6));
        EPassword->clear();
        return;
    }
    session_.mode = app::FlagsFor(*kind);
    LPW1->setStyleSheet(QStringLiteral("color: blue;"));
    LPW1->setText(T(7) + T(8 + int(*kind)));
    confirming_ = true;
    session_.Wait(1000);
    confirming_ = false;
    if (applyMode_) applyMode_();
    hide();
}

void TPWForm::BTPWCancelClick()
{
    hide();
}

} // namespace vmx::ui
