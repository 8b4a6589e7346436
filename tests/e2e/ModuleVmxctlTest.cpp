// A production station's sequence through vmxctl, one command per run as a station script
// would call them, on the simulated bench whose memories persist in a state folder: a blank
// sensor brought to life over C2, the firmware moved into the test module once, the PIC
// programmed with its factory OSCCAL; and the refusals and usage errors on the way.
#include "StateBench.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

#define EXPECT_RUN(r, code) EXPECT_EQ((r).exitCode, code) << (r).err.toStdString()

} // namespace

TEST(ModuleVmxctl, BlankSensorProgrammedOverSeveralRunsThenAnswers)
{
    StateBench s(QStringLiteral("tk33,blank,stream=polled"));
    const auto fw = SensorFirmware();
    const QString file = s.Hex("QVR.hex", fw);
    EXPECT_RUN(s.Run({"ping"}), 1); // a blank chip says nothing

    const ToolResult check = s.Run({"tm", "check", "--frontend", "1", "--allowed", "0x40"});
    EXPECT_RUN(check, 0);
    EXPECT_EQ(check.out.trimmed(), QStringLiteral("kind=33"));
    EXPECT_TRUE(check.err.contains(QStringLiteral("Prüfmittel: okay")));

    const ToolResult x = s.Run({"c2", "program", "--range", "0-7FF", "--file", file, "--erase"});
    EXPECT_RUN(x, 0);
    EXPECT_TRUE(x.err.contains(QStringLiteral("SiLab: Löschen: okay")));
    EXPECT_RUN(s.Run({"tmfw", "transfer", file}), 0);
    // The segment in the module holds the firmware from 0x800 at 0x200.
    const QByteArray module = s.State("module-flash.bin");
    ASSERT_EQ(module.size(), 65536);
    EXPECT_EQ(module.mid(0x200, 0x1400),
              QByteArray(reinterpret_cast<const char*>(fw.data()) + 0x800, 0x1400));
    EXPECT_RUN(s.Run({"tmfw", "check", file}), 0);
    EXPECT_RUN(s.Run({"c2", "program", "--range", "800-1BFF", "--source", "200", "--file", file}), 0);

    EXPECT_RUN(s.Run({"ping"}), 0);
    const QByteArray sensor = s.State("sensor-flash.bin");
    EXPECT_EQ(sensor.left(0x1A00), QByteArray(reinterpret_cast<const char*>(fw.data()), 0x1A00));
    // Read back over C2 into a file: the same bytes.
    const QString back = s.File("back.hex");
    EXPECT_RUN(s.Run({"c2", "verify", "--range", "0-19FF", "--file", file}), 0);
    EXPECT_RUN(s.Run({"c2", "read", "--range", "0-FF", "--file", back}), 0);
    EXPECT_TRUE(QFile::exists(back));
    // The module's own memories through its loader.
    EXPECT_RUN(s.Run({"mem", "verify", "--module", "--kind", "code", "--range", "200-3FF", "--file",
                      s.Hex("seg.hex",
                            [&] {
                                std::vector<quint8> seg(0x400, 0xFF);
                                std::copy(fw.begin() + 0x800, fw.begin() + 0xA00, seg.begin() + 0x200);
                                return seg;
                            }())}),
               0);
    EXPECT_RUN(s.Run({"boot", "ping", "--module"}), 0);
}

TEST(ModuleVmxctl, PicProgramKeepsTheFactoryOscCal)
{
    StateBench s(QStringLiteral("tk33,stream=none,osccal=0x0c30"));
    std::vector<quint8> pic(0x2000, 0xFF);
    for (int i = 0; i < 112; ++i)
        pic[size_t(i)] = quint8(i % 2 ? 0x50 | (i % 16) : i * 5);
    pic[0x1FFE] = 0xEB, pic[0x1FFF] = 0x0F;
    const QString file = s.Hex("PIC.hex", pic);
    EXPECT_RUN(s.Run({"tm", "check"}), 0);
    const ToolResult run = s.Run({"pic", "program", file});
    EXPECT_RUN(run, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("PIC: okay")));
    const ToolResult read = s.Run({"pic", "read"});
    EXPECT_RUN(read, 0);
    EXPECT_EQ(read.out, QStringLiteral("config=$FEB\nosccal=$C30\n"));
    // The page's refusal: an OSCCAL the edits cannot take.
    const ToolResult bad = s.Run({"pic", "write", "--config", "$FEB", "--osccal", "x"});
    EXPECT_RUN(bad, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Schreibe PIC: Fehler, OSCCAL=$FFFF nicht plausibel!")));
}

TEST(ModuleVmxctl, IdentOutputsAndRefusals)
{
    StateBench s(QStringLiteral("tk33,stream=none"));
    const ToolResult id = s.Run({"tm", "ident"});
    EXPECT_RUN(id, 0);
    EXPECT_EQ(id.out,
              QStringLiteral("ident=99\ntype=33\nsubtype=1\ntag=0\nfirmware=V2.10\nmodel=TK33 - QVR05/06\n"));
    const ToolResult out = s.Run({"tm", "outputs", "--wait", "50"});
    EXPECT_RUN(out, 0);
    EXPECT_EQ(out.out, QStringLiteral("QVR05/06, aktuell: H H H | Speicher: H H H\ndata=22 22 22\n"));
    EXPECT_RUN(s.Run({"tm", "led", "--red"}), 0);
    // The "F" source may span 5,120 bytes at most.
    const ToolResult wide = s.Run({"c2", "write", "--range", "800-1C01", "--source", "200"});
    EXPECT_RUN(wide, 1);
    EXPECT_TRUE(wide.err.contains(QStringLiteral("unzulässiger Programmaufruf (prüfe Adressen)")));
    EXPECT_RUN(s.Run({"tmfw", "transfer", s.File("missing.hex")}), 1);
    // Usage errors.
    EXPECT_RUN(s.Run({"c2", "write", "--range", "0-FF"}), 2);
    EXPECT_RUN(s.Run({"tm", "power", "maybe"}), 2);
    EXPECT_RUN(s.Run({"boot", "ident", "--module"}), 2);

    StateBench c(QStringLiteral("converter,stream=none"));
    const ToolResult refused = c.Run({"tm", "check", "--allowed", "0x08"});
    EXPECT_RUN(refused, 1);
    EXPECT_EQ(refused.out.trimmed(), QStringLiteral("kind=5"));
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Prüfmittel: FEHLER, ungeeignetes Prüfmittel")));
}
