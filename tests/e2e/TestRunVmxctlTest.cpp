// A production station's programming runs through `vmxctl test run` on a simulated TK33 bench
// whose memories persist between runs: program 20 moves the sensor firmware into the test
// module, programs 21 and 27 program a blank sensor's PIC and controller from it, and the
// outcomes reach the status lines, the JSON of each unit and the report.
#include "PythonScript.h"
#include "StateBench.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include <algorithm>
#include <vector>

namespace {

// The test definitions are for a QVR05.
struct Bench : StateBench {
    explicit Bench(const QString& words)
        : StateBench(words, {QStringLiteral("--type"), QStringLiteral("5028143")})
    {
    }
};

std::vector<quint8> PicImage()
{
    std::vector<quint8> pic(0x2000, 0xFF);
    for (int i = 0; i < 0x70; ++i)
        pic[size_t(i)] = quint8(i % 2 ? 0x50 | (i % 16) : i * 5);
    pic[0x1FFE] = 0xEB, pic[0x1FFF] = 0x0F;
    return pic;
}

// Three definitions, one per programming run.
const char* const kTestIni = "[TEST_CONDITION]\r\n"
                             "[#QVR_TYP] \"Typ\",\"QVR05\"\r\n"
                             "[#ART_PR\xDC"
                             "FUNG] \"Art der Pr\xFC"
                             "fung\",\"Firmware ins Pr\xFC"
                             "fmittel\"\r\n"
                             "[#PR\xDC"
                             "FPROGRAMM] \"Programm\",\"20\"\r\n"
                             "[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n"
                             "//\r\n"
                             "[TEST_CONDITION]\r\n"
                             "[#QVR_TYP] \"Typ\",\"QVR05\"\r\n"
                             "[#ART_PR\xDC"
                             "FUNG] \"Art der Pr\xFC"
                             "fung\",\"PIC und SiLab\"\r\n"
                             "[#PR\xDC"
                             "FPROGRAMM] \"Programm\",\"21\"\r\n"
                             "[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n"
                             "[#DATEI_PIC] \"PIC\",\"PIC.hex\"\r\n"
                             "//\r\n"
                             "[TEST_CONDITION]\r\n"
                             "[#QVR_TYP] \"Typ\",\"QVR05\"\r\n"
                             "[#ART_PR\xDC"
                             "FUNG] \"Art der Pr\xFC"
                             "fung\",\"SiLab\"\r\n"
                             "[#PR\xDC"
                             "FPROGRAMM] \"Programm\",\"27\"\r\n"
                             "[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n";

// The step numbers of the status lines "[program/step] text", each run of equal ones once.
std::vector<int> StepsVisited(const QString& err, int program)
{
    std::vector<int> steps;
    const QRegularExpression re(QStringLiteral("^\\[%1/(\\d+)\\] ").arg(program),
                                QRegularExpression::MultilineOption);
    for (auto it = re.globalMatch(err); it.hasNext();) {
        const int s = it.next().captured(1).toInt();
        if (steps.empty() || steps.back() != s) steps.push_back(s);
    }
    return steps;
}

std::vector<int> Range(int from, int to)
{
    std::vector<int> v;
    for (int s = from; s <= to; ++s)
        v.push_back(s);
    return v;
}

QJsonObject OnlyUnit(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return QJsonObject();
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.size(), 2); // one object, one line end
    return QJsonDocument::fromJson(lines.value(0)).object();
}

#define EXPECT_RUN(r, code) EXPECT_EQ((r).exitCode, code) << (r).err.toStdString()

} // namespace

