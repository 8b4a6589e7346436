// vmxctl capture: START, N samples, STOP, the table rows on standard output.
#include "cli/CliContext.h"
#include "link/Link.h"
#include "monitor/Acquisition.h"

namespace vmx::cli {

namespace {

struct CaptureArgs {
    int count = 20;
    int intervalMs = 1000;
};

int Capture(CliContext& ctx, const CaptureArgs& a)
{
    if (!ctx.StartLink()) return kExitUsage;
    link::Link& lnk = ctx.link();
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    monitor::Acquisition acq(ctx.session(), lnk, store, table);
    int timerMs = 200;
    acq.setTimerInterval = [&timerMs](int ms) { timerMs = ms; };
    acq.measIntervalMs = [&a] { return a.intervalMs; };
    acq.settings = [&ctx] {
        monitor::StoreSettings st;
        st.Policy = ctx.session().config.Overflow;
        return st;
    };
    acq.ALStartExecute();
    if (acq.Stopped()) return kExitFailed;
    const int wanted = std::min(a.count, monitor::MeasurementStore::kSlots);
    // A sensor that falls silent must not keep the command waiting for ever.
    const qint64 deadline = ctx.clock().NowMs() + qint64(wanted) * std::max(timerMs, a.intervalMs) * 4 + 10000;
    while (store.index() < wanted && !acq.Stopped() && ctx.clock().NowMs() < deadline) {
        ctx.clock().SleepMs(timerMs);
        acq.Timer2Timer();
    }
    const int got = store.index();
    if (!acq.Stopped()) acq.ALStopExecute();
    for (int row = 1; row <= got; ++row) CliContext::Out(table.Row(row).join(QLatin1Char('\t')));
    return got >= wanted ? kExitOk : kExitFailed;
}

} // namespace

void AddCaptureCommands(CLI::App& app, CliContext& ctx)
{
    static CaptureArgs args;
    auto* c = app.add_subcommand("capture", "START, N samples, STOP; print the table rows");
    c->add_option("-n", args.count, "Number of samples")->check(CLI::Range(1, 32001));
    c->add_option("--interval", args.intervalMs, "Measuring interval of a polled sensor in ms")
        ->check(CLI::Range(10, 600000));
    c->callback([&ctx] { ctx.run = [&ctx] { return Capture(ctx, args); }; });
}

} // namespace vmx::cli
