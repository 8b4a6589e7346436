// The chart as the user navigates it: pause and follow, zoom and pan with mouse and keys, the
// time axis, scroll-back into a recording, marks, and the export of what is in sight.
#include "lang/ChartTexts.h"
#include "monitor/MeasFiles.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace vmx::ui {

namespace {
constexpr double kWheelStep = 1.25;        // zoom per wheel notch
constexpr double kKeyPan = 64;             // pixels per arrow key
constexpr int kChartLeft = 50;             // pixel column of the chart's first sample
constexpr std::int64_t kMaxExport = 32000; // what an export's table holds
} // namespace

monitor::ChartSource TMainForm::ChartData()
{
    monitor::ChartSource src;
    src.store = &station_->store();
    const monitor::Recording& rec = station_->recording();
    if (rec.Active() && recording_.isOpen()) {
        // While recording, the store's slots up to its write position are this lap's samples
        // (a store that rolls over starts a new lap at slot 0); everything older is read from
        // the recording.
        const std::int64_t base = station_->AbsoluteIndex() - station_->store().index();
        if (base != storeBase_) SetStoreBase(base);
        src.storeSlots = station_->store().index();
    }
    src.storeBase = storeBase_;
    src.recording = recording_.isOpen() ? &recording_ : nullptr;
    return src;
}

void TMainForm::ChartChanged()
{
    // A recording being written grows: what the user navigates to may be new.
    if (recording_.isOpen()) recording_.Refresh();
    if (QAction* follow = act("ALFollow")) follow->setEnabled(chartView_.paused());
    if (auto* box = findChild<QCheckBox*>(QStringLiteral("ChBTimeAxis"))) {
        const QSignalBlocker block(box);
        box->setChecked(chartView_.timeAxis());
    }
    const QString paused = lang::ChartTextOf(lang::ChartText::Paused, session_->language());
    if (chartView_.paused())
        PanelText(1, paused);
    else if (PanelTextOf(1) == paused)
        PanelText(1, QString());
    DrawDiagram();
}

void TMainForm::ALPauseExecute()
{
    if (!station_) return;
    if (chartView_.paused()) {
        ALFollowExecute();
        return;
    }
    // Frozen where it is now: the default chart's window, or the followed one.
    monitor::ChartSource src = ChartData();
    if (!chartView_.navigated())
        chartView_.Pause(
            double(storeBase_ + monitor::DiagramRenderer::WindowStart(station_->store().index())));
    else {
        chartView_.KeepUp(src.Oldest(), src.Newest());
        chartView_.Pause(chartView_.first());
    }
    ChartChanged();
}

void TMainForm::ALFollowExecute()
{
    chartView_.Follow();
    ChartChanged();
}

void TMainForm::ChartReset()
{
    chartView_.Reset();
    ChartChanged();
}

void TMainForm::ChartWheel(int x, int delta, bool shift)
{
    if (delta == 0) return;
    const double factor = std::pow(kWheelStep, std::abs(delta) / 120.0);
    if (shift) {
        chartView_.ZoomValue(delta > 0 ? factor : 1 / factor);
    } else {
        monitor::ChartSource src = ChartData();
        if (!chartView_.paused()) chartView_.KeepUp(src.Oldest(), src.Newest());
        // Wheel up brings the samples closer: fewer a pixel.
        chartView_.ZoomTime(delta > 0 ? 1 / factor : factor, double(x - kChartLeft));
    }
    ChartChanged();
}

bool TMainForm::ChartKey(int key, Qt::KeyboardModifiers)
{
    monitor::ChartSource src = ChartData();
    if (!chartView_.paused() && key != Qt::Key_End) chartView_.KeepUp(src.Oldest(), src.Newest());
    const double centre = monitor::ChartView::kColumns / 2.0;
    switch (key) {
    case Qt::Key_Left:
        chartView_.Pan(-kKeyPan);
        break;
    case Qt::Key_Right:
        chartView_.Pan(kKeyPan);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // "+" without Shift on many keyboards
        chartView_.ZoomTime(1 / kWheelStep, centre);
        break;
    case Qt::Key_Minus:
        chartView_.ZoomTime(kWheelStep, centre);
        break;
    case Qt::Key_Up:
        chartView_.ZoomValue(kWheelStep);
        break;
    case Qt::Key_Down:
        chartView_.ZoomValue(1 / kWheelStep);
        break;
    case Qt::Key_Home:
        chartView_.ShowFrom(double(src.Oldest()));
        break;
    case Qt::Key_End:
        chartView_.Follow();
        break;
    default:
        return false;
    }
    ChartChanged();
    return true;
}

