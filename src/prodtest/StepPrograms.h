#pragma once
// The step programs of the production test as plain data: one row a step, naming its routine
// and arguments, so the tables can be listed, tested and printed, and the run controller
// dispatches on them.

#include <QString>
#include <QStringList>

#include <climits>
#include <vector>

namespace vmx::prodtest {

struct StepArg {
    enum class Kind { Int, Hex, Text, Field };
    Kind kind;
    int value;        // Int, Hex
    const char* text; // Text (UTF-8), Field (a condition field's name)
};

struct StepDef {
    int step;
    const char* routine; // null: a listed empty step
    std::vector<StepArg> args;
};

struct StepProgram {
    // Programs without steps have no bound: the step number only counts up.
    static constexpr int kNoBound = INT_MAX;
    int number;
    int rangeBound; // above it the step counter is reset to 0
    std::vector<StepDef> steps;
};

// Programs 0..14 and 20..29, in number order.
const std::vector<StepProgram>& StepPrograms();
// Null for a number without a table.
const StepProgram* FindProgram(int number);
// "CheckTK33Ident(1, 64)", "ControlWait(\"Start Messung ...\", 0)", "ProgCodeTK33(0x0200, 0x0800,
// 0x1BFF)", "-" for an empty step.
QString FormatStep(const StepDef& step);
// One line per listed step ("step<TAB>routine"), then "range bound<TAB>B" ("-" without one).
QStringList PrintProgram(const StepProgram& program);

} // namespace vmx::prodtest
