#pragma once

#include "app/Clock.h"
#include "app/Folders.h"
#include "app/Host.h"
#include "app/Modes.h"
#include "app/MonitorConfig.h"
#include "app/SensorTypes.h"

#include <QString>

#include <utility>
#include <vector>

namespace vmx::app {

// The program version shown in status panel 2.
inline constexpr const char* kVersionText = "V01.50.12.09/ 23.06.2014";

// One run of the program: its clock and host, the language, the operating mode, the current
// sensor type and what MONITOR.INI set. The subsystems above take it by reference.
class Session {
public:
    // Everything in one folder (a portable program folder, --config-dir, a test's folder).
    Session(Host& host, Clock& clock, QString programDir);
    Session(Host& host, Clock& clock, Folders folders);

    Host& host() { return *host_; }
    Clock& clock() { return *clock_; }
    // The folder of MONITOR.INI and TEST.INI.
    const QString& programDir() const { return folders_.config; }
    // Where the configuration, the program's own files and the shipped files are.
    const Folders& folders() const { return folders_; }
    // A file the program writes on its own (records, backups, the history database).
    QString DataFile(const QString& name) const { return folders_.DataFile(name); }

    // Catalogue text in the current language.
    QString Msg(int index) const;
    void PanelText(int panel, const QString& text) { host_->PanelText(panel, text); }
    void Wait(int ms) { host_->Wait(ms); }
    // Status line of the test page. The red texts are counted: a step that showed one halted
    // on a failure.
    void ShowLComment(CommentColour colour, const QString& text)
    {
        if (colour == CommentColour::Red) ++redComments_;
        if (comments_.size() >= kKeptComments) comments_.erase(comments_.begin());
        comments_.emplace_back(colour, text);
        host_->ShowLComment(colour, text);
    }
    // The status-line texts since the last call (the newest ones kept), for a step's record.
    std::vector<std::pair<CommentColour, QString>> TakeComments() { return std::exchange(comments_, {}); }
    int redComments() const { return redComments_; }

    int language() const { return language_; }
    void setLanguage(int language)
    {
        if (language == 0 || language == 1) language_ = language;
    }

    OperatingMode mode;
    CurrentSensorType sensor;
    MonitorConfig config;

    void CopyValidSensorType(int row) { app::CopyValidSensorType(sensor, row); }

    // Reads MONITOR.INI: the device keys preset the current type's numbers, the language and
    // mode are applied; the rest stays in `config` for the window to apply to its menus.
    bool ReadConfigFromFile();

    // Catalogue row the start ends on for the current numbers and the menu filters.
    int RowForCurrentType() const;

private:
    Host* host_;
    Clock* clock_;
    Folders folders_;
    int language_ = 0;
    int redComments_ = 0;
    static constexpr size_t kKeptComments = 200;
    std::vector<std::pair<CommentColour, QString>> comments_;
};

} // namespace vmx::app
