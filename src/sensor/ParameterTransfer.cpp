#include "sensor/ParameterTransfer.h"

#include "lang/MessageIds.h"
#include "lang/OperatorTexts.h"

#include "app/Session.h"
#include "boot/BootLoader.h"
#include "link/Link.h"
#include "proto/Protocol.h"
#include "sensor/DeviceCommands.h"
#include "sensor/ParameterEditor.h"

#include <algorithm>

namespace vmx::sensor {

// The catalogue numbers by name.
using namespace lang::ids;

using namespace proto;
using boot::KindCode;

namespace {
constexpr int kBootAttempts0530 = 2;
} // namespace

ParameterTransfer::ParameterTransfer(app::Session& session, link::Link& link, boot::BootLoader& boot,
                                     ParameterBlocks& blocks, DeviceCommands& power, Hooks& hooks)
    : session_(session), link_(link), boot_(&boot), blocks_(blocks), power_(power), hooks_(hooks)
{
}

QString ParameterTransfer::Msg(int m) const
{
    return session_.Msg(m);
}

void ParameterTransfer::Stop()
{
    hooks_.StopAcquisition();
}

int ParameterTransfer::ParLen() const
{
    return int(std::min<quint32>(session_.sensor.ParLen, kParBlockSize));
}

bool ParameterTransfer::RestartSensor()
{
    return boot_->BootRestart();
}

// --- boot-loader entry ---------------------------------------------------------------------------

bool ParameterTransfer::StartReadWrite()
{
    return session_.sensor.Has(app::Cap::Gen0530) ? StartReadWriteQVR0530() : StartReadWriteV130();
}

bool ParameterTransfer::CheckBootAddress()
{
    if (!boot_->BootIdent()) return false;
    const quint32 reported = boot_->bootStart;
    if (reported == session_.sensor.BootAddr) return true;
    // 3072 is where the V1.2x generation keeps its loader: that is the likely mix-up.
    session_.host().Ask(app::AskIcon::Error, app::AskButtons::Ok,
                        Msg(reported == 0x0C00 ? kMsgWrongBoot12 : kMsgWrongBoot));
    RestartSensor();
    return false;
}

bool ParameterTransfer::EnterBootLoader()
{
    return session_.sensor.Has(app::Cap::Gen0530) ? EnterQVR0530() : EnterV130();
}

bool ParameterTransfer::StartReadWriteV130()
{
    return EnterV130() && CheckBootAddress();
}

bool ParameterTransfer::StartReadWriteQVR0530()
{
    return EnterQVR0530() && CheckBootAddress();
}

bool ParameterTransfer::EnterV130()
{
    Stop();
    if (power_.PowerAuto()) power_.SetPowerAutomatically();
    if (!boot_->BootStart()) return false;
    session_.Wait(100);
    if (!boot_->BootPing()) {
        session_.Wait(100);
        RestartSensor();
        session_.Wait(1000);
        link_.Purge_In();
        return false;
    }
    session_.Wait(100);
    return true;
}

bool ParameterTransfer::EnterQVR0530()
{
    Stop();
    if (power_.PowerAuto()) power_.SetPowerAutomatically();
    auto& fp = link_.protocol();
    bool pinged = false;
    for (int attempt = 0; attempt < kBootAttempts0530 && !pinged; ++attempt) {
        // The boot entry is only open from the service mode: arm it, then the key.
        fp.SendReceiveCommand(kTargetSensor, cmd::SetSerialMode, 5, 0, Msg(271));
        link_.Tx()[4] = k0530ServiceKey;
        fp.SendReceiveCommand(kTargetSensor, cmd::SetSerialMode2, 6, 0, Msg(384));
        session_.Wait(100);
        boot_->BootStart();
        session_.Wait(100);
        pinged = fp.SendReceiveCommand(kTargetSensor, cmd::Ping, 5, 1, Msg(kMsgPing));
        if (!pinged) {
            session_.Wait(100);
            RestartSensor();
            session_.Wait(300);
            link_.Purge_In();
        }
    }
    return pinged;
}

// --- transfers -----------------------------------------------------------------------------------

bool ParameterTransfer::ReadParameters()
{
    const int len = ParLen();
    if (len <= 0) {
        session_.PanelText(1, Msg(kMsgReadCode) + Msg(kMsgError));
        return false;
    }
    if (!StartReadWrite()) return false;
    const quint32 a = session_.sensor.ParAddr;
    if (!boot_->ReadMemory(kTargetSensor, a, Msg(kMsgReadCode), KindCode, a + quint32(len) - 1)) return false;
    const auto image = boot_->images().Image(KindCode);
    std::copy_n(image.begin() + a, kParBlockSize, blocks_.read.bytes.begin());
    if (!blocks_.read.CheckSumValid(len)) {
        session_.PanelText(1, Msg(kMsgReadCode) + Msg(kMsgChecksumWrong));
        return false;
    }
    const quint32 w = a + kParExtraWordOffset;
    if (!boot_->ReadMemory(kTargetSensor, w, Msg(kMsgReadCode), KindCode, w + 1)) return false;
    blocks_.read.word = quint16(image[w] | (image[w + 1] << 8));
    return RestartSensor();
}

bool ParameterTransfer::WriteParameters()
{
    const int len = ParLen();
    if (len <= 0) {
        session_.PanelText(1, Msg(kMsgWriteCode) + Msg(kMsgError));
        return false;
    }
    if (!StartReadWrite()) return false;
    const quint32 a = session_.sensor.ParAddr;
    auto& edit = blocks_.edit;
    edit.UpdateCheckSum(len);
    const auto image = boot_->images().Image(KindCode);
    std::copy(edit.bytes.begin(), edit.bytes.end(), image.begin() + a);
    // The whole page: flash can only clear bits, so what is not rewritten stays erased.
    if (!boot_->EraseMemory(kTargetSensor, a, Msg(kMsgEraseCode), KindCode, a + kParPageSize - 1))
        return false;
    const quint32 last = a + quint32(len) - 1;
    if (!boot_->WriteMemory(kTargetSensor, a, Msg(kMsgWriteCode), KindCode, last)) return false;
    if (!boot_->VerifyMemory(kTargetSensor, a, Msg(kMsgVerifyCode), Msg(kMsgReadCode), KindCode, last))
        return false;
    const quint32 w = a + kParExtraWordOffset;
    image[w] = quint8(edit.word);
    image[w + 1] = quint8(edit.word >> 8);
    if (!boot_->WriteMemory(kTargetSensor, w, Msg(kMsgWriteCode), KindCode, w + 1)) return false;
    if (!boot_->VerifyMemory(kTargetSensor, w, Msg(kMsgVerifyCode), Msg(kMsgReadCode), KindCode, w + 1))
        return false;
    return RestartSensor();
}

QString ParameterTransfer::FieldName(int offset)
{
    // The layout's fields by their first byte; a word's second byte is named with "+1".
    static const std::pair<int, const char*> kFields[] = {
        {Par::CheckSum, "CheckSum"},
        {Par::SendPulse, "SendPulse"},
        {Par::TestSendPulse, "TestSendPulse"},
        {Par::GateBegin, "GateBegin"},
        {Par::GateWidth, "GateWidth"},
        {Par::GateWidthZero, "GateWidthZero"},
        {Par::ADCZeroUpLimit, "ADCZeroUpLimit"},
        {Par::ADCZeroDnLimit, "ADCZeroDnLimit"},
        {Par::AmplMaxUpLiq, "AmplMaxUpLiq"},
        {Par::AmplMaxDnLiq, "AmplMaxDnLiq"},
        {Par::AmplIncrement, "AmplIncrement"},
        {Par::AmplDecrement, "AmplDecrement"},
        {Par::AmplMaxUpLimit, "AmplMaxUpLimit"},
        {Par::AmplMaxDnLimit, "AmplMaxDnLimit"},
        {Par::BubbleAvg, "BubbleAvg"},
        {Par::AmplBubbleLimit, "AmplBubbleLimit"},
        {Par::BubbleFactor, "BubbleFactor"},
        {Par::StartCfg, "StartCfg"},
        {Par::ErrorOutCfg, "ErrorOutCfg"},
        {Par::AirOutCfg, "AirOutCfg"},
        {Par::LiquidOutCfg, "LiquidOutCfg"},
        {Par::HoldTime, "HoldTime"},
        {Par::ZeroAvg, "ZeroAvg"},
        {Par::InitInterval, "InitInterval"},
        {Par::GainTestInc, "GainTestInc"},
        {Par::Security, "Security"},
        {Par::SecurityInv, "SecurityInv"},
        {Par::ServiceModeTime, "ServiceModeTime"},
        {Par::MaxDiff, "MaxDiff"},
        {Par::Burst, "Burst"},
        {Par::TestBurst, "TestBurst"},
        {Par::BubbleTabLin, "BubbleTabLin"},
        {Par::StartCfgMode, "StartCfgMode"},
        {Par::InputCfg, "InputCfg"},
        {Par::AmplTestLimit, "AmplTestLimit"},
        {Par::ExtResetTime, "ExtResetTime"},
    };
    constexpr int kWords[] = {Par::ADCZeroUpLimit, Par::ADCZeroDnLimit, Par::AmplMaxUpLiq, Par::AmplMaxDnLiq,
                              Par::AmplIncrement,  Par::AmplDecrement,  Par::HoldTime};
    if (offset >= Par::GainTest && offset < Par::GainTest + Par::GainTestRows * Par::GainTestCols)
        return QStringLiteral("GainTest[%1][%2]")
            .arg((offset - Par::GainTest) / Par::GainTestCols)
            .arg((offset - Par::GainTest) % Par::GainTestCols);
    if (offset >= Par::BubbleTab && offset < Par::BubbleTab + 4 * Par::BubbleTabRows) {
        static const char* const kParts[] = {"size", "value", "percent", "outputs"};
        return QStringLiteral("BubbleTab[%1].%2")
            .arg((offset - Par::BubbleTab) / 4)
            .arg(QLatin1String(kParts[(offset - Par::BubbleTab) % 4]));
    }
    for (const auto& [at, name] : kFields)
        if (at == offset) return QLatin1String(name);
    for (int w : kWords)
        if (w + 1 == offset) return FieldName(w) + QStringLiteral("+1");
    return offset >= Par::FirstUnused ? QStringLiteral("unused") : QString();
}

bool ParameterTransfer::VerifyParameter()
{
    verifyMismatch_.clear();
    hooks_.CommitEdit();
    if (!ReadParameters()) return false;
    // All 256 bytes and the word: as the sensor holds them, or as the editor shows what the
    // sensor holds (a block read and saved from the pages carries the pages' normalisation and
    // its checksum, and must verify against the sensor it came from).
    if (blocks_.edit == blocks_.read) return true;
    ParameterBlock shown = blocks_.read;
    NormaliseEditBlock(shown, session_.sensor.Flags, ParLen());
    if (blocks_.edit == shown) return true;
    // Which field: the first byte where the editor and the sensor differ, else the word.
    const auto text = lang::OperatorTextOf(lang::OperatorText::VerifyMismatch, session_.language());
    for (int i = 0; i < kParBlockSize; ++i)
        if (blocks_.edit.bytes[size_t(i)] != shown.bytes[size_t(i)]) {
            verifyMismatch_ = text.arg(i)
                                  .arg(FieldName(i))
                                  .arg(QString::asprintf("$%2.2X", blocks_.read.bytes[size_t(i)]))
                                  .arg(QString::asprintf("$%2.2X", blocks_.edit.bytes[size_t(i)]));
            return false;
        }
    verifyMismatch_ = text.arg(kParExtraWordOffset)
                          .arg(QStringLiteral("ECRC"))
                          .arg(QString::asprintf("$%4.4X", blocks_.read.word))
                          .arg(QString::asprintf("$%4.4X", blocks_.edit.word));
    return false;
}

// --- actions -------------------------------------------------------------------------------------

bool ParameterTransfer::Read()
{
    hooks_.CommitEdit();
    const bool ok = ReadParameters();
    if (ok) {
        blocks_.CopyReadToEdit();
        hooks_.RefreshPages();
    }
    session_.PanelText(1, Msg(kMsgReadParameters) + Msg(ok ? kMsgOkay : kMsgError));
    return ok;
}

bool ParameterTransfer::Write()
{
    hooks_.CommitEdit();
    const bool ok = WriteParameters();
    hooks_.RefreshPages();
    session_.PanelText(1, Msg(kMsgWriteParameters) + Msg(ok ? kMsgOkay : kMsgError));
    return ok;
}

bool ParameterTransfer::Verify()
{
    const bool ok = VerifyParameter();
    session_.PanelText(
        1, Msg(kMsgVerifyParameters) + Msg(ok ? kMsgOkay : kMsgError) +
               (ok || verifyMismatch_.isEmpty() ? QString() : QStringLiteral(": ") + verifyMismatch_));
    return ok;
}

void ParameterTransfer::SetStandard()
{
    blocks_.CopyStandardToEdit();
    hooks_.RefreshPages();
}

} // namespace vmx::sensor
