// Resynchronisation, checksums, intervals and the derived output value, against the simulated
// sensor through the program's own link.
#include "AcquisitionRig.h"

#include <gtest/gtest.h>

using namespace vmx;

using Rig = vmx::test::AcquisitionRig;

TEST(AcquisitionEdges, LongBlockAtRecordPointer7IsDroppedOnceAndRealignedBy45Bytes)
{
    Rig r(QStringLiteral("stream=long"));
    r.acq->ALStartExecute();
    ASSERT_FALSE(r.acq->Stopped());
    ASSERT_TRUE(r.TickUntilStored());
    ASSERT_EQ(r.Count(261, 266), 0);

    // Take seven records off the line: the next block the program reads starts at record 7.
    r.clock.SleepMs(20);
    ASSERT_EQ(r.lnk->Read_Buffer(35), 35);
    const int stored = r.store.index();
    r.acq->Timer2Timer();
    EXPECT_EQ(r.store.index(), stored) << "the misaligned block must be dropped";
    EXPECT_EQ(r.Count(261, 266), 1);
    // Record 9 of that block carried pointer 0: 45 bytes discarded, the next block is aligned.
    r.Tick();
    EXPECT_EQ(r.store.index(), stored + 1);
    for (int i = 0; i < 5; ++i) r.Tick();
    EXPECT_EQ(r.store.index(), stored + 6);
    EXPECT_EQ(r.Count(261, 266), 1) << "the pointer status is shown once per change";
    // The realigned samples carry a complete value set (the zero sits at 900 +- 3).
    const monitor::MeasSample& s = r.store.at(stored + 2);
    EXPECT_GE(+s.Zero, 897);
    EXPECT_LE(+s.Zero, 903);
}

TEST(AcquisitionEdges, LostStartByteIsFoundWithinFiveBytes)
{
    Rig r(QStringLiteral("stream=long"));
    r.acq->ALStartExecute();
    ASSERT_TRUE(r.TickUntilStored());
    r.clock.SleepMs(20);
    ASSERT_EQ(r.lnk->Read_Buffer(2), 2);
    const int stored = r.store.index();
    const int shown = r.Count(261, 265);
    r.acq->Timer2Timer();
    EXPECT_EQ(r.store.index(), stored);
    EXPECT_EQ(r.Count(261, 265), shown + 1);
    // Start byte found at 3: then a record-pointer resync, then aligned again.
    ASSERT_TRUE(r.TickUntilStored(4));
}

TEST(AcquisitionEdges, FrameCrcCheckDropsCorruptBlocksOnlyWhenChecked)
{
    for (const bool check : {true, false}) {
        SCOPED_TRACE(check ? "checked" : "unchecked");
        Rig r(QStringLiteral("stream=long"));
        r.lnk->protocol().SetWithFrameCrc(check);
        r.acq->ALStartExecute();
        ASSERT_TRUE(r.TickUntilStored());
        // From now on every record's checksum byte arrives with bit 0 flipped.
        r.lnk->Purge_In();
        r.bench().sensor().faults.corruptStreamEvery = 5;
        r.clock.SleepMs(200);
        r.lnk->Purge_In();
        const int stored = r.store.index();
        for (int i = 0; i < 10; ++i) r.Tick();
        if (check) {
            EXPECT_EQ(r.store.index(), stored);
            EXPECT_EQ(r.Count(261, 352), 1);
        } else {
            EXPECT_GE(r.store.index(), stored + 8);
            EXPECT_EQ(r.Count(261, 352), 0);
            const monitor::MeasSample& s = r.store.at(stored + 1);
            EXPECT_EQ(s.Valid, 1);
            EXPECT_GE(+s.Zero, 897);
            EXPECT_LE(+s.Zero, 903);
        }
    }
}

TEST(AcquisitionEdges, ShortStreamCrcAndResync)
{
    Rig r(QStringLiteral("stream=short"));
    r.acq->ALStartExecute();
    ASSERT_TRUE(r.TickUntilStored());
    r.clock.SleepMs(20);
    ASSERT_EQ(r.lnk->Read_Buffer(1), 1);
    const int stored = r.store.index();
    const int shown = r.Count(262, 265);
    r.acq->Timer2Timer();
    EXPECT_EQ(r.store.index(), stored);
    EXPECT_EQ(r.Count(262, 265), shown + 1);
    ASSERT_TRUE(r.TickUntilStored(4));
}

TEST(AcquisitionEdges, ChangedIntervalTakesEffectAtTheNextTick)
{
    Rig r(QStringLiteral("stream=polled"));
    r.selected = 1000;
    r.acq->ALStartExecute();
    ASSERT_FALSE(r.acq->Stopped());
    r.Tick();
    EXPECT_EQ(r.interval, 1000);
    r.selected = 200;
    EXPECT_EQ(r.interval, 1000) << "nothing changes before the tick";
    r.Tick();
    EXPECT_EQ(r.interval, 200);
}

TEST(AcquisitionEdges, V123PolledOutIs241OnErrorWhateverTheAlarm)
{
    // Catalogue row 36 is a V1.23 type: 21-byte answers, the program derives OUT.
    Rig r(QStringLiteral("stream=polled,fw=123,tube=none"), 36);
    ASSERT_EQ(r.session.sensor.Firmware, 123);
    r.acq->ALStartExecute();
    ASSERT_FALSE(r.acq->Stopped());
    ASSERT_TRUE(r.TickUntilStored());
    const monitor::MeasSample& s = r.store.at(r.store.index() - 1);
    EXPECT_NE(s.Error, 0);
    EXPECT_NE(s.Alarm, 0);
    EXPECT_EQ(s.OUT, 241);
    EXPECT_EQ(+s.Signal, -1) << "no signal with an error";
    // A filled tube: no error, the bubble factor times the average.
    r.bench().sensor().SetTube(sim::Tube::Filled, r.clock.NowUs());
    ASSERT_TRUE(r.TickUntilStored());
    const monitor::MeasSample& f = r.store.at(r.store.index() - 1);
    EXPECT_EQ(f.Error, 0);
    EXPECT_EQ(+f.Signal, f.AMax - 100 * f.Gain + 400);
    EXPECT_LT(f.OUT, 240);
}