TEST(TestRunVmxctl, ProgrammingProgramsBringABlankSensorToLife)
{
    Bench b(QStringLiteral("tk33,blank,stream=polled"));
    b.Write("TEST.INI", kTestIni);
    ASSERT_TRUE(vmx::test::WriteHexFile(b.File("QVR.hex"), SensorFirmware()));
    ASSERT_TRUE(vmx::test::WriteHexFile(b.File("PIC.hex"), PicImage()));
    EXPECT_RUN(b.Run({"ping"}), 1); // blank: silent

    // Without the firmware in the module the check of program 21 fails the unit.
    ToolResult r = b.Run({"test", "run", "--definition", "1", "--json", b.File("early.json")});
    EXPECT_RUN(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("[21/6] QVR-Firmware: FEHLER beim Vergleichen")))
        << r.err.toStdString();
    QJsonObject unit = OnlyUnit(b.File("early.json"));
    EXPECT_EQ(unit.value("verdict").toString(), "FEHLER");
    EXPECT_EQ(unit.value("outcomes").toObject().value("TK33").toObject().value("result").toInt(), 0);

    r = b.Run({"test", "run", "--definition", "0"});
    EXPECT_RUN(r, 0);
    EXPECT_EQ(StepsVisited(r.err, 20), (std::vector<int>{0, 1, 2, 3, 4, 0}));
    EXPECT_TRUE(r.err.contains(QStringLiteral("[20/4] Bewertung / Kommentar")));

    r = b.Run({"test", "run", "--definition", "1", "--json", b.File("u.json"), "--report", b.File("report"),
               "--comment", "Charge 7"});
    EXPECT_RUN(r, 0);
    std::vector<int> want = Range(0, 15);
    want.push_back(0);
    EXPECT_EQ(StepsVisited(r.err, 21), want);
    EXPECT_TRUE(r.err.contains(QStringLiteral("[21/4] PIC: okay")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("[21/13] SiLab: okay")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("[21/14] QVR Power OFF: okay")));
    // Programs without a result row leave the grid empty: nothing on standard output.
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    unit = OnlyUnit(b.File("u.json"));
    EXPECT_EQ(unit.value("program").toInt(), 21);
    EXPECT_EQ(unit.value("definition").toString(), QStringLiteral("QVR05 / PIC und SiLab"));
    EXPECT_EQ(unit.value("verdict").toString(), "okay");
    EXPECT_EQ(unit.value("comment").toString(), "okay Charge 7");
    const QJsonObject o = unit.value("outcomes").toObject();
    EXPECT_EQ(o.keys(), (QStringList{"PIC", "SiLab", "TK33"}));
    EXPECT_EQ(o.value("PIC").toObject().value("result").toInt(), 1);
    EXPECT_EQ(o.value("PIC").toObject().value("value").toInt(), 0xC24); // the factory OSCCAL kept
    EXPECT_EQ(o.value("SiLab").toObject().value("result").toInt(), 1);
    EXPECT_TRUE(QFile::exists(b.File("report.xlsx")));
    EXPECT_RUN(b.Run({"ping"}), 0); // programmed: it answers

    // A JSON file that exists is replaced only with --yes.
    r = b.Run({"test", "run", "--definition", "2", "--json", b.File("u.json")});
    EXPECT_RUN(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--yes replaces it")));
    r = b.Run({"--yes", "test", "run", "--definition", "2", "--json", b.File("u.json"), "--units", "2"});
    EXPECT_RUN(r, 0);
    std::vector<int> twice = Range(0, 12);
    const std::vector<int> again = Range(0, 12);
    twice.insert(twice.end(), again.begin(), again.end());
    twice.push_back(0);
    EXPECT_EQ(StepsVisited(r.err, 27), twice);
    EXPECT_TRUE(r.err.contains(QStringLiteral("[27/8] SiLab: okay")));
    QFile json(b.File("u.json"));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    EXPECT_EQ(json.readAll().count('\n'), 2); // one line per unit
    EXPECT_RUN(b.Run({"ping"}), 0);
}

