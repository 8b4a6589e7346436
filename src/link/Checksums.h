#pragma once
// The frame and record checksums on the program's buffers.

#include <QtGlobal>

namespace vmx::link {

// Frame checksum of the frame in a buffer (length from bytes 1-2, bounded by the buffer).
quint8 FrameChecksum(const quint8* buffer);
// Streamed measurement record i of a receive buffer: long (5-byte) and short (3-byte) records.
quint8 LongRecordChecksum(const quint8* buffer, int record);
quint8 ShortRecordChecksum(const quint8* buffer, int record);
// The calibration block: start value byte 0, steps over bytes 1..14 (compared with byte 15).
quint8 CalChecksum(const quint8* block16);

} // namespace vmx::link
