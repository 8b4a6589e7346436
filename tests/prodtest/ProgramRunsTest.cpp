// Every step program on the simulated station, one unit from step 0 back to step 0, with the
// simulated operator's hands following the prompts: a good unit passes with the verdict
// "okay" and the run visits exactly the steps of its table in order; a faulty unit fails at
// the step that finds its fault, with that step's red text, and the verdict is "FEHLER".
#include "GoodUnitDefinitions.h"
#include "StationRig.h"

#include <QDir>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>

using namespace vmx;
using test::StationRig;
using namespace vmx::test;

namespace {

struct Station : StationRig {
    Station(int program, const QString& unit)
        : StationRig(GoodDefinition(program), Module(program) + QStringLiteral(",tube=empty,unit=") + unit)
    {
        WriteHex(QStringLiteral("QVR05_V143.hex"), Firmware());
        WriteHex(QStringLiteral("PIC.hex"), PicFirmware());
        for (int n = 1; n <= 4; ++n)
            WriteParameterFile(QStringLiteral("QVR05_V10%1.hex").arg(n), quint16(0x0100 + n));
        // The programs that check the module's copy of the firmware find it where program 20
        // transferred it.
        const auto fw = Firmware();
        if (program != 20)
            std::copy(fw.begin() + 0x800, fw.end(), bench().module()->loader().flash().begin() + 0x200);
        st->simulatedOperator = true;
        using Entry = prodtest::OperatorPanel::Entry;
        panel.text[Entry::SerialNo] = QStringLiteral("1000");
        panel.text[Entry::Tester] = QStringLiteral("Weber");
        panel.text[Entry::BatchNo] = QStringLiteral("A-4711");
        panel.text[Entry::BatchComment] = QStringLiteral("Charge 7");
        panel.text[Entry::TechIndex] = QStringLiteral("B");
        panel.text[Entry::ManuYear] = QStringLiteral("26");
        EXPECT_TRUE(Scan());
        visited.clear();
    }
    // The verdict as the operator saw it at the comment step.
    QString Verdict() { return panel.text[prodtest::OperatorPanel::Entry::Comment]; }
    // The cell of the last row written under the heading `heading` (empty: no such column).
    QString GridCell(const QString& heading) const
    {
        const prodtest::ResultGrid& g = st->testResults().grid;
        const int row = g.nextRow - 1;
        for (int c = 0; row >= 1 && c < prodtest::ResultGrid::kColumns; ++c)
            if (g.Cell(0, c) == heading) return g.Cell(row, c);
        return QString();
    }
    // Where the first red text of the run was shown: step and text.
    std::pair<int, QString> firstRed;
    int RunWatched()
    {
        const size_t from = host.comments.size();
        int step = -1;
        onStep = [this, from, &step](int s, const QString& routine) {
            visited.emplace_back(s, routine);
            if (firstRed.second.isEmpty()) {
                const QString red = FirstRed(from);
                if (!red.isEmpty()) firstRed = {step, red};
            }
            step = s;
        };
        const int presses = RunUnit();
        if (firstRed.second.isEmpty() && !FirstRed(from).isEmpty()) firstRed = {step, FirstRed(from)};
        return presses;
    }
};

class GoodUnit : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(GoodUnit, RunsFromStep0BackToStep0WithTheVerdictOkay)
{
    const int program = GetParam();
    Station s(program, QStringLiteral("good"));
    const prodtest::StepProgram* p = prodtest::FindProgram(program);
    ASSERT_NE(p, nullptr);
    ASSERT_GT(s.RunWatched(), 0) << "the run came back to step 0";
    EXPECT_EQ(s.firstRed.second, QString())
        << "program " << program << " step " << s.firstRed.first << ": " << s.firstRed.second.toStdString();
    EXPECT_EQ(s.Verdict(), QStringLiteral("okay"));
    // The programs that write a row: the unit's row says the same.
    bool writes = false;
    for (const auto& step : p->steps)
        writes |= step.routine && QLatin1String(step.routine) == QLatin1String("WriteResult");
    EXPECT_EQ(s.st->testResults().grid.nextRow, writes ? 2 : 1);
    if (writes) {
        EXPECT_EQ(s.GridCell(QStringLiteral("Bewertung")), QStringLiteral("okay"));
    }
    // Every step of the table once, in order, then the numbers up to the range bound, then 0.
    std::vector<std::pair<int, QString>> expected;
    for (int n = 1; n <= p->rangeBound; ++n) {
        const bool listed = n < int(p->steps.size()) && p->steps[size_t(n)].routine;
        expected.emplace_back(n, listed ? QString::fromUtf8(p->steps[size_t(n)].routine) : QString());
    }
    expected.emplace_back(0, QStringLiteral("Start_EnableSN"));
    EXPECT_EQ(s.visited, expected);
}

INSTANTIATE_TEST_SUITE_P(Programs, GoodUnit,
                         ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 20, 21, 22, 24, 25,
                                           26, 27, 28, 29));

