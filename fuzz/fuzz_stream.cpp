// The acquisition's stream and poll decoding on any line bytes, tick after tick, into the
// store and the table.
#include "FuzzSupport.h"
#include "app/SensorTypes.h"
#include "link/Link.h"
#include "monitor/Acquisition.h"

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    fuzz::Env env;
    static monitor::MeasurementStore store;
    static monitor::MeasTableModel table;
    auto serial = std::make_unique<fuzz::ByteSerial>();
    fuzz::ByteSerial* port = serial.get();
    port->clock = &env.clock;
    // The serial driver is the input's port ("system ports" lists what the driver lists).
    link::LinkOptions o;
    o.realUsb = false;
    link::Link lnk(env.session, env.linkEvents, std::move(serial), nullptr, o);
    lnk.Reset_COM_USB();
    if (!lnk.IsOpen()) __builtin_trap(); // the target would test nothing
    const std::uint8_t opts = fuzz::TakeByte(data, size);
    env.session.CopyValidSensorType(fuzz::TakeByte(data, size) % app::kSensorTypeCount);
    port->input.assign(data, data + size);
    lnk.protocol().SetWithFrameCrc(opts & 4);
    lnk.protocol().setMeasProtocol(opts & 3); // none, short, long, polled
    store.Reset();
    table.Clear();
    // The acquisition's hooks: the bubble factor and overflow policy come from the input.
    struct Hooks final : monitor::Acquisition::Hooks {
        std::uint8_t opts = 0;
        monitor::StoreSettings AcquisitionSettings() override
        {
            monitor::StoreSettings st;
            st.Policy = app::DataOverflow(((opts >> 3) & 3) % 3);
            return st;
        }
        int MeasIntervalMs() override { return 100; }
        quint8 BubbleFactor() override { return quint8(opts); }
        void StartStopEnabled(bool, bool) override {}
        void TimerIntervalChanged(int) override {}
        void RedrawDiagram() override {}
        void FollowSample(int) override {}
        void NewMeasValue(const monitor::MeasSample&) override {}
        void SampleStored(const monitor::MeasSample&, bool) override {}
    } hooks;
    hooks.opts = opts;
    monitor::Acquisition acq(env.session, lnk, store, table, hooks);
    acq.SetStopped(false);
    for (int tick = 0; tick < 4000 && !port->Exhausted() && !acq.Stopped(); ++tick)
        acq.Tick();
    return 0;
}