TEST(TestRunVmxctl, RefusalsAndAProgramThatNeverReturns)
{
    Bench b(QStringLiteral("tk33,stream=polled"));
    b.Write("TEST.INI", "[TEST_CONDITION]\r\n[#QVR_TYP] \"Typ\",\"QVR05\"\r\n[#PR\xDC"
                        "FPROGRAMM] \"Programm\",\"10\"\r\n");
    ToolResult r = b.Run({"test", "run", "--definition", "3"});
    EXPECT_RUN(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--definition 3: TEST.INI lists 1 definitions")));
    // Program 10 has no steps: WEITER only counts, the unit never comes back to step 0.
    r = b.Run({"test", "run"});
    EXPECT_RUN(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("did not come back to step 0 within 500 steps")))
        << r.err.toStdString();
    b.Write("old.txt", "yesterday\r\n");
    r = b.Run({"test", "run", "--record", b.File("old.txt")});
    EXPECT_RUN(r, 1);
    QFile old(b.File("old.txt"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("yesterday\r\n"));
    EXPECT_RUN(b.Run({"test", "run", "--units", "0"}), 2);
}

// The example TEST.INI that the build puts into the program folder runs as it stands.
TEST(TestRunVmxctl, ShippedExampleDefinitionsRun)
{
    Bench b(QStringLiteral("tk33,blank,stream=polled"));
    for (const char* name : {"TEST.INI", "QVR.hex", "PIC.hex"})
        ASSERT_TRUE(QFile::copy(testpaths::Bin(QLatin1String(name)), b.File(name))) << name;
    ToolResult r = b.Run({"test", "list"});
    EXPECT_RUN(r, 0);
    EXPECT_EQ(r.out,
              QStringLiteral("0\tQVR05 / Endprüfung Schlauch\n1\tQVR05 / Amplitudenprüfung\n"
                             "2\tQVR05 / Firmware ins Prüfmittel\n3\tQVR05 / Programmierung PIC + SiLab\n"
                             "4\tQVR05 / Programmierung SiLab\n5\tQVR05 / Kabel und Schirm\n"
                             "6\tQVR05 / Zwei Kanäle\n7\tQVR05 / Download\n"));
    r = b.Run({"test", "show", "--definition", "0"});
    EXPECT_TRUE(r.out.contains(QStringLiteral("Prüfschlauch\tSilikon 3,2 x 1,6\n"))) << r.out.toStdString();
    EXPECT_RUN(b.Run({"test", "run", "--definition", "2"}), 0);
    EXPECT_RUN(b.Run({"test", "run", "--definition", "3"}), 0);
    EXPECT_RUN(b.Run({"ping"}), 0);
}

// A day's lot at the amplitude station: three units, each a new one from the line (the
// simulated operator swaps them), the last one weak. The result grid on standard output, the
// record file and the report's sheets say the same about every unit.
TEST(TestRunVmxctl, GridRecordFileAndReportAgreeOverSeveralUnits)
{
    StateBench b(QStringLiteral("tk33,unit=good,tube=empty"),
                 {QStringLiteral("--type"), QStringLiteral("5028143")});
    for (const char* name : {"TEST.INI", "QVR.hex", "PIC.hex"})
        ASSERT_TRUE(QFile::copy(testpaths::Bin(QLatin1String(name)), b.File(name))) << name;
    ToolResult r = b.Run({"test", "run", "--definition", "1", "--units", "3", "--sn", "1000", "--tester",
                          "Weber", "--batch", "A-4711", "--record", b.File("record.txt"), "--report",
                          b.File("day.xlsx"), "--json", b.File("units.json")});
    // All three good: each unit is a new chip, so its identity is written once.
    EXPECT_RUN(r, 0);
    const QStringList grid = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(grid.size(), 4) << r.out.toStdString();
    const QStringList heads = grid[0].split(QLatin1Char('\t'));
    const int sn = int(heads.indexOf(QStringLiteral("SN")));
    const int verdict = int(heads.indexOf(QStringLiteral("Bewertung")));
    ASSERT_GE(sn, 0);
    ASSERT_GE(verdict, 0);
    for (int u = 0; u < 3; ++u) {
        const QStringList cells = grid[u + 1].split(QLatin1Char('\t'));
        EXPECT_EQ(cells.value(0), QString::number(u + 1));
        EXPECT_EQ(cells.value(sn), QString::number(1000 + u));
        EXPECT_EQ(cells.value(verdict), QStringLiteral("okay"));
    }

    // The record file: the title, the headings, the rule and one line per unit, each the grid's
    // cells right-aligned in their columns.
    QFile rec(b.File("record.txt"));
    ASSERT_TRUE(rec.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = rec.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3 + 2 + 3 + 1) << "title, rule, empty; headings, rule; 3 units; end";
    for (int u = 0; u < 3; ++u) {
        const QByteArray& line = lines[5 + u];
        const QStringList cells = grid[u + 1].split(QLatin1Char('\t'));
        qsizetype at = 0;
        for (const QString& c : cells) {
            const qsizetype found = line.indexOf(c.toLatin1(), at);
            ASSERT_GE(found, at) << "unit " << u + 1 << " cell " << c.toStdString();
            at = found + c.size();
        }
    }

    // The report: the Data sheet holds the grid without its "Pos" column; the Summary the
    // type, serial number, verdict, date and time of each unit.
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
d, s = wb['Data'], wb['Summary']
rows = [line.split('\t') for line in sys.argv[2:]]
heads = rows[0]
for c, h in enumerate(heads[1:], 1):
    assert d.cell(row=4, column=c).value == h, (c, d.cell(row=4, column=c).value, h)
for r, cells in enumerate(rows[1:], 5):
    got = [d.cell(row=r, column=c).value or '' for c in range(1, len(cells))]
    assert got == cells[1:], (r, got, cells[1:])
assert d.cell(row=8, column=1).value is None
picked = [i for i, h in enumerate(heads) if h in ('Typ', 'SN', 'Bewertung', 'Datum', 'Zeit')]
hr = next(r for r in range(4, 20) if s.cell(row=r, column=1).value == 'Typ')
assert [s.cell(row=hr, column=k + 1).value for k in range(len(picked))] == [heads[i] for i in picked]
for u, cells in enumerate(rows[1:], 1):
    assert [s.cell(row=hr + u, column=k + 1).value for k in range(len(picked))] == [cells[i] for i in picked], u
print('report agrees')
)PY");
    QString out;
    EXPECT_EQ(vmx::test::RunPython(script, QStringList{b.File("day.xlsx")} + grid, out), 0)
        << out.toStdString();

    QFile json(b.File("units.json"));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QList<QByteArray> units = json.readAll().split('\n');
    ASSERT_EQ(units.size(), 4);
    for (int u = 0; u < 3; ++u)
        EXPECT_EQ(QJsonDocument::fromJson(units[u]).object().value("serialNumber").toString(),
                  QString::number(1000 + u));

    // A second run on the same bench starts with a new unit too, not the last one tested.
    r = b.Run({"test", "run", "--definition", "1", "--units", "2", "--sn", "1003", "--tester", "Weber",
               "--batch", "A-4711"});
    EXPECT_RUN(r, 0);
    EXPECT_EQ(r.out.count(QStringLiteral("\tokay\t")), 2) << r.out.toStdString();
}

