#include "monitor/MeasSample.h"

namespace vmx::monitor {

void SetMonV(MeasSample& s, const std::array<quint8, 16>& v)
{
    auto w = [&](int i) { return quint16((v[size_t(i)] << 8) | v[size_t(i) + 1]); };
    s.Zero = w(0);
    s.ADC = w(2);
    s.Lin = w(4);
    s.Ampl = v[6];
    s.AMax = v[7];
    s.Gain = v[8];
    s.Alarm = v[9];
    s.Flags = v[10];
    s.BAvg = v[11];
    s.Error = v[12];
    s.Test = w(13);
    s.Version = v[15];
    s.Signal = s.Error == 0 ? qint32(s.AMax) - 100 * qint32(s.Gain) + 400 : -1;
}

quint8 DerivedOut(const MeasSample& s, quint8 bubbleFactor)
{
    if (s.Error != 0) return 241;
    if (s.Alarm != 0) return 240;
    return quint8((unsigned(bubbleFactor) * s.BAvg) & 0xFF);
}

namespace {
const QDate kEpoch(1899, 12, 30);
}

double ToSampleTime(const QDateTime& t)
{
    const double days = double(kEpoch.daysTo(t.date()));
    const double frac = double(t.time().msecsSinceStartOfDay()) / 86400000.0;
    return days + frac;
}

QDateTime FromSampleTime(double days)
{
    const qint64 whole = qint64(days);
    qint64 ms = qint64((days - double(whole)) * 86400000.0 + 0.5);
    if (ms >= 86400000) ms = 86399999;
    return QDateTime(kEpoch.addDays(whole), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QStringList ShortRowTexts(const MeasSample& s)
{
    const QDateTime t = FromSampleTime(s.Time);
    return {QString::number(s.Index), t.toString(QStringLiteral("dd.MM.yyyy")),
            t.toString(QStringLiteral("hh:mm:ss")), QString::asprintf("%2d", s.OUT)};
}

QStringList RowTexts(const MeasSample& s)
{
    QStringList r = ShortRowTexts(s);
    r << QString::number(s.Zero) << QString::number(s.ADC) << QString::number(s.Lin)
      << QString::number(s.Ampl) << QString::number(s.AMax) << QString::number(s.Gain)
      << QString::number(s.BAvg) << QString::asprintf("%2.2X", s.Alarm) << QString::asprintf("%2.2X", s.Flags)
      << QString::asprintf("%2.2X", s.Error) << QString::asprintf("%4.4X", s.Test)
      << QString::asprintf("%2.2X", s.Version);
    return r;
}

const QStringList& TableHeadings()
{
    static const QStringList h{"Ix",   "Date", "Time", "OUT",   "Zero",  "ADC",   "Lin",  "Ampl",
                               "AMax", "Gain", "BAvg", "Alarm", "Flags", "Error", "Test", "Version"};
    return h;
}

} // namespace vmx::monitor
