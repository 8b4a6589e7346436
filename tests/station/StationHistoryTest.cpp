// Service writes through the station reach the unit history: a parameter write with the block
// before and after, a download with its file's name and SHA-256, both under the serial number
// the identification read, against the simulated bench on a virtual clock.
#include "RecordingHost.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "boot/HexImage.h"
#include "station/Station.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmx;

TEST(StationHistory, ParameterWriteAndDownloadAreServiceEventsOfTheUnit)
{
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    session.CopyValidSensorType(8); // QVR05.28 V1.43
    link::LinkOptions o;
    o.systemPorts = false;
    o.realUsb = false;
    o.simulate = QStringLiteral("stream=polled,key=5028143,serial=2468,year=16,model=1");
    station::Station st(session, o);
    st.ApplyConfig(session.config);
    st.LoadStartParameters();
    ASSERT_TRUE(st.OpenLink());
    clock.SleepMs(300);
    QString why;
    ASSERT_TRUE(st.OpenHistory(QString(), dir.path(), QStringLiteral("bench"), &why)) << why.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("history.db"))));

    ASSERT_TRUE(st.Identify());
    clock.SleepMs(300);
    ASSERT_TRUE(st.ReadParameters());
    const QByteArray read(reinterpret_cast<const char*>(st.params().read.data()),
                          qsizetype(st.params().read.bytes.size()));
    st.params().edit = st.params().read;
    st.params().edit.SetByte(5, quint8(st.params().read.Byte(5) ^ 0x0F));
    ASSERT_TRUE(st.WriteParameters());
    const QByteArray written(reinterpret_cast<const char*>(st.params().edit.data()),
                             qsizetype(st.params().edit.bytes.size()));

    clock.SleepMs(300);
    auto buf = st.images().Buffer();
    for (quint32 i = 0; i < 0x1A00; ++i)
        buf[i] = quint8((i * 13) ^ (i >> 4));
    const QString file = dir.filePath(QStringLiteral("fw.hex"));
    ASSERT_TRUE(st.hex().ExportHexData(file, 0, 0x19FF));
    ASSERT_TRUE(st.DownloadFirmware(file));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString sha =
        QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());

    const std::vector<history::ServiceEvent> events =
        st.history().store()->Events(QStringLiteral("2468"), QString());
    struct Expect {
        history::ServiceKind kind;
        QByteArray before, after;
        QString file, sha;
    };
    // Newest first.
    const Expect expected[] = {
        {history::ServiceKind::Download, {}, {}, QStringLiteral("fw.hex"), sha},
        {history::ServiceKind::ParameterWrite, read, written, QString(), QString()},
    };
    ASSERT_EQ(events.size(), std::size(expected));
    for (size_t i = 0; i < events.size(); ++i) {
        SCOPED_TRACE(i);
        const history::ServiceEvent& e = events[i];
        EXPECT_EQ(e.kind, expected[i].kind);
        EXPECT_TRUE(e.ok);
        EXPECT_EQ(e.station, QStringLiteral("bench"));
        EXPECT_EQ(e.sensorType, QStringLiteral("5028143"));
        EXPECT_EQ(e.before, expected[i].before);
        EXPECT_EQ(e.after, expected[i].after);
        EXPECT_EQ(e.fileName, expected[i].file);
        EXPECT_EQ(e.fileSha256, expected[i].sha);
    }
    EXPECT_NE(read, written);
}
