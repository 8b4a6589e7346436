// The editor's conversion rules, field table, normalisations and panel bits, without widgets.
#include "sensor/ParameterEditor.h"
#include "app/SensorTypes.h"
#include "lang/Messages.h"

#include <gtest/gtest.h>

using namespace vmx;
using namespace vmx::sensor;

namespace {

QString En(int i)
{
    return lang::Msg(i, 1);
}

const EditField& Field(const char* name)
{
    const EditField* f = FindEditField(QLatin1String(name));
    EXPECT_NE(f, nullptr) << name;
    static EditField none;
    return f ? *f : none;
}

quint32 FlagsOfRow(int row)
{
    return app::kSensorTypes[row].Flags;
}

} // namespace

TEST(ConversionRules, IntegerClampsMaxThenMinAndKeepsOldOnGarbage)
{
    EXPECT_EQ(TestLimits(QStringLiteral("2000"), 0, 1023, 5), 1023);
    EXPECT_EQ(TestLimits(QStringLiteral("-3"), 0, 1023, 5), 0);
    EXPECT_EQ(TestLimits(QStringLiteral(" 12 "), 0, 1023, 5), 12);
    EXPECT_EQ(TestLimits(QStringLiteral("abc"), 0, 1023, 5), 5);
    EXPECT_EQ(TestLimits(QString(), 0, 1023, 5), 5);
    EXPECT_EQ(TestLimits(QStringLiteral("1,5"), 0, 1023, 5), 5);
    // The extra word is shown as "$ABCD" and may be typed back that way.
    EXPECT_EQ(TestLimits(QStringLiteral("$ABCD"), 0, 65535, 0), 0xABCD);
    EXPECT_EQ(TestLimits(QStringLiteral("0x10"), 0, 65535, 0), 16);
    EXPECT_EQ(TestLimits(QStringLiteral("99999999999999"), 0, 255, 7), 255);
}

TEST(ConversionRules, ScaledRuleWithCommaAndNegativeOffsetGivesZero)
{
    // (1.0 - 0.08) * 8.166 = 7.51 -> 8
    EXPECT_EQ(TestLimitsTime(QStringLiteral("1,0"), 0.8, 20, 0.08, 8.166, 0), 8);
    EXPECT_EQ(TestLimitsTime(QStringLiteral("1.0"), 0.8, 20, 0.08, 8.166, 0), 8);
    // Clamped first: 0.1 becomes 0.8.
    EXPECT_EQ(TestLimitsTime(QStringLiteral("0.1"), 0.8, 20, 0.08, 8.166, 0), 6);
    EXPECT_EQ(TestLimitsTime(QStringLiteral("0.05"), 0, 10, 0.08, 8.166, 9), 0);
    EXPECT_EQ(TestLimitsTime(QStringLiteral("x"), 0, 10, 0.08, 8.166, 9), 9);
    EXPECT_EQ(TestLimitsTime(QStringLiteral("inf"), 0, 10, 0.08, 8.166, 9), 9);
}

TEST(ConversionRules, RealRuleClampsAfterOffsetAndUsesTheDefault)
{
    EXPECT_EQ(TestLimitsReal(QStringLiteral("600"), 0.007, 500, 0, 131.07, 1), 65535);
    EXPECT_EQ(TestLimitsReal(QStringLiteral("0"), 0.007, 500, 0, 131.07, 1), 1);
    EXPECT_EQ(TestLimitsReal(QStringLiteral("3"), 0, 1000, 0, 0.25, 77), 1);
    EXPECT_EQ(TestLimitsReal(QStringLiteral("100"), 0, 1000, 0, 0.25, 77), 25);
    EXPECT_EQ(TestLimitsReal(QString(), 0, 10, 0, 10, 0xFF), 0xFF);
}

