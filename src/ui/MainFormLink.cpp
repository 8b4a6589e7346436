// The Interface menu and the link commands of the window.
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QRadioButton>

namespace vmx::ui {

void TMainForm::Reset_COM_USB() {
    enumerating_ = true;
    portName_ = QStringLiteral("nix");
    for (QAction* a : MIInterfaceSelect->actions()) {
        MIInterfaceSelect->removeAction(a);
        delete a;
    }
    const std::vector<LinkEntry> links =
        env_.enumerateLinks ? env_.enumerateLinks() : std::vector<LinkEntry>{};
    for (const LinkEntry& l : links) {
        auto* a = new QAction(l.Caption, MIInterfaceSelect);
        a->setObjectName(QStringLiteral("MILink_") + l.Caption);
        a->setCheckable(true);
        SetTag(a, l.Tag);
        a->setProperty("panelText", l.PanelText);
        linkGroup_->addAction(a);
        MIInterfaceSelect->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { NewComX(a); });
    }
    // The first entry is the preferred link: the first converter, else the lowest port.
    if (!links.empty()) {
        MIInterfaceSelect->actions().first()->setChecked(true);
        portName_ = links.front().Caption;
        PanelText(0, links.front().PanelText.isEmpty() ? portName_ : links.front().PanelText);
        ComXChanged();
    } else {
        Ask(app::AskIcon::Warning, app::AskButtons::Ok, Msg(251));
    }
    enumerating_ = false;
}

void TMainForm::NewComX(QAction* item) {
    if (enumerating_ || !item) return;
    item->setChecked(true);
    portName_ = item->text();
    ComXChanged();
}

void TMainForm::ComXChanged() {
    CloseLink();
    // Opening the named link is the link layer's; until then the name is all there is.
    PanelText(0, portName_);
}

void TMainForm::CloseLink() {}

void TMainForm::ALResetUSBExecute() {
    CloseLink();
    Reset_COM_USB();
    act("ALStart")->setEnabled(portName_ != QLatin1String("nix"));
    act("ALStop")->setEnabled(false);
}

void TMainForm::ForceRTS(int state) {
    // The line itself is switched on a converter only; caption and check follow always.
    QAction* rts = act("ALSwitchRTS");
    rts->setChecked(state == 1);
    rts->setText(state == 1 ? QStringLiteral("PC <-> QVR") : QStringLiteral("PC <-> TK"));
    Wait(5);
}

void TMainForm::ALSwitchRTSExecute() {
    ForceRTS(act("ALSwitchRTS")->isChecked() ? 1 : 0);
}

bool TMainForm::SwitchSerialIF(int type) {
    // The test-module command needs the link; the radio button follows the type regardless.
    const bool ok = false;
    const char* name = type == 0 ? "RBTK_IF1" : type == 1 ? "RBTK_IF0" : type == 2 ? "RBTK_IF2" : nullptr;
    if (name)
        if (auto* rb = findChild<QRadioButton*>(QLatin1String(name))) rb->setChecked(true);
    return ok;
}

void TMainForm::RBTK_IFClick(QObject* sender) {
    SwitchSerialIF(Tag(sender));
}

} // namespace vmx::ui
