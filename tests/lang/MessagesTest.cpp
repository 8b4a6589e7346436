#include "lang/Messages.h"
#include "lang/MessageTable.h"
#include "lang/ModeTexts.h"

#include <gtest/gtest.h>

#include <set>

using namespace vmx::lang;

namespace {
const int kEmpty[] = {3,   4,   5,   6,   7,   8,   9,   43,  103, 104, 105, 195, 219, 240, 241,
                      242, 243, 244, 245, 246, 247, 248, 249, 282, 336, 337, 338, 339, 341, 344,
                      361, 362, 363, 364, 365, 366, 367, 368, 369, 370, 371, 372, 373, 487, 488,
                      489, 490, 491, 492, 493, 494, 495, 496, 497, 498, 499, 500};
}

TEST(Catalogue, ReservedEntriesAreEmptyAndAllOthersHoldText)
{
    std::set<int> empty(std::begin(kEmpty), std::end(kEmpty));
    ASSERT_EQ(empty.size(), 57u);
    for (int i = 0; i < kMessageCount; ++i) {
        const bool isEmpty = QString::fromUtf8(kMessageTable[i].de).isEmpty();
        EXPECT_EQ(isEmpty, empty.count(i) == 1) << "entry " << i;
        // Where one language has text the other has too.
        EXPECT_EQ(isEmpty, QString::fromUtf8(kMessageTable[i].en).isEmpty()) << "entry " << i;
    }
    EXPECT_EQ(Msg(43, German), QString());
    EXPECT_EQ(Msg(-1, German), QString());
    EXPECT_EQ(Msg(501, English), QString());
}

TEST(Catalogue, TextsStandExactlyAsTabled)
{
    EXPECT_EQ(Msg(1, German), QStringLiteral("Monitor für "));
    EXPECT_EQ(Msg(2, English), QStringLiteral("Monitor for VELMOTRIX, Type "));
    EXPECT_EQ(Msg(250, German), QStringLiteral("alles okay"));
    EXPECT_EQ(Msg(250, English), QStringLiteral("okay, done successfully"));
    EXPECT_EQ(Msg(255, English), QStringLiteral("No or uncompleted answer!"));
    EXPECT_EQ(Msg(297, German), QStringLiteral("Import Parameter: "));
    // The vertical bar of dialog filters, the carriage return of dialog texts, ´ and µ.
    EXPECT_EQ(Msg(112, German), QStringLiteral("Excel-Dateien (*.xls)|*.xls|Alle Dateien (*.*)|*.*"));
    EXPECT_EQ(Msg(283, English),
              QStringLiteral("Type of sensor or firmware inkompatibel to parameter file. \rContinue?"));
    EXPECT_EQ(Msg(291, English), QStringLiteral("Can\u00b4t find file "));
    EXPECT_EQ(Msg(153, German), QStringLiteral("Tor Beginn [\u00b5s]"));
    EXPECT_EQ(Msg(500, German), QString());
}

TEST(Catalogue, LanguageOtherThanZeroOrOneLeavesDestination)
{
    QString dest = QStringLiteral("unchanged");
    LoadMessage(10, 2, dest);
    EXPECT_EQ(dest, QStringLiteral("unchanged"));
    LoadMessage(12, English, dest);
    EXPECT_EQ(dest, QStringLiteral("STOP"));
    LoadMessage(3, German, dest);
    EXPECT_EQ(dest, QString());
}

TEST(CommaText, SplitsQuotedItemsKeepingCommasAndBarsInside)
{
    const QStringList times = MsgList(99, German);
    ASSERT_EQ(times.size(), 9);
    EXPECT_EQ(times[0], QStringLiteral("100 ms"));
    EXPECT_EQ(times[3], QStringLiteral("1 s"));
    EXPECT_EQ(times[8], QStringLiteral("1 min"));

    const QStringList models = MsgList(409, German);
    ASSERT_EQ(models.size(), 7);
    EXPECT_EQ(models[2], QStringLiteral("Variante 2 | 9,5mm"));
    // Blank after the comma between items.
    const QStringList english = MsgList(130, English);
    ASSERT_EQ(english.size(), 5);
    EXPECT_EQ(english[4], QStringLiteral("Digital Test Input"));
    const QStringList samples = MsgList(472, German);
    EXPECT_EQ(samples, (QStringList{"unbekannt", "Sample B", "Sample C"}));

    EXPECT_EQ(SplitCommaText(QString()), QStringList());
    EXPECT_EQ(SplitCommaText(QStringLiteral("plain")), QStringList{"plain"});
    EXPECT_EQ(SplitCommaText(QStringLiteral("\"a\"\"b\",c")), (QStringList{"a\"b", "c"}));
    // An unterminated quote ends the item at the end of the text instead of running past it.
    EXPECT_EQ(SplitCommaText(QStringLiteral("\"abc")), QStringList{"abc"});
}

TEST(ModeTexts, ElevenTextsInBothLanguages)
{
    EXPECT_EQ(ModeText(0, German), QStringLiteral("Mode wechseln"));
    EXPECT_EQ(ModeText(2, English), QStringLiteral("Confirmataion of Password"));
    EXPECT_EQ(ModeText(10, German), QStringLiteral("Hersteller (Manufacturer)"));
    EXPECT_EQ(ModeText(11, German), QString());
}
