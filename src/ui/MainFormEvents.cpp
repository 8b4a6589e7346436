// The event search page of the test page ("Blasensuche"). Its captions are fixed German
// texts, not catalogue entries.
#include "lang/OperatorTexts.h"
#include "monitor/EventSearch.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vmx::ui {

namespace {
void FillGrid(QTableWidget* g, const std::vector<QStringList>& rows)
{
    for (int r = 0; r < g->rowCount() && r < int(rows.size()); ++r)
        for (int c = 0; c < g->columnCount(); ++c) {
            auto* item = g->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                g->setItem(r, c, item);
            }
            item->setText(rows[size_t(r)].value(c));
        }
}
} // namespace

QWidget* TMainForm::CreateEventPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TSEvent"));
    auto* lay = new QGridLayout(page);
    auto* controls = new QVBoxLayout;
    controls->addWidget(NewNamed<QLabel>(page, "LTEventCriteria", QStringLiteral("Kriterium")));
    auto* out = NewNamed<QRadioButton>(page, "RBTEventQVROut", QStringLiteral("QVROut"));
    out->setChecked(true);
    controls->addWidget(out);
    controls->addWidget(NewNamed<QRadioButton>(page, "RBTEventBubbleAvg", QStringLiteral("BubblAvg")));
    for (const auto& [name, caption] :
         {std::pair{"ETEventCt", "Anzahl"}, std::pair{"ETEventThr", "Schwelle"}}) {
        auto* e = new LabeledEdit(page);
        e->setObjectName(QString::fromLatin1(name));
        e->EditLabel()->setText(QString::fromLatin1(caption));
        controls->addWidget(e->EditLabel());
        controls->addWidget(e);
    }
    auto* search = NewNamed<QPushButton>(page, "BTTEventSearch", QStringLiteral("Blasen suchen"));
    connect(search, &QPushButton::clicked, this, &TMainForm::BTTEventSearchClick);
    controls->addWidget(search);
    auto* clip = NewNamed<QPushButton>(page, "ETEventClip", QStringLiteral("ClipBoard"));
    connect(clip, &QPushButton::clicked, this, &TMainForm::ETEventClipClick);
    controls->addWidget(clip);
    auto* searchFile = NewNamed<QPushButton>(page, "BTTEventSearchFile");
    connect(searchFile, &QPushButton::clicked, this, &TMainForm::BTTEventSearchFileClick);
    controls->addWidget(searchFile);
    controls->addStretch();
    lay->addLayout(controls, 0, 0);

    auto* grid = new QTableWidget(monitor::EventSearch::kGridRows, monitor::EventSearch::kGridColumns, page);
    grid->setObjectName(QStringLiteral("StGBubbles"));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(10);
    grid->horizontalHeader()->setDefaultSectionSize(40);
    grid->verticalHeader()->setDefaultSectionSize(17);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FillGrid(grid, monitor::EventSearch::Grid({}));
    lay->addWidget(grid, 0, 1);
    lay->setColumnStretch(1, 1);
    return page;
}

void TMainForm::BTTEventSearchClick()
{
    auto* grid = findChild<QTableWidget*>(QStringLiteral("StGBubbles"));
    auto* count = findChild<QLineEdit*>(QStringLiteral("ETEventCt"));
    auto* thr = findChild<QLineEdit*>(QStringLiteral("ETEventThr"));
    auto* byAvg = findChild<QRadioButton*>(QStringLiteral("RBTEventBubbleAvg"));
    if (!grid || !count || !thr || !byAvg) return;
    using monitor::EventSearch;
    // An empty field searches with its default: say which were empty and what was taken, so a
    // search that finds nothing is not taken for a search with the operator's numbers.
    QStringList missing, taken;
    const std::pair<QLineEdit*, int> fields[] = {{count, EventSearch::CountFrom(count->text())},
                                                 {thr, EventSearch::ThresholdFrom(thr->text())}};
    for (const auto& [e, value] : fields)
        if (e->text().trimmed().isEmpty())
            if (auto* labeled = qobject_cast<const LabeledEdit*>(e)) {
                missing << labeled->EditLabel()->text();
                taken << QString::number(value);
            }
    if (!missing.isEmpty())
        PanelText(1, lang::OperatorTextOf(lang::OperatorText::SearchMissing, session_->language())
                         .arg(missing.join(QStringLiteral(", ")), taken.join(QStringLiteral(", "))));
    const auto hits = EventSearch::Search(
        station_->store(),
        byAvg->isChecked() ? EventSearch::Criterion::BubbleAvg : EventSearch::Criterion::QVROut,
        EventSearch::CountFrom(count->text()), EventSearch::ThresholdFrom(thr->text()));
    FillGrid(grid, EventSearch::Grid(hits));
}

void TMainForm::ShowEventGrid(const std::vector<QStringList>& rows)
{
    if (auto* grid = findChild<QTableWidget*>(QStringLiteral("StGBubbles"))) FillGrid(grid, rows);
}

void TMainForm::ETEventClipClick()
{
    auto* grid = findChild<QTableWidget*>(QStringLiteral("StGBubbles"));
    if (!grid) return;
    std::vector<QStringList> rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        rows.push_back(cells);
    }
    SetClipboardText(monitor::EventSearch::ClipText(rows));
}

} // namespace vmx::ui
