// vmx-sim: the simulated bench served on a pseudo-terminal.
#include <cstdio>

int main()
{
    std::puts("usage: vmx-sim [--link PATH] [--profile NAME] [--stream short|long|none] [--fault ...]");
    return 0;
}
