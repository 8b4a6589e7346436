// The Interface menu and the link commands of the window; the link itself lives in link/.
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"
#include "ui/SimulatorPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QRadioButton>

namespace vmx::ui {

void TMainForm::CreateLink()
{
    link::LinkOptions o;
    if (env_.linkOptions) {
        o = *env_.linkOptions;
    } else {
        // A device path on the command line is opened as a serial port.
        if (options_.port.contains(QLatin1Char('/'))) o.extraPorts << options_.port;
        o.simulate = options_.simulate;
    }
    station_ = std::make_unique<station::Station>(*session_, o);
    station_->SetView(this);
    ModuleChanged(); // the test-module page shows the core's start state
    link::Link& lnk = station_->link();
    if (!lnk.profileError().isEmpty()) PanelText(1, lnk.profileError());
    link::FrameProtocol& fp = lnk.protocol();
    connect(MIWithACK, &QAction::toggled, this,
            [this](bool on) { station_->link().protocol().SetWithAck(on); });
    connect(MIWithAnswer, &QAction::toggled, this,
            [this](bool on) { station_->link().protocol().SetWithAnswer(on); });
    connect(MIWithFrameCRC, &QAction::toggled, this,
            [this](bool on) { station_->link().protocol().SetWithFrameCrc(on); });
    fp.SetWithAck(MIWithACK->isChecked());
    fp.SetWithAnswer(MIWithAnswer->isChecked());
    fp.SetWithFrameCrc(MIWithFrameCRC->isChecked());
}

// The link menu, the routing action and the serial-interface radio show the link's state.
void TMainForm::LinkChanged(LinkField field)
{
    link::Link& lnk = station_->link();
    switch (field) {
    case LinkField::Menu:
        RebuildLinkMenu();
        if (simPanel_) simPanel_->Refresh();
        break;
    case LinkField::Routing: {
        QAction* rts = act("ALSwitchRTS");
        rts->setChecked(lnk.RtsChecked());
        rts->setText(lnk.RtsCaption());
        break;
    }
    case LinkField::SerialInterface: {
        // The radio buttons by the interface type they send (their tags).
        for (const char* n : {"RBTK_IF0", "RBTK_IF1", "RBTK_IF2"})
            if (auto* rb = findChild<QRadioButton*>(QLatin1String(n)))
                if (Tag(rb) == station_->testModule().serialIfType()) rb->setChecked(true);
        break;
    }
    }
}

void TMainForm::CreateSimulatorPanel()
{
    if (station_->link().SimCount() == 0) return;
    auto bench = [this]() -> sim::Bench* {
        if (sim::Bench* open = station_->link().OpenSimBench()) return open;
        return station_->link().SimCount() > 0 ? station_->link().SimBench(0) : nullptr;
    };
    simPanel_ = new TSimulatorPanel(bench, *clock_, this);
    simPanel_->onOperatorFollows = [this](bool follows) { station_->simulatedOperator = follows; };
    addDockWidget(Qt::RightDockWidgetArea, simPanel_);
}

void TMainForm::RebuildLinkMenu()
{
    for (QAction* a : MIInterfaceSelect->actions()) {
        MIInterfaceSelect->removeAction(a);
        delete a;
    }
    for (const link::LinkMenuEntry& e : station_->link().MenuEntries()) {
        // A converter is named with what tells two of them apart: its description and serial.
        const QString text =
            e.usb() ? QStringLiteral("%1: %2 / SN: %3").arg(e.caption, e.description, e.serial) : e.caption;
        auto* a = new QAction(text, MIInterfaceSelect);
        a->setObjectName(QStringLiteral("MILink_") + e.caption);
        a->setCheckable(true);
        a->setChecked(e.checked);
        SetTag(a, e.tag);
        linkGroup_->addAction(a);
        MIInterfaceSelect->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { NewComX(a); });
    }
    portName_ = station_->link().PortName();
}

void TMainForm::Reset_COM_USB()
{
    enumerating_ = true;
    station_->link().Reset_COM_USB();
    RebuildLinkMenu();
    // The command line may name a link other than the preferred one.
    if (!options_.port.isEmpty() && !env_.linkOptions && station_->link().PortName() != options_.port &&
        station_->link().SelectPort(options_.port))
        RebuildLinkMenu();
    enumerating_ = false;
}

void TMainForm::NewComX(QAction* item)
{
    if (enumerating_ || station_->link().Enumerating() || !item) return;
    station_->link().NewComX(Tag(item));
    RebuildLinkMenu();
}

void TMainForm::ComXChanged()
{
    station_->link().ComXChanged();
    portName_ = station_->link().PortName();
}

void TMainForm::CloseLink()
{
    if (station_) station_->link().CloseAll();
}

void TMainForm::ALResetUSBExecute()
{
    const bool start = station_->link().ResetLinks();
    RebuildLinkMenu();
    act("ALStart")->setEnabled(start);
    act("ALStop")->setEnabled(false);
}

void TMainForm::ForceRTS(int state)
{
    station_->link().ForceRTS(state);
}

void TMainForm::ALSwitchRTSExecute()
{
    station_->link().RouteToSensor(act("ALSwitchRTS")->isChecked());
}

bool TMainForm::SwitchSerialIF(int type)
{
    return station_->testModule().SwitchSerialIF(type);
}

void TMainForm::RBTK_IFClick(QObject* sender)
{
    station_->testModule().SwitchSerialIF(Tag(sender));
}

} // namespace vmx::ui
