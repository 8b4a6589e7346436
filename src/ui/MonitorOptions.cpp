#include "ui/MonitorOptions.h"

#include "app/BuildInfo.h"
#include "app/Session.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace vmx::ui {

OptionsOutcome ParseMonitorOptions(const std::vector<std::string>& args, MonitorOptions& out,
                                   bool allowForeign)
{
    CLI::App app{"vmx-monitor - VELMOTRIX Monitor, the service and production window", "vmx-monitor"};
    app.allow_extras(allowForeign);
    std::string configDir, lang, port;
    std::optional<std::string> simulate;
    bool version = false;
    app.add_option("--config-dir", configDir,
                   "Program folder (MONITOR.INI, TEST.INI, Doc/); default: the executable's, or the "
                   "user's folders when installed");
    app.add_option("--lang", lang, "Language at start, over MONITOR.INI")->check(CLI::IsMember({"de", "en"}));
    app.add_option("--simulate", simulate, "Add the simulated bench as a link (optional profile)")
        ->expected(0, 1)
        ->default_str("");
    app.add_option("--port", port, "Link name as the Interface menu shows it, or a device path");
    app.add_flag("--version", version, "Print the program version and exit");

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    OptionsOutcome res;
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        res.kind = OptionsOutcome::Exit;
        res.text = app.help();
        return res;
    } catch (const CLI::ParseError& e) {
        res.kind = OptionsOutcome::UsageError;
        res.exitCode = 2;
        res.text = std::string(e.what()) + "\nRun with --help for more information.\n";
        return res;
    }
    if (version) {
        res.kind = OptionsOutcome::Exit;
        res.text = app::VersionLine("vmx-monitor") + "\n" + app::kVersionText + "\n";
        return res;
    }
    out.configDir = QString::fromStdString(configDir);
    if (!lang.empty()) out.language = lang == "en" ? 1 : 0;
    if (simulate) out.simulate = QString::fromStdString(*simulate);
    out.port = QString::fromStdString(port);
    return res;
}

} // namespace vmx::ui
