// The pages of the main window and the status bar. Placement is free; every control carries
// its documented name, so captions, capability rules and tests find it by that name.
#include "ui/FormWidgets.h"
#include "ui/Glyphs.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vmx::ui {

namespace {

QString Latin(const char* s)
{
    return QString::fromLatin1(s);
}

template <class W> W* Make(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(Latin(name));
    return w;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& title = QString())
{
    auto* g = Make<QGroupBox>(parent, name);
    g->setTitle(title);
    return g;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* l = Make<QLabel>(parent, name);
    l->setText(text);
    return l;
}

// A button that shows and runs an action (text, hint, enabled and check state follow it).
QToolButton* ActionButton(QWidget* parent, const char* name, QAction* action, const char* glyph = nullptr)
{
    auto* b = Make<QToolButton>(parent, name);
    b->setDefaultAction(action);
    b->setToolButtonStyle(glyph ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonTextOnly);
    if (glyph) b->setProperty("glyph", Latin(glyph));
    b->setMinimumWidth(110);
    b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return b;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text = QString(),
                    const char* glyph = nullptr)
{
    auto* b = Make<QPushButton>(parent, name);
    b->setText(text);
    if (glyph) b->setProperty("glyph", Latin(glyph));
    return b;
}

// A label that shows a key as the menus show it ("[ Alt+Entf ]" in German, "[ Alt+Del ]" in
// English): the key is kept in Qt's portable form and written out in the toolkit's language
// with every caption update. Written the German way here ("Strg+R", "F6 / ENTER").
// The LED panel of the "auto" bit shows "AUTO" in a readable size.
constexpr int kAutoPanelWidth = 38;

QLabel* KeyLabel(QWidget* parent, const char* name, const char* key)
{
    QString portable = Latin(key);
    portable.replace(QStringLiteral("Strg"), QStringLiteral("Ctrl"));
    portable.replace(QStringLiteral("Entf"), QStringLiteral("Del"));
    portable.replace(QStringLiteral("ESC"), QStringLiteral("Esc"));
    portable.replace(QStringLiteral("ENTER"), QStringLiteral("Enter"));
    QLabel* l = Label(parent, name, QString());
    l->setProperty("keyLabel", portable);
    l->setText(KeyLabelText(portable));
    l->setStyleSheet(QStringLiteral("color: #404040;"));
    return l;
}

QTableWidget* Grid(QWidget* parent, const char* name, int rows, int cols)
{
    auto* g = Make<QTableWidget>(parent, name);
    g->setRowCount(rows);
    g->setColumnCount(cols);
    g->horizontalHeader()->hide();
    g->verticalHeader()->hide();
    g->horizontalHeader()->setMinimumSectionSize(10);
    g->verticalHeader()->setMinimumSectionSize(10);
    g->horizontalHeader()->setDefaultSectionSize(40);
    g->verticalHeader()->setDefaultSectionSize(17);
    return g;
}

void AddRow(QFormLayout* f, LabeledEdit* e)
{
    f->addRow(e->EditLabel(), e);
}

QFormLayout* Form(QWidget* w)
{
    auto* f = new QFormLayout(w);
    f->setLabelAlignment(Qt::AlignLeft);
    f->setVerticalSpacing(3);
    return f;
}

} // namespace

QLineEdit* TMainForm::ParamEdit(QWidget* parent, const char* name)
{
    auto* e = Make<QLineEdit>(parent, name);
    e->setProperty("paramEdit", true);
    e->setMaximumWidth(90);
    return e;
}

LabeledEdit* TMainForm::ParamLabeledEdit(QWidget* parent, const char* name)
{
    auto* e = Make<LabeledEdit>(parent, name);
    e->setProperty("paramEdit", true);
    e->setMaximumWidth(90);
    return e;
}

QComboBox* TMainForm::ParamCombo(QWidget* parent, const char* name)
{
    auto* c = Make<QComboBox>(parent, name);
    // As wide as its widest entry in the current language; the entries change with it.
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    c->setProperty("fitToItems", true);
    // Lists commit on change by the user; refilling them does not count.
    connect(c, &QComboBox::activated, this, [this, c] { EditChange(c); });
    return c;
}

QCheckBox* TMainForm::ParamCheck(QWidget* parent, const char* name, const QString& text)
{
    auto* c = Make<QCheckBox>(parent, name);
    c->setText(text);
    connect(c, &QCheckBox::clicked, this, [this, c] { EditChange(c); });
    return c;
}

void TMainForm::CreatePages()
{
    PC1 = Make<QTabWidget>(this, "PC1");
    setCentralWidget(PC1);
    PC1->addTab(CreateMonitorPage(), QString());
    PC1->addTab(CreateTablePage(), QString());
    PC1->addTab(CreateIdentPage(), QString());
    PC1->addTab(CreateSettingsPage(), QString());
    PC1->addTab(CreateBootPage(), QString());
    PC1->addTab(CreateTestPage(), QString());
    PC1->addTab(CreateHistoryPage(), QString());
    PC1->addTab(CreateStatisticsPage(), QString());
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(200);
}

