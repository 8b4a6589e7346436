// The field readers every parser shares: exactly the characters a field allows, bounded.
#include "app/FieldReaders.h"
#include "app/TextHelpers.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vmx::app;

TEST(FieldReaders, HexTakesDigitsOnly)
{
    quint32 v = 7;
    EXPECT_TRUE(ReadHex(u"0", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(ReadHex(u"aBcD", v));
    EXPECT_EQ(v, 0xABCDu);
    EXPECT_TRUE(ReadHex(u"FFFFFFFF", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    v = 7;
    // Signs, blanks, prefixes, other characters, nothing, too many digits: no number.
    for (const char16_t* s : {u"-1", u"+1", u" 1", u"1 ", u"0x1", u"$1", u"g", u"", u"123456789", u"1\u0661"})
        EXPECT_FALSE(ReadHex(s, v)) << QString::fromUtf16(s).toStdString();
    EXPECT_EQ(v, 7u); // left alone when it does not read
}

TEST(FieldReaders, HexFieldByPositionStrict)
{
    const QString line = QStringLiteral(":10-10000AB");
    quint32 v = 0;
    EXPECT_TRUE(ReadHexField(line, 2, 2, v));
    EXPECT_EQ(v, 0x10u);
    EXPECT_FALSE(ReadHexField(line, 4, 4, v)); // "-100": a sign is no digit
    EXPECT_TRUE(ReadHexField(line, 10, 2, v));
    EXPECT_EQ(v, 0xABu);
    EXPECT_FALSE(ReadHexField(line, 11, 2, v)); // one character short
    EXPECT_FALSE(ReadHexField(line, 0, 2, v));
    EXPECT_FALSE(ReadHexField(line, 2, 0, v));
    EXPECT_FALSE(ReadHexField(line, 2, 9, v));
    EXPECT_FALSE(ReadHexField(line, std::numeric_limits<int>::max(), 8, v));
}

TEST(FieldReaders, HexFieldLenientCountsOtherCharactersAsZero)
{
    const QString line = QStringLiteral(":1-2 G9");
    EXPECT_EQ(ReadHexFieldLenient(line, 2, 2), 0x10u);   // "1-"
    EXPECT_EQ(ReadHexFieldLenient(line, 3, 3), 0x020u);  // "-2 "
    EXPECT_EQ(ReadHexFieldLenient(line, 6, 4), 0x0900u); // "G9" and two past the end
    EXPECT_EQ(ReadHexFieldLenient(line, -5, 4), 0u);
    EXPECT_EQ(ReadHexFieldLenient(line, std::numeric_limits<int>::max(), 4), 0u);
    // Never more than eight digits, so never more than 32 bits.
    EXPECT_EQ(ReadHexFieldLenient(QStringLiteral("FFFFFFFFFFFF"), 1, 12), 0xFFFFFFFFu);
}

TEST(FieldReaders, DecimalWithSignWithinInt)
{
    int v = 5;
    EXPECT_TRUE(ReadDecimal(u"123", v));
    EXPECT_EQ(v, 123);
    EXPECT_TRUE(ReadDecimal(u"-1", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(ReadDecimal(u"+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ReadDecimal(u"2147483647", v));
    EXPECT_EQ(v, std::numeric_limits<int>::max());
    EXPECT_TRUE(ReadDecimal(u"-2147483648", v));
    EXPECT_EQ(v, std::numeric_limits<int>::min());
    v = 5;
    for (const char16_t* s : {u"2147483648", u"-2147483649", u"99999999999999999999", u"", u"-", u"+", u" 1",
                              u"1 ", u"0x10", u"1e3", u"1.0", u"\u0661", u"--1"})
        EXPECT_FALSE(ReadDecimal(s, v)) << QString::fromUtf16(s).toStdString();
    EXPECT_EQ(v, 5);
    // The key-value rule of the configuration reads through it.
    EXPECT_EQ(NumberAfterKey(QStringLiteral("TYPE=99999999999]"), QStringLiteral("TYPE=")), -1);
    EXPECT_EQ(NumberAfterKey(QStringLiteral("TYPE=12]"), QStringLiteral("TYPE=")), 12);
}

TEST(FieldReaders, UnsignedBytesBounded)
{
    quint64 v = 0;
    EXPECT_TRUE(ReadUnsigned("1048576", 1048576, v));
    EXPECT_EQ(v, 1048576u);
    EXPECT_FALSE(ReadUnsigned("1048577", 1048576, v));
    EXPECT_FALSE(ReadUnsigned("99999999999999999999999", std::numeric_limits<quint64>::max(), v));
    EXPECT_TRUE(ReadUnsigned("18446744073709551615", std::numeric_limits<quint64>::max(), v));
    EXPECT_EQ(v, std::numeric_limits<quint64>::max());
    EXPECT_FALSE(ReadUnsigned("18446744073709551616", std::numeric_limits<quint64>::max(), v));
    EXPECT_FALSE(ReadUnsigned("5", 4, v));
    EXPECT_TRUE(ReadUnsigned("0", 0, v));
    for (const char* s : {"", "-1", "+1", " 1", "1 ", "1a", "0x1"})
        EXPECT_FALSE(ReadUnsigned(s, 1000, v)) << s;
}

TEST(FieldReaders, EditsKeepTheirPrefixes)
{
    quint32 v = 0;
    EXPECT_TRUE(ParseHex(QStringLiteral(" $1A "), v));
    EXPECT_EQ(v, 0x1Au);
    EXPECT_TRUE(ParseHex(QStringLiteral("0x1a"), v));
    EXPECT_EQ(v, 0x1Au);
    EXPECT_FALSE(ParseHex(QStringLiteral("-1"), v));
    EXPECT_FALSE(ParseHex(QStringLiteral("0x-1"), v));
    EXPECT_FALSE(ParseHex(QStringLiteral("$ 1"), v));
}
