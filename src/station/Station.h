#pragma once
// The composition root: one object that owns the program's core (link, store and table,
// acquisition, memory images, boot loader, HEX, download, parameter blocks, device commands,
// parameter transfer and file, identification) and wires every hook between them exactly once.
// The window, vmxctl and the integration tests all build on it; nothing else wires subsystems.

#include "app/MonitorConfig.h"
#include "boot/BootLoader.h"
#include "boot/Download.h"
#include "boot/HexImage.h"
#include "boot/MemoryImages.h"
#include "link/Link.h"
#include "monitor/Acquisition.h"
#include "monitor/MeasFiles.h"
#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"
#include "monitor/Recording.h"
#include "monitor/Replay.h"
#include "monitor/Trigger.h"
#include "prodtest/IdentitySteps.h"
#include "prodtest/MeasurementSteps.h"
#include "prodtest/StepContext.h"
#include "prodtest/TestDefinitions.h"
#include "prodtest/TestResults.h"
#include "prodtest/TestRun.h"
#include "sensor/DeviceCommands.h"
#include "sensor/Identification.h"
#include "sensor/ParameterBlock.h"
#include "sensor/ParameterFile.h"
#include "sensor/ParameterTransfer.h"
#include "station/StationHistory.h"
#include "testmodule/C2Programmer.h"
#include "testmodule/ModuleRecord.h"
#include "testmodule/PicProgrammer.h"
#include "testmodule/TestModule.h"
#include "testmodule/TestModuleFirmware.h"

#include <QString>

#include <memory>
#include <utility>

namespace vmx::app {
class Session;
}