QWidget* TMainForm::CreateMonitorPage()
{
    TSMonitor = Make<QWidget>(nullptr, "TSMonitor");
    auto* lay = new QHBoxLayout(TSMonitor);

    auto* left = new QVBoxLayout;
    // Closer rows, so the chart's own controls fit under it in the window's height.
    left->setSpacing(3);
    PB = Make<TPaintBox>(TSMonitor, "PB");
    PB->setFixedSize(kDiagramWidth, kDiagramHeight);
    left->addWidget(PB);
    // Scale and threshold sit on the diagram, beside its threshold line.
    QLineEdit* scale = ParamEdit(PB, "EMaxBubble");
    scale->setGeometry(640, 354, 50, 19);
    QLineEdit* thr = ParamEdit(PB, "ENThr");
    thr->setGeometry(640, 335, 50, 19);
    ScrollBar = Make<QScrollBar>(TSMonitor, "ScrollBar");
    ScrollBar->setOrientation(Qt::Horizontal);
    ScrollBar->setFixedWidth(kDiagramWidth);
    ScrollBar->setRange(0, 32000);
    left->addWidget(ScrollBar);
    // The chart's own controls, under it: pause and follow, the time axis.
    auto* nav = new QHBoxLayout;
    nav->addWidget(ActionButton(TSMonitor, "BTPause", act("ALPause")));
    nav->addWidget(KeyLabel(TSMonitor, "LKeyPause", "F9"));
    nav->addWidget(ActionButton(TSMonitor, "BTFollow", act("ALFollow")));
    nav->addWidget(Make<QCheckBox>(TSMonitor, "ChBTimeAxis"));
    nav->addStretch();
    left->addLayout(nav);
    auto* run = new QHBoxLayout;
    run->addWidget(ActionButton(TSMonitor, "BTStart", act("ALStart"), "START"));
    run->addWidget(KeyLabel(TSMonitor, "LKeyStart", "F3"));
    run->addWidget(ActionButton(TSMonitor, "BTStop", act("ALStop"), "STOP"));
    run->addWidget(KeyLabel(TSMonitor, "LKeyStop", "ESC"));
    run->addWidget(ActionButton(TSMonitor, "BTClear", act("ALClear"), "CLEAR"));
    run->addWidget(KeyLabel(TSMonitor, "LKeyClear", "Alt+Entf"));
    run->addStretch();
    run->addWidget(ActionButton(TSMonitor, "BTMonTable", act("ALShowMonitor"), "MONITOR"));
    run->addWidget(KeyLabel(TSMonitor, "LKeyMonTable", "F8"));
    left->addLayout(run);
    left->addStretch();
    lay->addLayout(left);

    auto* right = new QVBoxLayout;
    QGroupBox* led = Group(TSMonitor, "GBLED");
    auto* ledLay = new QGridLayout(led);
    QCheckBox* autoBox = Make<QCheckBox>(led, "CBLEDauto");
    ledLay->addWidget(autoBox, 0, 0);
    ledLay->addWidget(Make<QCheckBox>(led, "CBLEDgreen"), 0, 1);
    ledLay->addWidget(Make<QCheckBox>(led, "CBLEDred"), 1, 0);
    ledLay->addWidget(Make<QCheckBox>(led, "CBLEDblue"), 1, 1);
    for (const char* n : {"CBLEDauto", "CBLEDgreen", "CBLEDred", "CBLEDblue"}) {
        auto* box = led->findChild<QCheckBox*>(Latin(n));
        // The boxes are the station's LED bits, which the test steps' configuration sends too.
        connect(box, &QCheckBox::toggled, this, [this] { station_->settings.led = LedFromBoxes(); });
        connect(box, &QCheckBox::clicked, act("ALSetLED"), &QAction::trigger);
    }
    ledLay->addWidget(ActionButton(led, "BTSetLED", act("ALSetLED")), 2, 0, 1, 2);
    right->addWidget(led);

    QGroupBox* serial = Group(TSMonitor, "GBSerialMode");
    auto* serLay = new QGridLayout(serial);
    serLay->addWidget(ParamCombo(serial, "CBMSerialMode"), 0, 0);
    serLay->addWidget(ActionButton(serial, "BTSetConfig", act("ALSetConfig")), 0, 1);
    serLay->addWidget(Label(serial, "LMSerialModeIn"), 1, 0, 1, 2);
    serLay->addWidget(Label(serial, "LMSerialModeOut"), 2, 0, 1, 2);
    right->addWidget(serial);

    QGroupBox* cmds = Group(TSMonitor, "GBMCommands");
    auto* cmdLay = new QGridLayout(cmds);
    cmdLay->addWidget(ActionButton(cmds, "BTResetQVR", act("ALResetQVR"), "RESTART"), 0, 0);
    cmdLay->addWidget(KeyLabel(cmds, "LKeyResetQVR", "Alt+R"), 0, 1);
    cmdLay->addWidget(ActionButton(cmds, "BTBubbleTest", act("ALBubbleTest"), "RECORD_BIG"), 1, 0);
    cmdLay->addWidget(KeyLabel(cmds, "LKeyBubbleTest", "Alt+T"), 1, 1);
    LabeledEdit* btt = ParamLabeledEdit(cmds, "EBubbleTestTime");
    cmdLay->addWidget(btt->EditLabel(), 2, 0, 1, 2);
    cmdLay->addWidget(btt, 3, 0);
    cmdLay->addWidget(ActionButton(cmds, "BTAmplDec", act("ALAmplDec")), 4, 0);
    cmdLay->addWidget(KeyLabel(cmds, "LAmplDec", "Alt+Y"), 4, 1);
    cmdLay->addWidget(ParamEdit(cmds, "EAmplDecTemp"), 5, 0);
    cmdLay->addWidget(ActionButton(cmds, "BTPowerOn", act("ALPowerOn"), "POWER_ON"), 6, 0);
    cmdLay->addWidget(KeyLabel(cmds, "LKeyPowerOn", "Alt+Q"), 6, 1);
    QCheckBox* autoMon = Make<QCheckBox>(cmds, "ChBPowerOnAutoMon");
    autoMon->setText(QStringLiteral("Power automatisch "));
    connect(autoMon, &QCheckBox::clicked, this, &TMainForm::ChBPowerOnAutoSetMouseUp);
    cmdLay->addWidget(autoMon, 7, 0, 1, 2);
    cmdLay->addWidget(ActionButton(cmds, "BTTKSwitchIF", act("ALSwitchIF")), 8, 0);
    right->addWidget(cmds);
    right->addStretch();
    auto* end = new QHBoxLayout;
    end->addWidget(ActionButton(TSMonitor, "BTEnd", act("ALEnd"), "END"));
    end->addWidget(KeyLabel(TSMonitor, "LKeyEnd", "F10"));
    right->addLayout(end);
    lay->addLayout(right);
    return TSMonitor;
}

QWidget* TMainForm::CreateTablePage()
{
    TSTable = Make<QWidget>(nullptr, "TSTable");
    auto* lay = new QGridLayout(TSTable);
    // The measurement table gets its model from the measurement store.
    auto* grid = Make<QTableView>(TSTable, "StGRead");
    lay->addWidget(grid, 0, 0, 3, 1);
    // The help text lies over the table while it is shown.
    MemoHelp = Make<QPlainTextEdit>(TSTable, "MemoHelp");
    MemoHelp->setReadOnly(true);
    MemoHelp->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    MemoHelp->setFont(mono);
    MemoHelp->setPlainText(QStringList(15, QString()).join(QLatin1Char('\n')));
    MemoHelp->hide();
    lay->addWidget(MemoHelp, 0, 0, 3, 1);
    QPushButton* mon = Button(TSTable, "BTShowMonitor", QString(), "MONITOR");
    connect(mon, &QPushButton::clicked, act("ALShowMonitor"), &QAction::trigger);
    lay->addWidget(mon, 0, 1);
    QPushButton* help = Button(TSTable, "BTStGridHelp", QString(), "HELP");
    connect(help, &QPushButton::clicked, this, &TMainForm::BTStGridHelpClick);
    lay->addWidget(help, 1, 1);
    lay->setRowStretch(2, 1);
    lay->setColumnStretch(0, 1);
    return TSTable;
}

