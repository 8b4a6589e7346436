// The station built headless, as vmxctl builds it: session on a host without a window, the
// station on it, MONITOR.INI's switches, the start parameters, the link opened; then
// acquisition, parameter read, identification and download through the station alone,
// against the simulated bench on a virtual clock.
#include "RecordingHost.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "boot/HexImage.h"
#include "sim/Bench.h"
#include "sim/Sensor.h"
#include "station/Station.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace vmx;

namespace {

constexpr int kRowV123 = 36; // QVR06.xx V1.23: polled answers of 21 bytes, no OUT
constexpr int kRowV143 = 8;  // QVR05.28 V1.43: 22-byte answers with OUT

// Everything vmxctl has, nothing more: no view at first (a command line watches nothing).
struct Headless {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    std::unique_ptr<station::Station> st;

    Headless(int row, const QString& profile)
    {
        session.CopyValidSensorType(row);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        st = std::make_unique<station::Station>(session, o);
        st->ApplyConfig(session.config);
        st->LoadStartParameters();
        EXPECT_TRUE(st->OpenLink());
        clock.SleepMs(300); // the sensor's start
    }
    sim::Bench& bench() { return *st->link().OpenSimBench(); }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
    QString Msg(int m) const { return session.Msg(m); }
};

// OUT as the program derives it for sensors below V1.24.
int DerivedByHand(const monitor::MeasSample& s, int factor)
{
    if (s.Error) return 241;
    if (s.Alarm) return 240;
    return (factor * s.BAvg) & 0xFF;
}

} // namespace

TEST(StationHeadless, PolledV123SensorStoresOutAsBubbleFactorTimesBAvg)
{
    Headless h(kRowV123, QStringLiteral("stream=polled,key=6000123"));
    ASSERT_EQ(h.session.sensor.Firmware, 123);
    // The working block holds the standard set after the start: bubble factor 5.
    ASSERT_EQ(h.st->params().edit.BubbleFactor(), 5);
    h.st->settings.measIntervalMs = 100;
    ASSERT_TRUE(h.st->Capture(12)) << h.Last().toStdString();
    ASSERT_GE(h.st->store().index(), 12);
    int nonZero = 0;
    for (int i = 0; i < 12; ++i) {
        const monitor::MeasSample& s = h.st->store().at(i);
        ASSERT_EQ(s.Valid, 1) << i;
        EXPECT_EQ(int(s.OUT), DerivedByHand(s, 5)) << i;
        if (s.OUT != 0) ++nonZero;
        // The table row shows the same OUT.
        EXPECT_EQ(h.st->table().Cell(i + 1, 3), QString::number(s.OUT)) << i;
    }
    EXPECT_GT(nonZero, 0) << "the liquid's BAvg is not 0, so neither is OUT";

    // An edit of the working block's factor is what the next samples use.
    h.st->params().edit.SetBubbleFactor(3);
    const int before = h.st->store().index();
    ASSERT_TRUE(h.st->Capture(before + 5));
    for (int i = before; i < before + 5; ++i)
        EXPECT_EQ(int(h.st->store().at(i).OUT), DerivedByHand(h.st->store().at(i), 3)) << i;
}

TEST(StationHeadless, V143SensorSendsItsOwnOut)
{
    Headless h(kRowV143, QStringLiteral("stream=polled,key=5028143"));
    h.st->settings.measIntervalMs = 100;
    h.bench().trace().Clear();
    ASSERT_TRUE(h.st->Capture(5));
    const auto answers = h.bench().trace().Of(sim::Dir::Out, sim::Unit::Sensor);
    // The probe's own poll comes first; the five stored samples are the last five answers.
    ASSERT_GE(answers.size(), 5u);
    const size_t first = answers.size() - 5;
    for (int i = 0; i < 5; ++i) {
        const QByteArray& a = answers[first + size_t(i)].bytes;
        ASSERT_EQ(a.size(), 22);
        EXPECT_EQ(h.st->store().at(i).OUT, quint8(a[20])) << i;
    }
}

TEST(StationHeadless, OperationsStopTheRunningAcquisitionFirst)
{
    Headless h(kRowV143, QStringLiteral("stream=long,key=5028143"));
    h.st->Start();
    ASSERT_FALSE(h.st->Stopped());
    for (int i = 0; i < 5; ++i) {
        h.clock.SleepMs(h.st->TimerIntervalMs());
        h.st->Tick();
    }
    ASSERT_GT(h.st->store().index(), 0);
    // The parameter read stops the stream before it talks to the sensor.
    h.clock.SleepMs(300);
    ASSERT_TRUE(h.st->ReadParameters()) << h.Last().toStdString();
    EXPECT_TRUE(h.st->Stopped());
    EXPECT_TRUE(h.host.panel1Log.contains(h.Msg(259)));
    EXPECT_FALSE(h.st->StopEnabled());
}

// "Abbruch" tells that something running was stopped: the program's own stop before an
// operation says it only then, the user's STOP always.
TEST(StationHeadless, CancelledOnlyWhenSomethingRunningWasStopped)
{
    struct Case {
        bool running, user, said;
    };
    for (const Case c : {Case{true, false, true}, Case{false, false, false}, Case{false, true, true}}) {
        SCOPED_TRACE(testing::Message() << c.running << c.user);
        Headless h(kRowV143, QStringLiteral("stream=long,key=5028143"));
        if (c.running) {
            h.st->Start();
            ASSERT_FALSE(h.st->Stopped());
            h.clock.SleepMs(h.st->TimerIntervalMs());
            h.st->Tick();
        }
        const qsizetype before = h.host.panel1Log.size();
        if (c.user)
            h.st->UserStop();
        else
            ASSERT_TRUE(h.st->ReadParameters()) << h.Last().toStdString();
        EXPECT_EQ(h.host.panel1Log.mid(before).contains(h.Msg(259)), c.said);
        EXPECT_TRUE(h.st->Stopped());
    }
}

