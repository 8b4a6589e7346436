// Text and workbook export and import of the measurement table, and the store rebuilt from it.
#include "monitor/MeasFiles.h"
#include "MeasFileEvents.h"
#include "PythonScript.h"
#include "RecordingHost.h"
#include "app/Session.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasCells.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

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
        events.now = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
};

MeasSample Sample(int index, QRandomGenerator& rng)
{
    MeasSample s = EmptySample();
    s.Index = index;
    s.Valid = 1;
    s.Time = ToSampleTime(QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(index * 37 + rng.bounded(30)));
    s.OUT = quint8(rng.bounded(256));
    s.Zero = quint16(rng.bounded(1024));
    s.ADC = quint16(rng.bounded(1024));
    s.Lin = quint16(rng.bounded(65536));
    s.Ampl = quint8(rng.bounded(256));
    s.AMax = quint8(rng.bounded(256));
    s.Gain = quint8(rng.bounded(256));
    s.BAvg = quint8(rng.bounded(256));
    s.Alarm = quint8(rng.bounded(256));
    s.Flags = quint8(rng.bounded(256));
    s.Error = quint8(rng.bounded(256));
    s.Test = quint16(rng.bounded(65536));
    s.Version = quint8(rng.bounded(256));
    return s;
}

void Fill(Rig& r, int n, quint32 seed = 7)
{
    QRandomGenerator rng(seed);
    for (int i = 0; i < n; ++i) {
        const MeasSample s = Sample(i, rng);
        r.table.SetSampleRow(i + 1, s);
        r.store.at(i) = s;
    }
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A text file as the older monitors wrote it: nine header lines, the title row, the rows.
QByteArray OldTextFile(const QString& version, const QList<QStringList>& rows)
{
    QByteArray out = "PROTOKOLL\r\n=========\r\nDateiname: x\r\naufgezeichnet am\r\n";
    out += "Monitor, Version: " + version.toLatin1() + "\r\n\r\nSensor: QVR\r\nFirmware: 110\r\n\r\n";
    out += "Ix\tZero\tADC\tLin\tAmpl\tAMax\tGain\t-\tOUT\tBAvg\tAlarm\tFlags\t\t\t\t\t\r\n";
    for (const QStringList& r : rows)
        out += r.join('\t').toLatin1() + "\t\r\n";
    return out;
}

} // namespace

TEST(MeasCells, FormattedCellsMatchTheTableText)
{
    MeasTableModel table;
    QRandomGenerator rng(3);
    for (int i = 1; i <= 300; ++i) {
        MeasSample s = Sample(i * 101, rng);
        if (i == 1) s.Time = 0;              // 30.12.1899 00:00:00
        if (i == 2) s.Time = 46000.99999999; // rounds into the last millisecond of the day
        if (i == 3) s.Time = -5.25;          // before the epoch: the table's own formatting
        table.SetSampleRow(i, s, i % 7 == 0);
    }
    table.SetTextRow(301, {"1", "ä", "", "x"});
    RowCells rc;
    for (int row = 0; row <= 301; ++row) {
        GetRowCells(table, row, CellEncoding::Utf8, rc);
        for (int c = 0; c < 16; ++c)
            ASSERT_EQ(QString::fromUtf8(rc.cell[size_t(c)].data(), qsizetype(rc.cell[size_t(c)].size())),
                      table.Cell(row, c))
                << row << "/" << c;
    }
    GetRowCells(table, 301, CellEncoding::Windows1252, rc);
    EXPECT_EQ(rc.cell[1], "\xE4");
}