QWidget* TMainForm::CreateIdentPage()
{
    TSIdent = Make<QWidget>(nullptr, "TSIdent");
    auto* lay = new QGridLayout(TSIdent);

    QGroupBox* ident = Group(TSIdent, "GBIdent");
    auto* il = new QGridLayout(ident);
    QTableWidget* idGrid = Grid(ident, "StGIdent", 5, 2);
    idGrid->setColumnWidth(0, 110);
    idGrid->setColumnWidth(1, 200);
    idGrid->setFixedHeight(5 * 17 + 4);
    il->addWidget(idGrid, 0, 0, 1, 4);
    il->addWidget(ActionButton(ident, "BTGetIdent", act("ALGetIdent")), 1, 0);
    il->addWidget(KeyLabel(ident, "LKeyGetIdent", "F2"), 1, 1);
    il->addWidget(ActionButton(ident, "BTIdQVRReset", act("ALResetQVR"), "RESTART"), 1, 2);
    QCheckBox* autoId = Make<QCheckBox>(ident, "ChBPowerOnAutoId");
    connect(autoId, &QCheckBox::clicked, this, &TMainForm::ChBPowerOnAutoSetMouseUp);
    il->addWidget(autoId, 2, 0, 1, 4);
    il->addWidget(Label(ident, "LIdModel"), 3, 0);
    il->addWidget(ParamCombo(ident, "CBIdModel"), 3, 1, 1, 3);
    LabeledEdit* year = ParamLabeledEdit(ident, "EIdYear");
    il->addWidget(year->EditLabel(), 4, 0);
    il->addWidget(year, 4, 1);
    LabeledEdit* sn = ParamLabeledEdit(ident, "EIdSN");
    il->addWidget(sn->EditLabel(), 5, 0);
    il->addWidget(sn, 5, 1);
    il->addWidget(Label(ident, "LIdSN"), 5, 2, 1, 2);
    il->addWidget(ActionButton(ident, "BTIdSNSet", act("ALSetIdSN")), 6, 0);
    QPushButton* clearSN = Button(ident, "BTIdClearSN");
    connect(clearSN, &QPushButton::clicked, this, &TMainForm::BTIdClearSNClick);
    il->addWidget(clearSN, 6, 1);
    lay->addWidget(ident, 0, 0, 2, 1);

    QGroupBox* service = Group(TSIdent, "GBIdService");
    auto* sl = new QVBoxLayout(service);
    QPushButton* startService = Button(service, "BTStartService");
    connect(startService, &QPushButton::clicked, this, &TMainForm::BTStartServiceClick);
    sl->addWidget(startService);
    lay->addWidget(service, 0, 1);

    QGroupBox* cal = Group(TSIdent, "GBIdCal");
    auto* cl = new QGridLayout(cal);
    StGCal = Grid(cal, "StGCal", 9, 3);
    StGCal->setColumnWidth(0, 60);
    StGCal->setMinimumHeight(9 * 17 + 4);
    connect(StGCal, &QTableWidget::currentCellChanged, this, &TMainForm::StGCalSelectCell);
    connect(StGCal, &QTableWidget::itemChanged, this, &TMainForm::StGCalSelectCell);
    cl->addWidget(StGCal, 0, 0, 1, 4);
    QPushButton* getCal = Button(cal, "BTIdGetCal");
    connect(getCal, &QPushButton::clicked, this, &TMainForm::BTIdGetCalClick);
    cl->addWidget(getCal, 1, 0);
    QPushButton* setCal = Button(cal, "BTIdSetCal");
    connect(setCal, &QPushButton::clicked, this, &TMainForm::BTIdSetCalClick);
    cl->addWidget(setCal, 1, 1);
    QPushButton* clearCal = Button(cal, "BTIdClearCal");
    connect(clearCal, &QPushButton::clicked, this, &TMainForm::BTIdClearCalClick);
    cl->addWidget(clearCal, 1, 2);
    auto* exim = Make<QCheckBox>(cal, "ChBIdExImCal");
    exim->setText(QStringLiteral("Export/ Import Parameterdatei"));
    cl->addWidget(exim, 2, 0, 1, 4);
    lay->addWidget(cal, 1, 1);

    QGroupBox* settings = Group(TSIdent, "GBIdSettings");
    auto* gl = new QHBoxLayout(settings);
    gl->addWidget(Label(settings, "LMMInterval"));
    CBMeasTime = Make<QComboBox>(settings, "CBMeasTime");
    gl->addWidget(CBMeasTime);
    gl->addStretch();
    lay->addWidget(settings, 2, 0, 1, 2);
    lay->setRowStretch(3, 1);
    lay->setColumnStretch(2, 1);
    return TSIdent;
}

