#pragma once
// The measurement files' events for tests and benches without a station: an import clears
// the table and the store, as the station does; the header's time is `now` when set.

#include "monitor/MeasFiles.h"
#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

#include <QDateTime>

namespace vmx::test {

struct MeasFileEvents final : monitor::MeasFiles::Events {
    MeasFileEvents(monitor::MeasurementStore& store, monitor::MeasTableModel& table)
        : store_(store), table_(table)
    {
    }
    QDateTime now;
    int imported = -1; // the store index the last import ended at

    void ClearForImport() override
    {
        table_.Clear();
        store_.Reset();
    }
    void Imported(int storeIndex) override { imported = storeIndex; }
    QDateTime Now() override { return now.isValid() ? now : QDateTime::currentDateTime(); }

private:
    monitor::MeasurementStore& store_;
    monitor::MeasTableModel& table_;
};

} // namespace vmx::test
