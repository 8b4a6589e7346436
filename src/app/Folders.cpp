#include "app/Folders.h"

#include "app/InstallLayout.h" // generated: where share/ and libexec/ lie relative to bin/

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace vmx::app {

namespace {

const char* const kAppFolder = "vmx-monitor";

// An XDG variable counts only when absolute; otherwise the documented default under $HOME.
QString XdgFolder(const QString& variable, const QString& home, const char* fallback)
{
    const QString base =
        QDir::isAbsolutePath(variable) ? variable : QDir(home).filePath(QString::fromLatin1(fallback));
    return QDir::cleanPath(QDir(base).filePath(QString::fromLatin1(kAppFolder)));
}

bool CanWriteIn(const QString& dir)
{
    // A file actually made, not the mode bits: root, ACLs and read-only mounts all answer right.
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".vmx-write-test-XXXXXX")));
    return probe.open();
}

} // namespace

const char* FolderModeName(FolderMode mode)
{
    switch (mode) {
    case FolderMode::Program:
        return "program";
    case FolderMode::ConfigDir:
        return "config-dir";
    case FolderMode::Installed:
        return "installed";
    case FolderMode::Unwritable:
        return "unwritable";
    }
    return "program";
}

QString Folders::ConfigFile(const QString& name) const
{
    return QDir(config).filePath(name);
}

QString Folders::DataFile(const QString& name) const
{
    return QDir(data).filePath(name);
}

QString Folders::Find(const QString& name) const
{
    if (name.isEmpty() || QDir::isAbsolutePath(name)) return name;
    const QString own = QDir(config).filePath(name);
    if (shipped.isEmpty() || QFileInfo::exists(own)) return own;
    const QString fromShipped = QDir(shipped).filePath(name);
    return QFileInfo::exists(fromShipped) ? fromShipped : own;
}

Folders Folders::InOneFolder(const QString& dir)
{
    Folders f;
    f.config = dir;
    f.data = dir;
    return f;
}

Folders DecideFolders(const FolderInputs& in)
{
    const QString exeDir = QDir::cleanPath(in.exeDir);
    const QString share =
        in.shareBeside ? QDir::cleanPath(QDir(exeDir).filePath(QStringLiteral(VMX_BIN_TO_SHARE))) : QString();
    Folders f;
    if (!in.configDirOption.isEmpty()) {
        // Asked for by name: one folder as from a portable copy; an installed program still
        // finds its shipped files behind it.
        f = Folders::InOneFolder(QDir::cleanPath(QDir(in.currentDir).absoluteFilePath(in.configDirOption)));
        f.mode = FolderMode::ConfigDir;
        f.shipped = share;
        return f;
    }
    if (!in.shareBeside && in.exeDirWritable) {
        f = Folders::InOneFolder(exeDir);
        return f;
    }
    f.mode = in.shareBeside ? FolderMode::Installed : FolderMode::Unwritable;
    f.config = XdgFolder(in.xdgConfigHome, in.home, ".config");
    f.data = XdgFolder(in.xdgDataHome, in.home, ".local/share");
    // A read-only portable copy ships its files in its own folder.
    f.shipped = in.shareBeside ? share : exeDir;
    return f;
}

QString ExecutableDir()
{
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

FolderInputs ReadFolderInputs(const QString& configDirOption, const QString& exeDir)
{
    FolderInputs in;
    in.exeDir = exeDir.isEmpty() ? ExecutableDir() : exeDir;
    in.configDirOption = configDirOption;
    in.currentDir = QDir::currentPath();
    in.home = QDir::homePath();
    in.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    in.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    in.shareBeside = QFileInfo(QDir(in.exeDir).filePath(QStringLiteral(VMX_BIN_TO_SHARE))).isDir();
    // Only asked where the answer matters (the probe writes a file).
    in.exeDirWritable = !configDirOption.isEmpty() || in.shareBeside || CanWriteIn(in.exeDir);
    return in;
}

bool PrepareFolders(const Folders& folders, QString& error)
{
    if (!folders.userFolders()) return true;
    for (const QString& dir : {folders.config, folders.data}) {
        if (!QDir().mkpath(dir)) {
            error = QStringLiteral("cannot create the folder %1").arg(dir);
            return false;
        }
    }
    if (folders.shipped.isEmpty()) return true;
    for (const char* name : {"MONITOR.INI", "TEST.INI"}) {
        const QString target = folders.ConfigFile(QString::fromLatin1(name));
        const QString source = QDir(folders.shipped).filePath(QString::fromLatin1(name));
        if (QFileInfo::exists(target) || !QFileInfo::exists(source)) continue;
        // Copied under a temporary name and renamed, so a failed copy leaves no half file that
        // the next start would take for the user's own.
        const QString part = target + QStringLiteral(".part");
        QFile::remove(part);
        if (!QFile::copy(source, part) || !QFile::rename(part, target)) {
            QFile::remove(part);
            error = QStringLiteral("cannot copy %1 to %2").arg(source, target);
            return false;
        }
        // The shipped copy is read-only; the user's own is theirs to edit.
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    }
    return true;
}

QString HelperProgram(const QString& exeDir, const QString& name)
{
    const QString beside = QDir(exeDir).filePath(name);
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = QDir::cleanPath(QDir(exeDir).filePath(QStringLiteral(VMX_BIN_TO_LIBEXEC)));
    const QString inLibexec = QDir(installed).filePath(name);
    return QFileInfo::exists(inLibexec) ? inLibexec : beside;
}

} // namespace vmx::app