QWidget* TMainForm::CreateSettingsPage()
{
    TSSET = Make<QWidget>(nullptr, "TSSET");
    auto* lay = new QHBoxLayout(TSSET);
    QGroupBox* settings = Group(TSSET, "GBSSettings");
    auto* sl = new QVBoxLayout(settings);
    PCSet = Make<QTabWidget>(settings, "PCSet");
    PCSet->addTab(CreateSettingsPage1(), QString());
    PCSet->addTab(CreateSettingsPage2(), QString());
    PCSet->addTab(CreateSettingsPage3(), QString());
    sl->addWidget(PCSet);
    lay->addWidget(settings, 1);

    QGroupBox* action = Group(TSSET, "GBSAction");
    auto* al = new QGridLayout(action);
    int r = 0;
    al->addWidget(ActionButton(action, "BTSRead", act("ALReadParameter"), "READPARAMETER"), r, 0);
    al->addWidget(KeyLabel(action, "LKeyRead", "Strg+R"), r++, 1);
    al->addWidget(ActionButton(action, "BTSWrite", act("ALWriteParameter"), "WRITEPARAMETER"), r, 0);
    al->addWidget(KeyLabel(action, "LKeyWrite", "Strg+W"), r++, 1);
    al->addWidget(ActionButton(action, "BTSVerify", act("ALVerifyParameter")), r, 0);
    al->addWidget(KeyLabel(action, "LKeyVerify", "Strg+E"), r++, 1);
    al->addWidget(ActionButton(action, "BTSStandard", act("ALSetStandard")), r++, 0);
    QPushButton* open = Button(action, "BTSOpenParameterFile", QString(), "OPENFILE");
    connect(open, &QPushButton::clicked, this, &TMainForm::BTSOpenParameterFileClick);
    al->addWidget(open, r++, 0);
    QPushButton* save = Button(action, "BTSSaveParameterFile", QString(), "SAVEFILE");
    connect(save, &QPushButton::clicked, this, &TMainForm::BTSSaveParameterFileClick);
    al->addWidget(save, r++, 0);
    al->addWidget(ActionButton(action, "BTSBubbleTest", act("ALBubbleTest"), "RECORD_BIG"), r++, 0);
    al->addWidget(ParamEdit(action, "EBubbleTestTime2"), r++, 0);
    al->addWidget(ActionButton(action, "BTPowerOn2", act("ALPowerOn"), "POWER_ON"), r++, 0);
    QCheckBox* autoSet = Make<QCheckBox>(action, "ChBPowerOnAutoSet");
    autoSet->setText(QStringLiteral("Power automatisch "));
    connect(autoSet, &QCheckBox::clicked, this, &TMainForm::ChBPowerOnAutoSetMouseUp);
    al->addWidget(autoSet, r++, 0, 1, 2);
    al->setRowStretch(r++, 1);
    al->addWidget(ActionButton(action, "BTSMonitor", act("ALShowMonitor"), "MONITOR"), r, 0);
    al->addWidget(KeyLabel(action, "LKeySMonitor", "F8"), r++, 1);
    // One height for the column of buttons, with or without a picture.
    for (QAbstractButton* b : action->findChildren<QAbstractButton*>())
        if (!qobject_cast<QCheckBox*>(b)) b->setMinimumHeight(32);
    lay->addWidget(action);
    return TSSET;
}

// Page 1 of the older generations.
QWidget* TMainForm::CreateSettingsPage1()
{
    TSSet1 = Make<QWidget>(nullptr, "TSSet1");
    auto* lay = new QGridLayout(TSSet1);

    QGroupBox* general = Group(TSSet1, "GBGeneral");
    QFormLayout* gf = Form(general);
    for (const char* n : {"EAmplMaxDnLiq", "EGateBegin", "EGateWidth"})
        AddRow(gf, ParamLabeledEdit(general, n));
    lay->addWidget(general, 0, 0);

    QGroupBox* control = Group(TSSet1, "GBControl");
    QFormLayout* cf = Form(control);
    for (const char* n : {"EAmplDecrement", "EAmplIncrement"})
        AddRow(cf, ParamLabeledEdit(control, n));
    lay->addWidget(control, 1, 0);

    QGroupBox* bubble = Group(TSSet1, "GBBubbleSens");
    QFormLayout* bf = Form(bubble);
    AddRow(bf, ParamLabeledEdit(bubble, "EAmplBubbleLimit"));
    bf->addRow(Label(bubble, "LBubbleAvg"), ParamCombo(bubble, "CBBubbleAvg"));
    bf->addRow(QString(), ParamCheck(bubble, "ChBBubbleAvgM", QStringLiteral("M")));
    lay->addWidget(bubble, 2, 0);

    QGroupBox* security = Group(TSSet1, "GBSecurity");
    QFormLayout* sf = Form(security);
    AddRow(sf, ParamLabeledEdit(security, "ECRC"));
    lay->addWidget(security, 3, 0);

    // Output levels (bit 4) of the three states and the start configuration.
    QGroupBox* config = Group(TSSet1, "GBConfig");
    auto* kl = new QGridLayout(config);
    kl->addWidget(Label(config, "LCfgStart"), 0, 0);
    kl->addWidget(ParamCombo(config, "CBStartCfg"), 0, 1, 1, 2);
    kl->addWidget(Label(config, "LCfgOutput"), 1, 0);
    kl->addWidget(Label(config, "LOutput"), 1, 1);
    const char* stateLabels[] = {"LCfgLiquid", "LCfgAir", "LCfgError"};
    for (int s = 0; s < 3; ++s) {
        kl->addWidget(Label(config, stateLabels[s]), 2 + s, 0);
        auto* p = Make<TPanel>(config, QStringLiteral("PCfgOut%1").arg(s + 1).toLatin1().constData());
        p->setFixedSize(17, 17);
        SetTag(p, 10 * (s + 1) + 4);
        connect(p, &TPanel::clicked, this, [this, p] { SetCfgLED_Out(p); });
        kl->addWidget(p, 2 + s, 1);
    }
    LabeledEdit* hold = ParamLabeledEdit(config, "EHoldTime");
    kl->addWidget(hold->EditLabel(), 5, 0);
    kl->addWidget(hold, 5, 1, 1, 2);
    lay->addWidget(config, 0, 1, 2, 1);

    // LED colours (bits 0-3) of the start configuration and the three states.
    QGroupBox* ledCfg = Group(TSSet1, "GBLEDCfg", QStringLiteral("LED"));
    auto* ll = new QGridLayout(ledCfg);
    ll->addWidget(Label(ledCfg, "LLED"), 0, 1, 1, 4);
    const char* rowLabels[] = {"LStartCfgLED", "LCfgLEDLiq", "LCfgLEDAir", "LCfgLEDErr"};
    for (int row = 0; row < 4; ++row) {
        ll->addWidget(Label(ledCfg, rowLabels[row]), row + 1, 0);
        // Only the start configuration has an "auto" bit (bit 3).
        for (int bit = 0; bit < (row == 0 ? 4 : 3); ++bit) {
            const int tag = 10 * row + bit;
            auto* p = Make<TPanel>(
                ledCfg, QStringLiteral("PCfgLED%1").arg(tag, 2, 10, QLatin1Char('0')).toLatin1().constData());
            p->setFixedSize(bit == 3 ? kAutoPanelWidth : 17, 17);
            SetTag(p, tag);
            connect(p, &TPanel::clicked, this, [this, p] { SetCfgLED_Out(p); });
            ll->addWidget(p, row + 1, bit + 1);
        }
    }
    lay->addWidget(ledCfg, 2, 1, 2, 1);
    lay->setRowStretch(4, 1);
    lay->setColumnStretch(2, 1);
    return TSSet1;
}

