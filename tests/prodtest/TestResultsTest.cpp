// The results of a production-test unit: the list of measured values, the verdict, the grid row
// with its column rules, the temporary record file byte for byte, and the report workbook as an
// independent reader (openpyxl) sees it.
#include "PythonScript.h"
#include "RecordingHost.h"

#include "app/Clock.h"
#include "app/SafeSave.h"
#include "app/Session.h"
#include "prodtest/TestDefinitions.h"
#include "prodtest/TestResults.h"
#include "testmodule/ModuleRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace vmx;
using prodtest::OperatorPanel;

namespace {

struct Panel : OperatorPanel {
    std::map<Entry, QString> text;
    QStringList list;
    QString reportName, recordName;
    int reportAsked = 0;
    QString EntryText(Entry e) override { return text[e]; }
    void SetEntryText(Entry e, const QString& t) override { text[e] = t; }
    void ShowResultList(const QStringList& l) override { list = l; }
    // The operator takes the proposed name (the report's next page) or types reportName.
    bool AskReportFile(QString& name) override
    {
        ++reportAsked;
        if (reportName.isEmpty()) return false;
        if (name.isEmpty()) name = reportName;
        return true;
    }
    bool AskRecordFile(QString& name) override
    {
        if (!recordName.isEmpty()) name = recordName;
        return !name.isEmpty();
    }
};

struct Rig {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    QDateTime stamp{QDate(2026, 12, 10), QTime(9, 30, 5)};
    // Without a station: nothing to save or clear elsewhere, no acquisition to stop, and a
    // clock the test sets.
    struct Hooks final : prodtest::TestDefinitions::Hooks, prodtest::TestResults::Hooks {
        QDateTime& stamp;
        explicit Hooks(QDateTime& s) : stamp(s) {}
        void SaveResults() override {}
        void ClearResults() override {}
        void ShowStep0() override {}
        void StopAcquisition() override {}
        QDateTime Now() override { return stamp; }
    } hooks{stamp};
    prodtest::TestDefinitions defs{session, hooks};
    testmodule::ModuleRecord record;
    prodtest::TestResults results{session, defs, record, hooks};
    Panel panel;

    Rig()
    {
        results.panel = &panel;
        defs.cond.SensorType = QStringLiteral("QVR05");
        defs.items.SerialNo.Low = 1000;
        defs.items.SerialNo.High = 1999;
        results.ResetMV();
    }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
    QString LastComment() const { return host.comments.empty() ? QString() : host.comments.back().second; }
    // A good unit: serial number, an amplitude and the programming of the PIC.
    void GoodUnit(int sn, int ampl)
    {
        results.ResetMV();
        defs.items.SerialNo.Result = 1;
        defs.items.SerialNo.Measured = sn;
        defs.items.SerialNo.MeasuredText = QString::asprintf("%4.4d", sn);
        defs.items.Ampl[1].Result = ampl >= 50 ? 1 : 0;
        defs.items.Ampl[1].Measured = ampl;
    }
    void Write(const QString& comment)
    {
        panel.text[OperatorPanel::Entry::Comment] = comment;
        results.SubmitResult();
        results.WriteResult();
    }
};

QString Cell(const QString& text, int width)
{
    return text.rightJustified(width, QLatin1Char(' '));
}

} // namespace

