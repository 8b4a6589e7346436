#pragma once
// The sensor's boot loader memories and memory commands: 64 KiB code flash in 512-byte pages
// (erase sets 0xFF, writes only clear bits, the boot sector is protected), SRAM, XRAM and
// EEPROM; the framed command set and the old unframed one of firmware V1.00/V1.10.

#include "proto/Protocol.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace vmx::sim {

class BootLoader {
public:
    static constexpr int kFlashSize = int(proto::loader::kCodeSize);
    static constexpr int kPageSize = int(proto::loader::kPageSize);
    static constexpr int kSramSize = int(proto::loader::kSramSize);
    static constexpr int kXramSize = int(proto::loader::kXramSize);
    static constexpr int kEepromSize = int(proto::loader::kEepromSize);

    // The boot sector starts at `bootAddr` and holds the loader's own code (a fixed pattern).
    explicit BootLoader(int bootAddr = 0x1A00);

    // What a memory command did: whether it was one, whether it was accepted, what goes back.
    struct Result {
        bool handled = false;
        bool ok = false;
        QByteArray answer; // complete answer bytes (empty: nothing is sent)
        QString note;
    };

    // A complete, checked frame in the framed boot loader. `acknowledge` false: writes and
    // erases are not acknowledged (the 05.30 generation).
    Result Framed(const QByteArray& frame, bool acknowledge);
    // Bytes the old loader still needs after command byte `command` (0: not a memory command).
    static int OldCommandTail(quint8 command);
    // A complete old memory command (command byte first).
    Result Old(const QByteArray& bytes);

    void SetBootAddr(int bootAddr);
    int bootAddr() const { return bootAddr_; }
    bool InBootSector(int addr) const { return addr >= bootAddr_ && addr < bootAddr_ + kPageSize; }

    std::array<quint8, kFlashSize>& flash() { return flash_; }
    const std::array<quint8, kFlashSize>& flash() const { return flash_; }
    std::array<quint8, kSramSize>& sram() { return sram_; }
    std::array<quint8, kXramSize>& xram() { return xram_; }
    std::array<quint8, kEepromSize>& eeprom() { return eeprom_; }
    // The pattern the boot sector holds, byte i of the sector.
    static quint8 BootCodeByte(int i) { return quint8(0xA5 ^ (i * 7)); }

    int pageErases = 0;
    int blockWrites = 0;
    int blockReads = 0;
    // Fault for tests: read answers name an address this much higher than asked.
    int readAddressSkew = 0;

private:
    Result Read(quint8 c, quint32 addr, int count);
    Result Write(quint8 c, quint32 addr, const QByteArray& data, bool acknowledge);
    Result Erase(quint32 addr, bool acknowledge);
    // The memory of a read or write command and its size; null for another command.
    quint8* Memory(quint8 c, int& size);

    int bootAddr_;
    std::array<quint8, kFlashSize> flash_;
    std::array<quint8, kSramSize> sram_;
    std::array<quint8, kXramSize> xram_;
    std::array<quint8, kEepromSize> eeprom_;
};

} // namespace vmx::sim
