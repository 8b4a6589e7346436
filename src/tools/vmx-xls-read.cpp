// vmx-xls-read: reads the first sheet of a legacy .xls workbook with FreeXL and prints its
// cells for the Monitor's import (monitor/XlsReaderProtocol.h). It runs as a process of its
// own because FreeXL is not safe against damaged files; the importing program limits its time
// and memory and takes anything but a clean end as a failed import.
#include "monitor/XlsReaderProtocol.h"

#include <freexl.h>

#include <cstdio>
#include <string>

using namespace vmx::monitor;

namespace {

// Exact, so the import formats the number as it formats a workbook's own.
void AppendNumber(std::string& out, double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    out += buf;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: vmx-xls-read FILE.xls\n", stderr);
        return xls::kExitUsage;
    }
    const void* h = nullptr;
    if (freexl_open(argv[1], &h) != FREEXL_OK) {
        if (h) freexl_close(h);
        return xls::kExitCannotOpen;
    }
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_select_active_worksheet(h, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(h, &rows, &cols) != FREEXL_OK) {
        freexl_close(h);
        return xls::kExitBadSheet;
    }
    std::string line;
    for (unsigned r = 0; r < rows && r < xls::kMaxSheetRow; ++r) {
        for (unsigned short c = 0; c < cols && c < xls::kMaxColumns; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
            const bool number = v.type == FREEXL_CELL_DOUBLE;
            line =
                std::string(number ? "N\t" : "C\t") + std::to_string(r + 1) + '\t' + std::to_string(c) + '\t';
            switch (v.type) {
            case FREEXL_CELL_INT:
                line += std::to_string(v.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                AppendNumber(line, v.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (!v.value.text_value) continue;
                xls::AppendEscaped(line, v.value.text_value);
                break;
            default:
                continue;
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    }
    freexl_close(h);
    std::fputs("E\n", stdout);
    return std::fflush(stdout) == 0 ? xls::kExitOk : xls::kExitBadSheet;
}