TEST(EditorTable, WorkedExamplesStoreAndShow)
{
    ParameterBlock b = StandardParameterBlock();
    const auto msg = [](int i) { return En(i); };

    ApplyEditText(b, Field("EGateBegin"), QStringLiteral("1,0"));
    EXPECT_EQ(b.GateBegin(), 8);
    EXPECT_EQ(EditFieldText(b, Field("EGateBegin"), msg), QStringLiteral("1.1"));
    // The second set writes the same byte.
    EXPECT_EQ(EditFieldText(b, Field("EGateBegin2"), msg), QStringLiteral("1.1"));

    ApplyEditText(b, Field("ESendPulse"), QStringLiteral("0"));
    EXPECT_EQ(b.SendPulse(), 0);
    EXPECT_EQ(EditFieldText(b, Field("ESendPulse"), msg), QStringLiteral("OFF"));
    EXPECT_FALSE(ApplyEditText(b, Field("ESendPulse"), QStringLiteral("OFF")));
    EXPECT_EQ(b.SendPulse(), 0);

    ApplyEditText(b, Field("EAmplIncrement"), QStringLiteral("600"));
    EXPECT_EQ(b.AmplIncrement(), 65535);
    EXPECT_EQ(EditFieldText(b, Field("EAmplIncrement"), msg), QStringLiteral("500.0"));
    EXPECT_EQ(EditFieldHint(b, Field("EAmplIncrement"), msg), QStringLiteral("int. = 65535\n") + En(146));
    // Decrement 200 shows with two places.
    EXPECT_EQ(EditFieldText(b, Field("EAmplDecrement"), msg), QStringLiteral("1.53"));

    ApplyEditText(b, Field("EServiceModeTime"), QStringLiteral("100"));
    EXPECT_EQ(b.ServiceModeTime(), 25);
    EXPECT_EQ(EditFieldText(b, Field("EServiceModeTime"), msg), QStringLiteral("100"));

    ApplyEditText(b, Field("EHoldTime2"), QStringLiteral("20000"));
    EXPECT_EQ(b.HoldTime(), 50000);
    EXPECT_EQ(EditFieldText(b, Field("EHoldTime2"), msg), QStringLiteral("10000"));
    EXPECT_EQ(EditFieldText(b, Field("EHoldTime"), msg), QStringLiteral("50000"));
    ApplyEditText(b, Field("EHoldTime"), QStringLiteral("20000"));
    EXPECT_EQ(b.HoldTime(), 10000);

    ApplyEditText(b, Field("ECRC"), QStringLiteral("4660"));
    EXPECT_EQ(b.word, 0x1234);
    EXPECT_EQ(EditFieldText(b, Field("ECRC"), msg), QStringLiteral("$1234"));

    ApplyEditText(b, Field("EExtResetTime"), QStringLiteral("0"));
    EXPECT_EQ(b.ExtResetTime(), 1);
    ApplyEditText(b, Field("EAmplBubbleLimit"), QStringLiteral("30"));
    EXPECT_EQ(b.AmplBubbleLimit(), 255);
    EXPECT_EQ(EditFieldText(b, Field("EAmplBubbleLimit"), msg), QStringLiteral("25.5"));

    ApplyEditText(b, Field("EBubbleTab_3_2"), QStringLiteral("100"));
    EXPECT_EQ(b.BubblePercent(3), 255);
    EXPECT_EQ(EditFieldText(b, Field("EBubbleTab_3_2"), msg), QStringLiteral("100.0"));
    ApplyEditText(b, Field("EBubbleTab_3_0"), QStringLiteral("2,5"));
    EXPECT_EQ(b.BubbleSize(3), 25);
    EXPECT_EQ(FindEditField(QStringLiteral("EBubbleTab_8_0")), nullptr);
}

TEST(EditorTable, EveryWordAndByteFitsItsWidthAtTheLimits)
{
    // The largest value each edit accepts must fit the field it is stored in.
    for (const EditField& f : EditFields()) {
        ParameterBlock b;
        ApplyEditText(b, f, QStringLiteral("1000000"));
        const int v = FieldValue(b, f);
        EXPECT_LE(v, f.Width == 2 ? 0xFFFF : 0xFF) << f.Name.toStdString();
        EXPECT_GE(v, 0) << f.Name.toStdString();
    }
}

TEST(EditorLists, StartConfigInitIntervalAndAveraging)
{
    ParameterBlock b = StandardParameterBlock();
    b.SetByte(Par::StartCfg, 0x5A);
    EXPECT_EQ(StartCfgItem(b), 3);
    SetStartCfgItem(b, 4);
    EXPECT_EQ(b.Byte(Par::StartCfg), 0x8A); // lower nibble kept
    b.SetByte(Par::StartCfg, 0x2A);
    EXPECT_EQ(StartCfgItem(b), 0);

    SetInitIntervalItem(b, 1);
    EXPECT_EQ(b.InitInterval(), 7);
    SetInitIntervalItem(b, 15);
    EXPECT_EQ(b.InitInterval(), 21);
    SetInitIntervalItem(b, 0);
    EXPECT_EQ(b.InitInterval(), 0);
    EXPECT_EQ(InitIntervalItem(b), 1);
    b.SetInitInterval(12);
    EXPECT_EQ(InitIntervalItem(b), 6);
    b.SetInitInterval(22);
    EXPECT_EQ(InitIntervalItem(b), 0);

    EXPECT_EQ(ListItem(15, 15), 14);
    EXPECT_EQ(ListItem(3, 6), 3);
}

