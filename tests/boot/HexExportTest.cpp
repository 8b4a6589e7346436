#include "BootFixture.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <sys/resource.h>

using namespace vmx::boot;

namespace {
QList<QByteArray> CrLfLines(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}
} // namespace

// An independent reader turns the code export into a binary: the 64 KiB must equal the image,
// and our own import must give the image back.
class HexReadBack : public BootTest {
protected:
    template <class Image>
    void ExpectSameBytes(const QString& program, const QStringList& args, const Image& code)
    {
        QProcess p;
        p.start(program, args);
        ASSERT_TRUE(p.waitForFinished(-1));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        const QByteArray bin = ReadFile(Path("code.bin"));
        ASSERT_EQ(bin.size(), 65536);
        EXPECT_TRUE(std::equal(bin.begin(), bin.end(), code.begin(),
                               [](char c, quint8 v) { return quint8(c) == v; }));
        ASSERT_TRUE(hex.ImportHexFile(Path("code.hex"), 0xFFFF));
        EXPECT_TRUE(std::equal(code.begin(), code.end(), images.Buffer().begin()));
    }
};

TEST_F(BootTest, SramExportWritesSixteenRecordsAndTheEndRecord)
{
    auto sram = images.Image(KindSram);
    for (int i = 0; i < 256; ++i)
        sram[i] = quint8(i);
    images.ImageToBuffer(KindSram);
    ASSERT_TRUE(hex.ExportHexData(Path("sram.hex"), 0, KindLimit(KindSram)));
    EXPECT_TRUE(host.panel1Log.isEmpty());

    const QByteArray text = ReadFile(Path("sram.hex"));
    EXPECT_TRUE(text.endsWith(":00000001FF\r\n"));
    const QList<QByteArray> lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 17);
    for (int n = 0; n < 17; ++n) {
        ASSERT_TRUE(lines[n].endsWith('\r')) << n; // every line ends in CR LF
        if (n < 16) {
            EXPECT_EQ(lines[n].size(), 44) << n;
            EXPECT_TRUE(lines[n].startsWith(
                ":1000" + QByteArray::number(n * 16, 16).toUpper().rightJustified(2, '0') + "00"))
                << lines[n].constData();
        }
    }
    EXPECT_EQ(lines[0], ":10000000000102030405060708090A0B0C0D0E0F78\r");
    EXPECT_EQ(lines[15], ":1000F000F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF88\r");
    EXPECT_EQ(lines[16], ":00000001FF\r");
}

TEST_F(BootTest, ErasedLinesAreWrittenWithTheirChecksum)
{
    ASSERT_TRUE(hex.ExportHexData(Path("ff.hex"), 0, 0x10F));
    const QList<QByteArray> lines = CrLfLines(ReadFile(Path("ff.hex")));
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines[0], ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r");
    EXPECT_EQ(lines[16], ":10010000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\r");
}

TEST_F(BootTest, ExportCoversWholeLinesFromStartToEnd)
{
    ASSERT_TRUE(hex.ExportHexData(Path("part.hex"), 0x15, 0x2A));
    const QList<QByteArray> lines = CrLfLines(ReadFile(Path("part.hex")));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(":10001000"));
    EXPECT_TRUE(lines[1].startsWith(":10002000"));
    EXPECT_EQ(lines[2], ":00000001FF\r");
}

TEST_F(BootTest, DigitsAreUpperCase)
{
    auto b = images.Buffer();
    for (int i = 0; i < 0x200; ++i)
        b[i] = quint8(0xA0 + (i % 0x5F));
    ASSERT_TRUE(hex.ExportHexData(Path("x.hex"), 0, KindLimit(KindXram)));
    const QByteArray text = ReadFile(Path("x.hex"));
    EXPECT_EQ(CrLfLines(text).size(), 33);
    EXPECT_EQ(text, text.toUpper());
}

TEST_F(HexReadBack, CodeExportReadsBackThroughObjcopyWithTheSameBytes)
{
    const QString objcopy = QStandardPaths::findExecutable("objcopy");
    ASSERT_FALSE(objcopy.isEmpty()) << "objcopy (binutils) missing: run scripts/install-deps";
    auto code = images.Image(KindCode);
    quint32 x = 12345;
    for (auto& v : code) {
        x = x * 1103515245u + 12345u;
        v = quint8(x >> 16);
    }
    images.ImageToBuffer(KindCode);
    ASSERT_TRUE(hex.ExportHexData(Path("code.hex"), 0, KindLimit(KindCode)));
    EXPECT_EQ(CrLfLines(ReadFile(Path("code.hex"))).size(), 4097);

    ExpectSameBytes(objcopy, {"-I", "ihex", "-O", "binary", Path("code.hex"), Path("code.bin")}, code);
}

TEST_F(BootTest, FileThatCannotBeCreated)
{
    // A missing folder is named as what is missing.
    EXPECT_FALSE(hex.ExportHexData(Path("no/such/folder/a.hex"), 0, 0xFF));
    EXPECT_EQ(LastStatus(),
              QStringLiteral("HEX-Export: Kann Datei nicht finden ") + QDir::toNativeSeparators(Path("no")));
    // A folder where the file should go cannot be opened as one.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EXPECT_FALSE(hex.ExportHexData(Path("sub"), 0, 0xFF));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Export: Kann Datei nicht öffnen sub"));
    // Write-protected: refused, kept.
    WriteFile("ro.hex", "old");
    ASSERT_TRUE(
        QFile::setPermissions(Path("ro.hex"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_FALSE(hex.ExportHexData(Path("ro.hex"), 0, 0xFF));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Export: Datei schreibgeschützt ro.hex"));
    EXPECT_EQ(ReadFile(Path("ro.hex")), QByteArray("old"));
}

TEST_F(BootTest, SuccessfulExportReplacesTheOldFile)
{
    WriteFile("old.hex", "old contents that are longer than sixteen SRAM records ... ");
    ASSERT_TRUE(hex.ExportHexData(Path("old.hex"), 0, 0xF));
    EXPECT_EQ(ReadFile(Path("old.hex")),
              QByteArray(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n:00000001FF\r\n"));
}

TEST_F(BootTest, FailedWriteKeepsTheOldFile)
{
    const QByteArray old = "previous firmware\r\n";
    WriteFile("fw.hex", old);
    // A file-size limit makes the write fail even for root; the signal would end the test.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = saved;
    tight.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool ok = hex.ExportHexData(Path("fw.hex"), 0, 0xFFFF);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Export: Irgendein Fehler aufgetreten fw.hex"));
    EXPECT_EQ(ReadFile(Path("fw.hex")), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"fw.hex"}); // no temporary left behind
}

TEST_F(HexReadBack, CodeExportReadsBackThroughSrecCatWithTheSameBytes)
{
    const QString srecCat = QStandardPaths::findExecutable("srec_cat");
    ASSERT_FALSE(srecCat.isEmpty()) << "srec_cat (srecord) missing: run scripts/install-deps";
    auto code = images.Image(KindCode);
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = quint8((i * 131) ^ (i >> 7));
    images.ImageToBuffer(KindCode);
    ASSERT_TRUE(hex.ExportHexData(Path("code.hex"), 0, KindLimit(KindCode)));

    // srec_cat checks every record's checksum while it reads.
    ExpectSameBytes(srecCat, {Path("code.hex"), "-Intel", "-o", Path("code.bin"), "-Binary"}, code);
}
