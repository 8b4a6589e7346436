// vmxctl commands of the production test: test list, test show, test program, test run.
#include "app/SafeSave.h"
#include "cli/CliContext.h"
#include "history/HistorySync.h"
#include "lang/OperatorTexts.h"
#include "prodtest/StepPrograms.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace vmx::cli {

namespace {

int List(CliContext& ctx)
{
    if (!ctx.StartStation()) return kExitUsage;
    prodtest::TestDefinitions& defs = ctx.station().testDefinitions();
    if (!defs.ScanTestIniFile(ctx.session().sensor.Key)) return kExitFailed;
    for (int i = 0; i < defs.comboItems.size(); ++i)
        CliContext::Out(QStringLiteral("%1\t%2").arg(i).arg(defs.comboItems[i]));
    return kExitOk;
}

int Show(CliContext& ctx, int definition)
{
    if (!ctx.StartStation()) return kExitUsage;
    prodtest::TestDefinitions& defs = ctx.station().testDefinitions();
    if (!defs.ScanTestIniFile(ctx.session().sensor.Key)) return kExitFailed;
    if (definition < 0 || definition >= defs.comboItems.size()) {
        CliContext::Err(
            QStringLiteral("test show: --definition %1: TEST.INI lists %2 definitions for this type")
                .arg(definition)
                .arg(defs.comboItems.size()));
        return kExitFailed;
    }
    if (definition != defs.comboIndex) defs.SelectDefinition(definition);
    // The rows the definition filled (the grid is filled from the top).
    int last = -1;
    for (int r = 0; r < prodtest::StartGrid::kRows; ++r)
        if (!defs.startGrid.cells[size_t(r)][0].isEmpty() || !defs.startGrid.cells[size_t(r)][1].isEmpty())
            last = r;
    for (int r = 0; r <= last; ++r)
        CliContext::Out(defs.startGrid.cells[size_t(r)][0] + QLatin1Char('\t') +
                        defs.startGrid.cells[size_t(r)][1]);
    if (!defs.Unusable.isEmpty()) {
        CliContext::Err(QStringLiteral("test show: ") + defs.Unusable);
        return kExitFailed;
    }
    return kExitOk;
}

int Program(int number)
{
    const prodtest::StepProgram* p = prodtest::FindProgram(number);
    if (!p) {
        CliContext::Err(QStringLiteral("test program: %1 has no step table (0..14, 20..29)").arg(number));
        return kExitFailed;
    }
    for (const QString& line : prodtest::PrintProgram(*p))
        CliContext::Out(line);
    return kExitOk;
}

struct RunArgs {
    int definition = 0;
    int units = 1;
    int sn = -1;
    std::string tester, batch, batchComment, techIndex, year, comment, record, report, json;
    // The operator's judgement at the shield step: "ok" (0 .. 3 Ohm) or "high" (> 3 Ohm, as the
    // page preselects it).
    std::string shield = "high";
    bool interactive = false;
};

// The measuring page on a terminal: the entries come from the options, the file names of the
// record and the report too; what the page would show is kept for the run.
class CliPanel final : public prodtest::OperatorPanel {
public:
    std::map<Entry, QString> entries;
    QString recordFile, reportFile;
    QStringList resultList;
    bool shieldOk = false;

    QString EntryText(Entry e) override { return entries[e]; }
    void SetEntryText(Entry e, const QString& text) override { entries[e] = text; }
    void ShowResultList(const QStringList& lines) override { resultList = lines; }
    bool AskRecordFile(QString& name) override
    {
        name = recordFile;
        return !name.isEmpty();
    }
    bool AskReportFile(QString& name) override
    {
        // The run proposes the next page's file once a full grid was saved.
        if (name.isEmpty()) name = reportFile;
        return !name.isEmpty();
    }
    bool ShieldTooHigh() override { return !shieldOk; }

