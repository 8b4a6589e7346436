#pragma once

#include <QString>

#include <optional>

namespace vmx::app {

// Service and manufacturer flag; MONITOR.INI may set both, the mode dialog never does.
struct OperatingMode {
    bool Service = false;
    bool Manufacturer = false;
    bool BootAllowed() const { return Service || Manufacturer; }
};

enum class ModeKind { Standard = 0, Service = 1, Manufacturer = 2 };

// The mode whose access code is exactly `code` (the whole text of the code edit).
std::optional<ModeKind> ModeForAccessCode(const QString& code);
OperatingMode FlagsFor(ModeKind kind);

} // namespace vmx::app
