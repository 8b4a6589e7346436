#pragma once
// The link's events for tests and benches that build a link without a station: each one is
// counted or handed to the test's own function when it set one.

#include "link/Link.h"

#include <QString>

#include <functional>

namespace vmx::test {

struct LinkEvents final : link::Link::Events {
    std::function<void()> menuChanged;
    std::function<void(const QString& caption, bool checked)> rtsChanged;
    std::function<void()> portMissing;
    std::function<void(bool startEnabled, bool stopEnabled)> startStop;
    std::function<void(char op, int n)> io;

    void LinkMenuChanged() override
    {
        if (menuChanged) menuChanged();
    }
    void RtsChanged(const QString& caption, bool checked) override
    {
        if (rtsChanged) rtsChanged(caption, checked);
    }
    void PortMissing() override
    {
        if (portMissing) portMissing();
    }
    void StartStopEnabled(bool startEnabled, bool stopEnabled) override
    {
        if (startStop) startStop(startEnabled, stopEnabled);
    }
    void LinkIo(char op, int n) override
    {
        if (io) io(op, n);
    }
};

} // namespace vmx::test
