// MONITOR.INI on any bytes, and what the start then builds from it: the version menu and the
// listing of the configuration.
#include "FuzzSupport.h"
#include "app/MonitorConfig.h"
#include "app/SensorTypes.h"

#include <QBuffer>

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    QBuffer buf;
    buf.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buf.open(QIODevice::ReadOnly);
    app::MonitorConfig cfg;
    app::ApplyConfigFrom(buf, QStringLiteral("/prog"), cfg);
    const auto menu = app::BuildVersionMenu(cfg.ShowVersion);
    (void)menu;
    const QStringList listing = app::ConfigListing(cfg, 0, 0);
    (void)listing;
    return 0;
}
