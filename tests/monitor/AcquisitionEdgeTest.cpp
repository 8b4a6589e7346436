// Resynchronisation, checksums, intervals and the derived output value, against the simulated
// sensor through the program's own link.
#include "AcquisitionRig.h"

#include <gtest/gtest.h>

using namespace vmx;

using Rig = vmx::test::AcquisitionRig;

TEST(AcquisitionEdges, LongBlockAtRecordPointer7IsDroppedOnceAndRealignedBy45Bytes)
{
    Rig r(QStringLiteral("stream=long"));
    r.acq->Start();
    ASSERT_FALSE(r.acq->Stopped());
    ASSERT_TRUE(r.TickUntilStored());
    ASSERT_EQ(r.Count(261, 266), 0);

    // Take seven records off the line: the next block the program reads starts at record 7.
    r.clock.SleepMs(40);
    ASSERT_EQ(r.lnk->Read_Buffer(35), 35);
    const int stored = r.store.index();
    const qint64 syncs = r.acq->counters().syncPointer;
    const int queued = r.lnk->InQueue();
    ASSERT_GE(queued, 3 * 80);
    r.acq->Tick();
    EXPECT_EQ(r.Count(261, 266), 1);
    // Record 9 of that block carried pointer 0: the block dropped, 45 bytes discarded, and
    // the aligned blocks waiting behind them stored in the same tick (no clock passes in it).
    const int fresh = r.store.index() - stored;
    EXPECT_EQ(fresh, (queued - 80 - 45) / 80);
    EXPECT_EQ(r.lnk->InQueue(), queued - 80 - 45 - 80 * fresh);
    EXPECT_EQ(r.acq->counters().syncPointer, syncs + 1);
    for (int i = 0; i < 5; ++i)
        r.Tick();
    EXPECT_GE(r.store.index(), stored + fresh + 6);
    EXPECT_EQ(r.Count(261, 266), 1) << "the pointer status is shown once per change";
    EXPECT_EQ(r.acq->counters().syncPointer, syncs + 1);
    // The realigned samples carry a complete value set (the zero sits at 900 +- 3).
    for (int i = stored; i < r.store.index(); ++i) {
        const monitor::MeasSample& s = r.store.at(i);
        EXPECT_GE(+s.Zero, 897) << i;
        EXPECT_LE(+s.Zero, 903) << i;
        EXPECT_EQ(+s.Version, 143) << i;
    }
}

TEST(AcquisitionEdges, LostStartByteIsFoundWithinFiveBytes)
{
    Rig r(QStringLiteral("stream=long"));
    r.acq->Start();
    ASSERT_TRUE(r.TickUntilStored());
    r.clock.SleepMs(20);
    ASSERT_EQ(r.lnk->Read_Buffer(2), 2);
    const int stored = r.store.index();
    const int shown = r.Count(261, 265);
    r.acq->Tick();
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
        r.acq->Start();
        ASSERT_TRUE(r.TickUntilStored());
        // From now on every record's checksum byte arrives with bit 0 flipped.
        r.lnk->Purge_In();
        r.bench().sensor().faults.corruptStreamEvery = 5;
        r.clock.SleepMs(200);
        r.lnk->Purge_In();
        const int stored = r.store.index();
        for (int i = 0; i < 10; ++i)
            r.Tick();
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
    r.acq->Start();
    ASSERT_TRUE(r.TickUntilStored());
    r.clock.SleepMs(20);
    ASSERT_EQ(r.lnk->Read_Buffer(1), 1);
    const int stored = r.store.index();
    const int shown = r.Count(262, 265);
    const qint64 syncs = r.acq->counters().syncStart;
    const int queued = r.lnk->InQueue();
    r.acq->Tick();
    EXPECT_EQ(r.Count(262, 265), shown + 1);
    // The start byte of the next record is two bytes on: the block and those two dropped,
    // the aligned blocks behind them stored.
    const int fresh = r.store.index() - stored;
    EXPECT_EQ(fresh, (queued - 48 - 2) / 48);
    EXPECT_EQ(r.lnk->InQueue(), queued - 48 - 2 - 48 * fresh);
    ASSERT_TRUE(r.TickUntilStored(4));
    EXPECT_EQ(r.acq->counters().syncStart, syncs + 1);
}

TEST(AcquisitionEdges, ChangedIntervalTakesEffectAtTheNextTick)
{
    Rig r(QStringLiteral("stream=polled"));
    r.selected = 1000;
    r.acq->Start();
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
    r.acq->Start();
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

// A tick that finds less than a block leaves it waiting: the rest arrives, the block is whole.
// Only a sensor silent for a second is reported, once, and the stream is followed again after.
TEST(AcquisitionEdges, PartialBlocksWaitAndASilentSensorIsReportedOnce)
{
    Rig r(QStringLiteral("stream=long"));
    r.acq->Start();
    ASSERT_TRUE(r.TickUntilStored());
    int partial = 0;
    for (int i = 0; i < 50; ++i) {
        r.Tick();
        const int left = r.lnk->InQueue();
        EXPECT_LT(left, 80) << "a whole block was left waiting";
        partial += left > 0;
    }
    EXPECT_GT(partial, 40) << "most ticks end inside a block";
    const qint64 syncs = r.acq->counters().resyncAfterFirst;
    EXPECT_EQ(syncs, 0);

    r.bench().sensor().faults.mute = true;
    for (int i = 0; i < 90; ++i)
        r.Tick();
    EXPECT_EQ(r.Count(261, 263), 0) << "not within the first second";
    for (int i = 0; i < 200; ++i)
        r.Tick();
    EXPECT_EQ(r.Count(261, 263), 1) << "once per change";
    const int stored = r.store.index();
    r.bench().sensor().faults.mute = false;
    for (int i = 0; i < 20; ++i)
        r.Tick();
    EXPECT_GT(r.store.index(), stored + 20);
    EXPECT_EQ(r.Count(261, 264), 2) << "reading again after the silence";
}
