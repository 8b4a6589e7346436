// The step tables against a fixture typed from the station's documentation: every program,
// step, argument, empty step and range bound, in the form `vmxctl test program N` prints.
#include "prodtest/StepPrograms.h"

#include <QFile>

#include "TestPaths.h"
#include <gtest/gtest.h>

using namespace vmx::prodtest;

TEST(StepPrograms, EveryTableEqualsTheFixture)
{
    QFile f(testpaths::Bin(QStringLiteral("fixtures/step-tables.txt")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList fixture = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList printed;
    for (const StepProgram& p : StepPrograms()) {
        printed << QStringLiteral("program %1").arg(p.number);
        printed << PrintProgram(p);
    }
    ASSERT_EQ(printed.size(), fixture.size());
    for (qsizetype i = 0; i < printed.size(); ++i)
        EXPECT_EQ(printed[i].toStdString(), fixture[i].toStdString()) << "line " << i + 1;
}

TEST(StepPrograms, NumbersWithoutATableAndTheStepsOfATable)
{
    for (int n : {-1, 15, 19, 30, 99})
        EXPECT_EQ(FindProgram(n), nullptr) << n;
    const StepProgram* p13 = FindProgram(13);
    ASSERT_NE(p13, nullptr);
    EXPECT_EQ(p13->rangeBound, 59);
    // Steps are numbered without gaps from 0; the listed empty steps have no routine.
    for (size_t i = 0; i < p13->steps.size(); ++i)
        EXPECT_EQ(p13->steps[i].step, int(i));
    EXPECT_EQ(p13->steps[16].routine, nullptr);
    EXPECT_EQ(FormatStep(FindProgram(20)->steps[3]), QStringLiteral("ProgCodeTK33(0x0200, 0x0800, 0x1BFF)"));
    EXPECT_EQ(FormatStep(FindProgram(21)->steps[8]), QStringLiteral("ControlWait(\"SiLab: Löschen\", 0)"));
    EXPECT_TRUE(FindProgram(10)->steps.empty());
    EXPECT_EQ(PrintProgram(*FindProgram(23)), QStringList{QStringLiteral("range bound\t-")});
}
