#pragma once
// The boot loader's hooks for tests that build a boot loader without a station: counted.

#include "boot/BootLoader.h"

namespace vmx::test {

struct BootHooks final : boot::BootLoader::Hooks {
    int stops = 0;
    int pageChanges = 0;
    void StopAcquisition() override { ++stops; }
    void BootPageChanged() override { ++pageChanges; }
};

} // namespace vmx::test
