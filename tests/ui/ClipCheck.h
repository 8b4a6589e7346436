#pragma once
// Finds texts that do not fit their controls: each visible label, button, check box, radio
// button, group box title, list box, read-only edit, grid cell and grid heading under a root widget,
// its text's width in its font against the room its widget gives it (the style's own content
// rectangles, so the check measures what is painted).

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolButton>

#include <cmath>
#include <vector>

namespace vmx::ui::test {

struct ClippedText {
    QString name; // the widget's object name, or its nearest named parent and its class
    QString text;
    int need = 0; // pixels the text takes
    int have = 0; // pixels the widget gives it
    bool vertical = false;
    const QWidget* widget = nullptr;

    QString Describe() const
    {
        return QStringLiteral("%1: \"%2\" needs %3 px, has %4 px%5")
            .arg(name, text)
            .arg(need)
            .arg(have)
            .arg(vertical ? QStringLiteral(" (height)") : QString());
    }
};

inline QString WidgetName(const QWidget* w)
{
    if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
        return w->objectName();
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
            return p->objectName() + QLatin1Char('/') + QLatin1String(w->metaObject()->className());
    return QLatin1String(w->metaObject()->className());
}

namespace clipdetail {

inline void Add(std::vector<ClippedText>& out, const QWidget* w, const QString& name, const QString& text,
                int need, int have, bool vertical = false)
{
    if (need > have) out.push_back(ClippedText{name, text, need, have, vertical, w});
}

// A control inside another control (a combo box's edit, a spin box's edit, a cell editor,
// a tab bar's scroll buttons) is measured as part of that one, not on its own.
inline bool PartOfAnother(const QWidget* w)
{
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
            qobject_cast<const QAbstractItemView*>(p) || qobject_cast<const QTabBar*>(p))
            return true;
    return false;
}

// Measured with fractional advances, rounded up: an item view elides a text that is a
// fraction of a pixel too wide.
inline QSize TextSize(const QFont& font, const QString& text, int flags = 0)
{
    const QSizeF s = QFontMetricsF(font).size(flags, text);
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

inline void Label(std::vector<ClippedText>& out, const QLabel* l)
{
    if (l->text().isEmpty() || !l->pixmap().isNull()) return;
    // An elided text that carries its full text as tooltip is shortened on purpose.
    if (l->property("elidedText").toBool() && !l->toolTip().isEmpty()) return;
    const QRect cr = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    int indent = l->indent();
    if (indent < 0)
        indent = l->frameWidth() > 0 ? QFontMetrics(l->font()).horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    const int haveW = cr.width() - (indent > 0 ? indent : 0);
    const QString name = WidgetName(l);
    if (Qt::mightBeRichText(l->text()) && l->textFormat() != Qt::PlainText) {
        QTextDocument doc;
        doc.setDefaultFont(l->font());
        doc.setDocumentMargin(0);
        doc.setHtml(l->text());
        if (l->wordWrap()) doc.setTextWidth(haveW);
        Add(out, l, name, doc.toPlainText(), int(doc.idealWidth() + 0.999), haveW);
        Add(out, l, name, doc.toPlainText(), int(doc.size().height() + 0.999), cr.height(), true);
        return;
    }
    if (l->wordWrap()) {
        const int needH = l->heightForWidth(l->width());
        Add(out, l, name, l->text(), needH, l->height(), true);
        return;
    }
    const QSize need = TextSize(l->font(), l->text(), l->buddy() ? Qt::TextShowMnemonic : 0);
    Add(out, l, name, l->text(), need.width(), haveW);
    Add(out, l, name, l->text(), need.height(), cr.height(), true);
}

inline void Button(std::vector<ClippedText>& out, const QAbstractButton* b)
{
    if (b->text().isEmpty()) return;
    const QStyle* st = b->style();
    const QSize need = TextSize(b->font(), b->text(), Qt::TextShowMnemonic);
    const QString name = WidgetName(b);
    QRect room;
    if (auto* cb = qobject_cast<const QCheckBox*>(b)) {
        QStyleOptionButton opt;
        opt.initFrom(cb);
        opt.text = cb->text();
        opt.icon = cb->icon();
        opt.iconSize = cb->iconSize();
        room = st->subElementRect(QStyle::SE_CheckBoxContents, &opt, cb);
    } else if (auto* rb = qobject_cast<const QRadioButton*>(b)) {
        QStyleOptionButton opt;
        opt.initFrom(rb);
        opt.text = rb->text();
        opt.icon = rb->icon();
        opt.iconSize = rb->iconSize();
        room = st->subElementRect(QStyle::SE_RadioButtonContents, &opt, rb);
    } else if (auto* pb = qobject_cast<const QPushButton*>(b)) {
        QStyleOptionButton opt;
        opt.initFrom(pb);
        opt.text = pb->text();
        opt.icon = pb->icon();
        opt.iconSize = pb->iconSize();
        if (pb->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
        if (pb->menu()) opt.features |= QStyleOptionButton::HasMenu;
        room = st->subElementRect(QStyle::SE_PushButtonContents, &opt, pb);
        if (!pb->icon().isNull()) room.adjust(pb->iconSize().width() + 4, 0, 0, 0);
        if (pb->menu()) room.adjust(0, 0, -st->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, pb), 0);
    } else if (auto* tb = qobject_cast<const QToolButton*>(b)) {
        if (tb->toolButtonStyle() == Qt::ToolButtonIconOnly) return;
        QStyleOptionToolButton opt;
        opt.initFrom(tb);
        const int fw = st->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, tb);
        room = tb->rect().adjusted(fw, fw, -fw, -fw);
        const bool icon = !tb->icon().isNull() && tb->toolButtonStyle() != Qt::ToolButtonTextOnly;
        if (icon && tb->toolButtonStyle() == Qt::ToolButtonTextBesideIcon)
            room.adjust(tb->iconSize().width() + 4, 0, 0, 0);
        if (icon && tb->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
            room.adjust(0, tb->iconSize().height() + 3, 0, 0);
        if (tb->popupMode() == QToolButton::MenuButtonPopup)
            room.adjust(0, 0, -st->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, tb), 0);
    } else {
        room = b->rect();
    }
    Add(out, b, name, b->text(), need.width(), room.width());
    Add(out, b, name, b->text(), need.height(), room.height(), true);
}

inline void Group(std::vector<ClippedText>& out, const QGroupBox* g)
{
    if (g->title().isEmpty()) return;
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.lineWidth = 1;
    opt.midLineWidth = 0;
    opt.textAlignment = g->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (g->isCheckable()) opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (g->isFlat()) opt.features |= QStyleOptionFrame::Flat;
    const QRect label = g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    // The title's own rectangle is as wide as its text; it must lie inside the box's frame.
    const int marg = g->isFlat() ? 0 : 8;
    const int room = g->width() - marg - std::max(label.left(), marg);
    Add(out, g, WidgetName(g), g->title(), TextSize(g->font(), g->title(), Qt::TextShowMnemonic).width(),
        room);
}

inline void Edit(std::vector<ClippedText>& out, const QLineEdit* e)
{
    if (e->text().isEmpty() || e->echoMode() != QLineEdit::Normal) return;
    // A caption in an edit (read-only) or a short value field must show all of it; a free
    // text or file name scrolls in its edit by design.
    if (!e->isReadOnly() && e->maxLength() > 8) return;
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->rect();
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    if (e->isReadOnly()) opt.state |= QStyle::State_ReadOnly;
    QRect room = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    const QMargins tm = e->textMargins();
    room = room.marginsRemoved(tm);
    constexpr int kHorizontalMargin = 2; // the edit's own inner margin each side
    Add(out, e, WidgetName(e), e->text(), QFontMetrics(e->font()).horizontalAdvance(e->text()),
        room.width() - 2 * kHorizontalMargin);
}

// A list box must be wide enough for its widest entry: any of them may be the one shown.
inline void Combo(std::vector<ClippedText>& out, const QComboBox* c)
{
    if (c->count() == 0) return;
    const QFontMetrics fm(c->font());
    int widest = 0, at = 0;
    for (int i = 0; i < c->count(); ++i) {
        const int w = fm.horizontalAdvance(c->itemText(i));
        if (w > widest) widest = w, at = i;
    }
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    opt.frame = c->hasFrame();
    opt.currentText = c->itemText(at);
    // The whole box the style needs for that text, as the list box computes its own size.
    const int need =
        c->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(widest, fm.height()), c).width();
    Add(out, c, WidgetName(c), c->itemText(at), need, c->width());
}

