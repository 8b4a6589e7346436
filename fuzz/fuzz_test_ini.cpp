// TEST.INI on any bytes: the scan that lists the definitions for a sensor version, and loading
// each listed one. The first byte picks the sensor version.
#include "FuzzSupport.h"
#include "prodtest/TestDefinitions.h"

#include <QFile>
#include <QTemporaryDir>

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    static QTemporaryDir dir;
    static const qint64 kKeys[] = {5028143, 5030201, 6000120, 1000100};
    const qint64 key = kKeys[data[0] % 4];
    {
        QFile f(dir.filePath(QStringLiteral("TEST.INI")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    app::VirtualClock clock;
    fuzz::QuietHost host(clock);
    app::Session session(host, clock, dir.path());
    struct Hooks final : prodtest::TestDefinitions::Hooks {
        void SaveResults() override {}
        void ClearResults() override {}
        void ShowStep0() override {}
    } hooks;
    prodtest::TestDefinitions defs(session, hooks);
    defs.TestDataSaved = false;
    defs.ScanTestIniFile(key);
    for (int i = 0; i < int(defs.comboItems.size()) && i < 4; ++i)
        defs.SelectDefinition(i);
    return 0;
}
