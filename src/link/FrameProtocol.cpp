#include "link/FrameProtocol.h"

#include "app/MonitorConfig.h"
#include "app/Session.h"
#include "link/Checksums.h"

namespace vmx::link {

using namespace proto;

int OperationMessage(int target, quint8 c)
{
    if (target == kTargetModule) {
        switch (c) {
        case cmd::TmIdent:
            return 349;
        case cmd::TmPing:
            return 260;
        case cmd::TmLed:
            return 270;
        case cmd::TmSerialIf:
            return 376;
        default:
            return -1;
        }
    }
    switch (c) {
    case cmd::BootIdent:
        return 300;
    case cmd::Restart:
        return 268;
    case cmd::StartBoot:
        return 272;
    case cmd::MeasData:
        return 284;
    case cmd::GetIdent:
        return 349;
    case cmd::Ping:
        return 260;
    case cmd::SetLed:
        return 270;
    case cmd::SetSerialMode:
        return 271;
    case cmd::BubbleTest:
        return 269;
    case cmd::TempAdjusting:
        return 382;
    case cmd::SetSerialMode2:
        return 384;
    case cmd::StartBoot2:
        return 385;
    case cmd::ReadCal:
        return 421;
    case cmd::SetGain:
        return 462;
    case cmd::ReadCode:
        return 273;
    case cmd::WriteCode:
        return 277;
    case cmd::ErasePage:
        return 276;
    case cmd::ReadSram:
        return 303;
    case cmd::WriteSram:
        return 306;
    case cmd::ReadEeprom:
        return 304;
    case cmd::WriteEeprom:
        return 307;
    case cmd::ReadXram:
        return 378;
    case cmd::WriteXram:
        return 379;
    default:
        return -1;
    }
}

FrameProtocol::FrameProtocol(app::Session& session, ByteLink& link) : session_(&session), link_(&link)
{
    ApplyConfig(session.config);
}

void FrameProtocol::SetWithAck(bool on)
{
    if (withAck_ == on) return;
    withAck_ = on;
}

void FrameProtocol::SetWithAnswer(bool on)
{
    if (withAnswer_ == on) return;
    withAnswer_ = on;
}

void FrameProtocol::SetWithFrameCrc(bool on)
{
    if (withFrameCrc_ == on) return;
    withFrameCrc_ = on;
}

void FrameProtocol::ApplyConfig(const app::MonitorConfig& c)
{
    withAck_ = c.WithAck;
    withAnswer_ = c.WithAnswer;
    withFrameCrc_ = c.WithFrameCrc;
}

void FrameProtocol::Status(const QString& opText, int message, const QString& extra)
{
    session_->PanelText(1, opText + session_->Msg(message) + extra);
}

quint8 FrameProtocol::GetCRC_Out() const
{
    return FrameChecksum(link_->Tx());
}
quint8 FrameProtocol::GetCRC_In() const
{
    return FrameChecksum(link_->Rx());
}
quint8 FrameProtocol::GetCRC_long(int record) const
{
    return LongRecordChecksum(link_->Rx(), record);
}
quint8 FrameProtocol::GetCRC_short(int record) const
{
    return ShortRecordChecksum(link_->Rx(), record);
}
quint8 FrameProtocol::GetCRC_Cal(const quint8* block16)
{
    return CalChecksum(block16);
}

bool FrameProtocol::SendReceiveCommand(int target, quint8 command, int frameLength, int answerLength,
                                       const QString& opText, bool quiet)
{
    const bool module = target == kTargetModule;
    if (module) link_->ForceRTS(0);
    const bool ok = SendReceiveCommandSub(kAddress, command, frameLength, answerLength, opText, quiet);
    // The line goes back to the sensor whatever happened.
    if (module) link_->ForceRTS(1);
    return ok;
}

bool FrameProtocol::SendReceiveCommandSub(int address, quint8 command, int L, int A, const QString& opText,
                                          bool quiet)
{
    if (L < kMinFrameLength || L > kBufferSize || A < 0 || A > kBufferSize) {
        Status(opText, 254);
        return false;
    }
    if (A != 0) link_->Purge_In();
    quint8* tx = link_->Tx();
    tx[0] = quint8(kFrameStart + address);
    tx[1] = quint8(L >> 8);
    tx[2] = quint8(L & 0xFF);
    tx[3] = command;
    tx[L - 1] = GetCRC_Out();
    if (link_->Write_Buffer(L) < L) {
        Status(opText, 254);
        return false;
    }
    const quint8* rx = link_->Rx();
    if (A == 1 && WithAnswer()) {
        if (link_->Read_Buffer(1) < 1) {
            Status(opText, 255);
            return false;
        }
        if (WithAck()) {
            const quint8 b = rx[0];
            if ((b & 0x0F) != address) {
                Status(opText, 256, QString::asprintf(": %2.2X", b & 0x0F));
                return false;
            }
            if ((b >> 4) != 1) {
                Status(opText, 257, QString::asprintf(": %2.2X", b & 0xF0));
                return false;
            }
        }
    }
    if (A >= 2) {
        if (link_->Read_Buffer(A) < A) {
            Status(opText, 255);
            return false;
        }
        if ((rx[0] & 0x0F) != address) {
            Status(opText, 256, QString::asprintf(": %2.2X", rx[0] & 0x0F));
            return false;
        }
        if (rx[3] != command) {
            Status(opText, 258, QString::asprintf(": %2.2X", rx[3]));
            return false;
        }
        if (withFrameCrc_) {
            // The checksum covers the bytes the answer's own length field names; a length
            // beyond what arrived names bytes that never came: an incomplete answer.
            const int named = (int(rx[1]) << 8) | rx[2];
            if (named > A) {
                Status(opText, 255);
                return false;
            }
            if (GetCRC_In() != rx[A - 1]) {
                Status(opText, 352);
                return false;
            }
        }
    }
    if (!quiet) Status(opText, 250);
    return true;
}

bool FrameProtocol::SendReceiveCommandV100(quint8 command, int n, int A, const QString& opText)
{
    if (n < 1 || n > kBufferSize || A < 0 || A > kBufferSize) {
        Status(opText, 254);
        return false;
    }
    if (A != 0) link_->Purge_In();
    link_->Tx()[0] = command;
    if (link_->Write_Buffer(n) < n) {
        Status(opText, 254);
        return false;
    }
    if (A == 0) {
        Status(opText, 250);
        return true;
    }
    if (link_->Read_Buffer(A) < A) {
        Status(opText, 255);
        return false;
    }
    const quint8 b = link_->Rx()[0];
    if (b != command) {
        Status(opText, 258, QString::asprintf(": %2.2X", b));
        return false;
    }
    Status(opText, 250);
    return true;
}

void FrameProtocol::SetTimerInterval(int ms)
{
    timerIntervalMs_ = ms;
}

bool FrameProtocol::PollMeasValues()
{
    return SendReceiveCommand(kTargetSensor, cmd::MeasData, kMinFrameLength,
                              MeasAnswerLength(session_->sensor.Firmware), session_->Msg(284));
}

bool FrameProtocol::CheckSerialProtocol(int pollIntervalMs, const std::function<bool()>& poll)
{
    link_->Purge_In();
    session_->Wait(50);
    int state = MeasNone;
    const int got = link_->Read_Buffer(100);
    if (got >= 100) {
        // The sensor streams by itself; the start byte of a record within bytes 30..40 tells
        // which of the two streams it is.
        const quint8* rx = link_->Rx();
        for (int i = 30; i <= 40; ++i) {
            if (rx[i] == kShortStart) {
                state = MeasShort;
                break;
            }
            if (rx[i] == kLongStart) {
                state = MeasLong;
                break;
            }
        }
    } else {
        state = poll() ? MeasPolled : MeasNone;
    }
    measProtocol_ = state;
    if (state == MeasNone) {
        session_->PanelText(1, session_->Msg(259));
        SetTimerInterval(200);
        return false;
    }
    if (state == MeasPolled)
        SetTimerInterval(pollIntervalMs);
    else
        SetTimerInterval(10);
    return true;
}

} // namespace vmx::link
