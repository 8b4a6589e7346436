#pragma once
// What the legacy-workbook reader process (vmx-xls-read) prints for the import. FreeXL reads
// .xls files in that process, so a file that upsets the library costs the import, never the
// program. Standard output, one line per cell, then the end line:
//
//   C <TAB> sheet row (1-based) <TAB> column (0-based) <TAB> text
//   N <TAB> sheet row <TAB> column <TAB> a number, exactly ("%.17g")
//   E
//
// The text escapes backslash, tab, line feed and carriage return as \\, \t, \n, \r. The exit
// code says how the reading went.

#include <string>
#include <string_view>

namespace vmx::monitor::xls {

inline constexpr const char* kReaderName = "vmx-xls-read";

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCannotOpen = 3; // not a workbook FreeXL opens
inline constexpr int kExitBadSheet = 4;   // no first sheet, or its size cannot be read

// Only what the import takes: the sheet rows up to the table's last and 16 columns.
inline constexpr unsigned kMaxSheetRow = 11 + 32000;
inline constexpr unsigned kMaxColumns = 16;

inline void AppendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

// False for a backslash that is not one of the four escapes.
inline bool Unescape(std::string_view text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace vmx::monitor::xls