    // The verdict banner of the window, as a block of lines the operator at the terminal sees
    // at once (only when the run is interactive: a script reads the grid).
    bool interactive = false;
    int language = 0;
    void ShowVerdict(const Verdict& v) override
    {
        if (!interactive || !v.shown) return;
        const QString word = v.okay ? QStringLiteral("okay") : QStringLiteral("FEHLER");
        const QString serial =
            v.serialNo.isEmpty()
                ? lang::OperatorTextOf(lang::OperatorText::BannerNoSerial, language)
                : lang::OperatorTextOf(lang::OperatorText::BannerSerial, language).arg(v.serialNo);
        const bool tty = isatty(STDERR_FILENO);
        // Green or red on a terminal, the words alone elsewhere.
        const char* on = !tty ? "" : v.okay ? "\x1b[1;97;42m" : "\x1b[1;97;41m";
        const char* off = tty ? "\x1b[0m" : "";
        const QString rule(40, QLatin1Char('='));
        std::fprintf(stderr, "%s\n%s  %s   %s  %s\n", qPrintable(rule), on, qPrintable(word),
                     qPrintable(serial), off);
        if (!v.failures.isEmpty())
            std::fprintf(stderr, "%s\n",
                         qPrintable(lang::OperatorTextOf(lang::OperatorText::BannerFailed, language)));
        for (const QString& f : v.failures)
            std::fprintf(stderr, "  %s\n", qPrintable(f));
        std::fprintf(stderr, "%s\n", qPrintable(rule));
        std::fflush(stderr);
    }
};

// The operator at the station: watches the live values while a measurement runs, then presses
// a button. The acquisition's timer is served on the session's clock meanwhile.
class StationOperator {
public:
    enum class Press { Next, Prior, Cancel };
    StationOperator(CliContext& ctx, bool interactive) : ctx_(ctx), interactive_(interactive) {}

    // One tick of the acquisition's timer (not from inside another).
    void Tick()
    {
        if (ticking_) return;
        ticking_ = true;
        ctx_.station().Tick();
        ticking_ = false;
    }
    // While the acquisition runs (a preparing step waits), the values settle for a moment;
    // the interactive operator then decides on the terminal, seeing them on one line.
    Press Decide()
    {
        station::Station& st = ctx_.station();
        app::Clock& clock = ctx_.clock();
        for (int t = 0; t < kSettleMs && !st.Stopped(); t += Interval()) {
            clock.SleepMs(Interval());
            Tick();
        }
        if (!interactive_) return Press::Next;
        const bool tty = isatty(STDERR_FILENO);
        bool shown = false;
        for (;;) {
            if (!st.Stopped() && (tty || !shown)) {
                ShowLiveValues(tty);
                shown = true;
            }
            pollfd in{STDIN_FILENO, POLLIN, 0};
            const int ready = poll(&in, 1, st.Stopped() ? -1 : Interval());
            if (ready > 0) break;
            if (ready < 0) return Press::Cancel;
            clock.SleepMs(Interval());
            Tick();
        }
        if (tty && shown) std::fputs("\n", stderr);
        std::string line;
        // The end of the input is an operator who left: the run is cancelled.
        if (!std::getline(std::cin, line)) return Press::Cancel;
        if (line == "b") return Press::Prior;
        if (line == "q") return Press::Cancel;
        return Press::Next;
    }

private:
    static constexpr int kSettleMs = 1200;
    int Interval() const { return std::max(10, ctx_.station().TimerIntervalMs()); }
    void ShowLiveValues(bool refresh)
    {
        station::Station& st = ctx_.station();
        const QStringList captions = prodtest::TestRun::TestValueCaptions(&st.stepContext().measured(),
                                                                          st.store().highestOut(), nullptr);
        const QByteArray line = captions.join(QStringLiteral("  ")).toUtf8();
        if (refresh)
            std::fprintf(stderr, "\r%s\x1b[K", line.constData());
        else
            std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }

