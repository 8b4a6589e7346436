#include "boot/MemoryImages.h"

#include <algorithm>

namespace vmx::boot {

quint32 CheckedKindLimit(const std::array<bool, kMemoryKindCount>& checked)
{
    for (int kind : {KindEeprom, KindXram, KindSram, KindCode})
        if (checked[size_t(kind)]) return KindLimit(kind);
    return 0;
}

MemoryImages::MemoryImages()
{
    for (int kind = 0; kind < kMemoryKindCount; ++kind)
        FillImage(kind);
    FillBuffer();
}

std::span<quint8> MemoryImages::Image(int kind)
{
    switch (kind) {
    case KindCode:
        return code_;
    case KindSram:
        return sram_;
    case KindEeprom:
        return eeprom_;
    case KindXram:
        return xram_;
    default:
        return {};
    }
}

std::span<const quint8> MemoryImages::Image(int kind) const
{
    return const_cast<MemoryImages*>(this)->Image(kind);
}

void MemoryImages::FillImage(int kind, quint8 value)
{
    const auto image = Image(kind);
    std::fill(image.begin(), image.end(), value);
}

void MemoryImages::FillBuffer(quint8 value)
{
    buffer_.fill(value);
}

bool MemoryImages::BufferToImage(int kind, quint32 start, quint32 end)
{
    if (!IsMemoryKind(kind)) return false;
    end = std::min(end, KindLimit(kind));
    if (start > end) return false;
    const auto image = Image(kind);
    std::copy(buffer_.begin() + start, buffer_.begin() + end + 1, image.begin() + start);
    return true;
}

bool MemoryImages::ImageToBuffer(int kind, quint32 start, quint32 end)
{
    if (!IsMemoryKind(kind)) return false;
    end = std::min(end, KindLimit(kind));
    if (start > end) return false;
    const auto image = Image(kind);
    std::copy(image.begin() + start, image.begin() + end + 1, buffer_.begin() + start);
    return true;
}

} // namespace vmx::boot