TEST(TestResults, ResultListShowsTestedOutcomesInOrderWithTheirValues)
{
    Rig r;
    prodtest::MeasItems& it = r.defs.items;
    it.SerialNo.Result = 1, it.SerialNo.Measured = 15;
    it.ParFile[1].Result = 1, it.ParFile[1].MeasuredText = QStringLiteral("123"),
    it.ParFile[1].Measured = 0x2B;
    it.ParFile[2].Result = 0, it.ParFile[2].MeasuredText = QStringLiteral("124");
    r.record.picResult = 1, r.record.picOscCal = 0xC24, r.record.picConfig = 0xFEB;
    r.record.siLabResult = 0;
    r.defs.data.NoTubeResult = 0, r.defs.data.NoTubeValue = 11;
    it.Bubble[2].Result = 1, it.Bubble[2].Measured = 230;
    it.BootVersion[1].Result = 0, it.BootVersion[1].Measured = 120;
    r.defs.data.ResultComment = QStringLiteral("FEHLER Schlauch");
    r.results.ShowLMV();
    EXPECT_EQ(r.panel.list, (QStringList{"QVR05", "SN: 0015", "Programierung PIC: OSC=$C24 CFG=$FEB",
                                         "Programierung SiL: FEHLER", "Kontrolle Boot 1: FEHLER: Boot=120",
                                         "Progr. Parameter 1: 123 | CRC=$  2B",
                                         "Progr. Parameter 2: FEHLER: 124", "ohne Schlauch: FEHLER: 11",
                                         "Blasentest 2: 230", "Bewertung/ Kommentar: FEHLER Schlauch"}));
    // After a reset only the type is listed; the definition's limits stay.
    it.SerialNo.Low = 1000;
    r.results.ResetMV();
    r.results.ShowLMV();
    EXPECT_EQ(r.panel.list, QStringList{"QVR05"});
    EXPECT_EQ(it.SerialNo.Low, 1000);
    EXPECT_EQ(r.record.testHardware, -1);
}

TEST(TestResults, VerdictCountsEveryFailureButNothingUntested)
{
    Rig r;
    EXPECT_EQ(r.results.Verdict(), "okay");
    r.defs.items.Tester.Result = 0; // the entry alone: its step's halt is what counts
    EXPECT_EQ(r.results.Verdict(), "okay");
    r.defs.items.BootVersion[2].Result = 0; // a boot check the definition asked for
    EXPECT_EQ(r.results.Verdict(), "FEHLER");
    r.results.ResetMV();
    // A step that halted red counts; repeated, its last outcome counts.
    r.results.stepFailed[7] = true;
    EXPECT_EQ(r.results.Verdict(), "FEHLER");
    r.results.stepFailed[7] = false;
    EXPECT_EQ(r.results.Verdict(), "okay");
    r.results.stepFailed[3] = true;
    r.results.ResetMV();
    EXPECT_EQ(r.results.Verdict(), "okay");
    r.defs.items.Variant[2].Result = 0;
    EXPECT_EQ(r.results.Verdict(), "FEHLER");
    r.results.ResetMV();
    r.record.tk33ProgResult = 0;
    EXPECT_EQ(r.results.Verdict(), "FEHLER");
    r.record.tk33ProgResult = 1;
    r.defs.data.BridgeResult = 0;
    EXPECT_EQ(r.results.Verdict(), "FEHLER");

    // CommentResult proposes the verdict in the comment edit; SubmitResult takes what the
    // operator made of it.
    r.results.CommentResult();
    EXPECT_EQ(r.LastComment(), "Bewertung / Kommentar");
    EXPECT_EQ(r.panel.text[OperatorPanel::Entry::Comment], "FEHLER");
    r.panel.text[OperatorPanel::Entry::Comment] = "FEHLER Kabel";
    r.results.SubmitResult();
    EXPECT_EQ(r.defs.data.ResultComment, "FEHLER Kabel");
    EXPECT_EQ(r.LastComment(), "Eintrag in Tabelle ???");
}

