// The programming programs on a test module that fails like hardware: whatever the module does
// wrong, wherever in the run, the unit ends FEHLER; the next run on the same bench finds the
// half-programmed unit, programs it right, and the bench's flash holds the files.
#include "GoodUnitDefinitions.h"
#include "HexFile.h"
#include "RunTool.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

using vmx::test::Firmware;
using vmx::test::PicFirmware;

QByteArray StateFile(const QString& dir, const char* name)
{
    QFile f(dir + QLatin1String("/state/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The first address in first..last where `flash` (at `base`) differs from `want`, or -1.
int FirstDifference(const QByteArray& flash, quint32 base, const std::vector<quint8>& want, quint32 first,
                    quint32 last, quint32 wantBase = 0)
{
    for (quint32 a = first; a <= last; ++a) {
        const qsizetype i = qsizetype(a - base);
        if (i >= flash.size() || quint8(flash[i]) != want[a - base + wantBase]) return int(a);
    }
    return -1;
}

// What the bench must hold after a good run of `program`; empty when all is right.
QString Mismatch(const QString& dir, int program)
{
    const std::vector<quint8> fw = Firmware();
    if (program == 20) {
        // The firmware's 0x800..0x1BFF in the module's CodeSegment_3 at 0x200.
        const int at = FirstDifference(StateFile(dir, "module-flash.bin"), 0, fw, 0x200, 0x15FF, 0x600);
        return at < 0 ? QString() : QStringLiteral("module flash differs at %1").arg(at, 4, 16);
    }
    const QByteArray flash = StateFile(dir, "sensor-flash.bin");
    std::vector<quint8> want = fw;
    auto skip = [&](quint32 a, quint32 b) {
        for (quint32 i = a; i <= b; ++i)
            want[i] = i < quint32(flash.size()) ? quint8(flash[qsizetype(i)]) : quint8(~fw[i]);
    };
    if (program == 21 || program == 22) std::fill(want.begin() + 0x200, want.begin() + 0x800, quint8(0xFF));
    // After the download the later steps write the unit's identity and parameters.
    if (program == 24) skip(0x80, 0xFF), skip(0xA00, 0xBFF);
    const quint32 last = program == 24 ? 0x19FF : 0x1BFF;
    const int at = FirstDifference(flash, 0, want, 0, last);
    if (at >= 0) return QStringLiteral("sensor flash differs at %1").arg(at, 4, 16);
    if (program == 21 || program == 28) {
        // 56 words, CONFIG and the factory OSCCAL (twelve bits each, low byte first).
        const QByteArray pic = StateFile(dir, "pic.bin");
        const std::vector<quint8> file = PicFirmware();
        if (pic.size() < 2 * 58) return QStringLiteral("no PIC kept");
        auto word = [&](int i) { return (quint8(pic[2 * i]) | (quint8(pic[2 * i + 1]) << 8)) & 0xFFF; };
        for (int i = 0; i < 56; ++i)
            if (word(i) != ((file[size_t(2 * i)] | (file[size_t(2 * i + 1)] << 8)) & 0xFFF))
                return QStringLiteral("PIC word %1 differs").arg(i);
        if (word(56) != 0xFEB || word(57) != 0xC24) return QStringLiteral("PIC CONFIG or OSCCAL differs");
    }
    return QString();
}

} // namespace

TEST(ModuleFaultMatrix, EveryModuleFaultEndsRedAndTheNextRunProgramsTheUnit)
{
    // Points inside each program's module traffic: the first frame, the middle, near the end
    // (program 20 sends about 650 frames, 21 about 190, 22 about 160, 24 four, 27 about 360,
    // 28 about 400; the last frames switch the unit off).
    const struct {
        int program;
        std::vector<int> frames;
    } programs[] = {
        {20, {1, 300, 640}}, {21, {1, 60, 150}},  {22, {1, 50, 120}},
        {24, {1, 2, 4}},     {27, {1, 120, 300}}, {28, {1, 130, 330}},
    };
    const char* faults[] = {"mute", "drop", "corrupt", "delay:3000"};

    QTemporaryDir dir;
    QByteArray ini;
    for (const auto& p : programs) {
        ini += "[TEST_CONDITION]\r\n";
        for (const QString& line : vmx::test::GoodDefinition(p.program))
            ini += line.toUtf8() + "\r\n";
        ini += "//\r\n";
    }
    {
        QFile f(dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    ASSERT_TRUE(vmx::test::WriteHexFile(dir.filePath(QStringLiteral("QVR05_V143.hex")), Firmware()));
    ASSERT_TRUE(vmx::test::WriteHexFile(dir.filePath(QStringLiteral("PIC.hex")), PicFirmware()));
    auto tool = [&](const QString& bench, const QStringList& args) {
        return RunTool(QStringLiteral("vmxctl"),
                       QStringList{QStringLiteral("--config-dir"), dir.path(), QStringLiteral("--type"),
                                   QStringLiteral("5028143"), QStringLiteral("--simulate=") + bench} +
                           args,
                       60000);
    };
    for (int n = 1; n <= 4; ++n)
        ASSERT_EQ(tool(QStringLiteral("tk33,virtual"),
                       {QStringLiteral("params"), QStringLiteral("standard"), QStringLiteral("--out"),
                        dir.filePath(QStringLiteral("QVR05_V10%1.hex").arg(n))})
                      .exitCode,
                  0);
    const QString json = dir.filePath(QStringLiteral("unit.json"));
    // One unit of definition `index` on the bench kept in `state`; its verdict.
    auto run = [&](const QString& state, int index, const QString& fault, ToolResult& r) {
        QFile::remove(json);
        r = tool(
            QStringLiteral("tk33,tube=empty,if=any,unit=good,state=%1/state,virtual%2").arg(state, fault),
            {"test", "run", "--definition", QString::number(index), "--sn", "1000", "--tester", "Weber",
             "--year", "26", "--batch", "A-4711", "--batch-comment", "Charge 7", "--tech-index", "B",
             "--json", json});
        QFile f(json);
        if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("(no record)");
        return QJsonDocument::fromJson(f.readAll().split('\n').value(0)).object().value("verdict").toString();
    };

    for (size_t i = 0; i < std::size(programs); ++i) {
        const int program = programs[i].program;
        // One bench per program, its module loaded with the firmware by program 20 first.
        QTemporaryDir bench;
        ToolResult r;
        if (program != 20 && program != 24) {
            ASSERT_EQ(run(bench.path(), 0, QString(), r), "okay") << r.err.toStdString();
        }
        for (const char* fault : faults) {
            for (int frame : programs[i].frames) {
                const QString words =
                    QStringLiteral(",tmfault=%1,tmafter=%2").arg(QLatin1String(fault)).arg(frame);
                const std::string what = "program " + std::to_string(program) + words.toStdString();
                EXPECT_EQ(run(bench.path(), int(i), words, r), "FEHLER") << what << "\n"
                                                                         << r.err.toStdString();
                EXPECT_EQ(r.exitCode, 1) << what;
                EXPECT_TRUE(r.err.contains(QStringLiteral("FEHLER"))) << what;
                // The next unit run on the same bench: the half-done work is done over, right.
                EXPECT_EQ(run(bench.path(), int(i), QString(), r), "okay") << what << "\n"
                                                                           << r.err.toStdString();
                EXPECT_EQ(r.exitCode, 0) << what;
                EXPECT_EQ(Mismatch(bench.path(), program), QString()) << what;
            }
        }
    }
    // The download step kept what it erased, though the steps after it wrote a new identity.
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("backup"))).entryList({QStringLiteral("*.hex")}).isEmpty());
}
