#include "station/Station.h"

#include "app/BuildInfo.h"
#include "app/Session.h"
#include "lang/RecordingTexts.h"
#include "sensor/ParameterEditor.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace vmx::station {

namespace {
constexpr int kMsgNoData = 263; // "No data have been read from sensor."
}

Station::Station(app::Session& session, const link::LinkOptions& links)
    : session_(session), link_(std::make_unique<link::Link>(session, As<link::Link::Events>(), links)),
      table_(std::make_unique<monitor::MeasTableModel>()),
      acq_(std::make_unique<monitor::Acquisition>(session, *link_, store_, *table_,
                                                  As<monitor::Acquisition::Hooks>())),
      boot_(std::make_unique<boot::BootLoader>(session, *link_, images_, As<boot::BootLoader::Hooks>())),
      hex_(std::make_unique<boot::HexImage>(session, images_)),
      download_(std::make_unique<boot::Download>(session, *boot_, *hex_, As<boot::Download::Hooks>())),
      devices_(
          std::make_unique<sensor::DeviceCommands>(session, *link_, As<sensor::DeviceCommands::Events>())),
      transfer_(std::make_unique<sensor::ParameterTransfer>(session, *link_, *boot_, params_, *devices_,
                                                            As<sensor::ParameterTransfer::Hooks>())),
      parFile_(std::make_unique<sensor::ParameterFile>(session, params_, As<sensor::ParameterFile::Hooks>())),
      ident_(std::make_unique<sensor::Identification>(session, *link_, *boot_, *transfer_, *devices_,
                                                      As<sensor::Identification::Hooks>())),
      module_(std::make_unique<testmodule::TestModule>(session, *link_, moduleRecord_,
                                                       As<testmodule::TestModule::Hooks>())),
      c2_(std::make_unique<testmodule::C2Programmer>(*module_, *boot_, images_)),
      pic_(std::make_unique<testmodule::PicProgrammer>(*module_, *boot_, images_)),
      tmfw_(std::make_unique<testmodule::TestModuleFirmware>(*module_, *boot_, *hex_, images_)),
      defs_(std::make_unique<prodtest::TestDefinitions>(session, As<prodtest::TestDefinitions::Hooks>())),
      results_(std::make_unique<prodtest::TestResults>(session, *defs_, moduleRecord_,
                                                       As<prodtest::TestResults::Hooks>())),
      history_(std::make_unique<StationHistory>(session, *defs_, *results_)),
      run_(std::make_unique<prodtest::TestRun>(session, *defs_, *results_,
                                               prodtest::TestRun::Parts{*module_, *c2_, *pic_, *tmfw_},
                                               As<prodtest::TestRun::Hooks>(), *history_)),
      stepContext_(std::make_unique<prodtest::StepContext>(session, *defs_, moduleRecord_,
                                                           As<prodtest::StepContext::Hooks>())),
      measSteps_(
          std::make_unique<prodtest::MeasurementSteps>(*stepContext_, *link_, store_, *devices_, *module_)),
      identSteps_(std::make_unique<prodtest::IdentitySteps>(
          *stepContext_,
          prodtest::IdentitySteps::Parts{*link_, *acq_, *boot_, params_, *parFile_, *transfer_, *ident_})),
      recording_(std::make_unique<monitor::Recording>(session)),
      trigger_(std::make_unique<monitor::Trigger>(session)), replay_(std::make_unique<monitor::Replay>())
{
    QObject::connect(recording_.get(), &monitor::Recording::failed, recording_.get(), [this](const QString&) {
        if (view_) view_->RecordingChanged();
    });
    // The program starts with the standard set in the working block.
    params_.SetStandardValues();
    params_.CopyStandardToEdit();
    ConnectParts();
}

Station::~Station()
{
    if (recording_->Active()) recording_->Stop();
    // The link's events reach the parts below; nothing may reach them while they go.
    view_ = nullptr;
    devices_->SetModuleRoutes(nullptr);
}

// ---- wiring: every hook between the parts, once ----

// The parts that signal one another: built in an order, so connected once all are there.
void Station::ConnectParts()
{
    devices_->SetModuleRoutes(module_.get());
    // The step routines of the module tell the run controller when their step is done.
    module_->steps = run_.get();
    stepContext_->steps = run_.get();
    run_->measurement = measSteps_.get();
    run_->identity = identSteps_.get();
}

// ---- the test module's hooks ----

bool Station::ConverterPower(bool on)
{
    return devices_->SetPower(on);
}

void Station::PowerActionChanged(bool on)
{
    device_.powerActionChecked = on;
    DeviceChanged(StationView::DeviceField::PowerAction);
}

