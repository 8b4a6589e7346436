#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace vmx::app {

// The one clock every wait and time-out goes through. The window, vmxctl and vmx-sim run it in
// real time; in-process tests run a virtual clock that jumps ahead whenever the program waits.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 NowUs() const = 0;
    qint64 NowMs() const { return NowUs() / 1000; }
    // Blocks for `us` microseconds of this clock's time (a virtual clock jumps ahead).
    virtual void SleepUs(qint64 us) = 0;
    void SleepMs(qint64 ms) { SleepUs(ms * 1000); }
    // Sleeps until NowUs() >= t (no-op when t has passed).
    void SleepUntilUs(qint64 t)
    {
        const qint64 now = NowUs();
        if (t > now) SleepUs(t - now);
    }
    virtual bool IsVirtual() const = 0;
};

class RealClock final : public Clock {
public:
    RealClock() { timer_.start(); }
    qint64 NowUs() const override { return timer_.nsecsElapsed() / 1000; }
    void SleepUs(qint64 us) override;
    bool IsVirtual() const override { return false; }

private:
    QElapsedTimer timer_;
};

class VirtualClock final : public Clock {
public:
    qint64 NowUs() const override { return now_; }
    void SleepUs(qint64 us) override
    {
        if (us > 0) now_ += us;
    }
    bool IsVirtual() const override { return true; }

private:
    qint64 now_ = 0;
};

} // namespace vmx::app
