#include "sim/BootLoader.h"

#include "proto/Protocol.h"

namespace vmx::sim {

using namespace proto;

namespace {

QByteArray FramedAnswer(quint8 command, const QByteArray& payload)
{
    const int len = int(payload.size()) + kMinFrameLength;
    QByteArray f;
    f.append(char(kFrameStart + kAddress));
    f.append(char(len >> 8));
    f.append(char(len & 0xFF));
    f.append(char(command));
    f.append(payload);
    f.append(char(0));
    f[len - 1] = char(FrameCrc(reinterpret_cast<const std::uint8_t*>(f.constData()), len));
    return f;
}

quint32 Addr24(const QByteArray& f, int at)
{
    return (quint32(quint8(f[at])) << 16) | (quint32(quint8(f[at + 1])) << 8) | quint8(f[at + 2]);
}

} // namespace

BootLoader::BootLoader(int bootAddr) : bootAddr_(bootAddr)
{
    flash_.fill(0xFF);
    sram_.fill(0x00);
    xram_.fill(0x00);
    eeprom_.fill(0xFF);
    SetBootAddr(bootAddr);
}

void BootLoader::SetBootAddr(int bootAddr)
{
    bootAddr_ = bootAddr;
    for (int i = 0; i < kPageSize && bootAddr_ + i < kFlashSize; ++i)
        flash_[size_t(bootAddr_ + i)] = BootCodeByte(i);
}

quint8* BootLoader::Memory(quint8 c, int& size)
{
    switch (c) {
    case cmd::ReadCode:
    case cmd::WriteCode:
        size = kFlashSize;
        return flash_.data();
    case cmd::ReadSram:
    case cmd::WriteSram:
        size = kSramSize;
        return sram_.data();
    case cmd::ReadXram:
    case cmd::WriteXram:
        size = kXramSize;
        return xram_.data();
    case cmd::ReadEeprom:
    case cmd::WriteEeprom:
        size = kEepromSize;
        return eeprom_.data();
    default:
        size = 0;
        return nullptr;
    }
}

BootLoader::Result BootLoader::Framed(const QByteArray& f, bool acknowledge)
{
    Result r;
    const quint8 c = quint8(f[3]);
    const int len = int(f.size());
    switch (c) {
    case cmd::ReadCode:
    case cmd::ReadSram:
    case cmd::ReadXram:
    case cmd::ReadEeprom:
        r.handled = true;
        if (len != 9) return r.note = QStringLiteral("bad length"), r;
        return Read(c, Addr24(f, 4), quint8(f[7]));
    case cmd::WriteCode:
    case cmd::WriteSram:
    case cmd::WriteXram:
    case cmd::WriteEeprom:
        r.handled = true;
        if (len < 9 || len > 24) return r.note = QStringLiteral("bad length"), r;
        return Write(c, Addr24(f, 4), f.mid(7, len - 8), acknowledge);
    case cmd::ErasePage:
        r.handled = true;
        if (len != 8 || f[6] != 0) return r.note = QStringLiteral("bad page"), r;
        return Erase(Addr24(f, 4), acknowledge);
    default:
        return r;
    }
}

BootLoader::Result BootLoader::Read(quint8 c, quint32 addr, int count)
{
    Result r;
    r.handled = true;
    int size = 0;
    const quint8* mem = Memory(c, size);
    if (count < 1 || count > 16 || addr + quint32(count) > quint32(size))
        return r.note = QStringLiteral("out of range"), r;
    const quint32 named = addr + quint32(readAddressSkew);
    QByteArray payload;
    payload.append(char(named >> 16));
    payload.append(char(named >> 8));
    payload.append(char(named));
    payload.append(reinterpret_cast<const char*>(mem + addr), count);
    ++blockReads;
    r.ok = true;
    r.answer = FramedAnswer(c, payload);
    return r;
}

BootLoader::Result BootLoader::Write(quint8 c, quint32 addr, const QByteArray& data, bool acknowledge)
{
    Result r;
    r.handled = true;
    int size = 0;
    quint8* mem = Memory(c, size);
    const quint32 n = quint32(data.size());
    if (addr + n > quint32(size)) return r.note = QStringLiteral("out of range"), r;
    if (c == cmd::WriteCode && int(addr + n) > bootAddr_ && int(addr) < bootAddr_ + kPageSize)
        return r.note = QStringLiteral("boot sector protected"), r;
    for (quint32 i = 0; i < n; ++i) {
        // Flash programming can only clear bits; the RAMs and the EEPROM take the byte.
        mem[addr + i] = c == cmd::WriteCode ? quint8(mem[addr + i] & quint8(data[i])) : quint8(data[i]);
    }
    ++blockWrites;
    r.ok = true;
    if (acknowledge) r.answer = QByteArray(1, char(kAck));
    return r;
}

BootLoader::Result BootLoader::Erase(quint32 addr, bool acknowledge)
{
    Result r;
    r.handled = true;
    const quint32 page = addr & ~quint32(kPageSize - 1);
    if (page >= quint32(kFlashSize)) return r.note = QStringLiteral("out of range"), r;
    if (InBootSector(int(page))) return r.note = QStringLiteral("boot sector protected"), r;
    for (int i = 0; i < kPageSize; ++i)
        flash_[page + quint32(i)] = 0xFF;
    ++pageErases;
    r.ok = true;
    if (acknowledge) r.answer = QByteArray(1, char(kAck));
    return r;
}

int BootLoader::OldCommandTail(quint8 command)
{
    switch (command) {
    case cmd::ReadCode:
        return 2;
    case cmd::V100WriteBlock:
        return 19;
    case cmd::ErasePage:
        return 2;
    default:
        return 0;
    }
}

BootLoader::Result BootLoader::Old(const QByteArray& b)
{
    Result r;
    if (b.isEmpty() || b.size() != 1 + OldCommandTail(quint8(b[0]))) return r;
    r.handled = true;
    const quint32 addr = (quint32(quint8(b[1])) << 8) | quint8(b[2]);
    switch (quint8(b[0])) {
    case cmd::ReadCode: {
        if (addr % 16 != 0) return r.note = QStringLiteral("unaligned"), r;
        ++blockReads;
        r.ok = true;
        r.answer = b.left(3);
        r.answer.append(reinterpret_cast<const char*>(flash_.data() + addr), 16);
        return r;
    }
    case cmd::V100WriteBlock: {
        if (quint8(b[19]) != cmd::V100WriteEnd || addr % 16 != 0)
            return r.note = QStringLiteral("bad block"), r;
        r = Write(cmd::WriteCode, addr, b.mid(3, 16), false);
        return r;
    }
    case cmd::ErasePage: {
        if (quint8(b[2]) != cmd::V100EraseEnd) return r.note = QStringLiteral("bad erase"), r;
        r = Erase(quint32(quint8(b[1])) << 8, false);
        return r;
    }
    default:
        return r;
    }
}

} // namespace vmx::sim