void Station::ModuleChanged()
{
    if (view_) view_->ModuleChanged();
}

void Station::SerialIfChanged()
{
    if (view_) view_->LinkChanged(StationView::LinkField::SerialInterface);
}

// ---- the production test's hooks ----

// Another definition shows step 0 of its program, after its results were offered for saving
// and cleared.
void Station::SaveResults()
{
    results_->SaveReport();
}

void Station::ClearResults()
{
    results_->DeleteStGMV();
    results_->ResetMV();
}

void Station::ShowStep0()
{
    run_->TestStep = 0;
    run_->ControlProgress();
}

void Station::NextUnit()
{
    if (simulatedOperator) link_->SimulatedNextUnit();
}

void Station::UnitTested()
{
    if (simulatedOperator) link_->SimulatedUnitTested();
}

void Station::StepStarted(int step, const QString& routine)
{
    if (view_) view_->StepStarted(step, routine);
}

// The serial-mode selection follows what the step chose, then the configuration runs with it
// and the LED boxes' bits, as ALSetConfig does from the monitor page.
bool Station::ConfigureOutput(int serialMode)
{
    device_.serialModeIndex = serialMode;
    DeviceChanged(StationView::DeviceField::SerialMode);
    return devices_->SetOutputMode(serialMode, settings.led);
}

void Station::ShowMeasValue(const monitor::MeasSample& s)
{
    run_->NewMeasValue(&s, store_.highestOut());
}

void Station::PromptShown(const QString& prompt)
{
    if (simulatedOperator) link_->SimulatedHandsFollow(prompt);
}

monitor::MeasSample& Station::AcquisitionSample()
{
    return acq_->Current();
}

void Station::SetOperatorPanel(prodtest::OperatorPanel* panel)
{
    run_->panel = panel;
    results_->panel = panel;
    history_->panel = panel;
    stepContext_->panel = panel;
}

// ---- the link's events ----

void Station::LinkMenuChanged()
{
    if (view_) view_->LinkChanged(StationView::LinkField::Menu);
}

void Station::RtsChanged(const QString&, bool)
{
    if (view_) view_->LinkChanged(StationView::LinkField::Routing);
}

// A read or write that found no port stops the acquisition at its next tick.
void Station::PortMissing()
{
    linkFailed_ = true;
}

void Station::LinkIo(char op, int n)
{
    if (view_) view_->LinkIo(op, n);
}

// ---- the acquisition's hooks ----

monitor::StoreSettings Station::AcquisitionSettings()
{
    monitor::StoreSettings st;
    st.Threshold = settings.bubbleThreshold;
    st.Beeper = settings.beeper;
    st.RefreshDivisor = settings.refreshDivisor;
    st.DialogOutput = settings.outputConfigKind == 3;
    st.Policy = settings.overflow;
    return st;
}

// Sensors below V1.24 send no OUT: it is derived from the working block's bubble factor.
quint8 Station::BubbleFactor()
{
    return params_.edit.BubbleFactor();
}

void Station::TimerIntervalChanged(int ms)
{
    timerMs_ = ms;
    if (view_) view_->TimerIntervalChanged(ms);
}

void Station::RedrawDiagram()
{
    if (view_) view_->Redraw();
}

void Station::FollowSample(int storeIndex)
{
    if (view_) view_->Follow(storeIndex);
}

// The new-sample fan-out: the table is filled by the acquisition itself, the diagram redraws
// through RedrawDiagram; the front end and the test page's live values hear it here.
void Station::NewMeasValue(const monitor::MeasSample& s)
{
    stepContext_->Sampled(s);
    run_->NewMeasValue(&s, store_.highestOut());
    if (view_) view_->NewSample(s);
}

void Station::SampleStored(const monitor::MeasSample& s, bool shortRow)
{
    const qint64 index = replayIndex_ >= 0 ? replayIndex_ : absIndex_;
    recording_->Add(s, shortRow);
    if (view_) view_->SampleRecorded(index, s, shortRow);
    bool stop = false;
    if (trigger_->Feed(index, s, shortRow, stop) == monitor::Trigger::Outcome::Fired && view_)
        view_->TriggerMarked(index);
    if (stop) triggerStop_ = true;
    absIndex_ = index + 1;
}

// ---- recording, trigger, replay ----

QString Station::RecordingFolder() const
{
    return session_.DataFile(QStringLiteral("recordings"));
}

