// vmxctl capture, import and events: START, N samples, STOP, the table rows on standard
// output or into an export file; the table of an export file; the bubble events of either.
#include "cli/CliContext.h"
#include "link/Link.h"
#include "monitor/Acquisition.h"
#include "monitor/EventSearch.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"
#include "sensor/ParameterEditor.h"
#include "sensor/ParameterFile.h"

#include <algorithm>

namespace vmx::cli {

namespace {

constexpr int kMsgNoData = 263;

struct CaptureArgs {
    int count = 20;
    int intervalMs = 1000;
    std::string out;
};

struct EventArgs {
    std::string criterion = "out";
    int count = monitor::EventSearch::kDefaultCount;
    int threshold = monitor::EventSearch::kDefaultThreshold;
    std::string file;
    CaptureArgs capture;
};

bool HasExt(const QString& name, const char* ext)
{
    return name.endsWith(QLatin1String(ext), Qt::CaseInsensitive);
}

// START, up to `wanted` samples, STOP; false when fewer arrived. -1: no link.
int CaptureInto(CliContext& ctx, const CaptureArgs& a, monitor::MeasurementStore& store,
                monitor::MeasTableModel& table)
{
    if (!ctx.StartLink()) return -1;
    link::Link& lnk = ctx.link();
    monitor::Acquisition acq(ctx.session(), lnk, store, table);
    int timerMs = 200;
    acq.setTimerInterval = [&timerMs](int ms) { timerMs = ms; };
    acq.measIntervalMs = [&a] { return a.intervalMs; };
    // The working parameter block as the window has it after start (standard set, PARFILE on
    // top): a polled sensor below V1.24 gets its OUT from the block's bubble factor.
    sensor::ParameterBlocks blocks;
    sensor::ParameterFile parFile(ctx.session(), blocks);
    parFile.LoadStandardParameters(ctx.session().config.ParFile);
    sensor::NormaliseEditBlock(blocks.edit, ctx.session().sensor.Flags,
                               int(std::min<quint32>(ctx.session().sensor.ParLen, sensor::kParBlockSize)));
    acq.bubbleFactor = [&blocks] { return blocks.edit.BubbleFactor(); };
    acq.settings = [&ctx] {
        monitor::StoreSettings st;
        st.Policy = ctx.session().config.Overflow;
        return st;
    };
    acq.ALStartExecute();
    if (acq.Stopped()) return 0;
    const int wanted = std::min(a.count, monitor::MeasurementStore::kSlots);
    acq.wantMore = [&store, wanted] { return store.index() < wanted; };
    // A sensor that falls silent must not keep the command waiting for ever.
    const qint64 deadline = ctx.clock().NowMs() + qint64(wanted) * std::max(timerMs, a.intervalMs) * 4 + 10000;
    while (store.index() < wanted && !acq.Stopped() && ctx.clock().NowMs() < deadline) {
        ctx.clock().SleepMs(timerMs);
        acq.Timer2Timer();
    }
    const bool silent = !acq.Stopped() && store.index() < wanted;
    if (!acq.Stopped()) acq.ALStopExecute();
    // Ran out of time without the acquisition saying why: the samples did not come.
    if (silent) ctx.session().PanelText(1, ctx.session().Msg(kMsgNoData));
    return store.index() >= wanted ? 1 : 0;
}

int Capture(CliContext& ctx, const CaptureArgs& a)
{
    const QString out = QString::fromStdString(a.out);
    if (!out.isEmpty() && !HasExt(out, ".txt") && !HasExt(out, ".xlsx")) {
        CliContext::Err(QStringLiteral("--out: FILE.txt or FILE.xlsx"));
        return kExitUsage;
    }
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    const int got = CaptureInto(ctx, a, store, table);
    if (got < 0) return ctx.startExit;
    const int rows = std::min(store.index(), monitor::MeasurementStore::kSlots);
    if (out.isEmpty()) {
        for (int row = 1; row <= rows; ++row) CliContext::Out(table.Row(row).join(QLatin1Char('\t')));
        return got == 1 ? kExitOk : kExitFailed;
    }
    // A capture that failed saves nothing: the file there stays as it was.
    if (got != 1) return kExitFailed;
    monitor::MeasFiles files(ctx.session(), store, table);
    const bool written = HasExt(out, ".xlsx") ? files.ExportExcel(out) : files.ExportText(out);
    return written ? kExitOk : kExitFailed;
}

// Fills store and table from an export file; false (message printed) when it failed.
bool ImportInto(CliContext& ctx, const QString& file, monitor::MeasurementStore& store, monitor::MeasTableModel& table,
                bool& withFailures)
{
    monitor::MeasFiles files(ctx.session(), store, table);
    const bool workbook = HasExt(file, ".xlsx") || HasExt(file, ".xls");
    const bool ok = workbook ? files.ImportExcel(file) : files.ImportText(file);
    withFailures = files.ImportError();
    return ok;
}

int Import(CliContext& ctx, const std::string& fileArg)
{
    if (!ctx.StartSession()) return kExitUsage;
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    bool failures = false;
    if (!ImportInto(ctx, QString::fromStdString(fileArg), store, table, failures)) return kExitFailed;
    const int last = monitor::GetMaxItem(table);
    for (int row = 1; row <= last; ++row) CliContext::Out(table.Row(row).join(QLatin1Char('\t')));
    return failures ? kExitFailed : kExitOk;
}

int Events(CliContext& ctx, const EventArgs& a)
{
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    bool failures = false;
    if (!a.file.empty()) {
        if (!ctx.StartSession()) return kExitUsage;
        if (!ImportInto(ctx, QString::fromStdString(a.file), store, table, failures)) return kExitFailed;
    } else {
        const int got = CaptureInto(ctx, a.capture, store, table);
        if (got < 0) return ctx.startExit;
        if (got == 0) return kExitFailed;
    }
    using monitor::EventSearch;
    const auto hits = EventSearch::Search(
        store, a.criterion == "bavg" ? EventSearch::Criterion::BubbleAvg : EventSearch::Criterion::QVROut, a.count,
        a.threshold);
    const auto grid = EventSearch::Grid(hits);
    for (size_t r = 1; r < grid.size() && r <= hits.size(); ++r) CliContext::Out(grid[r].mid(0, 4).join(QLatin1Char('\t')));
    return failures ? kExitFailed : kExitOk;
}

} // namespace

void AddCaptureCommands(CLI::App& app, CliContext& ctx)
{
    static CaptureArgs args;
    auto* c = app.add_subcommand("capture", "START, N samples, STOP; print the table rows");
    c->add_option("-n", args.count, "Number of samples")->check(CLI::Range(1, 32001));
    c->add_option("--interval", args.intervalMs, "Measuring interval of a polled sensor in ms")
        ->check(CLI::Range(10, 600000));
    c->add_option("--out", args.out, "Write a text (.txt) or workbook (.xlsx) export instead");
    c->callback([&ctx] { ctx.run = [&ctx] { return Capture(ctx, args); }; });

    static std::string importFile;
    auto* i = app.add_subcommand("import", "Read a text or workbook export; print the table rows");
    i->add_option("FILE", importFile, "Export file (.txt, .xlsx, .xls)")->required();
    i->callback([&ctx] { ctx.run = [&ctx] { return Import(ctx, importFile); }; });

    static EventArgs ev;
    auto* e = app.add_subcommand("events", "Bubble events of an export file or a capture");
    e->add_option("--criterion", ev.criterion, "out (QVROut) or bavg (BubblAvg)")
        ->check(CLI::IsMember({"out", "bavg"}));
    e->add_option("--count", ev.count, "Window length N in samples")->check(CLI::Range(1, 32001));
    e->add_option("--threshold", ev.threshold, "Threshold");
    e->add_option("--file", ev.file, "Export file to search (.txt, .xlsx, .xls); else a capture");
    e->add_option("-n", ev.capture.count, "Samples to capture")->check(CLI::Range(1, 32001));
    e->add_option("--interval", ev.capture.intervalMs, "Measuring interval of a polled sensor in ms")
        ->check(CLI::Range(10, 600000));
    e->callback([&ctx] { ctx.run = [&ctx] { return Events(ctx, ev); }; });
}

} // namespace vmx::cli
