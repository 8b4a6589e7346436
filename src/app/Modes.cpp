#include "app/Modes.h"

namespace vmx::app {

std::optional<ModeKind> ModeForAccessCode(const QString& code)
{
    if (code == QLatin1String("5185")) return ModeKind::Standard;
    if (code == QLatin1String("6874")) return ModeKind::Service;
    if (code == QLatin1String("9684")) return ModeKind::Manufacturer;
    return std::nullopt;
}

OperatingMode FlagsFor(ModeKind kind)
{
    OperatingMode m;
    m.Service = kind == ModeKind::Service;
    m.Manufacturer = kind == ModeKind::Manufacturer;
    return m;
}

} // namespace vmx::app
