#pragma once
// The sensor firmware in the test module's own flash (CodeSegment_3, 0x0200..0x15FF), for the
// fast "F" programming: import of a firmware file into the code image, the transfer into the
// module (erase, write, verify on channel 33) and the check at the start of a run.

#include "testmodule/TestModule.h"

#include <QString>

namespace vmx::boot {
class BootLoader;
class HexImage;
class MemoryImages;
} // namespace vmx::boot

namespace vmx::testmodule {

class TestModuleFirmware {
public:
    TestModuleFirmware(TestModule& module, boot::BootLoader& boot, boot::HexImage& hex,
                       boot::MemoryImages& images);

    static constexpr quint32 kSegmentStart = 0x0200;
    static constexpr quint32 kSegmentEnd = 0x15FF;

    // A failed import leaves the code image as it was.
    bool ImportFirmware(const QString& fileName, const QString& caption);
    bool ProgCodeTK33(quint32 destination, quint32 sourceStart, quint32 sourceEnd);
    // Compares the whole segment destination .. destination + sourceEnd - sourceStart; the
    // check range of the step's table is kept in the call but no longer narrows the compare.
    bool ProgCodeTK33Check(quint32 destination, quint32 sourceStart, quint32 checkEnd, quint32 checkStart,
                           quint32 sourceEnd);

private:
    static bool SegmentRangeOk(quint32 destination, quint32 sourceStart, quint32 sourceEnd);
    // Source bytes to the destination inside the code image; overlapping ranges are safe.
    bool MoveInImage(quint32 destination, quint32 sourceStart, quint32 sourceEnd);

    TestModule* module_;
    boot::BootLoader* boot_;
    boot::HexImage* hex_;
    boot::MemoryImages* images_;
};

} // namespace vmx::testmodule
