// Language switch and the caption update: every text from the catalogue by control name.
#include "lang/Messages.h"
#include "ui/CaptionTable.h"
#include "ui/FormWidgets.h"
#include "ui/HelpWindow.h"
#include "ui/MainForm.h"
#include "ui/PWForm.h"
#include "ui/SimulatorPanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTranslator>

namespace vmx::ui {

namespace {

QString DialogText(const QString& s)
{
    QString t = s;
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

// Replaces the items of a combo box; the selection stays, clamped to the new list.
void SetComboItems(QComboBox* c, const QStringList& items)
{
    const int old = c->currentIndex();
    const QSignalBlocker block(c);
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(qMin(old, int(c->count()) - 1));
}

// Replaces the texts of a list, keeping the check marks of the items that stay.
void SetListItems(QListWidget* l, const QStringList& items)
{
    const QSignalBlocker block(l);
    while (l->count() > items.size())
        delete l->takeItem(l->count() - 1);
    for (int i = 0; i < items.size(); ++i) {
        if (i >= l->count()) {
            auto* it = new QListWidgetItem(l);
            it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
            it->setCheckState(Qt::Unchecked);
        }
        l->item(i)->setText(items[i]);
    }
}

void SetColumn0(QTableWidget* g, const QStringList& items)
{
    if (g->rowCount() < items.size()) g->setRowCount(int(items.size()));
    for (int r = 0; r < items.size(); ++r) {
        if (!g->item(r, 0)) g->setItem(r, 0, new QTableWidgetItem);
        g->item(r, 0)->setText(items[r]);
    }
}

} // namespace

void TMainForm::ApplyCaption(QObject* o, int propIndex, const QString& text)
{
    const auto prop = CaptionProp(propIndex);
    switch (prop) {
    case CaptionProp::Caption:
    case CaptionProp::Label:
        if (auto* item = qobject_cast<QAction*>(o)) {
            if (item->property("boundAction").isValid())
                UpdateMenuCaption(item, text);
            else
                item->setText(text);
        } else if (auto* m = qobject_cast<QMenu*>(o))
            m->setTitle(text);
        else if (auto* le = qobject_cast<LabeledEdit*>(o))
            le->EditLabel()->setText(text);
        else if (auto* b = qobject_cast<QAbstractButton*>(o))
            b->setText(text);
        else if (auto* l = qobject_cast<QLabel*>(o))
            l->setText(text);
        else if (auto* g = qobject_cast<QGroupBox*>(o))
            g->setTitle(text);
        else if (auto* w = qobject_cast<QWidget*>(o)) {
            // A page: its caption is the tab's text.
            for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
                if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
                    const int i = tabs->indexOf(w);
                    if (i >= 0) tabs->setTabText(i, text);
                    break;
                }
        }
        break;
    case CaptionProp::Hint:
        if (auto* a = qobject_cast<QAction*>(o))
            a->setToolTip(DialogText(text));
        else if (auto* w = qobject_cast<QWidget*>(o))
            w->setToolTip(DialogText(text));
        break;
    case CaptionProp::Items:
        if (auto* c = qobject_cast<QComboBox*>(o))
            SetComboItems(c, lang::SplitCommaText(text));
        else if (auto* l = qobject_cast<QListWidget*>(o))
            SetListItems(l, lang::SplitCommaText(text));
        break;
    case CaptionProp::Text:
        if (auto* e = qobject_cast<QLineEdit*>(o)) e->setText(text);
        break;
    case CaptionProp::Title:
        if (auto* d = qobject_cast<TFileDialogText*>(o)) d->Title = text;
        break;
    case CaptionProp::Filter:
        if (auto* d = qobject_cast<TFileDialogText*>(o)) d->Filter = text;
        break;
    case CaptionProp::Column0:
        if (auto* g = qobject_cast<QTableWidget*>(o)) SetColumn0(g, lang::SplitCommaText(text));
        break;
    }
}

void TMainForm::ApplyQtCatalogue()
{
    const int language = session_->language();
    if (language == qtCatalogueLanguage_) return;
    qtCatalogueLanguage_ = language;
    if (qtCatalogue_) {
        QCoreApplication::removeTranslator(qtCatalogue_);
        delete qtCatalogue_;
        qtCatalogue_ = nullptr;
    }
    if (language == 1) return; // Qt's own texts are English
    auto* t = new QTranslator(this);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!t->load(QStringLiteral("qtbase_de"), dir)) {
        delete t;
        // The window works without it; its dialogs' buttons stay English.
        PanelText(1, QStringLiteral("Qt-Übersetzung nicht gefunden: %1/qtbase_de.qm").arg(dir));
        return;
    }
    QCoreApplication::installTranslator(t);
    qtCatalogue_ = t;
}