bool TMainForm::ChartEvent(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Wheel: {
        auto* w = static_cast<QWheelEvent*>(e);
        // Some platforms turn Shift + wheel into a sideways wheel.
        const int delta = w->angleDelta().y() != 0 ? w->angleDelta().y() : w->angleDelta().x();
        ChartWheel(int(w->position().x()), delta, w->modifiers() & Qt::ShiftModifier);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() != Qt::LeftButton) return false;
        dragX_ = m->position().x();
        return false;
    }
    case QEvent::MouseMove: {
        auto* m = static_cast<QMouseEvent*>(e);
        if (dragX_ >= 0 && (m->buttons() & Qt::LeftButton)) {
            const double x = m->position().x();
            if (x != dragX_) {
                monitor::ChartSource src = ChartData();
                if (!chartView_.paused()) chartView_.KeepUp(src.Oldest(), src.Newest());
                // The samples follow the pointer: dragging right shows older ones.
                chartView_.Pan(dragX_ - x);
                dragX_ = x;
                ChartChanged();
            }
        }
        return false; // the hint follows the pointer too
    }
    case QEvent::MouseButtonRelease:
        dragX_ = -1;
        return false;
    case QEvent::MouseButtonDblClick:
        dragX_ = -1;
        ChartReset();
        return true;
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        return ChartKey(k->key(), k->modifiers());
    }
    case QEvent::ContextMenu:
        ChartMenu()->popup(static_cast<QContextMenuEvent*>(e)->globalPos());
        return true;
    default:
        return false;
    }
}

QMenu* TMainForm::ChartMenu()
{
    if (!chartMenu_) {
        chartMenu_ = new QMenu(PB);
        chartMenu_->setObjectName(QStringLiteral("PMChart"));
        auto item = [this](const char* name, auto slot) {
            QAction* a = chartMenu_->addAction(QString());
            a->setObjectName(QLatin1String(name));
            connect(a, &QAction::triggered, this, slot);
        };
        item("MIChartExportText", [this] { ExportVisible(false); });
        item("MIChartExportExcel", [this] { ExportVisible(true); });
        chartMenu_->addSeparator();
        item("MIChartOpenRecording", [this] {
            const QString dir = env_.pickFile ? env_.pickFile(QStringLiteral("OpenRecording"), QString())
                                              : QFileDialog::getExistingDirectory(this);
            if (!dir.isEmpty()) OpenRecording(dir);
        });
        item("MIChartCloseRecording", [this] { CloseRecording(); });
        ChartCaptions();
    }
    if (QAction* close = chartMenu_->findChild<QAction*>(QStringLiteral("MIChartCloseRecording")))
        close->setEnabled(recording_.isOpen());
    return chartMenu_;
}

void TMainForm::ChartCaptions()
{
    using lang::ChartText;
    const int language = session_ ? session_->language() : 0;
    const auto text = [language](ChartText t) { return lang::ChartTextOf(t, language); };
    if (QAction* a = act("ALPause")) {
        a->setText(text(ChartText::Pause));
        a->setToolTip(text(ChartText::PauseHint));
    }
    if (QAction* a = act("ALFollow")) {
        a->setText(text(ChartText::Follow));
        a->setToolTip(text(ChartText::FollowHint));
    }
    if (auto* box = findChild<QCheckBox*>(QStringLiteral("ChBTimeAxis"))) {
        box->setText(text(ChartText::TimeAxis));
        box->setToolTip(text(ChartText::TimeAxisHint));
    }
    if (chartMenu_) {
        const std::pair<const char*, ChartText> items[] = {
            {"MIChartExportText", ChartText::ExportText},
            {"MIChartExportExcel", ChartText::ExportWorkbook},
            {"MIChartOpenRecording", ChartText::OpenRecording},
            {"MIChartCloseRecording", ChartText::CloseRecording}};
        for (const auto& [name, t] : items)
            if (auto* a = chartMenu_->findChild<QAction*>(QLatin1String(name))) a->setText(text(t));
    }
}

