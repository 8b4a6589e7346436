#pragma once
// Runs made by hand for the history's tests: each with one step attempt and one measurement.
#include "history/SqlHistoryStore.h"

#include <QUuid>

#include <gtest/gtest.h>

namespace vmx::testing {

using namespace vmx::history;

inline QDateTime At(const char* local)
{
    return QDateTime::fromString(QLatin1String(local), Qt::ISODate).toUTC();
}

// One finished (or aborted, or unfinished) run of a unit, with one step attempt.
struct Made {
    const char* serial;
    const char* label;
    const char* station;
    const char* batch;
    const char* start; // local time
    const char* end;   // "okay", "FEHLER", "aborted" or "" (still running)
};

inline void Add(SqlHistoryStore& s, const Made& m)
{
    RunStart r;
    r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.serial = QLatin1String(m.serial);
    r.sensorType = QStringLiteral("5028143");
    r.label = QLatin1String(m.label);
    r.program = 5;
    r.batch = QLatin1String(m.batch);
    r.started = At(m.start);
    ASSERT_TRUE(s.BeginRun(r)) << s.lastError().toStdString();
    StepAttempt a;
    a.runUuid = r.uuid;
    a.step = 1;
    a.routine = QStringLiteral("GetAmplMeas");
    a.started = r.started;
    a.texts = {{QStringLiteral("blue"), QStringLiteral("Ampl Test 1 --> okay")}};
    a.measurements = {{QStringLiteral("Ampl 1"), QStringLiteral("402"), 402.0, QString(), 350.0, 450.0, 1}};
    ASSERT_TRUE(s.AddStepAttempt(a)) << s.lastError().toStdString();
    const QString end = QLatin1String(m.end);
    if (end.isEmpty()) return;
    RunEnd e{r.uuid, end == QLatin1String("aborted") ? RunState::Aborted : RunState::Done,
             end == QLatin1String("aborted") ? QStringLiteral("FEHLER") : end, QString(),
             r.started.addSecs(60)};
    ASSERT_TRUE(s.EndRun(e)) << s.lastError().toStdString();
}

} // namespace vmx::testing
