#pragma once
// What every fuzz target needs: a session on a virtual clock whose host says nothing and
// answers questions as the input decides, and a serial port that delivers the input's bytes.
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "link/Link.h"
#include "link/SerialDriver.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vmx::fuzz {

class QuietHost final : public app::Host {
public:
    explicit QuietHost(app::Clock& clock) : clock_(clock) {}
    void PanelText(int, const QString& text) override { lastText = text; }
    void ShowLComment(app::CommentColour, const QString&) override {}
    app::AskResult Ask(app::AskIcon, app::AskButtons buttons, const QString&, const QString&) override
    {
        if (buttons == app::AskButtons::Ok) return app::AskResult::Ok;
        return yes ? app::AskResult::Yes : app::AskResult::No;
    }
    void Wait(int ms) override { clock_.SleepMs(ms); }
    void ProcessMessages() override {}
    void Beep() override {}
    void SetClipboardText(const QString&) override {}
    QString ClipboardText() override { return {}; }

    bool yes = true;
    QString lastText;

private:
    app::Clock& clock_;
};

// The link's events, heard by nobody.
struct QuietLinkEvents final : link::Link::Events {
    void LinkMenuChanged() override {}
    void RtsChanged(const QString&, bool) override {}
    void PortMissing() override {}
    void StartStopEnabled(bool, bool) override {}
    void LinkIo(char, int) override {}
};

struct Env {
    app::VirtualClock clock;
    QuietLinkEvents linkEvents;
    QuietHost host{clock};
    app::Session session{host, clock, QStringLiteral("/nonexistent")};
};

// One serial port, "ttyS0", that sends what the input holds and swallows what is written.
class ByteSerial final : public link::SerialDriver {
public:
    std::vector<std::uint8_t> input;
    size_t at = 0;
    app::Clock* clock = nullptr;
    link::CommTimeouts timeouts;

    std::vector<link::SerialPortEntry> List() override
    {
        return {{QStringLiteral("ttyS0"), QStringLiteral("/dev/ttyS0"), QStringLiteral("fuzz"), QString()}};
    }
    bool Probe(const QString&) override { return true; }
    bool Open(const QString&) override { return open_ = true; }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool SetQueues(int, int) override { return true; }
    bool SetTimeouts(const link::CommTimeouts& t) override
    {
        timeouts = t;
        return true;
    }
    bool Purge() override { return true; }
    int Write(const quint8*, int n) override { return n; }
    // The rest of the input is waiting at once, as a full receive queue would hold it.
    int Available() override { return int(std::min<size_t>(input.size() - at, size_t(INT_MAX))); }
    int Read(quint8* d, int n) override
    {
        const int k = int(std::min<size_t>(size_t(std::max(n, 0)), input.size() - at));
        if (k > 0) std::memcpy(d, input.data() + at, size_t(k));
        at += size_t(k);
        if (k < n && clock)
            clock->SleepMs(timeouts.readTotalConstantMs + qint64(timeouts.readTotalMultiplierMs) * n);
        return k;
    }
    bool Exhausted() const { return at >= input.size(); }

private:
    bool open_ = false;
};

// Takes the first byte of the input (0 when there is none).
inline std::uint8_t TakeByte(const std::uint8_t*& data, size_t& size)
{
    if (size == 0) return 0;
    --size;
    return *data++;
}

} // namespace vmx::fuzz
