// The main window: start and end, Host, and the shell's own commands.
#include "ui/MainForm.h"

#include "app/Folders.h"
#include "app/TextHelpers.h"
#include "ui/FormWidgets.h"
#include "ui/HelpWindow.h"
#include "ui/PWForm.h"
#include "ui/StateForm.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

namespace vmx::ui {

TMainForm::TMainForm(const MonitorOptions& options, MainFormEnv env, QWidget* parent)
    : QMainWindow(parent), options_(options), env_(std::move(env))
{
    setObjectName(QStringLiteral("MainForm"));
    if (env_.clock)
        clock_ = env_.clock;
    else {
        ownClock_ = std::make_unique<app::RealClock>();
        clock_ = ownClock_.get();
    }
    const app::Folders folders = app::DecideFolders(app::ReadFolderInputs(options_.configDir));
    QString folderError;
    const bool foldersReady = app::PrepareFolders(folders, folderError);
    session_ = std::make_unique<app::Session>(*this, *clock_, folders);

    CreateActions();
    CreateMenus();
    CreatePages();
    CreateStatusBar();
    CreateFileDialogs();
    resize(1040, 700);
    // Enter is seen by the window wherever the focus is.
    qApp->installEventFilter(this);
    FormCreate();
    // Not fatal: the start went on with the built-in settings; say why they are not the user's.
    if (!foldersReady) PanelText(1, folderError);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    if (qtCatalogue_) QCoreApplication::removeTranslator(qtCatalogue_);
    // The station (and its table model) goes before the widgets: the grid lets go of it first.
    if (auto* grid = findChild<QTableView*>(QStringLiteral("StGRead"))) {
        if (grid->selectionModel()) grid->selectionModel()->disconnect(this);
        grid->setModel(nullptr);
    }
    if (station_) station_->SetView(nullptr);
}

void TMainForm::FormCreate()
{
    // 1-2: the two companion windows.
    stateForm_ = new TStateForm([this](int i) { return Msg(i); }, this);
    // Tied to the menu item, so that tearing the window down cannot reach a deleted item.
    connect(stateForm_, &TStateForm::hidden, MIOptMessageWindow,
            [this] { MIOptMessageWindow->setChecked(false); });
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.left() + (avail.width() - width()) / 2, y());
    }
    pwForm_ = new TPWForm(
        *session_, [this] { UpdateVersion(); }, this);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        pwForm_->move(avail.center() - QPoint(pwForm_->width() / 2, pwForm_->height() / 2));
    }
    pwForm_->hide();

    // 3: the station with its link.
    CreateLink();
    CreateSimulatorPanel();
    CreateAcquisition();
    Reset_COM_USB();
    act("ALStart")->setEnabled(portName_ != QLatin1String("nix"));
    act("ALStop")->setEnabled(false);

    // 4-6: the diagram; the defaults are the station's.
    PB->SetBitmap(&diagram_.image());

    // 7-8: sensor type, language, MONITOR.INI, version menu.
    session_->CopyValidSensorType(0);
    session_->setLanguage(0);
    session_->ReadConfigFromFile();
    if (options_.language >= 0) session_->setLanguage(options_.language);
    ApplyConfigToMenus();
    CreateTypeMenu();
    TestValidVersion();
    UpdateVersion();

    // 9-11: store, standard parameters, the parameter file of MONITOR.INI.
    ResetValues();
    ImportStartParameterFile(); // and, with or without it, the standard set into the edit block

    // 12-15: version text, language items and banner, captions, measuring interval.
    PanelText(2, QString::fromLatin1(app::kVersionText));
    (session_->language() == 1 ? MILEn : MILDt)->setChecked(true);
    ShowBanner();
    UpdateCaptions();
    CBMeasTime->setCurrentIndex(qMin(3, CBMeasTime->count() - 1));

    // 16-17
    InitGainTestGrid();
    InitBubbleTabEditors();
    act("ALPowerOn")->setChecked(true);

    // 18: boot-loader state.
    InitBootState();

    // 19-20: test page.
    PC1->setCurrentWidget(TSMonitor);
    InitTestPage();

    // 22: temporary record file.
    if (!session_->config.TempFile.isEmpty() && !OpenTempFile())
        Ask(app::AskIcon::Information, app::AskButtons::Ok,
            QStringLiteral("Kann temporäres File nicht öffnen. \rBitte Schreibrechte prüfen!"));

    // The unit history beside the record files; without it units are kept in those only.
    QString why;
    if (!station_->OpenHistory(session_->config.DatabaseUrl, session_->folders().data,
                               session_->config.StationName, &why))
        PanelText(1, QStringLiteral("Datenbank: FEHLER (%1)").arg(why));
    else if (history::HistorySyncWorker* sync = station_->history().StartSync()) {
        // What waits for the line's server, shown while anything does.
        auto* waiting = new QLabel(statusBar());
        waiting->setObjectName(QStringLiteral("SBarSync"));
        waiting->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        waiting->hide();
        statusBar()->addPermanentWidget(waiting);
        connect(sync, &history::HistorySyncWorker::waitingChanged, waiting,
                [this, waiting](int n, const QString&) {
                    waiting->setVisible(n != 0);
                    waiting->setText(
                        session_->language() == 1
                            ? QStringLiteral("Database: %1 units waiting for the server").arg(n)
                            : QStringLiteral("Datenbank: %1 Einheiten warten auf den Server").arg(n));
                });
        sync->Kick();
    }

    // 23-24
    ForceRTS(1);
    PC1->setCurrentWidget(TSMonitor);
    DrawBitButtons();
    UpdateDialog();
    PanelText(
        1,
        QStringLiteral("Sensor: %1, Version: %2").arg(session_->sensor.Model, session_->sensor.FirmwareText));
    StartStationProfile();
}

