// Recording, trigger and replay from the menus "Messung" and "Datei", the recording's status
// beside the status panels, and the event search over a recording file.
#include "lang/RecordingTexts.h"
#include "monitor/EventSearch.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

namespace vmx::ui {

namespace {
using lang::RecordingText;

struct RecordingCaption {
    const char* name;
    RecordingText text;
};
const RecordingCaption kRecordingCaptions[] = {
    {"MIRecordStart", RecordingText::MenuStart}, {"MIRecordStop", RecordingText::MenuStop},
    {"MITrigger", RecordingText::MenuTrigger},   {"MIReplay", RecordingText::MenuReplay},
    {"MIReplay_1", RecordingText::SpeedReal},    {"MIReplay_10", RecordingText::SpeedFast},
    {"MIReplay_0", RecordingText::SpeedMax},     {"BTTEventSearchFile", RecordingText::SearchRecording},
};

// The recording's status beside the fixed panels, where a narrow window leaves it less room
// than its text: the middle of the text gives way (the file name's), so its start and the size
// and time at its end stay readable; the whole text is the tooltip.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override
    {
        return QSize(fontMetrics().averageCharWidth() * 12, QLabel::minimumSizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        p.setPen(palette().color(foregroundRole()));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width()));
    }
};
} // namespace

QString TMainForm::RecordingTextOf(int text) const
{
    return lang::RecordingTextOf(RecordingText(text), session_->language());
}

void TMainForm::CreateRecordingMenu(QMenu* meas)
{
    meas->addSeparator();
    connect(NewItem(meas, "MIRecordStart"), &QAction::triggered, this, &TMainForm::MIRecordStartClick);
    QAction* stop = NewItem(meas, "MIRecordStop");
    stop->setEnabled(false);
    connect(stop, &QAction::triggered, this, &TMainForm::MIRecordStopClick);
    connect(NewItem(meas, "MITrigger"), &QAction::triggered, this, &TMainForm::MITriggerClick);
}

void TMainForm::CreateReplayMenu(QMenu* file)
{
    auto* replay = new QMenu(file);
    replay->setObjectName(QStringLiteral("MIReplay"));
    file->addMenu(replay);
    for (int speed : {1, 10, 0}) {
        QAction* a = NewItem(replay, QStringLiteral("MIReplay_%1").arg(speed).toLatin1().constData());
        connect(a, &QAction::triggered, this, [this, speed] { MIReplayClick(speed); });
    }
}

void TMainForm::ShowRecordingTexts()
{
    for (const RecordingCaption& c : kRecordingCaptions) {
        QObject* o = findChild<QObject*>(QLatin1String(c.name));
        const QString text = RecordingTextOf(int(c.text));
        if (auto* a = qobject_cast<QAction*>(o))
            a->setText(text);
        else if (auto* m = qobject_cast<QMenu*>(o))
            m->setTitle(text);
        else if (auto* b = qobject_cast<QAbstractButton*>(o))
            b->setText(text);
    }
    recordStatus_.clear();
    ShowRecordingStatus();
}

// The chart scrolls back into the recording being written: a new recording replaces the one
// it read. Its first file and NAME.info come from the writer thread, so it is opened once they
// are on the disk.
void TMainForm::FollowLiveRecording()
{
    const monitor::Recording& rec = station_->recording();
    if (rec.Active() && !rec.Files().isEmpty() && rec.Files().first() != liveFirst_) {
        liveFirst_ = rec.Files().first();
        livePending_ = liveFirst_;
        recording_.Close();
        DrawDiagram();
    }
    if (livePending_.isEmpty() || !QFileInfo::exists(monitor::Recording::InfoFileOf(livePending_))) return;
    if (recording_.Open(livePending_)) livePending_.clear();
}