TEST(TestResults, GridRowOfAUnitWhoseSerialNumberFailed)
{
    Rig r;
    r.defs.items.SerialNo.Result = 0;
    r.defs.items.SerialNo.MeasuredText = QStringLiteral("abc");
    r.Write(QStringLiteral("FEHLER"));
    const prodtest::ResultGrid& g = r.results.grid;
    QStringList heads, cells;
    for (int c = 0; c < prodtest::ResultGrid::kColumns; ++c) {
        if (!g.Cell(0, c).isEmpty()) heads << g.Cell(0, c);
        if (!g.Cell(1, c).isEmpty()) cells << g.Cell(1, c);
    }
    EXPECT_EQ(heads, (QStringList{"Pos", "Typ", "SN", "Bewertung", "Datum", "Zeit"}));
    EXPECT_EQ(cells, (QStringList{"1", "QVR05", "????", "FEHLER", "10.12.2026", "09:30:05"}));
    EXPECT_EQ(g.widths[0], 44);
    EXPECT_EQ(g.widths[1], 88);
    EXPECT_EQ(g.widths[2], 66);
    EXPECT_EQ(g.widths[3], 120);
    EXPECT_EQ(g.widths[6], 40);
    EXPECT_EQ(r.LastComment(), "in Tabelle eingeschrieben");
    EXPECT_EQ(g.nextRow, 2);
    EXPECT_FALSE(r.defs.TestDataSaved);
    EXPECT_EQ(r.results.TestGetMaxItem(), 1);
    // The grid's model shows the units under the headings.
    EXPECT_EQ(r.results.model().rowCount(), 200);
    EXPECT_EQ(r.results.model().headerData(2, Qt::Horizontal).toString(), "SN");
    EXPECT_EQ(r.results.model().data(r.results.model().index(0, 2)).toString(), "????");
}

TEST(TestResults, WithoutSerialRangeSubmitAndWritePassOver)
{
    Rig r;
    r.defs.items.SerialNo.Low = -1;
    r.results.SubmitResult();
    r.results.WriteResult();
    EXPECT_EQ(r.results.TestGetMaxItem(), -1);
    EXPECT_TRUE(r.host.comments.empty());
}

TEST(TestResults, EveryOutcomeTestedFillsTheColumnsUpTo40AndTheRestOverwritesTheLast)
{
    Rig r;
    prodtest::MeasItems& it = r.defs.items;
    prodtest::TMeasuringData& d = r.defs.data;
    auto pass = [](auto& items, size_t to) {
        for (size_t n = 1; n <= to; ++n)
            items[n].Result = 1, items[n].Measured = int(n),
            items[n].MeasuredText = QStringLiteral("t%1").arg(n);
    };
    it.SerialNo.Result = 1, it.SerialNo.Measured = 1234;
    it.ManuYear.Result = 1, it.ManuYear.Measured = 26;
    pass(it.BootVersion, 2), pass(it.TestVersion, 3), pass(it.ParFile, 4), pass(it.Variant, 2);
    pass(it.Ampl, 8), pass(it.Bubble, 4), pass(it.SwitchOut, 6);
    r.record.tk33ProgResult = r.record.picResult = r.record.siLabResult = 1;
    r.record.picOscCal = 0xC24;
    d.ShieldResult = d.BridgeResult = d.CalResult = d.DownloadResult = 1;
    d.NoTubeResult = d.EmptyTubeResult = d.FullTubeResult = 1;
    d.NoTubeValue = 5, d.EmptyTubeValue = 60, d.FullTubeValue = 150;
    d.HighOutputResult = d.LowOutputResult = 1;
    r.Write(QStringLiteral("okay"));
    const prodtest::ResultGrid& g = r.results.grid;
    EXPECT_EQ(g.Cell(0, 3), "TK33");
    EXPECT_EQ(g.Cell(1, 4), "OSC=$C24");
    EXPECT_EQ(g.Cell(0, 7), "Brücke");
    EXPECT_EQ(g.Cell(0, 8), "Boot 1");
    EXPECT_EQ(g.Cell(0, 11), "FW 2");
    EXPECT_EQ(g.Cell(1, 13), "t1|$   1");
    EXPECT_EQ(g.Cell(1, 17), "Var=1");
    EXPECT_EQ(g.Cell(1, 19), "26");
    EXPECT_EQ(g.Cell(0, 22), "ohne");
    EXPECT_EQ(g.Cell(0, 25), "Ampl 1");
    EXPECT_EQ(g.Cell(0, 33), "Blase 1");
    EXPECT_EQ(g.Cell(0, 37), "Sw 1");
    EXPECT_EQ(g.Cell(1, 39), "t3");
    // Sw 4..6, Sw H, Sw L, Bewertung, Datum and Zeit all land in column 40; Zeit stays.
    EXPECT_EQ(g.Cell(0, 40), "Zeit");
    EXPECT_EQ(g.Cell(1, 40), "09:30:05");
    EXPECT_EQ(g.widths[40], 88);
}