// The menu settings MONITOR.INI gives (the session has taken language, mode and device keys).
void TMainForm::ApplyConfigToMenus()
{
    const app::MonitorConfig& cfg = session_->config;
    for (QAction* a : drawDiaItems_)
        if (Tag(a) == cfg.RefreshDia) {
            a->setChecked(true);
            station_->settings.refreshDivisor = cfg.RefreshDia;
        }
    switch (cfg.Overflow) {
    case app::DataOverflow::Stop:
        MIDataOvfStop->setChecked(true);
        break;
    case app::DataOverflow::RollOver:
        MIDataOvfRollOver->setChecked(true);
        break;
    case app::DataOverflow::Restart:
        MIDataOvfRestart->setChecked(true);
        break;
    }
    MIOptMessageWindow->setChecked(cfg.MessageWindow);
    MIOptMessageWindowClick();
    MIBeep->setChecked(cfg.Beeper);
    MIWithACK->setChecked(cfg.WithAck);
    MIWithAnswer->setChecked(cfg.WithAnswer);
    MIWithFrameCRC->setChecked(cfg.WithFrameCrc);
    station_->SetPowerAutomatic(cfg.PowerAuto);
}

void TMainForm::ImportStartParameterFile()
{
    // MONITOR.INI's name, already placed in the program folder when it was relative.
    station_->LoadStartParameters();
}

void TMainForm::InitGainTestGrid()
{
    const QSignalBlocker block(StGainTest); // headings, not edits
    for (int r = 1; r <= 5; ++r)
        StGainTest->setItem(r, 0, new QTableWidgetItem(QString::number(r - 1)));
    // Upper limit: the digit with two macrons; lower limit: the digit with two underscores.
    const QString macrons = QString(2, QChar(0x00AF));
    StGainTest->setItem(0, 0, new QTableWidgetItem(QStringLiteral("Gain")));
    for (int d = 1; d <= 3; ++d) {
        StGainTest->setItem(0, 2 * d - 1, new QTableWidgetItem(QString::number(d) + macrons));
        StGainTest->setItem(0, 2 * d, new QTableWidgetItem(QString::number(d) + QStringLiteral("__")));
    }
    StGainTest->setRowHeight(0, 16);
}

