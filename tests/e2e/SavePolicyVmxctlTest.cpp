// Every file vmxctl writes (text and workbook exports, parameter files, HEX files) follows the
// one save policy, and a command whose operation failed writes nothing.
#include "RunTool.h"
#include "TestFiles.h"

#include "lang/Messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using vmx::e2e::M;
using vmx::e2e::Read;
using vmx::e2e::Write;

struct Writer {
    const char* name;
    const char* file;
    QStringList args; // %1 is the target
    int caption;
    const char* startsWith; // what a good file begins with
};

std::vector<Writer> Writers()
{
    return {
        {"text export", "out.txt", {"capture", "-n", "5", "--out", "%1"}, 294, "PROTOKOLL"},
        {"workbook export", "out.xlsx", {"capture", "-n", "5", "--out", "%1"}, 287, "PK"},
        {"parameter file", "par.hex", {"params", "standard", "--out", "%1"}, 296, "[PARAMETER]"},
        {"parameter file read", "read.hex", {"params", "read", "--out", "%1"}, 296, "[PARAMETER]"},
        {"HEX export",
         "sram.hex",
         {"mem", "read", "--kind", "sram", "--range", "0-FF", "--file", "%1"},
         317,
         ":10"},
    };
}

struct Vmxctl {
    QTemporaryDir dir;
    ToolResult Run(const Writer& w, const QString& target, const QString& profile = QString())
    {
        QStringList args{"--config-dir", dir.path(),
                         "--simulate=virtual,stream=polled" +
                             (profile.isEmpty() ? QString() : "," + profile)};
        for (const QString& a : w.args)
            args << (a == QLatin1String("%1") ? target : a);
        return RunTool(QStringLiteral("vmxctl"), args);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
};

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

TEST(SavePolicyVmxctl, WriteProtectedTargetIsRefusedByEveryWriterAndKept)
{
    for (const Writer& w : Writers()) {
        Vmxctl v;
        const QString target = v.Path(QString::fromLatin1(w.file));
        Write(target, "old contents");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0444), 0);
        const ToolResult r = v.Run(w, target);
        ASSERT_TRUE(r.finished) << w.name;
        EXPECT_EQ(r.exitCode, 1) << w.name << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(M(w.caption) + M(286))) << w.name << "\n" << r.err.toStdString();
        EXPECT_EQ(Read(target), "old contents") << w.name;
        EXPECT_EQ(Entries(v.dir.path()), QStringList{QString::fromLatin1(w.file)}) << w.name;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0444u) << w.name;
    }
}

TEST(SavePolicyVmxctl, SymbolicLinkIsWrittenThroughByEveryWriter)
{
    for (const Writer& w : Writers()) {
        Vmxctl v;
        ASSERT_TRUE(QDir(v.dir.path()).mkdir("real"));
        const QString real = v.Path("real/" + QString::fromLatin1(w.file));
        Write(real, "old contents");
        ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
        const QString link = v.Path(QString::fromLatin1(w.file));
        ASSERT_TRUE(QFile::link(real, link));
        const ToolResult r = v.Run(w, link);
        ASSERT_TRUE(r.finished) << w.name;
        EXPECT_EQ(r.exitCode, 0) << w.name << "\n" << r.err.toStdString();
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << w.name;
        EXPECT_TRUE(Read(real).startsWith(w.startsWith)) << w.name;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << w.name;
        EXPECT_EQ(Entries(v.Path("real")), QStringList{QString::fromLatin1(w.file)}) << w.name;
    }
}

TEST(SavePolicyVmxctl, MissingFolderIsToldAsSuchByEveryWriter)
{
    for (const Writer& w : Writers()) {
        Vmxctl v;
        const QString target = v.Path("gone/" + QString::fromLatin1(w.file));
        const ToolResult r = v.Run(w, target);
        ASSERT_TRUE(r.finished) << w.name;
        EXPECT_EQ(r.exitCode, 1) << w.name;
        EXPECT_TRUE(r.err.contains(M(w.caption) + M(291) + QDir::toNativeSeparators(v.Path("gone"))))
            << w.name << "\n"
            << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(M(286))) << w.name;
        EXPECT_FALSE(QFileInfo::exists(v.Path("gone"))) << w.name;
    }
}

// The capture whose device does not answer: no "okay", exit 1, and the export that was there
// is still there (it used to be replaced by an empty one).
TEST(SavePolicyVmxctl, FailedOperationWritesNoFile)
{
    for (const Writer& w : Writers()) {
        if (QString::fromLatin1(w.name) == QLatin1String("parameter file")) continue; // no device
        Vmxctl v;
        const QString target = v.Path(QString::fromLatin1(w.file));
        Write(target, "previous export");
        const ToolResult r = v.Run(w, target, QStringLiteral("fault=mute"));
        ASSERT_TRUE(r.finished) << w.name;
        EXPECT_EQ(r.exitCode, 1) << w.name << "\n" << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(M(w.caption) + M(250))) << w.name << "\n" << r.err.toStdString();
        EXPECT_EQ(Read(target), "previous export") << w.name;
        EXPECT_EQ(Entries(v.dir.path()), QStringList{QString::fromLatin1(w.file)}) << w.name;
    }
}
