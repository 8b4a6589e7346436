#pragma once
// The acquisition on the simulated bench, in the station the program builds, through its own
// link, on a virtual clock.
#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Session.h"
#include "sim/Bench.h"
#include "station/Station.h"

#include <functional>
#include <memory>

namespace vmx::test {

struct AcquisitionRig : station::StationView {
    app::VirtualClock clock;
    RecordingHost host{&clock};
    app::Session session{host, clock, QStringLiteral("/nonexistent")};
    std::unique_ptr<station::Station> station;
    link::Link* lnk;
    monitor::MeasurementStore& store;
    monitor::MeasTableModel& table;
    monitor::Acquisition* acq;
    int interval = -1;
    int& selected; // the CBMeasTime interval
    bool startEnabled = true, stopEnabled = false;
    // What the station tells the window of the diagram and the table's selection.
    std::function<void()> onRedraw;
    std::function<void(int storeIndex)> onFollow;

    explicit AcquisitionRig(const QString& profile, int row = 0)
        : station(Build(session, profile, row)), lnk(&station->link()), store(station->store()),
          table(station->table()), acq(&station->acquisition()), selected(station->settings.measIntervalMs)
    {
        selected = 100;
        station->SetView(this);
        lnk->Reset_COM_USB();
    }
    ~AcquisitionRig() override { station->SetView(nullptr); }

    // StationView
    void TimerIntervalChanged(int ms) override { interval = ms; }
    void Redraw() override
    {
        if (onRedraw) onRedraw();
    }
    void Follow(int storeIndex) override
    {
        if (onFollow) onFollow(storeIndex);
    }
    void AcquisitionChanged() override
    {
        startEnabled = station->StartEnabled();
        stopEnabled = station->StopEnabled();
    }

    // One timer tick after the interval has passed.
    void Tick()
    {
        clock.SleepMs(interval > 0 ? interval : 10);
        station->Tick();
    }
    // Ticks until the acquisition stores, at most `limit` ticks.
    bool TickUntilStored(int limit = 40)
    {
        const int before = store.index();
        for (int i = 0; i < limit && store.index() == before; ++i)
            Tick();
        return store.index() > before;
    }
    int Count(int prefix, int message) const
    {
        return int(host.panel1Log.count(session.Msg(prefix) + session.Msg(message)));
    }
    sim::Bench& bench() { return *lnk->OpenSimBench(); }

private:
    static std::unique_ptr<station::Station> Build(app::Session& s, const QString& profile, int row)
    {
        s.CopyValidSensorType(row);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        return std::make_unique<station::Station>(s, o);
    }
};

} // namespace vmx::test
