#include "boot/MemoryImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace vmx::boot;

namespace {
bool All(std::span<const quint8> s, quint8 v)
{
    return std::all_of(s.begin(), s.end(), [v](quint8 b) { return b == v; });
}
} // namespace

TEST(MemoryImages, FourKindsWithTheirLimitsStartErased)
{
    EXPECT_EQ(KindLimit(KindCode), 0xFFFFu);
    EXPECT_EQ(KindLimit(KindSram), 0xFFu);
    EXPECT_EQ(KindLimit(KindEeprom), 0xFFu);
    EXPECT_EQ(KindLimit(KindXram), 0x1FFu);
    EXPECT_EQ(KindLimit(4), 0u);

    auto m = std::make_unique<MemoryImages>();
    EXPECT_EQ(m->Image(KindCode).size(), 65536u);
    EXPECT_EQ(m->Image(KindSram).size(), 256u);
    EXPECT_EQ(m->Image(KindEeprom).size(), 256u);
    EXPECT_EQ(m->Image(KindXram).size(), 512u);
    EXPECT_TRUE(m->Image(-1).empty());
    EXPECT_EQ(m->Buffer().size(), 65536u);
    for (int k = 0; k < kMemoryKindCount; ++k)
        EXPECT_TRUE(All(m->Image(k), 0xFF)) << k;
    EXPECT_TRUE(All(m->Buffer(), 0xFF));
}

TEST(MemoryImages, CopiesStopAtTheKindsLimit)
{
    auto m = std::make_unique<MemoryImages>();
    m->FillBuffer(0x5A);
    EXPECT_TRUE(m->BufferToImage(KindXram));
    EXPECT_TRUE(All(m->Image(KindXram), 0x5A));
    EXPECT_TRUE(All(m->Image(KindCode), 0xFF));
    EXPECT_TRUE(All(m->Image(KindSram), 0xFF));

    // Only the range asked for, cut at 0xFF for SRAM.
    EXPECT_TRUE(m->BufferToImage(KindSram, 0x80, 0x1FF));
    EXPECT_TRUE(All(m->Image(KindSram).subspan(0, 0x80), 0xFF));
    EXPECT_TRUE(All(m->Image(KindSram).subspan(0x80), 0x5A));

    // Image to buffer leaves the buffer above the limit as it was.
    m->FillImage(KindEeprom, 0x11);
    EXPECT_TRUE(m->ImageToBuffer(KindEeprom));
    EXPECT_TRUE(All(m->Buffer().subspan(0, 0x100), 0x11));
    EXPECT_TRUE(All(m->Buffer().subspan(0x100), 0x5A));

    m->Image(KindCode)[0xFFFF] = 0x42;
    EXPECT_TRUE(m->ImageToBuffer(KindCode, 0xFFF0));
    EXPECT_EQ(m->Buffer()[0xFFFF], 0x42);

    EXPECT_FALSE(m->BufferToImage(7));
    EXPECT_FALSE(m->BufferToImage(KindSram, 0x100, 0x1FF)); // wholly above the limit
    EXPECT_FALSE(m->ImageToBuffer(KindCode, 5, 4));
}

TEST(MemoryImages, CheckedButtonsGiveTheLimitByPrecedence)
{
    // Indexed by kind: code, SRAM, EEPROM, XRAM.
    EXPECT_EQ(CheckedKindLimit({false, false, false, false}), 0u);
    EXPECT_EQ(CheckedKindLimit({true, false, false, false}), 0xFFFFu);
    EXPECT_EQ(CheckedKindLimit({true, true, false, false}), 0xFFu);
    EXPECT_EQ(CheckedKindLimit({true, true, false, true}), 0x1FFu);
    EXPECT_EQ(CheckedKindLimit({true, true, true, true}), 0xFFu); // EEPROM wins
}