void TMainForm::InitTestPage()
{
    if (!StGMV->model()) StGMV->setModel(&station_->testResults().model());
    DeleteStGMV();
    station_->testDefinitions().TestDataSaved = true;
    testSelection_[0] = testSelection_[1] = -1;
    TestStep = 0;
    // The core holds the edits' values; the window shows them.
    station_->pic().ResetEdits();
    if (auto* e = findChild<QLineEdit*>(QStringLiteral("ETK_PICConfig")))
        e->setText(station_->pic().configEdit);
    if (auto* e = findChild<QLineEdit*>(QStringLiteral("ETK_PICOsc"))) e->setText(station_->pic().oscEdit);
    ScanTestIniFile();
    EditSN->clear();
    EditComment->clear();
    ShowTestValues(prodtest::TestRun::TestValueCaptions(nullptr, -1, nullptr), false);
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    // The end sequence runs once, however often the window is asked to close.
    if (!closing_) {
        closing_ = true;
        station_->acquisition().SetStopped(true);
        Timer2->stop();
        CloseLink();
        if (!station_->testDefinitions().TestDataSaved &&
            Ask(app::AskIcon::Question, app::AskButtons::YesNo,
                QStringLiteral("Programm wird beendet!\rSollen Daten aus Prüfungen gespeichert werden?")) ==
                app::AskResult::Yes)
            act("ALTestSave")->trigger();
        PB->SetBitmap(nullptr);
        pwForm_->hide();
        if (stateForm_) {
            stateForm_->close();
            delete stateForm_;
            stateForm_ = nullptr;
        }
    }
    e->accept();
}

// ---- Host ----

void TMainForm::PanelText(int panel, const QString& text)
{
    if (panel < 0 || panel > 2) return;
    QLabel* l = panels_[panel];
    l->setProperty("fullText", text);
    // The panels have a fixed width: a longer text is shortened with "…" and shown whole as
    // the panel's tooltip (and, for panel 1, in the log window).
    const int room =
        l->contentsRect().width() - 2 * l->margin() - l->fontMetrics().horizontalAdvance(QLatin1Char('x'));
    const QString shown = panel == 2 ? text : l->fontMetrics().elidedText(text, Qt::ElideRight, room);
    l->setText(shown);
    l->setToolTip(shown == text ? QString() : text);
    l->setProperty("elidedText", shown != text);
    if (panel == 1 && stateForm_) stateForm_->AddMessage(text);
}

QString TMainForm::PanelTextOf(int panel) const
{
    return panel >= 0 && panel <= 2 ? panels_[panel]->property("fullText").toString() : QString();
}

void TMainForm::ShowLComment(app::CommentColour colour, const QString& text)
{
    LComment->setStyleSheet(colour == app::CommentColour::Red ? QStringLiteral("color: red;")
                                                              : QStringLiteral("color: blue;"));
    LComment->setText(text);
}

