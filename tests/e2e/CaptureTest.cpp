// vmxctl capture against the simulated bench, as a script on a station would use it.
#include "RunTool.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(VmxctlCapture, StreamedAndPolledSamplesAsTableRows)
{
    QTemporaryDir dir;
    ToolResult r = RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "--simulate", "capture", "-n", "6"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList rows = TableRows(r.out);
    ASSERT_EQ(rows.size(), 6);
    for (int i = 0; i < 6; ++i) {
        const QStringList cells = rows[i].split('\t');
        ASSERT_EQ(cells.size(), 16) << rows[i].toStdString();
        EXPECT_EQ(cells[0], QString::number(i));
        EXPECT_FALSE(cells[4].isEmpty()); // a long stream delivers the value bytes
    }

    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate=stream=polled", "capture", "-n", "3",
                           "--interval", "100"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(TableRows(r.out).size(), 3);
    EXPECT_TRUE(r.err.contains("Messwerte: ")); // the poll's answer bytes in the status texts

    // A sensor without power: the probe finds nothing, "Abbruch", exit 1, no rows.
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate=power=off", "capture", "-n", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(TableRows(r.out).isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("Abbruch"));

    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate", "capture", "-n", "0"});
    EXPECT_EQ(r.exitCode, 2);
}

// A polled sensor below V1.24 sends no output value: vmxctl derives it as the window does, from
// the bubble factor of the working parameter block (5 in the standard set) times BAvg.
TEST(VmxctlCapture, PolledV123SensorGetsOutFromTheBubbleFactor)
{
    QTemporaryDir dir;
    const ToolResult r = RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "--type", "6000123",
                                            "--simulate=virtual,stream=polled,key=6000123", "capture", "-n",
                                            "5", "--interval", "100"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList rows = TableRows(r.out);
    ASSERT_EQ(rows.size(), 5);
    for (const QString& row : rows) {
        const QStringList cells = row.split('\t');
        ASSERT_EQ(cells.size(), 16);
        const int out = cells[3].trimmed().toInt();
        const int bavg = cells[10].toInt();
        EXPECT_GE(bavg, 1) << row.toStdString();
        EXPECT_EQ(out, 5 * bavg) << row.toStdString();
    }
}

// Each tick reads every block waiting; the capture still takes exactly the samples asked for,
// numbered without a gap.
TEST(VmxctlCapture, ExactlyTheSamplesAskedForFromADrainedStream)
{
    QTemporaryDir dir;
    for (const char* stream : {"long", "short"}) {
        SCOPED_TRACE(stream);
        const ToolResult r = RunTool("vmxctl", {"--config-dir", dir.path(),
                                                QStringLiteral("--simulate=virtual,stream=%1").arg(stream),
                                                "capture", "-n", "2000"});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList rows = TableRows(r.out);
        ASSERT_EQ(rows.size(), 2000);
        for (int i = 0; i < rows.size(); ++i)
            ASSERT_EQ(rows[i].section('\t', 0, 0), QString::number(i));
        // Aligned once at the start, then read without a resynchronisation.
        const int reading = int(r.err.indexOf(QStringLiteral("Lese Daten")));
        ASSERT_GE(reading, 0) << r.err.toStdString();
        EXPECT_EQ(r.err.indexOf(QStringLiteral("Synchronisiere"), reading), -1) << r.err.toStdString();
    }
}