    CliContext& ctx_;
    bool interactive_;
    bool ticking_ = false;
};

// What the loaded definition cannot take from the options, as GetSN would refuse it once the
// unit is on the station; empty when it takes them all.
QString RefusedEntry(const prodtest::TestDefinitions& defs, const RunArgs& a,
                     std::map<prodtest::OperatorPanel::Entry, QString>& entries)
{
    using Entry = prodtest::OperatorPanel::Entry;
    const prodtest::MeasItems& it = defs.items;
    bool takesEntries = false;
    if (const prodtest::StepProgram* p = prodtest::FindProgram(defs.cond.ProgramNo))
        for (const prodtest::StepDef& s : p->steps)
            takesEntries |= s.routine && QLatin1String(s.routine) == QLatin1String("GetSN");
    takesEntries &= it.SerialNo.Low != -1 && it.SerialNo.High != -1;
    // A program that takes no entries records no serial number: --sn has nothing to refuse.
    if (!takesEntries) return QString();
    if (a.sn < 0)
        return QStringLiteral("the definition asks for a serial number %1..%2; --sn is missing")
            .arg(it.SerialNo.Low)
            .arg(it.SerialNo.High);
    const qint64 last = qint64(a.sn) + a.units - 1;
    if (a.sn < it.SerialNo.Low || last > it.SerialNo.High)
        return QStringLiteral("--sn %1%2: outside the definition's serial numbers %3..%4")
            .arg(a.sn)
            .arg(a.units > 1 ? QStringLiteral(" (%1 units up to %2)").arg(a.units).arg(last) : QString())
            .arg(it.SerialNo.Low)
            .arg(it.SerialNo.High);
    const struct {
        Entry entry;
        const prodtest::TMeasItem* item;
        const char* key;
        const char* option;
        bool emptyAllowed;
    } texts[] = {{Entry::Tester, &it.Tester, "[#PRÜFER]", "--tester", false},
                 {Entry::BatchNo, &it.BatchNo, "[#AUFTRAG_LOS]", "--batch", false},
                 {Entry::BatchComment, &it.BatchComment, "[#BEMERKUNG_LOS]", "--batch-comment", true},
                 {Entry::TechIndex, &it.TechIndex, "[#TECH_INDEX]", "--tech-index", false}};
    for (const auto& t : texts) {
        if (t.item->IniValue.isEmpty()) continue;
        const QString& text = entries[t.entry];
        if ((!t.emptyAllowed && text.isEmpty()) || text == t.item->IniValue)
            return QStringLiteral("the definition asks for %1 (\"%2\"); %3 is missing")
                .arg(QString::fromUtf8(t.key), t.item->IniValue, QLatin1String(t.option));
    }
    if (!it.ManuYear.IniValue.isEmpty()) {
        const int year = prodtest::TestDefinitions::Number(entries[Entry::ManuYear]);
        if (year < 10 || year > 29)
            return a.year.empty()
                       ? QStringLiteral("the definition asks for [#HERSTELLUNGSJAHR]; --year is missing")
                       : QStringLiteral("--year %1: the year of manufacture is 10..29")
                             .arg(QString::fromStdString(a.year));
    }
    return QString();
}

// A file the run will write, checked before any unit is touched: its folder, write access, and
// an existing file only with --yes.
bool MayWrite(const CliContext& ctx, const QString& file, const char* option)
{
    if (file.isEmpty()) return true;
    if (QFileInfo::exists(file) && !ctx.opts.yes) {
        CliContext::Err(
            QStringLiteral("test run: %1 %2 exists; --yes replaces it").arg(QLatin1String(option), file));
        return false;
    }
    QString why;
    if (app::ProbeWrite(file, &why)) return true;
    CliContext::Err(QStringLiteral("test run: %1 %2: %3").arg(QLatin1String(option), file, why));
    return false;
}

// The report's files: a grid holds 200 units, each further 200 go to the report's next page.
QStringList ReportFiles(const QString& report, int units)
{
    if (report.isEmpty()) return {};
    const QString first = prodtest::TestResults::ReportFileName(report);
    QStringList files{first};
    for (int page = 2; (page - 1) * (prodtest::ResultGrid::kRows - 1) < units; ++page)
        files << prodtest::TestResults::ReportPageName(first, page);
    return files;
}

int Run(CliContext& ctx, const RunArgs& a)
{
    using Entry = prodtest::OperatorPanel::Entry;
    const QString record = QString::fromStdString(a.record);
    const QString report = QString::fromStdString(a.report);
    const QString json = QString::fromStdString(a.json);
    if (!MayWrite(ctx, record, "--record") || !MayWrite(ctx, json, "--json")) return kExitFailed;
    for (const QString& file : ReportFiles(report, a.units))
        if (!MayWrite(ctx, file, "--report")) return kExitFailed;
    if (!ctx.StartLink()) return ctx.startExit;
    // Every unit goes into the unit history too; without it no unit is tested.
    if (!ctx.OpenHistory()) return kExitFailed;
    SensorRun sensorRun(ctx);
    station::Station& st = ctx.station();
    prodtest::TestDefinitions& defs = st.testDefinitions();
    prodtest::TestRun& run = st.testRun();
    prodtest::TestResults& results = st.testResults();
    if (!defs.ScanTestIniFile(ctx.session().sensor.Key)) return kExitFailed;
    if (a.definition < 0 || a.definition >= defs.comboItems.size()) {
        CliContext::Err(
            QStringLiteral("test run: --definition %1: TEST.INI lists %2 definitions for this type")
                .arg(a.definition)
                .arg(defs.comboItems.size()));
        return kExitFailed;
    }
    CliPanel panel;
    panel.recordFile = record;
    panel.reportFile = report;
    panel.shieldOk = a.shield == "ok";
    panel.interactive = a.interactive;
    panel.language = ctx.session().language();
    // The operator's entries as the definition pre-fills them, then what the options say.
    auto entriesFromOptions = [&] {
        const prodtest::OperatorEntries& pre = defs.entries;
        const std::pair<Entry, std::pair<const QString*, const std::string*>> fields[] = {
            {Entry::Tester, {&pre.tester, &a.tester}},
            {Entry::BatchNo, {&pre.batchNo, &a.batch}},
            {Entry::BatchComment, {&pre.batchComment, &a.batchComment}},
            {Entry::TechIndex, {&pre.techIndex, &a.techIndex}},
            {Entry::ManuYear, {&pre.manuYear, &a.year}}};
        for (const auto& [entry, texts] : fields)
            panel.entries[entry] =
                texts.second->empty() ? *texts.first : QString::fromStdString(*texts.second);
    };
    st.SetOperatorPanel(&panel);
    defs.TestDataSaved = true;
    if (a.definition != defs.comboIndex) defs.SelectDefinition(a.definition);
    entriesFromOptions();
    // A definition that cannot be used, entries it cannot take, or more units than the grid
    // keeps without a report touch no unit.
    QString refused = defs.Unusable;
    if (refused.isEmpty()) refused = RefusedEntry(defs, a, panel.entries);
    if (refused.isEmpty() && defs.items.SerialNo.Low != -1 && defs.items.SerialNo.High != -1 &&
        report.isEmpty() && a.units > prodtest::ResultGrid::kRows - 1)
        refused = QStringLiteral("--units %1: the result grid holds %2 units; --report keeps the others")
                      .arg(a.units)
                      .arg(prodtest::ResultGrid::kRows - 1);
    if (!refused.isEmpty()) {
        CliContext::Err(QStringLiteral("test run: ") + refused);
        st.SetOperatorPanel(nullptr);
        return kExitFailed;
    }
    const int program = defs.cond.ProgramNo;
    ctx.console().commentPrefix = [&run, program] {
        return QStringLiteral("[%1/%2] ").arg(program).arg(run.TestStep);
    };
    if (!record.isEmpty() && (!results.OpenTempFile(record) || !results.TempFileOpen)) {
        st.SetOperatorPanel(nullptr);
        return kExitFailed;
    }
    if (!json.isEmpty() && app::SafeSave::Save(json, QByteArray()) != app::SaveStatus::Ok) {
        CliContext::Err(QStringLiteral("test run: cannot write %1").arg(json));
        st.SetOperatorPanel(nullptr);
        return kExitFailed;
    }

    // On the simulated bench the operator's hands do what the prompts ask; the acquisition's
    // timer is served while steps wait and while the operator watches.
    StationOperator hands(ctx, a.interactive);
    st.simulatedOperator = ctx.opts.simulate.has_value();
    ctx.console().onWait = [&hands] { hands.Tick(); };
    if (a.interactive) CliContext::Err(QStringLiteral("Enter = WEITER, b = ZURÜCK, q = ABBRECHEN"));
    bool cancelled = false;

    // An operator presses WEITER at every wait; a unit ends when the run is back at step 0.
    constexpr int kMaxPresses = 500;
    bool allOkay = true;
    int serial = a.sn;
    bool recordLost = false;
    bool historyLost = false;
    for (int unit = 0; unit < a.units; ++unit) {
        if (!results.MayStartUnit()) {
            CliContext::Err(QStringLiteral("test run: unit %1 not started: %2")
                                .arg(unit + 1)
                                .arg(results.RecordLost()
                                         ? QStringLiteral("%1: %2").arg(record, results.recordError)
                                         : QStringLiteral("the full result grid was not saved")));
            allOkay = false;
            break;
        }
        run.TestStep = 0;
        run.autoAdvance = false;
        run.ControlProgress();
        // The first serial number is --sn; later ones are what the program proposed, or the
        // next one when it proposes none.
        const QString proposed = panel.entries[Entry::SerialNo];
        if (unit == 0 || proposed.isEmpty() || prodtest::TestDefinitions::Number(proposed) == serial) {
            if (serial >= 0) panel.entries[Entry::SerialNo] = QString::number(unit == 0 ? serial : ++serial);
        } else {
            serial = prodtest::TestDefinitions::Number(proposed);
        }
        QJsonObject last;
        bool ended = false;
        for (int press = 0; press < kMaxPresses && !ended; ++press) {
            switch (hands.Decide()) {
            case StationOperator::Press::Next:
                run.Next();
                break;
            case StationOperator::Press::Prior:
                run.Back();
                continue;
            case StationOperator::Press::Cancel:
                run.Cancel();
                cancelled = true;
                break;
            }
            if (cancelled) break;
            if (run.TestStep == 0) {
                ended = true;
                break;
            }
            // The operator extends the verdict where the run shows it.
            if (run.lastRoutine() == QLatin1String("CommentResult") && !a.comment.empty()) {
                QString& c = panel.entries[Entry::Comment];
                c += QLatin1Char(' ') + QString::fromStdString(a.comment);
            }
            last = results.UnitRecord(panel.entries[Entry::Comment]);
            // A row that did not reach the record file ends the run: the unit is not kept.
            if (results.RecordLost()) {
                recordLost = true;
                break;
            }
        }
        // The same for a unit the history did not take.
        if (!run.historyError().isEmpty()) {
            if (last.isEmpty()) last = results.UnitRecord(panel.entries[Entry::Comment]);
            last.insert(QStringLiteral("verdict"), QStringLiteral("FEHLER"));
            last.insert(QStringLiteral("historyError"), run.historyError());
            CliContext::Err(QStringLiteral("test run: unit %1: FEHLER, history not written: %2")
                                .arg(unit + 1)
                                .arg(run.historyError()));
            allOkay = false;
            historyLost = true;
        }
        if (recordLost) {
            last.insert(QStringLiteral("verdict"), QStringLiteral("FEHLER"));
            last.insert(QStringLiteral("recordError"), results.recordError);
            CliContext::Err(QStringLiteral("test run: unit %1: FEHLER, %2 not written: %3")
                                .arg(unit + 1)
                                .arg(record, results.recordError));
            allOkay = false;
        }
        if (cancelled) {
            CliContext::Err(QStringLiteral("test run: unit %1 cancelled (ABBRECHEN)").arg(unit + 1));
            allOkay = false;
            break;
        }
        if (!ended && !recordLost) {
            CliContext::Err(QStringLiteral("test run: unit %1 did not come back to step 0 within %2 steps")
                                .arg(unit + 1)
                                .arg(kMaxPresses));
            allOkay = false;
            break;
        }
        if (last.isEmpty()) last = results.UnitRecord(panel.entries[Entry::Comment]);
        if (last.value(QStringLiteral("verdict")).toString() != QLatin1String("okay")) allOkay = false;
        if (!json.isEmpty()) {
            const QByteArray line = QJsonDocument(last).toJson(QJsonDocument::Compact) + '\n';
            QString why;
            if (!app::AppendWhole(json, line, &why)) {
                CliContext::Err(QStringLiteral("test run: unit %1: FEHLER, %2 not written: %3")
                                    .arg(unit + 1)
                                    .arg(json, why));
                allOkay = false;
                break;
            }
        }
        if (recordLost || historyLost) break;
    }
    ctx.console().commentPrefix = nullptr;
    ctx.console().onWait = nullptr;
    st.simulatedOperator = false;

    // The result grid: the headings and every row written.
    const prodtest::ResultGrid& g = results.grid;
    const int rows = results.TestGetMaxItem();
    int columns = 0;
    for (int c = 0; c < prodtest::ResultGrid::kColumns; ++c)
        if (!g.Cell(0, c).isEmpty()) columns = c + 1;
    for (int r = 0; r <= rows && columns > 0; ++r) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << g.Cell(r, c);
        CliContext::Out(cells.join(QLatin1Char('\t')));
    }
    // The last page of the report; after exactly a full grid that page was the last.
    const bool pageSaved = !results.nextReportName.isEmpty();
    if (!report.isEmpty() && !(pageSaved && rows < 1) &&
        !results.WriteReport(pageSaved ? results.nextReportName : report)) {
        CliContext::Err(QStringLiteral("test run: --report %1 not written").arg(report));
        allOkay = false;
    }
    st.SetOperatorPanel(nullptr);
    // With a line's server: one try to push the units, a few seconds at most. The verdict stays
    // the units' own; what the server did not take waits in the outbox for the next sync.
    if (const QString server = st.history().serverUrl(); !server.isEmpty() && st.history().store()) {
        history::HistorySync sync(*st.history().store(), server);
        const history::SyncResult r = sync.Push(-1, QDeadlineTimer(5000));
        if (r.waiting != 0)
            CliContext::Err(QStringLiteral("history: %1 run(s) wait for the server (vmxctl db sync): %2")
                                .arg(r.waiting)
                                .arg(r.error.isEmpty() ? QStringLiteral("time is up") : r.error));
    }
    return allOkay ? kExitOk : kExitFailed;
}

} // namespace

