#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <cstring>

namespace vmx::monitor {

#pragma pack(push, 1)
// One decoded measurement sample, 34 bytes packed in this order.
struct MeasSample {
    qint32 Index;
    double Time; // days since 30.12.1899, time of day as the fraction
    quint8 Valid;
    quint8 OUT;
    quint16 Zero;
    quint16 ADC;
    quint16 Lin;
    quint8 Ampl;
    quint8 AMax;
    quint8 Gain;
    quint8 BAvg;
    quint8 Alarm;
    quint8 Flags;
    quint8 Error;
    quint16 Test;
    quint8 Version;
    qint32 Signal;
};
#pragma pack(pop)
static_assert(sizeof(MeasSample) == 34, "the sample record is 34 bytes");

inline MeasSample EmptySample()
{
    MeasSample s;
    std::memset(&s, 0, sizeof s);
    return s;
}

// Decodes the sixteen value bytes V0..V15 (16-bit values high byte first) into `s`; Signal is
// AMax - 100 * Gain + 400 when Error is 0, else -1.
void SetMonV(MeasSample& s, const std::array<quint8, 16>& v);

// OUT derived by the program for firmware below V1.24: 241 on an error, 240 on an alarm,
// otherwise the bubble factor times BAvg kept to 8 bits.
quint8 DerivedOut(const MeasSample& s, quint8 bubbleFactor);

// Date and time as the samples store it.
double ToSampleTime(const QDateTime& t);
QDateTime FromSampleTime(double days);

// The sixteen cell texts of a table row.
QStringList RowTexts(const MeasSample& s);
// The first four cell texts only, as short-stream rows show them.
QStringList ShortRowTexts(const MeasSample& s);

// Column headings of the measurement table.
const QStringList& TableHeadings();

} // namespace vmx::monitor
