// vmxctl: the Monitor's core from the command line.
#include "app/BuildInfo.h"
#include "app/Session.h"
#include "charts/ChartApplication.h"
#include "cli/CliContext.h"

#include <iostream>

using namespace vmx::cli;

int main(int argc, char** argv)
{
    const auto qapp = vmx::charts::MakeApplication(argc, argv, vmx::charts::WantsCharts(argc, argv));
    CliContext ctx;
    CLI::App app{"vmxctl - VELMOTRIX Monitor from the command line"};
    app.require_subcommand(1);
    app.set_version_flag("--version", vmx::app::VersionLine("vmxctl") + "\n" + vmx::app::kVersionText);
    CliOptions& o = ctx.opts;
    app.add_option("--port", o.port, "Link name as the Interface menu shows it, or a device path");
    app.add_option("--simulate", o.simulate,
                   "Add the simulated bench as a link (optional profile; the word virtual runs it on the "
                   "virtual clock)")
        ->expected(0, 1)
        ->default_str("");
    app.add_option("--type", o.type, "Sensor-type key such as 5028143");
    app.add_option("--config-dir", o.configDir,
                   "Program folder (MONITOR.INI, TEST.INI, Doc/); default: the executable's, or the "
                   "user's folders when installed");
    app.add_option("--lang", o.lang, "Language of the status texts")->check(CLI::IsMember({"de", "en"}));
    // On/off pairs that leave the MONITOR.INI setting alone when neither is given.
    auto onOff = [&app](const std::string& name, std::optional<bool>& target, const std::string& what) {
        app.add_flag_callback(
            "--" + name, [&target] { target = true; }, what);
        app.add_flag_callback(
            "--no-" + name, [&target] { target = false; }, "Do not: " + what);
    };
    onOff("ack", o.ack, "check the acknowledge byte");
    onOff("answer-check", o.answerCheck, "read one-byte answers");
    onOff("frame-crc", o.frameCrc, "check the checksum of answer frames");
    app.add_flag("--yes", o.yes, "Answer questions with Yes/OK");
    app.add_flag("-q", o.quiet, "No status texts");
    app.add_option("--db", o.db, "Unit history URL (sqlite:FILE; default MONITOR.INI [DATABASE] URL=)");
    app.add_option("--station", o.station,
                   "This station's name in the unit history (default: the host name)");

    AddShellCommands(app, ctx);
    AddLinkCommands(app, ctx);
    AddCaptureCommands(app, ctx);
    AddDeviceCommands(app, ctx);
    AddBootCommands(app, ctx);
    AddParamCommands(app, ctx);
    AddModuleCommands(app, ctx);
    AddTestCommands(app, ctx);
    AddHistoryCommands(app, ctx);
    AddCompletionCommand(app, ctx);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return e.get_exit_code() == 0 ? 0 : (rc == 0 ? 0 : kExitUsage);
    }
    if (!ctx.run) return kExitUsage;
    return ctx.run();
}
