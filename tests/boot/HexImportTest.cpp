#include "BootFixture.h"

#include "app/InputFile.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

using namespace vmx::boot;
using vmx::app::AskButtons;
using vmx::app::AskIcon;
using vmx::app::AskResult;

namespace {
QByteArray Lines(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + "\r\n";
    return out;
}
} // namespace

// --- records: whole, checksummed, data and end only -----------------------------------------

// Every record is refused whole when its checksum is wrong, its type is not 00 or 01, or it
// is not a record at all; the line is named and the buffer keeps nothing of the file after
// the refusal point is reached (the import fails, the callers copy nothing).
TEST_F(BootTest, DamagedOrExtendedRecordsAreRefusedWithTheirLine)
{
    struct Case {
        const char* line; // line 2 of the file, after one good record
        int message;
        const char* place;
    };
    const Case cases[] = {
        {":03001000AABBCC00", 274, ": a.hex:2"},        // checksum wrong (0xBC is right)
        {":03001000AABBCCXX", 298, ": a.hex:2"},        // checksum not hex
        {":020000021000EC", 298, ": a.hex:2 (02)"},     // extended segment address
        {":0400000300003800C1", 298, ": a.hex:2 (03)"}, // start segment address
        {":020000040001F9", 298, ": a.hex:2 (04)"},     // extended linear address
        {":04000005000000CD2A", 298, ": a.hex:2 (05)"}, // start linear address: was a reset vector
        {"X02001G77Z1ab", 298, ": a.hex:2"},            // no colon, no digits
        {":01000500AA:00000001FF", 298, ": a.hex:2"},   // two records on one line
        {":0300100011", 298, ": a.hex:2"},              // count beyond the line
        {":04002000AABBC", 298, ": a.hex:2"},           // cut inside a byte
        {":", 298, ": a.hex:2"},                        // a colon alone
    };
    for (const Case& c : cases) {
        host.panel1Log.clear();
        const QString f = WriteFile("a.hex", Lines({":0100000011EE", c.line, ":00000001FF"}));
        EXPECT_FALSE(hex.ImportHexFile(f, 0xFFFF)) << c.line;
        EXPECT_EQ(LastStatus(), session.Msg(316) + session.Msg(c.message) + QLatin1String(c.place)) << c.line;
        EXPECT_TRUE(BufferAllFF(0x01)) << c.line;
    }
}

TEST_F(BootTest, GoodRecordsWithAnyLineEndAndBlankLinesAreRead)
{
    const QString f = WriteFile("a.hex", QByteArray(":0100000011EE\r\n"
                                                    "\r\n"
                                                    ":0100200022BD\n" // LF only
                                                    ":01003000339C\r" // CR only
                                                    ":00000001FF\r\n"
                                                    ":01004000447B")); // after the end record, no line end
    ASSERT_TRUE(hex.ImportHexFile(f, 0xFFFF)) << LastStatus().toStdString();
    const auto b = images.Buffer();
    EXPECT_EQ(b[0x00], 0x11);
    EXPECT_EQ(b[0x20], 0x22);
    EXPECT_EQ(b[0x30], 0x33);
    EXPECT_EQ(b[0x40], 0x44);
    EXPECT_TRUE(BufferAllFF(0x01, 0x1F));
}

TEST_F(BootTest, EveryImportStartsFromAnErasedBuffer)
{
    images.FillBuffer(0x00);
    const QString f = WriteFile("a.hex", Lines({":010005007783", ":00000001FF"}));
    ASSERT_TRUE(hex.ImportHexFile(f, 0xFFFF));
    EXPECT_EQ(images.Buffer()[5], 0x77);
    EXPECT_TRUE(BufferAllFF(0, 4));
    EXPECT_TRUE(BufferAllFF(6));
}

TEST_F(BootTest, ImportLeavesTheImagesAlone)
{
    const QString f = WriteFile("a.hex", Lines({":0100000055AA", ":00000001FF"}));
    ASSERT_TRUE(hex.ImportHexFile(f, 0xFFFF));
    EXPECT_EQ(images.Image(KindCode)[0], 0xFF);
    EXPECT_EQ(images.Image(KindSram)[0], 0xFF);
}

