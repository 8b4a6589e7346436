#include "boot/BootLoader.h"

#include "lang/MessageIds.h"

#include "app/Session.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"
#include "proto/Protocol.h"

#include <algorithm>

namespace vmx::boot {

// The catalogue numbers by name.
using namespace lang::ids;

using namespace proto;
using lang::FormatMsg;

namespace {
constexpr int kBlock = proto::loader::kBlock;
constexpr quint32 kPage = proto::loader::kPageSize;
constexpr int kOldReadAnswer = proto::loader::kOldReadAnswer;
constexpr int kOldWriteLength = proto::loader::kOldWriteLength;
} // namespace

BootLoader::BootLoader(app::Session& session, link::Link& link, MemoryImages& images, Hooks& hooks)
    : BootLoader(session, link, link.protocol(), images, hooks)
{
}

BootLoader::BootLoader(app::Session& session, link::ByteLink& link, link::FrameProtocol& protocol,
                       MemoryImages& images, Hooks& hooks)
    : session_(&session), link_(&link), fp_(&protocol), images_(&images), hooks_(&hooks)
{
}

// The sensor type's generation decides the loader's dialect; the test module's own loader
// (channel 33) always speaks the framed one.
bool BootLoader::OldLoader() const
{
    return !toModule_ && (session_->sensor.Firmware == 100 || session_->sensor.Firmware == 110);
}
bool BootLoader::ShortCommands() const
{
    return !toModule_ && session_->sensor.Firmware == 110;
}
bool BootLoader::TwoStep() const
{
    return !toModule_ && session_->sensor.Has(app::Cap::Gen0530);
}

quint8 BootLoader::ReadCommand(int kind)
{
    switch (kind) {
    case KindCode:
        return cmd::ReadCode;
    case KindSram:
        return cmd::ReadSram;
    case KindEeprom:
        return cmd::ReadEeprom;
    case KindXram:
        return cmd::ReadXram;
    default:
        return 0;
    }
}

quint8 BootLoader::WriteCommand(int kind)
{
    switch (kind) {
    case KindCode:
        return cmd::WriteCode;
    case KindSram:
        return cmd::WriteSram;
    case KindEeprom:
        return cmd::WriteEeprom;
    case KindXram:
        return cmd::WriteXram;
    default:
        return 0;
    }
}

quint32 BootLoader::McuBootStart(int mcu)
{
    switch (mcu) {
    case 330:
        return 0x1A00;
    case 332:
        return 0x0C00;
    case 334:
        return 0x0400;
    default:
        return 0;
    }
}

void BootLoader::SelectMcu(int mcu)
{
    const quint32 b = McuBootStart(mcu);
    if (b == 0) return;
    mcuType = mcu;
    bootStart = b;
    bootEnd = b + kPage - 1;
    rangeStart[KindCode] = 0;
    rangeEnd[KindCode] = b - 1;
    hooks_->BootPageChanged();
}

void BootLoader::Status(const QString& text, int message, const QString& extra)
{
    session_->PanelText(1, text + session_->Msg(message) + extra);
}

void BootLoader::HostProgress(qint64 done, qint64 total)
{
    if (showProgress) session_->host().Progress(done, total);
}

void BootLoader::Progress(const QString& text, quint32 first, quint32 last)
{
    session_->PanelText(1, text + FormatMsg(session_->Msg(kMsgRange), first, last) + QStringLiteral("..."));
}

void BootLoader::Done(const QString& text, quint32 start, quint32 end)
{
    HostProgress(0, 0);
    session_->PanelText(1, text + FormatMsg(session_->Msg(kMsgRange), start, end) + session_->Msg(kMsgOkay));
}

bool BootLoader::Routed(int channel, const std::function<bool()>& op)
{
    // The test module's own loader is reached by switching the line, the frame stays address 1.
    const bool module = channel == kChannelModule;
    if (module) link_->ForceRTS(0);
    toModule_ = module;
    const bool ok = op();
    toModule_ = false;
    if (module) link_->ForceRTS(1);
    return ok;
}

// --- start, restart, ping, identification -----------------------------------------------------

bool BootLoader::BootStart()
{
    hooks_->StopAcquisition();
    const QString text = session_->Msg(kMsgStartBoot);
    if (ShortCommands()) return fp_->SendReceiveCommandV100(cmd::V100StartBoot, 1, 0, text);
    if (!TwoStep()) {
        if (!fp_->SendReceiveCommand(kTargetSensor, cmd::StartBoot, 5, 0, text)) return false;
        session_->Wait(100);
        link_->Purge_In();
        return true;
    }
    if (!fp_->SendReceiveCommand(kTargetSensor, cmd::StartBoot, 5, 0, text)) return false;
    session_->Wait(5);
    link_->Tx()[4] = 0xA0;
    if (!fp_->SendReceiveCommand(kTargetSensor, cmd::StartBoot2, 6, 0, session_->Msg(kMsgStartBoot2)))
        return false;
    link_->Purge_In();
    return true;
}

bool BootLoader::BootRestart(int channel, bool oneByteForOld)
{
    const QString text = session_->Msg(kMsgRestart);
    lastRestartUs = session_->clock().NowUs();
    if (channel != kChannelModule && (ShortCommands() || (oneByteForOld && OldLoader())))
        return Routed(channel, [&] { return fp_->SendReceiveCommandV100(cmd::V100BootRestart, 1, 0, text); });
    return fp_->SendReceiveCommand(channel, cmd::Restart, 5, 0, text);
}

bool BootLoader::BootPing(int channel, bool oneByteForOld)
{
    const QString text = session_->Msg(kMsgPing);
    if (channel != kChannelModule && (ShortCommands() || (oneByteForOld && OldLoader())))
        return Routed(channel, [&] { return fp_->SendReceiveCommandV100(cmd::V100Ping, 1, 1, text); });
    return fp_->SendReceiveCommand(channel, cmd::Ping, 5, 1, text);
}

bool BootLoader::BootIdent()
{
    const QString text = session_->Msg(kMsgBootIdent);
    const quint8* rx = link_->Rx();
    int at = 4;
    if (ShortCommands()) {
        link_->Purge_In();
        link_->Tx()[0] = cmd::V100BootIdent;
        if (link_->Write_Buffer(1) < 1) return Status(text, kMsgSendFailed), false;
        if (link_->Read_Buffer(kV100BootIdentAnswer) < kV100BootIdentAnswer)
            return Status(text, kMsgNoAnswer), false;
        if (rx[0] != cmd::V100BootIdent) return Status(text, 258, QString::asprintf(": %2.2X", rx[0])), false;
        at = 1;
    } else if (!fp_->SendReceiveCommand(kTargetSensor, cmd::BootIdent, 5, kBootIdentAnswer, text, true)) {
        return false;
    }
    std::copy(rx + at, rx + at + 16, identBytes.begin());
    const auto& b = identBytes;
    const int mcu = (int(b[4]) << 8) | b[5];
    session_->PanelText(1, text + IdentLine());
    if (McuBootStart(mcu) != 0) mcuType = mcu;
    bootStart = (quint32(b[2]) << 8) | b[3];
    bootEnd = bootStart + kPage - 1;
    // A sector at 0 leaves no code below it; keep the range empty rather than wrapping.
    rangeEnd[KindCode] = bootStart > 0 ? bootStart - 1 : 0;
    bootVersion = b[1];
    hooks_->BootPageChanged();
    return true;
}

QString BootLoader::IdentLine() const
{
    const auto& b = identBytes;
    const int mcu = (int(b[4]) << 8) | b[5];
    QString line = FormatMsg(session_->Msg(kMsgIdentLine), b[0], b[1], b[2], b[3], mcu);
    for (int i = 6; i < 16; ++i)
        line += QString::asprintf("%2.2X ", b[size_t(i)]);
    return line;
}

// --- blocks -----------------------------------------------------------------------------------

bool BootLoader::ReadAck(const QString& text)
{
    if (!fp_->WithAnswer() || TwoStep()) return true;
    if (link_->Read_Buffer(1) < 1) return Status(text, kMsgNoAnswer), false;
    if (fp_->WithAck()) {
        const quint8 b = link_->Rx()[0];
        if ((b & 0x0F) != kAddress)
            return Status(text, kMsgWrongAddress, QString::asprintf(": %2.2X", b & 0x0F)), false;
        if (b < 0x10 || b > 0x1F)
            return Status(text, kMsgWrongAck, QString::asprintf(": %2.2X", b & 0xF0)), false;
    }
    return true;
}

bool BootLoader::ReadBlock(int kind, quint32 addr, int count, const QString& text)
{
    quint8* tx = link_->Tx();
    const quint8* rx = link_->Rx();
    const auto image = images_->Image(kind);
    if (OldLoader()) {
        tx[0] = cmd::ReadCode;
        tx[1] = quint8(addr >> 8);
        tx[2] = quint8(addr);
        if (link_->Write_Buffer(3) < 3) return Status(text, kMsgSendFailed), false;
        if (link_->Read_Buffer(kOldReadAnswer) < kOldReadAnswer) return Status(text, kMsgNoAnswer), false;
        if (rx[0] != cmd::ReadCode)
            return Status(text, kMsgWrongAck, QString::asprintf(": %2.2X", rx[0])), false;
        const quint32 named = (quint32(rx[1]) << 8) | rx[2];
        if (named != addr) return Status(text, kMsgWrongAddress, QString::asprintf(": %4.4X", named)), false;
        std::copy(rx + 3, rx + 3 + kBlock, image.begin() + addr);
        return true;
    }
    const quint8 c = ReadCommand(kind);
    const int length = 9;
    const int answer = count + 8;
    tx[0] = quint8(kFrameStart + kAddress);
    tx[1] = 0;
    tx[2] = quint8(length);
    tx[3] = c;
    tx[4] = quint8(addr >> 16);
    tx[5] = quint8(addr >> 8);
    tx[6] = quint8(addr);
    tx[7] = quint8(count);
    tx[8] = fp_->GetCRC_Out();
    if (link_->Write_Buffer(length) < length) return Status(text, kMsgSendFailed), false;
    if (link_->Read_Buffer(answer) < answer) return Status(text, kMsgNoAnswer), false;
    if ((rx[0] & 0x0F) != kAddress)
        return Status(text, kMsgWrongAddress, QString::asprintf(": %2.2X", rx[0] & 0x0F)), false;
    if (rx[3] != c) return Status(text, kMsgWrongAck, QString::asprintf(": %2.2X", rx[3])), false;
    if (fp_->WithFrameCrc() && fp_->GetCRC_In() != rx[answer - 1]) return Status(text, kMsgFrameCrc), false;
    // An answer for another block is a wrong answer: taking its data where it says they belong
    // would leave the requested block unread (and a verify comparing nothing). Only the offset
    // in bytes 5-6 names the block; byte 4 (bits 16..23) is the loader's own and not looked at.
    const quint32 named = (quint32(rx[5]) << 8) | rx[6];
    if (named != (addr & 0xFFFF))
        return Status(text, kMsgWrongAddress, QString::asprintf(": %4.4X", named)), false;
    std::copy(rx + 7, rx + 7 + count, image.begin() + addr);
    return true;
}

bool BootLoader::WriteBlock(int kind, quint32 addr, int count, const QString& text)
{
    quint8* tx = link_->Tx();
    const auto image = images_->Image(kind);
    if (OldLoader()) {
        tx[0] = cmd::V100WriteBlock;
        tx[1] = quint8(addr >> 8);
        tx[2] = quint8(addr);
        std::copy(image.begin() + addr, image.begin() + addr + kBlock, tx + 3);
        tx[3 + kBlock] = cmd::V100WriteEnd;
        if (link_->Write_Buffer(kOldWriteLength) < kOldWriteLength)
            return Status(text, kMsgSendFailed), false;
        session_->Wait(1);
        return true;
    }
    tx[4] = quint8(addr >> 16);
    tx[5] = quint8(addr >> 8);
    tx[6] = quint8(addr);
    std::copy(image.begin() + addr, image.begin() + addr + count, tx + 7);
    if (!fp_->SendReceiveCommandSub(kAddress, WriteCommand(kind), count + 8, 0, text, true)) return false;
    const int pause = kind == KindEeprom ? count * 10 : count / 5;
    if (pause > 0) session_->Wait(pause);
    return ReadAck(text);
}

bool BootLoader::ErasePage(quint32 page, const QString& text)
{
    quint8* tx = link_->Tx();
    if (OldLoader()) {
        tx[0] = cmd::ErasePage;
        tx[1] = quint8(page >> 8);
        tx[2] = cmd::V100EraseEnd;
        if (link_->Write_Buffer(3) < 3) return Status(text, kMsgSendFailed), false;
        session_->Wait(50);
        return true;
    }
    tx[4] = quint8(page >> 16);
    tx[5] = quint8(page >> 8);
    tx[6] = 0x00;
    if (!fp_->SendReceiveCommandSub(kAddress, cmd::ErasePage, 8, 0, text, true)) return false;
    session_->Wait(40);
    return ReadAck(text);
}

bool BootLoader::OldRangeOk(int kind, quint32 start, quint32 end, int align, const QString& text)
{
    if (kind == KindCode && start % quint32(align) == 0 && end % quint32(align) == quint32(align - 1))
        return true;
    Status(text, kMsgPagesOnly);
    return false;
}

// --- memory operations ------------------------------------------------------------------------

bool BootLoader::ReadMemory(int channel, quint32 start, const QString& text, int kind, quint32 end)
{
    return Routed(channel, [&] { return ReadMemorySub(channel, start, text, kind, end); });
}

bool BootLoader::WriteMemory(int channel, quint32 start, const QString& text, int kind, quint32 end)
{
    return Routed(channel, [&] { return WriteMemorySub(channel, start, text, kind, end); });
}

bool BootLoader::EraseMemory(int channel, quint32 start, const QString& text, int kind, quint32 end)
{
    return Routed(channel, [&] { return EraseMemorySub(channel, start, text, kind, end); });
}

namespace {
// The top-down walk in 16-byte aligned blocks; `block` gets first address and count.
bool WalkDown(quint32 start, quint32 end, const std::function<bool(quint32, int)>& block)
{
    qint64 a = end;
    while (a >= qint64(start)) {
        const qint64 d = std::max<qint64>(a & ~qint64(kBlock - 1), start);
        if (!block(quint32(d), int(a - d + 1))) return false;
        a = d - 1;
    }
    return true;
}
} // namespace

bool BootLoader::TransferBlocks(quint32 start, const QString& text, int kind, quint32 end,
                                bool (BootLoader::*block)(int, quint32, int, const QString&))
{
    link_->Purge_In();
    if (end < start || !IsMemoryKind(kind) || end > KindLimit(kind))
        return Status(text, kMsgBadAddresses), false;
    if (OldLoader() && !OldRangeOk(kind, start, end, kBlock, text)) return false;
    const qint64 total = qint64(end) - start + 1;
    const bool ok = WalkDown(start, end, [&](quint32 d, int count) {
        if (!(this->*block)(kind, d, count, text)) return false;
        // Long ranges report every 256 bytes only, short ones every block.
        if (total <= 255)
            Progress(text, d, d + quint32(count) - 1);
        else if (d % 256 == 0)
            Progress(text, d, d + 255);
        HostProgress(qint64(end) - d + 1, total);
        session_->host().ProcessMessages();
        return true;
    });
    if (!ok) return HostProgress(0, 0), false;
    Done(text, start, end);
    return true;
}

bool BootLoader::ReadMemorySub(int /*channel*/, quint32 start, const QString& text, int kind, quint32 end)
{
    return TransferBlocks(start, text, kind, end, &BootLoader::ReadBlock);
}

bool BootLoader::WriteMemorySub(int /*channel*/, quint32 start, const QString& text, int kind, quint32 end)
{
    const bool ok = TransferBlocks(start, text, kind, end, &BootLoader::WriteBlock);
    // Late acknowledgements must not be taken for the next command's answer.
    link_->Purge_In();
    return ok;
}

bool BootLoader::EraseMemorySub(int /*channel*/, quint32 start, const QString& text, int kind, quint32 end)
{
    if (kind != KindCode || end < start || end > kCodeLimit || start % kPage != 0 || end % kPage != kPage - 1)
        return Status(text, kMsgPagesOnly), false;
    const qint64 total = (qint64(end) - start + 1) / kPage;
    qint64 done = 0;
    for (qint64 page = end & ~qint64(kPage - 1); page >= qint64(start); page -= kPage) {
        if (!ErasePage(quint32(page), text)) return HostProgress(0, 0), false;
        Progress(text, quint32(page), quint32(page) + kPage - 1);
        HostProgress(++done, total);
        session_->host().ProcessMessages();
    }
    Done(text, start, end);
    return true;
}

bool BootLoader::VerifyMemory(int channel, quint32 start, const QString& verifyText, const QString& readText,
                              int kind, quint32 end)
{
    if (!IsMemoryKind(kind) || end < start || end > KindLimit(kind))
        return Status(verifyText, kMsgBadAddresses), false;
    const auto image = images_->Image(kind);
    auto saved = images_->Buffer();
    std::copy(image.begin() + start, image.begin() + end + 1, saved.begin() + start);
    auto restore = [&] { std::copy(saved.begin() + start, saved.begin() + end + 1, image.begin() + start); };
    if (!ReadMemory(channel, start, readText, kind, end)) return restore(), false;
    for (quint32 a = start; a <= end; ++a) {
        if (image[a] != saved[a]) {
            session_->PanelText(1, verifyText + FormatMsg(session_->Msg(kMsgDiffers), a));
            restore();
            return false;
        }
    }
    session_->PanelText(1, verifyText + FormatMsg(session_->Msg(kMsgRange), start, end) +
                               session_->Msg(kMsgOkay));
    return true;
}

} // namespace vmx::boot