TEST(EditorLists, SecurityByteAndItsInverse)
{
    ParameterBlock b = StandardParameterBlock();
    std::vector<bool> shown;
    for (int k = 0; k < kSecurityItems; ++k)
        shown.push_back(SecurityItemChecked(b, k));
    EXPECT_EQ(shown, (std::vector<bool>{false, true, true, false, true, false, false}));
    // A clear bit in the inverted copy checks an item too.
    b.SetByte(Par::SecurityInv, 0xE8);
    EXPECT_TRUE(SecurityItemChecked(b, 0));
    SetSecurityItems(b, {true, false, false, false, false, false, true});
    EXPECT_EQ(b.Security(), 0x41);
    EXPECT_EQ(b.SecurityInv(), 0xBE);
}

TEST(EditorLists, GainCells)
{
    EXPECT_EQ(GainCellValue(QStringLiteral("300")), 255);
    EXPECT_EQ(GainCellValue(QString()), 0);
    EXPECT_EQ(GainCellValue(QStringLiteral("17")), 17);
    EXPECT_EQ(GainCellText(5), QStringLiteral("005"));
    EXPECT_EQ(GainCellOffset(1, 1), 32);
    EXPECT_EQ(GainCellOffset(5, 6), 61);
    EXPECT_EQ(GainCellOffset(0, 1), -1);
    EXPECT_EQ(GainCellOffset(1, 7), -1);
    EXPECT_EQ(GainTestEditMask(1, 1), QStringLiteral("000;0"));
    EXPECT_TRUE(GainTestEditMask(0, 3).isEmpty());
}

TEST(EditorPanels, TagsToggleTheirBitsAndBubbleRowsAreMasked)
{
    ParameterBlock b = StandardParameterBlock();
    EXPECT_TRUE(ToggleCfgBit(b, 3)); // start "auto"
    EXPECT_EQ(b.Byte(Par::StartCfg), 0);
    EXPECT_TRUE(ToggleCfgBit(b, 34)); // error level
    EXPECT_EQ(b.ErrorOutCfg(), 4);
    EXPECT_TRUE(ToggleCfgBit(b, 21)); // air red
    EXPECT_EQ(b.AirOutCfg(), 16);
    EXPECT_TRUE(ToggleCfgBit(b, 10)); // liquid green
    EXPECT_EQ(b.LiquidOutCfg(), 0);
    EXPECT_TRUE(ToggleCfgBit(b, 92));
    EXPECT_EQ(b.InputCfg(), 8 | 4);
    // A bubble-table output byte of 0xFF loses its unused bits with the first click.
    b.SetBubbleOut(9, 0xFF);
    EXPECT_TRUE(ToggleCfgBit(b, 190));
    EXPECT_EQ(b.BubbleOut(9), 0x16);
    EXPECT_TRUE(ToggleCfgBit(b, 194));
    EXPECT_EQ(b.BubbleOut(9), 0x06);
    EXPECT_FALSE(ToggleCfgBit(b, 193));
    EXPECT_FALSE(ToggleCfgBit(b, 4));
    EXPECT_FALSE(ToggleCfgBit(b, 200));

    EXPECT_EQ(PanelLookOf(b, 194), PanelLook::Low);
    EXPECT_EQ(PanelLookOf(b, 191), PanelLook::Red);
    EXPECT_EQ(PanelLookOf(b, 93), PanelLook::Auto);
    EXPECT_EQ(PanelLookOf(b, 30), PanelLook::Off);
}