TEST(TestResults, RecordFileLinesForTwoUnitsAreByteExact)
{
    Rig r;
    r.panel.recordName = r.Path("record.txt");
    {
        QFile old(r.panel.recordName);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("yesterday's units\r\n");
    }
    ASSERT_TRUE(r.results.OpenTempFile(QStringLiteral("ignored.txt")));
    EXPECT_TRUE(r.results.TempFileOpen);
    EXPECT_EQ(r.host.panel1Log,
              (QStringList{"Öffne temporäre Datei: " + r.panel.recordName, "Temporäres File geschlossen"}));

    r.GoodUnit(1015, 87);
    r.Write(QStringLiteral("okay"));
    r.GoodUnit(1016, 12);
    r.stamp = r.stamp.addSecs(61);
    // On one line, and longer than the 25 characters of its column: cut, right-aligned, a
    // blank before it.
    r.Write(QStringLiteral("FEHLER:\tAmpl zu klein,\r\nzurück an Fertigung"));

    QFile f(r.panel.recordName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QString blanks = QString(34 * 8, QLatin1Char(' ')); // columns 7..40 of width 40
    const QString head = Cell("Pos", 8) + Cell("Typ", 15) + Cell("SN", 10) + Cell("Ampl 1", 8) +
                         Cell("Bewertung", 25) + Cell("Datum", 15) + Cell("Zeit", 15) + blanks;
    const QString row1 = Cell("1", 8) + Cell("QVR05", 15) + Cell("1015", 10) + Cell("87", 8) +
                         Cell("okay", 25) + Cell("10.12.2026", 15) + Cell("09:30:05", 15) + blanks;
    const QString row2 = Cell("2", 8) + Cell("QVR05", 15) + Cell("1016", 10) + Cell("F(12)", 8) +
                         QStringLiteral(" FEHLER: Ampl zu klein,  ") + Cell("10.12.2026", 15) +
                         Cell("09:31:06", 15) + blanks;
    QByteArray want = "Protokoll f\xFCr Sensoren QVR05 / QVR06 / QVR07 (tempor\xE4r)\r\n";
    want += QByteArray(55, '=') + "\r\n\r\n";
    want += head.toLatin1() + "\r\n" + QByteArray(178, '-') + "\r\n" + row1.toLatin1() + "\r\n" +
            row2.toLatin1() + "\r\n";
    EXPECT_EQ(head.size(), 368);
    EXPECT_EQ(bytes, want);
}

TEST(TestResults, RecordFileThatCannotBeWrittenIsReported)
{
    Rig r;
    // A folder in the way: neither deleted nor created.
    ASSERT_TRUE(QDir(r.dir.path()).mkdir(QStringLiteral("record.txt")));
    QFile(r.Path("record.txt/x")).open(QIODevice::WriteOnly);
    r.panel.recordName = r.Path("record.txt");
    EXPECT_FALSE(r.results.OpenTempFile(QString()));
    EXPECT_FALSE(r.results.TempFileOpen);
    EXPECT_EQ(r.Last(), "Kann Datei nicht beschreiben!!");
    // A cancelled dialog is no failure, and no file.
    r.panel.recordName.clear();
    EXPECT_TRUE(r.results.OpenTempFile(QString()));
    EXPECT_FALSE(r.results.TempFileOpen);

    // A record file that vanished mid-run: the row stays in the grid, the operator is told.
    r.panel.recordName = r.Path("gone/record.txt");
    ASSERT_TRUE(QDir(r.dir.path()).mkdir(QStringLiteral("gone")));
    ASSERT_TRUE(r.results.OpenTempFile(QString()));
    ASSERT_TRUE(QDir(r.Path("gone")).removeRecursively());
    r.GoodUnit(1001, 90);
    r.Write(QStringLiteral("okay"));
    EXPECT_EQ(r.Last(), "Kann Temp-Datei nicht beschreiben!!");
    EXPECT_EQ(r.LastComment(), "in Tabelle eingeschrieben, Temp-Datei: FEHLER");
    EXPECT_EQ(r.results.grid.Cell(1, 2), "1001");
}

// Row 200 saves the report: written, the grid starts again and its units go to the report's
// next page; cancelled or failed, the grid stays full and no unit is written over another.
TEST(TestResults, FullGridIsSavedAndContinuedOrRefusesTheNextUnit)
{
    enum class Save { Written, Cancelled, Failed };
    for (const Save how : {Save::Written, Save::Cancelled, Save::Failed}) {
        SCOPED_TRACE(int(how));
        Rig r;
        // A typed ".xls" is written as the workbook it is.
        r.panel.reportName = how == Save::Cancelled ? QString() : r.Path("lot.xls");
        {
            QFile stale(r.Path(".lot.xlsx.Ab12Cd")); // left by a save that was cut short
            ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        }
        if (how == Save::Failed) app::SetFileFault(QStringLiteral("ENOSPC@1:lot"));
        for (int unit = 0; unit < 200; ++unit) {
            r.GoodUnit(1000 + unit, 90);
            r.Write(QStringLiteral("okay"));
        }
        app::SetFileFault(QString());
        EXPECT_EQ(r.panel.reportAsked, 1);
        EXPECT_FALSE(QFile::exists(r.Path("lot.xls")));
        if (how == Save::Written) {
            EXPECT_TRUE(QFile::exists(r.Path("lot.xlsx")));
            EXPECT_FALSE(QFile::exists(r.Path(".lot.xlsx.Ab12Cd")));
            EXPECT_TRUE(r.host.panel1Log.contains("Excel-Export: Schreibe in Datei " + r.Path("lot.xlsx")));
            EXPECT_EQ(r.Last(), "Tabelle gespeichert in lot.xlsx, weitere Einheiten in lot-2.xlsx");
            EXPECT_EQ(r.results.TestGetMaxItem(), -1);
        } else {
            EXPECT_FALSE(QFile::exists(r.Path("lot.xlsx")));
            EXPECT_TRUE(r.results.GridFull());
            EXPECT_EQ(r.LastComment(), "Tabelle voll und nicht gespeichert: erst SPEICHERN, dann weiter");
            // Neither a new unit nor a row over row 200.
            EXPECT_FALSE(r.results.MayStartUnit());
            r.GoodUnit(1200, 90);
            r.Write(QStringLiteral("okay"));
            EXPECT_EQ(r.results.grid.Cell(200, 2), "1199");
            EXPECT_EQ(r.LastComment(), "Tabelle voll und nicht gespeichert: erst SPEICHERN, dann weiter");
            // SPEICHERN that works lets the run go on.
            r.panel.reportName = r.Path("lot.xls");
            r.results.SaveReport();
            EXPECT_TRUE(QFile::exists(r.Path("lot.xlsx")));
        }
        ASSERT_TRUE(r.results.MayStartUnit());
        r.GoodUnit(1200, 90);
        r.Write(QStringLiteral("okay"));
        EXPECT_EQ(r.results.grid.Cell(1, 2), "1200");
        r.results.SaveReport();
        // Every unit in the report: 200 on the first page, the 201st on the next.
        const QString script = QStringLiteral(R"PY(
import sys, openpyxl
def sns(name):
    d = openpyxl.load_workbook(name)['Data']
    return [d.cell(row=r, column=2).value for r in range(5, d.max_row + 1) if d.cell(row=r, column=2).value]
first, second = sns(sys.argv[1]), sns(sys.argv[2])
assert first == [str(1000 + u) for u in range(200)], first[-3:]
assert second == ['1200'], second
print('all units')
)PY");
        QString out;
        EXPECT_EQ(vmx::test::RunPython(script, {r.Path("lot.xlsx"), r.Path("lot-2.xlsx")}, out), 0)
            << out.toStdString();
    }
}

// A record line goes to the disk whole or not at all; a row that did not reach it stops the
// next unit until it is written after all.
TEST(TestResults, RecordFileUnderFaultsKeepsWholeLinesAndHoldsTheRun)
{
    struct Case {
        const char* fault;
        int goodUnits; // units written before the failing append
    };
    for (const Case& c : {Case{"ENOSPC@2", 0}, Case{"ENOSPC@4", 2}, Case{"EIO@3:record", 1}}) {
        SCOPED_TRACE(c.fault);
        Rig r;
        r.panel.recordName = r.Path("record.txt");
        app::SetFileFault(QString::fromLatin1(c.fault));
        ASSERT_TRUE(r.results.OpenTempFile(QString()));
        QByteArray before;
        for (int unit = 0; unit <= c.goodUnits; ++unit) {
            QFile f(r.panel.recordName);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            before = f.readAll();
            r.GoodUnit(1000 + unit, 90);
            r.Write(QStringLiteral("okay"));
        }
        QFile f(r.panel.recordName);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), before) << "no part of the failed line";
        EXPECT_TRUE(r.results.RecordLost());
        EXPECT_EQ(r.LastComment(), "in Tabelle eingeschrieben, Temp-Datei: FEHLER");
        EXPECT_FALSE(r.results.MayStartUnit());
        EXPECT_TRUE(r.LastComment().startsWith("Temp-Datei: FEHLER (")) << r.LastComment().toStdString();
        // The disk has room again: the missing row is written before the next unit starts.
        app::SetFileFault(QString());
        EXPECT_TRUE(r.results.MayStartUnit());
        f.seek(0);
        const QList<QByteArray> lines = f.readAll().split('\n');
        ASSERT_EQ(lines.size(), 3 + 2 + c.goodUnits + 1 + 1);
        EXPECT_TRUE(lines[size_t(5 + c.goodUnits)].contains(QByteArray::number(1000 + c.goodUnits)));
    }
    // No write access: no record file, and the run does not start with one.
    Rig r;
    r.panel.recordName = r.Path("record.txt");
    app::SetFileFault(QStringLiteral("EACCES@1"));
    EXPECT_FALSE(r.results.OpenTempFile(QString()));
    EXPECT_FALSE(r.results.TempFileOpen);
    EXPECT_FALSE(QFile::exists(r.panel.recordName));
    EXPECT_FALSE(r.results.MayStartUnit());
    EXPECT_EQ(r.LastComment(), "Temp-Datei: FEHLER, keine Prüfung ohne Protokoll");
    // The next try, with write access, opens it.
    app::SetFileFault(QString());
    EXPECT_TRUE(r.results.MayStartUnit());
    EXPECT_TRUE(r.results.TempFileOpen);
}