std::unique_ptr<QMessageBox> TMainForm::QuestionBox(app::AskIcon icon, app::AskButtons buttons,
                                                    const QString& text, const QString& caption)
{
    auto owned = std::make_unique<QMessageBox>(this);
    QMessageBox& box = *owned;
    switch (icon) {
    case app::AskIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case app::AskIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case app::AskIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case app::AskIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case app::AskIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setWindowTitle(caption.isEmpty() ? Msg(0) : caption);
    box.setText(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    switch (buttons) {
    case app::AskButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case app::AskButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case app::AskButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case app::AskButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    return owned;
}

app::AskResult TMainForm::Ask(app::AskIcon icon, app::AskButtons buttons, const QString& text,
                              const QString& caption)
{
    if (env_.ask) return env_.ask(icon, buttons, text, caption);
    const std::unique_ptr<QMessageBox> box = QuestionBox(icon, buttons, text, caption);
    switch (box->exec()) {
    case QMessageBox::Ok:
        return app::AskResult::Ok;
    case QMessageBox::Yes:
        return app::AskResult::Yes;
    case QMessageBox::No:
        return app::AskResult::No;
    default:
        return buttons == app::AskButtons::Ok ? app::AskResult::Ok : app::AskResult::Cancel;
    }
}

void TMainForm::Wait(int ms)
{
    if (ms <= 0) return;
    if (ms <= 20) {
        clock_->SleepMs(ms);
        return;
    }
    if (clock_->IsVirtual()) {
        clock_->SleepMs(ms);
        ProcessMessages();
        return;
    }
    // Long waits keep the window responsive.
    const qint64 end = clock_->NowUs() + qint64(ms) * 1000;
    for (qint64 now = clock_->NowUs(); now < end; now = clock_->NowUs()) {
        ProcessMessages();
        clock_->SleepUs(qMin<qint64>(end - now, 5000));
    }
}

void TMainForm::ProcessMessages()
{
    QCoreApplication::processEvents();
}

void TMainForm::Beep()
{
    QApplication::beep();
}

void TMainForm::SetClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString TMainForm::ClipboardText()
{
    return QGuiApplication::clipboard()->text();
}

TMainForm::TransferLock::TransferLock(TMainForm& form) : form_(form), owner_(!form.transferring_)
{
    if (owner_) {
        form_.transferring_ = true;
        form_.LockContext(true);
    } else {
        form_.PanelText(1, form_.TransferBusyText());
    }
}

TMainForm::TransferLock::~TransferLock()
{
    if (!owner_) return;
    form_.transferring_ = false;
    form_.LockContext(false);
}

void TMainForm::LockContext(bool locked)
{
    if (!locked) {
        for (auto& [object, enabled] : lockedContext_) {
            if (auto* a = qobject_cast<QAction*>(object.data()))
                a->setEnabled(enabled);
            else if (auto* w = qobject_cast<QWidget*>(object.data()))
                w->setEnabled(enabled);
        }
        lockedContext_.clear();
        return;
    }
    auto lock = [this](QObject* o) {
        if (auto* m = qobject_cast<QMenu*>(o)) o = m->menuAction();
        if (auto* a = qobject_cast<QAction*>(o)) {
            lockedContext_.emplace_back(a, a->isEnabled());
            a->setEnabled(false);
        } else if (auto* w = qobject_cast<QWidget*>(o)) {
            lockedContext_.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
    };
    // The items themselves, not only their menus: a shortcut or a script reaches an item of a
    // closed menu.
    QList<QObject*> objects{findChild<QWidget*>(QStringLiteral("CBTypeTest")), pwForm_, MIBanner};
    for (const char* name : {"MIVersion", "MILanguage", "MIChangeMode", "MIInterfaceSelect", "MIWithACK",
                             "MIWithAnswer", "MIWithFrameCRC", "MIBoot", "ALResetUSB", "ALSwitchRTS"})
        objects << Named(name);
    for (QAction* a : versionItems_)
        objects << a;
    for (QAction* a : {MILDt, MILEn})
        objects << a;
    if (MIInterfaceSelect)
        for (QAction* a : MIInterfaceSelect->actions())
            objects << a;
    for (QObject* o : objects)
        if (o) lock(o);
}

QString TMainForm::TransferBusyText() const
{
    return session_->language() == 1
               ? QStringLiteral("A transfer is running: please wait until it has ended.")
               : QStringLiteral("Eine Übertragung läuft: bitte warten, bis sie beendet ist.");
}

void TMainForm::SetBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// ---- keys and focus ----

bool TMainForm::eventFilter(QObject* o, QEvent* e)
{
    if (o == PB && station_ && ChartEvent(e)) return true;
    if (e->type() == QEvent::MouseMove && o == PB) {
        PBMouseMove(int(static_cast<QMouseEvent*>(e)->position().x()));
    } else if (e->type() == QEvent::KeyPress && o->objectName() == QLatin1String("BTNext")) {
        // Enter on WEITER runs the next step, as F6 does.
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && !k->isAutoRepeat() &&
            act("ALNext")->isEnabled()) {
            act("ALNext")->trigger();
            return true;
        }
    } else if (e->type() == QEvent::KeyRelease) {
        auto* k = static_cast<QKeyEvent*>(e);
        auto* w = qobject_cast<QWidget*>(o);
        // Seen once per key: by the control that has the focus in this window.
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && !k->isAutoRepeat() && w &&
            w->window() == this && w == (focusWidget() ? focusWidget() : this))
            TestFocusChanged();
    } else if (e->type() == QEvent::FocusOut && o->property("paramEdit").toBool()) {
        // Leaving the field commits it; a window switch or an opened menu does not leave it.
        const Qt::FocusReason r = static_cast<QFocusEvent*>(e)->reason();
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason) EditChange(o);
    }
    return QMainWindow::eventFilter(o, e);
}

void TMainForm::TestFocusChanged()
{
    if (!isVisible()) return;
    QWidget* f = focusWidget();
    if (!f) return;
    // A cell editor belongs to its grid.
    for (QWidget* w = f; w && w != this; w = w->parentWidget())
        if (w == StGainTest || w == StGCal) {
            EditChange(w);
            return;
        }
    auto* edit = qobject_cast<QLineEdit*>(f);
    if (!edit) return;
    // The edit fields inside lists and other grids are not edits of their own.
    for (QWidget* w = f->parentWidget(); w && w != this; w = w->parentWidget())
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
            qobject_cast<QAbstractItemView*>(w))
            return;
    EditChange(edit);
}

