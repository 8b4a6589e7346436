// The test-module page ("Prüfmittel"): communication, the QVR02.10 and QVRxx controls, the two
// LED panels of the VO40, C2 programming of the SiLab controller and PIC programming. The
// state the page shows (checks, captions, fonts, LEDs, PIC edits) lives in the core; the page
// follows it in ModuleChanged. Texts are German only, as on the rest of the test pages.
#include "ui/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace vmx::ui {

namespace {

using testmodule::Font;

QColor FontColour(Font f)
{
    switch (f) {
    case Font::Red:
        return Qt::red;
    case Font::Green:
        return QColor(0, 128, 0);
    case Font::Black:
        break;
    }
    return Qt::black;
}

QToolButton* ModuleButton(QWidget* parent, const char* name, QAction* action)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setMinimumWidth(110);
    b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return b;
}

QGroupBox* ModuleGroup(QWidget* parent, const char* name, const QString& title)
{
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

// An LED panel of the VO40: a coloured square that toggles on a click.
class LedPanel final : public QLabel {
public:
    LedPanel(QWidget* parent, const char* name, std::function<void()> click)
        : QLabel(parent), click_(std::move(click))
    {
        setObjectName(QString::fromLatin1(name));
        setFixedSize(40, 24);
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setAutoFillBackground(true);
        setCursor(Qt::PointingHandCursor);
    }
    void Show(bool on, const QColor& colour)
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, on ? colour : palette().color(QPalette::Button));
        setPalette(p);
        setProperty("lit", on);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && click_) click_();
    }

private:
    std::function<void()> click_;
};

} // namespace

void TMainForm::ModuleRun(const std::function<bool()>& op)
{
    const TransferLock lock(*this);
    if (!lock) return;
    SetBusy(true);
    op();
    SetBusy(false);
    ModuleChanged();
}

void TMainForm::CreateModuleActions()
{
    auto add = [this](const char* name, const QString& text, std::function<bool()> op,
                      bool checkable = false) {
        QAction* a = NewAction(name, nullptr);
        a->setText(text);
        a->setCheckable(checkable);
        connect(a, &QAction::triggered, this, [this, op] { ModuleRun(op); });
        return a;
    };
    auto tm = [this] { return &station_->testModule(); };
    auto c2 = [this] { return &station_->c2(); };
    auto pic = [this] { return &station_->pic(); };
    add("ALTK33GetIdent", QStringLiteral("TK33 Ident"), [tm] { return tm()->TK33_GetIdent(); });
    add("ALTKPing", QStringLiteral("Ping"), [tm] { return tm()->Ping(); });
    add(
        "ALSwitchODDT", QStringLiteral("OD_DT"), [tm] { return tm()->ToggleODDT(); }, true);
    add(
        "ALQVR02Meas", QStringLiteral("START"), [tm] { return tm()->ToggleQVR02(); }, true);
    add(
        "ALSwitchPowerQVR", QStringLiteral("Power"), [tm] { return tm()->TogglePower(); }, true);
    add(
        "ALQVR06Meas", QStringLiteral("START"), [tm] { return tm()->ToggleQVR06(); }, true);
    add("ALSiLabInit", QStringLiteral("Init"), [c2] { return c2()->Init(); });
    add("ALSilabResetTarget", QStringLiteral("Reset Target"), [c2] { return c2()->ResetTarget(); });
    add("ALSiLabDeviceErase", QStringLiteral("Alles löschen"), [c2] { return c2()->EraseAll(); });
    add("ALSiLabPageErase", QStringLiteral("Seite löschen"), [c2] { return c2()->PageEraseButton(); });
    add("ALSiLabWriteBlock", QStringLiteral("Schreiben"), [c2] { return c2()->WriteButton(); });
    add("ALSiLabReadBlock", QStringLiteral("Lesen"), [c2, this] {
        const bool ok = c2()->ReadButton();
        UpdateBootPage(); // the code image changed
        return ok;
    });
    add("ALSiLabVerify", QStringLiteral("Vergleichen"), [c2] { return c2()->VerifyButton(); });
    add("ALPICProgErase", QStringLiteral("Löschen"), [pic] { return pic()->EraseButton(); });
    add("ALPICProgWrite", QStringLiteral("Schreiben"), [pic, this] {
        // The edits as typed go to the core first.
        auto* config = findChild<QLineEdit*>(QStringLiteral("ETK_PICConfig"));
        auto* osc = findChild<QLineEdit*>(QStringLiteral("ETK_PICOsc"));
        if (config) pic()->configEdit = config->text();
        if (osc) pic()->oscEdit = osc->text();
        return pic()->WriteButton();
    });
    add("ALPICProgRead", QStringLiteral("Lesen"), [pic] { return pic()->ReadButton(); });
    add(
        "ALSwitchPICProg", QStringLiteral("VProg"), [tm] { return tm()->TogglePICProg(); }, true);
}

