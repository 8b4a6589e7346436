// The "Historie" page: the unit history, searched by serial number, batch or days; with a line's
// server every station's, else this station's. Runs are read one page at a time, so no query holds the window
// long on a large database.
#include "history/HistoryReader.h"
#include "history/SqlHistoryStore.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

namespace vmx::ui {

namespace {

constexpr int kRunsPerPage = 50;

// The page's texts, German and English, by control.
const PageText kHistoryTexts[] = {
    {"LHistSN", "Seriennummer", "Serial number"},
    {"LHistBatch", "Auftrag", "Batch"},
    {"LHistFrom", "von", "from"},
    {"LHistTo", "bis", "to"},
    {"BTHistSearch", "Suchen", "Search"},
    {"BTHistPrev", "Vorige", "Previous"},
    {"BTHistNext", "Nächste", "Next"},
    {"GBHistRuns", "Prüfungen", "Runs"},
    {"GBHistSteps", "Schritte", "Steps"},
    {"GBHistMeas", "Messwerte", "Measurements"},
    {"GBHistEvents", "Service", "Service"},
};
const char* const kRunHeads[][2] = {{"Station", "Station"},
                                    {"Datum", "Date"},
                                    {"SN", "SN"},
                                    {"Prüfung", "Definition"},
                                    {"Bewertung", "Verdict"}};
const char* const kStepHeads[][2] = {
    {"Schritt", "Step"}, {"Vers.", "Try"}, {"Routine", "Routine"}, {"Text", "Text"}};
const char* const kMeasHeads[][2] = {{"Größe", "Item"}, {"Wert", "Value"}, {"Min", "Min"}, {"Max", "Max"}};
const char* const kEventHeads[][2] = {{"Datum", "Date"}, {"Art", "Kind"}, {"Datei", "File"}, {"", ""}};

// The page's grids select one run, one step at a time.
QTableWidget* Grid(QWidget* parent, const char* name, int columns)
{
    QTableWidget* g = ResultGrid(parent, name, columns);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    return g;
}

QTableWidgetItem* Cell(const QString& text, const QColor& colour = QColor())
{
    auto* item = new QTableWidgetItem(text);
    if (colour.isValid()) item->setForeground(colour);
    return item;
}

QString Local(const QDateTime& t)
{
    return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString Limit(const std::optional<double>& v)
{
    return v ? QString::number(*v) : QString();
}

} // namespace

QWidget* TMainForm::CreateHistoryPage()
{
    auto* page = NewNamed<QWidget>(nullptr, "TSHistory");
    auto* lay = new QVBoxLayout(page);
    auto* search = new QHBoxLayout;
    auto edit = [&](const char* label, const char* name, int width) {
        search->addWidget(NewNamed<QLabel>(page, label));
        auto* e = NewNamed<QLineEdit>(page, name);
        e->setFixedWidth(width);
        connect(e, &QLineEdit::returnPressed, this, [this] { HistorySearch(0); });
        search->addWidget(e);
    };
    edit("LHistSN", "EHistSN", 80);
    edit("LHistBatch", "EHistBatch", 100);
    edit("LHistFrom", "EHistFrom", 90);
    edit("LHistTo", "EHistTo", 90);
    for (const char* name : {"BTHistSearch", "BTHistPrev", "BTHistNext"}) {
        auto* b = NewNamed<QPushButton>(page, name);
        search->addWidget(b);
        const int step = qstrcmp(name, "BTHistPrev") == 0 ? -1 : qstrcmp(name, "BTHistNext") == 0 ? 1 : 0;
        connect(b, &QPushButton::clicked, this,
                [this, step] { HistorySearch(step == 0 ? 0 : std::max(0, historyPage_ + step)); });
    }
    search->addWidget(NewNamed<QLabel>(page, "LHistPage"), 1);
    lay->addLayout(search);

    auto* grid = new QGridLayout;
    auto group = [&](const char* name, QTableWidget* table, int row, int column) {
        auto* g = NewNamed<QGroupBox>(page, name);
        auto* l = new QVBoxLayout(g);
        table->setParent(g);
        l->addWidget(table);
        grid->addWidget(g, row, column);
    };
    QTableWidget* runs = Grid(page, "StGHistRuns", 5);
    group("GBHistRuns", runs, 0, 0);
    group("GBHistSteps", Grid(page, "StGHistSteps", 4), 0, 1);
    group("GBHistMeas", Grid(page, "StGHistMeas", 4), 1, 0);
    group("GBHistEvents", Grid(page, "StGHistEvents", 4), 1, 1);
    connect(runs, &QTableWidget::currentCellChanged, this, [this](int row) { HistoryShowRun(row); });
    lay->addLayout(grid, 1);
    return page;
}

void TMainForm::HistoryCaptions()
{
    const int language = session_->language();
    SetPageTexts(this, kHistoryTexts, std::size(kHistoryTexts), language);
    if (auto* page = findChild<QWidget*>(QStringLiteral("TSHistory")))
        PC1->setTabText(PC1->indexOf(page),
                        language == 1 ? QStringLiteral("History") : QStringLiteral("Historie"));
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGHistRuns")), kRunHeads, 5, language);
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGHistSteps")), kStepHeads, 4, language);
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGHistMeas")), kMeasHeads, 4, language);
    SetHeadings(findChild<QTableWidget*>(QStringLiteral("StGHistEvents")), kEventHeads, 4, language);
}

void TMainForm::HistorySearch(int page)
{
    auto* label = findChild<QLabel*>(QStringLiteral("LHistPage"));
    const bool english = session_->language() == 1;
    history::SqlHistoryStore* store = station_->history().store();
    if (!store) {
        label->setText(english ? QStringLiteral("no database open")
                               : QStringLiteral("keine Datenbank geöffnet"));
        return;
    }
    auto text = [this](const char* name) {
        return findChild<QLineEdit*>(QLatin1String(name))->text().trimmed();
    };
    history::Filter f;
    bool ok = false;
    const int sn = text("EHistSN").toInt(&ok);
    f.serial = ok && sn >= 0 ? QString::asprintf("%4.4d", sn) : text("EHistSN");
    f.batch = text("EHistBatch");
    for (auto [name, day] : {std::pair{"EHistFrom", &f.since}, std::pair{"EHistTo", &f.until}}) {
        const QDate d = QDate::fromString(text(name), Qt::ISODate);
        if (d.isValid()) *day = d;
    }
    // With a line's server the page is read on the reader's thread: the server when it answers,
    // else this station's store, and the page says so.
    if (history::HistoryReader* reader = station_->history().Reader()) {
        const int ticket = ++historyTicket_;
        label->setText(english ? QStringLiteral("searching …") : QStringLiteral("suche …"));
        reader->Search(f, kRunsPerPage, page * kRunsPerPage,
                       [this, page, ticket](history::HistoryReader::Page p) {
                           if (ticket == historyTicket_) HistoryShowPage(page, std::move(p.runs), p.ownView);
                       });
        return;
    }
    HistoryShowPage(page, store->Runs(f, kRunsPerPage, page * kRunsPerPage), false);
}

void TMainForm::HistoryShowPage(int page, std::vector<history::RunRow> rows, bool ownView)
{
    auto* label = findChild<QLabel*>(QStringLiteral("LHistPage"));
    const bool english = session_->language() == 1;
    if (rows.empty() && page > 0) {
        // Past the last page: stay.
        HistoryPageLabel(label, english);
        return;
    }
    historyPage_ = page;
    historyOwnView_ = ownView;
    historyRuns_ = std::move(rows);
    auto* runs = findChild<QTableWidget*>(QStringLiteral("StGHistRuns"));
    const QSignalBlocker block(runs);
    runs->setRowCount(int(historyRuns_.size()));
    for (int r = 0; r < int(historyRuns_.size()); ++r) {
        const history::RunRow& x = historyRuns_[size_t(r)];
        const QString verdict = x.state == history::RunState::Done ? x.verdict : history::StateName(x.state);
        const QColor colour = verdict == QLatin1String("okay") ? QColor(Qt::darkGreen) : QColor(Qt::red);
        runs->setItem(r, 0, Cell(x.station));
        runs->setItem(r, 1, Cell(Local(x.start.started)));
        runs->setItem(r, 2, Cell(x.start.serial));
        runs->setItem(r, 3, Cell(x.start.label));
        runs->setItem(r, 4, Cell(verdict, x.state == history::RunState::Running ? QColor() : colour));
    }
    HistoryPageLabel(label, english);
    HistoryShowRun(historyRuns_.empty() ? -1 : 0);
}

void TMainForm::HistoryPageLabel(QLabel* label, bool english)
{
    QString text = (english ? QStringLiteral("Page %1") : QStringLiteral("Seite %1")).arg(historyPage_ + 1);
    if (historyOwnView_)
        text += english ? QStringLiteral(" (server not reachable: station %1's own view)")
                              .arg(station_->history().store()->station())
                        : QStringLiteral(" (Server nicht erreichbar: nur Station %1)")
                              .arg(station_->history().store()->station());
    label->setText(text);
}

void TMainForm::HistoryShowRun(int row)
{
    auto* steps = findChild<QTableWidget*>(QStringLiteral("StGHistSteps"));
    auto* meas = findChild<QTableWidget*>(QStringLiteral("StGHistMeas"));
    auto* events = findChild<QTableWidget*>(QStringLiteral("StGHistEvents"));
    steps->setRowCount(0);
    meas->setRowCount(0);
    events->setRowCount(0);
    history::SqlHistoryStore* store = station_->history().store();
    if (!store || row < 0 || row >= int(historyRuns_.size())) return;
    const history::RunRow& run = historyRuns_[size_t(row)];
    if (history::HistoryReader* reader = station_->history().Reader()) {
        const int ticket = ++historyTicket_;
        reader->Read(run, historyOwnView_, [this, ticket](history::HistoryReader::Details d) {
            if (ticket == historyTicket_) HistoryShowDetails(d.steps, d.events);
        });
        return;
    }
    HistoryShowDetails(store->Steps(run.start.uuid), store->Events(run.start.serial, run.start.sensorType));
}

void TMainForm::HistoryShowDetails(const std::vector<history::StepAttempt>& attempts,
                                   const std::vector<history::ServiceEvent>& serviceEvents)
{
    auto* steps = findChild<QTableWidget*>(QStringLiteral("StGHistSteps"));
    auto* meas = findChild<QTableWidget*>(QStringLiteral("StGHistMeas"));
    auto* events = findChild<QTableWidget*>(QStringLiteral("StGHistEvents"));
    steps->setRowCount(0);
    meas->setRowCount(0);
    events->setRowCount(0);
    for (const history::StepAttempt& a : attempts) {
        const int r = steps->rowCount();
        steps->insertRow(r);
        const QColor colour = a.outcome == 0 ? QColor(Qt::red) : QColor(Qt::blue);
        steps->setItem(r, 0, Cell(QString::number(a.step)));
        steps->setItem(r, 1, Cell(QString::number(a.attempt)));
        steps->setItem(r, 2, Cell(a.routine, a.outcome == 0 ? colour : QColor()));
        QStringList texts;
        for (const history::StatusText& t : a.texts)
            texts << t.text;
        steps->setItem(r, 3, Cell(texts.join(QStringLiteral(" | ")), colour));
        for (const history::Measurement& m : a.measurements) {
            const int k = meas->rowCount();
            meas->insertRow(k);
            meas->setItem(k, 0, Cell(m.item));
            meas->setItem(k, 1, Cell(m.value, m.outcome == 0 ? QColor(Qt::red) : QColor(Qt::darkGreen)));
            meas->setItem(k, 2, Cell(Limit(m.low)));
            meas->setItem(k, 3, Cell(Limit(m.high)));
        }
    }
    for (const history::ServiceEvent& e : serviceEvents) {
        const int r = events->rowCount();
        events->insertRow(r);
        events->setItem(r, 0, Cell(Local(e.at)));
        events->setItem(r, 1, Cell(history::KindName(e.kind)));
        events->setItem(r, 2, Cell(e.fileName));
        events->setItem(r, 3,
                        Cell(e.ok ? QStringLiteral("okay") : QStringLiteral("FEHLER"),
                             e.ok ? QColor(Qt::darkGreen) : QColor(Qt::red)));
    }
}

} // namespace vmx::ui