void TMainForm::BTNextSetFocus()
{
    if (QWidget* next = findChild<QWidget*>(QStringLiteral("BTNext")))
        if (next->isVisible() && next->isEnabled() && next->focusPolicy() != Qt::NoFocus) next->setFocus();
}

// ---- shell commands ----

void TMainForm::ALEndExecute()
{
    close();
}

void TMainForm::ALShowMonitorExecute()
{
    PC1->setCurrentWidget(PC1->currentWidget() == TSMonitor ? TSTable : TSMonitor);
}

void TMainForm::ALSetModeExecute()
{
    PC1->setCurrentWidget(TSSET);
}

void TMainForm::MITestClick()
{
    PC1->setCurrentWidget(TSTest);
}

void TMainForm::MIChangeModeClick()
{
    pwForm_->show();
    pwForm_->raise();
    pwForm_->activateWindow();
}

void TMainForm::MIOptMessageWindowClick()
{
    if (!stateForm_) return;
    if (MIOptMessageWindow->isChecked())
        stateForm_->show();
    else
        stateForm_->hide();
}

// The check mark itself is the beeper setting; the item has already toggled it (and the
// station follows the check mark).
void TMainForm::MIBeepClick() {}

bool TMainForm::BeeperOn() const
{
    return MIBeep->isChecked();
}
bool TMainForm::WithAck() const
{
    return MIWithACK->isChecked();
}
bool TMainForm::WithAnswer() const
{
    return MIWithAnswer->isChecked();
}
bool TMainForm::WithFrameCRC() const
{
    return MIWithFrameCRC->isChecked();
}

void TMainForm::BTStGridHelpClick()
{
    const bool show = MemoHelp->isHidden();
    MemoHelp->setVisible(show);
    if (show) MemoHelp->raise();
    if (auto* b = findChild<QPushButton*>(QStringLiteral("BTStGridHelp"))) b->setText(Msg(show ? 224 : 223));
}

QString TMainForm::HelpDocumentFile() const
{
    const QString name = QStringLiteral("HelpOverview") +
                         (session_->language() == 1 ? QStringLiteral("E.htm") : QStringLiteral("D.htm"));
    return session_->folders().Find(QStringLiteral("Doc/") + name);
}

void TMainForm::MIHelpDocClick()
{
    const QString file = HelpDocumentFile();
    const QUrl url = QUrl::fromLocalFile(file);
    const bool opened = env_.openUrl ? env_.openUrl(url) : QDesktopServices::openUrl(url);
    // Without a desktop that opens it (no browser, no display service) the program shows the
    // manual itself.
    if (!opened) ShowHelpWindow();
}

