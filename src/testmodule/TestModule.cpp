#include "testmodule/TestModule.h"

#include "app/Session.h"
#include "lang/MessageIds.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"
#include "proto/Protocol.h"

namespace vmx::testmodule {

using app::CommentColour;
using namespace proto;

namespace {
constexpr int kModuleIdent = 99;
constexpr int kIdentAnswer = 21;
constexpr int kData = 4; // first payload byte of an answer

// "L"/"H" of one output byte: bit `low` and bit `low` + 1.
QString LowHigh(quint8 b, int low)
{
    QString s;
    if (b & (1 << low)) s += QLatin1Char('L');
    if (b & (1 << (low + 1))) s += QLatin1Char('H');
    return s;
}

// The QVR02.10's letters of bits `first` .. `first` + 3.
QString Letters(quint8 b, int first)
{
    static const char kLetters[] = "LMBE";
    QString s;
    for (int i = 0; i < 4; ++i)
        if (b & (1 << (first + i))) s += QLatin1Char(kLetters[i]);
    return s;
}
} // namespace

TestModule::TestModule(app::Session& session, link::Link& link, ModuleRecord& record, Hooks& hooks)
    : session_(&session), link_(&link), record_(&record), hooks_(&hooks)
{
}

void TestModule::Comment(CommentColour colour, const QString& text)
{
    session_->ShowLComment(colour, text);
}

void TestModule::Signal()
{
    if (steps) steps->AutoAdvance();
}

void TestModule::Changed()
{
    hooks_->ModuleChanged();
}

bool TestModule::Command(quint8 command, int frameLength, int answerLength, const QString& caption)
{
    return link_->protocol().SendReceiveCommand(kTargetModule, command, frameLength, answerLength, caption);
}

bool TestModule::Switch(Toggle& action, quint8 command, bool on, const QString& caption, Font onFont,
                        Font offFont, int waitMs)
{
    // Black while the command is out; the colour of the new state only when it succeeded.
    action.font = Font::Black;
    Changed();
    link_->Tx()[kData] = on ? 1 : 0;
    if (!Command(command, 6, 1, caption)) return false;
    action.font = on ? onFont : offFont;
    action.checked = on;
    Changed();
    if (waitMs > 0) session_->Wait(waitMs);
    return true;
}

bool TestModule::SwitchPowerQVR(bool on)
{
    return Switch(power, cmd::TmPower, on,
                  on ? QStringLiteral("Power QVR -> ON: ") : QStringLiteral("Power QVR -> OFF: "), Font::Red,
                  Font::Green, 400);
}

bool TestModule::RoutePower(bool on, bool& isModule)
{
    if (ident.ident != kModuleIdent) TK33_GetIdent();
    isModule = ident.ident == kModuleIdent;
    if (!isModule) return false;
    link_->Tx()[kData] = on ? 1 : 0;
    if (!Command(cmd::TmPower, 6, 1,
                 on ? QStringLiteral("Power QVR -> ON: ") : QStringLiteral("Power QVR -> OFF: ")))
        return false;
    // The page's power switch shows the same state.
    power.font = on ? Font::Red : Font::Green;
    power.checked = on;
    Changed();
    return true;
}

bool TestModule::RouteTestPulse(bool high, int time)
{
    link_->Tx()[kData] = high ? 3 : 1;
    link_->Tx()[kData + 1] = quint8(time);
    return Command(cmd::TmBubbleTest, 7, 1, session_->Msg(lang::ids::kMsgBubbleTestPulse));
}

bool TestModule::RouteChannel(bool channel1)
{
    link_->Tx()[kData] = channel1 ? 1 : 0;
    return Command(cmd::TmSerialIf, 6, 1, session_->Msg(lang::ids::kMsgChannel));
}

bool TestModule::SwitchSerialIF(int type)
{
    link_->Tx()[kData] = quint8(type);
    const bool ok = Command(cmd::TmSerialIf, 6, 1, session_->Msg(lang::ids::kMsgChannel));
    if (type < kIfSlave || type > kIfRs232) return ok;
    serialIfType_ = type;
    hooks_->SerialIfChanged();
    return ok;
}

bool TestModule::SwitchSerialInterface(int type)
{
    hooks_->StopAcquisition();
    const bool ok = SwitchSerialIF(type);
    if (ok) Signal();
    return ok;
}

bool TestModule::SwitchODDT(bool high)
{
    return Switch(odDt, cmd::TmOdDt, high,
                  high ? QStringLiteral("Auslösen OD_DT-Impuls -> H: ")
                       : QStringLiteral("Auslösen OD_DT-Impuls -> L: "),
                  Font::Green, Font::Red, 0);
}

bool TestModule::SwitchPICProg(bool on)
{
    return Switch(picProg, cmd::TmPicLines, on,
                  on ? QStringLiteral("PIC-Programmierung -> ON: ")
                     : QStringLiteral("PIC-Programmierung -> OFF: "),
                  Font::Red, Font::Green, 50);
}

bool TestModule::ResetC2()
{
    return Command(cmd::TmC2Reset, 5, 1, QStringLiteral("Reset C2-Interface: "));
}

bool TestModule::Ping()
{
    return Command(cmd::TmPing, 5, 1, session_->Msg(lang::ids::kMsgPing));
}

bool TestModule::TK33_GetIdent()
{
    ident = ModuleIdent{};
    const QString caption = session_->Msg(lang::ids::kMsgGetIdent);
    if (!Command(cmd::TmIdent, 5, kIdentAnswer, caption)) {
        Changed();
        return false;
    }
    const quint8* rx = link_->Rx() + kData;
    ident.ident = rx[0];
    ident.type = rx[1];
    ident.subType = rx[2];
    ident.tag = rx[3];
    ident.firmware = rx[4] | (rx[5] << 8);
    ident.version = QString::asprintf("V%d.%2.2d", ident.firmware / 100, ident.firmware % 100);
    QString line;
    if (ident.ident == kModuleIdent && ident.type == HardwareTK33) {
        ident.model = ident.subType == 0   ? QStringLiteral("TK33 - QVR02.10")
                      : ident.subType == 1 ? QStringLiteral("TK33 - QVR05/06")
                                           : QStringLiteral("TK33 - unbekanntes Frontend");
    } else if (ident.ident == kModuleIdent && ident.type == HardwareVO40) {
        ident.model = ident.subType == 2 ? QStringLiteral("VO40 - Board QVR06_20")
                                         : QStringLiteral("VO40 - unbekanntes Board");
    }
    if (!ident.model.isEmpty())
        line = QStringLiteral("Lese Ident: %1 / FW: %2").arg(ident.model, ident.version);
    else
        line = QStringLiteral("Lese Ident: Id: %1 / Ty: %2 / STy: %3 / Tag: %4 / FW: %5")
                   .arg(ident.ident)
                   .arg(ident.type)
                   .arg(ident.subType)
                   .arg(ident.tag)
                   .arg(ident.version);
    session_->PanelText(1, line);
    Changed();
    return true;
}

bool TestModule::SetLeds()
{
    link_->Tx()[kData] = quint8((ledGreen ? 1 : 0) + (ledRed ? 2 : 0));
    return Command(cmd::TmLed, 6, 1, session_->Msg(lang::ids::kMsgSetLed));
}

bool TestModule::ToggleLed(bool green)
{
    int& state = green ? ledGreen : ledRed;
    state = state ? 0 : 1;
    Changed();
    return SetLeds();
}

bool TestModule::StartMeasurement(Toggle& action, quint8 command, const QString& caption)
{
    action.caption = QStringLiteral("STOP");
    Changed();
    const bool ok = Command(command, 5, 1, caption);
    action.font = ok ? Font::Red : Font::Black;
    Changed();
    return ok;
}

bool TestModule::QVR02Meas(bool start)
{
    qvr02.checked = start;
    if (start) return StartMeasurement(qvr02, cmd::TmQvr02Start, QStringLiteral("QVR02 - Start Messung: "));
    qvr02.caption = QStringLiteral("START");
    Changed();
    if (!Command(cmd::TmQvr02Stop, 5, 7, QStringLiteral("QVR02 - Stop Messung: "))) {
        qvr02.font = Font::Black;
        Changed();
        return false;
    }
    const quint8 outputs = link_->Rx()[kData];
    const quint8 od = link_->Rx()[kData + 1];
    auto onOff = [](bool on) { return on ? QStringLiteral("ON") : QStringLiteral("OFF"); };
    session_->PanelText(1, QStringLiteral("QVR02: aktuell: ") + Letters(outputs, 0) +
                               QStringLiteral(" / OD: ") + onOff(od & 0x01) +
                               QStringLiteral(" | Speicher: ") + Letters(outputs, 4) +
                               QStringLiteral(" / OD: ") + onOff(od & 0x10));
    qvr02.font = Font::Green;
    Changed();
    return true;
}

bool TestModule::QVR06Meas(bool start)
{
    if (ident.ident != kModuleIdent) TK33_GetIdent();
    if (ident.ident != kModuleIdent) return false;
    qvr06.checked = start;
    if (start) return StartMeasurement(qvr06, cmd::TmMeasStart, QStringLiteral("Start Messung: "));
    qvr06.caption = QStringLiteral("START");
    qvr06.font = Font::Black;
    Changed();
    const bool vo40 = ident.type == HardwareVO40;
    if (!vo40 && ident.type != HardwareTK33) return false;
    if (!Command(cmd::TmMeasStop, 5, vo40 ? 9 : 8, QStringLiteral("Stop Messung: "))) return false;
    const quint8* d = link_->Rx() + kData;
    QString line;
    if (!vo40) {
        auto group = [&](int low) {
            QStringList parts;
            for (int i = 0; i < 3; ++i)
                parts << LowHigh(d[i], low);
            return parts.join(QLatin1Char(' '));
        };
        line = QStringLiteral("QVR05/06, aktuell: ") + group(0) + QStringLiteral(" | Speicher: ") + group(4);
    } else {
        auto group = [&](int low) {
            return QStringLiteral(" O1=") + LowHigh(d[0], low) + QStringLiteral(" O2= ") +
                   LowHigh(d[1], low) + QStringLiteral(" A1= ") + LowHigh(d[2], low) +
                   QStringLiteral(" A2= ") + LowHigh(d[3], low);
        };
        line = QStringLiteral("QVR05/WSK02, aktuell:") + group(0) + QStringLiteral(" | Speicher:") + group(4);
    }
    session_->PanelText(1, line);
    qvr06.font = Font::Green;
    Changed();
    return true;
}

bool TestModule::ResetSwitches()
{
    if (record_->testHardware != HardwareTK33) return true;
    bool ok = true;
    if (!odDt.checked) ok = SwitchODDT(true) && ok;
    if (picProg.checked) ok = SwitchPICProg(false) && ok;
    ok = ResetC2() && ok;
    return ok;
}

void TestModule::CheckTK33Ident(int frontEnd, int allowed)
{
    Comment(CommentColour::Blue, QStringLiteral("Kontrolle Prüfmittel: ..."));
    hooks_->StopAcquisition();
    record_->testHardware = HardwareNone;
    record_->checkResult = 0;
    auto allows = [&](int bit) { return (allowed & (bit | AllowAny)) != 0; };
    auto okay = [&](const QString& text) {
        Comment(CommentColour::Blue, text);
        record_->checkResult = 1;
        session_->Wait(200);
        Signal();
    };
    auto fail = [&](const QString& text) { Comment(CommentColour::Red, text); };
    const QString unsuitable = QStringLiteral("Prüfmittel: FEHLER, ungeeignetes Prüfmittel");

    const QString port = link_->PortName();
    if (port.contains(QLatin1String("USB"), Qt::CaseInsensitive)) {
        const QString serial = link_->UsbSerial();
        if (serial == QLatin1String("005_V001") || serial.contains(QLatin1String("9005"))) {
            record_->testHardware = HardwareConverter005;
            if (!allows(AllowConverter005)) return fail(unsuitable);
            return okay(QStringLiteral("Prüfmittel: USB-Data-Converter Typ 005, okay"));
        }
        if (serial == QLatin1String("007_V001") || serial.contains(QLatin1String("9007"))) {
            record_->testHardware = HardwareConverter007;
            if (!allows(AllowConverter007)) return fail(unsuitable);
            return okay(QStringLiteral("Prüfmittel: USB-Data-Converter Typ 007, okay"));
        }
    } else {
        if (!allows(AllowComPort)) return fail(unsuitable);
        record_->testHardware = HardwareComPort;
        return okay(QStringLiteral("Prüfmittel: %1-Anschluss, okay").arg(port));
    }
    // A converter that is neither: a test module should answer behind it.
    if (!TK33_GetIdent())
        return fail(QStringLiteral("Prüfmittel: FEHLER, nicht angeschlossen oder ausgeschaltet"));
    if (ident.ident == kModuleIdent && ident.type == HardwareTK33 && ident.subType == frontEnd)
        record_->testHardware = HardwareTK33;
    else if (ident.ident == kModuleIdent && ident.type == HardwareVO40)
        record_->testHardware = HardwareVO40;
    else
        return fail(QStringLiteral("Prüfmittel: FEHLER, falsches Prüfmittel oder Frontend"));
    if (!SwitchSerialIF(kIfMaster))
        return fail(QStringLiteral("Prüfmittel: FEHLER, TK: Umschalten serielles Interface"));
    okay(QStringLiteral("Prüfmittel: okay"));
}

bool TestModule::SwitchConverterOrModule(bool on)
{
    const int kind = record_->testHardware;
    if (kind == HardwareConverter007) {
        hooks_->PowerActionChanged(on);
        return hooks_->ConverterPower(on);
    }
    if (kind == HardwareTK33 || kind == HardwareVO40) return SwitchPowerQVR(on);
    return true;
}

void TestModule::PowerStep(bool on)
{
    hooks_->StopAcquisition();
    const int kind = record_->testHardware;
    const bool switches = kind == HardwareConverter007 || kind == HardwareTK33 || kind == HardwareVO40;
    const QString what = on ? QStringLiteral("QVR Power ON: ") : QStringLiteral("QVR Power OFF: ");
    if (switches) {
        // A switch that failed is said and not signalled: the run halts on the step.
        if (!SwitchConverterOrModule(on)) return Comment(CommentColour::Red, what + QStringLiteral("FEHLER"));
        Comment(CommentColour::Blue, what + QStringLiteral("okay"));
    }
    Signal();
}

void TestModule::SwitchPowerQVR_Automatically()
{
    hooks_->StopAcquisition();
    // Where the station switches the power, a switch that failed halts the run on the step,
    // as in the single power steps; elsewhere there is nothing to switch.
    const int kind = record_->testHardware;
    const bool switches = kind == HardwareConverter007 || kind == HardwareTK33 || kind == HardwareVO40;
    auto power = [&](bool on) { return hooks_->ConverterPower(on) || !switches; };
    if (!power(false)) return Comment(CommentColour::Red, QStringLiteral("QVR Power OFF: FEHLER"));
    Comment(CommentColour::Blue, QStringLiteral("QVR Power OFF: okay"));
    session_->Wait(500);
    if (!power(true)) return Comment(CommentColour::Red, QStringLiteral("QVR Power ON: FEHLER"));
    Comment(CommentColour::Blue, QStringLiteral("QVR Power ON: okay"));
    session_->Wait(500);
    Signal();
}

} // namespace vmx::testmodule