bool Station::StartRecording(monitor::RecordingOptions options)
{
    if (replay_->Active() || recording_->Active()) return false;
    if (options.folder.isEmpty()) options.folder = RecordingFolder();
    const sensor::IdentRecord& id = ident_->lastIdent();
    monitor::RecordingInfo info;
    if (id.IdentCode != 0) {
        if (id.SerialNo != 0xFFFF) info.serial = QString::number(id.SerialNo);
        info.ident =
            QStringLiteral("identcode=%1 type=%2 subtype=%3 firmware=%4 hardware=%5 year=%6 serial=%7")
                .arg(id.IdentCode)
                .arg(id.Type)
                .arg(id.SubType)
                .arg(id.Firmware)
                .arg(id.Hardware)
                .arg(id.Year)
                .arg(id.SerialNo);
    }
    info.model = session_.sensor.Model;
    info.firmware = session_.sensor.Firmware;
    switch (link_->protocol().measProtocol()) {
    case link::MeasShort:
        info.delivery = QStringLiteral("short");
        break;
    case link::MeasLong:
        info.delivery = QStringLiteral("long");
        break;
    case link::MeasPolled:
        info.delivery = QStringLiteral("polled");
        break;
    default:
        info.delivery = QStringLiteral("none");
        break;
    }
    info.program = QString::fromStdString(app::VersionLine("vmx-monitor")) + QLatin1Char(' ') +
                   QString::fromLatin1(app::kVersionText);
    const QDateTime start = QDateTime::currentDateTime();
    if (!recording_->Start(options, info, start)) {
        if (view_) view_->RecordingChanged();
        return false;
    }
    QString events = recording_->CurrentFile();
    events.replace(events.size() - 4, 4, QStringLiteral(".events"));
    recordingEvents_ = events;
    absIndex_ = 0;
    ConfigureTrigger();
    if (view_) view_->RecordingChanged();
    return true;
}

bool Station::StopRecording()
{
    if (!recording_->Active()) return !recording_->Failed();
    const bool ok = recording_->Stop();
    recordingEvents_.clear();
    ConfigureTrigger();
    if (view_) view_->RecordingChanged();
    return ok;
}

void Station::SetTrigger(const monitor::Trigger::Settings& settings)
{
    triggerSettings_ = settings;
    ConfigureTrigger();
}

void Station::ConfigureTrigger()
{
    const QString folder =
        recording_->Active() ? QFileInfo(recording_->CurrentFile()).absolutePath() : RecordingFolder();
    const QString events = recordingEvents_.isEmpty()
                               ? QDir(folder).filePath(QStringLiteral("trigger.events"))
                               : recordingEvents_;
    trigger_->Configure(triggerSettings_, folder, events);
}

std::vector<qint64> Station::TriggerMarks() const
{
    std::vector<qint64> out;
    for (const monitor::Trigger::Mark& m : trigger_->marks())
        out.push_back(m.index);
    return out;
}

void Station::AfterSamples()
{
    recording_->Tick();
    if (recording_->Active() && acq_->Stopped() && store_.index() == monitor::MeasurementStore::kLastIndex &&
        settings.overflow == app::DataOverflow::Stop) {
        // The store is full under "Stopp": the acquisition ended, and the recording with it.
        StopRecording();
        session_.PanelText(1,
                           lang::RecordingTextOf(lang::RecordingText::StoreFullEnded, session_.language()));
    }
    if (triggerStop_) {
        triggerStop_ = false;
        if (replay_->Active())
            FinishReplay();
        else if (!acq_->Stopped())
            UserStop();
    }
}

bool Station::StartReplay(const QStringList& files, int speed)
{
    const auto text = [this](lang::RecordingText t) { return lang::RecordingTextOf(t, session_.language()); };
    if (!acq_->Stopped() || recording_->Active() || files.isEmpty()) return false;
    if (!replay_->Open(files, speed, session_.clock().NowUs())) {
        session_.PanelText(1, text(lang::RecordingText::ReplayCantRead).arg(files.first()));
        return false;
    }
    ResetValues();
    acq_->FeedStart();
    trigger_->Restart();
    triggerStop_ = false;
    session_.PanelText(
        1, text(lang::RecordingText::Replay)
               .arg(files.first(), speed == 0 ? QStringLiteral("max") : QString::number(speed) + "x"));
    if (view_) view_->ReplayChanged();
    return true;
}

void Station::ReplayTick()
{
    constexpr int kBatch = 5000; // the window stays responsive at the fastest speed
    const qint64 now = session_.clock().NowUs();
    monitor::Replay::Row r;
    for (int n = 0; n < kBatch && !triggerStop_ && !acq_->FeedFull() && replay_->Next(now, r); ++n) {
        replayIndex_ = r.index;
        acq_->Feed(r.sample, r.shortRow);
    }
    replayIndex_ = -1;
    acq_->FeedDone();
    AfterSamples();
    if (replay_->Active() && (replay_->AtEnd() || acq_->FeedFull())) FinishReplay();
}

