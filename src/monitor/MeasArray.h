#pragma once

#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

#include <QString>

namespace vmx::monitor {

// Number of samples in the table: the highest row whose "Ix" cell is not empty, searched from
// the table's last row down (0 when there is none). The last row (store item 32000) counts,
// so a full store is exported whole.
int GetMaxItem(const MeasTableModel& table);

// File version of an imported file from its version line: 0 for this program's own files,
// 100 + n for "V1.n" of the older monitors (V1.10 -> 110).
int FileVersion(const QString& versionText);

// Files of these versions have the older column order.
bool IsOldLayout(int fileVersion);

// A cell's integer value, blanks removed; a failed conversion sets `error` (and stays set)
// and gives 0.
int CellValue(const QString& text, bool& error);

// Rebuilds the store from the table after an import: the older layout is rearranged first;
// every row with an "Ix" fills store item row - 1. Returns the new store index
// (max(0, last row - 1)), which is also set in the store.
int SetMeasArray(MeasTableModel& table, MeasurementStore& store, int fileVersion, bool& error);

} // namespace vmx::monitor
