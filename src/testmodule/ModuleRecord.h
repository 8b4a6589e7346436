#pragma once
// What the test-module steps leave for the production test's measured-data record: the kind of
// test hardware found, the outcomes of the programming runs, the PIC's CONFIG and OSCCAL.
// Kept in one place so the record and the steps cannot disagree.

namespace vmx::testmodule {

// The test hardware kind, as the steps branch on it.
enum TestHardwareKind : int {
    HardwareNone = 0,
    HardwareConverter005 = 5,
    HardwareConverter007 = 7,
    HardwareComPort = 99,
    HardwareTK33 = 33,
    HardwareVO40 = 40,
};

struct ModuleRecord {
    int testHardware = HardwareNone;
    // The test-hardware check: -1 not run, 0 failed (nothing may go through that hardware),
    // 1 passed.
    int checkResult = -1;
    int siLabResult = 0;
    int picResult = 0;
    int tk33ProgResult = 0;
    int picConfig = -1;
    int picOscCal = -1;
};

// A step routine tells the test run controller that its step is done.
class StepSignal {
public:
    virtual ~StepSignal() = default;
    virtual void AutoAdvance() = 0;
};

} // namespace vmx::testmodule