namespace {
struct Fault {
    int program;
    const char* unit; // the unit, and further words of the bench (the module's front end, faults)
    int step;
    const char* red;
    const char* column;         // the heading of the grid column that shows the failure
    const char* cell = nullptr; // what it shows (nullptr: "F(…)" or "FEHL")
    const char* sn = "1000";
    const char* year = "26";
    const char* said = nullptr; // a further red text of the run
};
void PrintTo(const Fault& f, std::ostream* os)
{
    *os << "program " << f.program << ", unit=" << f.unit << ", SN " << f.sn << ", year " << f.year;
}
std::string FaultName(const ::testing::TestParamInfo<Fault>& info)
{
    std::string unit = info.param.unit;
    for (char& c : unit)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return "Program" + std::to_string(info.param.program) + "_" + unit + "_" + std::to_string(info.index);
}
} // namespace

class BadUnit : public ::testing::TestWithParam<Fault> {};

TEST_P(BadUnit, FailsAtTheStepThatFindsItsFault)
{
    const Fault f = GetParam();
    Station s(f.program, QString::fromUtf8(f.unit));
    using Entry = prodtest::OperatorPanel::Entry;
    s.panel.text[Entry::SerialNo] = QString::fromUtf8(f.sn);
    s.panel.text[Entry::ManuYear] = QString::fromUtf8(f.year);
    ASSERT_GT(s.RunWatched(), 0) << "the operator went on to the end of the unit";
    EXPECT_EQ(s.firstRed.first, f.step) << s.firstRed.second.toStdString();
    EXPECT_EQ(s.firstRed.second, QString::fromUtf8(f.red));
    EXPECT_EQ(s.Verdict(), QStringLiteral("FEHLER"));
    if (f.said) {
        EXPECT_TRUE(s.Said(QString::fromUtf8(f.said)));
    }
    if (!f.column) return; // a program that writes no row
    // The unit's row in the result grid says the same, in the failing step's column.
    EXPECT_EQ(s.GridCell(QStringLiteral("Bewertung")), QStringLiteral("FEHLER"));
    const QString cell = s.GridCell(QString::fromUtf8(f.column));
    if (f.cell)
        EXPECT_EQ(cell, QString::fromUtf8(f.cell));
    else
        EXPECT_TRUE(cell.startsWith(QLatin1String("F(")) || cell == QLatin1String("FEHL"))
            << cell.toStdString();
    // An entry that was refused is never written into the sensor: its identity stays blank.
    if (std::string(f.column) == "SN" || std::string(f.column) == "Jahr") {
        const auto& flash = s.sensor().bootLoader().flash();
        const size_t at = size_t(s.sensor().profile().snOffset) + 12;
        EXPECT_EQ(flash[at + 1], 0xFF) << "year";
        EXPECT_EQ(flash[at + 2] | (flash[at + 3] << 8), 0xFFFF) << "serial number";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, BadUnit,
    ::testing::Values(
        Fault{1, "stuck-output", 17, "Kontrolle Schaltausgang: FEHLER, falscher Pegel", "Sw L"},
        Fault{1, "wrong-firmware", 5, "Kontrolle Firmware 1: FEHLER, falsche Version: 142", "FW 1"},
        Fault{5, "bad-amplitude", 11, "Ampl Test 1: gefüllter Schlauch, FEHLER, Wert zu niedrig", "Ampl 1"},
        Fault{5, "stuck-output", 16, "Schaltausgang Test 2: FEHLER, falscher Pegel: H", "Sw 2"},
        Fault{14, "no-answer", 6, "Kontrolle Firmware 1: FEHLER, keine Messung", "FW 1"},
        Fault{14, "bad-amplitude", 18, "Ampl Test 1: gefüllter Schlauch, FEHLER, Wert zu niedrig", "Ampl 1"},
        // The wrong front end behind the module: the outputs it cannot read count as failed.
        Fault{1, "stuck-output,tmsub=5", 2, "Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend", "Sw L"},
        Fault{5, "good,tmsub=5", 2, "Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend", "Sw 1"},
        // A boot check the definition asks for that fails: the row and the verdict agree.
        Fault{24, "good,fault=drop,after=1", 4, "Start Boot 1: FEHLER beim Lesen BootIdent", "Boot 1",
              "F(-1)"},
        // Refused entries: the unit fails and nothing refused reaches the sensor.
        Fault{24, "good", 1, "SN: FEHLER, Seriennummer nicht plausibel!", "SN", "????", "999"},
        Fault{3, "good", 1, "Herstellungsjahr nicht plausibel!", "Jahr", "F(30)", "1000", "30"},
        Fault{5, "good", 1, "Herstellungsjahr nicht plausibel!", "Jahr", "F(2026)", "1000", "2026"},
        // Nothing is programmed through a module the check did not confirm.
        Fault{21, "good,tmsub=5", 1, "Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend", nullptr,
              nullptr, "1000", "26", "PIC: FEHLER, Prüfmittel nicht bestätigt"},
        Fault{20, "good,tmsub=5", 1, "Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend", nullptr,
              nullptr, "1000", "26", "Prüfmittel-Firmware: FEHLER, Prüfmittel nicht bestätigt"}),
    FaultName);