// A short list (check list, choice list) shows all its lines without scrolling.
inline void List(std::vector<ClippedText>& out, const QListWidget* l)
{
    if (l->count() == 0 || l->count() > 12) return;
    int need = 2 * l->frameWidth();
    for (int i = 0; i < l->count(); ++i)
        need += l->visualItemRect(l->item(i)).height();
    Add(out, l, WidgetName(l), l->item(l->count() - 1)->text(), need, l->height(), true);
}

// The text margin an item view gives a cell on each side.
inline int CellMargin(const QWidget* view)
{
    return view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
}

inline void Header(std::vector<ClippedText>& out, const QTableView* v, const QHeaderView* h)
{
    if (!h->isVisible() || !v->model()) return;
    const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    const int n = h->count();
    for (int s = 0; s < n; ++s) {
        if (h->isSectionHidden(s)) continue;
        const QString text = v->model()->headerData(s, h->orientation(), Qt::DisplayRole).toString();
        if (text.isEmpty()) continue;
        QFont f = h->font();
        const QVariant vf = v->model()->headerData(s, h->orientation(), Qt::FontRole);
        if (vf.isValid()) f = vf.value<QFont>();
        const QSize need = TextSize(f, text);
        const QString name = WidgetName(v) + QStringLiteral(" heading %1").arg(s);
        if (h->orientation() == Qt::Horizontal)
            Add(out, v, name, text, need.width() + 2 * margin, h->sectionSize(s));
        else
            Add(out, v, name, text, need.height(), h->sectionSize(s), true);
    }
}

