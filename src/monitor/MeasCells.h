#pragma once

#include "monitor/MeasTableModel.h"

#include <QByteArray>

#include <array>
#include <string_view>

namespace vmx::monitor {

// The 16 cells of one table row as bytes, without building 16 strings per row: sample rows
// are formatted straight into a buffer (exactly as the table shows them), imported rows are
// encoded once and split at their tabs.
struct RowCells {
    std::array<std::string_view, 16> cell;
    char buf[192];
    QByteArray bytes;
};

enum class CellEncoding { Windows1252, Utf8 };

// Row 0 gives the headings; an empty row gives 16 empty cells.
void GetRowCells(const MeasTableModel& table, int row, CellEncoding enc, RowCells& out);

} // namespace vmx::monitor
