#include "sensor/Identification.h"

#include "lang/MessageIds.h"

#include "lang/Format.h"

#include "app/Session.h"
#include "app/TextHelpers.h"
#include "boot/BootLoader.h"
#include "lang/Messages.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"
#include "proto/Protocol.h"
#include "sensor/DeviceCommands.h"
#include "sensor/ParameterTransfer.h"

#include <algorithm>
#include <cmath>

namespace vmx::sensor {

// The catalogue numbers by name.
using namespace lang::ids;

using namespace proto;
using boot::KindCode;

namespace {
constexpr int kServiceIndex = 3;
constexpr quint32 kFirstPageEnd = 511;
constexpr int kGenericV13Row = 1;
} // namespace

IdentRecord IdentRecord::Decode(const quint8* b)
{
    IdentRecord r;
    r.IdentCode = b[0];
    r.Type = b[1];
    r.SubType = b[2];
    r.Hardware = b[3];
    r.Firmware = b[4] | (b[5] << 8);
    r.ModelIndex = b[12];
    r.Year = b[13];
    r.SerialNo = b[14] | (b[15] << 8);
    return r;
}

Identification::Identification(app::Session& session, link::Link& link, boot::BootLoader& boot,
                               ParameterTransfer& transfer, DeviceCommands& commands, Hooks& hooks)
    : session_(session), link_(link), boot_(boot), transfer_(transfer), commands_(commands), hooks_(hooks)
{
}

QString Identification::Msg(int m) const
{
    return session_.Msg(m);
}

void Identification::Stop()
{
    hooks_.StopAcquisition();
}

bool Identification::RestartSensor()
{
    return link_.protocol().SendReceiveCommand(kTargetSensor, cmd::Restart, 5, 0, Msg(kMsgRestart));
}

bool Identification::Ping()
{
    return link_.protocol().SendReceiveCommand(kTargetSensor, cmd::Ping, 5, 1, Msg(kMsgPing));
}

void Identification::Apply(int row)
{
    hooks_.ApplyType(row);
}

bool Identification::AskApply()
{
    return session_.host().Ask(app::AskIcon::Warning, app::AskButtons::OkCancel, Msg(kMsgAskApplyType)) ==
           app::AskResult::Ok;
}

void Identification::TakeIdentFields()
{
    auto& st = session_.sensor;
    st.Hardware = quint8(ident_.Hardware);
    st.Year = quint8(ident_.Year);
    st.SerialNo = quint16(ident_.SerialNo);
    st.ModelIndex = quint8(ident_.ModelIndex);
}

// Steps after a decoded answer: report, match against the catalogue, take the fields.
void Identification::ApplyIdent()
{
    const int fw = ident_.Firmware;
    session_.PanelText(1,
                       lang::FormatMsg(Msg(kMsgIdentType), ident_.Type, ident_.SubType, fw / 100, fw % 100));
    if (ident_.Key() == session_.sensor.Key) {
        TakeIdentFields();
    } else {
        if (!AskApply()) return;
        const int row = app::LastRowWithKey(ident_.Key());
        if (row < 0) {
            session_.PanelText(
                1, lang::FormatMsg(Msg(kMsgUnknownType), ident_.Type, ident_.SubType, fw / 100, fw % 100));
        } else {
            Apply(row);
            TakeIdentFields();
            session_.PanelText(1, QStringLiteral("Sensor: %1, Version: %2")
                                      .arg(session_.sensor.Model, session_.sensor.FirmwareText));
        }
    }
    hooks_.RefreshPages();
}

// --- identification ------------------------------------------------------------------------------

bool Identification::Identify()
{
    const auto& st = session_.sensor;
    bool ok = false;
    if (st.Firmware == 110)
        ok = GetIdentV110();
    else if (st.Has(app::Cap::Gen0530))
        ok = GetIdentQVR0530();
    else
        ok = GetIdent();
    if (!ok) session_.PanelText(1, Msg(kMsgGetIdent) + Msg(kMsgError));
    hooks_.ShowIdentPage();
    return ok;
}

bool Identification::GetIdent()
{
    Stop();
    hooks_.SetSerialModeIndex(kServiceIndex);
    // The answer needs the dialog mode; which command sets it depends on the generation, so
    // the guess is corrected by the ping.
    bool v140 = session_.sensor.Has(app::Cap::Gen140);
    for (int pass = 0; pass < 2; ++pass) {
        if (v140)
            commands_.SetConfigV140(kServiceIndex);
        else
            commands_.SetConfigV120(kServiceIndex);
        session_.Wait(2000);
        if (!Ping()) v140 = !v140;
    }
    session_.Wait(100);
    if (!link_.protocol().SendReceiveCommand(kTargetSensor, cmd::GetIdent, 5, kIdentAnswer,
                                             Msg(kMsgGetIdent)))
        return false;
    const quint8* rx = link_.Rx();
    QString dump = Msg(kMsgGetIdent);
    for (int i = 0; i < kIdentAnswer; ++i)
        dump += QString::asprintf("%2.2X ", rx[i]);
    session_.PanelText(1, dump);
    ident_ = IdentRecord::Decode(rx + 4);
    ApplyIdent();
    return true;
}

bool Identification::Enter0530()
{
    Stop();
    if (commands_.PowerAuto()) commands_.SetPowerAutomatically();
    auto& fp = link_.protocol();
    for (int attempt = 0; attempt < 2; ++attempt) {
        RestartSensor();
        session_.Wait(300);
        if (!fp.SendReceiveCommand(kTargetSensor, cmd::SetSerialMode, 5, 0, Msg(271))) return false;
        link_.Tx()[4] = k0530ServiceKey;
        session_.Wait(5);
        if (!fp.SendReceiveCommand(kTargetSensor, cmd::SetSerialMode2, 6, 0, Msg(384))) return false;
        link_.Purge_In();
        session_.Wait(100);
        if (Ping()) return true;
        session_.Wait(100);
    }
    return false;
}

bool Identification::GetIdentQVR0530()
{
    if (!Enter0530()) return false;
    if (!link_.protocol().SendReceiveCommand(kTargetSensor, cmd::GetIdent, 5, kIdentAnswer,
                                             Msg(kMsgGetIdent)))
        return false;
    ident_ = IdentRecord::Decode(link_.Rx() + 4);
    if (RestartSensor()) ApplyIdent();
    return true;
}

bool Identification::GetIdentV110()
{
    Stop();
    if (!boot_.BootStart()) return false;
    session_.Wait(100); // the loader needs a moment before it listens
    if (!boot_.BootIdent()) return false;
    if (!boot_.BootRestart()) return false;
    if (boot_.bootStart != 3072 && boot_.bootStart != 3584) return false;
    if (!AskApply()) return false;
    Apply(kGenericV13Row);
    const QString line =
        QStringLiteral("Sensor: %1, Version: %2").arg(session_.sensor.Model, session_.sensor.FirmwareText);
    session_.PanelText(1, line);
    session_.PanelText(1, line);
    hooks_.RefreshPages();
    return true;
}

bool Identification::GetCalQVR0530()
{
    if (!Enter0530()) return false;
    if (!link_.protocol().SendReceiveCommand(kTargetSensor, cmd::ReadCal, 5, kCalAnswer, Msg(kMsgReadCal)))
        return false;
    std::copy_n(link_.Rx() + 4, 16, session_.sensor.Cal.begin());
    if (!RestartSensor()) return false;
    hooks_.RefreshPages();
    return true;
}

// --- production data and calibration in flash ----------------------------------------------------

bool Identification::SetIdSN()
{
    const auto& st = session_.sensor;
    if (st.SNOffset == app::kNoOffset || st.SNOffset + 16 > kFirstPageEnd + 1) return false;
    if (!transfer_.StartReadWrite()) return false;
    auto image = boot_.images().Image(KindCode);
    const quint32 a = st.SNOffset + 12;
    image[a] = st.ModelIndex;
    image[a + 1] = st.Year;
    image[a + 2] = quint8(st.SerialNo);
    image[a + 3] = quint8(st.SerialNo >> 8);
    // Written onto blank bytes: "Clear" erases them first.
    if (!boot_.WriteMemory(kTargetSensor, a, Msg(kMsgSetIdSN), KindCode, a + 3)) return false;
    if (!boot_.VerifyMemory(kTargetSensor, a, Msg(kMsgVerifyIdSN), Msg(kMsgReadIdSN), KindCode, a + 3))
        return false;
    return boot_.BootRestart();
}

bool Identification::ClearBytes(quint32 offset, int count, int)
{
    if (!transfer_.StartReadWrite()) return false;
    auto image = boot_.images().Image(KindCode);
    if (!boot_.ReadMemory(kTargetSensor, 0, Msg(kMsgReadCode), KindCode, kFirstPageEnd)) return false;
    std::fill_n(image.begin() + offset, count, quint8(0xFF));
    if (!boot_.EraseMemory(kTargetSensor, 0, Msg(kMsgEraseCode), KindCode, kFirstPageEnd)) return false;
    if (!boot_.WriteMemory(kTargetSensor, 0, Msg(kMsgWriteCode), KindCode, kFirstPageEnd)) return false;
    if (!boot_.VerifyMemory(kTargetSensor, 0, Msg(kMsgVerifyCode), Msg(kMsgReadCode), KindCode,
                            kFirstPageEnd))
        return false;
    return boot_.BootRestart();
}

bool Identification::IdClearSN()
{
    const auto& st = session_.sensor;
    if (st.SNOffset == app::kNoOffset || st.SNOffset + 16 > kFirstPageEnd + 1) return false;
    return ClearBytes(st.SNOffset + 12, 4, kMsgClearIdent);
}

bool Identification::IdClearCal()
{
    const auto& st = session_.sensor;
    if (st.CalOffset == app::kNoOffset || st.CalOffset + 16 > kFirstPageEnd + 1) return false;
    return ClearBytes(st.CalOffset, 16, kMsgClearCal);
}

bool Identification::SetIdCal()
{
    auto& st = session_.sensor;
    if (st.CalOffset == app::kNoOffset || st.CalOffset + 16 > kFirstPageEnd + 1) return false;
    if (!transfer_.StartReadWrite()) return false;
    auto image = boot_.images().Image(KindCode);
    const quint32 a = st.CalOffset;
    std::copy_n(st.Cal.begin(), 15, image.begin() + a);
    image[a + 15] = link::FrameProtocol::GetCRC_Cal(image.data() + a);
    st.Cal[15] = image[a + 15];
    if (!boot_.WriteMemory(kTargetSensor, a, Msg(kMsgWriteCal), KindCode, a + 15)) return false;
    if (!boot_.VerifyMemory(kTargetSensor, a, Msg(kMsgVerifyCal), Msg(kMsgReadCal), KindCode, a + 15))
        return false;
    return boot_.BootRestart();
}

bool Identification::ReportAnd(int opMessage, bool ok)
{
    session_.PanelText(1, Msg(opMessage) + Msg(ok ? kMsgOkay : kMsgError));
    return ok;
}

bool Identification::WriteSerialNumber()
{
    return ReportAnd(kMsgSetIdSN, SetIdSN());
}
bool Identification::ClearSerialNumber()
{
    return ReportAnd(kMsgClearIdent, IdClearSN());
}
bool Identification::ReadCalibration()
{
    return ReportAnd(kMsgReadCal, GetCalQVR0530());
}
bool Identification::WriteCalibration()
{
    return ReportAnd(kMsgWriteCal, SetIdCal());
}
bool Identification::ClearCalibration()
{
    return ReportAnd(kMsgClearCal, IdClearCal());
}

// --- texts -------------------------------------------------------------------------------------

QString Identification::BoardName(int hw)
{
    switch (hw) {
    case 1:
        return QStringLiteral("Board QVR05_07/ _08");
    case 2:
        return QStringLiteral("Board QVR05_09/ _10");
    case 3:
        return QStringLiteral("Board QVR06_01");
    case 4:
        return QStringLiteral("Board QVR05.30 V1.x");
    case 5:
        return QStringLiteral("Board QVR05_09, Slave");
    case 6:
        return QStringLiteral("Board QVR05.30 V2.00");
    case 10:
        return QStringLiteral("Board QVR07_01");
    case 11:
        return QStringLiteral("Board QVR05_09/ _10");
    case 12:
        return QStringLiteral("Board QVR05_09");
    case 13:
        return QStringLiteral("Board QVR06_14");
    case 14:
        return QStringLiteral("Board QVR05_18");
    case 15:
        return QStringLiteral("Board QVR07_01 + SW");
    case 16:
        return QStringLiteral("Board QVR05_18/ Frq.");
    case 17:
        return QStringLiteral("Board QVR07_04");
    default:
        return QStringLiteral("?????");
    }
}

int Identification::ModelListMessage(const app::CurrentSensorType& st)
{
    int m = -1;
    if (st.Has(app::Cap::Gen0530)) m = 409;
    if (st.Has(app::Cap::Gen140)) {
        const int t = st.Type, s = st.SubType;
        // In this order; the last rule that fits wins.
        if (t == 5) m = 468;
        if (t == 7) m = 469;
        if (t == 5 && s == 28) m = 485;
        if (t == 5 && s == 65) m = 470;
        if (t == 5 && s == 67) m = 471;
        if (t == 5 && s == 64) m = 472;
        if (t == 5 && s == 63) m = 473;
        if (t == 5 && s == 84) m = 484;
        if (t == 8) m = 480;
        if (t == 5 && s == 92) m = 481;
        if (t == 6 && s == 113) m = 483;
        if (t == 1) m = 486;
        if (t == 2 && s == 22) m = 470;
    }
    return m;
}

QStringList Identification::ModelList() const
{
    const int m = ModelListMessage(session_.sensor);
    return m < 0 ? QStringList() : lang::MsgList(m, session_.language());
}

int Identification::NormalizedModelIndex()
{
    auto& st = session_.sensor;
    if (int(st.ModelIndex) >= ModelList().size()) st.ModelIndex = 0;
    return st.ModelIndex;
}

QString Identification::YearText() const
{
    const int y = session_.sensor.Year;
    return y == 255 ? QStringLiteral("??") : QString::number(y);
}

QString Identification::SerialText() const
{
    const int sn = session_.sensor.SerialNo;
    return sn == 0xFFFF ? QStringLiteral("????") : QString::asprintf("%5.5d", sn);
}

QString Identification::SerialHint() const
{
    return Msg(session_.sensor.Has(app::Cap::Gen0530) ? 392 : 377);
}

QStringList Identification::IdentGridLabels() const
{
    return lang::MsgList(388, session_.language());
}

QStringList Identification::IdentGridColumn(const QString& modelText) const
{
    const auto& st = session_.sensor;
    const QString sep = st.Has(app::Cap::Gen0530) ? QStringLiteral(" / 9xx") : QStringLiteral(" / ");
    return {st.Model, modelText, st.FirmwareText, BoardName(st.Hardware),
            QStringLiteral("20") + YearText() + sep + SerialText()};
}

std::array<std::array<QString, 3>, 9> Identification::CalGrid() const
{
    std::array<std::array<QString, 3>, 9> g;
    const QStringList rows = lang::MsgList(418, session_.language());
    const QStringList cols = lang::MsgList(419, session_.language());
    for (int r = 0; r < 9; ++r)
        g[size_t(r)][0] = r < rows.size() ? rows[r] : QString();
    for (int c = 1; c < 3; ++c)
        g[0][size_t(c)] = c < cols.size() ? cols[c] : QString();
    const auto& cal = session_.sensor.Cal;
    for (int k = 0; k < 8; ++k) {
        const quint8 size = cal[size_t(2 * k)], value = cal[size_t(2 * k + 1)];
        g[size_t(k + 1)][1] = size == 0xFF ? QStringLiteral("---") : QString::asprintf("%2.1f", size / 10.0);
        g[size_t(k + 1)][2] = value == 0xFF ? QStringLiteral("---") : QString::number(value);
    }
    return g;
}

// --- edits -------------------------------------------------------------------------------------

quint8 Identification::ParseYear(const QString& text, quint8 old)
{
    int v = 0;
    if (!app::ParseDecimal(text.trimmed(), v)) return old;
    return quint8(std::clamp(v, 11, 99));
}

quint16 Identification::ParseSerial(const QString& text, quint16 old)
{
    int v = 0;
    if (!app::ParseDecimal(text.trimmed(), v)) return old;
    return quint16(std::clamp(v, 0, 65535));
}

quint8 Identification::ParseCalSize(const QString& text)
{
    bool ok = false;
    const double v = app::CommaToPoint(text.trimmed()).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return 0xFF;
    return quint8(std::lround(std::clamp(v, 0.0, 10.0) * 10.0));
}

quint8 Identification::ParseCalValue(const QString& text)
{
    int v = 0;
    if (!app::ParseDecimal(text.trimmed(), v)) return 0xFF;
    return quint8(std::clamp(v, 0, 240));
}

void Identification::SetCalFromGrid(const std::array<std::array<QString, 2>, 8>& cells)
{
    auto& cal = session_.sensor.Cal;
    for (int k = 0; k < 8; ++k) {
        cal[size_t(2 * k)] = ParseCalSize(cells[size_t(k)][0]);
        cal[size_t(2 * k + 1)] = ParseCalValue(cells[size_t(k)][1]);
    }
}

} // namespace vmx::sensor