bool TMainForm::OpenRecording(const QString& folderOrFile)
{
    const int language = session_->language();
    if (!recording_.Open(folderOrFile)) {
        PanelText(1, lang::ChartTextOf(lang::ChartText::RecordingFailed, language) + recording_.error());
        return false;
    }
    PanelText(1, lang::ChartTextOf(lang::ChartText::RecordingOpen, language)
                     .arg(recording_.files().size())
                     .arg(recording_.firstIndex())
                     .arg(recording_.lastIndex()));
    DrawDiagram();
    return true;
}

void TMainForm::CloseRecording()
{
    recording_.Close();
    DrawDiagram();
}

void TMainForm::SetStoreBase(std::int64_t base)
{
    storeBase_ = base;
    diagram_.SetMarks(diagram_.marks(), storeBase_);
}

void TMainForm::SetMarks(std::vector<std::int64_t> marks)
{
    diagram_.SetMarks(std::move(marks), storeBase_);
    DrawDiagram();
}

std::pair<std::int64_t, std::int64_t> TMainForm::VisibleRange() const
{
    if (!chartView_.navigated()) {
        const std::int64_t s = storeBase_ + monitor::DiagramRenderer::WindowStart(station_->store().index());
        return {s, s + monitor::ChartView::kColumns - 1};
    }
    // A column shows the samples from its start up to the next column's.
    return {std::int64_t(std::ceil(chartView_.first())),
            std::int64_t(std::ceil(chartView_.first() + chartView_.per() * monitor::ChartView::kColumns)) -
                1};
}

bool TMainForm::ExportVisible(bool workbook, const QString& fileName)
{
    const int language = session_->language();
    monitor::ChartSource src = ChartData();
    auto [from, to] = VisibleRange();
    from = std::max(from, src.Oldest());
    to = std::min(to, src.Newest());
    if (to < from) {
        PanelText(1, lang::ChartTextOf(lang::ChartText::Nothing, language));
        return false;
    }
    if (to - from + 1 > kMaxExport) {
        PanelText(1,
                  lang::ChartTextOf(lang::ChartText::TooWide, language).arg(to - from + 1).arg(kMaxExport));
        return false;
    }
    QString name = fileName;
    if (name.isEmpty()) {
        name = AskFileName(workbook ? "SaveDialog1" : "SaveDialog2", true, QString(), workbook);
        if (name.isEmpty()) return false;
        const char* ext = workbook ? ".xlsx" : ".txt";
        if (!name.endsWith(QLatin1String(ext), Qt::CaseInsensitive)) name += QLatin1String(ext);
    }
    // The rows as they are: the table's rows of the store's samples, the recording's lines
    // for the samples before the store.
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    int row = 1;
    const monitor::MeasTableModel& live = station_->table();
    const std::int64_t storeEnd = ChartData().StoreEnd() - 1;
    if (recording_.isOpen() && from < storeBase_) {
        recording_.Rows(from, std::min(to + 1, storeBase_),
                        [&](const monitor::RecordedSample& s, const QByteArray& line) {
                            if (row > monitor::MeasurementStore::kLastIndex + 1) return;
                            table.SetJoinedRow(row, QString::fromLatin1(line).trimmed());
                            store.at(row - 1) = s.sample;
                            ++row;
                        });
    }
    for (std::int64_t i = std::max(from, storeBase_); i <= std::min(to, storeEnd); ++i) {
        const int liveRow = int(i - storeBase_) + 1;
        if (!live.HasIndex(liveRow) || row > monitor::MeasurementStore::kLastIndex + 1) continue;
        bool shortRow = false;
        if (const monitor::MeasSample* s = live.SampleOf(liveRow, shortRow)) {
            // Counted on from the recording, as the recording's own rows are.
            monitor::MeasSample numbered = *s;
            numbered.Index = qint32(i);
            table.SetSampleRow(row, numbered, shortRow);
        } else {
            table.SetJoinedRow(row, live.TextOf(liveRow).toString());
        }
        store.at(row - 1) = station_->store().at(liveRow - 1);
        ++row;
    }
    if (row == 1) {
        PanelText(1, lang::ChartTextOf(lang::ChartText::Nothing, language));
        return false;
    }
    monitor::MeasFiles files(*session_, store, table, station_->measFileEvents());
    SetBusy(true);
    const bool ok = workbook ? files.ExportExcel(name) : files.ExportText(name);
    SetBusy(false);
    return ok;
}

} // namespace vmx::ui
