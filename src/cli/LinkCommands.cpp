// vmxctl commands that talk to a device through the link.
#include "cli/CliContext.h"

namespace vmx::cli {

void AddLinkCommands(CLI::App& app, CliContext& ctx)
{
    (void)app;
    (void)ctx;
}

} // namespace vmx::cli
