// Imports of files from outside that try to hurt: a reader process that crashes, hangs, floods
// or talks nonsense, workbooks nested deep or with references and numbers out of any bound,
// text that is no file at all.
#include "MeasFileEvents.h"
#include "RecordingHost.h"
#include "ZipPackage.h"

#include "app/Session.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vmx;
using namespace vmx::monitor;

namespace {

struct Rig {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    app::Session session{host, clock, QString()};
    MeasurementStore store;
    MeasTableModel table;
    test::MeasFileEvents events{store, table};
    MeasFiles files{session, store, table, events};
    QTemporaryDir dir;

    Rig()
    {
        session.CopyValidSensorType(0);
        // Three rows that a failed import must leave alone.
        for (int i = 1; i <= 3; ++i)
            table.SetTextRow(i, {QString::number(i - 1), "", "", "1", "2", "3", "4", "5", "6", "7", "8"});
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
    QString Write(const char* name, const QByteArray& bytes, bool executable = false) const
    {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        if (executable) f.setPermissions(f.permissions() | QFile::ExeOwner);
        return Path(name);
    }
};

const QString kAnyError = QStringLiteral("Excel-Import: Irgendein Fehler aufgetreten ");
const QString kCannotOpen = QStringLiteral("Excel-Import: Kann Datei nicht öffnen ");

} // namespace

TEST(XlsReaderProcess, CrashHangFloodAndNonsenseBecomeTheImportsFailure)
{
    struct Case {
        const char* name;
        const char* script;
        QString message;
    };
    const Case cases[] = {
        {"crash", "#!/bin/sh\nprintf 'C\\t12\\t0\\t1\\n'\nkill -SEGV $$\n", kAnyError},
        {"abort", "#!/bin/sh\nkill -ABRT $$\n", kAnyError},
        {"hang", "#!/bin/sh\nexec sleep 60\n", kAnyError},
        {"flood", "#!/bin/sh\nexec head -c 100000000 /dev/zero\n", kAnyError},
        {"nonsense", "#!/bin/sh\necho 'hello world'\necho E\n", kAnyError},
        {"no end", "#!/bin/sh\nprintf 'C\\t12\\t0\\t1\\n'\n", kAnyError},
        {"bad row", "#!/bin/sh\nprintf 'C\\t99999999999999999999\\t0\\t1\\nE\\n'\n", kAnyError},
        {"bad column", "#!/bin/sh\nprintf 'C\\t12\\t16\\t1\\nE\\n'\n", kAnyError},
        {"bad escape", "#!/bin/sh\nprintf 'C\\t12\\t0\\t\\\\x\\nE\\n'\n", kAnyError},
        {"after end", "#!/bin/sh\nprintf 'E\\nC\\t12\\t0\\t1\\n'\n", kAnyError},
        {"failed", "#!/bin/sh\nexit 4\n", kAnyError},
        {"cannot open", "#!/bin/sh\nexit 3\n", kCannotOpen},
    };
    for (const Case& c : cases) {
        Rig r;
        const QString xls = r.Write("w.xls", QByteArray(512, '\0'));
        r.files.xlsReader = r.Write("reader.sh", c.script, true);
        r.files.xlsTimeoutMs = 1500;
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(r.files.ImportExcel(xls)) << c.name;
        EXPECT_LT(t.elapsed(), 20000) << c.name;
        EXPECT_EQ(r.Last(), c.message + xls) << c.name;
        // Nothing was cleared.
        EXPECT_EQ(GetMaxItem(r.table), 3) << c.name;
        EXPECT_EQ(r.table.Cell(3, 0), "2") << c.name;
    }
    // A reader that is not there.
    Rig r;
    r.files.xlsReader = r.Path("no-such-reader");
    EXPECT_FALSE(r.files.ImportExcel(r.Write("w.xls", QByteArray(512, '\0'))));
    EXPECT_EQ(r.Last(), kAnyError + r.Path("w.xls"));
}

TEST(XlsReaderProcess, WellFormedOutputFillsTheTable)
{
    Rig r;
    const QString xls = r.Write("w.xls", QByteArray(512, '\0'));
    r.files.xlsReader =
        r.Write("reader.sh",
                "#!/bin/sh\n"
                "printf 'C\\t4\\t0\\tMonitor, Version: V01.50.12.09\\n'\n"
                "printf 'N\\t12\\t0\\t0\\nN\\t12\\t3\\t7.0000000000000000\\nC\\t12\\t11\\ta\\\\\\\\b\\n'\n"
                "printf 'E\\n'\n",
                true);
    ASSERT_TRUE(r.files.ImportExcel(xls)) << r.Last().toStdString();
    EXPECT_EQ(r.files.LastFileVersion(), 0); // this version's own layout
    EXPECT_EQ(GetMaxItem(r.table), 1);
    EXPECT_EQ(r.table.Cell(1, 3), "7");
    EXPECT_EQ(r.table.Cell(1, 11), "a\\b");
}

TEST(XlsxImport, TextNestedInDeepRunsIsReadWithoutRecursion)
{
    // 200,000 runs inside each other around one cell text.
    Rig r;
    const QByteArray pkg = ZipPackage(
        {{"xl/worksheets/sheet1.xml",
          SheetXml("<row r=\"12\"><c r=\"A12\"><v>5</v></c><c r=\"L12\" t=\"s\"><v>0</v></c></row>")},
         {"xl/sharedStrings.xml", SharedStringsXml(NestedRuns(200000, "deep"))}});
    ASSERT_FALSE(pkg.isEmpty());
    ASSERT_TRUE(r.files.ImportXlsxData(pkg, r.Path("deep.xlsx"))) << r.Last().toStdString();
    EXPECT_EQ(r.table.Cell(1, 0), "5");
    EXPECT_EQ(r.table.Cell(1, 11), "deep");
}

TEST(XlsxImport, ReferencesIndicesAndNumbersOutOfBoundsAreNotTaken)
{
    Rig r;
    const QByteArray rows =
        "<row r=\"99999999999999999999999\"><c r=\"A1\"><v>1</v></c></row>" // row number out of bounds
        "<row r=\"12\">"
        "<c r=\"A99999999999999999999\"><v>1</v></c>" // cell row out of bounds
        "<c r=\"ZZZZ12\"><v>1</v></c>"                // four letters
        "<c r=\"A12\"><v>3</v></c>"
        "<c r=\"B12\" t=\"s\"><v>99999999999999999999999</v></c>" // shared index too big
        "<c r=\"C12\" t=\"s\"><v>-1</v></c>"
        "<c r=\"D12\"><v>" +
        QByteArray(5000, '9') +
        "</v></c>" // a number without end
        "<c r=\"E12\"><v>1e999</v></c>"
        "</row>";
    const QByteArray pkg = ZipPackage({{"xl/worksheets/sheet1.xml", SheetXml(rows)},
                                       {"xl/sharedStrings.xml", SharedStringsXml("<si><t>only</t></si>")}});
    ASSERT_TRUE(r.files.ImportXlsxData(pkg, r.Path("b.xlsx"))) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), "Excel-Import: Daten nicht fehlerfrei gelesen!");
    EXPECT_EQ(GetMaxItem(r.table), 1);
    EXPECT_EQ(r.table.Cell(1, 0), "3");
    EXPECT_EQ(r.table.Cell(1, 1), "");
    EXPECT_EQ(r.table.Cell(1, 2), "");
    EXPECT_EQ(r.table.Cell(1, 3), QString(5000, QLatin1Char('9'))); // kept as text: a failed cell
    EXPECT_EQ(r.table.Cell(1, 4), "inf");
}

