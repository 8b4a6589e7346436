#include "monitor/MeasurementStore.h"
#include "monitor/MeasTableModel.h"

#include <gtest/gtest.h>

using namespace vmx::monitor;
using vmx::app::DataOverflow;

namespace {
MeasSample Out(int out)
{
    MeasSample s = EmptySample();
    s.Valid = 1;
    s.OUT = quint8(out);
    return s;
}
} // namespace

TEST(MeasSample, DecodesValueBytesHighByteFirst)
{
    MeasSample s = EmptySample();
    SetMonV(s, {0x03, 0x84, 0x01, 0x2C, 0x02, 0x58, 200, 210, 3, 0x00, 0x5A, 12, 0, 0xBE, 0xEF, 0x43});
    EXPECT_EQ(+s.Zero, 900);
    EXPECT_EQ(+s.ADC, 300);
    EXPECT_EQ(+s.Lin, 600);
    EXPECT_EQ(s.Ampl, 200);
    EXPECT_EQ(s.AMax, 210);
    EXPECT_EQ(s.Gain, 3);
    EXPECT_EQ(s.Flags, 0x5A);
    EXPECT_EQ(s.BAvg, 12);
    EXPECT_EQ(+s.Test, 0xBEEF);
    EXPECT_EQ(s.Version, 0x43);
    EXPECT_EQ(+s.Signal, 210 - 300 + 400);
    SetMonV(s, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0});
    EXPECT_EQ(+s.Signal, -1);

    // Firmware below V1.24: the error wins over the alarm, then the alarm, then factor * BAvg.
    s.Error = 1;
    s.Alarm = 1;
    EXPECT_EQ(DerivedOut(s, 10), 241);
    s.Error = 0;
    EXPECT_EQ(DerivedOut(s, 10), 240);
    s.Alarm = 0;
    s.BAvg = 30;
    EXPECT_EQ(DerivedOut(s, 10), (300 & 0xFF));
}

TEST(MeasSample, RowTextsUseTheTableFormats)
{
    MeasSample s = EmptySample();
    s.Index = 17;
    s.Time = ToSampleTime(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)));
    s.OUT = 5;
    s.Alarm = 0xA;
    s.Test = 0x1F;
    const QStringList r = RowTexts(s);
    ASSERT_EQ(r.size(), 16);
    EXPECT_EQ(r[0], "17");
    EXPECT_EQ(r[1], "08.12.2026");
    EXPECT_EQ(r[2], "14:05:09");
    EXPECT_EQ(r[3], " 5");
    EXPECT_EQ(r[11], "0A");
    EXPECT_EQ(r[14], "001F");
    // Days since 30.12.1899: 1.1.1900 is day 2.
    EXPECT_DOUBLE_EQ(ToSampleTime(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
}

TEST(MeasurementStore, StopPolicyKeepsTheLastSlot)
{
    MeasurementStore st;
    StoreSettings set;
    for (int i = 0; i < 32000; ++i)
        ASSERT_FALSE(st.Store(Out(1), set).Full);
    EXPECT_EQ(st.index(), 32000);
    MeasSample last = Out(9);
    const auto r = st.Store(last, set);
    EXPECT_TRUE(r.Full);
    EXPECT_EQ(st.index(), 32000);
    EXPECT_EQ(st.at(32000).OUT, 9);
}

TEST(MeasurementStore, RollOverAndRestart)
{
    MeasurementStore st;
    StoreSettings set;
    set.Policy = DataOverflow::RollOver;
    st.setIndex(32000);
    EXPECT_TRUE(st.Store(Out(240), set).Full);
    EXPECT_EQ(st.index(), 0);
    st.Store(Out(240), set);
    EXPECT_EQ(st.at(0).OUT, 240);
    EXPECT_EQ(st.alarmCount(), 2); // keeps counting across the roll-over

    set.Policy = DataOverflow::Restart;
    st.setIndex(32000);
    EXPECT_TRUE(st.Store(Out(3), set).Full);
    EXPECT_EQ(st.index(), 0);
    EXPECT_EQ(st.alarmCount(), 0);
    EXPECT_EQ(st.highestOut(), -1);
    EXPECT_EQ(st.at(32000).Valid, 0);
}

TEST(MeasurementStore, AlarmBandAndBeepLatch)
{
    MeasurementStore st;
    StoreSettings set;
    set.Threshold = 200;
    set.Beeper = true;
    int beeps = 0;
    for (int out : {210, 240})
        beeps += st.Store(Out(out), set).Beep;
    EXPECT_EQ(beeps, 1);                   // two alarms in a row beep once
    beeps += st.Store(Out(241), set).Beep; // a fault is no alarm and clears the latch
    EXPECT_FALSE(st.beepLatch());
    beeps += st.Store(Out(220), set).Beep;
    beeps += st.Store(Out(10), set).Beep;
    beeps += st.Store(Out(220), set).Beep;
    EXPECT_EQ(beeps, 3);
    EXPECT_EQ(st.alarmCount(), 4);
    EXPECT_EQ(st.highestOut(), 241);

    set.Beeper = false;
    st.Reset();
    EXPECT_FALSE(st.Store(Out(230), set).Beep);
    EXPECT_EQ(st.alarmCount(), 1);
}

TEST(MeasurementStore, RedrawEveryNthSample)
{
    MeasurementStore st;
    StoreSettings set;
    set.RefreshDivisor = 5;
    std::vector<int> redrawn;
    for (int i = 0; i < 12; ++i)
        if (st.Store(Out(1), set).Redraw) redrawn.push_back(i);
    EXPECT_EQ(redrawn, (std::vector<int>{5, 10}));
    set.DialogOutput = true;
    st.Reset();
    EXPECT_TRUE(st.Store(Out(1), set).Redraw);
}

TEST(MeasTableModel, RowsKindsAndReset)
{
    MeasTableModel m;
    EXPECT_EQ(m.rowCount(), 32002);
    EXPECT_EQ(m.columnCount(), 16);
    EXPECT_EQ(m.Cell(0, 15), "Version");
    MeasSample s = Out(33);
    s.Index = 4;
    s.Zero = 901;
    m.SetSampleRow(5, s);
    EXPECT_EQ(m.Cell(5, 0), "4");
    EXPECT_EQ(m.Cell(5, 4), "901");
    m.SetSampleRow(6, s, true);
    EXPECT_EQ(m.Cell(6, 3), "33");
    EXPECT_EQ(m.Cell(6, 4), "");
    m.SetTextRow(7, {"1", "", "", "2"});
    EXPECT_EQ(m.Cell(7, 3), "2");
    EXPECT_EQ(m.Cell(7, 15), "");
    m.SetCell(5, 4, "x");
    EXPECT_EQ(m.Cell(5, 4), "x");
    EXPECT_EQ(m.Cell(5, 0), "4");
    m.ClearRow(5);
    EXPECT_EQ(m.Cell(5, 0), "");
    m.Clear();
    EXPECT_EQ(m.Cell(6, 0), "");
    EXPECT_EQ(m.Cell(7, 3), "");
    EXPECT_EQ(m.Cell(0, 0), "Ix");
    EXPECT_EQ(m.Cell(32002, 0), ""); // past the table: empty, no crash
    m.SetTextRow(0, {"no"});         // the heading row is not writable
    EXPECT_EQ(m.Cell(0, 0), "Ix");
}
