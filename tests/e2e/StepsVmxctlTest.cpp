// The measuring and identity steps through `vmxctl test run` on the simulated station in
// virtual time: the simulated operator's hands follow the prompts, a good unit of the measuring
// programs passes, faulty units fail at their step with its red text and a failed row, the
// shield is the operator's judgement, and the interactive operator answers on the terminal.
#include "GoodUnitDefinitions.h"
#include "HexFile.h"
#include "RunTool.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include <vector>

namespace {

#define EXPECT_TOOL(r, code) EXPECT_EQ((r).exitCode, code) << (r).err.toStdString()

// Definitions 0..4: programs 1, 5, 9, 14 and 24, with limits a good simulated unit meets.
const char* const kDefinitions = R"INI([TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Schlauch"
[#PRÜFPROGRAMM] "Programm","1"
[#GRENZWERT_OHNE_MAX] "ohne","30"
[#GRENZWERT_LEER_MAX] "leer","300"
[#GRENZWERT_VOLL_MIN] "voll min","350"
[#GRENZWERT_VOLL_MAX] "voll max","450"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#TESTVERSION_1] "Firmware","143"
[#DATEI_PAR_1] "Parameter","QVR05_V101.hex"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Amplitude"
[#PRÜFPROGRAMM] "Programm","5"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#TESTVERSION_1] "Firmware","143"
[#VARIANTE_1] "Variante","3"
[#AMPLITUDE_1] "A1","gefüllter Schlauch"
[#AMPLITUDE_MIN_1] "min","350"
[#AMPLITUDE_MAX_1] "max","450"
[#AMPLITUDE_2] "A2","leerer Schlauch"
[#AMPLITUDE_MIN_2] "min","200"
[#AMPLITUDE_MAX_2] "max","300"
[#AMPLITUDE_3] "A3","Schlauch mit Blasen"
[#AMPLITUDE_MIN_3] "min","350"
[#AMPLITUDE_MAX_3] "max","450"
[#AMPLITUDE_4] "A4","gefüllter Schlauch"
[#AMPLITUDE_MIN_4] "min","350"
[#AMPLITUDE_MAX_4] "max","450"
[#BLASE_1] "B1","kleine Blasen"
[#BLASE_MIN_1] "min","50"
[#BLASE_MAX_1] "max","150"
[#BLASE_2] "B2","große Blasen"
[#BLASE_MIN_2] "min","200"
[#BLASE_MAX_2] "max","255"
[#SCHALTAUSGANG_1] "S1","H"
[#SCHALTAUSGANG_2] "S2","L"
[#SCHALTAUSGANG_3] "S3","LHLH"
[#SCHALTAUSGANG_4] "S4","H"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Kabel"
[#PRÜFPROGRAMM] "Programm","9"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#TESTVERSION_1] "Firmware","143"
[#AMPLITUDE_1] "A1","gefüllter Schlauch"
[#AMPLITUDE_MIN_1] "min","350"
[#AMPLITUDE_MAX_1] "max","450"
[#BLASE_1] "B1","kleine Blasen"
[#BLASE_MIN_1] "min","50"
[#BLASE_MAX_1] "max","150"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Zwei Kanäle"
[#PRÜFPROGRAMM] "Programm","14"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#TESTVERSION_1] "Firmware","143"
[#TESTVERSION_2] "Firmware","143"
[#AMPLITUDE_1] "A1","gefüllter Schlauch"
[#AMPLITUDE_MIN_1] "min","350"
[#AMPLITUDE_MAX_1] "max","450"
[#AMPLITUDE_2] "A2","leerer Schlauch"
[#AMPLITUDE_MIN_2] "min","200"
[#AMPLITUDE_MAX_2] "max","300"
[#SCHALTAUSGANG_1] "S1","L"
[#SCHALTAUSGANG_2] "S2","H"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Download"
[#PRÜFPROGRAMM] "Programm","24"
[#DATEI_FW_1] "Firmware","QVR05_V143.hex"
[#DATEI_PAR_1] "Parameter","QVR05_V101.hex"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#BOOTVERSION_1] "Boot","3"
[#TESTVERSION_1] "Firmware","143"
[#VARIANTE_1] "Variante","2"
[#AMPLITUDE_4] "A4","gefüllter Schlauch"
[#AMPLITUDE_MIN_4] "min","350"
[#AMPLITUDE_MAX_4] "max","450"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Tippfehler"
[#PRÜFPROGRAMM] "Programm","5"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#AMPLITUDE_1] "A1","gefüllter Schlauch"
[#AMPLITUDE_MIN_1] "min","abc"
[#AMPLITUDE_MAX_1] "max","450"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","SN über 16 Bit"
[#PRÜFPROGRAMM] "Programm","24"
[#SN_MIN] "SN von","60000"
[#SN_MAX] "SN bis","99999"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Grenzen vertauscht"
[#PRÜFPROGRAMM] "Programm","1"
[#GRENZWERT_VOLL_MIN] "voll min","450"
[#GRENZWERT_VOLL_MAX] "voll max","350"
//
[TEST_CONDITION]
[#QVR_TYP] "Typ","QVR05"
[#ART_PRÜFUNG] "Prüfung","Los"
[#PRÜFPROGRAMM] "Programm","24"
[#DATEI_FW_1] "Firmware","QVR05_V143.hex"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#AUFTRAG_LOS] "Auftrag/ Los","A-0000"
[#HERSTELLUNGSJAHR] "Jahr","JJ"
)INI";

struct Station {
    QTemporaryDir dir;

    Station()
    {
        QFile ini(dir.filePath(QStringLiteral("TEST.INI")));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray(kDefinitions).replace("\n", "\r\n"));
        ini.close();
        // The firmware of the download program: the identification and parameter pages blank.
        std::vector<quint8> fw(0x1A00);
        for (size_t a = 0; a < fw.size(); ++a)
            fw[a] = quint8(a * 7 + (a >> 8) + 1);
        std::fill(fw.begin() + 0x80, fw.begin() + 0x100, quint8(0xFF));
        std::fill(fw.begin() + 0x0A00, fw.begin() + 0x0C00, quint8(0xFF));
        EXPECT_TRUE(vmx::test::WriteHexFile(dir.filePath(QStringLiteral("QVR05_V143.hex")), fw));
        const ToolResult par = Run(QStringLiteral("tk33"), {"params", "standard", "--out",
                                                            dir.filePath(QStringLiteral("QVR05_V101.hex"))});
        EXPECT_TOOL(par, 0);
    }
    QStringList Args(const QString& bench, const QStringList& args) const
    {
        return QStringList{QStringLiteral("--config-dir"), dir.path(), QStringLiteral("--type"),
                           QStringLiteral("5028143"),
                           QStringLiteral("--simulate=%1,tube=empty,if=any,virtual").arg(bench)} +
               args;
    }
    ToolResult Run(const QString& bench, const QStringList& args) const
    {
        return RunTool(QStringLiteral("vmxctl"), Args(bench, args), 60000);
    }
    // The same with `input` on standard input (the interactive operator).
    ToolResult RunTyped(const QString& bench, const QStringList& args, const QByteArray& input) const
    {
        QProcess p;
        p.start(testpaths::Bin(QStringLiteral("vmxctl")), Args(bench, args));
        ToolResult r;
        if (!p.waitForStarted(5000)) return r;
        p.write(input);
        p.closeWriteChannel();
        r.finished = p.waitForFinished(60000);
        if (!r.finished) p.kill(), p.waitForFinished(2000);
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
};

// The step numbers of the status lines "[program/step] text", each run of equal ones once.
std::vector<int> Steps(const QString& err, int program)
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

// A unit's steps go up from 0 and back to 0 once, every step at most once.
void ExpectOneUnitInOrder(const QString& err, int program)
{
    const std::vector<int> s = Steps(err, program);
    ASSERT_GE(s.size(), 3u) << err.toStdString();
    EXPECT_EQ(s.front(), 0);
    EXPECT_EQ(s.back(), 0);
    for (size_t i = 1; i + 1 < s.size(); ++i)
        EXPECT_GT(s[i], s[i - 1]) << "step " << s[i] << " after " << s[i - 1];
}

// The cell under `heading` in the last row of the printed grid.
QString GridCell(const QString& out, const QString& heading)
{
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < 2) return QString();
    const qsizetype c = lines.front().split(QLatin1Char('\t')).indexOf(heading);
    const QStringList row = lines.back().split(QLatin1Char('\t'));
    return c >= 0 && c < row.size() ? row[c] : QString();
}

} // namespace

TEST(StepsVmxctl, GoodUnitsOfTheMeasuringProgramsPass)
{
    Station s;
    const struct {
        const char* definition;
        int program;
        const char* bench;
        const char* said;
    } runs[] = {
        {"0", 1, "tk33,unit=good", "[1/16] Messung voller Schlauch: okay"},
        {"1", 5, "tk33,unit=good", "[5/22] Blasentest 1: kleine Blasen   --> okay"},
        {"3", 14, "vo40,unit=good", "[14/24] Ampl Test 2: leerer Schlauch   --> okay"},
        {"4", 24, "tk33,unit=good", "[24/6] Download: okay"},
    };
    for (const auto& run : runs) {
        const ToolResult r = s.Run(QString::fromLatin1(run.bench),
                                   {"test", "run", "--definition", run.definition, "--sn", "1000"});
        EXPECT_TOOL(r, 0);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(run.said))) << run.program << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("FEHLER"))) << run.program;
        EXPECT_EQ(GridCell(r.out, QStringLiteral("Bewertung")), QStringLiteral("okay"))
            << r.out.toStdString();
        ExpectOneUnitInOrder(r.err, run.program);
    }
}

TEST(StepsVmxctl, FaultyUnitsFailAtTheirStep)
{
    Station s;
    const struct {
        const char* definition;
        const char* bench;
        const char* red;
        const char* column;
    } runs[] = {
        {"0", "tk33,unit=wrong-firmware", "[1/5] Kontrolle Firmware 1: FEHLER, falsche Version: 142", "FW 1"},
        {"1", "tk33,unit=bad-amplitude", "[5/11] Ampl Test 1: gefüllter Schlauch, FEHLER, Wert zu niedrig",
         "Ampl 1"},
        {"1", "tk33,unit=stuck-output", "[5/16] Schaltausgang Test 2: FEHLER, falscher Pegel: H", "Sw 2"},
        {"3", "vo40,unit=no-answer", "[14/6] Kontrolle Firmware 1: FEHLER, keine Messung", "FW 1"},
    };
    int n = 0;
    for (const auto& run : runs) {
        const QString record = s.dir.filePath(QStringLiteral("record%1.txt").arg(++n));
        const ToolResult r =
            s.Run(QString::fromLatin1(run.bench),
                  {"test", "run", "--definition", run.definition, "--sn", "1000", "--record", record});
        EXPECT_TOOL(r, 1);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(run.red))) << r.err.toStdString();
        // The record file holds the same row as the grid (in columns of fixed width).
        QFile f(record);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << record.toStdString();
        const QString lines = QString::fromLatin1(f.readAll());
        EXPECT_TRUE(lines.contains(QStringLiteral(" FEHLER "))) << lines.toStdString();
        EXPECT_TRUE(lines.contains(GridCell(r.out, QString::fromLatin1(run.column)))) << lines.toStdString();
        EXPECT_TRUE(GridCell(r.out, QString::fromLatin1(run.column)).startsWith(QLatin1String("F(")))
            << r.out.toStdString();
        EXPECT_EQ(GridCell(r.out, QStringLiteral("Bewertung")), QStringLiteral("FEHLER"));
    }
}

// Faulty definitions, entries and units through vmxctl: each ends FEHLER and exit 1, never
// "okay"; a definition that cannot be used and an entry it cannot take are refused before any
// unit is touched, naming what is wrong.
TEST(StepsVmxctl, FaultyDefinitionsEntriesAndUnitsNeverEndOkay)
{
    Station s;
    const struct {
        QStringList args;
        const char* bench;
        const char* said;
        const char* column; // of the unit's failed row; nullptr: no unit was started
        const char* cell;
    } runs[] = {
        {{"--definition", "0", "--sn", "1000"},
         "tk33,unit=stuck-output,tmsub=5",
         "[1/2] Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend",
         "Sw L",
         "FEHL"},
        {{"--definition", "4", "--sn", "1000"},
         "tk33,unit=good,fault=drop,after=1",
         "[24/4] Start Boot 1: FEHLER beim Lesen BootIdent",
         "Boot 1",
         "F(-1)"},
        {{"--definition", "5", "--sn", "1000"},
         "tk33,unit=good",
         "[#AMPLITUDE_MIN_1] \"abc\"",
         nullptr,
         nullptr},
        {{"--definition", "6", "--sn", "70000"}, "tk33,unit=good", "[#SN_MAX] \"99999\"", nullptr, nullptr},
        {{"--definition", "7"}, "tk33,unit=good", "[#GRENZWERT_VOLL_MIN] \"450\"", nullptr, nullptr},
        {{"--definition", "4", "--sn", "999"}, "tk33,unit=good", "--sn 999", nullptr, nullptr},
        {{"--definition", "4", "--sn", "1999", "--units", "2"},
         "tk33,unit=good",
         "--sn 1999",
         nullptr,
         nullptr},
        {{"--definition", "8", "--sn", "1000", "--batch", "A-1", "--year", "30"},
         "tk33,unit=good",
         "--year 30",
         nullptr,
         nullptr},
        {{"--definition", "8", "--sn", "1000", "--year", "26"},
         "tk33,unit=good",
         "--batch",
         nullptr,
         nullptr},
    };
    for (const auto& run : runs) {
        const ToolResult r = s.Run(QString::fromLatin1(run.bench), QStringList{"test", "run"} + run.args);
        SCOPED_TRACE(run.said);
        EXPECT_TOOL(r, 1);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(run.said))) << r.err.toStdString();
        if (!run.column) {
            EXPECT_TRUE(Steps(r.err, 24).empty() && Steps(r.err, 5).empty() && Steps(r.err, 1).empty())
                << "no unit started\n"
                << r.err.toStdString();
            continue;
        }
        EXPECT_EQ(GridCell(r.out, QStringLiteral("Bewertung")), QStringLiteral("FEHLER"))
            << r.out.toStdString();
        EXPECT_EQ(GridCell(r.out, QString::fromLatin1(run.column)), QString::fromUtf8(run.cell))
            << r.out.toStdString();
    }
    // test show names the key of a definition that cannot be used, and fails.
    const ToolResult shown = s.Run(QStringLiteral("tk33"), {"test", "show", "--definition", "5"});
    EXPECT_TOOL(shown, 1);
    EXPECT_TRUE(shown.err.contains(QStringLiteral("[#AMPLITUDE_MIN_1] \"abc\""))) << shown.err.toStdString();
}

TEST(StepsVmxctl, TheShieldIsTheOperatorsJudgement)
{
    Station s;
    ToolResult r =
        s.Run(QStringLiteral("tk33,unit=good"), {"test", "run", "--definition", "2", "--sn", "1000"});
    EXPECT_TOOL(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("[9/4] FEHLER: Widerstand zu hoch"))) << r.err.toStdString();
    EXPECT_EQ(GridCell(r.out, QStringLiteral("Schirm")), QStringLiteral("FEHL"));
    r = s.Run(QStringLiteral("tk33,unit=good"),
              {"test", "run", "--definition", "2", "--sn", "1000", "--shield", "ok"});
    EXPECT_TOOL(r, 0);
    EXPECT_EQ(GridCell(r.out, QStringLiteral("Schirm")), QStringLiteral("okay"));
    EXPECT_EQ(GridCell(r.out, QStringLiteral("Brücke")), QStringLiteral("okay"));
    EXPECT_TOOL(s.Run(QStringLiteral("tk33"), {"test", "run", "--shield", "maybe"}), 2);
}

TEST(StepsVmxctl, InteractiveOperatorOnTheTerminal)
{
    Station s;
    // Enter at every wait: the unit of program 1 runs through, the live values shown while
    // a preparing step waits.
    ToolResult r = s.RunTyped(QStringLiteral("tk33,unit=good"),
                              {"test", "run", "--definition", "0", "--sn", "1000", "--interactive"},
                              QByteArray(200, '\n'));
    EXPECT_TOOL(r, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Enter = WEITER, b = ZURÜCK, q = ABBRECHEN")));
    EXPECT_TRUE(r.err.contains(
        QRegularExpression(QStringLiteral("SIGNAL:  \\d+  QVR: \\d+  QVRmax: \\d+  Ampl: \\d+"))))
        << r.err.toStdString();
    // Three steps on, then ZURÜCK runs step 2 again, then ABBRECHEN: back to step 0, failed.
    r = s.RunTyped(QStringLiteral("tk33,unit=good"),
                   {"test", "run", "--definition", "0", "--sn", "1000", "--interactive"}, "\n\n\nb\nq\n");
    EXPECT_TOOL(r, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("test run: unit 1 cancelled (ABBRECHEN)")))
        << r.err.toStdString();
    const std::vector<int> steps = Steps(r.err, 1);
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps.back(), 0);
    // Input that ends is an operator who left: cancelled, not run on.
    r = s.RunTyped(QStringLiteral("tk33,unit=good"), {"test", "run", "--definition", "0", "--interactive"},
                   "");
    EXPECT_TOOL(r, 1);
}

// The example TEST.INI that the build puts into the program folder: its measuring, cable and
// download definitions pass with a good unit; the amplitude test fails a weak one.
TEST(StepsVmxctl, ShippedMeasuringDefinitionsRun)
{
    QTemporaryDir dir;
    for (const char* name :
         {"TEST.INI", "QVR.hex", "PIC.hex", "QVR_DL.hex", "QVR05_K1_V101.hex", "QVR05_K2_V102.hex"})
        ASSERT_TRUE(QFile::copy(testpaths::Bin(QLatin1String(name)), dir.filePath(QLatin1String(name))))
            << name;
    auto run = [&](const QString& bench, const QStringList& args) {
        return RunTool(QStringLiteral("vmxctl"),
                       QStringList{QStringLiteral("--config-dir"), dir.path(), QStringLiteral("--type"),
                                   QStringLiteral("5028143"),
                                   QStringLiteral("--simulate=%1,tube=empty,unit=good,virtual").arg(bench),
                                   QStringLiteral("test"), QStringLiteral("run"), QStringLiteral("--sn"),
                                   QStringLiteral("1000"), QStringLiteral("--tester"),
                                   QStringLiteral("Weber"), QStringLiteral("--batch"),
                                   QStringLiteral("A-4711"), QStringLiteral("--batch-comment"),
                                   QStringLiteral("Charge 7"), QStringLiteral("--year"),
                                   QStringLiteral("26")} +
                           args,
                       60000);
    };
    for (const char* definition : {"0", "1", "7"}) {
        const ToolResult r =
            run(QStringLiteral("tk33"), {QStringLiteral("--definition"), QLatin1String(definition)});
        EXPECT_TOOL(r, 0);
    }
    EXPECT_TOOL(run(QStringLiteral("tk33,if=2"), {"--definition", "5", "--shield", "ok"}), 0);
    // Two channels: parameters and identity on each, behind either of the module's interfaces.
    const ToolResult two = run(QStringLiteral("vo40,if=two"), {"--definition", "6"});
    EXPECT_TOOL(two, 0);
    for (const char* said :
         {"[14/7] Parameter 1: okay", "[14/8] Setze Ident 1: okay", "[14/12] Parameter 2: okay",
          "[14/13] Setze Ident 2: okay", "[14/69] Parameter 3: okay", "[14/73] Parameter 4: okay"})
        EXPECT_TRUE(two.err.contains(QString::fromUtf8(said))) << said << "\n" << two.err.toStdString();
    const ToolResult weak = run(QStringLiteral("tk33,unit=bad-amplitude"), {"--definition", "1"});
    EXPECT_TOOL(weak, 1);
    EXPECT_TRUE(
        weak.err.contains(QStringLiteral("[5/11] Ampl Test 1: Schlauch gefüllt, FEHLER, Wert zu niedrig")))
        << weak.err.toStdString();
}

// Every step program through vmxctl: one good unit each, from step 0 back to step 0 with the
// verdict "okay"; the programming runs on one bench whose module keeps what program 20 put in.
TEST(StepsVmxctl, EveryProgramRunsAGoodUnit)
{
    const std::vector<int> programs = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 12,
                                       13, 14, 20, 21, 22, 24, 25, 26, 27, 28, 29};
    QTemporaryDir dir;
    QByteArray ini;
    for (int p : programs) {
        ini += "[TEST_CONDITION]\r\n";
        for (const QString& line : vmx::test::GoodDefinition(p))
            ini += line.toUtf8() + "\r\n";
        ini += "//\r\n";
    }
    {
        QFile f(dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    ASSERT_TRUE(
        vmx::test::WriteHexFile(dir.filePath(QStringLiteral("QVR05_V143.hex")), vmx::test::Firmware()));
    ASSERT_TRUE(vmx::test::WriteHexFile(dir.filePath(QStringLiteral("PIC.hex")), vmx::test::PicFirmware()));
    const QString state = dir.filePath(QStringLiteral("state"));
    auto run = [&](int index, int program, bool kept) {
        QStringList args = {
            QStringLiteral("--config-dir"),
            dir.path(),
            QStringLiteral("--type"),
            QStringLiteral("5028143"),
            QStringLiteral("--simulate=%1,tube=empty,unit=good,virtual%2")
                .arg(vmx::test::Module(program), kept ? QStringLiteral(",state=") + state : QString()),
            QStringLiteral("test"),
            QStringLiteral("run"),
            QStringLiteral("--definition"),
            QString::number(index),
            QStringLiteral("--sn"),
            QStringLiteral("1000"),
            QStringLiteral("--tester"),
            QStringLiteral("Weber"),
            QStringLiteral("--year"),
            QStringLiteral("26"),
            QStringLiteral("--batch"),
            QStringLiteral("A-4711"),
            QStringLiteral("--batch-comment"),
            QStringLiteral("Charge 7"),
            QStringLiteral("--tech-index"),
            QStringLiteral("B"),
            QStringLiteral("--shield"),
            QStringLiteral("ok")};
        return RunTool(QStringLiteral("vmxctl"), args, 60000);
    };
    for (int n = 1; n <= 4; ++n) {
        const ToolResult par = RunTool(
            QStringLiteral("vmxctl"),
            {QStringLiteral("--config-dir"), dir.path(), QStringLiteral("--type"), QStringLiteral("5028143"),
             QStringLiteral("--simulate=tk33,virtual"), QStringLiteral("params"), QStringLiteral("standard"),
             QStringLiteral("--out"), dir.filePath(QStringLiteral("QVR05_V10%1.hex").arg(n))});
        EXPECT_TOOL(par, 0);
    }
    for (size_t i = 0; i < programs.size(); ++i) {
        const int p = programs[i];
        const bool programming = p == 20 || p == 21 || p == 22 || p == 27 || p == 28;
        const ToolResult r = run(int(i), p, programming);
        EXPECT_TOOL(r, 0) << "program " << p;
        EXPECT_FALSE(r.err.contains(QStringLiteral("FEHLER"))) << "program " << p << "\n"
                                                               << r.err.toStdString();
        ExpectOneUnitInOrder(r.err, p);
    }
}