// --- the address limit ----------------------------------------------------------------------

TEST_F(BootTest, ByteAboveTheSramLimitStopsWithItsAddress)
{
    const QString f = WriteFile("a.hex", Lines({":02000000ABCD86", ":0200FF001122CC", ":010050007738"}));
    EXPECT_FALSE(hex.ImportHexFile(f, KindLimit(KindSram)));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Adresse zu hoch: 0100"));
    EXPECT_EQ(host.panel1Log.size(), 1);
    EXPECT_EQ(images.Buffer()[0x00], 0xAB);
    EXPECT_EQ(images.Buffer()[0xFF], 0x11); // stored before the failing byte
    EXPECT_EQ(images.Buffer()[0x100], 0xFF);
    EXPECT_EQ(images.Buffer()[0x50], 0xFF); // nothing after it
}

TEST_F(BootTest, LimitMessageInTheSessionsLanguage)
{
    session.setLanguage(vmx::lang::English);
    const QString f = WriteFile("a.hex", Lines({":01020000AB52"}));
    EXPECT_FALSE(hex.ImportHexFile(f, KindLimit(KindXram)));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Address too high: 0200"));
}

TEST_F(BootTest, RecordRunningPastTheBufferEndIsRefusedWhateverTheLimit)
{
    // 32 bytes from 0xFFF0: the last 16 would lie outside the 64 KiB buffer.
    QByteArray rec = ":20FFF000";
    quint8 sum = quint8(0x20 + 0xFF + 0xF0);
    for (int i = 0; i < 32; ++i) {
        rec += QByteArray::number(0x40 + i, 16).toUpper();
        sum = quint8(sum + 0x40 + i);
    }
    rec += QByteArray::number(0x100 + quint8(-sum), 16).right(2);
    const QString f = WriteFile("a.hex", rec + "\r\n");
    EXPECT_FALSE(hex.ImportHexFile(f, 0xFFFFFFFFu));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Adresse zu hoch: 10000"));
    EXPECT_EQ(images.Buffer()[0xFFF0], 0x40);
    EXPECT_EQ(images.Buffer()[0xFFFF], 0x4F);
}

TEST_F(BootTest, NothingCheckedMeansLimitZero)
{
    const QString f = WriteFile("a.hex", Lines({":02000000ABCD86"}));
    EXPECT_FALSE(hex.ImportHexFile(f, CheckedKindLimit({false, false, false, false})));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Adresse zu hoch: 0001"));
    EXPECT_EQ(images.Buffer()[0], 0xAB);
}

// --- parameter-file lines -------------------------------------------------------------------

TEST_F(BootTest, BracketLinesAskOnceAndYesImportsTheRest)
{
    const QString f = WriteFile(
        "par.hex", Lines({"[QVR]", "[V1.43]", ":020000001234B8", "[CAL]", ":010010005699", ":00000001FF"}));
    host.answers.push_back(AskResult::Yes);
    EXPECT_TRUE(hex.ImportHexFile(f, 0xFFFF));
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].Icon, AskIcon::Warning);
    EXPECT_EQ(host.questions[0].Buttons, AskButtons::YesNo);
    EXPECT_EQ(host.questions[0].Text, session.Msg(328));
    EXPECT_TRUE(host.questions[0].Text.startsWith(QStringLiteral("Download: Hex-Datei ist wahrscheinlich")));
    EXPECT_EQ(images.Buffer()[0], 0x12);
    EXPECT_EQ(images.Buffer()[1], 0x34);
    EXPECT_EQ(images.Buffer()[0x10], 0x56);
    // Bracket lines are not records: "[V1.43]" read as one would store a byte at 0x0430.
    EXPECT_TRUE(BufferAllFF(2, 0xF));
    EXPECT_TRUE(BufferAllFF(0x11));
}