// Page 1 of the V1.40 generation: the second set of controls and the output table.
QWidget* TMainForm::CreateSettingsPage2()
{
    TSSet2 = Make<QWidget>(nullptr, "TSSet2");
    auto* lay = new QGridLayout(TSSet2);

    QGroupBox* general = Group(TSSet2, "GBGeneral2");
    QFormLayout* gf = Form(general);
    for (const char* n : {"EAmplMaxDnLiq2", "EAmplMaxUpLiq2", "EGateBegin2", "EGateWidth2"})
        AddRow(gf, ParamLabeledEdit(general, n));
    lay->addWidget(general, 0, 0);

    QGroupBox* control = Group(TSSet2, "GBControl2");
    QFormLayout* cf = Form(control);
    for (const char* n : {"EAmplDecrement2", "EAmplIncrement2"})
        AddRow(cf, ParamLabeledEdit(control, n));
    lay->addWidget(control, 1, 0);

    QGroupBox* misc = Group(TSSet2, "GBStart2");
    auto* ml = new QGridLayout(misc);
    ml->addWidget(Label(misc, "LBubbleAvg2"), 0, 0);
    ml->addWidget(ParamCombo(misc, "CBBubbleAvg2"), 0, 1, 1, 4);
    ml->addWidget(ParamCheck(misc, "ChBBubbleAvgM2", QStringLiteral("M")), 0, 5);
    LabeledEdit* hold = ParamLabeledEdit(misc, "EHoldTime2");
    ml->addWidget(hold->EditLabel(), 1, 0);
    ml->addWidget(hold, 1, 1, 1, 4);
    ml->addWidget(Label(misc, "LStartCfg2"), 2, 0);
    ml->addWidget(ParamCombo(misc, "CBStartCfgMode"), 2, 1, 1, 4);
    ml->addWidget(Label(misc, "LMSerialModeIn2"), 3, 1, 1, 5);
    ml->addWidget(Label(misc, "LMSerialModeOut2"), 4, 1, 1, 5);
    ml->addWidget(Label(misc, "LLED2"), 5, 0);
    for (int bit = 0; bit < 4; ++bit) {
        auto* p = Make<TPanel>(misc, QStringLiteral("PStartLED2_%1").arg(bit).toLatin1().constData());
        p->setFixedSize(bit == 3 ? kAutoPanelWidth : 17, 17);
        SetTag(p, 90 + bit);
        connect(p, &TPanel::clicked, this, [this, p] { SetCfgLED_Out(p); });
        ml->addWidget(p, 5, 1 + bit);
    }
    LabeledEdit* reset = ParamLabeledEdit(misc, "EExtResetTime");
    ml->addWidget(reset->EditLabel(), 6, 0);
    ml->addWidget(reset, 6, 1, 1, 4);
    lay->addWidget(misc, 2, 0);

    QGroupBox* out = Group(TSSet2, "GBOutputExt");
    auto* xl = new QGridLayout(out);
    xl->addWidget(Label(out, "LOutputSpecExt"), 0, 0);
    xl->addWidget(Label(out, "LOutput2"), 0, 1);
    xl->addWidget(CreateBubbleTab(out), 1, 0, 1, 2);
    xl->addWidget(ParamCheck(out, "ChBBubbleTabLin"), 2, 0);
    xl->addWidget(Label(out, "LBubbleTabErr"), 2, 1);
    lay->addWidget(out, 0, 1, 3, 1);
    lay->setRowStretch(3, 1);
    lay->setColumnStretch(2, 1);
    return TSSet2;
}

// The output-configuration table: ten rows of three edits (size, value, percentage) and four
// level panels, under four heading edits.
QWidget* TMainForm::CreateBubbleTab(QWidget* parent)
{
    PBubbleTab = Make<QWidget>(parent, "PBubbleTab");
    PBubbleTab->setFixedSize(250, 234);
    const char* heads[] = {"EBubbleTabHeadDB", "EBubbleTabHeadOut", "EBubbleTabHeadPWM", "EBubbleTabHeadLED"};
    const int headLeft[] = {16, 60, 104, 150};
    const int headWidth[] = {43, 43, 43, 85};
    for (int i = 0; i < 4; ++i) {
        auto* h = Make<QLineEdit>(PBubbleTab, heads[i]);
        h->setReadOnly(true);
        h->setFrame(false);
        h->setGeometry(headLeft[i], 6, headWidth[i], 19);
    }
    const int editLeft[] = {16, 60, 104};
    const int panelLeft[] = {150, 178, 198, 218};
    for (int i = 0; i < 10; ++i) {
        const int top = 30 + 20 * i;
        for (int j = 0; j < 3; ++j) {
            QLineEdit* e = ParamEdit(PBubbleTab,
                                     QStringLiteral("EBubbleTab_%1_%2").arg(i).arg(j).toLatin1().constData());
            e->setGeometry(editLeft[j], top, 43, 19);
            e->setMaximumWidth(43);
        }
        for (int j = 0; j < 4; ++j) {
            auto* p = Make<TPanel>(PBubbleTab,
                                   QStringLiteral("PBubbleTab_%1_%2").arg(i).arg(j).toLatin1().constData());
            p->setGeometry(panelLeft[j], top + 1, 17, 17);
            p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            SetTag(p, j == 0 ? 10 * i + 104 : 10 * i + 100 + (j - 1));
            connect(p, &TPanel::clicked, this, [this, p] { SetCfgLED_Out(p); });
        }
        auto* first = PBubbleTab->findChild<TPanel*>(QStringLiteral("PBubbleTab_%1_0").arg(i));
        QFont f = first->font();
        f.setBold(true);
        first->setFont(f);
        first->setStyleSheet(QStringLiteral("color: blue;"));
    }
    auto edit0 = [this](int row) {
        return PBubbleTab->findChild<QLineEdit*>(QStringLiteral("EBubbleTab_%1_0").arg(row));
    };
    edit0(0)->setReadOnly(true);
    edit0(7)->setReadOnly(true);
    // The two row captions are labels in edit form: without a frame and a little smaller, so
    // that "Fehler" fits the 43-pixel field in bold.
    QFont bold = edit0(8)->font();
    bold.setBold(true);
    bold.setPixelSize(std::max(9, QFontInfo(bold).pixelSize() - 2));
    for (int row : {8, 9}) {
        edit0(row)->setReadOnly(true);
        edit0(row)->setFont(bold);
        edit0(row)->setFrame(false);
    }
    edit0(8)->setStyleSheet(QStringLiteral("color: blue;"));
    edit0(9)->setStyleSheet(QStringLiteral("color: red;"));
    edit0(8)->setText(QStringLiteral("Alarm"));
    edit0(9)->setText(QStringLiteral("Error"));
    return PBubbleTab;
}