void TMainForm::ShowHelpWindow()
{
    if (!helpWindow_) helpWindow_ = new THelpWindow(this);
    helpWindow_->ShowDocument(HelpDocumentFile(), session_->language() == 1
                                                      ? QStringLiteral("Help document not found: ")
                                                      : QStringLiteral("Hilfedokument nicht gefunden: "));
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void TMainForm::MIDrawDiaClick(QAction* item)
{
    item->setChecked(true);
    station_->settings.refreshDivisor = Tag(item, 10);
}

void TMainForm::MIDataOverflowClick(QAction* item)
{
    item->setChecked(true);
}

app::DataOverflow TMainForm::DataOverflowPolicy() const
{
    if (MIDataOvfRestart->isChecked()) return app::DataOverflow::Restart;
    if (MIDataOvfRollOver->isChecked()) return app::DataOverflow::RollOver;
    return app::DataOverflow::Stop;
}

void TMainForm::ResetValues()
{
    station_->ResetValues();
}

void TMainForm::UpdateLEDControls()
{
    const bool led = session_->sensor.Has(app::Cap::Led);
    auto* autoBox = findChild<QCheckBox*>(QStringLiteral("CBLEDauto"));
    SetEnabledNamed("GBLED", led);
    SetEnabledNamed("CBLEDauto", led);
    const bool colours = led && autoBox && !autoBox->isChecked();
    for (const char* n : {"CBLEDgreen", "CBLEDred", "CBLEDblue"})
        SetEnabledNamed(n, colours);
}

void TMainForm::DeleteStGMV()
{
    station_->testResults().DeleteStGMV();
}

// ---- the test station, filled in by its subsystem ----

bool TMainForm::OpenTempFile()
{
    return station_->testResults().OpenTempFile(session_->config.TempFile);
}
void TMainForm::ScanTestIniFile()
{
    if (!station_) return;
    prodtest::TestDefinitions& defs = station_->testDefinitions();
    station_->SetOperatorPanel(this);
    defs.ScanTestIniFile(session_->sensor.Key);
    ShowTestDefinitions();
    PrefillEntries();
}
void TMainForm::ALClearExecute()
{
    ResetValues();
}
void TMainForm::ALNextExecute()
{
    station_->testRun().Next();
}
void TMainForm::ALPriorExecute()
{
    station_->testRun().Back();
}
void TMainForm::ALCancelExecute()
{
    station_->testRun().Cancel();
}
void TMainForm::ALTestSaveExecute()
{
    station_->testResults().SaveReport();
}
void TMainForm::BTTestClearMeasClick()
{
    station_->testResults().DiscardResults();
}
void TMainForm::CBTypeTestChange()
{
    prodtest::TestDefinitions& defs = station_->testDefinitions();
    auto* combo = findChild<QComboBox*>(QStringLiteral("CBTypeTest"));
    defs.SelectDefinition(combo ? combo->currentIndex() : -1);
    ShowTestDefinitions();
    PrefillEntries();
}

void TMainForm::ShowTestDefinitions()
{
    const prodtest::TestDefinitions& defs = station_->testDefinitions();
    if (auto* combo = findChild<QComboBox*>(QStringLiteral("CBTypeTest"))) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(defs.comboItems);
        combo->setCurrentIndex(defs.comboIndex);
        if (defs.comboIndex < 0) {
            combo->setEditable(true);
            combo->setEditText(defs.comboText);
        } else {
            combo->setEditable(false);
        }
    }
    StGStart->setRowCount(prodtest::StartGrid::kRows);
    for (int r = 0; r < prodtest::StartGrid::kRows; ++r)
        for (int c = 0; c < 2; ++c) {
            const QString& text = defs.startGrid.cells[size_t(r)][size_t(c)];
            if (QTableWidgetItem* item = StGStart->item(r, c))
                item->setText(text);
            else if (!text.isEmpty())
                StGStart->setItem(r, c, new QTableWidgetItem(text));
            // The key that makes the definition unusable stands out in red.
            if (QTableWidgetItem* item = StGStart->item(r, c))
                item->setData(Qt::ForegroundRole,
                              r == defs.startGrid.faultRow ? QVariant(QColor(Qt::red)) : QVariant());
        }
    // The labels' column is 120 pixels, wider where a definition's labels need it; the values
    // take the rest (the last section stretches).
    const QFontMetrics fm(StGStart->font());
    int labels = 120;
    for (const auto& row : defs.startGrid.cells)
        labels = qMax(labels, fm.horizontalAdvance(row[0]) + 12);
    StGStart->setColumnWidth(0, labels);
    StGStart->horizontalHeader()->setStretchLastSection(true);
}

void TMainForm::EnableButtons(bool nextAction, bool priorAction, bool priorButton, bool cancel)
{
    act("ALNext")->setEnabled(nextAction);
    act("ALPrior")->setEnabled(priorAction);
    // The button stays usable at step 0, where the action is off.
    if (auto* b = findChild<QWidget*>(QStringLiteral("BTPrior"))) b->setEnabled(priorButton);
    if (auto* b = findChild<QWidget*>(QStringLiteral("BTTestCancel"))) b->setEnabled(cancel);
    act("ALCancel")->setEnabled(cancel);
}