namespace {

// The amplitude station's lot of the shipped definitions, with its outputs in `dir`.
struct Lot : StateBench {
    Lot()
        : StateBench(QStringLiteral("tk33,unit=good,tube=empty"),
                     {QStringLiteral("--type"), QStringLiteral("5028143")})
    {
        for (const char* name : {"TEST.INI", "QVR.hex", "PIC.hex"})
            EXPECT_TRUE(QFile::copy(testpaths::Bin(QLatin1String(name)), File(name))) << name;
    }
    ToolResult RunUnits(int units, const QStringList& outputs, const QByteArray& fault = QByteArray())
    {
        if (!fault.isEmpty()) qputenv("VMX_FILE_FAULT", fault);
        ToolResult r =
            Run(QStringList{"test", "run", "--definition", "1", "--sn", "1000", "--tester", "Weber",
                            "--batch", "A-4711", "--units", QString::number(units)} +
                    outputs,
                // A lot of hundreds of units takes its time under the sanitizers on a busy machine.
                std::max(30000, units * 600));
        qunsetenv("VMX_FILE_FAULT");
        return r;
    }
};

// The units of the record file and of the JSON by serial number, each line checked whole.
struct Kept {
    QStringList record, json, verdicts;
};
Kept ReadKept(const QString& record, const QString& json)
{
    Kept k;
    QFile r(record);
    if (r.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = r.readAll().split('\n');
        EXPECT_TRUE(lines.last().isEmpty()) << "the record ends with a whole line";
        qsizetype width = 0; // the headings' line: every row is as wide
        for (const QByteArray& l : lines.mid(0, lines.size() - 1)) {
            EXPECT_TRUE(l.endsWith('\r')) << l.constData();
            if (l.startsWith("     Pos")) width = l.size();
            if (l.mid(8, 15).trimmed() != "QVR05") continue;
            EXPECT_EQ(l.size(), width) << l.constData();
            k.record << QString::fromLatin1(l.mid(23, 10).trimmed());
        }
    }
    QFile j(json);
    if (j.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = j.readAll().split('\n');
        EXPECT_TRUE(lines.last().isEmpty()) << "the JSON ends with a whole line";
        for (const QByteArray& l : lines.mid(0, lines.size() - 1)) {
            const QJsonObject u = QJsonDocument::fromJson(l).object();
            EXPECT_FALSE(u.isEmpty()) << l.constData();
            k.json << u.value("serialNumber").toString();
            k.verdicts << u.value("verdict").toString();
        }
    }
    return k;
}

QStringList Serials(int from, int count)
{
    QStringList s;
    for (int i = 0; i < count; ++i)
        s << QString::number(from + i);
    return s;
}

} // namespace

