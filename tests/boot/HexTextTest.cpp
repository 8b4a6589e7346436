#include "boot/HexText.h"
#include "lang/Messages.h"

#include <gtest/gtest.h>

using namespace vmx::boot;

TEST(HexDigits, DigitsInBothCasesAndEverythingElseAsZero)
{
    EXPECT_EQ(HexDigitValue(QLatin1Char('0')), 0);
    EXPECT_EQ(HexDigitValue(QLatin1Char('9')), 9);
    EXPECT_EQ(HexDigitValue(QLatin1Char('A')), 10);
    EXPECT_EQ(HexDigitValue(QLatin1Char('f')), 15);
    for (char c : {'G', 'g', ' ', ':', 'x', '[', '/', '@', '`'})
        EXPECT_EQ(HexDigitValue(QLatin1Char(c)), 0) << c;
    EXPECT_EQ(HexDigitValue(QChar(0x00C4)), 0); // Ä
}

TEST(HexDigits, FieldsByCharacterPositionNeverPastTheLine)
{
    const QString line = QStringLiteral(":1A2bG9");
    EXPECT_EQ(HexField(line, 2, 2), 0x1Au);
    EXPECT_EQ(HexField(line, 4, 2), 0x2Bu);
    EXPECT_EQ(HexField(line, 6, 2), 0x09u); // G counts as 0
    EXPECT_EQ(HexField(line, 7, 2), 0x90u); // one character left, the next counts as 0
    EXPECT_EQ(HexField(line, 20, 4), 0u);
    EXPECT_EQ(HexField(QString(), 1, 2), 0u);
    EXPECT_TRUE(HasPosition(line, 7));
    EXPECT_FALSE(HasPosition(line, 8));
    EXPECT_FALSE(HasPosition(line, 0));
}

TEST(HexDigits, CatalogueTemplatesShowHexInUpperCase)
{
    EXPECT_EQ(FormatMessage(vmx::lang::Msg(299, 0), {0x100}), QStringLiteral("Adresse zu hoch: 0100"));
    EXPECT_EQ(FormatMessage(vmx::lang::Msg(299, 1), {0xabcd}), QStringLiteral("Address too high: ABCD"));
    EXPECT_EQ(FormatMessage(vmx::lang::Msg(302, 0), {0x19f0, 0x19ff}), QStringLiteral("von 19F0 bis 19FF, "));
    EXPECT_EQ(FormatMessage(vmx::lang::Msg(301, 0), {0x00, 0x03, 0x1A, 0x00, 330}),
              QStringLiteral("SW-Typ: 00 / Version: 03 / Boot-Adresse: 1A00 / MCU-Typ: 330 / Rest: "));
    EXPECT_EQ(FormatMessage(QStringLiteral("$%3x"), {0x1f}), QStringLiteral("$ 1F"));
    EXPECT_EQ(FormatMessage(QStringLiteral("%4.4x"), {0x10000}),
              QStringLiteral("10000")); // widens, never cuts
    EXPECT_EQ(FormatMessage(QStringLiteral("%3d|%d"), {7, -12}), QStringLiteral("  7|-12"));
    EXPECT_EQ(FormatMessage(QStringLiteral("100%% %x"), {}),
              QStringLiteral("100% %x")); // no value: left as is
}