void AddTestCommands(CLI::App& app, CliContext& ctx)
{
    auto* test = app.add_subcommand("test", "Production test: the test definitions of TEST.INI");
    test->require_subcommand(1);
    auto* list = test->add_subcommand("list", "The definitions that apply to the selected sensor type");
    list->callback([&ctx] { ctx.run = [&ctx] { return List(ctx); }; });
    static int definition = 0;
    auto* show = test->add_subcommand("show", "The start grid of a definition");
    show->add_option("--definition", definition, "Item index of the definition (test list)");
    show->callback([&ctx] { ctx.run = [&ctx] { return Show(ctx, definition); }; });
    static int number = 0;
    auto* program = test->add_subcommand("program", "One step table");
    program->add_option("N", number, "Program number")->required();
    program->callback([&ctx] { ctx.run = [] { return Program(number); }; });
    static RunArgs args;
    auto* run =
        test->add_subcommand("run", "Runs a definition's step program as an operator who presses WEITER");
    run->add_option("--definition", args.definition, "Item index of the definition (test list)");
    run->add_option("--units", args.units, "Number of units")->check(CLI::Range(1, 10000));
    run->add_option("--sn", args.sn, "Serial number of the first unit")->check(CLI::NonNegativeNumber);
    run->add_option("--tester", args.tester, "Prüfer");
    run->add_option("--batch", args.batch, "Auftrag");
    run->add_option("--batch-comment", args.batchComment, "Bemerkungen");
    run->add_option("--tech-index", args.techIndex, "Produkt-Index");
    run->add_option("--year", args.year, "Herstellungsjahr");
    run->add_option("--comment", args.comment, "Added to the verdict, as an operator extends it");
    run->add_option("--record", args.record, "Temporary record file (replaced only with --yes)");
    run->add_option("--report", args.report, "Report workbook written after the last unit");
    run->add_option("--json", args.json, "One JSON object per unit (replaced only with --yes)");
    run->add_option("--shield", args.shield,
                    "The operator's judgement at the shield step: ok or high (default)")
        ->check(CLI::IsMember({"ok", "high"}));
    run->add_flag("--interactive", args.interactive,
                  "Asks on the terminal at every wait: Enter = WEITER, b = ZURÜCK, q = ABBRECHEN");
    run->callback([&ctx] { ctx.run = [&ctx] { return Run(ctx, args); }; });
}

} // namespace vmx::cli
