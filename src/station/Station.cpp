#include "station/Station.h"

#include "app/Session.h"
#include "sensor/ParameterEditor.h"

#include <algorithm>

namespace vmx::station {

namespace {
constexpr int kMsgNoData = 263; // "No data have been read from sensor."
}

Station::Station(app::Session& session, const link::LinkOptions& links)
    : session_(session), link_(std::make_unique<link::Link>(session, links)),
      table_(std::make_unique<monitor::MeasTableModel>()),
      acq_(std::make_unique<monitor::Acquisition>(session, *link_, store_, *table_)),
      boot_(std::make_unique<boot::BootLoader>(session, *link_, images_)),
      hex_(std::make_unique<boot::HexImage>(session, images_)),
      download_(std::make_unique<boot::Download>(session, *boot_, *hex_)),
      devices_(std::make_unique<sensor::DeviceCommands>(session, *link_)),
      transfer_(
          std::make_unique<sensor::ParameterTransfer>(session, *link_, *boot_, params_, devices_.get())),
      parFile_(std::make_unique<sensor::ParameterFile>(session, params_)),
      ident_(std::make_unique<sensor::Identification>(session, *link_, *boot_, *transfer_, *devices_)),
      module_(std::make_unique<testmodule::TestModule>(session, *link_, moduleRecord_)),
      c2_(std::make_unique<testmodule::C2Programmer>(*module_, *boot_, images_)),
      pic_(std::make_unique<testmodule::PicProgrammer>(*module_, *boot_, images_)),
      tmfw_(std::make_unique<testmodule::TestModuleFirmware>(*module_, *boot_, *hex_, images_)),
      defs_(std::make_unique<prodtest::TestDefinitions>(session)),
      results_(std::make_unique<prodtest::TestResults>(session, *defs_, moduleRecord_)),
      history_(std::make_unique<StationHistory>(session, *defs_, *results_)),
      run_(std::make_unique<prodtest::TestRun>(
          session, *defs_, *results_, prodtest::TestRun::Parts{*module_, *c2_, *pic_, *tmfw_}, *history_)),
      stepContext_(std::make_unique<prodtest::StepContext>(session, *defs_, moduleRecord_)),
      measSteps_(
          std::make_unique<prodtest::MeasurementSteps>(*stepContext_, *link_, store_, *devices_, *module_)),
      identSteps_(std::make_unique<prodtest::IdentitySteps>(
          *stepContext_,
          prodtest::IdentitySteps::Parts{*link_, *acq_, *boot_, params_, *parFile_, *transfer_, *ident_}))
{
    // The program starts with the standard set in the working block.
    params_.SetStandardValues();
    params_.CopyStandardToEdit();
    WireLink();
    WireAcquisition();
    WireSensor();
    WireBoot();
    WireModule();
    WireTest();
    WireSteps();
}

Station::~Station()
{
    // The link's callbacks reach the parts below; nothing may call them while they go.
    link_->onMenuChanged = nullptr;
    link_->onRtsChanged = nullptr;
    link_->onMonitoringStop = nullptr;
    link_->onStartStopEnabled = nullptr;
    devices_->SetEvents(nullptr);
    devices_->SetModuleRoutes(nullptr);
}

// ---- wiring: every hook between the parts, once ----

void Station::WireModule()
{
    testmodule::TestModule& m = *module_;
    m.stopAcquisition = [this] { Stop(); };
    m.converterPower = [this](bool on) { return devices_->SetPower(on); };
    m.onPowerAction = [this](bool on) {
        device_.powerActionChecked = on;
        DeviceChanged(StationView::DeviceField::PowerAction);
    };
    m.onChanged = [this] {
        if (view_) view_->ModuleChanged();
    };
    m.onSerialIfChanged = [this] {
        if (view_) view_->LinkChanged(StationView::LinkField::SerialInterface);
    };
    devices_->SetModuleRoutes(module_.get());
    // The step routines of the module tell the run controller when their step is done.
    m.steps = run_.get();
}

void Station::WireTest()
{
    run_->stopAcquisition = [this] { Stop(); };
    results_->stopAcquisition = [this] { Stop(); };
    // Another definition shows step 0 of its program, after its results were offered for
    // saving and cleared.
    defs_->showStep0 = [this] {
        run_->TestStep = 0;
        run_->ControlProgress();
    };
    defs_->saveResults = [this] { results_->ALTestSaveExecute(); };
    defs_->clearResults = [this] {
        results_->DeleteStGMV();
        results_->ResetMV();
    };
}

void Station::WireSteps()
{
    prodtest::StepContext& c = *stepContext_;
    c.steps = run_.get();
    c.stopAcquisition = [this] { Stop(); };
    c.startAcquisition = [this] { Start(); };
    c.resetValues = [this] { ResetValues(); };
    // The serial-mode selection follows what the step chose, then the configuration runs
    // with it and the LED boxes' bits, as ALSetConfig does from the monitor page.
    c.setConfig = [this](int serialMode) {
        device_.serialModeIndex = serialMode;
        DeviceChanged(StationView::DeviceField::SerialMode);
        return devices_->SetOutputMode(serialMode, settings.led);
    };
    c.refreshPages = [this] { PagesChanged(); };
    c.showMeasValue = [this](const monitor::MeasSample& s) { run_->NewMeasValue(&s, store_.highestOut()); };
    c.acquisitionSample = [this] { return &acq_->Current(); };
    run_->nextUnit = [this] {
        if (simulatedOperator) link_->SimulatedNextUnit();
    };
    c.promptShown = [this](const QString& prompt) {
        if (simulatedOperator) link_->SimulatedHandsFollow(prompt);
    };
    run_->measurement = measSteps_.get();
    run_->identity = identSteps_.get();
}

void Station::SetOperatorPanel(prodtest::OperatorPanel* panel)
{
    run_->panel = panel;
    results_->panel = panel;
    history_->panel = panel;
    stepContext_->panel = panel;
}

void Station::WireLink()
{
    link::Link& l = *link_;
    using Field = StationView::LinkField;
    l.onMenuChanged = [this] {
        if (view_) view_->LinkChanged(Field::Menu);
    };
    l.onRtsChanged = [this](const QString&, bool) {
        if (view_) view_->LinkChanged(Field::Routing);
    };
    // A read or write that found no port stops the acquisition at its next tick.
    l.onMonitoringStop = [this] { linkFailed_ = true; };
    l.onStartStopEnabled = [this](bool start, bool stop) { StartStop(start, stop); };
}

void Station::WireAcquisition()
{
    monitor::Acquisition& a = *acq_;
    a.settings = [this] {
        monitor::StoreSettings st;
        st.Threshold = settings.bubbleThreshold;
        st.Beeper = settings.beeper;
        st.RefreshDivisor = settings.refreshDivisor;
        st.DialogOutput = settings.outputConfigKind == 3;
        st.Policy = settings.overflow;
        return st;
    };
    a.measIntervalMs = [this] { return settings.measIntervalMs; };
    // Sensors below V1.24 send no OUT: it is derived from the working block's bubble factor.
    a.bubbleFactor = [this] { return params_.edit.BubbleFactor(); };
    a.onStartStopEnabled = [this](bool start, bool stop) { StartStop(start, stop); };
    a.setTimerInterval = [this](int ms) {
        timerMs_ = ms;
        if (view_) view_->TimerIntervalChanged(ms);
    };
    a.redraw = [this] {
        if (view_) view_->Redraw();
    };
    a.follow = [this](int index) {
        if (view_) view_->Follow(index);
    };
    // The new-sample fan-out: the table is filled by the acquisition itself, the diagram
    // redraws through `redraw`; the front end and the test page's live values hear it here.
    a.newMeasValue = [this](const monitor::MeasSample& s) {
        stepContext_->Sampled(s);
        run_->NewMeasValue(&s, store_.highestOut());
        if (view_) view_->NewSample(s);
    };
}

void Station::WireSensor()
{
    using Field = StationView::DeviceField;
    sensor::DeviceCommands& d = *devices_;
    d.stopAcquisition = [this] { Stop(); };
    d.SetEvents(this);

    sensor::ParameterTransfer& t = *transfer_;
    t.stopAcquisition = [this] { Stop(); };
    t.commitEdit = [this] {
        if (view_) view_->CommitEdit();
    };
    t.refreshPages = [this] { PagesChanged(); };

    parFile_->refreshPages = [this] { PagesChanged(); };

    sensor::Identification& i = *ident_;
    i.stopAcquisition = [this] { Stop(); };
    i.applyType = [this](int row) {
        session_.CopyValidSensorType(row);
        if (view_) view_->TypeApplied(row);
    };
    i.setSerialModeIndex = [this](int index) {
        device_.serialModeIndex = index;
        DeviceChanged(Field::SerialMode);
    };
    i.refreshPages = [this] { PagesChanged(); };
    i.showIdentPage = [this] {
        if (view_) view_->ShowIdentPage();
    };
}

void Station::WireBoot()
{
    boot_->stopAcquisition = [this] { Stop(); };
    boot_->onPageChanged = [this] {
        if (view_) view_->BootPageChanged();
    };
    download_->onPageChanged = [this] {
        if (view_) view_->BootPageChanged();
    };
    download_->selectCodeFlash = [this] {
        codeFlashSelected_ = true;
        if (view_) view_->BootPageChanged();
    };
    download_->hexImportButton = [this] { return view_ ? view_->PickDownloadFile(false) : false; };
    download_->absImportButton = [this] { return view_ ? view_->PickDownloadFile(true) : false; };
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
    acq_->ALStartExecute();
    // What failed before or while the probe ran is the probe's own result.
    linkFailed_ = false;
}

void Station::Stop()
{
    acq_->ALStopExecute();
    linkFailed_ = false;
}

void Station::Tick()
{
    if (linkFailed_) {
        // The port went away under the running acquisition: it stops.
        linkFailed_ = false;
        acq_->SetStopped(true);
        StartStop(link_->HasPort(), false);
        return;
    }
    acq_->Timer2Timer();
}

bool Station::Capture(int count)
{
    Start();
    if (acq_->Stopped()) return false;
    const int wanted = std::min(count, monitor::MeasurementStore::kSlots);
    // The drain stops at the wanted count, so the store holds exactly that many.
    acq_->wantMore = [this, wanted] { return store_.index() < wanted; };
    app::Clock& clock = session_.clock();
    // A sensor that falls silent must not keep the run waiting for ever.
    const qint64 deadline =
        clock.NowMs() + qint64(wanted) * std::max(timerMs_, settings.measIntervalMs) * 4 + 10000;
    while (store_.index() < wanted && !acq_->Stopped() && clock.NowMs() < deadline) {
        clock.SleepMs(timerMs_);
        Tick();
    }
    acq_->wantMore = nullptr;
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