void Station::FinishReplay()
{
    if (!replay_->Active()) return;
    const qint64 rows = replay_->rowsRead();
    const bool bad = replay_->readFailed() || replay_->badRows() > 0;
    replayClean_ = !bad;
    const QString file = replay_->currentFile();
    replay_->Close();
    const auto text = [this](lang::RecordingText t) { return lang::RecordingTextOf(t, session_.language()); };
    if (bad) session_.PanelText(1, text(lang::RecordingText::ReplayCantRead).arg(file));
    session_.PanelText(1, text(lang::RecordingText::ReplayEnded).arg(rows));
    if (view_) view_->ReplayChanged();
}

void Station::StopReplay()
{
    FinishReplay();
}

// ---- the measurement files' events ----

void Station::Imported(int storeIndex)
{
    if (!view_) return;
    view_->Follow(storeIndex);
    view_->Redraw();
}

QDateTime Station::Now()
{
    return QDateTime::currentDateTime();
}

// ---- the hooks of the sensor's and the boot loader's parts ----

void Station::CommitEdit()
{
    if (view_) view_->CommitEdit();
}

void Station::ApplyType(int row)
{
    session_.CopyValidSensorType(row);
    if (view_) view_->TypeApplied(row);
}

void Station::SetSerialModeIndex(int index)
{
    device_.serialModeIndex = index;
    DeviceChanged(StationView::DeviceField::SerialMode);
}

void Station::ShowIdentPage()
{
    if (view_) view_->ShowIdentPage();
}

void Station::BootPageChanged()
{
    if (view_) view_->BootPageChanged();
}

bool Station::PickDownloadFile(bool abs)
{
    return view_ ? view_->PickDownloadFile(abs) : false;
}

// The download enters the boot loader as the memory transfers do: with automatic power on,
// the sensor is power-cycled first.
bool Station::StartReadWrite()
{
    return transfer_->StartReadWrite();
}

void Station::SelectCodeFlash()
{
    codeFlashSelected_ = true;
    if (view_) view_->BootPageChanged();
}

void Station::PagesChanged()
{
    // Every refresh of the pages normalises the edit block, also without a window, so the
    // block written is the one the window would write.
    sensor::NormaliseEditBlock(params_.edit, session_.sensor.Flags, transfer_->ParLen());
    if (view_) view_->PagesChanged();
}

// What the device commands left to show, kept for the front end's refresh.
void Station::Changed(sensor::DeviceCommands::Shown what)
{
    using Shown = sensor::DeviceCommands::Shown;
    using Field = StationView::DeviceField;
    const sensor::DeviceCommands& d = *devices_;
    switch (what) {
    case Shown::PowerGlyph:
        device_.powerGlyphOn = d.PowerGlyphOn();
        return DeviceChanged(Field::PowerGlyph);
    case Shown::PowerAction:
        device_.powerActionChecked = d.PowerActionChecked();
        return DeviceChanged(Field::PowerAction);
    case Shown::ColourBoxes:
        device_.colourBoxesEnabled = d.ColourBoxesEnabled();
        return DeviceChanged(Field::ColourBoxes);
    case Shown::Channel:
        device_.channelCaption = d.ChannelCaption();
        return DeviceChanged(Field::Channel);
    case Shown::PowerAutomatic:
        return DeviceChanged(Field::PowerAutomatic);
    }
}

void Station::DeviceChanged(StationView::DeviceField field)
{
    if (view_) view_->DeviceStateChanged(field);
}

void Station::StartStop(bool start, bool stop)
{
    startEnabled_ = start;
    stopEnabled_ = stop;
    if (view_) view_->AcquisitionChanged();
}

// ---- start ----

bool Station::OpenLink(const QString& port)
{
    link_->Reset_COM_USB();
    // The command line may name a link other than the preferred one.
    if (!port.isEmpty() && link_->PortName() != port) link_->SelectPort(port);
    // The line of a test module goes to the sensor.
    if (link_->IsOpen()) link_->ForceRTS(1);
    StartStop(link_->HasPort(), false);
    return link_->IsOpen();
}

void Station::ApplyConfig(const app::MonitorConfig& config)
{
    settings.refreshDivisor = config.RefreshDia > 0 ? config.RefreshDia : settings.refreshDivisor;
    settings.overflow = config.Overflow;
    settings.beeper = config.Beeper;
    link_->protocol().ApplyConfig(config);
    devices_->SetPowerAuto(config.PowerAuto);
}

