#include "app/SensorTypes.h"

#include <gtest/gtest.h>

#include <set>

using namespace vmx::app;

namespace {
struct MenuCounts {
    int groups = 0, separators = 0, items = 0;
};
MenuCounts Count(const std::vector<VersionMenuEntry>& m)
{
    MenuCounts c;
    for (const auto& e : m) {
        if (e.Separator)
            ++c.separators;
        else
            ++c.groups;
        c.items += int(e.Items.size());
    }
    return c;
}
} // namespace

TEST(SensorTypes, CatalogueKeysAreConsistentAndUnique)
{
    std::set<quint32> keys;
    for (int i = 0; i < kSensorTypeCount; ++i) {
        const SensorTypeRow& r = kSensorTypes[i];
        EXPECT_EQ(r.Key, r.Type * 1000000 + r.SubType * 1000 + r.Firmware) << "row " << i;
        EXPECT_TRUE(keys.insert(r.Key).second) << "row " << i;
        EXPECT_EQ((r.Flags >> 9) & 1u, 0u) << "bit 9 is never set, row " << i;
        EXPECT_TRUE(r.BootAddr == 0x0C00 || r.BootAddr == 0x1A00) << "row " << i;
        EXPECT_EQ(r.IdentCode, (i >= 49 && i <= 51) ? 35u : 20u) << "row " << i;
    }
    EXPECT_STREQ(kSensorTypes[33].FirmwareText, "V1.10 .. V1.13");
    EXPECT_EQ(kSensorTypes[33].Flags, 0x00809u);
    EXPECT_EQ(kSensorTypes[10].CalOffset, 144u);
    EXPECT_EQ(FlagsText(0x00809), QStringLiteral("0x00809"));
    EXPECT_EQ(FlagsText(0x3E9FF), QStringLiteral("0x3E9FF"));
}

TEST(SensorTypes, CopyResetsIdentificationValues)
{
    CurrentSensorType st;
    CopyValidSensorType(st, 8);
    EXPECT_EQ(st.Key, 5028143);
    EXPECT_EQ(st.Model, QStringLiteral("QVR05.28"));
    st.SerialNo = 1234;
    st.Year = 14;
    st.Cal[3] = 0;
    CopyValidSensorType(st, 33);
    EXPECT_EQ(st.SerialNo, 0xFFFF);
    EXPECT_EQ(st.Year, 255);
    EXPECT_EQ(st.Hardware, 255);
    EXPECT_EQ(st.ModelIndex, 0);
    EXPECT_EQ(st.Cal[3], 0xFF);
    EXPECT_FALSE(st.Has(Cap::Ident));
    EXPECT_TRUE(st.Has(Cap::Led));
    CopyValidSensorType(st, 99); // out of the catalogue
    EXPECT_EQ(st.Row, 0);
}

TEST(SensorTypes, LookupsTakeTheLastMatchingRow)
{
    EXPECT_EQ(LastRowMatching(20, 5, 28, 143), 8);
    EXPECT_EQ(LastRowMatching(35, 2, 22, 143), 51);
    EXPECT_EQ(LastRowMatching(20, 5, 28, 142), -1);
    EXPECT_EQ(LastRowMatching(-1, 0, 0, 143), -1);
    EXPECT_EQ(LastRowWithKey(16000130), 53);
    EXPECT_EQ(LastRowWithKey(-1), -1);
}

