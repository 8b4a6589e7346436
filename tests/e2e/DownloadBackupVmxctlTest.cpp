// A service download loses nothing: the sensor's identification, calibration and parameter
// page are saved before the erase and written back where the new image leaves them blank.
#include "StateBench.h"

#include <QDir>

#include <map>

namespace {

// The bytes of an Intel HEX file by address (data records only).
std::map<quint32, quint8> HexBytes(const QString& path)
{
    std::map<quint32, quint8> m;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return m;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.size() < 11 || line[0] != ':' || line.mid(7, 2) != "00") continue;
        const quint32 n = line.mid(1, 2).toUInt(nullptr, 16), at = line.mid(3, 4).toUInt(nullptr, 16);
        for (quint32 i = 0; i < n; ++i)
            m[at + i] = quint8(line.mid(int(9 + 2 * i), 2).toUInt(nullptr, 16));
    }
    return m;
}

} // namespace

TEST(DownloadBackupVmxctl, ServiceDownloadKeepsIdentityCalibrationAndParameters)
{
    // The 05.30 generation with its calibration block at 0x90, calibrated before the download.
    StateBench b(QStringLiteral("key=5030201"), {QStringLiteral("--type"), QStringLiteral("5030201")});
    std::vector<quint8> cal(0xA0, 0xFF);
    for (int i = 0; i < 16; ++i)
        cal[size_t(0x90 + i)] = quint8(0x31 + 7 * i);
    ASSERT_EQ(b.Run({"mem", "write", "--kind", "code", "--range", "90-9F", "--file", b.Hex("cal.hex", cal)})
                  .exitCode,
              0);
    const ToolResult calBefore = b.Run({"cal", "read"});
    const ToolResult identBefore = b.Run({"ident"});
    ASSERT_EQ(b.Run({"mem", "read", "--kind", "code", "--range", "A00-BFF", "--file", b.File("before.hex")})
                  .exitCode,
              0);
    ASSERT_TRUE(identBefore.out.contains(QStringLiteral("serial=1234"))) << identBefore.out.toStdString();
    ASSERT_TRUE(calBefore.out.startsWith(QStringLiteral("31 38 3F"))) << calBefore.out.toStdString();

    // The image leaves the identification (0x80..0xFF) and the parameter page blank.
    std::vector<quint8> fw = SensorFirmware();
    fw.resize(0x1A00);
    std::fill(fw.begin() + 0x80, fw.begin() + 0x100, quint8(0xFF));
    std::fill(fw.begin() + 0xA00, fw.begin() + 0xC00, quint8(0xFF));
    const QString image = b.Hex("fw.hex", fw);
    // Where no backup can be written, nothing is erased.
    b.Write("backup", "a file where the folder would be");
    const ToolResult refused = b.Run({"download", image});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Sicherung: FEHLER"))) << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains(QStringLiteral("Lösche Code"))) << refused.err.toStdString();
    EXPECT_EQ(b.Run({"ident"}).out, identBefore.out);
    ASSERT_TRUE(QFile::remove(b.File("backup")));

    const ToolResult d = b.Run({"download", image});
    ASSERT_EQ(d.exitCode, 0) << d.err.toStdString();

    const QStringList files = QDir(b.File("backup")).entryList({QStringLiteral("1234_*.hex")});
    ASSERT_EQ(files.size(), 1) << d.err.toStdString();
    const QString file = b.File("backup") + QLatin1Char('/') + files[0];
    EXPECT_TRUE(d.err.contains(QStringLiteral("Sicherung: ") + file)) << d.err.toStdString();
    const std::map<quint32, quint8> kept = HexBytes(file);
    EXPECT_EQ(kept.size(), 16u + 16u + 512u);
    EXPECT_EQ(kept.at(0x8E) | (kept.at(0x8F) << 8), 1234);
    for (quint32 a = 0x90; a <= 0x9F; ++a)
        EXPECT_EQ(kept.at(a), cal[a]) << a;

    EXPECT_EQ(b.Run({"ident"}).out, identBefore.out);
    EXPECT_EQ(b.Run({"cal", "read"}).out, calBefore.out);
    ASSERT_EQ(b.Run({"mem", "read", "--kind", "code", "--range", "A00-BFF", "--file", b.File("after.hex")})
                  .exitCode,
              0);
    const std::map<quint32, quint8> parBefore = HexBytes(b.File("before.hex"));
    EXPECT_EQ(parBefore.size(), 512u);
    EXPECT_EQ(HexBytes(b.File("after.hex")), parBefore);
    for (quint32 a = 0xA00; a <= 0xBFF; ++a)
        EXPECT_EQ(kept.at(a), parBefore.at(a)) << a;
    // The code itself is the new image's.
    const QByteArray flash = b.State("sensor-flash.bin");
    ASSERT_GE(flash.size(), 0x1A00);
    EXPECT_EQ(quint8(flash[0x100]), fw[0x100]);
    EXPECT_EQ(quint8(flash[0x19FF]), fw[0x19FF]);
}