// The record file, the report and the JSON under faults: a location that cannot take them
// stops the run before any unit is touched; a write that fails mid-run ends the run with that
// unit FEHLER and exit 1. Every unit is in every output or reported as failed.
TEST(TestRunVmxctl, RecordsUnderFaultsKeepEveryUnitOrSayItFailed)
{
    struct Case {
        const char* what;
        QStringList outputs; // relative to the bench folder
        QByteArray fault;
        const char* message;
        int tested;           // units run (0: refused before the first)
        int inRecord, inJson; // units kept
        bool lastFailed;      // the last unit of the JSON is FEHLER
    };
    const Case cases[] = {
        {"missing record folder", {"--record", "none/r.txt"}, {}, "folder", 0, 0, 0, false},
        {"missing report folder", {"--report", "none/rep"}, {}, "folder", 0, 0, 0, false},
        {"existing report",
         {"--report", "old.xls"},
         {},
         "old.xlsx exists; --yes replaces it",
         0,
         0,
         0,
         false},
        {"no write access",
         {"--record", "r.txt", "--json", "u.json"},
         "EACCES@1:u.json",
         "Permission denied",
         0,
         0,
         0,
         false},
        {"record disk full",
         {"--record", "r.txt", "--json", "u.json"},
         "ENOSPC@5:r.txt",
         "unit 3: FEHLER",
         3,
         2,
         3,
         true},
        {"JSON disk full",
         {"--record", "r.txt", "--json", "u.json"},
         "ENOSPC@5:u.json",
         "unit 2: FEHLER",
         2,
         2,
         1,
         false},
        {"report disk full",
         {"--record", "r.txt", "--json", "u.json", "--report", "rep"},
         "ENOSPC@2:rep.xlsx",
         "--report",
         6,
         6,
         6,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Lot b;
        b.Write("old.xlsx", "the morning's report");
        QStringList outputs;
        for (const QString& o : c.outputs)
            outputs << (o.startsWith(QLatin1String("--")) ? o : b.File(o.toLatin1().constData()));
        const ToolResult r = b.RunUnits(6, outputs, c.fault);
        EXPECT_RUN(r, 1);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
        EXPECT_EQ(r.err.contains(QLatin1String("[5/0]")), c.tested > 0) << "tested only where kept";
        const Kept k = ReadKept(b.File("r.txt"), b.File("u.json"));
        EXPECT_EQ(k.record, Serials(1000, c.inRecord));
        EXPECT_EQ(k.json, Serials(1000, c.inJson));
        // A unit missing from an output is the one the run stopped on and said so.
        EXPECT_LE(c.tested - std::min(c.inRecord, c.inJson), 1);
        EXPECT_EQ(!k.verdicts.isEmpty() && k.verdicts.last() == QLatin1String("FEHLER"), c.lastFailed);
        QFile old(b.File("old.xlsx"));
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("the morning's report"));
        EXPECT_TRUE(
            QDir(b.dir.path()).entryList({QStringLiteral(".*.??????")}, QDir::Files | QDir::Hidden).isEmpty())
            << "no temporary file left";
    }
}

