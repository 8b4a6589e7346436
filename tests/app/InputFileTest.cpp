// Input files are bounded: only regular files under the cap are opened, and text is read line
// by line with the same lines and the same encoding as reading the whole file at once.
#include "app/InputFile.h"
#include "app/TextHelpers.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vmx::app;

namespace {

QStringList ReadAllLines(const QByteArray& bytes, TextEncoding enc)
{
    QBuffer b;
    b.setData(bytes);
    EXPECT_TRUE(b.open(QIODevice::ReadOnly));
    LineReader r(b, enc);
    QStringList out;
    QString line;
    while (r.Next(line))
        out << line;
    EXPECT_FALSE(r.Failed());
    return out;
}

} // namespace

TEST(LineReader, CutsLinesAsTheWholeTextReaderDoes)
{
    for (const QByteArray& text :
         {QByteArray(""), QByteArray("a"), QByteArray("a\r\nb\rc\nd"), QByteArray("\r\n\r\n"),
          QByteArray("x\r"), QByteArray("\n\n\nlast\n"), QByteArray("\r\r\n\n\r")})
        EXPECT_EQ(ReadAllLines(text, TextEncoding::Detect), SplitLines(DecodeText(text)))
            << text.toStdString();
}

TEST(LineReader, SameLinesAcrossChunkBoundaries)
{
    // Line ends of every kind at random places, some of them exactly on the 64 KiB boundaries
    // where a CR LF is split between two reads.
    QRandomGenerator rng(1234);
    for (int round = 0; round < 20; ++round) {
        QByteArray text;
        const int size = 64 * 1024 * 3 + int(rng.bounded(2000));
        text.reserve(size);
        while (text.size() < size) {
            const quint32 k = rng.bounded(12);
            text += k == 0 ? '\r' : k == 1 ? '\n' : char('a' + k);
        }
        text[64 * 1024 - 1] = '\r';
        text[64 * 1024] = '\n';
        text[2 * 64 * 1024 - 1] = '\r';
        text[2 * 64 * 1024] = 'z';
        if (round % 2) text += "\xE4"; // no longer UTF-8: Windows-1252
        EXPECT_EQ(ReadAllLines(text, TextEncoding::Detect), SplitLines(DecodeText(text))) << round;
        EXPECT_EQ(ReadAllLines(text, TextEncoding::Latin1), SplitLines(QString::fromLatin1(text))) << round;
    }
}

TEST(LineReader, EncodingDecidedOnTheWholeInput)
{
    // UTF-8 in the first line, a Windows-1252 byte far behind: the whole file is Windows-1252.
    QByteArray text = "Pr\xC3\xBC"
                      "f\n" +
                      QByteArray(200000, 'x') + "\n\xFC\n";
    QStringList lines = ReadAllLines(text, TextEncoding::Detect);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QString::fromUtf8("Pr\xC3\x83\xC2\xBC"
                                          "f"));
    EXPECT_EQ(lines[2], QStringLiteral("\u00FC"));
    // Valid UTF-8 with a byte-order mark: the mark is dropped.
    lines = ReadAllLines("\xEF\xBB\xBFPr\xC3\xBC"
                         "f\r\n",
                         TextEncoding::Detect);
    EXPECT_EQ(lines, QStringList{QStringLiteral("Pr\u00FCf")});
    // An unfinished sequence at the very end, overlong forms and surrogates are no UTF-8.
    for (const QByteArray& bad : {QByteArray("ok\xC3"), QByteArray("\xC0\xAF"), QByteArray("\xED\xA0\x80"),
                                  QByteArray("\xF4\x90\x80\x80")}) {
        Utf8Check c;
        c.Feed(bad.constData(), bad.size());
        EXPECT_FALSE(c.Complete()) << bad.toHex().toStdString();
        EXPECT_EQ(ReadAllLines(bad, TextEncoding::Detect), SplitLines(DecodeWindows1252(bad)));
    }
}

TEST(InputFile, OnlyRegularFilesUnderTheCap)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("none")));
    EXPECT_EQ(OpenInputFile(f), InputStatus::Missing);

    // A FIFO without a writer is refused at once (opening it would wait for ever).
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer t;
    t.start();
    QFile ff(fifo);
    EXPECT_EQ(OpenInputFile(ff), InputStatus::CannotOpen);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(ff.isOpen());

    for (const char* dev : {"/dev/zero", "/dev/null"}) {
        QFile d(QString::fromLatin1(dev));
        EXPECT_EQ(OpenInputFile(d), InputStatus::CannotOpen) << dev;
    }
    QFile folder(dir.path());
    EXPECT_EQ(OpenInputFile(folder), InputStatus::CannotOpen);

    // Above the cap (a sparse file: no disk is spent) and just at it.
    const QString big = dir.filePath(QStringLiteral("big.txt"));
    {
        QFile b(big);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        ASSERT_TRUE(b.resize(kMaxTextInput + 1));
    }
    QFile b(big);
    EXPECT_EQ(OpenInputFile(b), InputStatus::CannotOpen);
    QByteArray bytes;
    EXPECT_EQ(ReadInputFile(big, bytes, 1024), InputStatus::CannotOpen);
    EXPECT_TRUE(bytes.isEmpty());
    ASSERT_TRUE(QFile::resize(big, kMaxTextInput));
    QFile b2(big);
    EXPECT_EQ(OpenInputFile(b2), InputStatus::Ok);

    const QString small = dir.filePath(QStringLiteral("small.txt"));
    {
        QFile s(small);
        ASSERT_TRUE(s.open(QIODevice::WriteOnly));
        s.write("abc");
    }
    EXPECT_EQ(ReadInputFile(small, bytes), InputStatus::Ok);
    EXPECT_EQ(bytes, QByteArray("abc"));
    EXPECT_EQ(ReadInputFile(small, bytes, 2), InputStatus::CannotOpen);
    // A link to a regular file is that file; a link to a device is not.
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    EXPECT_EQ(ReadInputFile(link, bytes), InputStatus::CannotOpen);
}