TEST(EditorNormalise, V143BlockKeepsTableAndClampsInterval)
{
    ParameterBlock b = StandardParameterBlock();
    b.SetByte(Par::BubbleAvg, 0xFF);
    b.SetServiceModeTime(4);
    b.SetStartCfgMode(5);
    b.SetInitInterval(30);
    b.SetBubbleSize(0, 7);
    b.SetBubbleOut(2, 0xFF);
    NormaliseEditBlock(b, FlagsOfRow(0), kParBlockSize); // V1.4x: bits 13 and 14
    EXPECT_EQ(b.Byte(Par::BubbleAvg), 0);
    EXPECT_EQ(b.ServiceModeTime(), 0);
    EXPECT_EQ(b.InitInterval(), 21);
    EXPECT_EQ(b.BubbleSize(0), 0);
    EXPECT_EQ(b.BubbleSize(7), 80);
    EXPECT_EQ(b.BubbleOut(2), 0);
    EXPECT_EQ(b.Byte(Par::Burst), 0x51);
    b.SetStartCfgMode(200);
    NormaliseEditBlock(b, FlagsOfRow(0), kParBlockSize);
    EXPECT_EQ(b.StartCfgMode(), 0);
}

// The checksum byte follows what the normalisation changed, over the type's block length only.
TEST(EditorNormalise, ChecksumFollowsTheContents)
{
    ParameterBlock b = StandardParameterBlock();
    b.SetByte(Par::ZeroAvg, 0xFF);
    const quint8 before = b.CheckSum();
    NormaliseEditBlock(b, FlagsOfRow(0), 64);
    EXPECT_EQ(b.Byte(Par::ZeroAvg), 0);
    EXPECT_NE(b.CheckSum(), before);
    EXPECT_EQ(b.CheckSum(), GetParCheckSum(b.data(), 64));
    // A change beyond the length does not move it.
    b.SetByte(100, 0x12);
    NormaliseEditBlock(b, FlagsOfRow(0), 64);
    EXPECT_EQ(b.CheckSum(), GetParCheckSum(b.data(), 64));
    b.SetBubbleSize(7, 3);
    NormaliseEditBlock(b, FlagsOfRow(0), 256);
    EXPECT_EQ(b.BubbleSize(7), 80);
    EXPECT_TRUE(b.CheckSumValid(256));
}

TEST(EditorNormalise, OlderBlockLosesTheNewerFields)
{
    ParameterBlock b = StandardParameterBlock();
    b.SetByte(Par::StartCfg, 0x80);
    b.SetInitInterval(9);
    NormaliseEditBlock(b, FlagsOfRow(1), kParBlockSize); // V1.3x: neither 13 nor 14
    EXPECT_EQ(b.InitInterval(), 12);
    EXPECT_EQ(b.Byte(Par::Burst), 0xFF);
    EXPECT_EQ(b.Byte(Par::TestBurst), 0xFF);
    for (int i = Par::BubbleTab; i <= Par::InputCfg; ++i)
        EXPECT_EQ(b.Byte(i), 0xFF) << i;
    // Done twice it changes nothing more.
    ParameterBlock again = b;
    NormaliseEditBlock(again, FlagsOfRow(1), kParBlockSize);
    EXPECT_EQ(again, b);
}

TEST(EditorNormalise, BubbleTableCheck)
{
    ParameterBlock b = StandardParameterBlock();
    EXPECT_TRUE(b.BubbleTableValid());
    b.SetBubbleSize(0, 0);
    b.SetBubbleSize(1, 10);
    b.SetBubbleSize(2, 5);
    EXPECT_FALSE(b.BubbleTableValid());
    EXPECT_EQ(BubbleTableCheckText(false, En), QStringLiteral("--> Error"));
    EXPECT_EQ(BubbleTableCheckText(true, En), QStringLiteral("--> okay"));
}

TEST(SerialModes, LabelsAndListsByFlags)
{
    EXPECT_EQ(SerialModeLabelMessages(1), (std::pair<int, int>{430, 433}));
    EXPECT_EQ(SerialModeLabelMessages(7), (std::pair<int, int>{429, 432}));
    EXPECT_EQ(SerialModeLabelMessages(10), (std::pair<int, int>{479, 431}));
    EXPECT_EQ(SerialModeLabelMessages(11), (std::pair<int, int>{426, 426}));
    EXPECT_EQ(SerialModeListMessage(FlagsOfRow(0)), 476);  // 0x3E9FF has bit 16
    EXPECT_EQ(SerialModeListMessage(FlagsOfRow(1)), 424);  // 0x009BF
    EXPECT_EQ(SerialModeListMessage(FlagsOfRow(23)), 425); // 0x229B7: 13 only
    EXPECT_EQ(StartCfgModeListMessage(FlagsOfRow(1)), 425);
    EXPECT_EQ(SerialModeCount(FlagsOfRow(0)), int(lang::MsgList(476, 1).size()));
    EXPECT_EQ(SerialModeCount(FlagsOfRow(1)), int(lang::MsgList(424, 1).size()));
}
