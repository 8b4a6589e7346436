#include "app/SafeSave.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vmx::app {

namespace {

constexpr int kMaxLinks = 32;

// The file a path stands for: symbolic links followed, also a link to a file not yet there.
// Empty for a loop of links.
QString FollowLinks(const QString& path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < kMaxLinks; ++i) {
        const QFileInfo fi(p);
        if (!fi.isSymLink()) return p;
        const QString next = fi.symLinkTarget();
        if (next.isEmpty()) return p;
        p = QFileInfo(next).absoluteFilePath();
    }
    return QString();
}

// Write permission as the read-only attribute means it: a file that grants writing to nobody
// is protected for every user, root included; otherwise the system decides.
bool Writable(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    const QByteArray p = QFile::encodeName(path);
    if (::stat(p.constData(), &st) != 0) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::access(p.constData(), W_OK) == 0;
#else
    return QFileInfo(path).isWritable();
#endif
}

SaveStatus CheckDestination(const QString& dest)
{
    if (dest.isEmpty()) return SaveStatus::CannotCreate;
    const QFileInfo fi(dest);
    const QFileInfo folder(fi.absolutePath());
    if (!folder.exists()) return SaveStatus::FolderMissing;
    if (!folder.isDir()) return SaveStatus::FolderMissing;
    if (fi.exists()) {
        if (fi.isDir()) return SaveStatus::CannotCreate;
        if (!Writable(dest)) return SaveStatus::WriteProtected;
    }
    return SaveStatus::Ok;
}

// What a save that was cut short (a killed program, a power cut) left beside the file: its
// temporary files, named as Open names them. Only this program writes them there.
void RemoveStaleTemps(const QFileInfo& dest)
{
    const QString prefix = QStringLiteral(".") + dest.fileName() + QLatin1Char('.');
    const QDir dir(dest.absolutePath());
    for (const QString& name : dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(name));
}

struct Fault {
    bool read = false;
    int error = 0;
    int atWrite = 0;
    QString pathPart;
    int writes = 0;
};

std::mutex faultLock;
Fault fault;

void ParseFault(const QString& words)
{
    fault = Fault{};
    fault.read = true;
    const QString head = words.section(QLatin1Char(':'), 0, 0).trimmed();
    fault.pathPart = words.section(QLatin1Char(':'), 1);
    const QString name = head.section(QLatin1Char('@'), 0, 0).toUpper();
    bool ok = true;
    fault.atWrite = head.contains(QLatin1Char('@')) ? head.section(QLatin1Char('@'), 1).toInt(&ok) : 1;
    if (!ok || fault.atWrite < 1) return;
    if (name == QLatin1String("ENOSPC"))
        fault.error = ENOSPC;
    else if (name == QLatin1String("EACCES"))
        fault.error = EACCES;
    else if (name == QLatin1String("EIO"))
        fault.error = EIO;
}

} // namespace

void SetFileFault(const QString& words)
{
    const std::lock_guard<std::mutex> hold(faultLock);
    ParseFault(words);
}