TEST(TestResults, WorkbookAsAnIndependentReaderSeesIt)
{
    Rig r;
    prodtest::StartGrid& sg = r.defs.startGrid;
    const char* const start[][2] = {{"Typ", "QVR05"},           {"Art der Prüfung", "Endprüfung"},
                                    {"Programm", "5"},          {"Prüfer", "Meier"},
                                    {"Auftrag/ Los", "A-4711"}, {"SN min", "1000"},
                                    {"Bemerkung zum Los", ""}};
    for (size_t i = 0; i < std::size(start); ++i)
        sg.cells[i] = {QString::fromUtf8(start[i][0]), QString::fromUtf8(start[i][1])};
    r.GoodUnit(1015, 87);
    r.Write(QStringLiteral("okay"));
    r.GoodUnit(1016, 12);
    r.Write(QStringLiteral("FEHLER"));
    // Without an extension the workbook's own is added.
    ASSERT_TRUE(r.results.WriteReport(r.Path("report")));
    const QString file = r.Path("report.xlsx");
    EXPECT_EQ(r.host.panel1Log.first(), "Excel-Export: Schreibe in Datei " + file);
    EXPECT_EQ(r.Last(), "Excel-Export: alles okay");
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
assert wb.sheetnames == ['Data', 'Condition', 'Summary'], wb.sheetnames
def font(ws, ref, size, rgb):
    f = ws[ref].font
    assert f.sz == size, (ws.title, ref, f.sz)
    assert f.color is not None and f.color.rgb == rgb, (ws.title, ref, f.color)
def width(ws, column, w):
    # Columns of one width may be stored as one range.
    got = [d.width for d in ws.column_dimensions.values() if d.min <= column <= d.max]
    assert len(got) == 1 and w <= got[0] < w + 1, (ws.title, column, got)
for ws, title in zip(wb.worksheets, ['Messwerte', 'Prüfbedingungen', 'Zusammenfassung']):
    assert ws['A1'].value == 'PROTOKOLL'; font(ws, 'A1', 20, 'FFFF0000')
    assert ws['A3'].value == title, ws['A3'].value; font(ws, 'A3', 14, 'FF0000FF')
    assert ws['A2'].value is None
d = wb['Data']
heads = ['Typ', 'SN', 'Ampl 1', 'Bewertung', 'Datum', 'Zeit']
for c, h in enumerate(heads, 1):
    assert d.cell(row=4, column=c).value == h, (c, d.cell(row=4, column=c).value)
    assert d.cell(row=4, column=c).font.sz == 14 and d.cell(row=4, column=c).font.color.rgb == 'FF800080'
    assert d.cell(row=5, column=c).number_format == '@'
width(d, 1, 15); width(d, 40, 15)
assert [d.cell(row=5, column=c).value for c in range(1, 7)] == ['QVR05', '1015', '87', 'okay', '10.12.2026', '09:30:05']
assert [d.cell(row=6, column=c).value for c in range(1, 7)] == ['QVR05', '1016', 'F(12)', 'FEHLER', '10.12.2026', '09:30:05']
assert d.cell(row=7, column=1).value is None
c = wb['Condition']
width(c, 1, 30); width(c, 2, 30)
assert c['A4'].value == 'Typ' and c['B4'].value == 'QVR05'
assert c['A5'].value == 'Art der Prüfung' and c['B5'].value == 'Endprüfung'
assert c['A10'].value == 'Bemerkung zum Los' and c['B10'].value is None
s = wb['Summary']
width(s, 1, 20); width(s, 2, 15); width(s, 5, 15)
rows = [[s.cell(row=r, column=k).value for k in (1, 2)] for r in range(4, 8)]
assert rows == [['Art der Prüfung', 'Endprüfung'], ['Prüfer', 'Meier'], ['Auftrag/ Los', 'A-4711'], ['Bemerkung zum Los', None]], rows
assert s['A8'].value is None
assert [s.cell(row=9, column=k).value for k in range(1, 7)] == ['Typ', 'SN', 'Bewertung', 'Datum', 'Zeit', None]
assert s['A9'].font.sz == 14 and s['A9'].font.color.rgb == 'FF800080'
assert [s.cell(row=10, column=k).value for k in range(1, 6)] == ['QVR05', '1015', 'okay', '10.12.2026', '09:30:05']
assert [s.cell(row=11, column=k).value for k in range(1, 6)] == ['QVR05', '1016', 'FEHLER', '10.12.2026', '09:30:05']
assert s['A15'].value == 'Unterschrift des Prüfers: '; font(s, 'A15', 14, 'FF0000FF')
assert s['A18'].value == 'Datum: '; font(s, 'A18', 14, 'FF0000FF')
assert wb.active.title == 'Data'
print('workbook ok')
)PY");
    QString out;
    EXPECT_EQ(vmx::test::RunPython(script, QStringList{file}, out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("workbook ok")) << out.toStdString();
}

