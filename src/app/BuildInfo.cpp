#include "app/BuildInfo.h"

namespace vmx::app {

std::string VersionLine(const char* program)
{
    return std::string(program) + ' ' + BuildVersion() + " (revision " + BuildRevision() + ')';
}

} // namespace vmx::app