TEST(VersionMenu, UnfilteredHasEveryGroupSeparatorAndItem)
{
    const auto menu = BuildVersionMenu(VersionFilter{});
    const MenuCounts c = Count(menu);
    EXPECT_EQ(c.groups, 29);
    EXPECT_EQ(c.separators, 8);
    EXPECT_EQ(c.items, 54);

    ASSERT_FALSE(menu.empty());
    EXPECT_FALSE(menu[0].Separator);
    EXPECT_EQ(menu[0].Caption, QStringLiteral("QVRxx.xx"));
    ASSERT_EQ(menu[0].Items.size(), 3u);
    EXPECT_EQ(menu[0].Items[0].Caption, QStringLiteral("V1.4x"));
    EXPECT_EQ(menu[0].Items[1].Caption, QStringLiteral("V1.3x"));
    EXPECT_EQ(menu[0].Items[2].Caption, QStringLiteral("V1.2x"));
    EXPECT_EQ(menu[0].Items[0].Key, 143);
    EXPECT_TRUE(menu[1].Separator);

    // Type 8 (QVR08.10, QVR08.11) is followed by a separator and a second type-5 group.
    int q0811 = -1;
    for (size_t i = 0; i < menu.size(); ++i)
        if (menu[i].Caption == QLatin1String("QVR08.11")) q0811 = int(i);
    ASSERT_GE(q0811, 0);
    EXPECT_EQ(menu[size_t(q0811) - 1].Caption, QStringLiteral("QVR08.10"));
    ASSERT_LT(size_t(q0811) + 2, menu.size());
    EXPECT_TRUE(menu[size_t(q0811) + 1].Separator);
    EXPECT_EQ(menu[size_t(q0811) + 2].Caption, QStringLiteral("WSK01.xx"));
    ASSERT_EQ(menu[size_t(q0811) + 2].Items.size(), 2u);
    EXPECT_EQ(menu[size_t(q0811) + 2].Items[0].Caption, QStringLiteral("(V1.40)"));

    // The last group: NTX 100P with two versions.
    EXPECT_EQ(menu.back().Caption, QStringLiteral("NTX 100P"));
    EXPECT_EQ(menu.back().Items.size(), 2u);
}

TEST(VersionMenu, FiltersRestrictGroupsButKeepSeparatorsOfPassingTypes)
{
    // Type 5, subtype 50, every firmware: one group with its three versions. Type 5 occurs
    // twice in the catalogue, so two separators stand for it.
    const auto menu = BuildVersionMenu(VersionFilter{5, 50, -1});
    MenuCounts c = Count(menu);
    EXPECT_EQ(c.groups, 1);
    EXPECT_EQ(c.items, 3);
    EXPECT_EQ(c.separators, 2);
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_TRUE(menu[0].Separator);
    EXPECT_EQ(menu[1].Caption, QStringLiteral("QVR05.50/..57"));
    EXPECT_TRUE(menu[2].Separator);

    // Firmware 143 only: a group is made where its first passing row comes, not only at the
    // group's first row (QVR05.50/..57 starts with V1.25).
    const auto fw = BuildVersionMenu(VersionFilter{-1, -1, 143});
    c = Count(fw);
    EXPECT_EQ(c.separators, 8);
    int items = 0;
    for (int i = 0; i < kSensorTypeCount; ++i)
        items += kSensorTypes[i].Firmware == 143;
    EXPECT_EQ(c.items, items);
    bool found = false;
    for (const auto& e : fw)
        if (e.Caption == QLatin1String("QVR05.50/..57")) {
            found = true;
            ASSERT_EQ(e.Items.size(), 1u);
            EXPECT_EQ(e.Items[0].Key, 5050143);
        }
    EXPECT_TRUE(found);

    // A type that is not in the catalogue: nothing at all.
    EXPECT_TRUE(BuildVersionMenu(VersionFilter{99, -1, -1}).empty());
}

TEST(VersionMenu, StartRowFallsBackToRowZero)
{
    CurrentSensorType st;
    CopyValidSensorType(st, 0);
    st.Type = 5, st.SubType = 28, st.Firmware = 143;
    EXPECT_EQ(StartRow(st, VersionFilter{}), 8);
    // Filtered out of the menu: nothing checked, row 0 becomes current.
    EXPECT_EQ(StartRow(st, VersionFilter{6, -1, -1}), 0);
    st.Firmware = -1; // not a number in MONITOR.INI
    EXPECT_EQ(StartRow(st, VersionFilter{}), 0);
}
