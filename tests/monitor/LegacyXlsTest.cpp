// Import of a legacy .xls workbook. The file is built here byte by byte (a compound document
// holding a BIFF8 "Workbook" stream), so the test needs no spreadsheet program.
#include "MeasFileEvents.h"
#include "RecordingHost.h"
#include "app/Session.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"

#include "XlsBuilder.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include <cstring>

using namespace vmx;
using namespace vmx::monitor;

using namespace xlsbuild;

TEST(LegacyXls, OldLayoutRowsFromSheetRow12)
{
    QList<Cell> cells;
    cells << Cell{0, 0, true, 0, "PROTOKOLL"} << Cell{3, 0, true, 0, "Monitor, Version: V1.10"};
    // Old layout: Ix, Zero, ADC, Lin, Ampl, AMax, Gain, -, OUT, BAvg (0..80), Alarm, Flags.
    const int rows = 300;
    for (int i = 0; i < rows; ++i) {
        const int r = 11 + i;
        const double v[12] = {double(i), 900, 500, 400, 190, 200, 2, 0, double(i % 250), 40, 0, 1};
        for (int c = 0; c < 12; ++c) {
            if (c == 7) continue;
            if (c >= 10)
                cells << Cell{r, c, true, 0, c == 10 ? "00" : "01"};
            else
                cells << Cell{r, c, false, v[c], {}};
        }
    }
    const QByteArray stream = WorkbookStream(cells, 11 + rows);
    ASSERT_GE(stream.size(), 4096);
    QTemporaryDir dir;
    const QString file = dir.filePath("old.xls");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(CompoundFile(stream));
    }
    app::VirtualClock clock;
    test::RecordingHost host(&clock);
    app::Session session(host, clock, QString());
    MeasurementStore store;
    MeasTableModel table;
    test::MeasFileEvents events(store, table);
    MeasFiles files(session, store, table, events);
    ASSERT_TRUE(files.ImportExcel(file)) << host.panel1Log.join('\n').toStdString();
    EXPECT_EQ(host.panel1Log.last(), "Excel-Import: alles okay");
    EXPECT_EQ(files.LastFileVersion(), 110);
    ASSERT_EQ(GetMaxItem(table), rows);
    EXPECT_EQ(table.Row(1), (QStringList{"0", "", "", "0", "900", "500", "400", "190", "200", "2", "128",
                                         "00", "01", "", "", ""}));
    EXPECT_EQ(table.Cell(300, 0), "299");
    EXPECT_EQ(store.at(299).OUT, 49);
    EXPECT_EQ(store.at(299).BAvg, 128);
    EXPECT_EQ(store.index(), 299);
}

TEST(LegacyXls, DamagedWorkbooksFailAsTheImportNeverAsTheProgram)
{
    // FreeXL runs in the reader process: whatever a damaged file does to it, the import ends
    // with a result and a message of its own.
    const QByteArray good = SampleWorkbook(300);
    QTemporaryDir dir;
    const QString file = dir.filePath("m.xls");
    app::VirtualClock clock;
    test::RecordingHost host(&clock);
    app::Session session(host, clock, QString());
    MeasurementStore store;
    MeasTableModel table;
    test::MeasFileEvents events(store, table);
    MeasFiles files(session, store, table, events);
    const QString okay = QStringLiteral("Excel-Import: alles okay");
    const QString withFailures = QStringLiteral("Excel-Import: Daten nicht fehlerfrei gelesen!");
    const QString cannotOpen = QStringLiteral("Excel-Import: Kann Datei nicht öffnen ") + file;
    const QString anyError = QStringLiteral("Excel-Import: Irgendein Fehler aufgetreten ") + file;
    QRandomGenerator rng(20261209);
    int imported = 0, refused = 0, readerDied = 0;
    for (int round = 0; round < 100; ++round) {
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(Mutated(good, rng));
        }
        // How the reader itself fares with this file.
        QProcess reader;
        reader.start(testpaths::Bin(QStringLiteral("vmx-xls-read")), {file});
        ASSERT_TRUE(reader.waitForStarted());
        reader.waitForFinished(30000);
        const int code = reader.exitCode();
        const bool died =
            reader.exitStatus() != QProcess::NormalExit || !(code == 0 || code == 3 || code == 4);

        const bool ok = files.ImportExcel(file);
        const QString last = host.panel1Log.last();
        if (ok) {
            ++imported;
            EXPECT_TRUE(last == okay || last == withFailures) << round << " " << last.toStdString();
            EXPECT_FALSE(died) << round;
        } else {
            ++refused;
            EXPECT_TRUE(last == cannotOpen || last == anyError) << round << " " << last.toStdString();
            if (died) {
                ++readerDied;
                EXPECT_EQ(last, anyError) << round;
            }
        }
    }
    EXPECT_EQ(imported + refused, 100);
    std::printf("damaged workbooks: %d imported, %d refused, reader died on %d\n", imported, refused,
                readerDied);
}