// The recording's file, size and time beside the panels; red once it stopped on its own.
void TMainForm::ShowRecordingStatus()
{
    if (!station_) return;
    FollowLiveRecording();
    if (!recordLabel_) {
        recordLabel_ = new ElidedLabel(statusBar());
        recordLabel_->setObjectName(QStringLiteral("SBarRecording"));
        statusBar()->addPermanentWidget(recordLabel_);
    }
    const monitor::Recording& rec = station_->recording();
    QString text;
    if (station_->Replaying())
        text =
            RecordingTextOf(int(RecordingText::Replay))
                .arg(station_->replay().currentFile(),
                     station_->replay().speed() == 0 ? QStringLiteral("max")
                                                     : QStringLiteral("%1x").arg(station_->replay().speed()));
    else if (rec.Active() || rec.Failed())
        text = rec.StatusText();
    const bool red = rec.Failed() && !station_->Replaying();
    if (text == recordStatus_ && red == recordLabel_->property("failed").toBool()) return;
    recordStatus_ = text;
    recordLabel_->setText(text);
    recordLabel_->setToolTip(text);
    recordLabel_->setProperty("failed", red);
    recordLabel_->setStyleSheet(red ? QStringLiteral("color: red;") : QString());
}

void TMainForm::RecordingChanged()
{
    if (QAction* a = findChild<QAction*>(QStringLiteral("MIRecordStart")))
        a->setEnabled(!station_->recording().Active());
    if (QAction* a = findChild<QAction*>(QStringLiteral("MIRecordStop")))
        a->setEnabled(station_->recording().Active());
    // A new recording counts from 0 at the store's write position: scroll-back into it and
    // its trigger marks line up with the stored samples.
    if (station_->recording().Active()) SetStoreBase(station_->AbsoluteIndex() - station_->store().index());
    ShowRecordingStatus();
}

void TMainForm::ReplayChanged()
{
    // A replay at 1x or 10x is fed in small steps; the acquisition's own interval comes back
    // with its next START.
    if (station_->Replaying()) Timer2->setInterval(10);
    ShowRecordingStatus();
}

void TMainForm::TriggerMarked(qint64 index)
{
    // The sample was stored just now, one below the store's write position; the chart places
    // the marks by that.
    SetStoreBase(index + 1 - station_->store().index());
    const std::vector<qint64> marks = station_->TriggerMarks();
    SetMarks(std::vector<std::int64_t>(marks.begin(), marks.end()));
    Q_EMIT triggerMarked(index);
}

void TMainForm::MIRecordStartClick()
{
    const QString initial = station_->RecordingFolder();
    QString folder;
    if (env_.pickFile)
        folder = env_.pickFile(QStringLiteral("RecordFolder"), initial);
    else
        folder = QFileDialog::getExistingDirectory(this, RecordingTextOf(int(RecordingText::RecordingFolder)),
                                                   initial);
    if (folder.isEmpty()) return;
    monitor::RecordingOptions options;
    options.folder = folder;
    station_->StartRecording(options);
    RecordingChanged();
}

void TMainForm::MIRecordStopClick()
{
    station_->StopRecording();
    RecordingChanged();
}

void TMainForm::MIReplayClick(int speed)
{
    const QString file = PickFile("OpenRecording", RecordingTextOf(int(RecordingText::MenuReplay)),
                                  QStringLiteral("*.txt|*.txt|*.*|*.*"), false, station_->RecordingFolder());
    if (file.isEmpty()) return;
    station_->StartReplay(monitor::Recording::FilesOf(file), speed);
    ShowRecordingStatus();
}