bool Station::LoadStartParameters()
{
    const bool ok = parFile_->LoadStandardParameters(session_.config.ParFile);
    PagesChanged();
    return ok;
}

// ---- acquisition ----

void Station::Start()
{
    acq_->Start();
    // What failed before or while the probe ran is the probe's own result.
    linkFailed_ = false;
}

void Station::Stop()
{
    acq_->StopBeforeOperation();
    linkFailed_ = false;
}

void Station::UserStop()
{
    acq_->Stop();
    linkFailed_ = false;
}

void Station::Tick()
{
    if (replay_->Active()) return ReplayTick();
    if (linkFailed_) {
        // The port went away under the running acquisition: it stops.
        linkFailed_ = false;
        acq_->SetStopped(true);
        StartStop(link_->HasPort(), false);
        recording_->Tick();
        return;
    }
    acq_->Tick();
    AfterSamples();
}

bool Station::Capture(int count)
{
    Start();
    if (acq_->Stopped()) return false;
    const int wanted = std::min(count, monitor::MeasurementStore::kSlots);
    // The drain stops at the wanted count, so the store holds exactly that many.
    acq_->LimitStoreTo(wanted);
    app::Clock& clock = session_.clock();
    // A sensor that falls silent must not keep the run waiting for ever.
    const qint64 deadline =
        clock.NowMs() + qint64(wanted) * std::max(timerMs_, settings.measIntervalMs) * 4 + 10000;
    while (store_.index() < wanted && !acq_->Stopped() && clock.NowMs() < deadline) {
        clock.SleepMs(timerMs_);
        Tick();
    }
    acq_->LimitStoreTo(-1);
    const bool silent = !acq_->Stopped() && store_.index() < wanted;
    if (!acq_->Stopped()) Stop();
    // Ran out of time without the acquisition saying why: the samples did not come.
    if (silent) session_.PanelText(1, session_.Msg(kMsgNoData));
    return store_.index() >= wanted;
}

// ---- device commands ----

bool Station::SetLed(int serialMode, const sensor::LedBits& led)
{
    return devices_->SetLed(serialMode, led);
}

bool Station::StartService(const sensor::LedBits& led)
{
    return devices_->StartService(led);
}

// ---- parameter file ----

bool Station::SaveParameterFile(const QString& fileName, bool withCalibration)
{
    parFile_->withCalibration = withCalibration;
    return parFile_->Save(fileName);
}

bool Station::OpenParameterFile(const QString& fileName, bool withCalibration)
{
    parFile_->withCalibration = withCalibration;
    return parFile_->Open(fileName);
}

// ---- memories ----

bool Station::ReadMemory(int channel, int kind, quint32 start, quint32 end)
{
    if (!boot::IsMemoryKind(kind)) return false;
    return boot_->ReadMemory(channel, start, session_.Msg(boot::kMsgRead[size_t(kind)]), kind, end);
}

bool Station::WriteMemory(int channel, int kind, quint32 start, quint32 end)
{
    if (!boot::IsMemoryKind(kind)) return false;
    return boot_->WriteMemory(channel, start, session_.Msg(boot::kMsgWrite[size_t(kind)]), kind, end);
}

bool Station::EraseMemory(int channel, int kind, quint32 start, quint32 end)
{
    if (!boot::IsMemoryKind(kind)) return false;
    const QString text = session_.Msg(boot::kMsgErase[size_t(kind)]);
    if (kind == boot::KindCode) return boot_->EraseMemory(channel, start, text, kind, end);
    // The RAMs and the EEPROM have no erase command: their range is written with 0xFF.
    const auto image = images_.Image(kind);
    if (start <= end && end < image.size())
        std::fill(image.begin() + start, image.begin() + end + 1, quint8(0xFF));
    return boot_->WriteMemory(channel, start, text, kind, end);
}

bool Station::VerifyMemory(int channel, int kind, quint32 start, quint32 end)
{
    if (!boot::IsMemoryKind(kind)) return false;
    const size_t k = size_t(kind);
    return boot_->VerifyMemory(channel, start, session_.Msg(boot::kMsgVerify[k]),
                               session_.Msg(boot::kMsgRead[k]), kind, end);
}

bool Station::DownloadFirmware(const QString& hexFile)
{
    if (!hexFile.isEmpty()) download_->hexFile = hexFile;
    const bool ok = download_->DownLoad();
    return RecordFile(history::ServiceKind::Download, ok, download_->hexFile, QString()) && ok;
}

} // namespace vmx::station