TEST(HostileFiles, NotARegularFileIsRefusedAtOnce)
{
    Rig r;
    const QString fifo = r.Path("fifo.txt");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString fifoX = r.Path("fifo.xlsx");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifoX).constData(), 0600), 0);
    const QString fifoL = r.Path("fifo.xls");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifoL).constData(), 0600), 0);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(r.files.ImportText(fifo));
    EXPECT_EQ(r.Last(), "Text-Import: Kann Datei nicht öffnen " + fifo);
    EXPECT_FALSE(r.files.ImportText(QStringLiteral("/dev/zero")));
    EXPECT_EQ(r.Last(), "Text-Import: Kann Datei nicht öffnen /dev/zero");
    EXPECT_FALSE(r.files.ImportExcel(fifoX));
    EXPECT_EQ(r.Last(), kCannotOpen + fifoX);
    EXPECT_FALSE(r.files.ImportExcel(fifoL));
    EXPECT_EQ(r.Last(), kCannotOpen + fifoL);
    EXPECT_FALSE(r.files.ImportExcel(r.dir.path()));
    EXPECT_EQ(r.Last(), kCannotOpen + r.dir.path());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(GetMaxItem(r.table), 3);
}

TEST(HostileFiles, TextAboveTheCapIsRefusedAndBelowItIsReadLineByLine)
{
    Rig r;
    const QString big = r.Path("big.txt");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray mb(1 << 20, '\n');
        for (int i = 0; i < 65; ++i)
            f.write(mb);
    }
    EXPECT_FALSE(r.files.ImportText(big));
    EXPECT_EQ(r.Last(), "Text-Import: Kann Datei nicht öffnen " + big);
    EXPECT_EQ(GetMaxItem(r.table), 3);
    // Just under the cap: the rows stop at the table's end, what follows is not kept.
    ASSERT_TRUE(QFile::resize(big, (qint64(64) << 20) - 1));
    ASSERT_TRUE(r.files.ImportText(big)) << r.Last().toStdString();
    EXPECT_EQ(GetMaxItem(r.table), 0);
    EXPECT_EQ(r.Last(), "Text-Import: alles okay");
}

TEST(HostileFiles, OldLayoutBubbleAverageOfAnySizeIsAFailedCell)
{
    // The old 0..80 scale is converted by * 256 / 80: a huge value once overflowed an int.
    Rig r;
    QByteArray text = "PROTOKOLL\r\n=\r\nx\r\ny\r\nMonitor, Version: V1.10\r\n\r\n\r\n\r\n\r\ntitles\r\n";
    text += "0\t900\t500\t400\t190\t200\t2\t\t5\t2147483647\t00\t01\t\r\n";
    text += "1\t900\t500\t400\t190\t200\t2\t\t5\t-2147483648\t00\t01\t\r\n";
    text += "2\t900\t500\t400\t190\t200\t2\t\t5\t40\t00\t01\t\r\n";
    const QString file = r.Write("old.txt", text);
    ASSERT_TRUE(r.files.ImportText(file));
    EXPECT_EQ(r.files.LastFileVersion(), 110);
    EXPECT_EQ(r.Last(), "Text-Import: Daten nicht fehlerfrei gelesen!");
    EXPECT_EQ(r.table.Cell(1, 10), "6871947670");
    EXPECT_EQ(r.table.Cell(2, 10), "-6871947673");
    EXPECT_EQ(r.table.Cell(3, 10), "128");
    EXPECT_EQ(r.store.at(2).BAvg, 128);
}
