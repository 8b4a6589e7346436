#include "link/SimUsbDriver.h"

#include "app/Clock.h"
#include "sim/Profile.h"

#include <algorithm>

namespace vmx::link {

std::unique_ptr<SimUsbDriver> SimUsbDriver::FromOptions(app::Clock& clock,
                                                        const std::optional<QString>& profile,
                                                        const std::vector<sim::ConverterSpec>& extra,
                                                        QString& profileError)
{
    std::vector<sim::ConverterSpec> convs;
    if (profile) {
        QString error;
        if (!sim::ParseProfile(*profile, convs, error)) {
            profileError = error;
            convs.clear();
        }
    }
    for (const sim::ConverterSpec& c : extra)
        convs.push_back(c);
    if (convs.empty()) return nullptr;
    return std::make_unique<SimUsbDriver>(clock, convs);
}

bool SimUsbDriver::IsVirtualProfile(const QString& profile)
{
    return sim::IsVirtualProfile(profile);
}

bool SimUsbDriver::NextUnit()
{
    if (!open_) return false;
    open_->NextUnit(clock_.NowUs());
    return true;
}

bool SimUsbDriver::UnitTested()
{
    if (!open_) return false;
    open_->UnitTested();
    return true;
}

bool SimUsbDriver::HandsFollow(const QString& prompt)
{
    return open_ && open_->hands().Follow(prompt, clock_.NowUs());
}

SimUsbDriver::SimUsbDriver(app::Clock& clock, const std::vector<sim::ConverterSpec>& converters)
    : clock_(clock)
{
    for (const sim::ConverterSpec& c : converters)
        benches_.push_back(std::make_unique<sim::Bench>(c));
}

int SimUsbDriver::ListCount(int& count)
{
    count = int(benches_.size());
    return ft::Ok;
}

int SimUsbDriver::Description(int index, QString& text)
{
    if (index < 0 || index >= int(benches_.size())) return ft::DeviceNotFound;
    text = benches_[size_t(index)]->setup().description.left(49);
    return ft::Ok;
}

int SimUsbDriver::SerialNumber(int index, QString& text)
{
    if (index < 0 || index >= int(benches_.size())) return ft::DeviceNotFound;
    text = benches_[size_t(index)]->setup().serial.left(49);
    return ft::Ok;
}

int SimUsbDriver::Open(int index)
{
    if (index < 0 || index >= int(benches_.size())) return ft::DeviceNotFound;
    sim::Bench& b = *benches_[size_t(index)];
    if (!b.setup().openable) return ft::DeviceNotOpened;
    open_ = &b;
    open_->Opened(clock_.NowUs());
    return ft::Ok;
}

int SimUsbDriver::Close()
{
    if (!open_) return ft::InvalidHandle;
    open_ = nullptr;
    return ft::Ok;
}

int SimUsbDriver::SetBaudRate(int baud)
{
    if (!open_) return ft::InvalidHandle;
    if (baud <= 0) return ft::InvalidParameter;
    baud_ = baud;
    return ft::Ok;
}

int SimUsbDriver::SetDataCharacteristics(int bits, int stopBits, int parity)
{
    if (!open_) return ft::InvalidHandle;
    if ((bits != 7 && bits != 8) || stopBits < 0 || stopBits > 2 || parity < 0 || parity > 4)
        return ft::InvalidParameter;
    return ft::Ok;
}

int SimUsbDriver::SetFlowControl(int, quint8, quint8)
{
    return open_ ? ft::Ok : ft::InvalidHandle;
}

int SimUsbDriver::SetTimeouts(int readMs, int writeMs)
{
    if (!open_) return ft::InvalidHandle;
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    return ft::Ok;
}

int SimUsbDriver::Purge(int mask)
{
    if (!open_) return ft::InvalidHandle;
    if (mask & ft::PurgeRx) open_->PurgeRx(clock_.NowUs());
    return ft::Ok;
}

int SimUsbDriver::Write(const quint8* data, int n, int& written)
{
    written = 0;
    if (!open_) return ft::InvalidHandle;
    if (n <= 0) return ft::Ok;
    written = open_->Write(data, n, clock_.NowUs());
    // The call returns once the rest fits into the chip's FIFO (bounded by the write time-out).
    qint64 until = open_->TxFreeUs() - proto::BytesToUs(kTxFifo);
    if (writeTimeoutMs_ > 0) until = std::min(until, clock_.NowUs() + qint64(writeTimeoutMs_) * 1000);
    clock_.SleepUntilUs(until);
    return ft::Ok;
}

int SimUsbDriver::Read(quint8* data, int n, int& got)
{
    got = 0;
    if (!open_) return ft::InvalidHandle;
    if (n <= 0) return ft::Ok;
    const qint64 timeoutUs = qint64(readTimeoutMs_ > 0 ? readTimeoutMs_ : 10000) * 1000;
    const qint64 deadline = clock_.NowUs() + timeoutUs;
    for (;;) {
        const qint64 now = clock_.NowUs();
        got += open_->Read(data + got, n - got, now);
        if (got >= n || now >= deadline) break;
        const qint64 when = open_->WhenAvailable(n - got, now);
        if (when < 0 || when > deadline)
            clock_.SleepUntilUs(deadline);
        else
            clock_.SleepUntilUs(std::max(when, now + 1));
    }
    return ft::Ok;
}

int SimUsbDriver::QueueStatus(int& count)
{
    count = 0;
    if (!open_) return ft::InvalidHandle;
    count = open_->Available(clock_.NowUs());
    return ft::Ok;
}

int SimUsbDriver::SetRts(bool on)
{
    if (!open_) return ft::InvalidHandle;
    open_->SetRts(on, clock_.NowUs());
    return ft::Ok;
}

int SimUsbDriver::SetDtr(bool on)
{
    if (!open_) return ft::InvalidHandle;
    open_->SetDtr(on, clock_.NowUs());
    return ft::Ok;
}

int SimUsbDriver::SetBitMode(quint8 mask, quint8 mode)
{
    if (!open_) return ft::InvalidHandle;
    open_->SetBitMode(mask, mode, clock_.NowUs());
    return ft::Ok;
}

} // namespace vmx::link
