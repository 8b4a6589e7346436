// Every step program on the simulated station, one unit from step 0 back to step 0, with the
// simulated operator's hands following the prompts: a good unit passes with the verdict
// "okay" and the run visits exactly the steps of its table in order; a faulty unit fails at
// the step that finds its fault, with that step's red text, and the verdict is "FEHLER".
#include "GoodUnitDefinitions.h"
#include "StationRig.h"

#include <QDir>

#include <algorithm>
#include <ostream>
#include <string>

using namespace vmx;
using test::StationRig;
using namespace vmx::test;

namespace {

struct Station : StationRig {
    Station(int program, const QString& unit)
        : StationRig(GoodDefinition(program),
                     Module(program) + QStringLiteral(",tube=empty,if=any,unit=") + unit)
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
        panel.text[prodtest::OperatorPanel::Entry::SerialNo] = QStringLiteral("1000");
        panel.text[prodtest::OperatorPanel::Entry::Tester] = QStringLiteral("Weber");
        panel.text[prodtest::OperatorPanel::Entry::ManuYear] = QStringLiteral("26");
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
        run().onStep = [this, from, &step](int s, const QString& routine) {
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
    const char* unit;
    int step;
    const char* red;
    const char* column; // the heading of the grid column that shows the failure
};
void PrintTo(const Fault& f, std::ostream* os)
{
    *os << "program " << f.program << ", unit=" << f.unit;
}
std::string FaultName(const ::testing::TestParamInfo<Fault>& info)
{
    std::string unit = info.param.unit;
    std::replace(unit.begin(), unit.end(), '-', '_');
    return "Program" + std::to_string(info.param.program) + "_" + unit;
}
} // namespace

class BadUnit : public ::testing::TestWithParam<Fault> {};

TEST_P(BadUnit, FailsAtTheStepThatFindsItsFault)
{
    const Fault f = GetParam();
    Station s(f.program, QString::fromUtf8(f.unit));
    ASSERT_GT(s.RunWatched(), 0) << "the operator went on to the end of the unit";
    EXPECT_EQ(s.firstRed.first, f.step) << s.firstRed.second.toStdString();
    EXPECT_EQ(s.firstRed.second, QString::fromUtf8(f.red));
    EXPECT_EQ(s.Verdict(), QStringLiteral("FEHLER"));
    // The unit's row in the result grid says the same, in the failing step's column.
    EXPECT_EQ(s.GridCell(QStringLiteral("Bewertung")), QStringLiteral("FEHLER"));
    const QString cell = s.GridCell(QString::fromUtf8(f.column));
    EXPECT_TRUE(cell.startsWith(QLatin1String("F(")) || cell == QLatin1String("FEHL")) << cell.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Programs, BadUnit,
    ::testing::Values(
        Fault{1, "stuck-output", 17, "Kontrolle Schaltausgang: FEHLER, falscher Pegel", "Sw L"},
        Fault{1, "wrong-firmware", 5, "Kontrolle Firmware 1: FEHLER, falsche Version: 142", "FW 1"},
        Fault{5, "bad-amplitude", 11, "Ampl Test 1: gefüllter Schlauch, FEHLER, Wert zu niedrig", "Ampl 1"},
        Fault{5, "stuck-output", 16, "Schaltausgang Test 2: FEHLER, falscher Pegel: H", "Sw 2"},
        Fault{14, "no-answer", 6, "Kontrolle Firmware 1: FEHLER, keine Messung", "FW 1"},
        Fault{14, "bad-amplitude", 18, "Ampl Test 1: gefüllter Schlauch, FEHLER, Wert zu niedrig", "Ampl 1"}),
    FaultName);
