// vmxctl capture, import and events: START, N samples, STOP, the table rows on standard
// output or into an export file; the table of an export file; the bubble events of either.
#include "cli/CliContext.h"
#include "monitor/EventSearch.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"

#include <algorithm>

namespace vmx::cli {

namespace {

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

// START, up to `count` samples, STOP on the station; 1 when all arrived, 0 when fewer did,
// -1: no link.
int CaptureInto(CliContext& ctx, const CaptureArgs& a)
{
    if (!ctx.StartLink()) return -1;
    station::Station& st = ctx.station();
    st.settings.measIntervalMs = a.intervalMs;
    return st.Capture(a.count) ? 1 : 0;
}

// The table's rows 1..rows on standard output, one per line, cells separated by tabs.
// The header row with the column titles first, then the rows of the store's samples.
void PrintRows(const monitor::MeasTableModel& table, int rows)
{
    for (int row = 0; row <= rows; ++row)
        CliContext::Out(table.Row(row).join(QLatin1Char('\t')));
}

int Capture(CliContext& ctx, const CaptureArgs& a)
{
    const QString out = QString::fromStdString(a.out);
    if (!out.isEmpty() && !HasExt(out, ".txt") && !HasExt(out, ".xlsx")) {
        CliContext::Err(QStringLiteral("--out: FILE.txt or FILE.xlsx"));
        return kExitUsage;
    }
    const int got = CaptureInto(ctx, a);
    if (got < 0) return ctx.startExit;
    station::Station& st = ctx.station();
    const int rows = std::min(st.store().index(), monitor::MeasurementStore::kSlots);
    if (out.isEmpty()) {
        PrintRows(st.table(), rows);
        return got == 1 ? kExitOk : kExitFailed;
    }
    // A capture that failed saves nothing: the file there stays as it was.
    if (got != 1) return kExitFailed;
    monitor::MeasFiles files(ctx.session(), st.store(), st.table(), st.measFileEvents());
    const bool written = HasExt(out, ".xlsx") ? files.ExportExcel(out) : files.ExportText(out);
    return written ? kExitOk : kExitFailed;
}

// Fills the station's store and table from an export file; false (message printed) when it
// failed.
bool ImportInto(CliContext& ctx, const QString& file, bool& withFailures)
{
    if (!ctx.StartStation()) return false;
    station::Station& st = ctx.station();
    monitor::MeasFiles files(ctx.session(), st.store(), st.table(), st.measFileEvents());
    const bool workbook = HasExt(file, ".xlsx") || HasExt(file, ".xls");
    const bool ok = workbook ? files.ImportExcel(file) : files.ImportText(file);
    withFailures = files.ImportError();
    return ok;
}

int Import(CliContext& ctx, const std::string& fileArg)
{
    if (!ctx.StartStation()) return kExitUsage;
    bool failures = false;
    if (!ImportInto(ctx, QString::fromStdString(fileArg), failures)) return kExitFailed;
    PrintRows(ctx.station().table(), monitor::GetMaxItem(ctx.station().table()));
    return failures ? kExitFailed : kExitOk;
}

int Events(CliContext& ctx, const EventArgs& a)
{
    bool failures = false;
    if (!a.file.empty()) {
        if (!ctx.StartStation()) return kExitUsage;
        if (!ImportInto(ctx, QString::fromStdString(a.file), failures)) return kExitFailed;
    } else {
        const int got = CaptureInto(ctx, a.capture);
        if (got < 0) return ctx.startExit;
        if (got == 0) return kExitFailed;
    }
    using monitor::EventSearch;
    const auto hits = EventSearch::Search(ctx.station().store(),
                                          a.criterion == "bavg" ? EventSearch::Criterion::BubbleAvg
                                                                : EventSearch::Criterion::QVROut,
                                          a.count, a.threshold);
    const auto grid = EventSearch::Grid(hits);
    for (size_t r = 1; r < grid.size() && r <= hits.size(); ++r)
        CliContext::Out(grid[r].mid(0, 4).join(QLatin1Char('\t')));
    return failures ? kExitFailed : kExitOk;
}

} // namespace

void AddCaptureCommands(CLI::App& app, CliContext& ctx)
{
    static CaptureArgs args;
    auto* c = app.add_subcommand("capture", "START, N samples, STOP; print the table's header row and rows");
    c->add_option("-n", args.count, "Number of samples")->check(CLI::Range(1, 32001));
    c->add_option("--interval", args.intervalMs, "Measuring interval of a polled sensor in ms")
        ->check(CLI::Range(10, 600000));
    c->add_option("--out", args.out, "Write a text (.txt) or workbook (.xlsx) export instead");
    c->callback([&ctx] { ctx.run = [&ctx] { return Capture(ctx, args); }; });

    static std::string importFile;
    auto* i =
        app.add_subcommand("import", "Read a text or workbook export; print the table's header row and rows");
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