TEST(MeasFilesText, HeaderTitleRowAndPaddedCells)
{
    Rig r;
    Fill(r, 3);
    // A 20-character Date is cut to 12; an OUT cell of any length goes out unchanged.
    QStringList long3 = r.table.Row(3);
    long3[1] = QStringLiteral("12345678901234567890");
    long3[3] = QStringLiteral("  1234567890123456");
    r.table.SetTextRow(3, long3);
    const QString file = r.Path("m.txt");
    ASSERT_TRUE(r.files.ExportText(file));
    EXPECT_EQ(r.host.panel1Log.first(), "Text-Export: Schreibe in Datei " + file);
    EXPECT_EQ(r.Last(), "Text-Export: alles okay");

    const QByteArray bytes = ReadAll(file);
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    ASSERT_EQ(lines.size(), 9 + 4);
    for (QByteArray& l : lines) {
        ASSERT_TRUE(l.endsWith('\r'));
        l.chop(1);
    }
    EXPECT_EQ(lines[0], "PROTOKOLL");
    EXPECT_EQ(lines[1], "=========");
    EXPECT_EQ(lines[2], "Dateiname: " + file.toUtf8());
    EXPECT_TRUE(lines[3].startsWith("aufgezeichnet am: ")) << lines[3].constData();
    EXPECT_TRUE(lines[3].contains(" / Zeit: "));
    EXPECT_EQ(lines[4], "Monitor, Version: V01.50.12.09");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "Sensor: " + r.session.sensor.Model.toUtf8());
    EXPECT_EQ(lines[7], "Firmware: " + QByteArray::number(r.session.sensor.Firmware));
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9], "Ix\tDate        \tTime        \tOUT\tZero\tADC\tLin\tAmpl\tAMax\tGain\tBAvg\t"
                        "Alarm       \tFlags       \tError\tTest\tVersion\t");
    for (int i = 10; i < 13; ++i) {
        EXPECT_TRUE(lines[i].endsWith('\t'));
        EXPECT_EQ(lines[i].count('\t'), 16);
    }
    const QList<QByteArray> row1 = lines[10].split('\t');
    EXPECT_EQ(row1[0], "0");
    EXPECT_EQ(row1[1], r.table.Cell(1, 1).toUtf8() + "  ");
    EXPECT_EQ(row1[11], r.table.Cell(1, 11).toUtf8() + "          ");
    EXPECT_EQ(row1[14], r.table.Cell(1, 14).toUtf8()); // unpadded
    const QList<QByteArray> row3 = lines[12].split('\t');
    EXPECT_EQ(row3[1], "123456789012");
    EXPECT_EQ(row3[3], "  1234567890123456");
}

TEST(MeasFilesText, EmptyTableWritesHeaderAndTitleRow)
{
    Rig r;
    ASSERT_TRUE(r.files.ExportText(r.Path("e.txt")));
    EXPECT_EQ(ReadAll(r.Path("e.txt")).count("\r\n"), 10);
}

TEST(MeasFilesText, FileVersionOfOwnAndOlderFiles)
{
    EXPECT_EQ(FileVersion("Monitor, Version: V01.50.12.09"), 0);
    EXPECT_EQ(FileVersion("Monitor, Version: V1.10"), 110);
    EXPECT_EQ(FileVersion("Monitor, Version: V1.00"), 100);
    EXPECT_EQ(FileVersion("Monitor, Version: V1.21"), 121);
    EXPECT_EQ(FileVersion(""), 0);
    EXPECT_EQ(FileVersion("Monitor, Version: V1.2x"), 0);
    EXPECT_TRUE(IsOldLayout(111));
    EXPECT_FALSE(IsOldLayout(0));
    EXPECT_FALSE(IsOldLayout(130));

    Rig r;
    Fill(r, 2);
    ASSERT_TRUE(r.files.ExportText(r.Path("own.txt")));
    ASSERT_TRUE(r.files.ImportText(r.Path("own.txt")));
    EXPECT_EQ(r.files.LastFileVersion(), 0);
    EXPECT_EQ(r.table.Cell(1, 4), r.table.Cell(1, 4).trimmed()); // order kept: Zero stays in column 4
    EXPECT_FALSE(r.table.Cell(1, 1).isEmpty());

    WriteAll(r.Path("old.txt"), OldTextFile("V1.10", {{"0", "900", "500", "400", "190", "200", "2", "", "35",
                                                       "40", "00", "01"}}));
    ASSERT_TRUE(r.files.ImportText(r.Path("old.txt")));
    EXPECT_EQ(r.files.LastFileVersion(), 110);
}