void TMainForm::FillModulePage(QWidget* tk, QGridLayout* tl)
{
    auto* serialIf = tk->findChild<QGroupBox*>(QStringLiteral("GBTK_SerialIF"));
    if (serialIf && serialIf->layout()) {
        serialIf->layout()->addWidget(ModuleButton(serialIf, "BTTK33GetIdent", act("ALTK33GetIdent")));
        serialIf->layout()->addWidget(ModuleButton(serialIf, "BTTKPing", act("ALTKPing")));
    }

    QGroupBox* qvr02 = ModuleGroup(tk, "GBTK_QVR02", QStringLiteral("QVR02.10 - Steuerung"));
    auto* q2 = new QVBoxLayout(qvr02);
    q2->addWidget(ModuleButton(qvr02, "BTSwitchODDT", act("ALSwitchODDT")));
    q2->addWidget(ModuleButton(qvr02, "BTQVR02Meas", act("ALQVR02Meas")));
    q2->addStretch();
    tl->addWidget(qvr02, 0, 1);

    QGroupBox* qvrxx = ModuleGroup(tk, "GBTK_QVRxx", QStringLiteral("QVRxx - Steuerung"));
    auto* qx = new QVBoxLayout(qvrxx);
    qx->addWidget(ModuleButton(qvrxx, "BTSwitchPowerQVR", act("ALSwitchPowerQVR")));
    qx->addWidget(ModuleButton(qvrxx, "BTQVR06Meas", act("ALQVR06Meas")));
    qx->addStretch();
    tl->addWidget(qvrxx, 0, 2);

    QGroupBox* leds = ModuleGroup(tk, "GBTK_LED", QStringLiteral("LED in VO40"));
    auto* ll = new QHBoxLayout(leds);
    auto click = [this](bool green) {
        return
            [this, green] { ModuleRun([this, green] { return station_->testModule().ToggleLed(green); }); };
    };
    ll->addWidget(new LedPanel(leds, "PTKLEDgreen", click(true)));
    ll->addWidget(new LedPanel(leds, "PTKLEDred", click(false)));
    ll->addStretch();
    tl->addWidget(leds, 0, 3);

    QGroupBox* silab = ModuleGroup(tk, "GBTK_SiLab", QStringLiteral("SiLab-Programmierung"));
    auto* sg = new QGridLayout(silab);
    const char* const silabButtons[][2] = {{"BTSiLabInit", "ALSiLabInit"},
                                           {"BTSilabResetTarget", "ALSilabResetTarget"},
                                           {"BTSiLabDeviceErase", "ALSiLabDeviceErase"},
                                           {"BTSiLabPageErase", "ALSiLabPageErase"},
                                           {"BTSiLabWriteBlock", "ALSiLabWriteBlock"},
                                           {"BTSiLabReadBlock", "ALSiLabReadBlock"},
                                           {"BTSiLabVerify", "ALSiLabVerify"}};
    int i = 0;
    for (const auto& b : silabButtons) {
        sg->addWidget(ModuleButton(silab, b[0], act(b[1])), i % 4, i / 4);
        ++i;
    }
    tl->addWidget(silab, 1, 0);

    QGroupBox* pic = ModuleGroup(tk, "GBTK_PIC", QStringLiteral("PIC-Programmierung"));
    auto* pg = new QGridLayout(pic);
    pg->addWidget(ModuleButton(pic, "BTPICProgErase", act("ALPICProgErase")), 0, 0);
    pg->addWidget(ModuleButton(pic, "BTPICProgWrite", act("ALPICProgWrite")), 1, 0);
    pg->addWidget(ModuleButton(pic, "BTPICProgRead", act("ALPICProgRead")), 2, 0);
    pg->addWidget(ModuleButton(pic, "BTSwitchPICProg", act("ALSwitchPICProg")), 3, 0);
    auto* edits = new QFormLayout;
    auto* config = new QLineEdit(pic);
    config->setObjectName(QStringLiteral("ETK_PICConfig"));
    auto* osc = new QLineEdit(pic);
    osc->setObjectName(QStringLiteral("ETK_PICOsc"));
    edits->addRow(QStringLiteral("CONFIG"), config);
    edits->addRow(QStringLiteral("OSCCAL"), osc);
    pg->addLayout(edits, 0, 1, 2, 1);
    auto* withOsc = new QCheckBox(QStringLiteral("OSCCAL"), pic);
    withOsc->setObjectName(QStringLiteral("CBxTKPICwriteOsc"));
    withOsc->setToolTip(QStringLiteral("löschen und schreiben inklusive dem Backup-Wert von OSCCAL"));
    connect(withOsc, &QCheckBox::toggled, this, [this](bool on) { station_->pic().writeOsc = on; });
    pg->addWidget(withOsc, 2, 1);
    tl->addWidget(pic, 1, 1, 1, 2);
}

