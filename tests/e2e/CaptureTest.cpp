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
    QStringList rows = r.out.split('\n', Qt::SkipEmptyParts);
    // The table page's header first, so the columns can be read.
    ASSERT_EQ(rows.size(), 1 + 6);
    EXPECT_EQ(rows.takeFirst(), QStringLiteral("Ix\tDate\tTime\tOUT\tZero\tADC\tLin\tAmpl\tAMax\tGain\tBAvg\tAlarm\t"
                                               "Flags\tError\tTest\tVersion"));
    for (int i = 0; i < 6; ++i) {
        const QStringList cells = rows[i].split('\t');
        ASSERT_EQ(cells.size(), 16) << rows[i].toStdString();
        EXPECT_EQ(cells[0], QString::number(i));
        EXPECT_FALSE(cells[4].isEmpty()); // a long stream delivers the value bytes
    }

    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate=stream=polled", "capture", "-n", "3",
                           "--interval", "100"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts).size(), 1 + 3);
    EXPECT_TRUE(r.err.contains("Messwerte: ")); // the poll's answer bytes in the status texts

    // A sensor without power: the probe finds nothing, "Abbruch", exit 1, no rows.
    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate=power=off", "capture", "-n", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("Abbruch"));

    r = RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate", "capture", "-n", "0"});
    EXPECT_EQ(r.exitCode, 2);
}