TEST(TestResults, EmptyGridExportsHeadingsOnly)
{
    Rig r;
    const QString file = r.Path("empty.xlsx");
    ASSERT_TRUE(r.results.WriteReport(file));
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
d, s = wb['Data'], wb['Summary']
assert d['A1'].value == 'PROTOKOLL' and d['A3'].value == 'Messwerte'
assert d.max_row <= 5 and all(d.cell(row=r, column=k).value is None for r in (4, 5) for k in range(1, 41))
assert s['A4'].value is None and s['A5'].value is None
assert s['A9'].value == 'Unterschrift des Prüfers: ' and s['A12'].value == 'Datum: ', (s['A9'].value, s['A12'].value)
print('empty ok')
)PY");
    QString out;
    EXPECT_EQ(vmx::test::RunPython(script, QStringList{file}, out), 0) << out.toStdString();
}

TEST(TestResults, FailedSaveKeepsTheOldReportAndTheGrid)
{
    Rig r;
    r.GoodUnit(1015, 87);
    r.Write(QStringLiteral("okay"));
    const QString file = r.Path("report.xlsx");
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the report of the morning");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    r.panel.reportName = file;
    r.results.SaveReport();
    EXPECT_EQ(r.Last(), "Excel-Export: Datei schreibgeschützt report.xlsx");
    EXPECT_TRUE(r.defs.TestDataSaved); // saving counts as done, also after a failure
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the report of the morning"));
    EXPECT_EQ(r.results.grid.Cell(1, 2), "1015");
    // A cancelled dialog writes nothing.
    r.panel.reportName.clear();
    const int before = r.host.panel1Log.size();
    r.results.SaveReport();
    EXPECT_EQ(r.host.panel1Log.size(), before);
    // "report.xls" is written as report.xlsx, which the dialog did not ask about: it is
    // replaced only when the operator says so.
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    r.panel.reportName = r.Path("report.xls");
    for (const app::AskResult answer : {app::AskResult::No, app::AskResult::Yes}) {
        r.host.answers.push_back(answer);
        r.results.SaveReport();
        ASSERT_FALSE(r.host.questions.empty());
        EXPECT_EQ(r.host.questions.back().Text, "report.xlsx existiert bereits.\rErsetzen?");
        EXPECT_EQ(QFileInfo(file).size() == 25, answer == app::AskResult::No);
    }
    EXPECT_EQ(r.results.reportFileName, file);
    EXPECT_FALSE(QFile::exists(r.Path("report.xls")));
}