// 300 units in one run: the grid's 200 go to the report, the next 100 to its second page; a
// run killed during a unit leaves whole lines only.
TEST(TestRunVmxctl, ThreeHundredUnitsAllReachTheReportAndAKillLeavesWholeLines)
{
    Lot b;
    ToolResult r = b.RunUnits(300, {"--record", b.File("r.txt"), "--json", b.File("u.json")});
    EXPECT_RUN(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("the result grid holds 200 units"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(b.File("r.txt")));
    r = b.RunUnits(300,
                   {"--record", b.File("r.txt"), "--json", b.File("u.json"), "--report", b.File("lot.xls")});
    EXPECT_RUN(r, 0);
    EXPECT_TRUE(
        r.err.contains(QStringLiteral("Tabelle gespeichert in lot.xlsx, weitere Einheiten in lot-2.xlsx")))
        << r.err.right(2000).toStdString();
    EXPECT_FALSE(QFile::exists(b.File("lot.xls")));
    Kept k = ReadKept(b.File("r.txt"), b.File("u.json"));
    EXPECT_EQ(k.record, Serials(1000, 300));
    EXPECT_EQ(k.json, Serials(1000, 300));
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
sns = []
for name in sys.argv[1:]:
    d = openpyxl.load_workbook(name)['Data']
    sns += [d.cell(row=r, column=2).value for r in range(5, d.max_row + 1) if d.cell(row=r, column=2).value]
assert sns == [str(1000 + u) for u in range(300)], (len(sns), sns[195:205])
print('300 in the report')
)PY");
    QString out;
    EXPECT_EQ(vmx::test::RunPython(script, {b.File("lot.xlsx"), b.File("lot-2.xlsx")}, out), 0)
        << out.toStdString();

    // Killed in the middle of a lot: what is in the files is whole, and the JSON lags the
    // record file by the unit that was under way at most.
    ASSERT_TRUE(QFile::remove(b.File("u.json")) && QFile::remove(b.File("r.txt")));
    QProcess p;
    p.start(testpaths::Bin(QStringLiteral("vmxctl")),
            QStringList{"--config-dir", b.dir.path(),    "--type",   "5028143",      b.profile,
                        "--yes",        "test",          "run",      "--definition", "1",
                        "--sn",         "1000",          "--tester", "Weber",        "--batch",
                        "A-4711",       "--units",       "150",      "--record",     b.File("r.txt"),
                        "--json",       b.File("u.json")});
    ASSERT_TRUE(p.waitForStarted(5000));
    for (int i = 0; i < 12000 && ReadKept(QString(), b.File("u.json")).json.size() < 20; ++i)
        QThread::msleep(5);
    p.kill();
    p.waitForFinished(5000);
    k = ReadKept(b.File("r.txt"), b.File("u.json"));
    ASSERT_GE(k.json.size(), 20);
    EXPECT_LT(k.json.size(), 150);
    EXPECT_EQ(k.json, k.record.mid(0, k.json.size()));
    EXPECT_LE(k.record.size() - k.json.size(), 1);
}

// A real full disk: a small tmpfs that the lot's record file and JSON fill.
TEST(TestRunVmxctl, RealFullDiskStopsTheRunWithWholeLines)
{
    Lot b;
    const QString disk = b.File("disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=16k", "tmpfs", disk}) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and mount rights)";
    struct Unmount {
        QString at;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {at}); }
    } unmount{disk};
    const ToolResult r = b.RunUnits(
        60, {"--record", disk + "/r.txt", "--json", disk + "/u.json", "--report", b.File("lot.xlsx")});
    EXPECT_RUN(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.right(2000).toStdString();
    const Kept k = ReadKept(disk + "/r.txt", disk + "/u.json");
    ASSERT_GT(k.record.size(), 0);
    ASSERT_LT(k.record.size(), 60);
    // The unit the disk stopped is in the report's grid and, where the JSON took it, FEHLER.
    EXPECT_LE(std::abs(int(k.record.size() - k.json.size())), 1);
    if (k.json.size() > k.record.size()) {
        EXPECT_EQ(k.verdicts.last(), "FEHLER");
    }
    QString out;
    const QString script = QStringLiteral(R"PY(
import sys, openpyxl
d = openpyxl.load_workbook(sys.argv[1])['Data']
print(len([r for r in range(5, d.max_row + 1) if d.cell(row=r, column=2).value]))
)PY");
    EXPECT_EQ(vmx::test::RunPython(script, {b.File("lot.xlsx")}, out), 0) << out.toStdString();
    EXPECT_EQ(out.trimmed().toInt(),
              std::max(k.record.size(), k.json.size()) + (k.record.size() == k.json.size() ? 1 : 0))
        << out.toStdString();
}