TEST(MeasFilesText, OldLayoutIsRearranged)
{
    Rig r;
    WriteAll(
        r.Path("old.txt"),
        OldTextFile("V1.10", {{"0", "900", "500", "400", "190", "200", "2", "7", "35", "40", "0A", "01"},
                              {"1", "901", "501", "400", "191", "201", "3", "7", "241", "80", "0B", "02"}}));
    ASSERT_TRUE(r.files.ImportText(r.Path("old.txt")));
    EXPECT_EQ(r.table.Row(1), (QStringList{"0", "", "", "35", "900", "500", "400", "190", "200", "2", "128",
                                           "0A", "01", "", "", ""}));
    EXPECT_EQ(r.table.Cell(2, 3), "241");
    EXPECT_EQ(r.table.Cell(2, 10), "256"); // 80 on the old scale
    EXPECT_EQ(r.store.at(0).OUT, 35);
    EXPECT_EQ(r.store.at(0).BAvg, 128);
    EXPECT_EQ(r.store.at(0).Ampl, 190);
    EXPECT_EQ(r.store.at(0).AMax, 200);
    EXPECT_EQ(r.store.at(0).Gain, 2);
    EXPECT_EQ(r.store.at(1).OUT, 241);
    // 256 does not fit the 8-bit BAvg: an import with failures rather than a wrapped value.
    EXPECT_EQ(r.store.at(1).BAvg, 0);
    EXPECT_TRUE(r.files.ImportError());
    EXPECT_EQ(r.Last(), "Text-Import: Daten nicht fehlerfrei gelesen!");
    EXPECT_EQ(r.store.index(), 1);
}

TEST(MeasFilesText, LinesWithoutTabsAndTextAfterTheLastTab)
{
    Rig r;
    Fill(r, 5); // the import clears what was there
    QByteArray file = OldTextFile("V01.50.12.09", {});
    file += "5\t\t\t 7\t\t\t\t9\t10\t11\t12\t\t\t\t\t\tdropped\r\n";
    file += "no tab in this line\r\n";
    file += "7\t\t\t 8\t\r\n";
    file += "8\t\t\t 9\ttrailing";
    WriteAll(r.Path("t.txt"), file);
    ASSERT_TRUE(r.files.ImportText(r.Path("t.txt")));
    EXPECT_FALSE(r.files.ImportError());
    EXPECT_EQ(r.table.Cell(1, 0), "5");
    EXPECT_EQ(r.table.Cell(1, 15), "");
    EXPECT_EQ(r.table.Row(2), QStringList(16));
    EXPECT_EQ(r.table.Cell(3, 0), "7");
    EXPECT_EQ(r.table.Cell(3, 3), " 8");
    EXPECT_EQ(r.table.Cell(4, 0), "8");
    EXPECT_EQ(r.table.Cell(4, 3), " 9");
    EXPECT_EQ(r.table.Cell(4, 4), "");
    EXPECT_EQ(r.table.Cell(5, 0), "");
    EXPECT_EQ(GetMaxItem(r.table), 4);
    EXPECT_EQ(r.store.at(0).Valid, 1);
    EXPECT_EQ(+r.store.at(0).Index, 5);
    EXPECT_EQ(r.store.at(0).OUT, 7);
    EXPECT_EQ(r.store.at(0).BAvg, 12);
    EXPECT_EQ(r.store.at(1).Valid, 0); // the line without a tab stored nothing
    EXPECT_EQ(r.store.at(2).OUT, 8);
    EXPECT_EQ(r.store.at(2).Ampl, 0); // column 7 empty: only Ix and OUT
    EXPECT_EQ(r.store.at(4).Valid, 0);
    EXPECT_EQ(r.store.index(), 3);
}

TEST(MeasFilesText, NonNumericCellsSetTheErrorFlagUntilTheNextImport)
{
    Rig r;
    WriteAll(r.Path("bad.txt"), OldTextFile("V01.50.12.09", {{"1", "", "", "x5"}, {"2", "", "", "6"}}));
    ASSERT_TRUE(r.files.ImportText(r.Path("bad.txt")));
    EXPECT_TRUE(r.files.ImportError());
    EXPECT_EQ(r.store.at(0).OUT, 0);
    EXPECT_EQ(r.store.at(1).OUT, 6); // later cells still convert
    EXPECT_EQ(r.Last(), "Text-Import: Daten nicht fehlerfrei gelesen!");
    WriteAll(r.Path("good.txt"), OldTextFile("V01.50.12.09", {{"1", "", "", "5"}}));
    ASSERT_TRUE(r.files.ImportText(r.Path("good.txt")));
    EXPECT_FALSE(r.files.ImportError());
}

