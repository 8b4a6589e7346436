#pragma once
// What the run controller tells the unit history as a unit goes through its program. The
// station implements it and gives it to the controller when it builds it. Each call returns
// false with the reason when the history did not take it: the controller shows that in red and
// the unit does not pass.

#include "app/Host.h"
#include "prodtest/TestResults.h"

#include <QDateTime>
#include <QString>

#include <utility>
#include <vector>

namespace vmx::prodtest {

// One run of one step: what the status line showed, whether it halted on a failure, and the
// outcomes it changed.
struct StepReport {
    int step = 0;
    QString routine;
    std::vector<std::pair<app::CommentColour, QString>> texts;
    bool failed = false;
    QDateTime started; // UTC
    qint64 durationMs = 0;
    std::vector<Outcome> outcomes;
};

class RunLog {
public:
    virtual ~RunLog() = default;
    // The unit leaves step 0: its run begins, with the operator's entries as they stand.
    virtual bool UnitStarted(QString* why) = 0;
    virtual bool StepEnded(const StepReport& step, QString* why) = 0;
    // The unit's end with its verdict (`aborted`: ABBRECHEN ended it).
    virtual bool UnitEnded(bool aborted, QString* why) = 0;
};

} // namespace vmx::prodtest
