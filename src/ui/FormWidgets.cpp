#include "ui/FormWidgets.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>

#include <QTableWidget>

#include <QMouseEvent>
#include <QPainter>
#include <QVariant>

#include <cmath>

namespace vmx::ui {

QTableWidget* ResultGrid(QWidget* parent, const char* name, int columns)
{
    auto* g = NewNamed<QTableWidget>(parent, name);
    g->setColumnCount(columns);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->verticalHeader()->setVisible(false);
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

void SetHeadings(QTableWidget* g, const char* const (*heads)[2], int n, int language)
{
    QStringList l;
    for (int i = 0; i < n; ++i)
        l << QString::fromUtf8(heads[i][language == 1 ? 1 : 0]);
    g->setHorizontalHeaderLabels(l);
}

void SetPageTexts(QWidget* root, const PageText* texts, std::size_t n, int language)
{
    for (std::size_t i = 0; i < n; ++i) {
        const QString text = QString::fromUtf8(language == 1 ? texts[i].en : texts[i].de);
        QObject* o = root->findChild<QObject*>(QLatin1String(texts[i].name));
        if (auto* l = qobject_cast<QLabel*>(o)) l->setText(text);
        if (auto* b = qobject_cast<QAbstractButton*>(o)) b->setText(text);
        if (auto* g = qobject_cast<QGroupBox*>(o)) g->setTitle(text);
    }
}

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

void FitColumns(QTableView* grid, const QStringList& widest, const QList<int>& least)
{
    const QAbstractItemModel* m = grid->model();
    if (!m) return;
    // Fractional widths rounded up: the view elides a text a fraction of a pixel too wide.
    const QFontMetricsF fm(grid->font());
    // The item view's text margin on both sides, and a pixel for the grid line.
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 1;
    const int rows = std::min(m->rowCount(), 100);
    for (int c = 0; c < m->columnCount(); ++c) {
        qreal w = fm.horizontalAdvance(widest.value(c));
        for (int r = 0; r < rows; ++r)
            w = std::max(w, fm.horizontalAdvance(m->index(r, c).data(Qt::DisplayRole).toString()));
        grid->setColumnWidth(c, std::max(int(std::ceil(w)) + margin, least.value(c, 40)));
    }
}

void FitComboWidth(QComboBox* box)
{
    const QFontMetrics fm(box->font());
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, fm.horizontalAdvance(box->itemText(i)));
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = box->isEditable();
    opt.frame = box->hasFrame();
    // The toolkit sizes a list box by its texts' ink; painted, a text takes its advance.
    box->setMinimumWidth(
        box->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(widest, fm.height()), box).width());
}

} // namespace vmx::ui