TEST(MeasFilesText, MissingFileLeavesTheTable)
{
    Rig r;
    Fill(r, 3);
    EXPECT_FALSE(r.files.ImportText(r.Path("none.txt")));
    EXPECT_EQ(r.Last(), "Text-Import: Kann Datei nicht finden " + r.Path("none.txt"));
    EXPECT_EQ(GetMaxItem(r.table), 3);
    EXPECT_FALSE(r.files.ImportExcel(r.Path("none.xlsx")));
    EXPECT_EQ(r.Last(), "Excel-Import: Kann Datei nicht finden " + r.Path("none.xlsx"));
    // Not a workbook at all: cannot be opened, nothing cleared.
    WriteAll(r.Path("junk.xlsx"), "this is not a zip file");
    EXPECT_FALSE(r.files.ImportExcel(r.Path("junk.xlsx")));
    EXPECT_EQ(r.Last(), "Excel-Import: Kann Datei nicht öffnen " + r.Path("junk.xlsx"));
    WriteAll(r.Path("junk.xls"), QByteArray(4096, 'x'));
    EXPECT_FALSE(r.files.ImportExcel(r.Path("junk.xls")));
    EXPECT_EQ(r.Last(), "Excel-Import: Kann Datei nicht öffnen " + r.Path("junk.xls"));
    EXPECT_EQ(GetMaxItem(r.table), 3);
    EXPECT_EQ(r.store.at(2).Valid, 1);
}