TEST(TestResults, UnitRecordNamesEveryTestedOutcome)
{
    Rig r;
    r.GoodUnit(1015, 12);
    r.defs.items.ParFile[1].Result = 1, r.defs.items.ParFile[1].MeasuredText = "123",
    r.defs.items.ParFile[1].Measured = 43;
    r.defs.cond.ProgramNo = 5;
    const QJsonObject u = r.results.UnitRecord(QStringLiteral("FEHLER Ampl"));
    EXPECT_EQ(u.value("program").toInt(), 5);
    EXPECT_EQ(u.value("serialNumber").toString(), "1015");
    EXPECT_EQ(u.value("verdict").toString(), "FEHLER");
    EXPECT_EQ(u.value("comment").toString(), "FEHLER Ampl");
    EXPECT_EQ(u.value("date").toString(), "10.12.2026");
    const QJsonObject o = u.value("outcomes").toObject();
    EXPECT_EQ(o.keys(), (QStringList{"Ampl 1", "Par 1", "SN"}));
    EXPECT_EQ(o.value("Ampl 1").toObject().value("result").toInt(), 0);
    EXPECT_EQ(o.value("Ampl 1").toObject().value("value").toInt(), 12);
    EXPECT_EQ(o.value("Par 1").toObject().value("value").toObject().value("crc").toInt(), 43);
}
