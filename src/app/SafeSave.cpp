#include "app/SafeSave.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>

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

} // namespace

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
    if (save.file().write(bytes) != bytes.size()) return SaveStatus::WriteFailed;
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
