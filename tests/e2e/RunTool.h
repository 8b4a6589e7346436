#pragma once

#include "TestPaths.h"
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs one of the program's binaries to its end (bounded) and keeps what it printed.
struct ToolResult {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};

inline ToolResult RunTool(const QString& tool, const QStringList& args, int timeoutMs = 30000)
{
    QProcess p;
    p.start(testpaths::Bin(tool), args);
    ToolResult r;
    if (!p.waitForStarted(5000)) return r;
    p.closeWriteChannel();
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The measurement table's column titles, the first line `capture` and `import` print.
inline const QString kTableHeaderRow = QStringLiteral(
    "Ix\tDate\tTime\tOUT\tZero\tADC\tLin\tAmpl\tAMax\tGain\tBAvg\tAlarm\tFlags\tError\tTest\tVersion");

// The table rows of a capture or import's output, after its header row; a missing or wrong
// header row gives no rows, so the row checks fail.
inline QStringList TableRows(const QString& out)
{
    QStringList rows = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (rows.isEmpty() || rows.front().trimmed() != kTableHeaderRow)
        return {QStringLiteral("(no header row)")};
    rows.removeFirst();
    return rows;
}
