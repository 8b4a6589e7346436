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

namespace vmx::boot {
class BootLoader;
}

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
    std::string db;      // --db URL
    std::string station; // --station NAME
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
    void Wait(int ms) override
    {
        clock_.SleepMs(ms);
        // As the window's timer runs while a wait pumps its messages.
        if (ms > 20 && onWait) onWait();
    }
    void ProcessMessages() override {}
    void Beep() override {}
    void SetClipboardText(const QString& text) override { clipboard_ = text; }
    QString ClipboardText() override { return clipboard_; }
    void Progress(qint64 done, qint64 total) override;

    // The last text of status panel 0 (the link), which the console does not show by itself.
    QString lastPanel0;
    // The last operation result (panel 1), for commands that print it as their result.
    QString lastPanel1;
    // What stands before each status-line text of the test page (the program and step of a
    // test run).
    std::function<QString()> commentPrefix;
    // Run after every wait above 20 ms (a test run serves the acquisition's timer here).
    std::function<void()> onWait;

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
    // What a command returns when StartLink failed: a usage error, or a failure when the link
    // named by --port could not be opened.
    int startExit = kExitUsage;

    // Builds the session as the program does at start: built-in defaults, MONITOR.INI, then
    // the command line's --type and --lang on top. False (message printed) on a bad option.
    bool StartSession();
    // --simulate with the word "virtual": the session runs on the virtual clock.
    bool SimulateVirtual() const;
    app::Session& session() { return *session_; }
    app::Host& host() { return *host_; }
    app::Clock& clock() { return *clock_; }
    // The folders in use: the executable's, --config-dir's, or the user's (installed program).
    app::Folders Folders() const;
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
    // (message printed) on a bad option, and when the link that --port names did not open (its
    // panel-0 text printed, startExit a failure); the default link not opening is not an error
    // here (the command then fails).
    bool StartLink();
    link::Link& link() { return station_->link(); }
    // The unit history's URL (--db, else MONITOR.INI [DATABASE] URL=, else the default in the
    // data folder) and this station's name (--station, else STATION=, else the host name).
    QString HistoryUrl() const;
    QString StationName() const;
    // The folder the record files and the history go to.
    QString DataDir() const { return session_ ? session_->folders().data : Folders().data; }
    // The station, then its unit history opened for writing. False (message printed) when it
    // cannot be opened: nothing is then done that it should record.
    bool OpenHistory();
    ConsoleHost& console() { return *host_; }

private:
    std::unique_ptr<app::Clock> clock_;
    std::unique_ptr<ConsoleHost> host_;
    std::unique_ptr<app::Session> session_;
    std::unique_ptr<station::Station> station_; // after the session: it is destroyed first
    bool linkStarted_ = false;
};

// When `boot` restarted the sensor during this run: waits out the restart (one second from it,
// as the monitor page's reset does) and purges, so the next run finds a listening sensor and
// none of its first records.
void SettleAfterRestart(app::Session& session, link::Link& link, const boot::BootLoader& boot);

// One run of a command that talks to the sensor (after StartLink): a sensor restarted by it is
// given its restart before the tool ends, so the next run finds it listening.
class SensorRun {
public:
    explicit SensorRun(CliContext& ctx) : ctx_(ctx) {}
    ~SensorRun() { SettleAfterRestart(ctx_.session(), ctx_.link(), ctx_.station().bootLoader()); }
    SensorRun(const SensorRun&) = delete;
    SensorRun& operator=(const SensorRun&) = delete;
    // The loader entered as the parameter transfer enters it (start, wait, purge, ping), so a
    // sensor that streams or is still restarting does not answer the first command with its
    // records.
    bool EnterBootLoader() { return ctx_.station().transfer().EnterBootLoader(); }

private:
    CliContext& ctx_;
};

// Command groups; each adds its subcommands and sets ctx.run when chosen.
void AddShellCommands(CLI::App& app, CliContext& ctx);
void AddLinkCommands(CLI::App& app, CliContext& ctx);
void AddCaptureCommands(CLI::App& app, CliContext& ctx);
void AddDeviceCommands(CLI::App& app, CliContext& ctx);
void AddBootCommands(CLI::App& app, CliContext& ctx);
void AddParamCommands(CLI::App& app, CliContext& ctx);
void AddModuleCommands(CLI::App& app, CliContext& ctx);
void AddTestCommands(CLI::App& app, CliContext& ctx);
void AddHistoryCommands(CLI::App& app, CliContext& ctx);
// `completion bash|zsh`: added last, it walks the commands added before it.
void AddCompletionCommand(CLI::App& app, CliContext& ctx);

} // namespace vmx::cli