// Page 2: special parameters, lists, gain test.
QWidget* TMainForm::CreateSettingsPage3()
{
    TSSet3 = Make<QWidget>(nullptr, "TSSet3");
    auto* lay = new QGridLayout(TSSet3);

    QGroupBox* special = Group(TSSet3, "GBSepcial");
    QFormLayout* sf = Form(special);
    for (const char* n : {"EADCZeroDnLimit", "EADCZeroUpLimit", "EAmplMaxDnLimit", "EAmplMaxUpLimit",
                          "EAmplMaxUpLiq", "EBubbleFactor", "ESendPulse", "ETestSendPulse", "EGateWidthZero",
                          "EAmplTestLimit", "EMaxDiff", "EServiceModeTime"})
        AddRow(sf, ParamLabeledEdit(special, n));
    lay->addWidget(special, 0, 0, 2, 1);

    QGroupBox* lists = Group(TSSet3, "GBLists");
    auto* ll = new QGridLayout(lists);
    int r = 0;
    ll->addWidget(Label(lists, "LZeroAvgMode"), r, 0);
    ll->addWidget(ParamCombo(lists, "CBZeroAvg"), r, 1);
    ll->addWidget(ParamCheck(lists, "ChBZeroAvgM", QStringLiteral("M")), r++, 2);
    ll->addWidget(Label(lists, "LInitinterval"), r, 0);
    ll->addWidget(ParamCombo(lists, "CBInitInterval"), r++, 1);
    ll->addWidget(Label(lists, "LBurstCt"), r, 0);
    ll->addWidget(ParamCombo(lists, "CBBurstCt"), r, 1);
    ll->addWidget(ParamCheck(lists, "ChBBurst", QStringLiteral("V")), r++, 2);
    ll->addWidget(Label(lists, "LTestBurstCt"), r, 0);
    ll->addWidget(ParamCombo(lists, "CBTestBurstCt"), r, 1);
    ll->addWidget(ParamCheck(lists, "ChBTestBurst", QStringLiteral("V")), r++, 2);
    // The self-tests beside the lists, all lines at once: its height follows its lines
    // (ApplySpecialCaptions), its width its longest line.
    ll->addWidget(Label(lists, "LSecurity"), 0, 3);
    auto* sec = Make<QListWidget>(lists, "CBLSecurity");
    sec->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    sec->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    connect(sec, &QListWidget::itemChanged, this, [this, sec] { EditChange(sec); });
    ll->addWidget(sec, 1, 3, std::max(1, r - 1), 1, Qt::AlignTop);
    ll->setRowStretch(r, 1);
    lay->addWidget(lists, 0, 1);

    QGroupBox* gain = Group(TSSet3, "GBGainTest");
    auto* gl = new QGridLayout(gain);
    gl->addWidget(Label(gain, "LGainTest"), 0, 0, 1, 2);
    StGainTest = Grid(gain, "StGainTest", 6, 7);
    StGainTest->setFixedSize(7 * 40 + 4, 6 * 17 + 4);
    connect(StGainTest, &QTableWidget::currentCellChanged, this, &TMainForm::StGainTestSelectCell);
    // A committed cell (Enter, another cell, leaving the grid) is an edit as well.
    connect(StGainTest, &QTableWidget::itemChanged, this, &TMainForm::StGainTestSelectCell);
    gl->addWidget(StGainTest, 1, 0, 1, 2);
    LabeledEdit* inc = ParamLabeledEdit(gain, "EGainTestInc");
    gl->addWidget(inc->EditLabel(), 2, 0);
    gl->addWidget(inc, 2, 1);
    gl->addWidget(Label(gain, "LGainTesttemp"), 3, 0, 1, 2);
    gl->addWidget(ParamCombo(gain, "CBGainTest"), 4, 0);
    QPushButton* setGain = Button(gain, "BTSetGainTest");
    connect(setGain, &QPushButton::clicked, this, &TMainForm::BTSetGainTestClick);
    gl->addWidget(setGain, 4, 1);
    QTableWidget* temp = Grid(gain, "StGainTesttemp", 4, 6);
    temp->setFixedSize(6 * 40 + 4, 4 * 17 + 4);
    gl->addWidget(temp, 5, 0, 1, 2);
    lay->addWidget(gain, 1, 1);
    lay->setRowStretch(2, 1);
    lay->setColumnStretch(2, 1);
    return TSSet3;
}

