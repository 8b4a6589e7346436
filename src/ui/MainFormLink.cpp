// The Interface menu and the link commands of the window; the link itself lives in link/.
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"
#include "ui/SimulatorPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QRadioButton>

namespace vmx::ui {

void TMainForm::CreateLink() {
    link::LinkOptions o;
    if (env_.linkOptions) {
        o = *env_.linkOptions;
    } else {
        // A device path on the command line is opened as a serial port.
        if (options_.port.contains(QLatin1Char('/'))) o.extraPorts << options_.port;
        o.simulate = options_.simulate;
    }
    link_ = std::make_unique<link::Link>(*session_, o);
    if (!link_->profileError().isEmpty()) PanelText(1, link_->profileError());
    link_->onMenuChanged = [this] {
        RebuildLinkMenu();
        if (simPanel_) simPanel_->Refresh();
    };
    link_->onRtsChanged = [this](const QString& caption, bool checked) {
        QAction* rts = act("ALSwitchRTS");
        rts->setChecked(checked);
        rts->setText(caption);
    };
    link_->onSerialIfChanged = [this](const QString& radio) {
        if (auto* rb = findChild<QRadioButton*>(radio)) rb->setChecked(true);
    };
    link_->onMonitoringStop = [this] { acqStopped_ = true; };
    link_->onStartStopEnabled = [this](bool start, bool stop) {
        act("ALStart")->setEnabled(start);
        act("ALStop")->setEnabled(stop);
    };
    link::FrameProtocol& fp = link_->protocol();
    connect(MIWithACK, &QAction::toggled, this, [this](bool on) { link_->protocol().SetWithAck(on); });
    connect(MIWithAnswer, &QAction::toggled, this, [this](bool on) { link_->protocol().SetWithAnswer(on); });
    connect(MIWithFrameCRC, &QAction::toggled, this, [this](bool on) { link_->protocol().SetWithFrameCrc(on); });
    fp.SetWithAck(MIWithACK->isChecked());
    fp.SetWithAnswer(MIWithAnswer->isChecked());
    fp.SetWithFrameCrc(MIWithFrameCRC->isChecked());
}

void TMainForm::CreateSimulatorPanel() {
    if (link_->SimCount() == 0) return;
    auto bench = [this]() -> sim::Bench* {
        if (sim::Bench* open = link_->OpenSimBench()) return open;
        return link_->SimCount() > 0 ? link_->SimBench(0) : nullptr;
    };
    simPanel_ = new TSimulatorPanel(bench, *clock_, this);
    addDockWidget(Qt::RightDockWidgetArea, simPanel_);
}

void TMainForm::RebuildLinkMenu() {
    for (QAction* a : MIInterfaceSelect->actions()) {
        MIInterfaceSelect->removeAction(a);
        delete a;
    }
    for (const link::LinkMenuEntry& e : link_->MenuEntries()) {
        auto* a = new QAction(e.caption, MIInterfaceSelect);
        a->setObjectName(QStringLiteral("MILink_") + e.caption);
        a->setCheckable(true);
        a->setChecked(e.checked);
        SetTag(a, e.tag);
        linkGroup_->addAction(a);
        MIInterfaceSelect->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { NewComX(a); });
    }
    portName_ = link_->PortName();
}

void TMainForm::Reset_COM_USB() {
    enumerating_ = true;
    link_->Reset_COM_USB();
    RebuildLinkMenu();
    // The command line may name a link other than the preferred one.
    if (!options_.port.isEmpty() && !env_.linkOptions && link_->PortName() != options_.port &&
        link_->SelectPort(options_.port))
        RebuildLinkMenu();
    enumerating_ = false;
}

void TMainForm::NewComX(QAction* item) {
    if (enumerating_ || link_->Enumerating() || !item) return;
    link_->NewComX(Tag(item));
    RebuildLinkMenu();
}

void TMainForm::ComXChanged() {
    link_->ComXChanged();
    portName_ = link_->PortName();
}

void TMainForm::CloseLink() {
    if (link_) link_->CloseAll();
}

void TMainForm::ALResetUSBExecute() {
    const bool start = link_->ALResetUSBExecute();
    RebuildLinkMenu();
    act("ALStart")->setEnabled(start);
    act("ALStop")->setEnabled(false);
}

void TMainForm::ForceRTS(int state) {
    link_->ForceRTS(state);
}

void TMainForm::ALSwitchRTSExecute() {
    link_->ALSwitchRTSExecute(act("ALSwitchRTS")->isChecked());
}

bool TMainForm::SwitchSerialIF(int type) {
    return link_->SwitchSerialIF(type);
}

void TMainForm::RBTK_IFClick(QObject* sender) {
    link_->RBTK_IFClick(Tag(sender));
}

} // namespace vmx::ui
