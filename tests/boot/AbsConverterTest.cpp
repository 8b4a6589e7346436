#include "BootFixture.h"

#include <QDir>
#include <QFileInfo>

using namespace vmx::boot;

namespace {
// Puts a folder first on the search path for the lifetime of the object.
class SearchPath {
public:
    explicit SearchPath(const QString& folder, bool only = false) : saved_(qgetenv("PATH"))
    {
        qputenv("PATH", only ? folder.toLocal8Bit() : folder.toLocal8Bit() + ':' + saved_);
    }
    ~SearchPath() { qputenv("PATH", saved_); }

private:
    QByteArray saved_;
};
} // namespace

class AbsTest : public BootTest {
protected:
    QString binDir;
    QString workDir;

    void SetUp() override
    {
        BootTest::SetUp();
        ASSERT_TRUE(QDir(dir.path()).mkpath("bin"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("work"));
        binDir = Path("bin");
        workDir = Path("work");
        // Stands in for the converter: notes where and with what it ran, fails with code 3.
        QFile f(binDir + "/OH51");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n"
                "{ pwd; echo \"$#\"; printf '%s\\n' \"$@\"; } > oh51.log\n"
                "exit 3\n");
        f.close();
        ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    QStringList Log() const
    {
        const QByteArray text = ReadFile(workDir + "/oh51.log");
        QStringList lines = QString::fromLocal8Bit(text).split('\n');
        if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
        return lines;
    }
};

TEST_F(AbsTest, RunsInTheFilesFolderWithTheBareNameAndWaitsForTheEnd)
{
    SearchPath path(binDir);
    WriteFile("work/FW0143.ABS", "abs");
    EXPECT_TRUE(hex.ConvertAbsToHex(workDir + "/FW0143.ABS"));
    // The log exists on return: the converter had finished.
    EXPECT_EQ(Log(), (QStringList{QFileInfo(workDir).canonicalFilePath(), "1", "FW0143.ABS"}));
    EXPECT_EQ(LastStatus(), QStringLiteral("ABS-Import: FW0143.ABS erfolgreich zu *.HEX übersetzt"));
}

TEST_F(AbsTest, FileNameReachesTheConverterAsOneUntouchedArgument)
{
    SearchPath path(binDir);
    const QString name = QStringLiteral("fw 1;$(touch pwned) `id`.abs");
    WriteFile("work/" + name, "abs");
    EXPECT_TRUE(hex.ConvertAbsToHex(workDir + "/" + name));
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[1], "1");
    EXPECT_EQ(log[2], name);
    EXPECT_FALSE(QFileInfo::exists(workDir + "/pwned"));
}

TEST_F(AbsTest, MissingConverterReportsTheFailure)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("empty"));
    SearchPath path(Path("empty"), true);
    WriteFile("work/fw.abs", "abs");
    EXPECT_FALSE(hex.ConvertAbsToHex(workDir + "/fw.abs"));
    EXPECT_EQ(LastStatus(), QStringLiteral("ABS-Import: Irgendein Fehler aufgetreten fw.abs"));
}

TEST_F(AbsTest, MessagesInEnglish)
{
    session.setLanguage(vmx::lang::English);
    SearchPath path(binDir);
    WriteFile("work/fw.abs", "abs");
    EXPECT_TRUE(hex.ConvertAbsToHex(workDir + "/fw.abs"));
    EXPECT_EQ(LastStatus(), QStringLiteral("ABS-Import: fw.abs succesfully compiled to *.HEX"));
}
