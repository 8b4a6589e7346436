// vmxctl commands of the production test: test list, test show, test program.
#include "cli/CliContext.h"
#include "prodtest/StepPrograms.h"

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
    if (definition != defs.comboIndex) defs.CBTypeTestChange(definition);
    // The rows the definition filled (the grid is filled from the top).
    int last = -1;
    for (int r = 0; r < prodtest::StartGrid::kRows; ++r)
        if (!defs.startGrid.cells[size_t(r)][0].isEmpty() || !defs.startGrid.cells[size_t(r)][1].isEmpty())
            last = r;
    for (int r = 0; r <= last; ++r)
        CliContext::Out(defs.startGrid.cells[size_t(r)][0] + QLatin1Char('\t') +
                        defs.startGrid.cells[size_t(r)][1]);
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
}

} // namespace vmx::cli