TEST_F(BootTest, BracketLinesCancelImportsNothingAndReportsNothing)
{
    const QString f = WriteFile("par.hex", Lines({"[QVR]", ":020000001234B8", "[CAL]", ":00000001FF"}));
    for (AskResult refuse : {AskResult::No, AskResult::Cancel}) {
        host.questions.clear();
        host.panel1Log.clear();
        host.answers.push_back(refuse);
        EXPECT_FALSE(hex.ImportHexFile(f, 0xFFFF));
        EXPECT_EQ(host.questions.size(), 1u);
        EXPECT_TRUE(BufferAllFF());
        EXPECT_TRUE(host.panel1Log.isEmpty());
    }
}

TEST_F(BootTest, BracketQuestionInEnglish)
{
    session.setLanguage(vmx::lang::English);
    const QString f = WriteFile("par.hex", Lines({"x[y"}));
    host.answers.push_back(AskResult::Yes);
    EXPECT_TRUE(hex.ImportHexFile(f, 0xFFFF));
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_TRUE(host.questions[0].Text.startsWith(
        QStringLiteral("Download: This HEX-file is likely a parameter file")));
}

TEST_F(BootTest, ParserWorksOnAnyOpenedDevice)
{
    QByteArray data = Lines({":03000000010203F7"});
    QBuffer dev(&data);
    ASSERT_TRUE(dev.open(QIODevice::ReadOnly));
    images.FillBuffer();
    EXPECT_TRUE(hex.ImportHexData(dev, 0xFF));
    EXPECT_EQ(images.Buffer()[2], 0x03);
}

// --- files that cannot be read --------------------------------------------------------------

TEST_F(BootTest, MissingFileNamesTheFileWithoutItsFolder)
{
    images.FillBuffer(0x00);
    EXPECT_FALSE(hex.ImportHexFile(Path("none.hex"), 0xFFFF));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Kann Datei nicht finden none.hex"));
    EXPECT_EQ(images.Buffer()[0], 0x00); // not an existing file: the buffer is not cleared
}

TEST_F(BootTest, FileThatCannotBeOpened)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.hex"));
    images.FillBuffer(0x00);
    EXPECT_FALSE(hex.ImportHexFile(Path("folder.hex"), 0xFFFF));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Kann Datei nicht öffnen folder.hex"));
    EXPECT_TRUE(BufferAllFF(0)); // it exists: the buffer was erased all the same
}

TEST_F(BootTest, FifoDeviceOrHugeFileIsRefusedAtOnce)
{
    const QString fifo = Path("fifo.hex");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(hex.ImportHexFile(fifo, 0xFFFF)); // opening it would wait for a writer
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Kann Datei nicht öffnen fifo.hex"));
    EXPECT_FALSE(hex.ImportHexFile(QStringLiteral("/dev/zero"), 0xFFFF));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Kann Datei nicht öffnen zero"));
    const QString big = WriteFile("big.hex", QByteArray());
    ASSERT_TRUE(QFile::resize(big, vmx::app::kMaxTextInput + 1));
    EXPECT_FALSE(hex.ImportHexFile(big, 0xFFFF));
    EXPECT_EQ(LastStatus(), QStringLiteral("HEX-Import: Kann Datei nicht öffnen big.hex"));
}

// --- files from another tool ----------------------------------------------------------------

TEST_F(BootTest, CodeImportOfObjcopyOutputLeavesTheRestErased)
{
    const QString objcopy = QStandardPaths::findExecutable("objcopy");
    ASSERT_FALSE(objcopy.isEmpty()) << "objcopy (binutils) missing: run scripts/install-deps";
    QByteArray bin(0x1000, '\0');
    for (int i = 0; i < bin.size(); ++i)
        bin[i] = char((i * 7 + 3) ^ (i >> 8));
    const QString binFile = WriteFile("fw.bin", bin);
    QProcess p;
    p.start(objcopy, {"-I", "binary", "-O", "ihex", binFile, Path("fw.hex")});
    ASSERT_TRUE(p.waitForFinished(-1));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();

    ASSERT_TRUE(hex.ImportHexFile(Path("fw.hex"), 0xFFFF));
    const auto b = images.Buffer();
    EXPECT_TRUE(
        std::equal(bin.begin(), bin.end(), b.begin(), [](char c, quint8 v) { return quint8(c) == v; }));
    EXPECT_TRUE(BufferAllFF(0x1000));
}
