#pragma once

#include <QString>

namespace vmx::app {

// Why the program keeps its files where it does.
enum class FolderMode {
    Program,    // run from a build or portable folder: everything in the executable's folder
    ConfigDir,  // --config-dir DIR: everything in DIR
    Installed,  // binary in bin/ with share/vmx-monitor/ beside it: the user's folders
    Unwritable, // the executable's folder cannot be written: the user's folders
};
const char* FolderModeName(FolderMode mode);

// What the folder decision depends on: the executable's folder, --config-dir and the
// environment, gathered once by ReadFolderInputs so that DecideFolders stays a plain function.
struct FolderInputs {
    QString exeDir;          // absolute
    QString configDirOption; // --config-dir as given; empty: none
    QString currentDir;      // a relative --config-dir is taken from here
    QString home;            // $HOME
    QString xdgConfigHome;   // $XDG_CONFIG_HOME (ignored unless absolute)
    QString xdgDataHome;     // $XDG_DATA_HOME (ignored unless absolute)
    bool exeDirWritable = true;
    bool shareBeside = false; // the installed share folder exists relative to exeDir
};

struct Folders {
    FolderMode mode = FolderMode::Program;
    // MONITOR.INI and TEST.INI; relative names in them are looked up here first.
    QString config;
    // What the program writes on its own: record files, reports, backups, recordings, the log,
    // the local history database.
    QString data;
    // The shipped files (share/vmx-monitor, or a read-only program folder): the seed of the
    // configuration folder and the second place a relative name is looked up. Empty: none.
    QString shipped;

    bool userFolders() const { return mode == FolderMode::Installed || mode == FolderMode::Unwritable; }
    // A file of the configuration folder.
    QString ConfigFile(const QString& name) const;
    // A file of the data folder (an absolute name stays as it is), e.g. DataFile("history.db").
    QString DataFile(const QString& name) const;
    // A name from MONITOR.INI or TEST.INI: absolute as it is; relative in the configuration
    // folder, else in the shipped files; found nowhere, the configuration folder's name (which
    // the failure message then shows).
    QString Find(const QString& name) const;

    // Everything in one folder (tests, and a Session built on a plain folder).
    static Folders InOneFolder(const QString& dir);
};

// The decision itself: no file system, no environment.
Folders DecideFolders(const FolderInputs& in);

// The inputs as this process sees them. exeDir empty: the running executable's folder.
FolderInputs ReadFolderInputs(const QString& configDirOption, const QString& exeDir = QString());

// The folder of the running executable (also without an application object).
QString ExecutableDir();

// A user folder made ready for use: the configuration and data folders created, MONITOR.INI and
// TEST.INI copied from the shipped files where the configuration folder has none. False with
// the reason in `error`; nothing already there is touched. A program folder needs nothing.
bool PrepareFolders(const Folders& folders, QString& error);

// A helper program of ours (vmx-xls-read): beside the executable (build folder), else in the
// installed libexec folder.
QString HelperProgram(const QString& exeDir, const QString& name);

} // namespace vmx::app
