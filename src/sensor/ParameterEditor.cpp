#include "sensor/ParameterEditor.h"

#include "app/SensorTypes.h"

#include <algorithm>
#include <cmath>

namespace vmx::sensor {

namespace {

constexpr double kUsFactor = 8.166;   // timer steps per microsecond
constexpr double kIncFactor = 131.07; // 65535 / 500 dB/s

int Nearest(double v)
{
    return int(std::lround(v));
}

int ClampToWidth(int v, int width)
{
    return std::clamp(v, 0, width == 2 ? 0xFFFF : 0xFF);
}

EditField Int(const char* name, int offset, int width, int min, int max)
{
    EditField f;
    f.Name = QLatin1String(name);
    f.Offset = offset;
    f.Width = width;
    f.Rule = EditRule::Integer;
    f.Min = min;
    f.Max = max;
    return f;
}

EditField Scaled(const char* name, int offset, double min, double max, double valueOffset, double factor,
                 EditShow show = EditShow::Scaled, int decimals = 1)
{
    EditField f;
    f.Name = QLatin1String(name);
    f.Offset = offset;
    f.Width = 1;
    f.Rule = EditRule::Scaled;
    f.Min = min;
    f.Max = max;
    f.ValueOffset = valueOffset;
    f.Factor = factor;
    f.Show = show;
    f.Decimals = decimals;
    return f;
}

EditField Real(const char* name, int offset, int width, double min, double max, double factor, EditShow show,
               int decimals)
{
    EditField f;
    f.Name = QLatin1String(name);
    f.Offset = offset;
    f.Width = width;
    f.Rule = EditRule::Real;
    f.Min = min;
    f.Max = max;
    f.Factor = factor;
    f.Show = show;
    f.Decimals = decimals;
    return f;
}

EditField Second(EditField f)
{
    f.SecondSet = true;
    return f;
}

std::vector<EditField> BuildFields()
{
    std::vector<EditField> v;
    const auto both = [&v](const EditField& f) {
        v.push_back(f);
        EditField s = f;
        s.Name += QLatin1Char('2');
        v.push_back(Second(s));
    };
    v.push_back(Scaled("ESendPulse", Par::SendPulse, 0, 10, 0.08, kUsFactor, EditShow::PulseOrOff));
    v.push_back(Scaled("ETestSendPulse", Par::TestSendPulse, 0, 10, 0.08, kUsFactor, EditShow::PulseOrOff));
    both(Scaled("EGateBegin", Par::GateBegin, 0.8, 20, 0.08, kUsFactor));
    both(Scaled("EGateWidth", Par::GateWidth, 0.8, 20, 0.653, kUsFactor));
    v.push_back(Scaled("EGateWidthZero", Par::GateWidthZero, 0.8, 20, 0.653, kUsFactor));
    v.push_back(Int("EADCZeroUpLimit", Par::ADCZeroUpLimit, 2, 0, 1023));
    v.push_back(Int("EADCZeroDnLimit", Par::ADCZeroDnLimit, 2, 0, 1023));
    both(Int("EAmplMaxUpLiq", Par::AmplMaxUpLiq, 2, 0, 655));
    both(Int("EAmplMaxDnLiq", Par::AmplMaxDnLiq, 2, 0, 655));
    EditField inc =
        Real("EAmplIncrement", Par::AmplIncrement, 2, 0.007, 500, kIncFactor, EditShow::Scaled, 1);
    inc.HintMessage = 146;
    both(inc);
    EditField dec =
        Real("EAmplDecrement", Par::AmplDecrement, 2, 0.007, 500, kIncFactor, EditShow::Scaled, 2);
    dec.HintMessage = 144;
    both(dec);
    v.push_back(Int("EAmplMaxUpLimit", Par::AmplMaxUpLimit, 1, 0, 255));
    v.push_back(Int("EAmplMaxDnLimit", Par::AmplMaxDnLimit, 1, 0, 255));
    v.push_back(Scaled("EAmplBubbleLimit", Par::AmplBubbleLimit, 0, 25.5, 0, 10));
    v.push_back(Int("EBubbleFactor", Par::BubbleFactor, 1, 0, 20));
    v.push_back(Int("EHoldTime", Par::HoldTime, 2, 0, 10000));
    EditField hold2 = Scaled("EHoldTime2", Par::HoldTime, 0, 10000, 0, 5, EditShow::ScaledInt, 0);
    hold2.Width = 2;
    v.push_back(Second(hold2));
    v.push_back(Int("EGainTestInc", Par::GainTestInc, 1, 0, 255));
    v.push_back(Real("EServiceModeTime", Par::ServiceModeTime, 1, 0, 1000, 0.25, EditShow::ServiceTime, 0));
    v.push_back(Scaled("EMaxDiff", Par::MaxDiff, 0, 25.5, 0, 10));
    v.push_back(Scaled("EAmplTestLimit", Par::AmplTestLimit, 0, 25.5, 0, 10));
    v.push_back(Int("EExtResetTime", Par::ExtResetTime, 1, 1, 255));
    EditField crc = Int("ECRC", -1, 2, 0, 65535);
    crc.Show = EditShow::Hex4;
    v.push_back(crc);
    for (int k = 0; k < Par::BubbleTabRows; ++k) {
        const int base = ParameterBlock::BubbleOffset(k);
        const QByteArray size = BubbleEditName(k, 0).toLatin1();
        const QByteArray value = BubbleEditName(k, 1).toLatin1();
        const QByteArray percent = BubbleEditName(k, 2).toLatin1();
        // Rows 8 and 9 name the alarm and error outputs instead of a size.
        if (k < 8) {
            EditField s = Second(Scaled(size.constData(), base, 0, 8, 0, 10));
            s.BubbleRow = k;
            v.push_back(s);
        }
        EditField val = Second(Int(value.constData(), base + 1, 1, 0, 241));
        val.BubbleRow = k;
        v.push_back(val);
        EditField pc = Second(Scaled(percent.constData(), base + 2, 0, 100, 0, 2.55));
        pc.BubbleRow = k;
        v.push_back(pc);
    }
    return v;
}

} // namespace

// ---- conversion rules ----------------------------------------------------------------------

bool ParseEditNumber(const QString& text, double& value)
{
    QString s = text.trimmed();
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    if (s.isEmpty()) return false;
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseEditInteger(const QString& text, qint64& value)
{
    const QString s = text.trimmed();
    if (s.isEmpty()) return false;
    bool ok = false;
    qint64 v = 0;
    if (s.startsWith(QLatin1Char('$')))
        v = s.mid(1).toLongLong(&ok, 16);
    else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = s.mid(2).toLongLong(&ok, 16);
    else
        v = s.toLongLong(&ok, 10);
    if (!ok) return false;
    value = v;
    return true;
}

int TestLimits(const QString& text, int min, int max, int old)
{
    qint64 v = 0;
    if (!ParseEditInteger(text, v)) return old;
    if (v > max) v = max;
    if (v < min) v = min;
    return int(v);
}

int TestLimitsTime(const QString& text, double min, double max, double offset, double factor, int old)
{
    double v = 0;
    if (!ParseEditNumber(text, v)) return old;
    v = std::clamp(v, min, max);
    const double d = v - offset;
    return d < 0 ? 0 : Nearest(d * factor);
}

int TestLimitsReal(const QString& text, double min, double max, double offset, double factor, int dflt)
{
    double v = 0;
    if (!ParseEditNumber(text, v)) return dflt;
    return Nearest(std::clamp(v - offset, min, max) * factor);
}

// ---- numeric edits -------------------------------------------------------------------------

QString BubbleEditName(int row, int column)
{
    return QStringLiteral("EBubbleTab_%1_%2").arg(row).arg(column);
}

const std::vector<EditField>& EditFields()
{
    static const std::vector<EditField> fields = BuildFields();
    return fields;
}

const EditField* FindEditField(const QString& name)
{
    for (const EditField& f : EditFields())
        if (f.Name == name) return &f;
    return nullptr;
}

int FieldValue(const ParameterBlock& b, const EditField& f)
{
    if (f.Offset < 0) return b.word;
    return f.Width == 2 ? b.Word(f.Offset) : b.Byte(f.Offset);
}

void SetFieldValue(ParameterBlock& b, const EditField& f, int value)
{
    value = ClampToWidth(value, f.Width);
    if (f.Offset < 0)
        b.word = quint16(value);
    else if (f.Width == 2)
        b.SetWord(f.Offset, quint16(value));
    else
        b.SetByte(f.Offset, quint8(value));
}

bool ApplyEditText(ParameterBlock& b, const EditField& f, const QString& text)
{
    const int old = FieldValue(b, f);
    int v = old;
    switch (f.Rule) {
    case EditRule::Integer:
        v = TestLimits(text, int(f.Min), int(f.Max), old);
        break;
    case EditRule::Scaled:
        v = TestLimitsTime(text, f.Min, f.Max, f.ValueOffset, f.Factor, old);
        break;
    case EditRule::Real:
        v = TestLimitsReal(text, f.Min, f.Max, f.ValueOffset, f.Factor, old);
        break;
    }
    SetFieldValue(b, f, v);
    return FieldValue(b, f) != old;
}

QString EditFieldText(const ParameterBlock& b, const EditField& f, const std::function<QString(int)>& msg)
{
    const int v = FieldValue(b, f);
    switch (f.Show) {
    case EditShow::Integer:
        return QString::number(v);
    case EditShow::PulseOrOff:
        if (v == 0) return QStringLiteral("OFF");
        [[fallthrough]];
    case EditShow::Scaled:
        return QString::asprintf("%3.*f", f.Decimals, v / f.Factor + f.ValueOffset);
    case EditShow::ScaledInt:
        return QString::number(int(v / f.Factor));
    case EditShow::ServiceTime:
        return v > 4 ? QString::number(v * 4) : (msg ? msg(400) : QString());
    case EditShow::Hex4:
        return QString::asprintf("$%4.4X", unsigned(v));
    }
    return QString();
}

QString EditFieldHint(const ParameterBlock& b, const EditField& f, const std::function<QString(int)>& msg)
{
    if (f.HintMessage < 0) return QString();
    return QStringLiteral("int. = %1\n").arg(FieldValue(b, f)) + (msg ? msg(f.HintMessage) : QString());
}

// ---- lists ---------------------------------------------------------------------------------

int ListItem(int stored, int count)
{
    if (count <= 0) return -1;
    return std::clamp(stored, 0, count - 1);
}

int StartCfgItem(const ParameterBlock& b)
{
    switch (b.StartMode()) {
    case 0x1:
        return 1;
    case 0x3:
        return 2;
    case 0x5:
        return 3;
    case 0x8:
        return 4;
    default:
        return 0;
    }
}

void SetStartCfgItem(ParameterBlock& b, int item)
{
    static constexpr int kNibble[] = {0x0, 0x1, 0x3, 0x5, 0x8};
    if (item < 0 || item > 4) return;
    b.SetStartMode(kNibble[item]);
}

int InitIntervalItem(const ParameterBlock& b)
{
    const int v = b.InitInterval();
    if (v < 8) return 1;
    if (v <= 21) return v - 6;
    return 0;
}

void SetInitIntervalItem(ParameterBlock& b, int item)
{
    if (item < 0 || item > 15) return;
    b.SetInitInterval(quint8(item == 0 ? 0 : item + 6));
}

bool SecurityItemChecked(const ParameterBlock& b, int item)
{
    return b.SecurityItem(item);
}

void SetSecurityItems(ParameterBlock& b, const std::vector<bool>& checked)
{
    quint8 v = 0;
    for (int k = 0; k < int(checked.size()) && k < 8; ++k)
        if (checked[std::size_t(k)]) v |= quint8(1u << k);
    b.SetSecurity(v);
}

quint8 GainCellValue(const QString& text)
{
    return quint8(TestLimits(text, 0, 255, 0));
}

QString GainCellText(quint8 v)
{
    return QString::asprintf("%3.3d", int(v));
}

int GainCellOffset(int gridRow, int gridColumn)
{
    if (gridRow < 1 || gridRow > Par::GainTestRows || gridColumn < 1 || gridColumn > Par::GainTestCols)
        return -1;
    return ParameterBlock::GainTestOffset(gridRow - 1, gridColumn - 1);
}

QString GainTestEditMask(int gridColumn, int gridRow)
{
    return gridColumn > 0 && gridRow > 0 ? QStringLiteral("000;0") : QString();
}

// ---- panels --------------------------------------------------------------------------------

PanelBit PanelBitOfTag(int tag)
{
    PanelBit p;
    if (tag >= 0 && tag <= 3) {
        p.Offset = Par::StartCfg;
        p.Bit = tag;
    } else if (tag >= 10 && tag <= 34 && tag % 10 <= 4) {
        static constexpr int kByte[] = {Par::LiquidOutCfg, Par::AirOutCfg, Par::ErrorOutCfg};
        p.Offset = kByte[tag / 10 - 1];
        p.Bit = tag % 10;
    } else if (tag >= 90 && tag <= 93) {
        p.Offset = Par::InputCfg;
        p.Bit = tag - 90;
    } else if (tag >= 100 && tag < 100 + 10 * Par::BubbleTabRows) {
        const int bit = (tag - 100) % 10;
        if (bit <= 2 || bit == 4) {
            p.Offset = ParameterBlock::BubbleOffset((tag - 100) / 10) + 3;
            p.Bit = bit;
            p.BubbleRow = true;
        }
    }
    return p;
}

bool ToggleCfgBit(ParameterBlock& b, int tag)
{
    const PanelBit p = PanelBitOfTag(tag);
    if (p.Offset < 0) return false;
    b.ToggleBit(p.Offset, p.Bit);
    if (p.BubbleRow) b.SetByte(p.Offset, quint8(b.Byte(p.Offset) & Par::BubbleOutMask));
    return true;
}

PanelLook PanelLookOf(const ParameterBlock& b, int tag)
{
    const PanelBit p = PanelBitOfTag(tag);
    if (p.Offset < 0) return PanelLook::Off;
    const bool on = b.Bit(p.Offset, p.Bit);
    switch (p.Bit) {
    case 0:
        return on ? PanelLook::Green : PanelLook::Off;
    case 1:
        return on ? PanelLook::Red : PanelLook::Off;
    case 2:
        return on ? PanelLook::Blue : PanelLook::Off;
    case 3:
        return on ? PanelLook::Auto : PanelLook::Off;
    default:
        return on ? PanelLook::High : PanelLook::Low;
    }
}

// ---- normalisations ------------------------------------------------------------------------

void NormaliseEditBlock(ParameterBlock& b, quint32 flags, int parLen)
{
    const auto has = [flags](int bit) { return (flags >> bit) & 1u; };
    for (int off : {Par::BubbleAvg, Par::ZeroAvg})
        if (b.Byte(off) == 0xFF) b.SetByte(off, 0);
    for (int off : {Par::Burst, Par::TestBurst}) {
        if (!has(app::Cap::BurstCount))
            b.SetByte(off, 0xFF);
        else if (b.Byte(off) == 0xFF)
            b.SetByte(off, 0);
    }
    const int mode = b.StartCfgMode();
    if (has(app::Cap::Gen140) && mode >= 4 && mode <= 7)
        b.SetInitInterval(quint8(std::clamp<int>(b.InitInterval(), 12, 21)));
    else if (b.Bit(Par::StartCfg, 7) && b.InitInterval() < 12)
        b.SetInitInterval(12);
    if (b.ServiceModeTime() <= 4) b.SetServiceModeTime(0);
    if (has(app::Cap::Gen140)) {
        b.SetBubbleSize(0, 0);
        b.SetBubbleSize(7, 80);
        for (int k = 0; k < Par::BubbleTabRows; ++k)
            if (b.BubbleOut(k) == 0xFF) b.SetBubbleOut(k, 0);
        if (b.InputCfg() == 0xFF) b.SetInputCfg(0);
        // The list shows item 0 for a mode beyond it; the block must say the same.
        if (b.StartCfgMode() >= StartCfgModeCount(flags)) b.SetStartCfgMode(0);
    } else {
        for (int i = 0; i < 4 * Par::BubbleTabRows; ++i)
            b.SetByte(Par::BubbleTab + i, 0xFF);
        for (int off : {Par::BubbleTabLin, Par::StartCfgMode, Par::InputCfg})
            b.SetByte(off, 0xFF);
    }
    if (parLen > 0) b.UpdateCheckSum(parLen);
}

QString BubbleTableCheckText(bool valid, const std::function<QString(int)>& msg)
{
    return valid ? QStringLiteral("--> okay") : QStringLiteral("--> ") + (msg ? msg(134) : QString());
}

// ---- serial modes --------------------------------------------------------------------------

std::pair<int, int> SerialModeLabelMessages(int mode)
{
    switch (mode) {
    case 0:
        return {430, 431};
    case 1:
        return {430, 433};
    case 2:
        return {430, 434};
    case 3:
        return {430, 435};
    case 4:
        return {428, 431};
    case 5:
        return {429, 431};
    case 6:
        return {428, 432};
    case 7:
        return {429, 432};
    case 8:
        return {430, 432};
    case 9:
        return {474, 431};
    case 10:
        return {479, 431};
    default:
        return {426, 426};
    }
}

int SerialModeListMessage(quint32 flags)
{
    if ((flags >> app::Cap::OutModes10) & 1u) return 476;
    if ((flags >> app::Cap::OutModes9) & 1u) return 475;
    if ((flags >> app::Cap::Gen140) & 1u) return 425;
    return 424;
}

int StartCfgModeListMessage(quint32 flags)
{
    if ((flags >> app::Cap::OutModes10) & 1u) return 476;
    if ((flags >> app::Cap::OutModes9) & 1u) return 475;
    return 425;
}

namespace {
int ModeCountOf(int message)
{
    switch (message) {
    case 476:
        return 11;
    case 475:
        return 10;
    case 425:
        return 9;
    default:
        return 5;
    }
}
} // namespace

int SerialModeCount(quint32 flags)
{
    return ModeCountOf(SerialModeListMessage(flags));
}

int StartCfgModeCount(quint32 flags)
{
    return ModeCountOf(StartCfgModeListMessage(flags));
}

} // namespace vmx::sensor