// A verify that finds a difference names the first differing field and both values.
TEST(StationHeadless, VerifyMismatchNamesTheFieldAndBothValues)
{
    Headless h(kRowV143, QStringLiteral("stream=polled,key=5028143"));
    ASSERT_TRUE(h.st->ReadParameters()) << h.Last().toStdString();
    const quint8 sensorValue = h.st->params().edit.bytes[22];
    h.st->params().edit.bytes[22] = quint8(sensorValue + 1); // the bubble factor
    EXPECT_FALSE(h.st->VerifyParameters());
    EXPECT_EQ(h.Last(), h.Msg(281) + h.Msg(280) +
                            QString::asprintf(
                                ": erstes ungleiches Byte 22 (BubbleFactor): Sensor $%2.2X, Editor $%2.2X",
                                sensorValue, sensorValue + 1));
}

TEST(StationHeadless, ParameterReadIdentificationAndDownload)
{
    Headless h(kRowV143, QStringLiteral("stream=polled,key=5028143,serial=2468,year=16,model=1"));
    sim::Sensor& sensor = h.bench().sensor();
    const quint32 par = h.session.sensor.ParAddr;

    // Parameter read: the working block is the sensor's page.
    ASSERT_TRUE(h.st->ReadParameters()) << h.Last().toStdString();
    EXPECT_EQ(h.Last(), h.Msg(275) + h.Msg(250));
    const auto& flash = sensor.bootLoader().flash();
    const int len = h.session.sensor.ParLen;
    for (int i = 1; i < len; ++i)
        ASSERT_EQ(h.st->params().read[size_t(i)], flash[par + quint32(i)]) << i;

    // Identification: the sensor's numbers in the session.
    h.clock.SleepMs(300);
    ASSERT_TRUE(h.st->Identify()) << h.Last().toStdString();
    EXPECT_EQ(h.session.sensor.SerialNo, 2468);
    EXPECT_EQ(h.session.sensor.Year, 16);
    EXPECT_EQ(h.session.sensor.Row, kRowV143);

    // Download of a firmware file through the station: the code flash below the boot sector
    // holds it afterwards.
    h.clock.SleepMs(300);
    auto buf = h.st->images().Buffer();
    for (quint32 i = 0; i < 0x1A00; ++i)
        buf[i] = quint8((i * 13) ^ (i >> 4));
    const QString file = h.dir.filePath(QStringLiteral("fw.hex"));
    ASSERT_TRUE(h.st->hex().ExportHexData(file, 0, 0x19FF));
    std::fill(buf.begin(), buf.end(), quint8(0)); // the download reads the file itself
    ASSERT_TRUE(h.st->DownloadFirmware(file)) << h.Last().toStdString();
    for (quint32 i = 0; i < 0x1A00; ++i)
        ASSERT_EQ(flash[i], quint8((i * 13) ^ (i >> 4))) << i;
}

TEST(StationHeadless, DownloadWithoutAFileAsksTheViewAndEndsWithoutOne)
{
    struct Asker : station::StationView {
        int asked = 0;
        bool PickDownloadFile(bool abs) override
        {
            EXPECT_FALSE(abs);
            ++asked;
            return false; // Cancel
        }
    } view;
    Headless h(kRowV143, QStringLiteral("stream=polled,key=5028143"));
    h.st->SetView(&view);
    EXPECT_FALSE(h.st->DownloadFirmware());
    EXPECT_EQ(view.asked, 1);
    h.st->SetView(nullptr);
    // Nobody to ask: no download either.
    h.clock.SleepMs(300);
    EXPECT_FALSE(h.st->DownloadFirmware());
}

TEST(StationHeadless, RamEraseWritesFFOverTheRangeOnly)
{
    Headless h(kRowV143, QStringLiteral("stream=polled,key=5028143"));
    ASSERT_TRUE(h.st->bootLoader().BootStart());
    h.clock.SleepMs(100);
    auto image = h.st->images().Image(boot::KindXram);
    std::fill(image.begin(), image.end(), quint8(0x5A));
    ASSERT_TRUE(h.st->EraseMemory(boot::kChannelSensor, boot::KindXram, 0x10, 0x2F))
        << h.Last().toStdString();
    for (quint32 i = 0; i < image.size(); ++i)
        ASSERT_EQ(image[i], (i >= 0x10 && i <= 0x2F) ? 0xFF : 0x5A) << i;
    // A range past the memory is refused without touching the image.
    EXPECT_FALSE(h.st->EraseMemory(boot::kChannelSensor, 7, 0, 1));
}

TEST(StationHeadless, LinkFailureStopsTheAcquisitionAtTheNextTick)
{
    Headless h(kRowV143, QStringLiteral("stream=long,key=5028143"));
    h.st->Start();
    ASSERT_FALSE(h.st->Stopped());
    h.clock.SleepMs(h.st->TimerIntervalMs());
    h.st->Tick();
    // The port goes away under the running acquisition.
    h.st->link().CloseAll();
    h.clock.SleepMs(h.st->TimerIntervalMs());
    h.st->Tick(); // its read finds no port
    h.clock.SleepMs(h.st->TimerIntervalMs());
    h.st->Tick();
    EXPECT_TRUE(h.st->Stopped());
    EXPECT_FALSE(h.st->StopEnabled());
}
