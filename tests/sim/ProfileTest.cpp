#include "sim/Profile.h"

#include <gtest/gtest.h>

using namespace vmx::sim;

TEST(SimProfile, DefaultIsOneLineAdapterWithAStreamingQvr0528)
{
    std::vector<ConverterSpec> v;
    QString e;
    ASSERT_TRUE(ParseProfile(QString(), v, e));
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].kind, ConverterKind::LineAdapter);
    EXPECT_TRUE(v[0].serial.contains(QLatin1String("9007")));
    EXPECT_EQ(v[0].sensor.key(), 5028143);
    EXPECT_EQ(v[0].sensor.mode, 2);
}

TEST(SimProfile, WordsAndKinds)
{
    std::vector<ConverterSpec> v;
    QString e;
    ASSERT_TRUE(ParseProfile(QStringLiteral("all,key=6000124,stream=short,tube=empty,serial=77"), v, e))
        << e.toStdString();
    ASSERT_EQ(v.size(), 4u);
    EXPECT_TRUE(v[0].serial.contains(QLatin1String("9007")));
    EXPECT_TRUE(v[1].serial.contains(QLatin1String("9005")));
    EXPECT_TRUE(v[2].serial.contains(QLatin1String("9002")));
    EXPECT_TRUE(v[3].serial.contains(QLatin1String("9010")));
    EXPECT_EQ(v[3].module.type, 40);
    for (const ConverterSpec& c : v) {
        EXPECT_EQ(c.sensor.type, 6);
        EXPECT_EQ(c.sensor.firmware, 124);
        EXPECT_EQ(c.sensor.mode, 1);
        EXPECT_EQ(c.sensor.tube, Tube::Empty);
        EXPECT_EQ(c.sensor.serialNo, 77);
    }
    ASSERT_TRUE(ParseProfile(QStringLiteral("broken,adapter,adapter"), v, e));
    ASSERT_EQ(v.size(), 3u);
    EXPECT_FALSE(v[0].openable);
    EXPECT_NE(v[1].serial, v[2].serial);
    ASSERT_TRUE(ParseProfile(QStringLiteral("key=5030201"), v, e));
    EXPECT_EQ(v[0].sensor.serialIf, 2);
    EXPECT_EQ(v[0].sensor.generation(), Generation::G0530);
}

TEST(SimProfile, Errors)
{
    std::vector<ConverterSpec> v;
    QString e;
    EXPECT_FALSE(ParseProfile(QStringLiteral("nonsense"), v, e));
    EXPECT_TRUE(e.contains(QLatin1String("nonsense")));
    EXPECT_FALSE(ParseProfile(QStringLiteral("stream=wavy"), v, e));
    EXPECT_FALSE(ParseProfile(QStringLiteral("key=12"), v, e));
    EXPECT_FALSE(ParseProfile(QStringLiteral("fw=abc"), v, e));
    for (const char* word : {"spread=-1", "spread=x", "bad=101", "bad=-0.5", "seed=-3", "seed=1.5"})
        EXPECT_FALSE(ParseProfile(QLatin1String(word), v, e)) << word;
    ASSERT_TRUE(ParseProfile(QStringLiteral("station,spread=2.5,bad=10,seed=42"), v, e)) << e.toStdString();
    EXPECT_EQ(v[0].sensor.spread, 2.5);
    EXPECT_EQ(v[0].sensor.badPercent, 10.0);
    EXPECT_EQ(v[0].sensor.seed, 42u);
}

TEST(SimProfile, FaultWordsAimedAfterAnswers)
{
    std::vector<ConverterSpec> v;
    QString e;
    ASSERT_TRUE(ParseProfile(QStringLiteral("virtual,fault=drop:3,fault=delay:1500,after=40,skew=-16"), v, e))
        << e.toStdString();
    ASSERT_EQ(v.size(), 1u);
    const Faults& f = v[0].sensor.faults;
    EXPECT_EQ(f.dropAnswers, 3);
    EXPECT_EQ(f.delayUs, 1500000);
    EXPECT_EQ(f.afterAnswers, 40);
    EXPECT_FALSE(f.Armed());
    EXPECT_EQ(v[0].sensor.readAddressSkew, -16);
    EXPECT_TRUE(IsVirtualProfile(QStringLiteral("stream=polled, Virtual")));
    EXPECT_FALSE(IsVirtualProfile(QStringLiteral("stream=polled")));
    ASSERT_TRUE(ParseProfile(QStringLiteral("fault=mute,fault=unplug,fault=truncate,fault=corrupt:2"), v, e));
    EXPECT_TRUE(v[0].sensor.faults.mute);
    EXPECT_TRUE(v[0].sensor.faults.unplug);
    EXPECT_EQ(v[0].sensor.faults.truncateAnswers, 1);
    EXPECT_EQ(v[0].sensor.faults.corruptAnswers, 2);
    // The sensor starts with them.
    Sensor s(v[0].sensor);
    EXPECT_TRUE(s.faults.Muted());
    for (const char* bad :
         {"fault=melt", "fault=delay", "fault=mute:2", "after=-1", "after=x", "fault=drop:x", "tmfault=melt",
          "tmfault=delay", "tmfault=delay:0", "tmfault=mute:2", "tmafter=0", "tmafter=x"})
        EXPECT_FALSE(ParseProfile(QString::fromLatin1(bad), v, e)) << bad;
}
