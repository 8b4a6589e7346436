#pragma once

#include <string>

namespace vmx::app {

// The release this binary belongs to ("1.50.12") and the source revision it was built from
// (`git describe` when it was built, "unknown" outside a checkout). Both are generated at build
// time.
const char* BuildVersion();
const char* BuildRevision();

// The first line of `--version`: "vmxctl 1.50.12 (revision v1.50-3-gabc1234)".
std::string VersionLine(const char* program);

} // namespace vmx::app
