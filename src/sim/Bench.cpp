#include "sim/Bench.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace vmx::sim {

using namespace proto;

Bench::Bench(ConverterSpec setup) : spec_(std::move(setup)), sensor_(spec_.sensor)
{
    sensor_.trace = &trace_;
    const bool withModule = spec_.kind == ConverterKind::TestModule ||
                            (spec_.kind == ConverterKind::Serial && spec_.routeToModule);
    if (withModule) {
        module_ = std::make_unique<TestModule>(spec_.module);
        module_->trace = &trace_;
        // Two channels are two controllers with memories of their own, one per interface.
        if (spec_.sensor.twoChannels) {
            slave_ = std::make_unique<Sensor>(spec_.sensor);
            slave_->trace = &trace_;
            hands_.second = slave_.get();
        }
        module_->onPower = [this](bool on, qint64 t) {
            sensor_.SetPower(on, t);
            if (slave_) slave_->SetPower(on, t);
        };
        module_->onTestPulse = [this](qint64 t) {
            sensor_.TestInputPulse(t);
            if (slave_) slave_->TestInputPulse(t);
        };
        module_->target = &sensor_;
        // Switching outputs follow the alarm: low while the sensor sees air, is off or halted.
        // A unit of two channels: the odd ports are the slave's.
        module_->outputState = [this](int output, qint64 t) -> quint8 {
            const Sensor& s = slave_ && output % 2 == 1 ? *slave_ : sensor_;
            if (s.run() != Sensor::Run::App) return 0x01;
            return s.OutputLevel(t);
        };
        // The QVR02.10's letters: L liquid, B bubble or air, E no tube or no sensor.
        module_->qvr02State = [this](qint64 t) -> quint8 {
            if (sensor_.run() != Sensor::Run::App || sensor_.tube() == Tube::None) return 0x08;
            return sensor_.AirAt(t) ? 0x04 : 0x01;
        };
        if (!spec_.module.sensorPower) {
            sensor_.SetPower(false, 0);
            if (slave_) slave_->SetPower(false, 0);
        }
    }
    LoadState();
}

Bench::~Bench()
{
    SaveState();
}

namespace {
bool Load(const QString& path, quint8* data, qsizetype size)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() != size) return false;
    return f.read(reinterpret_cast<char*>(data), size) == size;
}
bool Save(const QString& path, const quint8* data, qsizetype size)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(reinterpret_cast<const char*>(data), size) != size) return false;
    return f.commit();
}
// The PIC as twelve-bit words, low byte first: 56 program words, CONFIG, OSCCAL, its backup.
constexpr int kPicWords = PicChip::kWords + 3;
} // namespace

void Bench::LoadState()
{
    if (spec_.stateDir.isEmpty()) return;
    const QDir dir(spec_.stateDir);
    BootLoader& b = sensor_.bootLoader();
    // A file of the wrong size is not this bench's: the memory keeps its power-up contents.
    const bool flash =
        Load(dir.filePath(QStringLiteral("sensor-flash.bin")), b.flash().data(), b.flash().size());
    Load(dir.filePath(QStringLiteral("sensor-eeprom.bin")), b.eeprom().data(), b.eeprom().size());
    if (flash) sensor_.FlashChanged(0);
    unitTested_ = QFile::exists(dir.filePath(QStringLiteral("unit-tested")));
    if (slave_) {
        BootLoader& c = slave_->bootLoader();
        if (Load(dir.filePath(QStringLiteral("slave-flash.bin")), c.flash().data(), c.flash().size()))
            slave_->FlashChanged(0);
        Load(dir.filePath(QStringLiteral("slave-eeprom.bin")), c.eeprom().data(), c.eeprom().size());
    }
    if (!module_) return;
    BootLoader& m = module_->loader();
    Load(dir.filePath(QStringLiteral("module-flash.bin")), m.flash().data(), m.flash().size());
    std::array<quint8, 2 * kPicWords> pic{};
    if (Load(dir.filePath(QStringLiteral("pic.bin")), pic.data(), pic.size())) {
        PicChip& chip = module_->pic();
        auto word = [&](int i) {
            return quint16((pic[size_t(2 * i)] | (pic[size_t(2 * i + 1)] << 8)) & 0xFFF);
        };
        for (int i = 0; i < PicChip::kWords; ++i)
            chip.words[size_t(i)] = word(i);
        chip.config = word(PicChip::kWords);
        chip.oscCal = word(PicChip::kWords + 1);
        chip.oscBackup = word(PicChip::kWords + 2);
    }
}

bool Bench::SaveState()
{
    if (spec_.stateDir.isEmpty()) return true;
    const QDir dir(spec_.stateDir);
    if (!dir.exists() && !QDir().mkpath(spec_.stateDir)) return false;
    BootLoader& b = sensor_.bootLoader();
    bool ok = Save(dir.filePath(QStringLiteral("sensor-flash.bin")), b.flash().data(), b.flash().size());
    const QString tested = dir.filePath(QStringLiteral("unit-tested"));
    ok = (unitTested_ ? Save(tested, nullptr, 0) : !QFile::exists(tested) || QFile::remove(tested)) && ok;
    ok = Save(dir.filePath(QStringLiteral("sensor-eeprom.bin")), b.eeprom().data(), b.eeprom().size()) && ok;
    if (slave_) {
        BootLoader& c = slave_->bootLoader();
        ok = Save(dir.filePath(QStringLiteral("slave-flash.bin")), c.flash().data(), c.flash().size()) && ok;
        ok = Save(dir.filePath(QStringLiteral("slave-eeprom.bin")), c.eeprom().data(), c.eeprom().size()) &&
             ok;
    }
    if (!module_) return ok;
    BootLoader& m = module_->loader();
    ok = Save(dir.filePath(QStringLiteral("module-flash.bin")), m.flash().data(), m.flash().size()) && ok;
    const PicChip& chip = module_->pic();
    std::array<quint8, 2 * kPicWords> pic{};
    auto put = [&](int i, quint16 w) {
        pic[size_t(2 * i)] = quint8(w);
        pic[size_t(2 * i + 1)] = quint8(w >> 8);
    };
    for (int i = 0; i < PicChip::kWords; ++i)
        put(i, chip.words[size_t(i)]);
    put(PicChip::kWords, chip.config);
    put(PicChip::kWords + 1, chip.oscCal);
    put(PicChip::kWords + 2, chip.oscBackup);
    return Save(dir.filePath(QStringLiteral("pic.bin")), pic.data(), pic.size()) && ok;
}

