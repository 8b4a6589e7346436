// The programming paths through vmxctl on the persistent simulated station: a damaged or
// extended HEX file is refused by every path before anything reaches a device, and every
// programming run reads back the whole range it wrote before it says "okay".
#include "StateBench.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

#define EXPECT_RUN(r, code) EXPECT_EQ((r).exitCode, code) << (r).err.toStdString()

// The good file's text with `bad` put in as line 3.
QByteArray WithLine3(const QString& goodFile, const char* bad)
{
    QFile f(goodFile);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.insert(2, QByteArray(bad) + '\r');
    return lines.join('\n');
}

} // namespace

TEST(ProgrammingVmxctl, DamagedOrExtendedHexIsRefusedByEveryPathBeforeAnythingIsSent)
{
    struct Record {
        const char* line;
        QString refusal;
    };
    const Record records[] = {
        {":0400000001020304F3", QStringLiteral("Prüfsumme falsch: bad.hex:3")},
        {":0400000001020304XX", QStringLiteral("Dateiformat ungültig: bad.hex:3")},
        {":020000021000EC", QStringLiteral("Dateiformat ungültig: bad.hex:3 (02)")},
        {":0400000300003800C1", QStringLiteral("Dateiformat ungültig: bad.hex:3 (03)")},
        {":020000040001F9", QStringLiteral("Dateiformat ungültig: bad.hex:3 (04)")},
        {":04000005000000CD2A", QStringLiteral("Dateiformat ungültig: bad.hex:3 (05)")},
    };
    const QStringList paths[] = {
        {QStringLiteral("download")},
        {QStringLiteral("c2"), QStringLiteral("program"), QStringLiteral("--range"), QStringLiteral("0-7FF"),
         QStringLiteral("--erase"), QStringLiteral("--file")},
        {QStringLiteral("c2"), QStringLiteral("program"), QStringLiteral("--range"),
         QStringLiteral("800-1BFF"), QStringLiteral("--source"), QStringLiteral("200"),
         QStringLiteral("--file")},
        {QStringLiteral("pic"), QStringLiteral("program")},
        {QStringLiteral("tmfw"), QStringLiteral("transfer")},
        {QStringLiteral("mem"), QStringLiteral("write"), QStringLiteral("--range"), QStringLiteral("0-FF"),
         QStringLiteral("--file")},
    };
    StateBench s(QStringLiteral("tk33,stream=none"));
    const QString good = s.Hex("good.hex", SensorFirmware());
    ASSERT_EQ(s.Run({"tm", "check"}).exitCode, 0);
    const QByteArray sensor = s.State("sensor-flash.bin");
    const QByteArray module = s.State("module-flash.bin");
    ASSERT_FALSE(sensor.isEmpty());
    ASSERT_FALSE(module.isEmpty());
    for (const Record& rec : records) {
        s.Write("bad.hex", WithLine3(good, rec.line));
        for (const QStringList& path : paths) {
            const ToolResult r = s.Run(path + QStringList{s.File("bad.hex")});
            EXPECT_RUN(r, 1);
            EXPECT_TRUE(r.err.contains(rec.refusal)) << path.join(' ').toStdString() << "\n"
                                                     << r.err.toStdString();
            for (const char* first : {"Init C2", "Start Boot", "Lösche", "PIC-Programmierung"})
                EXPECT_FALSE(r.err.contains(QString::fromUtf8(first)))
                    << first << " " << path.join(' ').toStdString();
            EXPECT_EQ(s.State("sensor-flash.bin"), sensor) << rec.line << " " << path.join(' ').toStdString();
            EXPECT_EQ(s.State("module-flash.bin"), module) << rec.line << " " << path.join(' ').toStdString();
        }
    }
}

// Another firmware in the module's segment, equal to the file where the old sample looked
// (0x0400..0x06FF): the check and the "F" programming both say FEHLER and name the address.
TEST(ProgrammingVmxctl, AnotherFirmwareInTheModuleIsFoundByTheCheckAndTheFProgramming)
{
    StateBench s(QStringLiteral("tk33,blank,stream=none"));
    const auto fw = SensorFirmware();
    auto other = fw;
    other[0x1B00] ^= 0xFF; // segment 0x1500, target 0x1B00
    const QString file = s.Hex("QVR.hex", fw);
    ASSERT_EQ(s.Run({"tm", "check"}).exitCode, 0);
    EXPECT_RUN(s.Run({"tmfw", "transfer", s.Hex("OTHER.hex", other)}), 0);

    const ToolResult check = s.Run({"tmfw", "check", file});
    EXPECT_RUN(check, 1);
    EXPECT_TRUE(
        check.err.contains(QStringLiteral("Vergleiche CodeSegment_3: Daten ungleich bei Adresse 1500")))
        << check.err.toStdString();
    EXPECT_TRUE(check.err.contains(QStringLiteral("QVR-Firmware: FEHLER beim Vergleichen")));

    EXPECT_RUN(s.Run({"c2", "program", "--range", "0-7FF", "--file", file, "--erase"}), 0);
    const ToolResult f = s.Run({"c2", "program", "--range", "800-1BFF", "--source", "200", "--file", file});
    EXPECT_RUN(f, 1);
    EXPECT_TRUE(f.err.contains(QStringLiteral("vergleichen: Daten ungleich bei Adresse 1B00")))
        << f.err.toStdString();
    EXPECT_TRUE(f.err.contains(QStringLiteral("SiLab: FEHLER beim Verifizieren")));
    EXPECT_FALSE(f.err.contains(QStringLiteral("SiLab: okay")));
    // What the module held did reach the sensor, and was caught.
    EXPECT_EQ(quint8(s.State("sensor-flash.bin").at(0x1B00)), other[0x1B00]);

    // A range "F" cannot take is refused before the C2 init; without the file it is a usage error.
    const ToolResult wide =
        s.Run({"c2", "program", "--range", "800-1C01", "--source", "200", "--file", file});
    EXPECT_RUN(wide, 1);
    EXPECT_TRUE(wide.err.contains(QStringLiteral("unzulässiger Programmaufruf (prüfe Adressen)")));
    EXPECT_FALSE(wide.err.contains(QStringLiteral("Init C2")));
    EXPECT_RUN(s.Run({"c2", "program", "--range", "800-1BFF", "--source", "200"}), 2);

    // The module brought back to the file: both say okay, also with answer checking off.
    EXPECT_RUN(s.Run({"tmfw", "transfer", file}), 0);
    EXPECT_RUN(s.Run({"--no-answer-check", "--no-ack", "tmfw", "check", file}), 0);
    EXPECT_RUN(s.Run({"--no-answer-check", "--no-ack", "c2", "program", "--range", "0-7FF", "--file", file,
                      "--erase"}),
               0);
    EXPECT_RUN(s.Run({"--no-answer-check", "--no-ack", "c2", "program", "--range", "800-1BFF", "--source",
                      "200", "--file", file}),
               0);
    EXPECT_EQ(s.State("sensor-flash.bin").left(0x1A00),
              QByteArray(reinterpret_cast<const char*>(fw.data()), 0x1A00));
}
