// START, ticks and STOP against the simulated bench on a virtual clock.
#include "AcquisitionHooks.h"
#include "AcquisitionRig.h"
#include "LinkEvents.h"

#include <gtest/gtest.h>

using namespace vmx;

using Rig = vmx::test::AcquisitionRig;

TEST(AcquisitionSim, PolledSamplesEqualTheSensorsAnswers)
{
    Rig r(QStringLiteral("stream=polled"));
    r.acq->Start();
    ASSERT_FALSE(r.acq->Stopped());
    EXPECT_FALSE(r.startEnabled);
    EXPECT_TRUE(r.stopEnabled);
    EXPECT_EQ(r.interval, 100);
    r.bench().trace().Clear();
    for (int i = 0; i < 5; ++i)
        r.Tick();
    EXPECT_EQ(r.store.index(), 5);
    const auto answers = r.bench().trace().Of(sim::Dir::Out, sim::Unit::Sensor);
    ASSERT_EQ(answers.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const QByteArray& a = answers[size_t(i)].bytes;
        ASSERT_EQ(a.size(), 22);
        const monitor::MeasSample& s = r.store.at(i);
        auto u8 = [&](int k) { return quint8(a[k]); };
        EXPECT_EQ(s.Valid, 1);
        EXPECT_EQ(+s.Index, i);
        EXPECT_EQ(+s.Zero, (u8(4) << 8) | u8(5));
        EXPECT_EQ(+s.ADC, (u8(6) << 8) | u8(7));
        EXPECT_EQ(s.Ampl, u8(10));
        EXPECT_EQ(s.AMax, u8(11));
        EXPECT_EQ(s.Gain, u8(12));
        EXPECT_EQ(s.Version, u8(19));
        EXPECT_EQ(s.OUT, u8(20));
        EXPECT_EQ(r.table.Cell(i + 1, 4), QString::number(+s.Zero));
    }
    r.acq->Stop();
    EXPECT_TRUE(r.acq->Stopped());
    EXPECT_TRUE(r.startEnabled);
    EXPECT_EQ(r.host.panel1Log.last(), r.session.Msg(259));
}

TEST(AcquisitionSim, LongAndShortStreams)
{
    {
        Rig r(QStringLiteral("stream=long"));
        r.acq->Start();
        ASSERT_FALSE(r.acq->Stopped());
        EXPECT_EQ(r.interval, 10);
        for (int i = 0; i < 60; ++i)
            r.Tick();
        EXPECT_GT(r.store.index(), 10);
        const monitor::MeasSample& s = r.store.at(1);
        EXPECT_EQ(s.Valid, 1);
        // The simulated zero is 900 +- 3 (0x381..0x387): its low byte needs bit 7 from byte 3.
        for (int i = 0; i < r.store.index(); ++i) {
            EXPECT_GE(+r.store.at(i).Zero, 897) << i;
            EXPECT_LE(+r.store.at(i).Zero, 903) << i;
            EXPECT_GE(r.store.at(i).AMax, r.store.at(i).Ampl + 6) << i;
        }
        // The reading text is shown once, however many blocks came.
        EXPECT_EQ(r.host.panel1Log.count(r.session.Msg(261) + r.session.Msg(264)), 1);
    }
    {
        Rig r(QStringLiteral("stream=short"));
        r.acq->Start();
        ASSERT_FALSE(r.acq->Stopped());
        for (int i = 0; i < 40; ++i)
            r.Tick();
        ASSERT_GT(r.store.index(), 5);
        // Only the first four columns; the value fields stay 0.
        EXPECT_FALSE(r.table.Cell(2, 3).isEmpty());
        EXPECT_TRUE(r.table.Cell(2, 4).isEmpty());
        EXPECT_EQ(+r.store.at(1).Zero, 0);
    }
}

TEST(AcquisitionSim, NoPortAndStorageFull)
{
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    app::Session session{host, clock, QStringLiteral("/nonexistent")};
    link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    test::LinkEvents events;
    link::Link lnk(session, events, o);
    lnk.Reset_COM_USB(); // nothing: "nix"
    monitor::MeasurementStore store;
    monitor::MeasTableModel table;
    test::AcquisitionHooks hooks;
    monitor::Acquisition acq(session, lnk, store, table, hooks);
    const bool& start = hooks.startEnabled;
    const bool& stop = hooks.stopEnabled;
    acq.Start();
    EXPECT_TRUE(acq.Stopped());
    EXPECT_FALSE(start);
    EXPECT_FALSE(stop);

    // The storage-full stop shows message 267 and no "Abbruch" after it.
    Rig r(QStringLiteral("stream=polled"));
    r.acq->Start();
    r.store.setIndex(32000);
    r.Tick();
    EXPECT_TRUE(r.acq->Stopped());
    EXPECT_EQ(r.store.index(), 32000);
    EXPECT_EQ(r.host.panel1Log.last(), r.session.Msg(267));
    r.acq->Stop();
    EXPECT_EQ(r.host.panel1Log.last(), r.session.Msg(267));
}
