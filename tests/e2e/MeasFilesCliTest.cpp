// vmxctl capture --out, import and events against the simulated bench, as a station script
// uses them.
#include "RunTool.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QStringList Lines(const QString& out)
{
    return out.split('\n', Qt::SkipEmptyParts);
}
} // namespace

TEST(VmxctlMeasFiles, CaptureToFilesImportAndEvents)
{
    QTemporaryDir dir;
    const QString txt = dir.filePath("cap.txt");
    const QString xlsx = dir.filePath("cap.xlsx");
    ToolResult r =
        RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate", "capture", "-n", "8", "--out", txt});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()); // the rows went into the file
    EXPECT_TRUE(r.err.contains("Text-Export: alles okay")) << r.err.toStdString();
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("\r\n"), 9 + 1 + 8);

    r = RunTool("vmxctl",
                {"--config-dir", dir.path(), "-q", "--simulate", "capture", "-n", "8", "--out", xlsx});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    for (const QString& file : {txt, xlsx}) {
        r = RunTool("vmxctl", {"--config-dir", dir.path(), "import", file});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList rows = TableRows(r.out);
        ASSERT_EQ(rows.size(), 8) << file.toStdString();
        for (int i = 0; i < 8; ++i) {
            const QStringList cells = rows[i].split('\t');
            ASSERT_EQ(cells.size(), 16);
            EXPECT_EQ(cells[0], QString::number(i));
            EXPECT_FALSE(cells[4].trimmed().isEmpty());
        }
        EXPECT_TRUE(r.err.contains("alles okay"));
    }

    // Every sample is an event with threshold 0; N 1 takes every third.
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "events", "--file", txt, "--threshold", "0",
                           "--count", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList ev = Lines(r.out);
    ASSERT_EQ(ev.size(), 3);
    EXPECT_TRUE(ev[0].startsWith("1\t0\t"));
    EXPECT_TRUE(ev[1].startsWith("2\t3\t"));
    EXPECT_TRUE(ev[2].startsWith("3\t6\t"));
    EXPECT_EQ(ev[0].split('\t').size(), 4);

    // From a capture; no bubbles in a filled tube at the default threshold.
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "--simulate", "events", "-n", "5", "--criterion",
                           "bavg", "--threshold", "250"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    // Bad names and files.
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate", "capture", "-n", "2", "--out",
                           dir.filePath("cap.doc")});
    EXPECT_EQ(r.exitCode, 2);
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "import", dir.filePath("missing.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Kann Datei nicht finden"));
    r = RunTool("vmxctl",
                {"--config-dir", dir.path(), "--lang", "en", "import", dir.filePath("missing.xlsx")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("find file")) << r.err.toStdString();
}
