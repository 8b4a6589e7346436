// The actions with their shortcuts and the main menu.
#include "ui/FormWidgets.h"
#include "ui/Glyphs.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace vmx::ui {

namespace {

QString Latin(const char* s)
{
    return QString::fromLatin1(s);
}

} // namespace

QAction* TMainForm::NewAction(const char* name, void (TMainForm::*slot)())
{
    auto* a = new QAction(this);
    a->setObjectName(Latin(name));
    addAction(a); // shortcuts work wherever the focus is in the window
    if (slot) connect(a, &QAction::triggered, this, slot);
    actions_.insert(a->objectName(), a);
    return a;
}

QAction* TMainForm::NewItem(QMenu* menu, const char* name)
{
    auto* a = new QAction(menu);
    a->setObjectName(Latin(name));
    menu->addAction(a);
    return a;
}

// A menu item that runs an action: it triggers the action and follows its enabled and visible
// state; the shortcut stays on the action alone and is only shown beside the caption.
QAction* TMainForm::MirrorItem(QMenu* menu, const char* name, QAction* action, bool followText)
{
    QAction* item = NewItem(menu, name);
    item->setProperty("boundAction", QVariant::fromValue<QObject*>(action));
    auto sync = [this, item, action, followText] {
        item->setEnabled(action->isEnabled());
        item->setVisible(action->isVisible());
        if (followText) UpdateMenuCaption(item, action->text());
    };
    connect(action, &QAction::changed, item, sync);
    connect(item, &QAction::triggered, action, [action] { action->trigger(); });
    sync();
    mirroredItems_ << item;
    return item;
}

void TMainForm::UpdateMenuCaption(QAction* item, const QString& caption)
{
    auto* bound = qobject_cast<QAction*>(item->property("boundAction").value<QObject*>());
    if (bound && !bound->shortcut().isEmpty())
        item->setText(caption + QLatin1Char('\t') + bound->shortcut().toString(QKeySequence::NativeText));
    else
        item->setText(caption);
}

void TMainForm::CreateActions()
{
    NewAction("ALStart", &TMainForm::ALStartExecute)->setShortcut(Qt::Key_F3);
    NewAction("ALPause", &TMainForm::ALPauseExecute)->setShortcut(Qt::Key_F9);
    NewAction("ALFollow", &TMainForm::ALFollowExecute);
    NewAction("ALStop", &TMainForm::ALStopExecute)->setShortcut(Qt::Key_Escape);
    NewAction("ALResetUSB", &TMainForm::ALResetUSBExecute)->setShortcut(Qt::Key_F4);
    NewAction("ALResetQVR", &TMainForm::ALQVRResetExecute)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_R));
    NewAction("ALSetConfig", &TMainForm::ALSetConfigExecute);
    NewAction("ALClear", &TMainForm::ALClearExecute)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Delete));
    NewAction("ALShowMonitor", &TMainForm::ALShowMonitorExecute)->setShortcut(Qt::Key_F8);
    NewAction("ALEnd", &TMainForm::ALEndExecute)->setShortcut(Qt::Key_F10);
    NewAction("ALSetLED", &TMainForm::ALSetLEDExecute);
    NewAction("ALSetMode", &TMainForm::ALSetModeExecute)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
    NewAction("ALReadParameter", &TMainForm::ALReadParameterExecute)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    NewAction("ALWriteParameter", &TMainForm::ALWriteParameterExecute)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    NewAction("ALSetStandard", &TMainForm::ALSetStandardExecute);
    NewAction("ALBubbleTest", &TMainForm::ALBubbleTestExecute)
        ->setShortcut(QKeySequence(Qt::ALT | Qt::Key_T));
    NewAction("ALVerifyParameter", &TMainForm::ALVerifyParameterExecute)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* power = NewAction("ALPowerOn", &TMainForm::ALPowerOnExecute);
    power->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Q));
    power->setCheckable(true);
    NewAction("ALGetIdent", &TMainForm::ALGetIdentExecute)->setShortcut(Qt::Key_F2);
    NewAction("ALAmplDec", &TMainForm::ALAmplDecExecute)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Y));
    NewAction("ALSetIdSN", &TMainForm::ALSetIdSNExecute);
    // Checked: channel 1, the caption it starts with.
    QAction* channel = NewAction("ALSwitchIF", &TMainForm::ALSwitchIFExecute);
    channel->setText(QStringLiteral("CH 1"));
    channel->setCheckable(true);
    channel->setChecked(true);

    // Production test and test module: German only.
    // A production step runs its exchanges inside the click: meanwhile no other transfer starts,
    // and a click on another step or transfer is refused with a status text.
    const auto locked = [this](const char* name, void (TMainForm::*slot)()) {
        QAction* a = NewAction(name, nullptr);
        connect(a, &QAction::triggered, this, [this, slot] {
            const TransferLock lock(*this);
            if (lock) (this->*slot)();
        });
        return a;
    };
    QAction* next = locked("ALNext", &TMainForm::ALNextExecute);
    next->setText(QStringLiteral("WEITER"));
    next->setShortcut(Qt::Key_F6);
    QAction* prior = locked("ALPrior", &TMainForm::ALPriorExecute);
    prior->setText(QStringLiteral("ZURÜCK"));
    prior->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6));
    locked("ALCancel", &TMainForm::ALCancelExecute)->setText(QStringLiteral("ABBRECHEN"));
    NewAction("ALTestSave", &TMainForm::ALTestSaveExecute)->setText(QStringLiteral("SPEICHERN"));
    QAction* rts = NewAction("ALSwitchRTS", nullptr);
    rts->setCheckable(true);
    rts->setText(QStringLiteral("PC <-> TK"));
    rts->setToolTip(QStringLiteral("schaltet serielle Schnittstelle zwischen Prüfling und Prüfmittel um"));
    connect(rts, &QAction::triggered, this, &TMainForm::ALSwitchRTSExecute);
    CreateModuleActions();
}

