#pragma once
// The wire format: command frames, streamed records, command codes, answer lengths and the
// boot loader's memory layout and pauses. One header for the program and the simulated
// devices, so both speak from the same table. Header-only and QtCore-free on purpose: the
// lowest layer, included by sim/ without pulling in anything else.

#include <cstdint>

namespace vmx::proto {

// Line settings, fixed for every link.
inline constexpr int kBaudRate = 115200;
// 8N1: ten bit times per byte.
inline constexpr int kBytesPerSecond = kBaudRate / 10; // 11520
// Time the n-th byte of a run needs to be complete, in microseconds (exact, no drift).
inline constexpr std::int64_t BytesToUs(std::int64_t n)
{
    return (n * 1000000 + kBytesPerSecond - 1) / kBytesPerSecond;
}

inline constexpr int kBufferSize = 32768;

// Frame layout.
inline constexpr std::uint8_t kFrameStart = 0xF0; // + address
inline constexpr std::uint8_t kAddress = 1;
inline constexpr std::uint8_t kAckBase = 0x10; // + address
inline constexpr std::uint8_t kAck = kAckBase + kAddress;
inline constexpr int kMinFrameLength = 5;
inline constexpr std::uint8_t kCrcStart = 0xF1;
inline constexpr std::uint8_t kCrcPoly = 0xD4;

// Targets of an exchange: they change the line routing only, not the frame.
inline constexpr int kTargetSensor = 1;
inline constexpr int kTargetModule = 33;
// Payload of the second step that puts a 05.30 sensor into its service mode.
inline constexpr std::uint8_t k0530ServiceKey = 0xA1;

// Streamed measurement records.
inline constexpr std::uint8_t kLongStart = 0xFF;
inline constexpr std::uint8_t kShortStart = 0xFE;
inline constexpr int kLongRecord = 5;
inline constexpr int kShortRecord = 3;
inline constexpr int kRecordsPerBlock = 16;
inline constexpr int kLongBlock = kLongRecord * kRecordsPerBlock;   // 80
inline constexpr int kShortBlock = kShortRecord * kRecordsPerBlock; // 48
inline constexpr std::uint8_t kLongCrcStart = 0xFF;
inline constexpr std::uint8_t kShortCrcStart = 0xFE;

// The checksum step of the frames: one XOR and exactly one shift per byte.
inline constexpr std::uint8_t CrcStep(std::uint8_t c, std::uint8_t byte)
{
    c = std::uint8_t(c ^ byte);
    return (c & 0x80) ? std::uint8_t(std::uint8_t(c << 1) ^ kCrcPoly) : std::uint8_t(c << 1);
}

// Steps `n` bytes from `start` and keeps the 6-bit result.
inline constexpr std::uint8_t Crc6(std::uint8_t start, const std::uint8_t* bytes, int n)
{
    std::uint8_t c = start;
    for (int i = 0; i < n; ++i)
        c = CrcStep(c, bytes[i]);
    return std::uint8_t(c & 0x3F);
}

// Frame checksum of a frame whose length field (bytes 1-2) says N: bytes 1 .. N-2. A length of
// 2 or less steps nothing (0x31). `available` bounds the bytes that may be read.
inline constexpr std::uint8_t FrameCrc(const std::uint8_t* frame, int available)
{
    const int n = (int(frame[1]) << 8) | frame[2];
    int last = n - 2;
    if (last > available - 1) last = available - 1;
    if (last < 1) return std::uint8_t(kCrcStart & 0x3F);
    return Crc6(kCrcStart, frame + 1, last);
}

// Command codes. Framed, to the sensor application (target 1).
namespace cmd {
inline constexpr std::uint8_t BootIdent = 0x15;
inline constexpr std::uint8_t Restart = 0x16;
inline constexpr std::uint8_t StartBoot = 0x22;
inline constexpr std::uint8_t MeasData = 0x23;
inline constexpr std::uint8_t GetIdent = 0x25;
inline constexpr std::uint8_t Ping = 0x29;
inline constexpr std::uint8_t SetLed = 0x31;
inline constexpr std::uint8_t SetSerialMode = 0x32;
inline constexpr std::uint8_t BubbleTest = 0x33;
inline constexpr std::uint8_t TempAdjusting = 0x34;
inline constexpr std::uint8_t SetSerialMode2 = 0x35;
inline constexpr std::uint8_t StartBoot2 = 0x36;
inline constexpr std::uint8_t ReadCal = 0x37;
inline constexpr std::uint8_t SetGain = 0x38;

// Boot loader memory commands (framed).
inline constexpr std::uint8_t ReadCode = 0x11;
inline constexpr std::uint8_t WriteSram = 0x12;
inline constexpr std::uint8_t WriteCode = 0x13;
inline constexpr std::uint8_t ErasePage = 0x14;
inline constexpr std::uint8_t ReadSram = 0x17;
inline constexpr std::uint8_t WriteEeprom = 0x18;
inline constexpr std::uint8_t ReadEeprom = 0x19;
inline constexpr std::uint8_t WriteXram = 0x1A;
inline constexpr std::uint8_t ReadXram = 0x1B;

// Unframed commands of firmware V1.00/V1.10.
inline constexpr std::uint8_t V100Ping = 0x10;
inline constexpr std::uint8_t V100BootIdent = 0x15;
inline constexpr std::uint8_t V100BootRestart = 0x16;
inline constexpr std::uint8_t V100Restart = 0xA0;
inline constexpr std::uint8_t V100StartBoot = 0xAA;
inline constexpr std::uint8_t V100ConfigBase = 0x40; // 64 + LED bits + mode bits
inline constexpr std::uint8_t V100WriteBlock = 0x12;
inline constexpr std::uint8_t V100WriteEnd = 0xA4;
inline constexpr std::uint8_t V100EraseEnd = 0xA5;

// Test module (target 33, framed).
inline constexpr std::uint8_t TmIdent = 0x25;
inline constexpr std::uint8_t TmPing = 0x29;
inline constexpr std::uint8_t TmLed = 0x31;
inline constexpr std::uint8_t TmPower = 0x41;
inline constexpr std::uint8_t TmOdDt = 0x42;
inline constexpr std::uint8_t TmSerialIf = 0x43;
inline constexpr std::uint8_t TmPicLines = 0x44;
inline constexpr std::uint8_t TmC2Init = 0x45;
inline constexpr std::uint8_t TmC2Reset = 0x46;
inline constexpr std::uint8_t TmC2EraseAll = 0x47;
inline constexpr std::uint8_t TmC2PageErase = 0x48;
inline constexpr std::uint8_t TmC2Write = 0x49;
inline constexpr std::uint8_t TmC2Read = 0x4A;
inline constexpr std::uint8_t TmPicErase = 0x4C;
inline constexpr std::uint8_t TmPicWrite = 0x4D;
inline constexpr std::uint8_t TmPicRead = 0x4E;
inline constexpr std::uint8_t TmC2Write2 = 0x4F;
inline constexpr std::uint8_t TmQvr02Start = 0x51;
inline constexpr std::uint8_t TmQvr02Stop = 0x52;
inline constexpr std::uint8_t TmMeasStart = 0x53;
inline constexpr std::uint8_t TmMeasStop = 0x54;
inline constexpr std::uint8_t TmBubbleTest = 0x55;
} // namespace cmd

// Answer lengths the program expects (A).
inline constexpr int kIdentAnswer = 21;
inline constexpr int kCalAnswer = 21;
inline constexpr int kBootIdentAnswer = 21;
inline constexpr int kV100BootIdentAnswer = 17;
inline constexpr int kGainAnswer = 9;
// The polled measurement answer: 21 bytes below firmware V1.24, 22 from it on.
inline constexpr int kMeasFirmwareWithOut = 124;
inline constexpr int MeasAnswerLength(int firmware)
{
    return firmware < kMeasFirmwareWithOut ? 21 : 22;
}

// The boot loader's memories. The kind number is what every memory operation is given.
namespace loader {
inline constexpr int kCode = 0;
inline constexpr int kSram = 1;
inline constexpr int kEeprom = 2;
inline constexpr int kXram = 3;
inline constexpr int kKindCount = 4;
inline constexpr std::uint32_t kCodeSize = 0x10000;
inline constexpr std::uint32_t kSramSize = 256;
inline constexpr std::uint32_t kEepromSize = 256;
inline constexpr std::uint32_t kXramSize = 512;
// Flash is erased and written in pages; transfers move blocks of 16 bytes.
inline constexpr std::uint32_t kPageSize = 512;
inline constexpr int kBlock = 16;
// The unframed loader of V1.00/V1.10: a read answers 19 bytes, a write frame is 20 long.
inline constexpr int kOldReadAnswer = 19;
inline constexpr int kOldWriteLength = 20;
} // namespace loader

// Pauses the sensor needs (ms).
namespace pause {
inline constexpr int kAfterRestart = 1000;  // a restart until the application answers
inline constexpr int kAfterMode = 100;      // a new output mode is taken
inline constexpr int kBetween0530Steps = 5; // the two steps of the 05.30 generation's commands
inline constexpr int kPowerCycle = 500;     // power off, then on again
} // namespace pause

// Serial interface types of the test module's command 0x43.
inline constexpr int kIfSlave = 0;
inline constexpr int kIfMaster = 1;
inline constexpr int kIfRs232 = 2;

// CBUS bit-bang of the line adapter: high nibble the outputs, low nibble the directions.
inline constexpr std::uint8_t kBitModeCbus = 0x20;
inline constexpr std::uint8_t kCbusPowerOff = 0x40;                      // CBUS2 driven high
inline constexpr std::uint8_t kCbusTestPulse = 0x80;                     // CBUS3 driven high
inline constexpr std::uint8_t kCbusInputs = 0x0C;                        // CBUS2 and CBUS3 released
inline constexpr std::uint8_t kCbusTestHighMask = kCbusTestPulse | 0x0C; // CBUS3 an output, high
inline constexpr std::uint8_t kCbusPowerOffMask = kCbusPowerOff | 0x0C;  // CBUS2 an output, high

} // namespace vmx::proto
