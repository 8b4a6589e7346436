#include "ui/StateForm.h"

#include <QHideEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vmx::ui {

TStateForm::TStateForm(std::function<QString(int)> msg, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), msg_(std::move(msg)),
      memo_(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("StateForm"));
    memo_->setObjectName(QStringLiteral("MemoStatus"));
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The text control fills the window with a 10-pixel margin, also when it is resized.
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(10, 10, 10, 10);
    lay->addWidget(memo_);
    setGeometry(100, 100, 400, 140);
    setWindowTitle(msg_(340));
    QScrollBar* bar = memo_->verticalScrollBar();
    // A new line or a new size changes the range: the end stays in view while following.
    connect(bar, &QScrollBar::rangeChanged, this, [this] {
        if (follow_) ScrollToEnd();
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!scrolling_) follow_ = value >= bar->maximum();
    });
}

void TStateForm::ScrollToEnd()
{
    QScrollBar* bar = memo_->verticalScrollBar();
    scrolling_ = true;
    bar->setValue(bar->maximum());
    scrolling_ = false;
}

int TStateForm::LineCount() const
{
    const QTextDocument* d = memo_->document();
    return d->isEmpty() ? 0 : d->blockCount();
}

QStringList TStateForm::Lines() const
{
    if (LineCount() == 0) return {};
    return memo_->toPlainText().split(QLatin1Char('\n'));
}

void TStateForm::AddMessage(const QString& text)
{
    if (LineCount() > kClearAbove) {
        memo_->clear();
        memo_->appendPlainText(msg_(343));
    }
    // One message is one line; a dialog line break inside it would upset the counting.
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    memo_->appendPlainText(line);
    if (LineCount() == kWarnAt) memo_->appendPlainText(msg_(342));
    if (follow_) ScrollToEnd();
}

void TStateForm::FormShow()
{
    setWindowTitle(msg_(340));
    memo_->setToolTip(msg_(341));
}

void TStateForm::showEvent(QShowEvent* e)
{
    FormShow();
    QWidget::showEvent(e);
}

void TStateForm::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    // Minimising the main window hides tool windows too; only a real hide unchecks the menu.
    if (!e->spontaneous()) Q_EMIT hidden();
}

} // namespace vmx::ui