bool Bench::RoutedToModule() const
{
    if (!module_) return false;
    if (spec_.kind == ConverterKind::Serial) return spec_.routeToModule;
    // RTS set routes the line to the sensor, cleared to the test module.
    return !rts_;
}

bool Bench::SensorConnected() const
{
    if (RoutedToModule()) return false;
    // A unit of two channels (interface -1) answers behind each of the module's interfaces:
    // its slave behind interface 0, its master behind the others.
    const int own = sensor_.profile().serialIf;
    if (module_ && own >= 0 && module_->serialIf() != own) return false;
    return true;
}

Device* Bench::Routed()
{
    if (RoutedToModule()) return module_.get();
    if (!SensorConnected()) return nullptr;
    if (slave_ && module_->serialIf() == kIfSlave) return slave_.get();
    return &sensor_;
}

void Bench::NextUnit(qint64 now)
{
    if (!unitTested_) return;
    unitTested_ = false;
    Pull(now);
    sensor_.NextUnit(now);
    if (slave_) slave_->NextUnit(now);
}

void Bench::Deliver(Device& d, qint64 now, bool keep)
{
    d.Advance(now);
    // Stream the device skipped because nobody could have held it is lost like the rest.
    qint64 lost = d.TakeSkipped();
    if (!keep) lost = 0;
    auto& q = d.out.q;
    while (!q.empty() && q.front().t <= now) {
        if (keep) {
            if (int(rx_.size()) < rxCapacity_)
                rx_.push_back(q.front().b);
            else
                ++lost;
        }
        q.pop_front();
    }
    NoteOverrun(lost, now, &d == module_.get() ? Unit::TestModule : Unit::Sensor);
}

void Bench::NoteOverrun(qint64 bytes, qint64 now, Unit unit)
{
    if (bytes <= 0) return;
    overrunBytes_ += bytes;
    trace_.Add(TraceEntry{now, Dir::Out, unit, QByteArray(), false,
                          QStringLiteral("overrun: %1 bytes lost").arg(bytes)});
}

void Bench::Pull(qint64 now)
{
    Device* r = Routed();
    Deliver(sensor_, now, r == &sensor_);
    if (slave_) Deliver(*slave_, now, r == slave_.get());
    if (module_) Deliver(*module_, now, r == module_.get());
}

int Bench::Write(const quint8* data, int n, qint64 now)
{
    Pull(now);
    if (now > txFreeUs_) {
        txRunStart_ = now;
        txRunCount_ = 0;
    }
    Device* r = Routed();
    for (int i = 0; i < n; ++i) {
        ++txRunCount_;
        const qint64 t = txRunStart_ + BytesToUs(txRunCount_);
        if (r) r->Receive(data[i], t);
    }
    txFreeUs_ = txRunStart_ + BytesToUs(txRunCount_);
    return n;
}

int Bench::Read(quint8* data, int max, qint64 now)
{
    Pull(now);
    int n = 0;
    while (n < max && !rx_.empty()) {
        data[n++] = rx_.front();
        rx_.pop_front();
    }
    return n;
}

int Bench::Available(qint64 now)
{
    Pull(now);
    return int(rx_.size());
}

qint64 Bench::WhenAvailable(int n, qint64 now)
{
    Pull(now);
    const int have = int(rx_.size());
    if (have >= n) return now;
    Device* r = Routed();
    if (!r) return -1;
    const int need = n - have;
    const auto& q = r->out.q;
    if (int(q.size()) >= need) return q[size_t(need - 1)].t;
    const qint64 s = r->SpontaneousUs(need - int(q.size()), now);
    if (s >= 0) return s;
    return q.empty() ? -1 : q.back().t;
}

void Bench::PurgeRx(qint64 now)
{
    Pull(now);
    rx_.clear();
}

void Bench::Opened(qint64 now)
{
    Pull(now);
    rx_.clear();
}

void Bench::SetRts(bool on, qint64 now)
{
    Pull(now);
    rts_ = on;
}

void Bench::SetDtr(bool on, qint64 now)
{
    Pull(now);
    dtr_ = on;
}

void Bench::SetBitMode(quint8 mask, quint8 mode, qint64 now)
{
    Pull(now);
    if (spec_.kind != ConverterKind::LineAdapter) return;
    const bool cbus = mode == kBitModeCbus;
    const quint8 outputs = cbus ? quint8(mask >> 4) : 0;
    const quint8 levels = mask & 0x0F;
    const bool powerOff = (outputs & 0x04) && (levels & 0x04);
    const bool pulse = (outputs & 0x08) != 0;
    if (powerOff != cbusPowerOff_) {
        cbusPowerOff_ = powerOff;
        sensor_.SetPower(!powerOff, now);
    }
    if (pulse && !cbusPulse_) sensor_.TestInputPulse(now);
    cbusPulse_ = pulse;
}

} // namespace vmx::sim
