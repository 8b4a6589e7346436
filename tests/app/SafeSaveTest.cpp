// The one save policy: temporary file beside the target, renamed into place; write-protected
// targets refused for everyone; links written through; a missing folder told as such.
#include "app/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vmx::app;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

mode_t Mode(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

TEST(SafeSave, NewFileGetsTheUsualPermissionsAndNothingElseIsLeft)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("new.txt");
    ASSERT_EQ(SafeSave::Save(file, "hello\r\n"), SaveStatus::Ok);
    EXPECT_EQ(ReadAll(file), "hello\r\n");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(Mode(file), 0666 & ~mask);
    EXPECT_EQ(Entries(dir.path()), QStringList{"new.txt"});
}

TEST(SafeSave, ReplacedFileKeepsItsPermissions)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("old.hex");
    WriteAll(file, QByteArray(50000, 'o'));
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0620), 0);
    ASSERT_EQ(SafeSave::Save(file, "new"), SaveStatus::Ok);
    EXPECT_EQ(ReadAll(file), "new");
    EXPECT_EQ(Mode(file), mode_t(0620));
    EXPECT_EQ(Entries(dir.path()), QStringList{"old.hex"});
}

// Write permission for nobody protects the file from every user, root included (the tests
// run as root in CI, where the system alone would allow the write).
TEST(SafeSave, FileWithoutWritePermissionIsRefusedForEveryone)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("ro.txt");
    WriteAll(file, "keep me");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    EXPECT_EQ(SafeSave::Check(file), SaveStatus::WriteProtected);
    EXPECT_EQ(SafeSave::Save(file, "lost"), SaveStatus::WriteProtected);
    EXPECT_EQ(ReadAll(file), "keep me");
    EXPECT_EQ(Mode(file), mode_t(0444));
    EXPECT_EQ(Entries(dir.path()), QStringList{"ro.txt"});
}

TEST(SafeSave, SymbolicLinkIsWrittenThroughToItsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString target = dir.filePath("real/data.txt");
    WriteAll(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    const QString link = dir.filePath("link.txt");
    ASSERT_TRUE(QFile::link(target, link));
    // A link to a link, too.
    const QString link2 = dir.filePath("link2.txt");
    ASSERT_TRUE(QFile::link(link, link2));

    SafeSave save(link2);
    EXPECT_EQ(save.Destination(), QFileInfo(target).absoluteFilePath());
    ASSERT_EQ(save.Open(), SaveStatus::Ok);
    // The temporary file lies beside the real file, so the rename stays on its file system.
    EXPECT_EQ(QFileInfo(save.TempPath()).absolutePath(), QFileInfo(target).absolutePath());
    save.file().write("new");
    ASSERT_EQ(save.Commit(), SaveStatus::Ok);

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(link2).isSymLink());
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_EQ(Mode(target), mode_t(0640));
    EXPECT_EQ(Entries(dir.filePath("real")), QStringList{"data.txt"});

    // A link whose file is not there yet creates that file.
    const QString dangling = dir.filePath("dangling.txt");
    ASSERT_TRUE(QFile::link(dir.filePath("real/later.txt"), dangling));
    ASSERT_EQ(SafeSave::Save(dangling, "later"), SaveStatus::Ok);
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(ReadAll(dir.filePath("real/later.txt")), "later");

    // A link to a protected file is refused like the file.
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0440), 0);
    EXPECT_EQ(SafeSave::Save(link, "no"), SaveStatus::WriteProtected);
    EXPECT_EQ(ReadAll(target), "new");
}

TEST(SafeSave, LoopOfLinksCannotBeCreated)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath("b"), dir.filePath("a")));
    ASSERT_TRUE(QFile::link(dir.filePath("a"), dir.filePath("b")));
    EXPECT_EQ(SafeSave::Save(dir.filePath("a"), "x"), SaveStatus::CannotCreate);
}

TEST(SafeSave, MissingFolderIsToldAsSuchAndNamed)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("no/such/folder/x.txt");
    SafeSave save(file);
    EXPECT_EQ(save.Open(), SaveStatus::FolderMissing);
    EXPECT_EQ(save.Folder(), QDir::toNativeSeparators(dir.filePath("no")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no")));
    // A file where the folder should be is no folder either.
    WriteAll(dir.filePath("plain"), "x");
    EXPECT_EQ(SafeSave::Save(dir.filePath("plain/x.txt"), "x"), SaveStatus::FolderMissing);
    EXPECT_EQ(SaveMessage(SaveStatus::FolderMissing, 292), 291);
    EXPECT_EQ(SaveMessage(SaveStatus::WriteProtected, 292), 286);
    EXPECT_EQ(SaveMessage(SaveStatus::CannotCreate, 292), 292);
    EXPECT_EQ(SaveMessage(SaveStatus::WriteFailed, 292), 288);
}

TEST(SafeSave, FolderAsTargetCannotBeCreated)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_EQ(SafeSave::Save(dir.filePath("sub"), "x"), SaveStatus::CannotCreate);
    EXPECT_TRUE(QFileInfo(dir.filePath("sub")).isDir());
}

TEST(SafeSave, SaveThatIsNotCommittedLeavesTheOldFileAndNoTemporary)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("keep.txt");
    WriteAll(file, "old");
    {
        SafeSave save(file);
        ASSERT_EQ(save.Open(), SaveStatus::Ok);
        save.file().write(QByteArray(100000, 'n'));
        EXPECT_EQ(Entries(dir.path()).size(), 2);
    }
    EXPECT_EQ(ReadAll(file), "old");
    EXPECT_EQ(Entries(dir.path()), QStringList{"keep.txt"});
}

TEST(SafeSave, TargetProtectedWhileWritingKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("late.txt");
    WriteAll(file, "old");
    SafeSave save(file);
    ASSERT_EQ(save.Open(), SaveStatus::Ok);
    save.file().write("new");
    // Another hand makes it read-only before the save ends.
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    EXPECT_EQ(save.Commit(), SaveStatus::WriteProtected);
    EXPECT_EQ(ReadAll(file), "old");
}
