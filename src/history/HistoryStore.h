#pragma once
// The one interface the station uses to keep and read the unit history. Every write is one
// transaction that is on disk when it returns true; false says why in lastError().

#include "history/HistoryRecords.h"

namespace vmx::history {

class HistoryStore {
public:
    virtual ~HistoryStore() = default;

    virtual bool BeginRun(const RunStart& run) = 0;
    virtual bool AddStepAttempt(const StepAttempt& attempt) = 0;
    virtual bool EndRun(const RunEnd& end) = 0;
    virtual bool AddServiceEvent(const ServiceEvent& event) = 0;
    virtual QString lastError() const = 0;
    // The name this station writes under.
    virtual QString station() const = 0;

    // Runs a filter finds, newest first, one page of them.
    virtual std::vector<RunRow> Runs(const Filter& filter, int limit, int offset) = 0;
    // A run's step attempts with texts and measurements, in the order they ran.
    virtual std::vector<StepAttempt> Steps(const QString& runUuid) = 0;
    // A unit's service events, newest first (`sensorType` empty: any type).
    virtual std::vector<ServiceEvent> Events(const QString& serial, const QString& sensorType) = 0;
    virtual std::vector<YieldRow> Yield(GroupBy by, const Filter& filter) = 0;
};

} // namespace vmx::history