TEST(MeasFilesSave, WriteProtectedTargetStopsBeforeAnythingIsWritten)
{
    for (const char* name : {"p.txt", "p.xlsx"}) {
        Rig r;
        Fill(r, 3);
        const QString file = r.Path(name);
        WriteAll(file, "old contents");
        ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const bool text = QString::fromLatin1(name).endsWith(".txt");
        EXPECT_FALSE(text ? r.files.ExportText(file) : r.files.ExportExcel(file));
        EXPECT_EQ(r.Last(),
                  text ? "Text-Export: Datei schreibgeschützt " + file
                       : QStringLiteral("Excel-Export: Datei schreibgeschützt ") + QString::fromLatin1(name));
        EXPECT_EQ(ReadAll(file), "old contents");
        // Nothing else appeared beside it.
        EXPECT_EQ(QDir(r.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

TEST(MeasFilesSave, ExistingFileIsReplacedWholeAndKeepsItsPermissions)
{
    Rig r;
    Fill(r, 2);
    const QString file = r.Path("keep.txt");
    WriteAll(file, QByteArray(100000, 'z'));
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                QFile::WriteGroup));
    ASSERT_TRUE(r.files.ExportText(file));
    const QByteArray now = ReadAll(file);
    EXPECT_TRUE(now.startsWith("PROTOKOLL\r\n"));
    EXPECT_FALSE(now.contains("zzzz"));
    EXPECT_TRUE(QFileInfo(file).permissions() & QFile::WriteGroup);
    EXPECT_EQ(QDir(r.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A folder that is not there is told as such (291 with the missing folder), not as a
    // write-protected file; nothing is created.
    EXPECT_FALSE(r.files.ExportText(r.Path("no/such/folder/x.txt")));
    EXPECT_EQ(r.Last(), "Text-Export: Kann Datei nicht finden " + QDir::toNativeSeparators(r.Path("no")));
    EXPECT_FALSE(r.files.ExportExcel(r.Path("no/such/folder/x.xlsx")));
    EXPECT_EQ(r.Last(), "Excel-Export: Kann Datei nicht finden " + QDir::toNativeSeparators(r.Path("no")));
    EXPECT_FALSE(QFileInfo::exists(r.Path("no")));
}

// Exports follow the same save policy as every other file: a link is written through, not
// replaced by a file of its own.
TEST(MeasFilesSave, SymbolicLinkIsWrittenThrough)
{
    for (const char* name : {"l.txt", "l.xlsx"}) {
        Rig r;
        Fill(r, 3);
        ASSERT_TRUE(QDir(r.dir.path()).mkdir("real"));
        const QString real = r.dir.filePath(QStringLiteral("real/") + QString::fromLatin1(name));
        WriteAll(real, "old contents");
        const QString link = r.Path(name);
        ASSERT_TRUE(QFile::link(real, link));
        const bool text = QString::fromLatin1(name).endsWith(".txt");
        ASSERT_TRUE(text ? r.files.ExportText(link) : r.files.ExportExcel(link)) << r.Last().toStdString();
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        const QByteArray now = ReadAll(real);
        EXPECT_TRUE(text ? now.startsWith("PROTOKOLL\r\n") : now.startsWith("PK")) << name;
        EXPECT_EQ(QDir(r.dir.filePath("real")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

TEST(MeasFilesRoundTrip, FullStoreThroughTextAndWorkbookLosesNothing)
{
    for (const char* name : {"full.txt", "full.xlsx"}) {
        Rig src;
        Fill(src, 32000, 11);
        const QString file = src.Path(name);
        const bool text = QString::fromLatin1(name).endsWith(".txt");
        ASSERT_TRUE(text ? src.files.ExportText(file) : src.files.ExportExcel(file));

        Rig dst;
        ASSERT_TRUE(text ? dst.files.ImportText(file) : dst.files.ImportExcel(file))
            << dst.Last().toStdString();
        EXPECT_FALSE(dst.files.ImportError()) << name;
        EXPECT_EQ(dst.files.LastFileVersion(), 0);
        ASSERT_EQ(GetMaxItem(dst.table), 32000) << name;
        EXPECT_EQ(dst.store.index(), 31999);
        auto trimmed = [](QStringList l) {
            for (QString& s : l)
                s = s.trimmed();
            return l.join('|').toStdString();
        };
        for (int row = 1; row <= 32000; ++row) {
            ASSERT_EQ(trimmed(dst.table.Row(row)), trimmed(src.table.Row(row))) << name << " row " << row;
            const MeasSample& a = src.store.at(row - 1);
            const MeasSample& b = dst.store.at(row - 1);
            ASSERT_EQ(b.Valid, 1);
            ASSERT_EQ(+b.Index, +a.Index);
            ASSERT_EQ(b.OUT, a.OUT);
            ASSERT_EQ(b.Ampl, a.Ampl);
            ASSERT_EQ(b.AMax, a.AMax);
            ASSERT_EQ(b.Gain, a.Gain);
            ASSERT_EQ(b.BAvg, a.BAvg);
        }
    }
}

TEST(MeasFilesRoundTrip, LastStoreSlotIsExportedToo)
{
    Rig src;
    Fill(src, MeasurementStore::kSlots);
    ASSERT_TRUE(src.files.ExportText(src.Path("all.txt")));
    Rig dst;
    ASSERT_TRUE(dst.files.ImportText(src.Path("all.txt")));
    EXPECT_EQ(GetMaxItem(dst.table), 32001);
    EXPECT_EQ(+dst.store.at(32000).Index, 32000);
    EXPECT_EQ(dst.store.index(), 32000);
}

TEST(MeasFilesWorkbook, ReadByAnIndependentReader)
{
    Rig r;
    Fill(r, 3);
    const QString file = r.Path("w.xlsx");
    ASSERT_TRUE(r.files.ExportExcel(file));
    EXPECT_EQ(r.host.panel1Log.first(), "Excel-Export: " + file);
    EXPECT_EQ(r.Last(), "Excel-Export: alles okay");
    QStringList expected;
    for (int row = 1; row <= 3; ++row)
        expected << r.table.Row(row).join('\t');
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
assert wb.sheetnames == ['Data'], wb.sheetnames
ws = wb['Data']
def font(ref, size, rgb):
    f = ws[ref].font
    assert f.sz == size, (ref, f.sz)
    assert f.color is not None and f.color.rgb == rgb, (ref, f.color)
assert ws['A1'].value == 'PROTOKOLL'; font('A1', 20, 'FFFF0000')
assert ws['A2'].value == 'Dateiname: ' + sys.argv[1], ws['A2'].value
assert ws['A3'].value.startswith('aufgezeichnet am: '), ws['A3'].value
assert ws['A4'].value == 'Monitor, Version: V01.50.12.09'
assert ws['A5'].value is None
assert ws['A6'].value == 'Identifikation'; font('A6', 14, 'FF0000FF')
assert ws['A7'].value.startswith('Sensor: ')
assert ws['A8'].value.startswith('Firmware: ')
assert ws['A10'].value == 'Messwerte'; font('A10', 14, 'FF0000FF')
titles = ['Ix','Date','Time','OUT','Zero','ADC','Lin','Ampl','AMax','Gain','BAvg','Alarm','Flags','Error','Test','Version']
for c, t in enumerate(titles, 1):
    cell = ws.cell(row=11, column=c)
    assert cell.value == t, (c, cell.value)
    assert cell.font.sz == 14 and cell.font.color.rgb == 'FF800080', c
for c in range(1, 17):
    letter = openpyxl.utils.get_column_letter(c)
    assert 15 <= ws.column_dimensions[letter].width < 16, (letter, ws.column_dimensions[letter].width)
for i, line in enumerate(sys.argv[2:]):
    want = line.split('\t')
    for c in range(16):
        cell = ws.cell(row=12 + i, column=c + 1)
        if c == 0 or 3 <= c <= 10:
            assert isinstance(cell.value, (int, float)) and cell.value == int(want[c]), (i, c, cell.value)
            assert cell.number_format == '0', cell.number_format
        else:
            assert cell.value == want[c], (i, c, cell.value, want[c])
            assert cell.number_format == '@', cell.number_format
assert ws.cell(row=15, column=1).value is None
print('workbook ok')
)PY");
    QString out;
    EXPECT_EQ(vmx::test::RunPython(script, QStringList{file} + expected, out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("workbook ok")) << out.toStdString();
}

TEST(MeasFilesWorkbook, ImportsAnOldLayoutWorkbookWrittenElsewhere)
{
    // Written by openpyxl: shared strings, numbers without the number format, a gap row.
    Rig r;
    const QString file = r.Path("old.xlsx");
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Sheet1'
ws['A1'] = 'PROTOKOLL'
ws['A4'] = 'Monitor, Version: V1.10'
ws.append([])
rows = [[0, 900, 500, 400, 190, 200, 2, None, 35, 40, '00', '01'],
        [1, 901, 501, 400, 191, 201, 3, None, 30, 20.0, '00', '02']]
for i, row in enumerate(rows):
    for c, v in enumerate(row, 1):
        if v is not None:
            ws.cell(row=12 + i, column=c, value=v)
ws.cell(row=15, column=1, value=3)
ws.cell(row=15, column=9, value=7)
ws.cell(row=15, column=10, value='x')
wb.save(sys.argv[1])
)PY");
    QString out;
    ASSERT_EQ(vmx::test::RunPython(script, {file}, out), 0) << out.toStdString();
    ASSERT_TRUE(r.files.ImportExcel(file)) << r.Last().toStdString();
    EXPECT_EQ(r.files.LastFileVersion(), 110);
    EXPECT_EQ(r.table.Row(1), (QStringList{"0", "", "", "35", "900", "500", "400", "190", "200", "2", "128",
                                           "00", "01", "", "", ""}));
    EXPECT_EQ(r.table.Cell(2, 10), "64");
    EXPECT_EQ(r.table.Row(3), QStringList(16));
    EXPECT_EQ(r.table.Cell(4, 3), "7");
    EXPECT_EQ(r.store.at(1).OUT, 30);
    EXPECT_EQ(r.store.at(3).OUT, 7);
    EXPECT_EQ(r.store.at(2).Valid, 0);
    EXPECT_TRUE(r.files.ImportError()); // the "x" in the old BAvg column
    EXPECT_EQ(r.store.index(), 3);
}

TEST(MeasFilesWorkbook, GarbledSheetIsReportedAndTheTableKept)
{
    Rig r;
    Fill(r, 4);
    const QString file = r.Path("garbled.xlsx");
    const QString script = QStringLiteral(R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('xl/worksheets/sheet1.xml', '<worksheet><sheetData><row r="12"><c r="A12"><v>1</v></c>')
)PY");
    QString out;
    ASSERT_EQ(vmx::test::RunPython(script, {file}, out), 0) << out.toStdString();
    EXPECT_FALSE(r.files.ImportExcel(file));
    EXPECT_EQ(r.Last(), "Excel-Import: Irgendein Fehler aufgetreten " + file);
    EXPECT_EQ(GetMaxItem(r.table), 4); // read before anything was cleared
    EXPECT_EQ(r.store.at(3).Valid, 1);
}
