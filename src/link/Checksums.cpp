#include "link/Checksums.h"

#include "proto/Protocol.h"

namespace vmx::link {

quint8 FrameChecksum(const quint8* buffer)
{
    return proto::FrameCrc(buffer, proto::kBufferSize);
}

quint8 LongRecordChecksum(const quint8* buffer, int record)
{
    return proto::Crc6(proto::kLongCrcStart, buffer + record * proto::kLongRecord + 1, 3);
}

quint8 ShortRecordChecksum(const quint8* buffer, int record)
{
    return proto::Crc6(proto::kShortCrcStart, buffer + record * proto::kShortRecord + 1, 1);
}

quint8 CalChecksum(const quint8* block16)
{
    return proto::Crc6(block16[0], block16 + 1, 14);
}

} // namespace vmx::link