namespace vmx::station {

// What a front end is told. Every method has an empty default, so vmxctl and the tests
// implement only what they watch; the window implements them by refreshing its controls.
class StationView {
public:
    virtual ~StationView() = default;
    // START/STOP enabling or the stopped state changed (read StartEnabled/StopEnabled).
    virtual void AcquisitionChanged() {}
    // The acquisition's timer is to run at this interval.
    virtual void TimerIntervalChanged(int ms) { (void)ms; }
    // The diagram is to be redrawn.
    virtual void Redraw() {}
    // The views follow the store's newest sample.
    virtual void Follow(int storeIndex) { (void)storeIndex; }
    // A decoded sample went into the store and the table.
    virtual void NewSample(const monitor::MeasSample& sample) { (void)sample; }
    // A stored sample with its absolute index (counted from the recording's start, or the
    // recorded index of a replayed one); `shortRow`: only the first four cells are filled.
    virtual void SampleRecorded(qint64 index, const monitor::MeasSample& sample, bool shortRow)
    {
        (void)index;
        (void)sample;
        (void)shortRow;
    }
    // The recording started, stopped or failed (read recording()).
    virtual void RecordingChanged() {}
    // The trigger marked the sample of this absolute index (for the chart's marks).
    virtual void TriggerMarked(qint64 index) { (void)index; }
    // A replay started or ended (read Replaying()).
    virtual void ReplayChanged() {}
    // Each byte-level operation of the link (see link::Link::Events::LinkIo), for benches.
    virtual void LinkIo(char op, int n)
    {
        (void)op;
        (void)n;
    }
    // The production test runs a step (routine empty: a listed empty one, or past the table).
    virtual void StepStarted(int step, const QString& routine)
    {
        (void)step;
        (void)routine;
    }
    // The parameter and identification pages show the blocks again.
    virtual void PagesChanged() {}
    // The boot page shows images, ranges and MCU again.
    virtual void BootPageChanged() {}
    // One field of DeviceState (or the automatic-power flag) changed.
    enum class DeviceField { PowerGlyph, PowerAction, ColourBoxes, Channel, SerialMode, PowerAutomatic };
    virtual void DeviceStateChanged(DeviceField field) { (void)field; }
    // The link menu, the RTS routing or the test module's serial-interface switch changed
    // (read them from link(), the interface from testModule()).
    enum class LinkField { Menu, Routing, SerialInterface };
    virtual void LinkChanged(LinkField field) { (void)field; }
    // An identification made a catalogue row the current type (the session already has it).
    virtual void TypeApplied(int row) { (void)row; }
    // A pending edit of the pages is to be committed before a transfer.
    virtual void CommitEdit() {}
    // A control of the test-module page (checks, captions, fonts, LEDs, PIC edits) changed.
    virtual void ModuleChanged() {}
    // The identification page is to be shown (after an identification).
    virtual void ShowIdentPage() {}
    // The download found no remembered file name: ask for one (ABS or HEX) and set it on
    // download(); false ends the download. Without a view there is nobody to ask.
    virtual bool PickDownloadFile(bool abs)
    {
        (void)abs;
        return false;
    }
};

// The program's state that is not a widget's: the window's controls show it and write it.
struct StationSettings {
    int refreshDivisor = 10;   // redraw every N samples (menu "Diagramm")
    int maxBubble = 250;       // diagram scale (EMaxBubble)
    int bubbleThreshold = 240; // alarm band (ENThr)
    int bubbleTestTime = sensor::DeviceCommands::kDefaultBubbleTestTime;  // EBubbleTestTime
    int amplControlTime = sensor::DeviceCommands::kDefaultAdjustingSpeed; // EAmplDecTemp
    int gainTestIndex = sensor::DeviceCommands::kGainAuto;                // CBGainTest
    int outputConfigKind = 0;                                             // 3: every sample redraws
    int measIntervalMs = 1000; // polled mode's interval (CBMeasTime)
    bool beeper = false;       // "Pieper"
    sensor::LedBits led;       // CBLEDgreen / red / blue / auto
    app::DataOverflow overflow = app::DataOverflow::Stop;
};

// What the device commands left for the window to show.
struct DeviceState {
    bool powerGlyphOn = true;                        // BTPowerOn / BTPowerOn2 glyph
    bool powerActionChecked = true;                  // ALPowerOn
    bool colourBoxesEnabled = true;                  // CBLEDgreen / red / blue
    QString channelCaption = QStringLiteral("CH 1"); // ALSwitchIF
    int serialModeIndex = -1;                        // CBMSerialMode to select; -1: leave it
};

class Station : private sensor::DeviceCommands::Events,
                private link::Link::Events,
                private monitor::Acquisition::Hooks,
                private monitor::MeasFiles::Events,
                private sensor::ParameterTransfer::Hooks,
                private sensor::Identification::Hooks,
                private sensor::ParameterFile::Hooks,
                private boot::BootLoader::Hooks,
                private boot::Download::Hooks,
                private testmodule::TestModule::Hooks,
                private prodtest::TestDefinitions::Hooks,
                private prodtest::TestResults::Hooks,
                private prodtest::TestRun::Hooks,
                private prodtest::StepContext::Hooks {
public:
    // The link is built from `links` (nothing is enumerated yet: call OpenLink or
    // link().Reset_COM_USB()).
    Station(app::Session& session, const link::LinkOptions& links);
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    void SetView(StationView* view) { view_ = view; }

    // --- the parts ---------------------------------------------------------------------------
    app::Session& session() { return session_; }
    link::Link& link() { return *link_; }
    monitor::MeasurementStore& store() { return store_; }
    monitor::MeasTableModel& table() { return *table_; }
    monitor::Acquisition& acquisition() { return *acq_; }
    boot::MemoryImages& images() { return images_; }
    boot::BootLoader& bootLoader() { return *boot_; }
    boot::HexImage& hex() { return *hex_; }
    boot::Download& download() { return *download_; }
    sensor::ParameterBlocks& params() { return params_; }
    sensor::DeviceCommands& devices() { return *devices_; }
    sensor::ParameterTransfer& transfer() { return *transfer_; }
    sensor::ParameterFile& parameterFile() { return *parFile_; }
    sensor::Identification& identification() { return *ident_; }
    testmodule::TestModule& testModule() { return *module_; }
    testmodule::C2Programmer& c2() { return *c2_; }
    testmodule::PicProgrammer& pic() { return *pic_; }
    testmodule::TestModuleFirmware& moduleFirmware() { return *tmfw_; }
    // What the test-module steps leave for the production test's record.
    testmodule::ModuleRecord& moduleRecord() { return moduleRecord_; }
    // The test definitions of TEST.INI in the program folder.
    prodtest::TestDefinitions& testDefinitions() { return *defs_; }
    // The results of the production test: result list, grid, record file, report.
    prodtest::TestResults& testResults() { return *results_; }
    // The run controller of the production test; the test-module steps signal it.
    prodtest::TestRun& testRun() { return *run_; }
    // What the measuring and identity steps share (the sample they judge), and the steps.
    prodtest::StepContext& stepContext() { return *stepContext_; }
    prodtest::MeasurementSteps& measurementSteps() { return *measSteps_; }
    prodtest::IdentitySteps& identitySteps() { return *identSteps_; }
    // The unit history: the run controller reports each unit to it, the service actions below
    // record themselves in it once it is open (OpenHistory).
    StationHistory& history() { return *history_; }
    // Opens the history of `url` (empty: the default in `dataDir`, the folder of the record
    // files) as station `name` (empty: the host name).
    bool OpenHistory(const QString& url, const QString& dataDir, const QString& name, QString* why)
    {
        return history_->Open(url, dataDir, name, why);
    }
    // The operator's page the production test shows itself on (null: none).
    void SetOperatorPanel(prodtest::OperatorPanel* panel);

    StationSettings settings;
    // On the simulated bench the operator's hands do what the production test's prompts ask
    // (the Simulator dock's "operator follows the prompts", vmxctl and the tests).
    bool simulatedOperator = false;
    const DeviceState& deviceState() const { return device_; }
    // The serial-mode index the identification asked for has been shown.
    void SerialModeIndexShown() { device_.serialModeIndex = -1; }
    // The download selected the code flash; true once, for the boot page's refresh.
    bool TakeCodeFlashSelected() { return std::exchange(codeFlashSelected_, false); }

    // --- start --------------------------------------------------------------------------------
    // As the program does at start: enumerate the links and open the preferred one (or `port`:
    // a menu caption or a device path), the protocol switches from MONITOR.INI, the line of a
    // test module to the sensor. False when the chosen link did not open.
    bool OpenLink(const QString& port = QString());
    // The menu switches MONITOR.INI gives that the core keeps (overflow, beeper, divisor,
    // automatic power, protocol switches).
    void ApplyConfig(const app::MonitorConfig& config);
    // The standard set, with MONITOR.INI's parameter file on top, into the edit block.
    bool LoadStartParameters();

    // --- acquisition --------------------------------------------------------------------------
    void Start();
    // The program's own stop (before a transfer, a command or a step): quiet when idle.
    void Stop();
    // The user's STOP: says "Abbruch" as it always did.
    void UserStop();
    // What an export or import of the measurement table tells the station (pass it to
    // monitor::MeasFiles): an import clears the store, the table and the diagram first, and the
    // views follow its last sample.
    monitor::MeasFiles::Events& measFileEvents() { return *this; }
    // One timer tick.
    void Tick();
    void ResetValues() { acq_->ResetValues(); }
    bool Stopped() const { return acq_->Stopped(); }
    bool StartEnabled() const { return startEnabled_; }
    bool StopEnabled() const { return stopEnabled_; }
    int TimerIntervalMs() const { return timerMs_; }
    // START, up to `count` samples, STOP: the program's own timer run on the session clock.
    // True when all of them arrived.
    bool Capture(int count);

    // --- recording, trigger, replay ----------------------------------------------------------
    // Every stored sample appended to a recording in `options.folder` (empty: recordings/ in
    // the data folder); the absolute index starts at 0. False (text in panel 1) when it
    // cannot start, or while a replay runs.
    bool StartRecording(monitor::RecordingOptions options);
    // Closes the files; true when every sample reached the disk.
    bool StopRecording();
    monitor::Recording& recording() { return *recording_; }
    QString RecordingFolder() const;
    // The trigger's settings; snippets and marks go beside the running recording, else to
    // the recordings folder.
    void SetTrigger(const monitor::Trigger::Settings& settings);
    monitor::Trigger& trigger() { return *trigger_; }
    // The marks' absolute sample indices, for the chart.
    std::vector<qint64> TriggerMarks() const;
    // The next sample's absolute index.
    qint64 AbsoluteIndex() const { return absIndex_; }
    // Feeds `files` (one recording, in order) through the live path at `speed` (1, 10, 0 as
    // fast as possible) from the next ticks on; the store is cleared first. Refused while an
    // acquisition or a recording runs.
    bool StartReplay(const QStringList& files, int speed);
    void StopReplay();
    bool Replaying() const { return replay_->Active(); }
    // The last replay read every row of its files.
    bool ReplayClean() const { return replayClean_; }
    monitor::Replay& replay() { return *replay_; }

    // --- device commands (the monitor page) ---------------------------------------------------
    bool Restart() { return devices_->Restart(); }
    bool SetLed(int serialMode, const sensor::LedBits& led);
    bool BubbleTest(int serialMode) { return devices_->BubbleTest(serialMode, settings.bubbleTestTime); }
    bool SetOutputMode(int serialMode, const sensor::LedBits& led)
    {
        return devices_->SetOutputMode(serialMode, led);
    }
    bool StartService(const sensor::LedBits& led);
    bool AdjustTemporarily() { return devices_->AdjustTemporarily(settings.amplControlTime); }
    bool SetGainTest() { return devices_->RunGainTest(settings.gainTestIndex); }
    bool SetPower(bool on) { return devices_->SetPower(on); }
    bool SelectChannel(bool channel1) { return devices_->SetIF(channel1); }
    bool PowerAutomatic() const { return devices_->PowerAuto(); }
    void SetPowerAutomatic(bool on) { devices_->SetPowerAuto(on); }
    void TogglePowerAutomatic() { devices_->TogglePowerAuto(); }

    // --- parameters, parameter file -----------------------------------------------------------
    bool ReadParameters() { return transfer_->Read(); }
    // The writes below record themselves in the unit history (a service event each).
    bool WriteParameters();
    bool VerifyParameters() { return transfer_->Verify(); }
    void SetStandardParameters() { transfer_->SetStandard(); }
    bool SaveParameterFile(const QString& fileName, bool withCalibration);
    bool OpenParameterFile(const QString& fileName, bool withCalibration);

    // --- identification, production data, calibration ----------------------------------------
    bool Identify() { return ident_->Identify(); }
    bool SetSerialNumber();
    bool ClearSerialNumber();
    bool ReadCalibration() { return ident_->ReadCalibration(); }
    bool WriteCalibration();
    bool ClearCalibration();

    // --- boot loader, memories, download ------------------------------------------------------
    // Erase of one kind's range: the code flash by its erase command; the RAMs and the EEPROM
    // have none, so their range is written with 0xFF.
    bool EraseMemory(int channel, int kind, quint32 start, quint32 end);
    bool ReadMemory(int channel, int kind, quint32 start, quint32 end);
    bool WriteMemory(int channel, int kind, quint32 start, quint32 end);
    bool VerifyMemory(int channel, int kind, quint32 start, quint32 end);
    // A C2 or PIC programming run of `file` over `range` ("0800-1BFF") into the unit history;
    // false when the history did not take it.
    bool RecordProgramming(history::ServiceKind kind, bool ok, const QString& file, const QString& range)
    {
        return RecordFile(kind, ok, file, range);
    }
    // The firmware download of `hexFile` (empty: the remembered name, else the import button).
    bool DownloadFirmware(const QString& hexFile = QString());

private:
    // This station as one of the hook interfaces it implements, for the parts it builds.
    template <class Hooks> Hooks& As() { return *this; }
    void ConnectParts();
    void PagesChanged();
    void DeviceChanged(StationView::DeviceField field);
    void Changed(sensor::DeviceCommands::Shown what) override;
    void StartStop(bool start, bool stop);
    // link::Link::Events
    void LinkMenuChanged() override;
    void RtsChanged(const QString& caption, bool checked) override;
    void PortMissing() override;
    void StartStopEnabled(bool start, bool stop) override { StartStop(start, stop); }
    void LinkIo(char op, int n) override;
    // monitor::Acquisition::Hooks
    monitor::StoreSettings AcquisitionSettings() override;
    int MeasIntervalMs() override { return settings.measIntervalMs; }
    quint8 BubbleFactor() override;
    void TimerIntervalChanged(int ms) override;
    void RedrawDiagram() override;
    void FollowSample(int storeIndex) override;
    void NewMeasValue(const monitor::MeasSample& sample) override;
    void SampleStored(const monitor::MeasSample& sample, bool shortRow) override;
    // After the samples of a tick: the recording's hand-over, the trigger's stop, the end of a
    // recording with the store full under "Stopp".
    void AfterSamples();
    void ReplayTick();
    void FinishReplay();
    void ConfigureTrigger();
    // the hooks of the sensor's and the boot loader's parts
    void StopAcquisition() override { Stop(); }
    void CommitEdit() override;
    void RefreshPages() override { PagesChanged(); }
    void ApplyType(int row) override;
    void SetSerialModeIndex(int index) override;
    void ShowIdentPage() override;
    void BootPageChanged() override;
    bool PickDownloadFile(bool abs) override;
    bool StartReadWrite() override;
    void SelectCodeFlash() override;
    // testmodule::TestModule::Hooks
    bool ConverterPower(bool on) override;
    void PowerActionChanged(bool on) override;
    void ModuleChanged() override;
    void SerialIfChanged() override;
    // the production test's hooks
    void SaveResults() override;
    void ClearResults() override;
    void ShowStep0() override;
    void NextUnit() override;
    void UnitTested() override;
    void StepStarted(int step, const QString& routine) override;
    void StartAcquisition() override { Start(); }
    void ResetMeasuredValues() override { ResetValues(); }
    bool ConfigureOutput(int serialMode) override;
    void ShowMeasValue(const monitor::MeasSample& sample) override;
    void PromptShown(const QString& prompt) override;
    monitor::MeasSample& AcquisitionSample() override;
    // monitor::MeasFiles::Events
    void ClearForImport() override { ResetValues(); }
    void Imported(int storeIndex) override;
    QDateTime Now() override;
    // The code image's 16 bytes at `offset` (empty without one), for a service record.
    QByteArray CodeBlock(quint32 offset) const;
    QString ServiceSerial() const;
    // A write of a block of the sensor, with the block before and after, into the history.
    bool RecordWrite(history::ServiceKind kind, bool ok, const QByteArray& before, const QByteArray& after);
    bool RecordedBlockWrite(history::ServiceKind kind, quint32 at, const std::function<bool()>& write);
    // A transfer of an image file (its name and SHA-256) over `range` into the history.
    bool RecordFile(history::ServiceKind kind, bool ok, const QString& file, const QString& range);

    app::Session& session_;
    // Plain state first: the parts built below hold hooks into this object.
    StationView* view_ = nullptr;
    DeviceState device_;
    bool linkFailed_ = false;
    bool startEnabled_ = false;
    bool stopEnabled_ = false;
    int timerMs_ = 200;
    bool codeFlashSelected_ = false;
    std::unique_ptr<link::Link> link_;
    monitor::MeasurementStore store_;
    std::unique_ptr<monitor::MeasTableModel> table_;
    std::unique_ptr<monitor::Acquisition> acq_;
    boot::MemoryImages images_;
    std::unique_ptr<boot::BootLoader> boot_;
    std::unique_ptr<boot::HexImage> hex_;
    std::unique_ptr<boot::Download> download_;
    sensor::ParameterBlocks params_;
    std::unique_ptr<sensor::DeviceCommands> devices_;
    std::unique_ptr<sensor::ParameterTransfer> transfer_;
    std::unique_ptr<sensor::ParameterFile> parFile_;
    std::unique_ptr<sensor::Identification> ident_;
    testmodule::ModuleRecord moduleRecord_;
    std::unique_ptr<testmodule::TestModule> module_;
    std::unique_ptr<testmodule::C2Programmer> c2_;
    std::unique_ptr<testmodule::PicProgrammer> pic_;
    std::unique_ptr<testmodule::TestModuleFirmware> tmfw_;
    std::unique_ptr<prodtest::TestDefinitions> defs_;
    std::unique_ptr<prodtest::TestResults> results_;
    std::unique_ptr<StationHistory> history_;
    std::unique_ptr<prodtest::TestRun> run_;
    std::unique_ptr<prodtest::StepContext> stepContext_;
    std::unique_ptr<prodtest::MeasurementSteps> measSteps_;
    std::unique_ptr<prodtest::IdentitySteps> identSteps_;
    std::unique_ptr<monitor::Recording> recording_;
    std::unique_ptr<monitor::Trigger> trigger_;
    std::unique_ptr<monitor::Replay> replay_;
    monitor::Trigger::Settings triggerSettings_;
    qint64 absIndex_ = 0;
    qint64 replayIndex_ = -1; // recorded index of the sample being replayed
    bool triggerStop_ = false;
    bool replayClean_ = true;
    QString recordingEvents_; // the running recording's marks file
};

} // namespace vmx::station
