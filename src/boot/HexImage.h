#pragma once
// Intel HEX files to and from the import buffer, and the ABS converter.

#include "boot/MemoryImages.h"
#include "lang/MessageIds.h"

#include <QString>

class QIODevice;

namespace vmx::app {
class Session;
}

namespace vmx::boot {

// The catalogue numbers by name.
using namespace lang::ids;

// The external ABS-to-HEX converter, found on the search path.
inline constexpr const char* kAbsConverter = "OH51";

class HexImage {
public:
    HexImage(app::Session& session, MemoryImages& images);

    // Reads a HEX file into the import buffer (first filled with 0xFF), accepting addresses up
    // to `limit`. The images are not touched.
    bool ImportHexFile(const QString& fileName, quint32 limit);
    // The line parser on an opened file, line by line as it is read; stores into the import
    // buffer as it goes. `readFailed` (if given) tells a read error from a refused record.
    bool ImportHexData(QIODevice& file, quint32 limit, bool* readFailed = nullptr);
    // The download's check of a firmware file before anything is erased: every record is a data
    // record (00) or the end record (01), and some data record puts bytes into start..end.
    // False with the record type and line, or the empty range, in panel 1.
    bool CheckFirmwareFile(const QString& fileName, quint32 start, quint32 end);
    // Writes the import buffer from start to end as 16-byte records and the end record.
    bool ExportHexData(const QString& fileName, quint32 start, quint32 end);
    // Runs the converter on an ABS file in the file's folder and waits for it.
    bool ConvertAbsToHex(const QString& fileName);

private:
    void Status(int caption, const QString& text);

    app::Session& session_;
    MemoryImages& images_;
};

} // namespace vmx::boot