void TMainForm::MITriggerClick()
{
    const auto t = [this](RecordingText text) { return RecordingTextOf(int(text)); };
    const monitor::Trigger::Settings cur = station_->trigger().settings();
    QDialog d(this);
    d.setObjectName(QStringLiteral("TriggerDialog"));
    d.setWindowTitle(t(RecordingText::TriggerTitle));
    auto* form = new QFormLayout(&d);
    auto* on = new QCheckBox(t(RecordingText::TriggerOn), &d);
    on->setObjectName(QStringLiteral("ChBTriggerOn"));
    on->setChecked(cur.enabled);
    form->addRow(on);
    auto* value = new QComboBox(&d);
    value->setObjectName(QStringLiteral("CBTriggerValue"));
    value->addItems(
        {QStringLiteral("QVR"), QStringLiteral("SIGNAL"), QStringLiteral("Ampl"), QStringLiteral("Error")});
    value->setCurrentIndex(int(cur.value));
    form->addRow(t(RecordingText::TriggerValue), value);
    auto* threshold = new QSpinBox(&d);
    threshold->setObjectName(QStringLiteral("ETriggerThreshold"));
    threshold->setRange(-1, 65535);
    threshold->setValue(cur.threshold);
    form->addRow(t(RecordingText::TriggerThreshold), threshold);
    auto* direction = new QComboBox(&d);
    direction->setObjectName(QStringLiteral("CBTriggerDirection"));
    direction->addItems({t(RecordingText::Rising), t(RecordingText::Falling), t(RecordingText::Either)});
    direction->setCurrentIndex(int(cur.direction));
    form->addRow(t(RecordingText::TriggerDirection), direction);
    auto* before = new QSpinBox(&d);
    before->setObjectName(QStringLiteral("ETriggerBefore"));
    before->setRange(0, 100000);
    before->setValue(cur.before);
    form->addRow(t(RecordingText::Before), before);
    auto* after = new QSpinBox(&d);
    after->setObjectName(QStringLiteral("ETriggerAfter"));
    after->setRange(0, 100000);
    after->setValue(cur.after);
    form->addRow(t(RecordingText::After), after);
    auto* mark = new QRadioButton(t(RecordingText::OnlyMark), &d);
    mark->setObjectName(QStringLiteral("RBTriggerMark"));
    auto* stop = new QRadioButton(t(RecordingText::StopAcquisition), &d);
    stop->setObjectName(QStringLiteral("RBTriggerStop"));
    (cur.stop ? stop : mark)->setChecked(true);
    form->addRow(mark);
    form->addRow(stop);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    form->addRow(buttons);
    if (triggerDialogHook) triggerDialogHook(d);
    if (d.exec() != QDialog::Accepted) return;
    monitor::Trigger::Settings s;
    s.enabled = on->isChecked();
    s.value = monitor::Trigger::Value(value->currentIndex());
    s.threshold = threshold->value();
    s.direction = monitor::Trigger::Direction(direction->currentIndex());
    s.before = before->value();
    s.after = after->value();
    s.stop = stop->isChecked();
    station_->SetTrigger(s);
}

// The event search over a recording: every file of it, beyond what the store holds; the grid
// shows the first 80 events as for the store.
void TMainForm::BTTEventSearchFileClick()
{
    const QString file = PickFile("OpenRecording", RecordingTextOf(int(RecordingText::SearchRecording)),
                                  QStringLiteral("*.txt|*.txt|*.*|*.*"), false, station_->RecordingFolder());
    if (file.isEmpty()) return;
    const auto text = [this](const char* name) {
        auto* e = findChild<QLineEdit*>(QLatin1String(name));
        return e ? e->text() : QString();
    };
    auto* bavg = findChild<QRadioButton*>(QStringLiteral("RBTEventBubbleAvg"));
    std::vector<monitor::EventSearch::Hit> hits;
    const bool ok = monitor::EventSearch::SearchFiles(
        monitor::Recording::FilesOf(file),
        bavg && bavg->isChecked() ? monitor::EventSearch::Criterion::BubbleAvg
                                  : monitor::EventSearch::Criterion::QVROut,
        monitor::EventSearch::CountFrom(text("ETEventCt")),
        monitor::EventSearch::ThresholdFrom(text("ETEventThr")), hits);
    if (!ok) PanelText(1, RecordingTextOf(int(RecordingText::ReplayCantRead)).arg(file));
    ShowEventGrid(monitor::EventSearch::Grid(hits));
}

} // namespace vmx::ui
