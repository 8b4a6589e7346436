#include "link/UsbDriver.h"

namespace vmx::link {

QString FtStatusText(int status)
{
    switch (status) {
    case 0:
        return QString();
    case 1:
        return QStringLiteral(" - Invalid Handle...");
    case 2:
        return QStringLiteral(" - Device Not Found....");
    case 3:
        return QStringLiteral(" - Device Not Opened...");
    case 4:
        return QStringLiteral(" - General IO Error...");
    case 5:
        return QStringLiteral(" - Insufficient Resources...");
    case 6:
        return QStringLiteral(" - Invalid Parameter ...");
    default:
        return QStringLiteral(" - Error %1...").arg(status);
    }
}

int UsbDriverSet::ListCount(int& count)
{
    count = 0;
    counts_.assign(drivers_.size(), 0);
    int status = ft::Ok;
    for (size_t i = 0; i < drivers_.size(); ++i) {
        int n = 0;
        const int st = drivers_[i]->ListCount(n);
        if (st != ft::Ok) {
            status = st;
            n = 0;
        }
        counts_[i] = n;
        count += n;
    }
    return status;
}

bool UsbDriverSet::Locate(int index, UsbDriver*& driver, int& local) const
{
    if (index < 0) return false;
    for (size_t i = 0; i < drivers_.size() && i < counts_.size(); ++i) {
        if (index < counts_[i]) {
            driver = drivers_[i].get();
            local = index;
            return true;
        }
        index -= counts_[i];
    }
    return false;
}

int UsbDriverSet::Description(int index, QString& text)
{
    UsbDriver* d = nullptr;
    int local = 0;
    if (!Locate(index, d, local)) return ft::DeviceNotFound;
    return d->Description(local, text);
}

int UsbDriverSet::SerialNumber(int index, QString& text)
{
    UsbDriver* d = nullptr;
    int local = 0;
    if (!Locate(index, d, local)) return ft::DeviceNotFound;
    return d->SerialNumber(local, text);
}

int UsbDriverSet::Open(int index)
{
    if (counts_.empty()) {
        int n = 0;
        ListCount(n);
    }
    UsbDriver* d = nullptr;
    int local = 0;
    if (!Locate(index, d, local)) return ft::DeviceNotFound;
    if (open_) Close();
    const int st = d->Open(local);
    if (st == ft::Ok) open_ = d;
    return st;
}

int UsbDriverSet::Close()
{
    if (!open_) return ft::InvalidHandle;
    UsbDriver* d = open_;
    open_ = nullptr;
    return d->Close();
}

int UsbDriverSet::SetBaudRate(int baud)
{
    return open_ ? open_->SetBaudRate(baud) : ft::InvalidHandle;
}
int UsbDriverSet::SetDataCharacteristics(int bits, int stopBits, int parity)
{
    return open_ ? open_->SetDataCharacteristics(bits, stopBits, parity) : ft::InvalidHandle;
}
int UsbDriverSet::SetFlowControl(int flow, quint8 xon, quint8 xoff)
{
    return open_ ? open_->SetFlowControl(flow, xon, xoff) : ft::InvalidHandle;
}
int UsbDriverSet::SetTimeouts(int readMs, int writeMs)
{
    return open_ ? open_->SetTimeouts(readMs, writeMs) : ft::InvalidHandle;
}
int UsbDriverSet::Purge(int mask)
{
    return open_ ? open_->Purge(mask) : ft::InvalidHandle;
}
int UsbDriverSet::Write(const quint8* data, int n, int& written)
{
    written = 0;
    return open_ ? open_->Write(data, n, written) : ft::InvalidHandle;
}
int UsbDriverSet::Read(quint8* data, int n, int& got)
{
    got = 0;
    return open_ ? open_->Read(data, n, got) : ft::InvalidHandle;
}
int UsbDriverSet::QueueStatus(int& count)
{
    count = 0;
    return open_ ? open_->QueueStatus(count) : ft::InvalidHandle;
}
int UsbDriverSet::SetRts(bool on)
{
    return open_ ? open_->SetRts(on) : ft::InvalidHandle;
}
int UsbDriverSet::SetDtr(bool on)
{
    return open_ ? open_->SetDtr(on) : ft::InvalidHandle;
}
int UsbDriverSet::SetBitMode(quint8 mask, quint8 mode)
{
    return open_ ? open_->SetBitMode(mask, mode) : ft::InvalidHandle;
}

} // namespace vmx::link
