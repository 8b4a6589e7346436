#include "app/TextHelpers.h"
#include "app/Modes.h"

#include <gtest/gtest.h>

using namespace vmx::app;

TEST(TextHelpers, NumbersVersionsAndHex)
{
    EXPECT_EQ(NumberAfterKey("REFRESHDIA=20", "REFRESHDIA="), 20);
    EXPECT_EQ(NumberAfterKey("X=1]2", "X="), 12);
    EXPECT_EQ(NumberAfterKey("X=", "X="), -1);
    EXPECT_EQ(NumberAfterKey("X=1 ", "X="), -1);
    EXPECT_EQ(NumberAfterKey("Y=1", "X="), -1);
    EXPECT_EQ(NumberAfterKey("X=99999999999", "X="), -1); // beyond 32 bits
    EXPECT_EQ(VersionTextToNumber("V1.43"), 143);
    EXPECT_EQ(VersionTextToNumber("v2.01"), 201);
    EXPECT_EQ(VersionTextToNumber("V1.4x"), -1);
    quint32 v = 0;
    EXPECT_TRUE(ParseHex("$1A00", v));
    EXPECT_EQ(v, 0x1A00u);
    EXPECT_TRUE(ParseHex("ff", v));
    EXPECT_EQ(v, 0xFFu);
    EXPECT_FALSE(ParseHex("xyz", v));
    EXPECT_FALSE(ParseHex("", v));
    EXPECT_EQ(RemoveBlanks(" 1 2 "), QStringLiteral("12"));
    EXPECT_EQ(CommaToPoint("0,05"), QStringLiteral("0.05"));
}

TEST(TextHelpers, Windows1252RoundTripAndUtf8Detection)
{
    const QString s = QStringLiteral("Pr\u00fcfung \u20ac \u00b5s \u00b4");
    const QByteArray b = EncodeWindows1252(s);
    EXPECT_EQ(b, QByteArray("Pr\xfc"
                            "fung \x80 \xb5s \xb4"));
    EXPECT_EQ(DecodeWindows1252(b), s);
    EXPECT_EQ(DecodeText(b), s);          // not UTF-8: read as Windows-1252
    EXPECT_EQ(DecodeText(s.toUtf8()), s); // valid UTF-8
    EXPECT_EQ(EncodeWindows1252(QStringLiteral("\u4e2d")), QByteArray("?"));
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (QStringList{"a", ""}));
}

TEST(Modes, AccessCodesAreComparedAsWholeText)
{
    EXPECT_EQ(ModeForAccessCode("5185"), ModeKind::Standard);
    EXPECT_EQ(ModeForAccessCode("6874"), ModeKind::Service);
    EXPECT_EQ(ModeForAccessCode("9684"), ModeKind::Manufacturer);
    EXPECT_FALSE(ModeForAccessCode("6874 ").has_value());
    EXPECT_FALSE(ModeForAccessCode("*****").has_value());
    EXPECT_FALSE(ModeForAccessCode("").has_value());
    EXPECT_TRUE(FlagsFor(ModeKind::Service).Service);
    EXPECT_FALSE(FlagsFor(ModeKind::Service).Manufacturer);
    EXPECT_TRUE(FlagsFor(ModeKind::Manufacturer).BootAllowed());
    EXPECT_FALSE(FlagsFor(ModeKind::Standard).BootAllowed());
}
