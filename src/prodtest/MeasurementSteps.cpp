#include "prodtest/MeasurementSteps.h"

#include "app/SensorTypes.h"
#include "app/Session.h"
#include "link/Link.h"
#include "monitor/MeasurementStore.h"
#include "prodtest/OperatorPanel.h"
#include "prodtest/StepContext.h"
#include "prodtest/TestDefinitions.h"
#include "proto/Protocol.h"
#include "sensor/DeviceCommands.h"
#include "testmodule/ModuleRecord.h"
#include "testmodule/TestModule.h"

namespace vmx::prodtest {

namespace {
constexpr int kMsgRestart = 268;   // "Neustart: "
constexpr int kModeLong = 2;       // the long measurement protocol
constexpr int kModeDialog = 3;     // polled, as the 05.30 generation measures
constexpr int kModeSwitching = 0;  // the outputs switch by the tube state
constexpr int kReplyPortBase = 4;  // the port bytes of the module's measurement reply
constexpr int kToggleWaitMs = 800; // long enough for both levels to be latched
constexpr int kLevelWaitMs = 100;

// printf-style with the label (a QString) in place of %s.
QString Fmt(const char* format, int n, const QString& label)
{
    return QString::asprintf(format, n, label.toUtf8().constData());
}
QString Fmt(const char* format, int n, const QString& label, int a, int b)
{
    return QString::asprintf(format, n, label.toUtf8().constData(), a, b);
}
// The live values a step judges, as the panel lists them.
constexpr int kFieldSignal = 0;
constexpr int kFieldHighestOut = 2;

QString Range(int low, int high)
{
    // Without its MAX key an item bounds the lower side only.
    if (high == -1) return QStringLiteral(">= %1").arg(low);
    return QStringLiteral("%1..%2").arg(low).arg(high);
}
} // namespace

MeasurementSteps::MeasurementSteps(StepContext& context, link::Link& link, monitor::MeasurementStore& store,
                                   sensor::DeviceCommands& devices, testmodule::TestModule& module)
    : c_(context), link_(link), store_(store), devices_(devices), module_(module)
{
}

// ---- restart of the acquisition for a measurement ----

void MeasurementSteps::StartLongSerialProt()
{
    if (c_.session.sensor.Has(app::Cap::Gen0530)) return StartLongSerialProtQVR0530();
    c_.Stop();
    c_.MarkMeasurementInvalid();
    devices_.Restart();
    c_.hooks.ConfigureOutput(kModeLong);
    c_.Wait(500);
    c_.hooks.StartAcquisition();
    c_.Wait(500);
    store_.ResetHighestOut();
}

void MeasurementSteps::StartLongSerialProtQVR0530()
{
    c_.Stop();
    c_.MarkMeasurementInvalid();
    c_.hooks.ConfigureOutput(kModeDialog);
    link_.protocol().SendReceiveCommand(proto::kTargetSensor, proto::cmd::Restart, 5, 0,
                                        c_.session.Msg(kMsgRestart));
    c_.Wait(300);
    link_.Purge_In();
    // The sensor keeps its output maximum through this restart: the bubble tests judge only
    // what is stored from here on, never the previous test's maximum.
    store_.ResetHighestOut();
    c_.hooks.StartAcquisition();
    c_.Wait(600);
}

void MeasurementSteps::Judge(int field, const QString& limits)
{
    if (c_.panel) c_.panel->MarkJudgedValue(field, limits);
}

void MeasurementSteps::LiveWhilePreparing(int field, const QString& limits)
{
    // The operator sets up the next measurement watching the values it will be judged by,
    // from the moment the prompt appears.
    Judge(field, limits);
    StartLongSerialProt();
}

// ---- without, empty and filled tube ----

void MeasurementSteps::PrepareWithout()
{
    const int max = c_.defs.cond.NoTubeMax;
    if (max == -1) return c_.AutoAdvance();
    c_.Prompt(QString::asprintf("Messung ohne Schlauch (0 .. %3d) ...", max));
    Judge(kFieldSignal, Range(0, max));
    c_.hooks.ResetMeasuredValues();
    StartLongSerialProt();
}

void MeasurementSteps::GetWithout()
{
    TMeasuringCond& cond = c_.defs.cond;
    TMeasuringData& d = c_.defs.data;
    if (cond.NoTubeMax == -1) return c_.AutoAdvance();
    d.NoTubeResult = 0;
    const monitor::MeasSample& s = c_.measured();
    if (c_.MeasurementMissing())
        return c_.Red(QStringLiteral("Messung ohne Schlauch: FEHLER, keine Messung"));
    if (s.Error != 0) return c_.Red(QStringLiteral("Messung ohne Schlauch: QVR meldet FEHLER"));
    d.NoTubeValue = s.Signal;
    if (s.Signal > cond.NoTubeMax)
        return c_.Red(QStringLiteral("Messung ohne Schlauch: FEHLER, Wert zu hoch"));
    c_.Blue(QStringLiteral("Messung ohne Schlauch: okay"));
    c_.Wait(500);
    d.NoTubeResult = 1;
    c_.AutoAdvance();
}

void MeasurementSteps::CommandEmpty()
{
    if (c_.defs.cond.EmptyTubeMax == -1) return c_.AutoAdvance();
    c_.Prompt(QStringLiteral("--> leeren Schlauch einlegen!"));
    LiveWhilePreparing(kFieldSignal, Range(0, c_.defs.cond.EmptyTubeMax));
}

void MeasurementSteps::PrepareEmpty()
{
    const int max = c_.defs.cond.EmptyTubeMax;
    if (max == -1) return c_.AutoAdvance();
    c_.Prompt(QString::asprintf("Messung leerer Schlauch (0 .. %3d) ...", max));
    Judge(kFieldSignal, Range(0, max));
    StartLongSerialProt();
}

void MeasurementSteps::GetEmpty()
{
    TMeasuringCond& cond = c_.defs.cond;
    TMeasuringData& d = c_.defs.data;
    if (cond.EmptyTubeMax == -1) return c_.AutoAdvance();
    d.EmptyTubeResult = 0;
    const monitor::MeasSample& s = c_.measured();
    if (c_.MeasurementMissing())
        return c_.Red(QStringLiteral("Messung leerer Schlauch: FEHLER, keine Messung"));
    if (s.Error != 0) return c_.Red(QStringLiteral("Messung leerer Schlauch: QVR meldet FEHLER"));
    d.EmptyTubeValue = s.Signal;
    if (s.Signal > cond.EmptyTubeMax)
        return c_.Red(QStringLiteral("Messung leerer Schlauch: FEHLER, Wert zu hoch"));
    c_.Blue(QStringLiteral("Messung leerer Schlauch: okay"));
    c_.Wait(500);
    d.EmptyTubeResult = 1;
    c_.AutoAdvance();
}

void MeasurementSteps::CommandFull()
{
    const TMeasuringCond& cond = c_.defs.cond;
    if (cond.FullTubeMin == -1 || cond.FullTubeMax == -1) return c_.AutoAdvance();
    c_.Prompt(QStringLiteral("--> gefüllten Schlauch einlegen!"));
    LiveWhilePreparing(kFieldSignal, Range(cond.FullTubeMin, cond.FullTubeMax));
}

void MeasurementSteps::PrepareFull()
{
    const TMeasuringCond& cond = c_.defs.cond;
    if (cond.FullTubeMin == -1 || cond.FullTubeMax == -1) return c_.AutoAdvance();
    c_.Prompt(
        QString::asprintf("Messung voller Schlauch (%3d .. %3d) ...", cond.FullTubeMin, cond.FullTubeMax));
    Judge(kFieldSignal, Range(cond.FullTubeMin, cond.FullTubeMax));
    StartLongSerialProt();
}

void MeasurementSteps::GetFull()
{
    TMeasuringCond& cond = c_.defs.cond;
    TMeasuringData& d = c_.defs.data;
    if (cond.FullTubeMin == -1 || cond.FullTubeMax == -1) return c_.AutoAdvance();
    d.FullTubeResult = 0;
    const monitor::MeasSample& s = c_.measured();
    if (c_.MeasurementMissing())
        return c_.Red(QStringLiteral("Messung voller Schlauch: FEHLER, keine Messung"));
    if (s.Error != 0) return c_.Red(QStringLiteral("Messung voller Schlauch: QVR meldet FEHLER"));
    d.FullTubeValue = s.Signal;
    if (s.Signal < cond.FullTubeMin || s.Signal > cond.FullTubeMax)
        return c_.Red(QStringLiteral("Messung voller Schlauch: FEHLER, Wert außerhalb der Grenzen"));
    c_.Blue(QStringLiteral("Messung voller Schlauch: okay"));
    c_.Wait(500);
    d.FullTubeResult = 1;
    c_.AutoAdvance();
}

// ---- amplitude tests ----

bool MeasurementSteps::AmplDefined(int n) const
{
    return n >= 1 && n <= 8 && c_.defs.items.Ampl[size_t(n)].Low != -1;
}

void MeasurementSteps::CommandAmplMeas(int n)
{
    if (!AmplDefined(n)) return c_.AutoAdvance();
    const TMeasItem& a = c_.defs.items.Ampl[size_t(n)];
    c_.Prompt(Fmt("Vorbereitung Ampl Test %d: %s", n, a.IniLabel));
    LiveWhilePreparing(kFieldSignal, Range(a.Low, a.High));
}

void MeasurementSteps::PrepareAmplMeas(int n)
{
    if (!AmplDefined(n)) return c_.AutoAdvance();
    const TMeasItem& a = c_.defs.items.Ampl[size_t(n)];
    c_.Prompt(Fmt("Ampl Test %d: %s, (Ampl= %3d..%3d)", n, a.IniLabel, a.Low, a.High));
    Judge(kFieldSignal, Range(a.Low, a.High));
    c_.hooks.ResetMeasuredValues();
    StartLongSerialProt();
}

void MeasurementSteps::GetAmplMeas(int n)
{
    if (!AmplDefined(n)) return c_.AutoAdvance();
    TMeasItem& a = c_.defs.items.Ampl[size_t(n)];
    a.Result = 0;
    const monitor::MeasSample& s = c_.measured();
    if (c_.MeasurementMissing()) return c_.Red(Fmt("Ampl Test %d: %s, FEHLER, keine Messung", n, a.IniLabel));
    if (s.Error != 0) return c_.Red(Fmt("Ampl Test %d: %s, QVR meldet Fehler", n, a.IniLabel));
    a.Measured = s.Signal;
    if (s.Signal < a.Low) return c_.Red(Fmt("Ampl Test %d: %s, FEHLER, Wert zu niedrig", n, a.IniLabel));
    // Without its MAX key the MIN bounds the lower side only.
    if (a.High != -1 && s.Signal > a.High)
        return c_.Red(Fmt("Ampl Test %d: %s, FEHLER, Wert zu hoch", n, a.IniLabel));
    c_.Blue(Fmt("Ampl Test %d: %s   --> okay", n, a.IniLabel));
    c_.Wait(500);
    a.Result = 1;
    c_.AutoAdvance();
}

// ---- bubble tests ----

bool MeasurementSteps::BubbleDefined(int n) const
{
    return n >= 1 && n <= 4 && c_.defs.items.Bubble[size_t(n)].Low != -1;
}

void MeasurementSteps::PrepareBubbleTest(int n)
{
    if (!BubbleDefined(n)) return c_.AutoAdvance();
    const TMeasItem& b = c_.defs.items.Bubble[size_t(n)];
    c_.Prompt(Fmt("Blasentest %d: %s (QVROUT= %3d .. %3d)", n, b.IniLabel, b.Low, b.High));
    Judge(kFieldHighestOut, Range(b.Low, b.High));
    StartLongSerialProt();
}

void MeasurementSteps::GetBubbleTest(int n)
{
    if (!BubbleDefined(n)) return c_.AutoAdvance();
    TMeasItem& b = c_.defs.items.Bubble[size_t(n)];
    b.Result = 0;
    b.Measured = -1;
    const monitor::MeasSample& s = c_.measured();
    const int highest = store_.highestOut();
    if (c_.MeasurementMissing() || highest < 0)
        return c_.Red(Fmt("Blasentest %d: %s, FEHLER, keine Messung", n, b.IniLabel));
    if (s.Error != 0) return c_.Red(Fmt("Blasentest %d: %s, QVR meldet FEHLER", n, b.IniLabel));
    b.Measured = highest;
    if (highest < b.Low) return c_.Red(Fmt("Blasentest %d: %s, FEHLER, Wert zu niedrig", n, b.IniLabel));
    if (b.High != -1 && highest > b.High)
        return c_.Red(Fmt("Blasentest %d: %s, FEHLER, Wert zu hoch", n, b.IniLabel));
    c_.Blue(Fmt("Blasentest %d: %s   --> okay", n, b.IniLabel));
    c_.Stop();
    c_.Wait(500);
    b.Result = 1;
    c_.AutoAdvance();
}

// ---- switching outputs ----

QString MeasurementSteps::PortClass(quint8 state)
{
    switch (state) {
    case 0x11:
        return QStringLiteral("L");
    case 0x22:
        return QStringLiteral("H");
    case 0x31:
    case 0x32:
        return QStringLiteral("Toggle");
    default:
        return QStringLiteral("?");
    }
}

bool MeasurementSteps::PortMatches(int expected, quint8 state)
{
    switch (expected) {
    case 0:
        return state == 0x11;
    case 1:
        return state == 0x22;
    case 2:
        // Both levels latched since the start: the output toggled, whatever it shows now.
        return (state >> 4) == 0x3;
    default:
        return false;
    }
}

QString MeasurementSteps::PortLevels(quint8 state)
{
    QString t;
    if (state & 0x01) t += QLatin1Char('L');
    if (state & 0x02) t += QLatin1Char('H');
    t += QStringLiteral(" | Speicher: ");
    if (state & 0x10) t += QLatin1Char('L');
    if (state & 0x20) t += QLatin1Char('H');
    return t;
}

bool MeasurementSteps::ModuleRefused(int& outcome, const QString& caption)
{
    // Behind a failed test-hardware check the output cannot be read (nor judged from an LED
    // the wrong hardware drives): the check that could not run counts as failed.
    if (c_.record.checkResult != 0) return false;
    outcome = 0;
    c_.Red(caption + QStringLiteral("FEHLER, Prüfmittel nicht bestätigt"));
    return true;
}

bool MeasurementSteps::ReadPort(int port, int waitMs, const QString& caption, quint8& state)
{
    if (!module_.QVR06Meas(true)) return false;
    c_.Wait(waitMs);
    if (!module_.QVR06Meas(false)) return false;
    // The TK33 reports three ports, the VO40 four; a port beyond them has no level to judge.
    const int ports = c_.record.testHardware == testmodule::HardwareVO40 ? 4 : 3;
    state = port >= 0 && port < ports ? link_.Rx()[kReplyPortBase + port] : 0;
    c_.session.PanelText(1, QString::asprintf(caption.toUtf8().constData(), port) + PortLevels(state));
    return true;
}

void MeasurementSteps::CheckSwitchingOut(int n, int port, bool configure)
{
    if (n < 1 || n > 6 || c_.defs.items.SwitchOut[size_t(n)].Low == -1) return c_.AutoAdvance();
    TMeasItem& out = c_.defs.items.SwitchOut[size_t(n)];
    const int expected = out.Low;
    if (ModuleRefused(out.Result, QString::asprintf("Schaltausgang Test %d: ", n))) {
        out.MeasuredText = QStringLiteral("?");
        return;
    }
    c_.Stop();
    if (configure) c_.hooks.ConfigureOutput(kModeSwitching);
    const int kind = c_.record.testHardware;
    if (kind == testmodule::HardwareTK33 || kind == testmodule::HardwareVO40) {
        out.Result = 0;
        const QString caption = kind == testmodule::HardwareTK33
                                    ? QStringLiteral("QVR05/06, Port %d, aktuell: ")
                                    : QStringLiteral("QVR05/WSK02, Port %d, aktuell: ");
        quint8 state = 0;
        if (!ReadPort(port, expected == 2 ? kToggleWaitMs : kLevelWaitMs, caption, state)) return;
        out.MeasuredText = PortClass(state);
        if (!PortMatches(expected, state))
            return c_.Red(QString::asprintf("Schaltausgang Test %d: FEHLER, falscher Pegel: %s", n,
                                            out.MeasuredText.toUtf8().constData()));
        out.Result = 1;
        return c_.AutoAdvance();
    }
    // Without a module the operator looks at the sensor's LED and goes on.
    switch (expected) {
    case 0:
        return c_.Blue(QString::asprintf("Schaltausgang Test %d: LED darf nicht leuchten", n));
    case 1:
        return c_.Blue(QString::asprintf("Schaltausgang Test %d: LED muss leuchten", n));
    case 2:
        return c_.Blue(QString::asprintf("Schaltausgang Test %d: LED muss blinken", n));
    default:
        return c_.Red(QString::asprintf("Schaltausgang Test %d: FEHLER, unbekannter Zustand", n));
    }
}

void MeasurementSteps::CheckSwitchingOutput(int level, int port)
{
    TMeasuringData& d = c_.defs.data;
    if (ModuleRefused(level == 1 ? d.HighOutputResult : d.LowOutputResult,
                      QStringLiteral("Kontrolle Schaltausgang: ")))
        return;
    c_.Stop();
    c_.hooks.ConfigureOutput(kModeSwitching);
    if (c_.record.testHardware != testmodule::HardwareTK33)
        return c_.Blue(level == 1 ? QStringLiteral("Kontrolle Schaltausgang: LED muss leuchten")
                                  : QStringLiteral("Kontrolle Schaltausgang: LED darf nicht leuchten"));
    int& outcome = level == 1 ? d.HighOutputResult : d.LowOutputResult;
    outcome = 0;
    quint8 state = 0;
    if (!ReadPort(port, kLevelWaitMs, QStringLiteral("QVR05/06, Port %d, aktuell: "), state)) return;
    if (state != (level == 1 ? 0x22 : 0x11))
        return c_.Red(QStringLiteral("Kontrolle Schaltausgang: FEHLER, falscher Pegel"));
    outcome = 1;
    c_.AutoAdvance();
}

// ---- shield and cable bridge ----

void MeasurementSteps::PrepareCheckShield()
{
    c_.Prompt(QStringLiteral("Messung Widerstand: Steckergehäuse <--> Sensorboden"));
    if (c_.panel) c_.panel->ShowShieldChoice(true);
}

void MeasurementSteps::SubmitCheckShield()
{
    TMeasuringData& d = c_.defs.data;
    d.ShieldResult = 0;
    // Nobody at the page to choose is no judgement: the resistance counts as too high.
    const bool tooHigh = !c_.panel || c_.panel->ShieldTooHigh();
    if (c_.panel) c_.panel->ShowShieldChoice(false);
    if (tooHigh) return c_.Red(QStringLiteral("FEHLER: Widerstand zu hoch"));
    d.ShieldResult = 1;
    c_.AutoAdvance();
}

void MeasurementSteps::TestCableBridge(int port)
{
    TMeasuringData& d = c_.defs.data;
    d.BridgeResult = 0;
    if (c_.record.testHardware != testmodule::HardwareTK33)
        return c_.Red(QStringLiteral("Kontrolle Brücke: FEHLER, Test nur mit TK33 möglich."));
    quint8 state = 0;
    if (!ReadPort(port, kLevelWaitMs, QStringLiteral("QVR05/06, Port %d, aktuell: "), state)) return;
    if (state != 0x11) return c_.Red(QStringLiteral("Kontrolle Brücke: FEHLER, falscher Pegel"));
    d.BridgeResult = 1;
    c_.AutoAdvance();
}

} // namespace vmx::prodtest