void TMainForm::CreateMenus()
{
    QMenuBar* mb = menuBar();
    mb->setObjectName(QStringLiteral("MainMenu1"));
    auto submenu = [](QWidget* parent, const char* name) {
        auto* m = new QMenu(parent);
        m->setObjectName(Latin(name));
        return m;
    };
    auto top = [&](const char* name) {
        QMenu* m = submenu(mb, name);
        mb->addMenu(m);
        return m;
    };
    auto sub = [&](QMenu* parent, const char* name) {
        QMenu* m = submenu(parent, name);
        parent->addMenu(m);
        return m;
    };

    QMenu* file = top("MIFile");
    connect(NewItem(file, "MIExExcel"), &QAction::triggered, this, &TMainForm::MIExportExcelClick);
    connect(NewItem(file, "MIExText"), &QAction::triggered, this, &TMainForm::MIExportTextClick);
    file->addSeparator();
    connect(NewItem(file, "MIImportExcel"), &QAction::triggered, this, &TMainForm::MIImportExcelClick);
    connect(NewItem(file, "MIImportText"), &QAction::triggered, this, &TMainForm::MIImportTextClick);
    file->addSeparator();
    CreateReplayMenu(file);
    file->addSeparator();
    MirrorItem(file, "MIClose", act("ALEnd"), false);

    QMenu* meas = top("MIMeas");
    MirrorItem(meas, "MIStart", act("ALStart"), false);
    MirrorItem(meas, "MIStop", act("ALStop"), false);
    MirrorItem(meas, "MIResetMeas", act("ALClear"), false);
    QMenu* ovf = sub(meas, "MIDataOverflow");
    auto* ovfGroup = new QActionGroup(ovf);
    MIDataOvfStop = NewItem(ovf, "MIDataOvfStop");
    MIDataOvfRollOver = NewItem(ovf, "MIDataOvfRollOver");
    MIDataOvfRestart = NewItem(ovf, "MIDataOvfRestart");
    int ovfTag = 0;
    for (QAction* a : {MIDataOvfStop, MIDataOvfRollOver, MIDataOvfRestart}) {
        a->setCheckable(true);
        ovfGroup->addAction(a);
        SetTag(a, ovfTag++);
        connect(a, &QAction::triggered, this, [this, a] { MIDataOverflowClick(a); });
    }
    MIDataOvfStop->setChecked(true);
    meas->addSeparator();
    MirrorItem(meas, "MIQVRReset", act("ALResetQVR"), false);
    QAction* service = NewItem(meas, "MIStartService");
    service->setShortcut(QKeySequence(Qt::ALT | Qt::Key_V));
    connect(service, &QAction::triggered, this, &TMainForm::BTStartServiceClick);
    MirrorItem(meas, "MISetConfig", act("ALSetConfig"), false);
    MirrorItem(meas, "MIGetIdent", act("ALGetIdent"), true);
    CreateRecordingMenu(meas);

    QMenu* view = top("MIView");
    QMenu* draw = sub(view, "MIDrawDiagram");
    auto* drawGroup = new QActionGroup(draw);
    for (int tag : {1, 2, 5, 10, 20, 50, 100, 200}) {
        QAction* a = NewItem(draw, QStringLiteral("MIDrawDia_%1").arg(tag).toLatin1().constData());
        a->setCheckable(true);
        SetTag(a, tag);
        drawGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { MIDrawDiaClick(a); });
        drawDiaItems_ << a;
        if (tag == 10) a->setChecked(true);
    }
    MIOptMessageWindow = NewItem(view, "MIOptMessageWindow");
    MIOptMessageWindow->setCheckable(true);
    connect(MIOptMessageWindow, &QAction::triggered, this, &TMainForm::MIOptMessageWindowClick);
    MirrorItem(view, "MIShowMonitor", act("ALShowMonitor"), false);
    MirrorItem(view, "MISetMode", act("ALSetMode"), true);

    QMenu* iface = top("MIInterface");
    MIInterfaceSelect = sub(iface, "MIInterfaceSelect");
    linkGroup_ = new QActionGroup(MIInterfaceSelect);
    MirrorItem(iface, "MIResetUSB", act("ALResetUSB"), false);
    MIWithACK = NewItem(iface, "MIWithACK");
    MIWithAnswer = NewItem(iface, "MIWithAnswer");
    MIWithFrameCRC = NewItem(iface, "MIWithFrameCRC");
    for (QAction* a : {MIWithACK, MIWithAnswer, MIWithFrameCRC})
        a->setCheckable(true);
    MIWithACK->setChecked(true);
    MIWithAnswer->setChecked(true);

    MIVersion = top("MIVersion");

    QMenu* extra = top("MIExtra");
    QMenu* language = sub(extra, "MILanguage");
    auto* langGroup = new QActionGroup(language);
    MILDt = NewItem(language, "MILDt");
    MILEn = NewItem(language, "MILEn");
    SetTag(MILDt, 0);
    SetTag(MILEn, 1);
    for (QAction* a : {MILDt, MILEn}) {
        a->setCheckable(true);
        langGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { MILClick(a); });
    }
    MILDt->setChecked(true);
    MIBeep = NewItem(extra, "MIBeep");
    MIBeep->setCheckable(true);
    connect(MIBeep, &QAction::triggered, this, &TMainForm::MIBeepClick);
    connect(NewItem(extra, "MIChangeMode"), &QAction::triggered, this, &TMainForm::MIChangeModeClick);
    QMenu* boot = sub(extra, "MIBootMenu");
    QAction* bootItem = NewItem(boot, "MIBoot");
    bootItem->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
    connect(bootItem, &QAction::triggered, this, &TMainForm::MIBootMode);
    QAction* download = NewItem(boot, "MIDownload");
    download->setShortcut(QKeySequence(Qt::ALT | Qt::Key_D));
    connect(download, &QAction::triggered, this, &TMainForm::JmpDownloadClick);
    QAction* test = NewItem(extra, "MITest");
    test->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
    connect(test, &QAction::triggered, this, &TMainForm::MITestClick);

    QMenu* help = top("MIHelp");
    QAction* doc = NewItem(help, "MIHelpDoc");
    doc->setShortcut(Qt::Key_F1);
    connect(doc, &QAction::triggered, this, &TMainForm::MIHelpDocClick);

    // The banner: a picture only, wider than the menu bar draws icons, so it sits in the
    // bar's end corner as a button showing the item.
    MIBanner = new QAction(this);
    MIBanner->setObjectName(QStringLiteral("MIBanner"));
    SetTag(MIBanner, 9);
    addAction(MIBanner);
    connect(MIBanner, &QAction::triggered, this, [this] { MILClick(MIBanner); });
    auto* banner = new QToolButton(mb);
    banner->setObjectName(QStringLiteral("MIBannerButton"));
    banner->setDefaultAction(MIBanner);
    banner->setAutoRaise(true);
    banner->setIconSize(QSize(56, 18));
    banner->setFocusPolicy(Qt::NoFocus);
    mb->setCornerWidget(banner, Qt::TopRightCorner);
}

void TMainForm::ShowBanner()
{
    // The banner shows the language a click switches to.
    const char* glyph = MILDt->isChecked() ? "BANNERE" : "BANNERD";
    MIBanner->setProperty("glyph", Latin(glyph));
    MIBanner->setIcon(QIcon(Glyph(Latin(glyph))));
    // Hidden and shown again so that the menu bar repaints the new picture.
    MIBanner->setVisible(false);
    MIBanner->setVisible(true);
    if (auto* b = menuBar()->cornerWidget(Qt::TopRightCorner)) {
        b->hide();
        b->show();
    }
}

} // namespace vmx::ui
