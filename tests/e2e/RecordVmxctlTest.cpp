// vmxctl capture --record and replay against the simulated bench: a recording killed hard keeps
// all but its last second and stays importable; a recording replays as it was recorded.
#include "RunTool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The data rows of a recording's files in order (the header's ten lines left out), cells
// trimmed as vmxctl prints them.
QStringList RecordedRows(const QString& folder, int* files = nullptr)
{
    QStringList rows;
    const QDir d(folder);
    const QStringList names = d.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    if (files) *files = int(names.size());
    for (const QString& name : names) {
        QFile f(d.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (qsizetype i = 10; i < lines.size(); ++i) {
            QStringList cells = QString::fromLatin1(lines[i]).split(QLatin1Char('\t'));
            // A line is whole when its 16 cells each end in a tab, then CR LF.
            if (cells.size() != 17 || cells.last() != QLatin1String("\r")) continue;
            cells.removeLast();
            for (QString& c : cells)
                c = c.trimmed();
            rows << cells.join(QLatin1Char('\t'));
        }
    }
    return rows;
}

QStringList Trimmed(const QStringList& printed)
{
    QStringList out;
    for (const QString& row : printed) {
        QStringList cells = row.split(QLatin1Char('\t'));
        for (QString& c : cells)
            c = c.trimmed();
        out << cells.join(QLatin1Char('\t'));
    }
    return out;
}

} // namespace

TEST(VmxctlRecord, AKillLosesAtMostTheLastSecondAndTheFileStaysImportable)
{
    QTemporaryDir dir;
    const QString rec = dir.filePath(QStringLiteral("rec"));
    QProcess p;
    p.start(testpaths::Bin("vmxctl"),
            {"--config-dir", dir.path(), "-q", "--simulate=stream=short", "capture", "--record", rec});
    ASSERT_TRUE(p.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (t.elapsed() < 4000) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    p.kill(); // SIGKILL: nothing of the program runs after it
    ASSERT_TRUE(p.waitForFinished(5000));
    out += p.readAllStandardOutput();
    const QStringList printed = Trimmed(TableRows(QString::fromUtf8(out)));
    // The last printed row may be cut by the kill.
    ASSERT_GT(printed.size(), 480);
    const qsizetype seen = printed.size() - 1;

    const QStringList recorded = RecordedRows(rec);
    // Every row recorded is the one printed for that index, from 0 on without a gap...
    ASSERT_FALSE(recorded.isEmpty());
    for (qsizetype i = 0; i < recorded.size(); ++i)
        ASSERT_EQ(recorded[i], printed.value(i)) << i;
    // ...and at most the last second of the short stream (240 samples) is missing.
    EXPECT_GE(recorded.size(), seen - 240 - 3) << "recorded " << recorded.size() << " of " << seen;

    const QString first = QDir(rec).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name).value(0);
    const ToolResult imp =
        RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "import", QDir(rec).filePath(first)});
    EXPECT_EQ(imp.exitCode, 0) << imp.err.toStdString();
    EXPECT_EQ(TableRows(imp.out).size(), std::min<qsizetype>(recorded.size(), 32000));
}

TEST(VmxctlRecord, RotatedRecordingReplaysAsRecordedAndIsSearchedWhole)
{
    QTemporaryDir dir;
    const QString rec = dir.filePath(QStringLiteral("rec"));
    const ToolResult r =
        RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "--simulate=virtual,stream=long", "capture",
                           "--record", rec, "--seconds", "150", "--rotate-min", "1"});
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList printed = Trimmed(TableRows(r.out));
    int files = 0;
    const QStringList recorded = RecordedRows(rec, &files);
    EXPECT_EQ(files, 3);
    EXPECT_NEAR(double(printed.size()), 150.0 * 144, 144);
    ASSERT_EQ(recorded, printed);

    const QString first =
        QDir(rec).filePath(QDir(rec).entryList({"*.txt"}, QDir::Files, QDir::Name).value(0));
    for (const char* speed : {"10", "max"}) {
        SCOPED_TRACE(speed);
        const ToolResult rp = RunTool(
            "vmxctl", {"--config-dir", dir.path(), "--simulate=virtual", "replay", first, "--speed", speed});
        ASSERT_TRUE(rp.finished);
        EXPECT_EQ(rp.exitCode, 0) << rp.err.toStdString();
        EXPECT_EQ(Trimmed(TableRows(rp.out)), printed);
        EXPECT_TRUE(rp.err.contains(QStringLiteral("Wiedergabe"))) << rp.err.toStdString();
    }

    // The event search over the whole recording: one row per event, beyond the first file.
    const ToolResult ev = RunTool("vmxctl", {"--config-dir", dir.path(), "-q", "events", "--file", first,
                                             "--criterion", "out", "--threshold", "0", "--count", "100"});
    EXPECT_EQ(ev.exitCode, 0) << ev.err.toStdString();
    const QStringList hits = ev.out.split('\n', Qt::SkipEmptyParts);
    // Threshold 0: an event every 2N + 1 rows.
    EXPECT_EQ(hits.size(), (printed.size() + 200) / 201);
    for (qsizetype k = 0; k < hits.size(); ++k) {
        const int index = hits[k].split('\t').value(1).toInt();
        EXPECT_TRUE(index >= 201 * k && index < 201 * k + 100) << hits[k].toStdString();
    }
}