int InjectedFault(const QString& path)
{
    const std::lock_guard<std::mutex> hold(faultLock);
    if (!fault.read) ParseFault(qEnvironmentVariable("VMX_FILE_FAULT"));
    if (fault.error == 0 || !path.contains(fault.pathPart)) return 0;
    return ++fault.writes >= fault.atWrite ? fault.error : 0;
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool WriteAll(QFile& f, const QByteArray& bytes, int* error)
{
    int e = InjectedFault(f.fileName());
    // A full disk takes the first part of the bytes, as a real one does.
    if (e == ENOSPC) f.write(bytes.left(bytes.size() / 2));
    if (e == 0 && f.write(bytes) != bytes.size()) e = errno ? errno : EIO;
    if (error) *error = e;
    return e == 0;
}

bool AppendWhole(const QString& path, const QByteArray& bytes, QString* why)
{
    auto fail = [why](int e) {
        if (why) *why = ErrorText(e);
        return false;
    };
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(errno ? errno : EACCES);
    const qint64 before = f.size();
    int e = 0;
    if (WriteAll(f, bytes, &e)) {
#ifdef Q_OS_UNIX
        if (::fsync(f.handle()) == 0) return true;
        e = errno;
#else
        if (f.flush()) return true;
        e = EIO;
#endif
    }
    // Nothing of a line that is not whole stays behind.
    f.resize(before);
    return fail(e);
}

bool ProbeWrite(const QString& path, QString* why)
{
    auto fail = [why](const QString& text) {
        if (why) *why = text;
        return false;
    };
    const QString dest = FollowLinks(path);
    const QFileInfo fi(dest.isEmpty() ? path : dest);
    const QFileInfo folder(fi.absolutePath());
    if (!folder.isDir()) return fail(QStringLiteral("folder %1 does not exist").arg(fi.absolutePath()));
    if (fi.isDir()) return fail(QStringLiteral("is a folder"));
    if (fi.exists() && !Writable(fi.absoluteFilePath())) return fail(ErrorText(EACCES));
    QTemporaryFile probe(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() +
                         QStringLiteral(".XXXXXX"));
    errno = 0;
    if (!probe.open()) return fail(ErrorText(errno ? errno : EACCES));
    int e = 0;
    if (!WriteAll(probe, QByteArray(1, '\n'), &e) || !probe.flush()) return fail(ErrorText(e ? e : ENOSPC));
    return true;
}

SafeSave::SafeSave(const QString& target) : target_(target), destination_(FollowLinks(target)) {}

SafeSave::~SafeSave()
{
    if (temp_ && !committed_) {
        temp_->close();
        QFile::remove(temp_->fileName());
    }
}

QString SafeSave::Folder() const
{
    // The first folder on the way that is not there.
    QString dir = QFileInfo(destination_.isEmpty() ? target_ : destination_).absolutePath();
    while (true) {
        const QString up = QFileInfo(dir).absolutePath();
        if (up == dir || QFileInfo(up).isDir()) return QDir::toNativeSeparators(dir);
        dir = up;
    }
}

SaveStatus SafeSave::Check(const QString& target)
{
    return CheckDestination(FollowLinks(target));
}

SaveStatus SafeSave::Open()
{
    const SaveStatus s = CheckDestination(destination_);
    if (s != SaveStatus::Ok) return s;
    const QFileInfo fi(destination_);
    RemoveStaleTemps(fi);
    temp_ = std::make_unique<QTemporaryFile>(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() +
                                             QStringLiteral(".XXXXXX"));
    // Removed by the destructor unless it became the file.
    temp_->setAutoRemove(false);
    if (!temp_->open()) {
        temp_.reset();
        return SaveStatus::CannotCreate;
    }
    // A name of its own now (not an unnamed file that a close would lose): writers that open
    // it by name, and the rename, need one.
    if (temp_->fileName().isEmpty()) {
        temp_.reset();
        return SaveStatus::CannotCreate;
    }
    return SaveStatus::Ok;
}

QFile& SafeSave::file()
{
    return *temp_;
}

QString SafeSave::TempPath() const
{
    return temp_ ? temp_->fileName() : QString();
}

void SafeSave::CloseTemp()
{
    if (temp_) temp_->close();
}

SaveStatus SafeSave::Commit()
{
    if (!temp_) return SaveStatus::WriteFailed;
    const QString tempPath = temp_->fileName();
    if (temp_->isOpen()) {
        if (!temp_->flush()) return SaveStatus::WriteFailed;
        temp_->close();
    }
    if (temp_->error() != QFileDevice::NoError) return SaveStatus::WriteFailed;
    if (InjectedFault(destination_) != 0) return SaveStatus::WriteFailed;
    // The target may have changed since Open (another program): check again.
    const SaveStatus s = CheckDestination(destination_);
    if (s != SaveStatus::Ok) return s;
#ifdef Q_OS_UNIX
    const QByteArray tp = QFile::encodeName(tempPath);
    const QByteArray dp = QFile::encodeName(destination_);
    const int fd = ::open(tp.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SaveStatus::WriteFailed;
    struct stat old {};
    if (::stat(dp.constData(), &old) == 0) {
        // The replaced file keeps its permissions and, where we may, its owner.
        if (::geteuid() == 0) (void)::fchown(fd, old.st_uid, old.st_gid);
        (void)::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd, 0666 & ~mask);
    }
    // On the disk before the name points to it: a power cut leaves the old file or the new.
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (!synced) return SaveStatus::WriteFailed;
#endif
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(tempPath.toStdU16String()),
                            std::filesystem::path(destination_.toStdU16String()), ec);
    if (ec) return SaveStatus::WriteFailed;
    committed_ = true;
    return SaveStatus::Ok;
}

SaveStatus SafeSave::Save(const QString& target, const QByteArray& bytes)
{
    SafeSave save(target);
    const SaveStatus s = save.Open();
    if (s != SaveStatus::Ok) return s;
    if (!WriteAll(save.file(), bytes)) return SaveStatus::WriteFailed;
    return save.Commit();
}

int SaveMessage(SaveStatus status, int cannotCreate)
{
    switch (status) {
    case SaveStatus::Ok:
        return 250;
    case SaveStatus::WriteProtected:
        return 286;
    case SaveStatus::FolderMissing:
        return 291;
    case SaveStatus::CannotCreate:
        return cannotCreate;
    case SaveStatus::WriteFailed:
        return 288;
    }
    return 288;
}

} // namespace vmx::app
