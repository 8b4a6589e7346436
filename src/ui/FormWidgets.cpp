#include "ui/FormWidgets.h"

#include <QKeySequence>

#include <QTableWidget>

#include <QMouseEvent>
#include <QPainter>
#include <QVariant>

namespace vmx::ui {

void SetGridCell(QTableWidget* g, int row, int col, const QString& text)
{
    if (!g || row < 0 || col < 0 || row >= g->rowCount() || col >= g->columnCount()) return;
    QTableWidgetItem* it = g->item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        g->setItem(row, col, it);
    }
    if (it->text() != text) it->setText(text);
}

int Tag(const QObject* o, int fallback)
{
    if (!o) return fallback;
    const QVariant v = o->property("tag");
    return v.isValid() ? v.toInt() : fallback;
}

void SetTag(QObject* o, int tag)
{
    o->setProperty("tag", tag);
}

LabeledEdit::LabeledEdit(QWidget* parent) : QLineEdit(parent), label_(new QLabel(parent))
{
    label_->setBuddy(this);
}

TPanel::TPanel(QWidget* parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
}

void TPanel::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) Q_EMIT clicked();
    QLabel::mouseReleaseEvent(e);
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (image_ && !image_->isNull())
        p.drawImage(0, 0, *image_);
    else
        p.fillRect(rect(), Qt::white);
}

QString TFileDialogText::QtFilter() const
{
    // Pairs of description and pattern; Qt shows the description, which already names the pattern.
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& desc = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        out << (desc.contains(QLatin1Char('(')) ? desc
                                                : desc + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

QString KeyLabelText(const QString& portable)
{
    QStringList keys;
    for (const QString& k : portable.split(QStringLiteral(" / ")))
        keys << QKeySequence(k, QKeySequence::PortableText).toString(QKeySequence::NativeText);
    return QStringLiteral("[ %1 ]").arg(keys.join(QStringLiteral(" / ")));
}

} // namespace vmx::ui
