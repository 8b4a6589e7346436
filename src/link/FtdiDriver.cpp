#include "link/FtdiDriver.h"

#include "app/Clock.h"

#include <libftdi1/ftdi.h>

#include <algorithm>

namespace vmx::link {

FtdiDriver::FtdiDriver(app::Clock& clock) : clock_(clock) {}

FtdiDriver::~FtdiDriver()
{
    if (ctx_) {
        if (open_) ftdi_usb_close(ctx_);
        if (list_) ftdi_list_free(&list_);
        ftdi_free(ctx_);
    }
}

bool FtdiDriver::Context()
{
    if (ctx_) return true;
    if (noUsb_) return false;
    ctx_ = ftdi_new();
    if (!ctx_) noUsb_ = true;
    return ctx_ != nullptr;
}

int FtdiDriver::ListCount(int& count)
{
    count = 0;
    // A machine without USB has no converters; that is not an error the user must see.
    if (!Context()) return ft::Ok;
    if (list_) ftdi_list_free(&list_);
    list_ = nullptr;
    // Vendor and product 0: libftdi's list of FTDI chips.
    const int n = ftdi_usb_find_all(ctx_, &list_, 0, 0);
    if (n < 0) {
        count_ = 0;
        return n == -3 ? ft::InsufficientResources : ft::IoError;
    }
    count_ = n;
    count = n;
    return ft::Ok;
}

libusb_device* FtdiDriver::DeviceAt(int index) const
{
    if (index < 0 || index >= count_) return nullptr;
    ftdi_device_list* p = list_;
    for (int i = 0; p && i < index; ++i)
        p = p->next;
    return p ? p->dev : nullptr;
}

int FtdiDriver::Strings(int index, QString* description, QString* serial)
{
    if (!ctx_) return ft::DeviceNotFound;
    libusb_device* dev = DeviceAt(index);
    if (!dev) return ft::DeviceNotFound;
    char desc[50] = {};
    char sn[50] = {};
    if (ftdi_usb_get_strings(ctx_, dev, nullptr, 0, desc, sizeof desc, sn, sizeof sn) < 0) return ft::IoError;
    if (description) *description = QString::fromLatin1(desc, int(qstrnlen(desc, 49)));
    if (serial) *serial = QString::fromLatin1(sn, int(qstrnlen(sn, 49)));
    return ft::Ok;
}

int FtdiDriver::Description(int index, QString& text)
{
    return Strings(index, &text, nullptr);
}
int FtdiDriver::SerialNumber(int index, QString& text)
{
    return Strings(index, nullptr, &text);
}

int FtdiDriver::Open(int index)
{
    if (!ctx_) return ft::DeviceNotFound;
    if (open_) Close();
    libusb_device* dev = DeviceAt(index);
    if (!dev) return ft::DeviceNotFound;
    if (ftdi_usb_open_dev(ctx_, dev) < 0) return ft::DeviceNotOpened;
    ftdi_read_data_set_chunksize(ctx_, kChunk);
    ahead_.clear();
    open_ = true;
    return ft::Ok;
}

int FtdiDriver::Close()
{
    if (!open_) return ft::InvalidHandle;
    open_ = false;
    ahead_.clear();
    return ftdi_usb_close(ctx_) < 0 ? ft::IoError : ft::Ok;
}

namespace {
int St(int rc)
{
    return rc < 0 ? ft::IoError : ft::Ok;
}
} // namespace

int FtdiDriver::SetBaudRate(int baud)
{
    if (!open_) return ft::InvalidHandle;
    return ftdi_set_baudrate(ctx_, baud) < 0 ? ft::InvalidParameter : ft::Ok;
}

int FtdiDriver::SetDataCharacteristics(int bits, int stopBits, int parity)
{
    if (!open_) return ft::InvalidHandle;
    const ftdi_bits_type b = bits == 7 ? BITS_7 : BITS_8;
    const ftdi_stopbits_type s = stopBits == 2 ? STOP_BIT_2 : (stopBits == 1 ? STOP_BIT_15 : STOP_BIT_1);
    const ftdi_parity_type p = parity == 1   ? ODD
                               : parity == 2 ? EVEN
                               : parity == 3 ? MARK
                               : parity == 4 ? SPACE
                                             : NONE;
    return St(ftdi_set_line_property(ctx_, b, s, p));
}

int FtdiDriver::SetFlowControl(int flow, quint8, quint8)
{
    if (!open_) return ft::InvalidHandle;
    return St(ftdi_setflowctrl(ctx_, flow == 0 ? SIO_DISABLE_FLOW_CTRL : flow));
}

int FtdiDriver::SetTimeouts(int readMs, int writeMs)
{
    if (!open_) return ft::InvalidHandle;
    readTimeoutMs_ = readMs;
    ctx_->usb_write_timeout = writeMs;
    return ft::Ok;
}

int FtdiDriver::Purge(int mask)
{
    if (!open_) return ft::InvalidHandle;
    int st = ft::Ok;
    if (mask & ft::PurgeRx) {
        ahead_.clear();
        st = St(ftdi_tciflush(ctx_));
    }
    if ((mask & ft::PurgeTx) && st == ft::Ok) st = St(ftdi_tcoflush(ctx_));
    return st;
}

int FtdiDriver::Write(const quint8* data, int n, int& written)
{
    written = 0;
    if (!open_) return ft::InvalidHandle;
    const int rc = ftdi_write_data(ctx_, data, n);
    if (rc < 0) return ft::IoError;
    written = rc;
    return ft::Ok;
}

int FtdiDriver::Read(quint8* data, int n, int& got)
{
    got = 0;
    if (!open_) return ft::InvalidHandle;
    const qint64 deadline = clock_.NowUs() + qint64(readTimeoutMs_) * 1000;
    if (!ahead_.empty() && n > 0) {
        got = int(std::min(ahead_.size(), size_t(n)));
        std::copy_n(ahead_.begin(), got, data);
        ahead_.erase(ahead_.begin(), ahead_.begin() + got);
    }
    while (got < n) {
        const int rc = ftdi_read_data(ctx_, data + got, n - got);
        if (rc < 0) return ft::IoError;
        got += rc;
        if (got >= n || clock_.NowUs() >= deadline) break;
        if (rc == 0) clock_.SleepUs(1000);
    }
    return ft::Ok;
}

int FtdiDriver::QueueStatus(int& count)
{
    count = 0;
    if (!open_) return ft::InvalidHandle;
    quint8 chunk[4096];
    while (ahead_.size() < kAheadMax) {
        const int want = int(std::min(sizeof chunk, kAheadMax - ahead_.size()));
        const int rc = ftdi_read_data(ctx_, chunk, want);
        if (rc < 0) return ft::IoError;
        ahead_.insert(ahead_.end(), chunk, chunk + rc);
        // A short read is all the chip had: asking again would only wait out its latency.
        if (rc < want) break;
    }
    count = int(ahead_.size());
    return ft::Ok;
}

int FtdiDriver::SetRts(bool on)
{
    if (!open_) return ft::InvalidHandle;
    return St(ftdi_setrts(ctx_, on ? 1 : 0));
}

int FtdiDriver::SetDtr(bool on)
{
    if (!open_) return ft::InvalidHandle;
    return St(ftdi_setdtr(ctx_, on ? 1 : 0));
}

int FtdiDriver::SetBitMode(quint8 mask, quint8 mode)
{
    if (!open_) return ft::InvalidHandle;
    return St(ftdi_set_bitmode(ctx_, mask, mode));
}

} // namespace vmx::link
