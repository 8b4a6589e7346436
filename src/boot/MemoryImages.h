#pragma once
// The PC-side images of the sensor's four memories and the 64 KiB buffer that HEX import
// fills and verify compares against.

#include "proto/Protocol.h"

#include <QtGlobal>

#include <array>
#include <span>

namespace vmx::boot {

// The number is what every memory operation is given.
enum MemoryKind : int {
    KindCode = proto::loader::kCode,
    KindSram = proto::loader::kSram,
    KindEeprom = proto::loader::kEeprom,
    KindXram = proto::loader::kXram
};
inline constexpr int kMemoryKindCount = proto::loader::kKindCount;

inline constexpr quint32 kCodeLimit = proto::loader::kCodeSize - 1;
inline constexpr quint32 kSramLimit = proto::loader::kSramSize - 1;
inline constexpr quint32 kEepromLimit = proto::loader::kEepromSize - 1;
inline constexpr quint32 kXramLimit = proto::loader::kXramSize - 1;
inline constexpr int kBufferSize = int(proto::loader::kCodeSize);

// Highest address of a kind (also the clamp of the address edits); 0 for an unknown kind.
constexpr quint32 KindLimit(int kind)
{
    switch (kind) {
    case KindCode:
        return kCodeLimit;
    case KindSram:
        return kSramLimit;
    case KindEeprom:
        return kEepromLimit;
    case KindXram:
        return kXramLimit;
    default:
        return 0;
    }
}

constexpr bool IsMemoryKind(int kind)
{
    return kind >= KindCode && kind <= KindXram;
}

// Limit for a HEX import or export from the checked memory buttons (indexed by kind). Several
// checked: EEPROM wins over XRAM, XRAM over SRAM, SRAM over code; none checked gives 0.
quint32 CheckedKindLimit(const std::array<bool, kMemoryKindCount>& checked);

class MemoryImages {
public:
    // Everything erased (0xFF), as the sensor's own memories read after an erase.
    MemoryImages();

    std::span<quint8> Image(int kind);
    std::span<const quint8> Image(int kind) const;

    // Import buffer of HEX files; the same bytes serve verify as its saved copy.
    std::span<quint8> Buffer() { return buffer_; }
    std::span<const quint8> Buffer() const { return buffer_; }

    void FillImage(int kind, quint8 value = 0xFF);
    void FillBuffer(quint8 value = 0xFF);

    // Copies addresses start..end between the buffer and the kind's image. The range is cut to
    // the kind's limit; false (and nothing copied) for an unknown kind or an empty range.
    bool BufferToImage(int kind, quint32 start = 0, quint32 end = kCodeLimit);
    bool ImageToBuffer(int kind, quint32 start = 0, quint32 end = kCodeLimit);

private:
    std::array<quint8, kCodeLimit + 1> code_;
    std::array<quint8, kSramLimit + 1> sram_;
    std::array<quint8, kEepromLimit + 1> eeprom_;
    std::array<quint8, kXramLimit + 1> xram_;
    std::array<quint8, kBufferSize> buffer_;
};

} // namespace vmx::boot