QWidget* TMainForm::CreateBootPage()
{
    TSBoot = Make<QWidget>(nullptr, "TSBoot");
    auto* lay = new QGridLayout(TSBoot);

    // The commands of the loader and of the memories; the groups hold what they act on.
    QWidget* commands = Make<QWidget>(TSBoot, "PBootCommands");
    auto* cl = new QGridLayout(commands);
    cl->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, void (TMainForm::*)()> buttons[] = {
        {"BTStartBoot", &TMainForm::BTBootStartClick},
        {"BTMemErase", &TMainForm::BTBootMemEraseClick},
        {"BTBootReset", &TMainForm::BTBootResetClick},
        {"BTMemRead", &TMainForm::BTBootMemReadClick},
        {"BTBootPing", &TMainForm::BTBootPingClick},
        {"BTMemWrite", &TMainForm::BTBootMemWriteClick},
        {"BTBootIdent", &TMainForm::BTBootIdentClick},
        {"BTMemVerify", &TMainForm::BTBootMemVerifyClick},
        {"BTOpenFileHex", &TMainForm::BTBootHexImportClick},
        {"BTSaveHexFile", &TMainForm::BTBootHexExportClick},
        {"BTABSImport", &TMainForm::BTBootABSImportClick},
    };
    int i = 0;
    for (const auto& [name, slot] : buttons) {
        QPushButton* b = Button(commands, name);
        connect(b, &QPushButton::clicked, this, slot);
        cl->addWidget(b, i / 2, i % 2);
        ++i;
    }
    lay->addWidget(commands, 0, 0, 1, 2);

    QGroupBox* mem = Group(TSBoot, "GBBootMem");
    auto* ml = new QVBoxLayout(mem);
    const std::pair<const char*, const char*> kinds[] = {
        {"RBMemCode", "Code Flash"}, {"RBMemSRAM", "SRAM"}, {"RBMemXRAM", "XRAM"}, {"RBMemInEE", "EEPROM"}};
    for (const auto& [name, text] : kinds) {
        auto* rb = Make<QRadioButton>(mem, name);
        rb->setText(Latin(text));
        connect(rb, &QRadioButton::clicked, this, &TMainForm::RBMemClick);
        ml->addWidget(rb);
        if (rb->objectName() == QLatin1String("RBMemCode")) rb->setChecked(true);
        // Present for the EEPROM kind, not offered to the user.
        if (rb->objectName() == QLatin1String("RBMemInEE")) rb->setVisible(false);
    }
    lay->addWidget(mem, 1, 0);

    QGroupBox* mcu = Group(TSBoot, "GBootMCU");
    auto* mcl = new QVBoxLayout(mcu);
    for (const char* name : {"RBMCUType330", "RBMCUType332", "RBMCUType334"}) {
        auto* rb = Make<QRadioButton>(mcu, name);
        rb->setText(QStringLiteral("C8051F") + Latin(name).right(3));
        connect(rb, &QRadioButton::clicked, this, [this, rb] { RBMCUTypeClick(rb); });
        mcl->addWidget(rb);
        if (rb->objectName() == QLatin1String("RBMCUType330")) rb->setChecked(true);
    }
    lay->addWidget(mcu, 1, 1);

    QGroupBox* addr = Group(TSBoot, "GBBootAddr");
    auto* al = new QHBoxLayout(addr);
    for (const char* name : {"EditStartAddr", "EditEndAddr"}) {
        auto* e = Make<QLineEdit>(addr, name);
        e->setMaximumWidth(70);
        connect(e, &QLineEdit::editingFinished, this, [this, e] { EditBootAddrExit(e); });
        al->addWidget(e);
    }
    lay->addWidget(addr, 2, 0);

    QGroupBox* sector = Group(TSBoot, "GBBootBoot");
    auto* sl = new QHBoxLayout(sector);
    for (const char* name : {"EditBootStartAddr", "EditBootEndAddr"}) {
        auto* e = Make<QLineEdit>(sector, name);
        e->setMaximumWidth(70);
        e->setReadOnly(true);
        sl->addWidget(e);
    }
    lay->addWidget(sector, 2, 1);

    QGroupBox* download = Group(TSBoot, "GBootDownload");
    auto* dl = new QHBoxLayout(download);
    QPushButton* dlButton = Button(download, "BTDownload");
    connect(dlButton, &QPushButton::clicked, this, &TMainForm::BTDownloadClick);
    dl->addWidget(dlButton);
    dl->addWidget(Make<QCheckBox>(download, "BABSImport"));
    auto* hexBox = Make<QCheckBox>(download, "BHexImport");
    hexBox->setChecked(true);
    dl->addWidget(hexBox);
    lay->addWidget(download, 3, 0, 1, 2);

    auto* list = Make<QListWidget>(TSBoot, "ListBoxBoot");
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    list->setFont(mono);
    list->setUniformItemSizes(true);
    lay->addWidget(list, 0, 2, 5, 1);
    lay->setRowStretch(4, 1);
    lay->setColumnStretch(2, 1);
    return TSBoot;
}

