// The wire format shared by the link and the simulator: checksums and line timing.
#include "proto/Protocol.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vmx::proto;

namespace {
std::vector<std::uint8_t> Frame(std::vector<std::uint8_t> head)
{
    head.push_back(0);
    head.back() = FrameCrc(head.data(), int(head.size()));
    return head;
}
} // namespace

TEST(Protocol, WorkedExamplesOfPart22)
{
    EXPECT_EQ(Frame({0xF1, 0x00, 0x05, 0x16}), (std::vector<std::uint8_t>{0xF1, 0x00, 0x05, 0x16, 0x20}));
    EXPECT_EQ(Frame({0xF1, 0x00, 0x05, 0x29}).back(), 0x1E);
    EXPECT_EQ(Frame({0xF1, 0x00, 0x05, 0x25}).back(), 0x06);
    EXPECT_EQ(Frame({0xF1, 0x00, 0x06, 0x31, 0x02}).back(), 0x14);
}

TEST(Protocol, BootLoaderFramesOfPart51)
{
    EXPECT_EQ(Frame({0xF1, 0x00, 0x05, 0x22}).back(), 0x08);
    EXPECT_EQ(Frame({0xF1, 0x00, 0x06, 0x36, 0xA0}).back(), 0x18);
    EXPECT_EQ(Frame({0xF1, 0x00, 0x05, 0x15}).back(), 0x26);
    EXPECT_EQ(Frame({0xF1, 0x00, 0x09, 0x11, 0x00, 0x19, 0xF0, 0x10}).back(), 0x28);
    EXPECT_EQ(Frame({0xF1, 0x00, 0x08, 0x14, 0x00, 0x18, 0x00}).back(), 0x24);
}

TEST(Protocol, ShortLengthFieldStepsNothing)
{
    const std::uint8_t f[] = {0xF1, 0x00, 0x02, 0x00, 0x00};
    EXPECT_EQ(FrameCrc(f, 5), 0x31);
    const std::uint8_t g[] = {0xF1, 0x00, 0x00};
    EXPECT_EQ(FrameCrc(g, 3), 0x31);
}

TEST(Protocol, OneShiftPerByte)
{
    // From 0xF1: XOR 0x00 -> 0xF1, bit 7 set: 0xE2 ^ 0xD4 = 0x36.
    EXPECT_EQ(CrcStep(0xF1, 0x00), 0x36);
    EXPECT_EQ(CrcStep(0x36, 0x05), 0x66);
    EXPECT_EQ(CrcStep(0x66, 0x16), 0xE0);
}

TEST(Protocol, LineTiming)
{
    EXPECT_EQ(kBytesPerSecond, 11520);
    EXPECT_EQ(BytesToUs(11520), 1000000);
    EXPECT_EQ(BytesToUs(1), 87);
    EXPECT_EQ(BytesToUs(80), 6945);
    EXPECT_EQ(MeasAnswerLength(123), 21);
    EXPECT_EQ(MeasAnswerLength(124), 22);
}