QLineEdit* TMainForm::EntryEdit(Entry entry) const
{
    const char* name = nullptr;
    switch (entry) {
    case Entry::SerialNo:
        return EditSN;
    case Entry::Comment:
        return EditComment;
    case Entry::Tester:
        name = "ETTester";
        break;
    case Entry::BatchNo:
        name = "ETBatchNo";
        break;
    case Entry::BatchComment:
        name = "ETBatchComment";
        break;
    case Entry::TechIndex:
        name = "ETTechIndex";
        break;
    case Entry::ManuYear:
        name = "ETManuYear";
        break;
    }
    return findChild<QLineEdit*>(QLatin1String(name));
}

void TMainForm::ShowEntry(Entry entry, bool shown)
{
    QLineEdit* e = EntryEdit(entry);
    if (!e) return;
    e->setVisible(shown);
    if (auto* labeled = qobject_cast<LabeledEdit*>(e)) labeled->EditLabel()->setVisible(shown);
}

void TMainForm::PrefillEntries()
{
    // A definition's placeholders show what to enter, greyed, with the field itself empty: a
    // placeholder is never taken for an entry.
    const prodtest::OperatorEntries& pre = station_->testDefinitions().entries;
    const std::pair<Entry, const QString*> fields[] = {{Entry::Tester, &pre.tester},
                                                       {Entry::BatchNo, &pre.batchNo},
                                                       {Entry::BatchComment, &pre.batchComment},
                                                       {Entry::TechIndex, &pre.techIndex},
                                                       {Entry::ManuYear, &pre.manuYear}};
    for (const auto& [entry, text] : fields)
        if (QLineEdit* e = EntryEdit(entry)) {
            if (e->text() == e->placeholderText()) e->clear();
            e->setPlaceholderText(*text);
        }
}

void TMainForm::ShowEntryPanel(bool shown)
{
    if (auto* p = findChild<QWidget*>(QStringLiteral("PanelTest"))) p->setVisible(shown);
}

QString TMainForm::EntryText(Entry entry)
{
    QLineEdit* e = EntryEdit(entry);
    return e ? e->text() : QString();
}

void TMainForm::SetEntryText(Entry entry, const QString& text)
{
    if (QLineEdit* e = EntryEdit(entry)) e->setText(text);
}

void TMainForm::HideEntries()
{
    EditSN->hide();
    EditComment->hide();
    if (auto* p = findChild<QWidget*>(QStringLiteral("PanelTest"))) p->hide();
    // The shield judgement belongs to its step alone: ZURÜCK, ABBRECHEN or the next unit show
    // the panel again without it.
    for (const char* name : {"RBShieldOK", "RBShieldNOK"})
        if (auto* b = findChild<QWidget*>(QLatin1String(name))) b->hide();
}

void TMainForm::ShowResultList(const QStringList& lines)
{
    if (auto* list = findChild<QListWidget*>(QStringLiteral("LBxMV"))) {
        list->clear();
        list->addItems(lines);
    }
}

void TMainForm::ShowTestValues(const QStringList& captions, bool errorRed)
{
    static const char* const names[] = {"LTestSum",  "LTestQVROut",  "LTestQVROutMax", "LTestAmpl",
                                        "LTestGain", "LTestErrCode", "LTestVersion"};
    for (int i = 0; i < 7 && i < captions.size(); ++i)
        if (auto* l = findChild<QLabel*>(QLatin1String(names[i]))) l->setText(captions[i]);
    if (auto* l = findChild<QLabel*>(QStringLiteral("LTestErrCode")))
        l->setStyleSheet(errorRed ? QStringLiteral("color: red;") : QStringLiteral("color: black;"));
}

void TMainForm::ResultGridChanged(int row)
{
    const prodtest::ResultGrid& g = station_->testResults().grid;
    for (int c = 0; c < prodtest::ResultGrid::kColumns; ++c)
        StGMV->setColumnWidth(c, g.widths[size_t(c)]);
    // The written row's cell in column 1 is selected, as after a clear row 1's.
    const int r = row >= 1 ? row : 1;
    StGMV->setCurrentIndex(StGMV->model()->index(r - 1, 1));
    // Down to the row, but from its first column.
    StGMV->scrollTo(StGMV->model()->index(r - 1, 0));
}

bool TMainForm::AskReportFile(QString& name)
{
    name = AskFileName("SaveDialog1", true, name, true);
    return !name.isEmpty();
}

bool TMainForm::AskRecordFile(QString& name)
{
    name = AskFileName("SaveDialog2", true, name, false);
    return !name.isEmpty();
}

} // namespace vmx::ui