void TMainForm::ModuleChanged()
{
    if (!station_) return; // the pages are built before the core
    const testmodule::TestModule& tm = station_->testModule();
    auto toggle = [this](const char* action, const char* button, const testmodule::Toggle& t, bool caption) {
        if (QAction* a = act(action)) {
            a->setChecked(t.checked);
            if (caption && !t.caption.isEmpty()) a->setText(t.caption);
        }
        if (auto* b = findChild<QToolButton*>(QString::fromLatin1(button))) {
            QPalette p = b->palette();
            p.setColor(QPalette::ButtonText, FontColour(t.font));
            b->setPalette(p);
            b->setProperty("fontColour", FontColour(t.font).name());
        }
    };
    toggle("ALSwitchPowerQVR", "BTSwitchPowerQVR", tm.power, false);
    toggle("ALSwitchODDT", "BTSwitchODDT", tm.odDt, false);
    toggle("ALQVR02Meas", "BTQVR02Meas", tm.qvr02, true);
    toggle("ALQVR06Meas", "BTQVR06Meas", tm.qvr06, true);
    toggle("ALSwitchPICProg", "BTSwitchPICProg", tm.picProg, false);
    if (auto* g = findChild<QLabel*>(QStringLiteral("PTKLEDgreen")))
        static_cast<LedPanel*>(g)->Show(tm.ledGreen, Qt::green);
    if (auto* r = findChild<QLabel*>(QStringLiteral("PTKLEDred")))
        static_cast<LedPanel*>(r)->Show(tm.ledRed, Qt::red);
    const testmodule::PicProgrammer& pic = station_->pic();
    if (auto* e = findChild<QLineEdit*>(QStringLiteral("ETK_PICConfig")); e && e->text() != pic.configEdit)
        e->setText(pic.configEdit);
    if (auto* e = findChild<QLineEdit*>(QStringLiteral("ETK_PICOsc")); e && e->text() != pic.oscEdit)
        e->setText(pic.oscEdit);
}

} // namespace vmx::ui