inline void Cells(std::vector<ClippedText>& out, const QTableView* v, int maxRows)
{
    const QAbstractItemModel* m = v->model();
    if (!m) return;
    const int margin = CellMargin(v);
    const int rows = std::min(m->rowCount(), maxRows);
    for (int r = 0; r < rows; ++r) {
        if (v->isRowHidden(r)) continue;
        for (int c = 0; c < m->columnCount(); ++c) {
            if (v->isColumnHidden(c)) continue;
            const QModelIndex i = m->index(r, c);
            const QString text = i.data(Qt::DisplayRole).toString();
            if (text.isEmpty()) continue;
            QFont f = v->font();
            const QVariant vf = i.data(Qt::FontRole);
            if (vf.isValid()) f = vf.value<QFont>();
            // The grid line takes a pixel of the cell.
            int have = v->showGrid() ? -1 : 0;
            for (int k = 0; k < std::max(1, v->columnSpan(r, c)); ++k)
                have += v->columnWidth(c + k);
            if (i.data(Qt::CheckStateRole).isValid())
                have -= v->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, v) + margin;
            // One line, as the view lays it out (its natural width) before it elides.
            const int needW = int(std::ceil(QFontMetricsF(f).horizontalAdvance(text)));
            const QString name = WidgetName(v) + QStringLiteral(" cell %1,%2").arg(r).arg(c);
            Add(out, v, name, text, needW + 2 * margin, have);
            Add(out, v, name, text, QFontMetrics(f).height(), v->rowHeight(r), true);
        }
    }
}

} // namespace clipdetail

// Every text under `root` that does not fit; only what is visible counts. Grids are checked
// in their first `maxRows` rows.
inline std::vector<ClippedText> ClippedTexts(const QWidget* root, int maxRows = 60)
{
    using namespace clipdetail;
    std::vector<ClippedText> out;
    QList<const QWidget*> all;
    all << root;
    for (const QWidget* w : root->findChildren<QWidget*>())
        all << w;
    for (const QWidget* w : all) {
        if (!w->isVisible() || w->width() <= 0 || w->height() <= 0) continue;
        if (auto* lw = qobject_cast<const QListWidget*>(w)) {
            List(out, lw);
            continue;
        }
        if (auto* v = qobject_cast<const QTableView*>(w)) {
            Header(out, v, v->horizontalHeader());
            Header(out, v, v->verticalHeader());
            Cells(out, v, maxRows);
            continue;
        }
        if (PartOfAnother(w)) continue;
        if (auto* c = qobject_cast<const QComboBox*>(w))
            Combo(out, c);
        else if (auto* l = qobject_cast<const QLabel*>(w))
            Label(out, l);
        else if (auto* b = qobject_cast<const QAbstractButton*>(w))
            Button(out, b);
        else if (auto* g = qobject_cast<const QGroupBox*>(w))
            Group(out, g);
        else if (auto* e = qobject_cast<const QLineEdit*>(w))
            Edit(out, e);
    }
    return out;
}

} // namespace vmx::ui::test
