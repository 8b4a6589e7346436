// The monitor and table pages: acquisition, the measurement table and the strip chart.
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

namespace vmx::ui {

void TMainForm::CreateAcquisition() {
    table_ = new monitor::MeasTableModel(this);
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead"))) {
        grid->setModel(table_);
        grid->horizontalHeader()->hide();
        grid->verticalHeader()->hide();
        grid->verticalHeader()->setDefaultSectionSize(15);
        grid->horizontalHeader()->setDefaultSectionSize(40);
        grid->setColumnWidth(1, 60);
        grid->setColumnWidth(2, 60);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& cur) { StGReadSelectCell(cur.row()); });
    }
    acq_ = std::make_unique<monitor::Acquisition>(*session_, *link_, store_, *table_);
    acq_->settings = [this] {
        monitor::StoreSettings st;
        st.Threshold = bubbleThreshold_;
        st.Beeper = BeeperOn();
        st.RefreshDivisor = refreshDivisor_;
        st.DialogOutput = outputConfigKind_ == 3;
        st.Policy = DataOverflowPolicy();
        return st;
    };
    acq_->measIntervalMs = [this] {
        const int i = CBMeasTime ? CBMeasTime->currentIndex() : 3;
        return monitor::Acquisition::kMeasIntervals[i >= 0 && i < 9 ? i : 3];
    };
    // A polled sensor below V1.24 sends no OUT: the program derives it with this factor.
    acq_->bubbleFactor = [this] { return params_.edit.BubbleFactor(); };
    acq_->onStartStopEnabled = [this](bool start, bool stop) {
        act("ALStart")->setEnabled(start);
        act("ALStop")->setEnabled(stop);
    };
    acq_->setTimerInterval = [this](int ms) {
        if (Timer2->interval() != ms) Timer2->setInterval(ms);
    };
    acq_->redraw = [this] { DrawDiagram(); };
    acq_->follow = [this](int index) { Follow(index); };
    connect(Timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
    connect(ScrollBar, &QScrollBar::valueChanged, this, &TMainForm::ScrollBarChange);
    PB->setMouseTracking(true);
    diagram_.DrawBitmapSchedule({maxBubble_, bubbleThreshold_});
    Timer2->start();
}

void TMainForm::ALStartExecute() {
    acq_->ALStartExecute();
    acqStopped_ = acq_->Stopped();
}

void TMainForm::ALStopExecute() {
    if (!acq_) return;
    acq_->ALStopExecute();
    acqStopped_ = true;
}

void TMainForm::Timer2Timer() {
    if (acqStopped_ && !acq_->Stopped()) acq_->SetStopped(true); // a port failure stopped it
    acq_->Timer2Timer();
    acqStopped_ = acq_->Stopped();
}

void TMainForm::DrawBitmapSchedule() {
    diagram_.DrawBitmapSchedule({maxBubble_, bubbleThreshold_});
    DrawDiagram();
}

void TMainForm::DrawDiagram() {
    diagram_.DrawDiagram(store_, {maxBubble_, bubbleThreshold_}, acq_ ? acq_->Current().Signal : -1);
    PB->SetBitmap(&diagram_.image());
}

// The program moves the scroll bar and the selection itself: the guard keeps those moves from
// moving the store index back.
void TMainForm::Follow(int storeIndex) {
    drawingGuard_ = false;
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead")))
        grid->selectRow(storeIndex + 1);
    ScrollBar->setValue(storeIndex);
    drawingGuard_ = true;
}

void TMainForm::ScrollBarChange(int position) {
    if (!drawingGuard_) return;
    store_.setIndex(position);
    drawingGuard_ = false;
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead"))) grid->selectRow(position + 1);
    drawingGuard_ = true;
    DrawDiagram();
}

void TMainForm::StGReadSelectCell(int row) {
    if (!drawingGuard_ || row < 1) return;
    store_.setIndex(row - 1);
    drawingGuard_ = false;
    ScrollBar->setValue(row - 1);
    drawingGuard_ = true;
    DrawDiagram();
}

void TMainForm::PBMouseMove(int x) {
    PB->setToolTip(monitor::DiagramRenderer::HintAt(x, store_.index()));
}

} // namespace vmx::ui
