#pragma once
// The acquisition on the simulated bench, through the program's own link, on a virtual clock.
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "link/Link.h"
#include "monitor/Acquisition.h"
#include "sim/Bench.h"

#include <memory>

namespace vmx::test {

struct AcquisitionRig {
    app::VirtualClock clock;
    app::RecordingHost host{&clock};
    app::Session session{host, clock, QStringLiteral("/nonexistent")};
    std::unique_ptr<link::Link> lnk;
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    std::unique_ptr<monitor::Acquisition> acq;
    int interval = -1;
    int selected = 100; // the CBMeasTime interval
    bool startEnabled = true, stopEnabled = false;

    explicit AcquisitionRig(const QString& profile, int row = 0)
    {
        session.CopyValidSensorType(row);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        lnk = std::make_unique<link::Link>(session, o);
        lnk->Reset_COM_USB();
        acq = std::make_unique<monitor::Acquisition>(session, *lnk, store, table);
        acq->setTimerInterval = [this](int ms) { interval = ms; };
        acq->onStartStopEnabled = [this](bool s, bool t) { startEnabled = s, stopEnabled = t; };
        acq->measIntervalMs = [this] { return selected; };
    }
    // One timer tick after the interval has passed.
    void Tick()
    {
        clock.SleepMs(interval > 0 ? interval : 10);
        acq->Timer2Timer();
    }
    // Ticks until the acquisition stores, at most `limit` ticks.
    bool TickUntilStored(int limit = 40)
    {
        const int before = store.index();
        for (int i = 0; i < limit && store.index() == before; ++i) Tick();
        return store.index() > before;
    }
    int Count(int prefix, int message) const
    {
        return int(host.panel1Log.count(session.Msg(prefix) + session.Msg(message)));
    }
    sim::Bench& bench() { return *lnk->OpenSimBench(); }
};

} // namespace vmx::test
