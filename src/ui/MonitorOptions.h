#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace vmx::ui {

// The command line of vmx-monitor.
struct MonitorOptions {
    QString configDir;               // --config-dir DIR; empty: the executable's folder
    int language = -1;               // --lang de|en: 0 or 1; -1: as MONITOR.INI says
    std::optional<QString> simulate; // --simulate[=PROFILE]; empty text for the default profile
    QString port;                    // --port NAME|PATH
};

struct OptionsOutcome {
    enum Kind { Run, Exit, UsageError } kind = Run;
    int exitCode = 0;
    std::string text; // what to print: help or version on stdout, an error on stderr
};

// Parses the arguments after the program name. With allowForeign, options this program does
// not know are left for the toolkit (which removes its own, such as -platform, later).
OptionsOutcome ParseMonitorOptions(const std::vector<std::string>& args, MonitorOptions& out,
                                   bool allowForeign = false);

} // namespace vmx::ui
