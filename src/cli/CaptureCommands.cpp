// vmxctl capture, import and events: START, N samples, STOP, the table rows on standard
// output or into an export file; the table of an export file; the bubble events of either.
#include "cli/CliContext.h"
#include "lang/RecordingTexts.h"
#include "monitor/EventSearch.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"
#include "monitor/Recording.h"
#include "monitor/Replay.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace vmx::cli {

namespace {

struct CaptureArgs {
    int count = 20;
    bool countGiven = false;
    int intervalMs = 1000;
    std::string out;
    std::string record;
    int rotateMin = 60;
    qint64 rotateMb = 60;
    double seconds = -1;
};

struct ReplayArgs {
    std::string file;
    std::string speed = "max";
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

// SIGINT and SIGTERM end a recording between two ticks, so its files are closed cleanly.
volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Prints every stored sample as its row, the index counted from the recording's (or the
// replay's) start, as the recording writes it.
class RowPrinter : public station::StationView {
public:
    void SampleRecorded(qint64 index, const monitor::MeasSample& s, bool shortRow) override
    {
        QStringList cells = shortRow ? monitor::ShortRowTexts(s) : monitor::RowTexts(s);
        while (cells.size() < monitor::MeasTableModel::kColumns)
            cells << QString();
        cells[0] = QString::number(index);
        CliContext::Out(cells.join(QLatin1Char('\t')));
        ++rows;
    }
    qint64 rows = 0;
};

void PrintHeader()
{
    CliContext::Out(monitor::TableHeadings().join(QLatin1Char('\t')));
}

// START, then every sample into a recording for S seconds of the session's clock, -n samples,
// until the store is full under "Stopp", or until interrupted.
int CaptureRecord(CliContext& ctx, const CaptureArgs& a)
{
    if (!ctx.StartLink()) return ctx.startExit;
    station::Station& st = ctx.station();
    st.settings.measIntervalMs = a.intervalMs;
    RowPrinter printer;
    st.SetView(&printer);
    monitor::RecordingOptions opt;
    opt.folder = QString::fromStdString(a.record);
    opt.rotateMinutes = a.rotateMin;
    opt.rotateBytes = a.rotateMb << 20;
    PrintHeader();
    std::fflush(stdout);
    st.Start();
    if (st.Stopped()) {
        st.SetView(nullptr);
        return kExitFailed;
    }
    if (!st.StartRecording(opt)) {
        st.Stop();
        st.SetView(nullptr);
        return kExitFailed;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    app::Clock& clock = ctx.clock();
    const qint64 until = a.seconds < 0 ? -1 : clock.NowUs() + qint64(a.seconds * 1e6);
    while (!g_interrupted && !st.Stopped() && (until < 0 || clock.NowUs() < until) &&
           (!a.countGiven || printer.rows < a.count) && !st.recording().Failed()) {
        clock.SleepMs(st.TimerIntervalMs());
        st.Tick();
        std::fflush(stdout);
    }
    // A failed recording leaves the acquisition to the end of its time: monitoring goes on.
    while (!g_interrupted && !st.Stopped() && (until < 0 || clock.NowUs() < until) &&
           (!a.countGiven || printer.rows < a.count)) {
        clock.SleepMs(st.TimerIntervalMs());
        st.Tick();
        std::fflush(stdout);
    }
    const bool stoppedByStore = st.Stopped();
    const bool recorded = st.StopRecording();
    if (!stoppedByStore) st.Stop();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    st.SetView(nullptr);
    std::fflush(stdout);
    return recorded && printer.rows > 0 ? kExitOk : kExitFailed;
}

int Replay(CliContext& ctx, const ReplayArgs& a)
{
    if (!ctx.StartStation()) return kExitUsage;
    station::Station& st = ctx.station();
    const QString file = QString::fromStdString(a.file);
    if (!QFileInfo(file).isFile()) {
        ctx.session().PanelText(
            1,
            lang::RecordingTextOf(lang::RecordingText::ReplayCantRead, ctx.session().language()).arg(file));
        return kExitFailed;
    }
    const int speed = a.speed == "max" ? monitor::Replay::Max : std::stoi(a.speed);
    RowPrinter printer;
    st.SetView(&printer);
    PrintHeader();
    if (!st.StartReplay(monitor::Recording::FilesOf(file), speed)) {
        st.SetView(nullptr);
        return kExitFailed;
    }
    app::Clock& clock = ctx.clock();
    while (st.Replaying()) {
        if (speed != monitor::Replay::Max) clock.SleepMs(10);
        st.Tick();
    }
    st.SetView(nullptr);
    std::fflush(stdout);
    return st.ReplayClean() && printer.rows > 0 ? kExitOk : kExitFailed;
}

int Capture(CliContext& ctx, const CaptureArgs& a)
{
    if (!a.record.empty()) return CaptureRecord(ctx, a);
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
    using monitor::EventSearch;
    const EventSearch::Criterion criterion =
        a.criterion == "bavg" ? EventSearch::Criterion::BubbleAvg : EventSearch::Criterion::QVROut;
    const QString file = QString::fromStdString(a.file);
    if (!file.isEmpty() && QFileInfo::exists(monitor::Recording::InfoFileOf(file))) {
        // A recording is searched whole, across its files, not only as far as a store holds.
        if (!ctx.StartStation()) return kExitUsage;
        std::vector<EventSearch::Hit> hits;
        const bool ok = EventSearch::SearchFiles(monitor::Recording::FilesOf(file), criterion, a.count,
                                                 a.threshold, hits);
        for (size_t i = 0; i < hits.size(); ++i)
            CliContext::Out(QStringLiteral("%1\t%2\t%3\t%4")
                                .arg(i + 1)
                                .arg(hits[i].Index)
                                .arg(hits[i].Out)
                                .arg(hits[i].BAvg));
        if (!ok)
            ctx.session().PanelText(
                1, lang::RecordingTextOf(lang::RecordingText::ReplayCantRead, ctx.session().language())
                       .arg(file));
        return ok ? kExitOk : kExitFailed;
    }
    if (!a.file.empty()) {
        if (!ctx.StartStation()) return kExitUsage;
        if (!ImportInto(ctx, QString::fromStdString(a.file), failures)) return kExitFailed;
    } else {
        const int got = CaptureInto(ctx, a.capture);
        if (got < 0) return ctx.startExit;
        if (got == 0) return kExitFailed;
    }
    const auto hits = EventSearch::Search(ctx.station().store(), criterion, a.count, a.threshold);
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
    c->add_option(
        "--record", args.record,
        "Append every sample to a recording in DIR (text export format); runs until --seconds, -n or "
        "an interrupt");
    c->add_option("--rotate-min", args.rotateMin, "With --record: a new file every M minutes")
        ->check(CLI::Range(1, 24 * 60));
    c->add_option("--rotate-mb", args.rotateMb, "With --record: a new file at this size in MiB")
        ->check(CLI::Range(1, 60));
    c->add_option("--seconds", args.seconds, "With --record: seconds of the line to record")
        ->check(CLI::Range(0.0, 1e9));
    c->callback([&ctx, c] {
        args.countGiven = c->count("-n") > 0;
        ctx.run = [&ctx] { return Capture(ctx, args); };
    });

    static ReplayArgs replayArgs;
    auto* r = app.add_subcommand("replay", "Feed a recording through the live path; print its rows");
    r->add_option("FILE", replayArgs.file,
                  "A recording file (the files after it of the same recording follow)")
        ->required();
    r->add_option("--speed", replayArgs.speed, "1, 10 or max")->check(CLI::IsMember({"1", "10", "max"}));
    r->callback([&ctx] { ctx.run = [&ctx] { return Replay(ctx, replayArgs); }; });

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
