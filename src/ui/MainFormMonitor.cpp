// The monitor and table pages: acquisition, the measurement table and the strip chart.
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

namespace vmx::ui {

void TMainForm::CreateAcquisition()
{
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead"))) {
        grid->setModel(&station_->table());
        // The headings stay in sight while the rows scroll: the header shows them, and row 0,
        // which holds them for the files and the clipboard, is not shown twice.
        grid->verticalHeader()->hide();
        grid->setRowHidden(0, true);
        connect(&station_->table(), &QAbstractItemModel::modelReset, grid,
                [grid] { grid->setRowHidden(0, true); });
        grid->verticalHeader()->setDefaultSectionSize(15);
        grid->horizontalHeader()->setDefaultSectionSize(40);
        grid->setColumnWidth(1, 60);
        grid->setColumnWidth(2, 60);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& cur) { StGReadSelectCell(cur.row()); });
    }
    // The menu check marks and the interval list are the station's settings.
    station::StationSettings& st = station_->settings;
    connect(MIBeep, &QAction::toggled, this, [this](bool on) { station_->settings.beeper = on; });
    for (QAction* a : {MIDataOvfStop, MIDataOvfRollOver, MIDataOvfRestart})
        connect(a, &QAction::toggled, this, [this] { station_->settings.overflow = DataOverflowPolicy(); });
    for (QAction* a : drawDiaItems_)
        connect(a, &QAction::toggled, this, [this, a](bool on) {
            if (on) station_->settings.refreshDivisor = Tag(a, 10);
        });
    const auto interval = [this](int i) {
        station_->settings.measIntervalMs = monitor::Acquisition::kMeasIntervals[i >= 0 && i < 9 ? i : 3];
    };
    connect(CBMeasTime, &QComboBox::currentIndexChanged, this, interval);
    interval(CBMeasTime->currentIndex());
    st.beeper = BeeperOn();
    st.overflow = DataOverflowPolicy();
    connect(Timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
    connect(ScrollBar, &QScrollBar::valueChanged, this, &TMainForm::ScrollBarChange);
    PB->setMouseTracking(true);
    // A click gives the chart the keys that navigate it; its menu exports what is in sight.
    PB->setFocusPolicy(Qt::ClickFocus);
    PB->setToolTipDuration(-1);
    if (auto* box = findChild<QCheckBox*>(QStringLiteral("ChBTimeAxis")))
        connect(box, &QCheckBox::toggled, this, [this](bool on) {
            chartView_.setTimeAxis(on);
            ChartChanged();
        });
    act("ALFollow")->setEnabled(false);
    diagram_.DrawBitmapSchedule({st.maxBubble, st.bubbleThreshold});
    Timer2->start();
}

void TMainForm::AcquisitionChanged()
{
    act("ALStart")->setEnabled(station_->StartEnabled());
    act("ALStop")->setEnabled(station_->StopEnabled());
}

void TMainForm::TimerIntervalChanged(int ms)
{
    if (Timer2->interval() != ms) Timer2->setInterval(ms);
}

void TMainForm::ALStartExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Start();
}

void TMainForm::ALStopExecute()
{
    if (!station_) return;
    station_->UserStop();
}

void TMainForm::Timer2Timer()
{
    station_->Tick();
    if (station_->recording().Active() || station_->recording().Failed() || station_->Replaying() ||
        !recordStatus_.isEmpty())
        ShowRecordingStatus();
}

void TMainForm::DrawBitmapSchedule()
{
    const station::StationSettings& st = station_->settings;
    diagram_.DrawBitmapSchedule({st.maxBubble, st.bubbleThreshold});
    DrawDiagram();
}

void TMainForm::DrawDiagram()
{
    if (!station_) return;
    const station::StationSettings& st = station_->settings;
    if (chartView_.navigated()) {
        const monitor::ChartSource src = ChartData();
        chartView_.KeepUp(src.Oldest(), src.Newest());
        diagram_.DrawColumns(chartView_, src, {st.maxBubble, st.bubbleThreshold},
                             station_->acquisition().Current().Signal, station_->store().alarmCount());
    } else {
        // The view keeps the default chart's window, so navigating starts from what is shown.
        const monitor::ChartSource src = ChartData();
        chartView_.KeepUp(src.Oldest(), src.Newest());
        diagram_.DrawDiagram(station_->store(), {st.maxBubble, st.bubbleThreshold},
                             station_->acquisition().Current().Signal);
    }
    PB->SetBitmap(&diagram_.image());
}

// The program moves the scroll bar and the selection itself: the guard keeps those moves from
// moving the store index back.
void TMainForm::Follow(int storeIndex)
{
    drawingGuard_ = false;
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead"))) grid->selectRow(storeIndex + 1);
    ScrollBar->setValue(storeIndex);
    drawingGuard_ = true;
}

void TMainForm::ScrollBarChange(int position)
{
    if (!drawingGuard_) return;
    station_->store().setIndex(position);
    drawingGuard_ = false;
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead"))) grid->selectRow(position + 1);
    drawingGuard_ = true;
    DrawDiagram();
}

void TMainForm::StGReadSelectCell(int row)
{
    if (!drawingGuard_ || row < 1) return;
    station_->store().setIndex(row - 1);
    drawingGuard_ = false;
    ScrollBar->setValue(row - 1);
    drawingGuard_ = true;
    DrawDiagram();
}

void TMainForm::PBMouseMove(int x)
{
    if (!chartView_.navigated()) {
        PB->setToolTip(monitor::DiagramRenderer::HintAt(x, station_->store().index()));
        return;
    }
    const std::int64_t i = std::max<std::int64_t>(0, chartView_.SampleAt(double(x - 50)));
    QString hint = QStringLiteral("Ix = ") + QString::number(i);
    if (chartView_.timeAxis())
        if (const double t = ChartData().TimeAt(i); t > 0)
            hint += QStringLiteral("  ") + monitor::FromSampleTime(t).toString(QStringLiteral("hh:mm:ss"));
    PB->setToolTip(hint);
}

} // namespace vmx::ui