void TMainForm::UpdateCaptions()
{
    // First Qt's catalogue: the menu's shortcut texts and the key labels below use it.
    ApplyQtCatalogue();
    // One pass over the children finds every named control, actions and menus included.
    QHash<QString, QObject*> byName;
    const QList<QObject*> all = findChildren<QObject*>();
    for (QObject* o : all)
        if (!o->objectName().isEmpty() && !byName.contains(o->objectName()))
            byName.insert(o->objectName(), o);

    for (int i = 0; i < kCaptionTableSize; ++i) {
        const CaptionAssignment& a = kCaptionTable[i];
        const QString text = Msg(a.Msg);
        if (qstrcmp(a.Name, "Application") == 0) {
            QCoreApplication::setApplicationName(text);
            continue;
        }
        if (QObject* o = byName.value(QLatin1String(a.Name))) ApplyCaption(o, int(a.Prop), text);
    }
    ApplySpecialCaptions();
    ShowOperatorTexts();
    ShowRecordingTexts();
    HistoryCaptions();
    ChartCaptions();
    StatisticsCaptions();
    if (pwForm_) pwForm_->UpdateCaptions();
    if (simPanel_) simPanel_->SetLanguage(session_->language());
    // An open manual follows the language.
    if (helpWindow_ && helpWindow_->isVisible()) ShowHelpWindow();
}

void TMainForm::ApplySpecialCaptions()
{
    // The grids' columns as wide as their headings in this language and their widest values.
    if (auto* g = findChild<QTableView*>(QStringLiteral("StGRead")))
        FitColumns(g,
                   {QStringLiteral("000000"), QStringLiteral("00.00.0000"), QStringLiteral("00:00:00"),
                    QStringLiteral("000"), QStringLiteral("00000"), QStringLiteral("00000"),
                    QStringLiteral("00000"), QStringLiteral("00000"), QStringLiteral("00000"),
                    QStringLiteral("00000"), QStringLiteral("00000"), QStringLiteral("00"),
                    QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("0000"), QStringLiteral("00")},
                   {40, 60, 60});
    if (auto* g = findChild<QTableView*>(QStringLiteral("StGBubbles")))
        FitColumns(g, {QStringLiteral("000"), QStringLiteral("000000"), QStringLiteral("000"),
                       QStringLiteral("000")});
    if (auto* sec = findChild<QListWidget*>(QStringLiteral("CBLSecurity"))) {
        int h = 2 * sec->frameWidth();
        for (int i = 0; i < sec->count(); ++i)
            h += sec->sizeHintForRow(i);
        sec->setFixedHeight(h);
    }
    for (QComboBox* c : findChildren<QComboBox*>())
        if (c->property("fitToItems").toBool()) FitComboWidth(c);
    // Key labels as the menus write the keys.
    for (QLabel* l : findChildren<QLabel*>())
        if (l->property("keyLabel").isValid()) l->setText(KeyLabelText(l->property("keyLabel").toString()));
    // Refresh items: their cycle count and " Cycle" / " Cycles".
    for (QAction* a : drawDiaItems_) {
        const int tag = Tag(a);
        a->setText(QString::number(tag) + Msg(tag == 1 ? 77 : 78));
    }
    // The help text: one catalogue line per line the memo holds.
    const int lines = int(MemoHelp->toPlainText().split(QLatin1Char('\n')).size());
    QStringList help;
    for (int i = 0; i < lines; ++i)
        help << Msg(225 + i);
    MemoHelp->setPlainText(help.join(QLatin1Char('\n')));
    if (auto* b = findChild<QAbstractButton*>(QStringLiteral("BTStGridHelp")))
        b->setText(Msg(MemoHelp->isHidden() ? 223 : 224));
    // The output-configuration table.
    if (PBubbleTab) {
        for (int row = 0; row < 10; ++row) {
            auto edit = [&](int j) {
                return PBubbleTab->findChild<QLineEdit*>(QStringLiteral("EBubbleTab_%1_%2").arg(row).arg(j));
            };
            auto panel = [&](int j) {
                return PBubbleTab->findChild<QWidget*>(QStringLiteral("PBubbleTab_%1_%2").arg(row).arg(j));
            };
            edit(0)->setToolTip(Msg(row < 8 ? 447 : row == 8 ? 452 : 453));
            if (row >= 8) edit(0)->setText(Msg(row == 8 ? 458 : 459));
            edit(1)->setToolTip(Msg(448));
            edit(2)->setToolTip(Msg(449));
            panel(0)->setToolTip(Msg(450));
            for (int j = 1; j < 4; ++j)
                panel(j)->setToolTip(Msg(451));
        }
    }
}

void TMainForm::MILClick(QObject* sender)
{
    switch (Tag(sender)) {
    case 0:
        MILDt->setChecked(true);
        break;
    case 1:
        MILEn->setChecked(true);
        break;
    case 9:
        (MILDt->isChecked() ? MILEn : MILDt)->setChecked(true);
        break;
    default:
        break;
    }
    session_->setLanguage(MILDt->isChecked() ? 0 : 1);
    ShowBanner();
    UpdateCaptions();
    UpdateVersion();
    UpdateDialog();
}

void TMainForm::ApplyLanguage(int language)
{
    MILClick(language == 1 ? MILEn : MILDt);
}

} // namespace vmx::ui
