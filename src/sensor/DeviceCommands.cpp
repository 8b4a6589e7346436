#include "sensor/DeviceCommands.h"

#include "lang/Messages.h"
#include "proto/Protocol.h"

#include <algorithm>

namespace vmx::sensor {

using namespace proto;

namespace {
// Bit-bang settings of the line adapter: high nibble outputs, low nibble levels, all CBUS.
constexpr quint8 kCbusInputs = proto::kCbusInputs;
constexpr quint8 kCbusTestHigh = proto::kCbusTestHighMask;
constexpr quint8 kCbusPowerOff = proto::kCbusPowerOffMask;
constexpr int kWaitAfterRestartMs = proto::pause::kAfterRestart;
constexpr int kWaitAfterModeMs = proto::pause::kAfterMode;
constexpr int kWaitBetween0530StepsMs = proto::pause::kBetween0530Steps;
constexpr int kPowerCycleWaitMs = proto::pause::kPowerCycle;
} // namespace

AdapterKind AdapterKindOf(const QString& s)
{
    // In this order: a line adapter's serial wins over the others.
    if (s == QLatin1String("007_V001") || s.contains(QLatin1String("9007"))) return AdapterKind::LineAdapter;
    if (s == QLatin1String("002_V001") || s.contains(QLatin1String("9002"))) return AdapterKind::TestModule;
    if (s.contains(QLatin1String("9010"))) return AdapterKind::TestModuleDigital;
    return AdapterKind::None;
}

QString GainGrid::ClipboardText() const
{
    QString t;
    for (const auto& row : cells)
        t += row[0] + QLatin1Char('\t') + row[1] + QLatin1String("\r\n");
    return t;
}

DeviceCommands::DeviceCommands(app::Session& session, link::Link& link, Events& events)
    : session_(session), link_(link), events_(events)
{
    const QStringList labels = lang::MsgList(467, session_.language());
    for (size_t i = 0; i < gain_.cells.size(); ++i)
        gain_.cells[i][0] = int(i) < labels.size() ? labels[int(i)] : QString();
}

AdapterKind DeviceCommands::adapterKind() const
{
    return link_.UsbInUse() ? AdapterKindOf(link_.UsbSerial()) : AdapterKind::None;
}

ConfigFamily DeviceCommands::configFamily() const
{
    const auto& s = session_.sensor;
    if (s.Firmware == 110) return ConfigFamily::V110;
    if (s.Has(app::Cap::Gen0530)) return ConfigFamily::QVR0530;
    if (s.Has(app::Cap::Gen140)) return ConfigFamily::V140;
    return ConfigFamily::V120;
}

void DeviceCommands::Stop()
{
    events_.StopAcquisition();
}

bool DeviceCommands::Sensor(quint8 command, int frameLength, int answerLength, int opMessage)
{
    return link_.protocol().SendReceiveCommand(kTargetSensor, command, frameLength, answerLength,
                                               session_.Msg(opMessage));
}

void DeviceCommands::Glyph(bool on)
{
    powerGlyphOn_ = on;
    Show(Shown::PowerGlyph);
}

// --- restart, bubble test, LED ---------------------------------------------------------------

bool DeviceCommands::Restart()
{
    Stop();
    const int fw = session_.sensor.Firmware;
    if (fw == 100 || fw == 110)
        return link_.protocol().SendReceiveCommandV100(cmd::V100Restart, 1, 0, session_.Msg(268));
    const bool ok = Sensor(cmd::Restart, 5, 0, 268);
    // The sensor restarts: what it sends meanwhile is not for us.
    session_.Wait(kWaitAfterRestartMs);
    link_.Purge_In();
    return ok;
}

bool DeviceCommands::BubblePulse(bool high, int time)
{
    if (!link_.UsbInUse()) {
        Panel(119);
        return false;
    }
    const int waitMs = time / 5;
    switch (adapterKind()) {
    case AdapterKind::LineAdapter: {
        // "Test H" starts released and pulls the line up after the wait; "Test L" the other way.
        const bool ok1 = link_.SetBitMode(high ? kCbusInputs : kCbusTestHigh, kBitModeCbus);
        if (waitMs > 0) session_.Wait(waitMs);
        const bool ok2 = link_.SetBitMode(high ? kCbusTestHigh : kCbusInputs, kBitModeCbus);
        if (!ok1 || !ok2) return false;
        Panel(189);
        return true;
    }
    case AdapterKind::TestModuleDigital: {
        if (!routes_ || !routes_->RouteTestPulse(high, time)) return false;
        if (waitMs > 0) session_.Wait(waitMs);
        Panel(189);
        return true;
    }
    default:
        return false; // no test input on this adapter
    }
}

bool DeviceCommands::BubbleTest(int serialMode, int time)
{
    Stop();
    time = std::clamp(time, 0, 250);
    if (serialMode == 4 || serialMode == 6) return BubblePulse(false, time);
    if (serialMode == 5 || serialMode == 7) return BubblePulse(true, time);
    link_.Tx()[4] = quint8(time);
    return Sensor(cmd::BubbleTest, 6, 0, 269);
}

bool DeviceCommands::SetLed(int serialMode, const LedBits& led)
{
    Stop();
    if (session_.sensor.Firmware == 110) return SetConfigV110(serialMode, led);
    colourBoxesEnabled_ = led.ColourBoxesEnabled();
    Show(Shown::ColourBoxes);
    link_.Tx()[4] = led.Byte();
    return Sensor(cmd::SetLed, 6, 0, 270);
}

// --- output mode -----------------------------------------------------------------------------

bool DeviceCommands::SetOutputMode(int serialMode, const LedBits& led)
{
    Stop();
    if (powerAuto_) SetPowerAutomatically();
    switch (configFamily()) {
    case ConfigFamily::V110:
        return SetConfigV110(serialMode, led);
    case ConfigFamily::QVR0530:
        return SetConfigQVR0530(serialMode);
    case ConfigFamily::V140:
        return SetConfigV140(serialMode);
    case ConfigFamily::V120:
        break;
    }
    return SetConfigV120(serialMode);
}

bool DeviceCommands::StartService(const LedBits& led)
{
    return SetOutputMode(kServiceMode, led);
}

bool DeviceCommands::ModeAllowed(int mode, ConfigFamily family) const
{
    const auto& s = session_.sensor;
    switch (mode) {
    case 0:
        return s.Has(app::Cap::OldCfgMode0);
    case 1:
        return s.Has(app::Cap::OldCfgMode1);
    case 3:
        return s.Has(app::Cap::OldCfgMode3);
    case 4:
        return s.Has(app::Cap::OldCfgMode4);
    case 5:
    case 6:
    case 7:
    case 8:
        return family == ConfigFamily::V140;
    default:
        return mode >= 0; // 2 and above 8
    }
}

void DeviceCommands::SetProtocolForMode(int mode, ConfigFamily family)
{
    auto& fp = link_.protocol();
    if (family == ConfigFamily::V110) {
        if (mode == 1) fp.setMeasProtocol(link::MeasShort);
        if (mode == 2) fp.setMeasProtocol(link::MeasLong);
        return;
    }
    switch (mode) {
    case 1:
        fp.setMeasProtocol(link::MeasShort);
        break;
    case 2:
        fp.setMeasProtocol(link::MeasLong);
        break;
    case 3:
        fp.setMeasProtocol(link::MeasPolled);
        break;
    default:
        fp.setMeasProtocol(link::MeasNone);
        break;
    }
}

quint8 DeviceCommands::V110ConfigByte(int mode, const LedBits& led)
{
    return quint8(cmd::V100ConfigBase + led.Byte() + (mode == 1 ? 16 : 0) + (mode == 2 ? 48 : 0));
}

quint8 DeviceCommands::V120ModeByte(int mode)
{
    switch (mode) {
    case 1:
        return 0x10;
    case 2:
        return 0x30;
    case 3:
        return 0x50;
    case 4:
        return 0x80;
    default:
        return 0x00;
    }
}

bool DeviceCommands::SetConfigV110(int mode, const LedBits& led)
{
    Stop();
    if (!ModeAllowed(mode, ConfigFamily::V110)) {
        Panel(427);
        return false;
    }
    colourBoxesEnabled_ = led.ColourBoxesEnabled();
    Show(Shown::ColourBoxes);
    // The exchange reports "Set Serial Mode: " with its outcome; a failed write is not okay.
    if (!link_.protocol().SendReceiveCommandV100(V110ConfigByte(mode, led), 1, 0, session_.Msg(271)))
        return false;
    SetProtocolForMode(mode, ConfigFamily::V110);
    return true;
}

bool DeviceCommands::SetConfigV120(int mode)
{
    Stop();
    if (!ModeAllowed(mode, ConfigFamily::V120)) {
        Panel(427);
        return false;
    }
    link_.Tx()[4] = V120ModeByte(mode);
    const bool ok = Sensor(cmd::SetSerialMode, 6, 0, 271);
    if (ok) SetProtocolForMode(mode, ConfigFamily::V120);
    session_.Wait(kWaitAfterModeMs);
    link_.Purge_In();
    return ok;
}

bool DeviceCommands::SetConfigV140(int mode)
{
    Stop();
    if (!ModeAllowed(mode, ConfigFamily::V140)) {
        Panel(427);
        return false;
    }
    link_.Tx()[4] = quint8(mode);
    const bool ok = Sensor(cmd::SetSerialMode, 6, 0, 271);
    if (ok) SetProtocolForMode(mode, ConfigFamily::V140);
    session_.Wait(kWaitAfterModeMs);
    link_.Purge_In();
    return ok;
}

bool DeviceCommands::SetConfigQVR0530(int mode)
{
    Stop();
    if (mode == 2) return Sensor(cmd::Restart, 5, 1, 268);
    if (mode != 3) {
        Panel(427);
        return false;
    }
    // Two steps: the first arms the service mode, the key byte of the second enters it.
    if (!Sensor(cmd::SetSerialMode, 5, 0, 271)) return false;
    session_.Wait(kWaitBetween0530StepsMs);
    link_.Tx()[4] = k0530ServiceKey;
    const bool ok = Sensor(cmd::SetSerialMode2, 6, 0, 384);
    session_.Wait(kWaitAfterModeMs);
    link_.Purge_In();
    return ok;
}

// --- adjusting, gain test --------------------------------------------------------------------

bool DeviceCommands::AdjustTemporarily(int speed)
{
    Stop();
    speed = std::clamp(speed, 1, 65535);
    link_.Tx()[4] = quint8(speed >> 8);
    link_.Tx()[5] = quint8(speed);
    return Sensor(cmd::TempAdjusting, 7, 0, 382);
}

bool DeviceCommands::SetGainTest(int step)
{
    link_.Tx()[4] = quint8(step >= 0 && step <= 4 ? step : kGainAuto);
    if (!Sensor(cmd::SetGain, 6, kGainAnswer, 462)) return false;
    const quint8* a = link_.Rx();
    gain_.cells[0][1] = a[4] < 5 ? QString::number(a[4]) : QStringLiteral("auto");
    for (int i = 1; i <= 3; ++i)
        gain_.cells[size_t(i)][1] = QString::number(a[4 + i]);
    return true;
}

bool DeviceCommands::RunGainTest(int step)
{
    Stop();
    for (auto& row : gain_.cells)
        row[1].clear();
    const bool ok = SetGainTest(step);
    session_.host().SetClipboardText(gain_.ClipboardText());
    session_.PanelText(1, session_.Msg(462) + session_.Msg(ok ? 250 : 280));
    return ok;
}

// --- channel, power --------------------------------------------------------------------------

bool DeviceCommands::SetIF(bool channel1)
{
    Stop();
    if (adapterKind() != AdapterKind::TestModuleDigital) {
        Panel(375);
        return false;
    }
    channelCaption_ = channel1 ? QStringLiteral("CH 1") : QStringLiteral("CH 2");
    Show(Shown::Channel);
    return routes_ && routes_->RouteChannel(channel1);
}

bool DeviceCommands::SetPower(bool on)
{
    Stop();
    const AdapterKind kind = adapterKind();
    if (kind == AdapterKind::LineAdapter) {
        if (!link_.SetBitMode(on ? kCbusInputs : kCbusPowerOff, kBitModeCbus)) return false;
        Glyph(on);
        Panel(on ? 107 : 108);
        return true;
    }
    if ((kind == AdapterKind::TestModule || kind == AdapterKind::TestModuleDigital) && routes_) {
        bool isModule = false;
        const bool ok = routes_->RoutePower(on, isModule);
        if (isModule) {
            if (ok) Glyph(on);
            return ok;
        }
    }
    Panel(118);
    return false;
}

void DeviceCommands::SetPowerAuto(bool on)
{
    powerAuto_ = on;
    Show(Shown::PowerAutomatic);
}

bool DeviceCommands::SetPowerAutomatically()
{
    powerActionChecked_ = false;
    Show(Shown::PowerAction);
    const bool off = SetPower(false);
    session_.Wait(kPowerCycleWaitMs);
    powerActionChecked_ = true;
    Show(Shown::PowerAction);
    const bool on = SetPower(true);
    session_.Wait(kPowerCycleWaitMs);
    return off && on;
}

} // namespace vmx::sensor
