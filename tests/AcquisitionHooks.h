#pragma once
// The acquisition's hooks for tests and benches that build an acquisition without a station:
// fixed settings, and the test's own functions for what it watches.

#include "monitor/Acquisition.h"

#include <functional>

namespace vmx::test {

struct AcquisitionHooks final : monitor::Acquisition::Hooks {
    monitor::StoreSettings settings;
    int measIntervalMs = 1000;
    quint8 bubbleFactor = 0;
    bool startEnabled = true, stopEnabled = true;
    int timerMs = -1;
    std::function<void()> redraw;
    std::function<void(int storeIndex)> follow;

    monitor::StoreSettings AcquisitionSettings() override { return settings; }
    int MeasIntervalMs() override { return measIntervalMs; }
    quint8 BubbleFactor() override { return bubbleFactor; }
    void StartStopEnabled(bool start, bool stop) override { startEnabled = start, stopEnabled = stop; }
    void TimerIntervalChanged(int ms) override { timerMs = ms; }
    void RedrawDiagram() override
    {
        if (redraw) redraw();
    }
    void FollowSample(int storeIndex) override
    {
        if (follow) follow(storeIndex);
    }
    void NewMeasValue(const monitor::MeasSample&) override {}
    void SampleStored(const monitor::MeasSample&, bool) override {}
};

} // namespace vmx::test
