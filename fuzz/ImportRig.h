#pragma once
// The measurement table's import as the import targets drive it: store, table and files on a
// quiet session, an import clearing what the last input left, as the station does.
#include "FuzzSupport.h"
#include "monitor/MeasFiles.h"
#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

#include <QDateTime>

namespace vmx::fuzz {

struct ImportRig final : monitor::MeasFiles::Events {
    Env env;
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    monitor::MeasFiles files{env.session, store, table, *this};

    void ClearForImport() override
    {
        table.Clear();
        store.Reset();
    }
    void Imported(int) override {}
    QDateTime Now() override { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)); }
};

} // namespace vmx::fuzz
