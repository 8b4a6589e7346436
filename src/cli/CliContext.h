#pragma once

#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "station/Station.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vmx::cli {

// Exit codes of vmxctl.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct CliOptions {
    std::string port;                    // --port NAME|PATH
    std::optional<std::string> simulate; // --simulate[=PROFILE]; "" for the default profile
    std::string type;                    // --type KEY
    std::string configDir;               // --config-dir DIR
    std::string lang;                    // --lang de|en
    std::optional<bool> ack, answerCheck, frameCrc;
    bool yes = false;
    bool quiet = false;
};

// Status texts go to standard error one per line; questions are printed and answered Yes/OK
// with --yes, otherwise refused.
class ConsoleHost : public app::Host {
public:
    ConsoleHost(app::Clock& clock, const CliOptions& opts) : clock_(clock), opts_(opts) {}
    void PanelText(int panel, const QString& text) override;
    void ShowLComment(app::CommentColour colour, const QString& text) override;
    app::AskResult Ask(app::AskIcon icon, app::AskButtons buttons, const QString& text,
                       const QString& caption) override;
    void Wait(int ms) override { clock_.SleepMs(ms); }
    void ProcessMessages() override {}
    void Beep() override {}
    void SetClipboardText(const QString& text) override { clipboard_ = text; }
    QString ClipboardText() override { return clipboard_; }
    void Progress(qint64 done, qint64 total) override;

    // The last text of status panel 0 (the link), which the console does not show by itself.
    QString lastPanel0;

private:
    app::Clock& clock_;
    const CliOptions& opts_;
    QString clipboard_;
    bool progressShown_ = false;
};

// What every command works with: the options, the clock, the host, the session and the
// station the program's core lives in.
class CliContext {
public:
    CliOptions opts;
    std::function<int()> run; // set by the chosen subcommand

    // Builds the session as the program does at start: built-in defaults, MONITOR.INI, then
    // the command line's --type and --lang on top. False (message printed) on a bad option.
    bool StartSession();
    app::Session& session() { return *session_; }
    app::Host& host() { return *host_; }
    app::Clock& clock() { return *clock_; }
    // The program folder: --config-dir or the executable's folder.
    QString ProgramDir() const;
    // Writes one result line to standard output.
    static void Out(const QString& line);
    static void Err(const QString& line);

    // Builds the station on the session as the program does at start: its link from the
    // options (serial ports, real converters, --port PATH, --simulate[=PROFILE]; nothing is
    // enumerated yet), MONITOR.INI's menu switches, the standard parameters (with PARFILE).
    bool StartStation();
    station::Station& station() { return *station_; }
    // The station, then the link enumerated and the chosen one opened (--port NAME or the
    // default) with the protocol switches of --ack/--answer-check/--frame-crc on top. False
    // (message printed) on a bad option; a link that did not open is not an error here (its
    // panel-0 text is printed, the command then fails).
    bool StartLink();
    link::Link& link() { return station_->link(); }
    ConsoleHost& console() { return *host_; }

private:
    std::unique_ptr<app::Clock> clock_;
    std::unique_ptr<ConsoleHost> host_;
    std::unique_ptr<app::Session> session_;
    std::unique_ptr<station::Station> station_; // after the session: it is destroyed first
    bool linkStarted_ = false;
};

// Command groups; each adds its subcommands and sets ctx.run when chosen.
void AddShellCommands(CLI::App& app, CliContext& ctx);
void AddLinkCommands(CLI::App& app, CliContext& ctx);
void AddCaptureCommands(CLI::App& app, CliContext& ctx);
void AddDeviceCommands(CLI::App& app, CliContext& ctx);
void AddBootCommands(CLI::App& app, CliContext& ctx);
void AddParamCommands(CLI::App& app, CliContext& ctx);

} // namespace vmx::cli
