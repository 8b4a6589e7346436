#include "link/Link.h"

#include "app/Session.h"
#include "link/FtdiDriver.h"
#include "link/QtSerialDriver.h"
#include "link/SimUsbDriver.h"

#include <algorithm>

namespace vmx::link {

namespace {

// "ttyS2" < "ttyS10" < "ttyUSB0": by the name's stem, then by its trailing number.
bool NaturalLess(const QString& a, const QString& b)
{
    auto split = [](const QString& s, QString& stem, qint64& num) {
        int i = int(s.size());
        while (i > 0 && s[i - 1].isDigit())
            --i;
        stem = s.left(i);
        bool ok = false;
        num = s.mid(i).toLongLong(&ok);
        if (!ok) num = -1;
    };
    QString sa, sb;
    qint64 na = 0, nb = 0;
    split(a, sa, na);
    split(b, sb, nb);
    if (sa != sb) return sa < sb;
    if (na != nb) return na < nb;
    return a < b;
}

constexpr int kMaxComTag = 999;

} // namespace

Link::Link(app::Session& session, Events& events, LinkOptions options)
    : session_(&session), events_(events), options_(std::move(options)), protocol_(session, *this)
{
    serial_ = std::make_unique<QtSerialDriver>(session.clock());
    auto set = std::make_unique<UsbDriverSet>();
    if (options_.realUsb) set->Add(std::make_unique<FtdiDriver>(session.clock()));
    usb_ = std::move(set);
    Init();
}

Link::Link(app::Session& session, Events& events, std::unique_ptr<SerialDriver> serial,
           std::unique_ptr<UsbDriver> usb, LinkOptions options)
    : session_(&session), events_(events), options_(std::move(options)), serial_(std::move(serial)),
      usb_(std::move(usb)), protocol_(session, *this)
{
    if (!usb_) usb_ = std::make_unique<UsbDriverSet>();
    Init();
}

void Link::Init()
{
    auto driver = SimUsbDriver::FromOptions(session_->clock(), options_.simulate, options_.simConverters,
                                            profileError_);
    if (!driver) return;
    SimUsbDriver* raw = driver.get();
    if (auto* set = dynamic_cast<UsbDriverSet*>(usb_.get())) {
        set->Add(std::move(driver));
        sim_ = raw;
    } else {
        // A test's own USB driver: list it first, then the simulated converters.
        auto combined = std::make_unique<UsbDriverSet>();
        combined->Add(std::move(usb_));
        combined->Add(std::move(driver));
        usb_ = std::move(combined);
        sim_ = raw;
    }
}

Link::~Link()
{
    CloseAll();
}

LinkOptions::LinkOptions() = default;
LinkOptions::~LinkOptions() = default;
LinkOptions::LinkOptions(const LinkOptions&) = default;
LinkOptions::LinkOptions(LinkOptions&&) noexcept = default;
LinkOptions& LinkOptions::operator=(const LinkOptions&) = default;
LinkOptions& LinkOptions::operator=(LinkOptions&&) noexcept = default;

bool LinkOptions::VirtualClock() const
{
    return simulate && SimUsbDriver::IsVirtualProfile(*simulate);
}

bool Link::IsOpen() const
{
    return usbInUse_ || (serial_ && serial_->IsOpen());
}

std::vector<Link::ComCandidate> Link::ComCandidates() const
{
    std::vector<ComCandidate> v;
    if (options_.systemPorts && serial_) {
        for (const SerialPortEntry& e : serial_->List())
            v.push_back(ComCandidate{e.name, e.path.isEmpty() ? e.name : e.path, e.description, e.serial});
        std::sort(v.begin(), v.end(), [](const ComCandidate& a, const ComCandidate& b) {
            return NaturalLess(a.caption, b.caption);
        });
    }
    for (const QString& p : options_.extraPorts) {
        const bool known = std::any_of(v.begin(), v.end(),
                                       [&](const ComCandidate& c) { return c.path == p || c.caption == p; });
        if (!known) v.push_back(ComCandidate{p, p, QString(), QString()});
    }
    if (v.size() > size_t(kMaxComTag)) v.resize(size_t(kMaxComTag));
    return v;
}

bool Link::IsUsbName(const QString& name) const
{
    // Windows tests for "USB" anywhere; Linux has ttyUSB0, which is a serial port.
    if (!name.startsWith(QLatin1String("USB"))) return false;
    return std::none_of(comTable_.begin(), comTable_.end(),
                        [&](const ComCandidate& c) { return c.caption == name; });
}

QString Link::ComPath(const QString& name) const
{
    for (const ComCandidate& c : comTable_)
        if (c.caption == name) return c.path;
    if (name.startsWith(QLatin1Char('/'))) return name;
    return QStringLiteral("/dev/") + name;
}

int Link::Ft(const char* name, int status)
{
    if (status != ft::Ok && d2xxDialogs_)
        session_->host().Ask(app::AskIcon::Error, app::AskButtons::Ok,
                             QString::fromLatin1(name) + FtStatusText(status), QString());
    return status;
}

void Link::UpdateChecks()
{
    for (LinkMenuEntry& e : entries_)
        e.checked = e.caption == portName_;
}

void Link::MenuChanged()
{
    events_.LinkMenuChanged();
}

void Link::Reset_COM_USB()
{
    enumerating_ = true;
    portName_ = QString::fromLatin1(kNoPort);
    entries_.clear();
    MenuChanged();

    // Serial ports from the top down, each new item going to the top: the menu ends in rising
    // order and the lowest port is the one chosen when there is no converter.
    comTable_ = ComCandidates();
    for (int i = int(comTable_.size()) - 1; i >= 0; --i) {
        const ComCandidate& c = comTable_[size_t(i)];
        if (!serial_ || !serial_->Probe(c.path)) continue;
        entries_.insert(entries_.begin(), LinkMenuEntry{c.caption, i + 1, true, c.description, c.serial});
        portName_ = c.caption;
        session_->PanelText(0, c.caption);
    }

    // From here on the driver's failures are not shown in dialogs any more.
    d2xxDialogs_ = false;
    int count = 0;
    if (Ft("GetFTDeviceCount", usb_->ListCount(count)) != ft::Ok) count = 0;
    for (int n = count; n >= 1; --n) {
        const int index = n - 1;
        QString description, serial;
        Ft("GetFTDeviceDescription", usb_->Description(index, description));
        Ft("GetFTDeviceSerialNo", usb_->SerialNumber(index, serial));
        description = description.left(49);
        serial = serial.left(49);
        if (Ft("FT_Open", usb_->Open(index)) != ft::Ok) continue;
        const QString caption = QStringLiteral("USB%1").arg(n);
        entries_.insert(entries_.begin(), LinkMenuEntry{caption, kUsbTagBase + n, true, description, serial});
        portName_ = caption;
        session_->PanelText(0, caption + QStringLiteral(": ") + description + QStringLiteral(" / SN: ") +
                                   serial);
        usb_->Close(); // errors of the close are of no interest
    }

    UpdateChecks();
    if (HasPort())
        ComXChanged();
    else
        session_->host().Ask(app::AskIcon::Warning, app::AskButtons::Ok, session_->Msg(251), QString());
    enumerating_ = false;
    MenuChanged();
}

void Link::NewComX(int tag)
{
    if (enumerating_) return;
    if (tag <= kUsbTagBase) {
        if (tag < 1 || tag > int(comTable_.size())) return;
        portName_ = comTable_[size_t(tag - 1)].caption;
    } else {
        portName_ = QStringLiteral("USB%1").arg(tag - kUsbTagBase);
    }
    UpdateChecks();
    MenuChanged();
    ComXChanged();
}

bool Link::SelectPort(const QString& name)
{
    for (const LinkMenuEntry& e : entries_) {
        if (e.caption == name) {
            NewComX(e.tag);
            return IsOpen();
        }
    }
    portName_ = name;
    UpdateChecks();
    MenuChanged();
    ComXChanged();
    return IsOpen();
}

void Link::CloseAll()
{
    if (serial_) serial_->Close();
    if (usb_ && usb_->IsOpen()) usb_->Close();
    usbInUse_ = false;
    usbIndex_ = -1;
    usbDescription_.clear();
    usbSerial_.clear();
}

void Link::ComXChanged()
{
    app::Host& host = session_->host();
    host.SetBusy(true);
    CloseAll();
    if (IsUsbName(portName_)) {
        bool ok = false;
        const int number = portName_.mid(3).toInt(&ok);
        if (!ok) {
            session_->PanelText(0, session_->Msg(252) + QStringLiteral(": ") + portName_);
            host.SetBusy(false);
            return;
        }
        const int index = number - 1;
        QString description, serial;
        Ft("GetFTDeviceDescription", usb_->Description(index, description));
        Ft("GetFTDeviceSerialNo", usb_->SerialNumber(index, serial));
        if (Ft("FT_Open", usb_->Open(index)) != ft::Ok) {
            session_->PanelText(0, session_->Msg(252) + QStringLiteral(": ") + portName_);
            host.SetBusy(false);
            return;
        }
        Ft("FT_SetBaudRate", usb_->SetBaudRate(proto::kBaudRate));
        Ft("FT_SetDataCharacteristics", usb_->SetDataCharacteristics(8, 0, 0));
        Ft("FT_SetFlowControl", usb_->SetFlowControl(0, 0x11, 0x13));
        Ft("FT_SetTimeouts", usb_->SetTimeouts(1000, 1000));
        Ft("FT_ClrDTR", usb_->SetDtr(false));
        // The line starts routed to the test module.
        Ft("FT_ClrRTS", usb_->SetRts(false));
        usbDescription_ = description.left(49);
        usbSerial_ = serial.left(49);
        usbIndex_ = index;
        session_->PanelText(0, portName_ + QStringLiteral(": ") + usbDescription_ +
                                   QStringLiteral(" / SN: ") + usbSerial_);
        usbInUse_ = true;
    } else {
        if (!serial_ || !serial_->Open(ComPath(portName_))) {
            session_->PanelText(0, session_->Msg(253) + QStringLiteral(": ") + portName_);
        } else {
            serial_->SetQueues(kInQueue, kOutQueue);
            CommTimeouts t;
            t.readIntervalMs = 1000;
            t.readTotalMultiplierMs = 1500;
            t.readTotalConstantMs = 1000;
            t.writeTotalMultiplierMs = 1500;
            t.writeTotalConstantMs = 1000;
            serial_->SetTimeouts(t);
            session_->PanelText(0, portName_);
        }
    }
    host.SetBusy(false);
}

bool Link::ResetLinks()
{
    CloseAll();
    Reset_COM_USB();
    const bool start = HasPort();
    events_.StartStopEnabled(start, false);
    return start;
}

void Link::Purge_In()
{
    events_.LinkIo('p', 0);
    session_->clock().SleepMs(5);
    if (usbInUse_)
        Ft("FT_Purge RX", usb_->Purge(ft::PurgeRx));
    else if (serial_ && serial_->IsOpen())
        serial_->Purge();
}

void Link::NotPortOpen()
{
    session_->PanelText(0, session_->Msg(253) + QStringLiteral(": ") + portName_);
    events_.PortMissing();
}

int Link::Write_Buffer(int n)
{
    n = std::clamp(n, 0, kBufferSize);
    events_.LinkIo('w', n);
    if (usbInUse_) {
        int written = 0;
        lastIoStatus_ = Ft("FT_Write", usb_->Write(tx_.data(), n, written));
        return written;
    }
    if (!serial_ || !serial_->IsOpen()) {
        NotPortOpen();
        return 0;
    }
    const int r = serial_->Write(tx_.data(), n);
    return r < 0 ? 0 : r;
}

int Link::Read_Buffer(int n)
{
    n = std::clamp(n, 0, kBufferSize);
    events_.LinkIo('r', n);
    if (usbInUse_) {
        int got = 0;
        lastIoStatus_ = Ft("FT_Read", usb_->Read(rx_.data(), n, got));
        return lastIoStatus_ != ft::Ok ? 0 : got;
    }
    if (!serial_ || !serial_->IsOpen()) {
        NotPortOpen();
        return 0;
    }
    if (n == 0) return 0;
    // The first byte waits with the one-byte total time-out, the rest with the inter-byte one.
    const int first = serial_->Read(rx_.data(), 1);
    if (first <= 0) return 0;
    if (n == 1) return 1;
    const int rest = serial_->Read(rx_.data() + 1, n - 1);
    if (rest < 0) return 0;
    return rest + 1;
}

int Link::InQueue()
{
    if (usbInUse_) {
        int count = 0;
        // No dialog: the queue is asked on every tick of a stream.
        if (usb_->QueueStatus(count) != ft::Ok) return 0;
        return count;
    }
    // Like a read: a port gone under a running stream stops the acquisition.
    if (!serial_ || !serial_->IsOpen()) {
        NotPortOpen();
        return 0;
    }
    return std::max(serial_->Available(), 0);
}

void Link::ForceRTS(int state)
{
    if (usbInUse_) {
        if (state == 1)
            Ft("FT_SetRTS", usb_->SetRts(true));
        else
            Ft("FT_ClrRTS", usb_->SetRts(false));
    }
    rtsChecked_ = state == 1;
    events_.RtsChanged(RtsCaption(), rtsChecked_);
    events_.LinkIo('s', 5);
    session_->clock().SleepMs(5);
}

bool Link::SetBitMode(quint8 mask, quint8 mode)
{
    if (!usbInUse_) return false;
    return Ft("FT_SetBitMode ", usb_->SetBitMode(mask, mode)) == ft::Ok;
}

size_t Link::SimCount() const
{
    return sim_ ? sim_->size() : 0;
}

sim::Bench* Link::SimBench(size_t i)
{
    return sim_ && i < sim_->size() ? &sim_->bench(i) : nullptr;
}

sim::Bench* Link::OpenSimBench()
{
    return usbInUse_ && sim_ ? sim_->openBench() : nullptr;
}

bool Link::SimulatedNextUnit()
{
    return usbInUse_ && sim_ && sim_->NextUnit();
}

bool Link::SimulatedUnitTested()
{
    return usbInUse_ && sim_ && sim_->UnitTested();
}

bool Link::SimulatedHandsFollow(const QString& prompt)
{
    return usbInUse_ && sim_ && sim_->HandsFollow(prompt);
}

} // namespace vmx::link
