#pragma once

#include "app/Clock.h"
#include "app/Host.h"
#include "app/MonitorConfig.h"
#include "app/Session.h"
#include "history/HistoryRecords.h"
#include "history/Statistics.h"
#include "monitor/DiagramRenderer.h"
#include "station/Station.h"
#include "ui/MonitorOptions.h"

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QChart;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDialog;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class QTableWidget;
class QTableView;
class QTimer;
class QTranslator;
class QWidget;

namespace vmx::ui {

class LabeledEdit;
class THelpWindow;
class TPaintBox;
class TPWForm;
class TStateForm;
class TSimulatorPanel;

// One link as the Interface menu lists it.
// What the window takes from outside besides the command line. Tests replace the clock, the
// message boxes and the desktop's opener; the link layer supplies the enumeration.
struct MainFormEnv {
    app::Clock* clock = nullptr; // nullptr: the window's own real-time clock
    // Answers a question instead of a message box.
    std::function<app::AskResult(app::AskIcon, app::AskButtons, const QString& text, const QString& caption)>
        ask;
    // Opens a document instead of the desktop's opener; false when it could not.
    std::function<bool(const QUrl&)> openUrl;
    // Which links exist; unset: the system's serial ports and converters plus what the
    // command line adds (--port PATH, --simulate).
    std::optional<link::LinkOptions> linkOptions;
    // Asks for a file name instead of a file dialog (title, Qt filter, save, preset); an empty
    // answer is Cancel.
    std::function<QString(const QString& title, const QString& filter, bool save, const QString& preset)>
        fileName;
    // Answers a file dialog (its object name, e.g. "OpenHexFile") with a file name, empty for
    // Cancel, instead of showing it.
    std::function<QString(const QString& dialog, const QString& initial)> pickFile;
};

// The main window: pages, menus, actions, status bar; implements Host with Qt. It builds the
// station (the program's core) and shows what the station tells it.
class TMainForm : public QMainWindow,
                  public app::Host,
                  private station::StationView,
                  private prodtest::OperatorPanel {
    Q_OBJECT
public:
    explicit TMainForm(const MonitorOptions& options, MainFormEnv env = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    app::Session& session() { return *session_; }
    station::Station& station() { return *station_; }
    const MonitorOptions& options() const { return options_; }
    TStateForm* StateForm() const { return stateForm_; }
    TPWForm* PWForm() const { return pwForm_; }
    // The "Simulator" dock; null without a simulated bench.
    TSimulatorPanel* SimulatorPanel() const { return simPanel_; }
    // The program's own help window; null until the manual was shown there.
    THelpWindow* HelpWindow() const { return helpWindow_; }
    // The manual in the current language (Doc/HelpOverviewD.htm or ...E.htm).
    QString HelpDocumentFile() const;
    void ShowHelpWindow();

    // Host
    void PanelText(int panel, const QString& text) override;
    void ShowLComment(app::CommentColour colour, const QString& text) override;
    app::AskResult Ask(app::AskIcon icon, app::AskButtons buttons, const QString& text,
                       const QString& caption = QString()) override;
    void Wait(int ms) override;
    void ProcessMessages() override;
    void Beep() override;
    void SetClipboardText(const QString& text) override;
    QString ClipboardText() override;
    void SetBusy(bool busy) override;
    void Progress(qint64 done, qint64 total) override;

    QString PanelTextOf(int panel) const;
    // The message box Ask shows (not yet shown): icon, texts and the standard buttons.
    std::unique_ptr<QMessageBox> QuestionBox(app::AskIcon icon, app::AskButtons buttons, const QString& text,
                                             const QString& caption = QString());

    // Captions and language
    void UpdateCaptions();
    void ApplyLanguage(int language); // as the language menu does

    // Sensor type and version menu
    void CreateTypeMenu();
    void TestValidVersion();
    void MIVersionUnchecked();
    void UpdateVersion();
    QAction* CheckedVersionItem() const;
    QList<QAction*> VersionItems() const { return versionItems_; }

    // Link. Until the link layer is wired these find no link.
    QString portName() const { return portName_; }
    void Reset_COM_USB();
    void ComXChanged();
    void ForceRTS(int state);
    bool SwitchSerialIF(int type);

    // Measurements
    void ResetValues();
    app::DataOverflow DataOverflowPolicy() const;
    bool BeeperOn() const;
    bool WithAck() const;
    bool WithAnswer() const;
    bool WithFrameCRC() const;
    // Power cycle before sensor access when automatic power is on.
    bool SetPowerAutomatically();
    const monitor::DiagramRenderer& diagram() const { return diagram_; }
    void DrawBitmapSchedule();
    void DrawDiagram();
    void Timer2Timer();
    void ScrollBarChange(int position);
    void StGReadSelectCell(int row);
    void PBMouseMove(int x);

    // The chart paused, zoomed, panned or scrolled back into a recording (MainFormChart.cpp).
    const monitor::ChartView& chartView() const { return chartView_; }
    void ALPauseExecute();  // pauses, or follows when paused
    void ALFollowExecute(); // back to the newest sample, keeping up
    void ChartReset();      // the default view
    // The wheel at pixel x of the chart: time zoom around x, with Shift the values' zoom.
    void ChartWheel(int x, int delta, bool shift);
    // The chart's keys (arrows left/right pan, up/down zoom the values, +/- the time, Home,
    // End); false when the key is not one of them.
    bool ChartKey(int key, Qt::KeyboardModifiers mods);
    // Scroll-back reads this recording (a folder of recording files, or one file).
    bool OpenRecording(const QString& folderOrFile);
    void CloseRecording();
    const monitor::RecordingIndex& recording() const { return recording_; }
    // The absolute sample index of store slot 0 (the recording's index of it).
    void SetStoreBase(std::int64_t base);
    // Vertical lines on the chart at these absolute sample indices.
    void SetMarks(std::vector<std::int64_t> marks);
    // The samples in sight into a text file or a workbook; an empty name asks for one.
    bool ExportVisible(bool workbook, const QString& fileName = QString());
    // The first and last sample in sight (absolute indices).
    std::pair<std::int64_t, std::int64_t> VisibleRange() const;
    QMenu* ChartMenu();

    // Parameter editor
    void EditChange(QObject* sender);
    int EditChangeCount() const { return editChangeCount_; }
    void UpdateDialog();
    void SetStandardValues();
    void TestFocusChanged();
    // Edit mask of a gain-test cell ("000;0" for the values, none for the headings).
    QString StGainTestGetEditMask(int col, int row) const;
    void StGainTestSelectCell();
    void StGCalSelectCell();

    // Boot loader, memory images, HEX and ABS files, download (MainFormBoot.cpp)
    bool DownLoad();
    void UpdateBootPage();
    QProgressBar* TransferProgress() const { return progress_; }

    // Production test
    void BTNextSetFocus();
    void DeleteStGMV();
    void ScanTestIniFile();
    int TestStep = 0;

    // True while a transfer (boot loader, parameters, identification, module, file import)
    // runs; a click meanwhile is refused.
    bool TransferRunning() const { return transferring_; }
    // The status text of such a refused click, in the current language.
    QString TransferBusyText() const;

    // The paint box's size.
    static constexpr int kDiagramWidth = 740;
    static constexpr int kDiagramHeight = 521;

    // Drives the trigger dialog before it is shown (tests); unset: the user does.
    std::function<void(QDialog&)> triggerDialogHook;

Q_SIGNALS:
    void editChanged(QObject* sender);
    // The trigger marked the sample of this absolute index (the chart draws its marks).
    void triggerMarked(qint64 index);

public Q_SLOTS:
    // Shell
    void ALEndExecute();
    void ALShowMonitorExecute();
    void ALSetModeExecute();
    void MITestClick();
    void MIChangeModeClick();
    void MIOptMessageWindowClick();
    void MIBeepClick();
    void BTStGridHelpClick();
    void MIHelpDocClick();
    void MILClick(QObject* sender);
    void MISubVersionClick(QAction* item);
    void MIDrawDiaClick(QAction* item);
    void MIDataOverflowClick(QAction* item);
    void MIBootMode();
    void JmpDownloadClick();
    // Link
    void NewComX(QAction* item);
    void ALResetUSBExecute();
    void ALSwitchRTSExecute();
    void RBTK_IFClick(QObject* sender);
    // Acquisition, commands, parameters, identification (filled in by their subsystems)
    void ALStartExecute();
    void ALStopExecute();
    void ALClearExecute();
    void ALQVRResetExecute();
    void ALSetConfigExecute();
    void ALSetLEDExecute();
    void ALBubbleTestExecute();
    void ALAmplDecExecute();
    void ALPowerOnExecute();
    void ALSwitchIFExecute();
    void ALGetIdentExecute();
    void ALSetIdSNExecute();
    void BTStartServiceClick();
    void BTSetGainTestClick();
    void ChBPowerOnAutoSetMouseUp();
    void ALReadParameterExecute();
    void ALWriteParameterExecute();
    void ALVerifyParameterExecute();
    void ALSetStandardExecute();
    void BTSOpenParameterFileClick();
    void BTSSaveParameterFileClick();
    void SetCfgLED_Out(QObject* sender);
    void BTIdClearSNClick();
    void BTIdGetCalClick();
    void BTIdSetCalClick();
    void BTIdClearCalClick();
    // Export and import
    void MIExportExcelClick();
    void MIExportTextClick();
    void MIImportExcelClick();
    void MIImportTextClick();
    // Event search (test page)
    void BTTEventSearchClick();
    void ETEventClipClick();
    void BTTEventSearchFileClick();
    // Recording, trigger, replay (MainFormRecording.cpp)
    void MIRecordStartClick();
    void MIRecordStopClick();
    void MITriggerClick();
    void MIReplayClick(int speed);
    // Boot loader
    void BTBootStartClick();
    void BTBootResetClick();
    void BTBootPingClick();
    void BTBootIdentClick();
    void BTBootMemEraseClick();
    void BTBootMemReadClick();
    void BTBootMemWriteClick();
    void BTBootMemVerifyClick();
    void BTBootHexImportClick();
    void BTBootHexExportClick();
    void BTBootABSImportClick();
    void BTDownloadClick();
    void RBMemClick();
    void RBMCUTypeClick(QRadioButton* button);
    void EditBootAddrExit(QLineEdit* edit);
    // Production test
    void ALNextExecute();
    void ALPriorExecute();
    void ALCancelExecute();
    void ALTestSaveExecute();
    void BTTestClearMeasClick();
    void CBTypeTestChange();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // One transfer at a time. A transfer pumps events while it waits, so a click on another
    // transfer button would start that one inside it; such a click is ignored and says so.
    class TransferLock {
    public:
        explicit TransferLock(TMainForm& form);
        ~TransferLock();
        TransferLock(const TransferLock&) = delete;
        TransferLock& operator=(const TransferLock&) = delete;
        explicit operator bool() const { return owner_; }

    private:
        TMainForm& form_;
        bool owner_;
    };
    bool transferring_ = false;
    // While a transfer or a production step runs, nothing that changes the unit's context may
    // be used: the test definition, the version, the mode, the language, the link and the
    // entries that start a transfer of their own. Their enabled states are kept and restored.
    void LockContext(bool locked);
    std::vector<std::pair<QPointer<QObject>, bool>> lockedContext_;
    // The two import buttons without the lock: the download asks through them itself.
    void HexImport();
    void AbsImport();
    // Whether "Start Boot" started the sensor's boot loader since its last restart or transfer.
    bool bootStarted_ = false;
    void SayStartBootFirst(bool ok);

    // StationView: what the core tells the window.
    void AcquisitionChanged() override;
    void TimerIntervalChanged(int ms) override;
    void Redraw() override { DrawDiagram(); }
    void Follow(int storeIndex) override;
    void PagesChanged() override { UpdateDialog(); }
    void BootPageChanged() override { UpdateBootPage(); }
    void DeviceStateChanged(DeviceField field) override;
    void LinkChanged(LinkField field) override;
    void TypeApplied(int row) override { ApplyIdentifiedType(row); }
    void CommitEdit() override { TestFocusChanged(); }
    void ShowIdentPage() override;
    bool PickDownloadFile(bool abs) override;
    void ModuleChanged() override;
    void RecordingChanged() override;
    void ReplayChanged() override;
    void TriggerMarked(qint64 index) override;
    void CreateRecordingMenu(QMenu* meas);
    void CreateReplayMenu(QMenu* file);
    void ShowRecordingTexts();
    void ShowRecordingStatus();
    QString RecordingTextOf(int text) const;
    void ShowEventGrid(const std::vector<QStringList>& rows);
    QLabel* recordLabel_ = nullptr;
    QString recordStatus_;
    // OperatorPanel: what the run controller does to the measuring page.
    void EnableButtons(bool nextAction, bool priorAction, bool priorButton, bool cancel) override;
    void HideEntries() override;
    void FocusNext() override { BTNextSetFocus(); }
    void ShowEntry(Entry entry, bool shown) override;
    void ShowEntryPanel(bool shown) override;
    QString EntryText(Entry entry) override;
    void SetEntryText(Entry entry, const QString& text) override;
    void StartGridChanged() override { ShowTestDefinitions(); }
    void ShowResultList(const QStringList& lines) override;
    void ShowTestValues(const QStringList& captions, bool errorRed) override;
    void ResultGridChanged(int row) override;
    bool AskReportFile(QString& name) override;
    bool AskRecordFile(QString& name) override;
    // The shield judgement (MainFormSteps.cpp).
    void ShowShieldChoice(bool shown) override;
    bool ShieldTooHigh() override;
    // The operator's view of the run (MainFormOperator.cpp): the verdict banner, the step
    // count, the hints after a failure, the judged live value, the refused entry's focus.
    void ShowVerdict(const Verdict& verdict) override;
    void ShowStepProgress(int step, int last) override;
    void ShowHint(Hint hint) override;
    void MarkJudgedValue(int field, const QString& limits) override;
    void FocusEntry(Entry entry) override;
    // The banner, the step count and the hints again in the current language.
    void ShowOperatorTexts();
    // Enter in the serial number or another entry of the measuring page: a scanned serial
    // number starts the unit at step 0; a corrected refused entry is taken again.
    void EntryReturnPressed();
    QWidget* CreateVerdictBanner(QWidget* parent);
    Verdict verdict_;
    Hint hint_ = Hint::None;
    int progressStep_ = 0, progressLast_ = 0;
    QLineEdit* EntryEdit(Entry entry) const;
    void PrefillEntries();
    // The start grid and the combo box show the test definitions again.
    void ShowTestDefinitions();

    // The test-module page (MainFormModule.cpp): its actions, groups and their state.
    void CreateModuleActions();
    void FillModulePage(QWidget* page, QGridLayout* layout);
    // A module operation from a button: hourglass around it, the page shown again after.
    void ModuleRun(const std::function<bool()>& op);

    // Building (MainFormMenus.cpp, MainFormPages.cpp)
    void CreateActions();
    void CreateMenus();
    void CreatePages();
    QWidget* CreateMonitorPage();
    QWidget* CreateTablePage();
    QWidget* CreateIdentPage();
    QWidget* CreateSettingsPage();
    QWidget* CreateSettingsPage1();
    QWidget* CreateSettingsPage2();
    QWidget* CreateSettingsPage3();
    QWidget* CreateBootPage();
    QWidget* CreateTestPage();
    QWidget* CreateBubbleTab(QWidget* parent);
    QWidget* CreateEventPage();
    // The unit history page "Historie" (MainFormHistory.cpp): a search, one page of runs at a
    // time, the chosen run's steps and measurements, the unit's service events.
    QWidget* CreateHistoryPage();
    void HistorySearch(int page);
    void HistoryShowRun(int row);
    void HistoryShowPage(int page, std::vector<history::RunRow> rows, bool ownView);
    void HistoryPageLabel(QLabel* label, bool english);
    void HistoryShowDetails(const std::vector<history::StepAttempt>& attempts,
                            const std::vector<history::ServiceEvent>& serviceEvents);
    void HistoryCaptions();
    int historyPage_ = 0;
    std::vector<history::RunRow> historyRuns_;
    // The production statistics page "Statistik" (MainFormStatistics.cpp): a filter, four
    // charts with their numbers; a click on a histogram bin lists the runs behind it.
    QWidget* CreateStatisticsPage();
    void StatisticsShow();
    void StatisticsCaptions();
    void StatisticsChart(const char* view, QChart* chart);
    void StatisticsListRuns(int bin);
    void StatisticsListFailing(int bar);
    // A run listed on the Statistik page, opened on the Historie page.
    void StatisticsOpenRun(int row);
    // By the chosen name's end: the four charts as NAME-yield.png|svg, ..., their tables as
    // NAME-yield.csv, ... or as one workbook NAME.xlsx.
    // Every chart and table, or the one `part` (yield, pareto, histogram, run) alone.
    void StatisticsExport(const QString& part = QString());
    history::ItemStats statisticsItem_;
    history::Filter statisticsFilter_;
    std::vector<history::ParetoRow> statisticsPareto_;
    bool historyOwnView_ = false; // the page was read from this station's store, not the server
    int historyTicket_ = 0;       // the latest read asked for; older answers are dropped
    // The file name from the named file dialog; empty on Cancel.
    QString AskFileName(const char* dialog, bool save, const QString& preset, bool workbook);
    QString lastExcelName_, lastTextName_; // kept while the program runs
    void CreateStatusBar();
    void CreateFileDialogs();
    void DrawBitButtons();
    QAction* NewAction(const char* name, void (TMainForm::*slot)());
    QAction* NewItem(QMenu* menu, const char* name);
    QAction* MirrorItem(QMenu* menu, const char* name, QAction* action, bool followText);
    QLineEdit* ParamEdit(QWidget* parent, const char* name);
    LabeledEdit* ParamLabeledEdit(QWidget* parent, const char* name);
    QComboBox* ParamCombo(QWidget* parent, const char* name);
    QCheckBox* ParamCheck(QWidget* parent, const char* name, const QString& text = QString());

    // Start sequence pieces (MainForm.cpp)
    void FormCreate();
    void ApplyConfigToMenus();
    void ImportStartParameterFile();
    bool ImportHexParameter(const QString& fileName);
    bool OpenTempFile();
    void InitGainTestGrid();
    void InitTestPage();
    // --simulate=station: the test page ready for the first unit (MainFormOperator.cpp).
    void StartStationProfile();
    void InitBootState();
    int BootChannel() const;
    QString PickFile(const char* dialog, const QString& title, const QString& filter, bool save,
                     const QString& initial);
    void ShowBanner();
    void CloseLink();
    void CreateLink();
    void RebuildLinkMenu();

    // Captions (MainFormCaptions.cpp)
    // Qt's own texts (standard buttons, file dialogs, key names) in the program's language:
    // the toolkit's German catalogue while German is active, its built-in English otherwise.
    void ApplyQtCatalogue();
    QTranslator* qtCatalogue_ = nullptr;
    int qtCatalogueLanguage_ = -1;
    void ApplyCaption(QObject* o, int prop, const QString& text);
    void ApplySpecialCaptions();
    void UpdateMenuCaption(QAction* item, const QString& caption);

    // Helpers
    QObject* Named(const char* name) const;
    void SetEnabledNamed(const char* name, bool on) const;
    void SetShownNamed(const char* name, bool on) const;
    QString Msg(int index) const { return session_->Msg(index); }
    void UpdateLEDControls();
    void ShowPowerAuto();
    int SerialModeIndex() const;
    sensor::LedBits LedFromBoxes() const;
    int BubbleTestTime() const;
    bool WithCalibrationInFile() const; // ChBIdExImCal
    // Parameter editor pieces (MainFormParams.cpp, MainFormIdent.cpp)
    bool EditChangeParameter(QObject* sender);
    bool EditChangeIdent(QObject* sender);
    void UpdateParameterPages();
    void UpdatePanels();
    void UpdateIdentPage();
    void InitBubbleTabEditors();

    MonitorOptions options_;
    MainFormEnv env_;
    std::unique_ptr<app::Clock> ownClock_;
    app::Clock* clock_ = nullptr;
    std::unique_ptr<app::Session> session_;
    std::unique_ptr<station::Station> station_;
    monitor::DiagramRenderer diagram_;
    bool drawingGuard_ = true; // the program itself moves the scroll bar and the selection
    monitor::ChartView chartView_;
    monitor::RecordingIndex recording_;
    // The first file of the recording being written, until the chart has opened it.
    QString livePending_;
    QString liveFirst_; // of the last recording the chart followed
    void FollowLiveRecording();
    std::int64_t storeBase_ = 0;
    monitor::ChartSource ChartData();
    bool ChartEvent(QEvent* e);
    void ChartCaptions();
    void ChartChanged(); // redraw and the buttons' states
    double dragX_ = -1;  // where the last drag step ended; -1: no drag
    QMenu* chartMenu_ = nullptr;
    void CreateAcquisition();
    TStateForm* stateForm_ = nullptr;
    TPWForm* pwForm_ = nullptr;
    TSimulatorPanel* simPanel_ = nullptr;
    THelpWindow* helpWindow_ = nullptr;
    void CreateSimulatorPanel();
    QProgressBar* progress_ = nullptr;

    // Main-window state (the program's own state lives in the station)
    int testSelection_[2] = {-1, -1};
    int editChangeCount_ = 0;
    bool updatingDialog_ = false; // refilling the controls must not count as an edit
    void ApplyIdentifiedType(int row);
    QString AskFileName(const char* dialog, const QString& preset, bool save);
    bool closing_ = false;

    // Link state
    QString portName_ = QStringLiteral("nix");
    bool enumerating_ = false;

    // Widgets the code itself works with; everything else is found by its name.
    QTabWidget* PC1 = nullptr;
    QTabWidget* PCSet = nullptr;
    QTabWidget* PCTest = nullptr;
    QWidget* TSMonitor = nullptr;
    QWidget* TSTable = nullptr;
    QWidget* TSIdent = nullptr;
    QWidget* TSSET = nullptr;
    QWidget* TSBoot = nullptr;
    QWidget* TSTest = nullptr;
    QWidget* TSSet1 = nullptr;
    QWidget* TSSet2 = nullptr;
    QWidget* TSSet3 = nullptr;
    TPaintBox* PB = nullptr;
    QScrollBar* ScrollBar = nullptr;
    QPlainTextEdit* MemoHelp = nullptr;
    QComboBox* CBMeasTime = nullptr;
    QTableWidget* StGainTest = nullptr;
    QTableWidget* StGCal = nullptr;
    QTableView* StGMV = nullptr; // over the results' grid model
    QTableWidget* StGStart = nullptr;
    QWidget* PBubbleTab = nullptr;
    QLabel* LComment = nullptr;
    QLineEdit* EditSN = nullptr;
    QLineEdit* EditComment = nullptr;
    QTimer* Timer2 = nullptr;
    QLabel* panels_[3] = {nullptr, nullptr, nullptr};

    // Actions and the menu items the code refers to
    QHash<QString, QAction*> actions_;
    QAction* act(const char* name) const { return actions_.value(QLatin1String(name)); }
    QMenu* MIVersion = nullptr;
    QMenu* MIInterfaceSelect = nullptr;
    QActionGroup* versionGroup_ = nullptr;
    QActionGroup* linkGroup_ = nullptr;
    QList<QAction*> versionItems_;
    QList<QAction*> drawDiaItems_;
    QAction* MILDt = nullptr;
    QAction* MILEn = nullptr;
    QAction* MIBanner = nullptr;
    QAction* MIBeep = nullptr;
    QAction* MIOptMessageWindow = nullptr;
    QAction* MIDataOvfStop = nullptr;
    QAction* MIDataOvfRollOver = nullptr;
    QAction* MIDataOvfRestart = nullptr;
    QAction* MIWithACK = nullptr;
    QAction* MIWithAnswer = nullptr;
    QAction* MIWithFrameCRC = nullptr;
    QList<QAction*> mirroredItems_;
};

} // namespace vmx::ui