QWidget* TMainForm::CreateTestPage()
{
    TSTest = Make<QWidget>(nullptr, "TSTest");
    auto* lay = new QVBoxLayout(TSTest);
    // The last unit's verdict above every sub-page, until the next unit starts.
    lay->addWidget(CreateVerdictBanner(TSTest));
    PCTest = Make<QTabWidget>(TSTest, "PCTest");
    lay->addWidget(PCTest);

    QWidget* start = Make<QWidget>(nullptr, "TSStart");
    auto* stl = new QVBoxLayout(start);
    auto* type = Make<QComboBox>(start, "CBTypeTest");
    connect(type, &QComboBox::activated, this, &TMainForm::CBTypeTestChange);
    stl->addWidget(type);
    StGStart = Grid(start, "StGStart", 30, 2);
    stl->addWidget(StGStart);
    PCTest->addTab(start, QStringLiteral("Start"));

    QWidget* meas = Make<QWidget>(nullptr, "TSMeas");
    auto* mel = new QGridLayout(meas);
    LComment = Label(meas, "LComment");
    QFont cf(QStringLiteral("Arial"));
    cf.setPixelSize(19);
    LComment->setFont(cf);
    LComment->setMinimumHeight(30);
    // Under the status line: what the operator can do after a failure.
    auto* top = new QVBoxLayout;
    top->addWidget(LComment);
    QLabel* hint = Label(meas, "LTestHint");
    hint->hide();
    top->addWidget(hint);
    mel->addLayout(top, 0, 0, 1, 4);
    // The comment edit lies exactly over the serial-number edit; the steps show one of them.
    EditSN = Make<QLineEdit>(meas, "EditSN");
    EditComment = Make<QLineEdit>(meas, "EditComment");
    mel->addWidget(EditSN, 1, 0, 1, 2);
    mel->addWidget(EditComment, 1, 0, 1, 2);
    // A scanner types the serial number and Enter: that starts the unit.
    connect(EditSN, &QLineEdit::returnPressed, this, &TMainForm::EntryReturnPressed);
    QWidget* panel = Make<QWidget>(meas, "PanelTest");
    QFormLayout* pf = Form(panel);
    const std::pair<const char*, const char*> entries[] = {{"ETTester", "Prüfer"},
                                                           {"ETBatchNo", "Auftrag"},
                                                           {"ETBatchComment", "Bemerkungen"},
                                                           {"ETTechIndex", "Produkt-Index"},
                                                           {"ETManuYear", "Herstellungsjahr"}};
    for (const auto& [name, text] : entries) {
        auto* e = Make<LabeledEdit>(panel, name);
        e->EditLabel()->setText(QString::fromUtf8(text));
        connect(e, &QLineEdit::returnPressed, this, &TMainForm::EntryReturnPressed);
        AddRow(pf, e);
    }
    mel->addWidget(panel, 2, 0, 1, 2);
    QWidget* values = Make<QWidget>(meas, "PanelTestValues");
    auto* vl = new QGridLayout(values);
    int vr = 0;
    for (const char* n : {"LTestSum", "LTestQVROut", "LTestQVROutMax", "LTestAmpl", "LTestGain",
                          "LTestErrCode", "LTestVersion"})
        vl->addWidget(Label(values, n), vr++, 0);
    // The limits of the value the step judges, beside it (moved to its row).
    QLabel* limits = Label(values, "LTestLimits");
    limits->hide();
    vl->addWidget(limits, 0, 1);
    // Clears the store, so QVRmax starts again for the next measurement.
    vl->addWidget(ActionButton(values, "BTTestValuesClear", act("ALClear"), "CLEAR"), vr++, 0, 1, 2);
    vl->setRowStretch(vr, 1);
    mel->addWidget(values, 1, 2, 2, 1);
    mel->addWidget(Make<QListWidget>(meas, "LBxMV"), 1, 3, 3, 1);
    auto* nav = new QHBoxLayout;
    // ZURÜCK's button stays usable at step 0 where its action (and shortcut) is off, so it is
    // not bound to the action; it shows the action's text and runs the same handler.
    QToolButton* prior = ActionButton(meas, "BTPrior", nullptr, "REWIND");
    QAction* priorAction = act("ALPrior");
    prior->setText(priorAction->text());
    connect(priorAction, &QAction::changed, prior, [prior, priorAction] {
        prior->setText(priorAction->text());
        prior->setToolTip(priorAction->toolTip());
    });
    connect(prior, &QToolButton::clicked, this, &TMainForm::ALPriorExecute);
    nav->addWidget(prior);
    nav->addWidget(KeyLabel(meas, "LKeyPrior", "Strg+F6"));
    nav->addWidget(ActionButton(meas, "BTNext", act("ALNext"), "FORWARD"));
    nav->addWidget(KeyLabel(meas, "LKeyNext", "F6 / ENTER"));
    nav->addWidget(ActionButton(meas, "BTTestCancel", act("ALCancel")));
    nav->addStretch();
    // How far the unit is: "Schritt n von m" and a bar over the program's steps.
    nav->addWidget(Label(meas, "LTestProgress"));
    auto* steps = Make<QProgressBar>(meas, "PBTestProgress");
    steps->setTextVisible(false);
    steps->setFixedWidth(200);
    nav->addWidget(steps);
    mel->addLayout(nav, 4, 0, 1, 4);
    mel->setRowStretch(3, 1);
    mel->setColumnStretch(3, 1);
    PCTest->addTab(meas, QStringLiteral("Messung"));

    QWidget* report = Make<QWidget>(nullptr, "TSReport");
    auto* rl = new QGridLayout(report);
    StGMV = Make<QTableView>(report, "StGMV");
    StGMV->horizontalHeader()->setMinimumSectionSize(10);
    StGMV->horizontalHeader()->setDefaultSectionSize(prodtest::ResultGrid::kDefaultWidth);
    StGMV->verticalHeader()->setDefaultSectionSize(17);
    StGMV->verticalHeader()->hide(); // "Pos" numbers the rows
    StGMV->setAutoScroll(false);
    StGMV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rl->addWidget(StGMV, 0, 0, 3, 1);
    QPushButton* clear = Button(report, "BTTestClearMeas", QStringLiteral("LÖSCHEN"), "CLEAR");
    connect(clear, &QPushButton::clicked, this, &TMainForm::BTTestClearMeasClick);
    rl->addWidget(clear, 0, 1);
    rl->addWidget(ActionButton(report, "BTSave", act("ALTestSave"), "SAVEFILE"), 1, 1);
    rl->setRowStretch(2, 1);
    rl->setColumnStretch(0, 1);
    PCTest->addTab(report, QStringLiteral("Protokoll"));

    QWidget* tk = Make<QWidget>(nullptr, "TSTK33");
    auto* tl = new QGridLayout(tk);
    QGroupBox* serialIf = Group(tk, "GBTK_SerialIF", QStringLiteral("Kommunikation"));
    auto* sl = new QVBoxLayout(serialIf);
    const std::tuple<const char*, int, const char*> radios[] = {{"RBTK_IF0", 1, "TTL/ QVRxx (Master)"},
                                                                {"RBTK_IF1", 0, "TTL/ QVRxx (Slave)"},
                                                                {"RBTK_IF2", 2, "RS232/ QVR05.30"}};
    for (const auto& [name, tag, text] : radios) {
        auto* rb = Make<QRadioButton>(serialIf, name);
        rb->setText(QString::fromLatin1(text));
        rb->setToolTip(QStringLiteral("schaltet die serielle Schnittstelle um"));
        SetTag(rb, tag);
        connect(rb, &QRadioButton::clicked, this, [this, rb] { RBTK_IFClick(rb); });
        sl->addWidget(rb);
    }
    sl->addWidget(ActionButton(serialIf, "BTTK_RTS", act("ALSwitchRTS")));
    auto* tkMem = Make<QCheckBox>(serialIf, "ChBTK33Mem");
    tkMem->setText(QStringLiteral("nur TK Kommunikation"));
    sl->addWidget(tkMem);
    tl->addWidget(serialIf, 0, 0);
    FillModulePage(tk, tl);
    tl->setRowStretch(2, 1);
    tl->setColumnStretch(3, 1);
    PCTest->addTab(tk, QStringLiteral("Prüfmittel"));

    PCTest->addTab(CreateEventPage(), QStringLiteral("Blasensuche"));
    PCTest->addTab(Make<QWidget>(nullptr, "TSSpecialTest"), QStringLiteral("Spezielles"));
    // The page has nothing on it yet; it stays for its name, out of the operator's way.
    PCTest->setTabVisible(PCTest->count() - 1, false);
    return TSTest;
}

void TMainForm::CreateStatusBar()
{
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("SBar"));
    sb->setSizeGripEnabled(true);
    const int widths[] = {250, 500, 0};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(sb);
        panels_[i]->setObjectName(QStringLiteral("SBarPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (widths[i] > 0) panels_[i]->setFixedWidth(widths[i]);
        sb->addWidget(panels_[i], widths[i] > 0 ? 0 : 1);
    }
}

void TMainForm::CreateFileDialogs()
{
    for (const char* n : {"OpenDialog1", "OpenDialog2", "SaveDialog1", "SaveDialog2", "OpenHexFile",
                          "SaveHexFile", "OpenAbsFile"}) {
        auto* d = new TFileDialogText(this);
        d->setObjectName(Latin(n));
    }
}

void TMainForm::DrawBitButtons()
{
    const QList<QAbstractButton*> buttons = findChildren<QAbstractButton*>();
    for (QAbstractButton* b : buttons) {
        const QString glyph = b->property("glyph").toString();
        if (glyph.isEmpty()) continue;
        // A button that shows an action takes its picture from the action.
        auto* tb = qobject_cast<QToolButton*>(b);
        if (tb && tb->defaultAction())
            tb->defaultAction()->setIcon(QIcon(Glyph(glyph)));
        else
            b->setIcon(QIcon(Glyph(glyph)));
        b->setIconSize(QSize(24, 24));
    }
}

} // namespace vmx::ui
