// TEST.INI as a station keeps it: sections, keys anywhere in a line, comma texts with quotes,
// "//" cuts, type masks against the selected sensor version, numbers that are not numbers.
#include "RecordingHost.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "prodtest/TestDefinitions.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmx;
using prodtest::TestDefinitions;

namespace {

constexpr qint64 kQvr0528V143 = 5028143;

struct Rig {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    // What picking another definition asks of the owner of the results and the run, counted.
    struct Hooks final : TestDefinitions::Hooks {
        int saved = 0, cleared = 0, shown = 0;
        void SaveResults() override { ++saved; }
        void ClearResults() override { ++cleared; }
        void ShowStep0() override { ++shown; }
    } hooks;
    TestDefinitions defs{session, hooks};

    // TEST.INI with `text` (UTF-8 source) in the encoding a station's editor wrote.
    void Write(const QString& text, bool windows1252 = true)
    {
        QFile f(dir.filePath(QStringLiteral("TEST.INI")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QString crlf = text;
        crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        f.write(windows1252 ? crlf.toLatin1() : crlf.toUtf8());
    }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.last(); }
};

const char* const kTwoDefinitions = R"([TEST_CONDITION]
[#QVR_TYP] "Sensortyp","QVR05.28"
[#ART_PRÜFUNG] "Prüfung","Endprüfung"
[#PRÜFPROGRAMM] "Programm","3"
[#SN_MIN] "SN von","1000"
[#SN_MAX] "SN bis","1999"
[#PRÜFER] "Prüfer","Meier"
// the next definition
[TEST_CONDITION]
[#QVR_TYP] "Sensortyp","QVR06"
[#ART_PRÜFUNG] "Prüfung","Programmierung"
[#MASKE] "Maske","06xxxxxx"
[#PRÜFPROGRAMM] "Programm","21"
)";

} // namespace

TEST(TestIni, ListsTheDefinitionsWhoseMaskLetsTheSensorThrough)
{
    Rig r;
    r.Write(QString::fromUtf8(kTwoDefinitions));
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_EQ(r.defs.comboItems, QStringList{QStringLiteral("QVR05.28 / Endprüfung")});
    EXPECT_EQ(r.defs.SectionMap[0], 0);
    EXPECT_EQ(r.defs.SectionMap[1], -1);
    // The first item is selected and loaded.
    EXPECT_EQ(r.defs.SelectedSection, 0);
    EXPECT_EQ(r.defs.cond.ProgramNo, 3);
    EXPECT_EQ(r.defs.items.SerialNo.Low, 1000);
    EXPECT_EQ(r.defs.items.SerialNo.High, 1999);
    EXPECT_EQ(r.defs.entries.tester, QStringLiteral("Meier"));
    EXPECT_EQ(r.defs.items.Tester.GridRow, 5);
    EXPECT_EQ(r.defs.startGrid.cells[0][0], QStringLiteral("Sensortyp"));
    EXPECT_EQ(r.defs.startGrid.cells[0][1], QStringLiteral("QVR05.28"));
    EXPECT_TRUE(r.host.panel1Log.contains(QStringLiteral("Lese aus TEST.INI: Prüfprogramme gelesen")));
    // A QVR06 sees both: the first has no mask.
    ASSERT_TRUE(r.defs.ScanTestIniFile(6000120));
    EXPECT_EQ(r.defs.comboItems.size(), 2);
    EXPECT_EQ(r.defs.SectionMap[1], 1);
}

TEST(TestIni, MaskPartsThatAreNoNumberMatchAnything)
{
    EXPECT_TRUE(TestDefinitions::MaskMatches(QStringLiteral("05xxx120"), 5028120));
    EXPECT_TRUE(TestDefinitions::MaskMatches(QStringLiteral("05xxx120"), 5063120));
    EXPECT_FALSE(TestDefinitions::MaskMatches(QStringLiteral("05xxx120"), 5028143));
    EXPECT_FALSE(TestDefinitions::MaskMatches(QStringLiteral("05xxx120"), 6028120));
    EXPECT_TRUE(TestDefinitions::MaskMatches(QString(), 99999999));
    EXPECT_TRUE(TestDefinitions::MaskMatches(QStringLiteral("05"), 5030200)); // the rest is filled with x
}

TEST(TestIni, ABlankSectionEndsTheListAndOneWithoutTypeIsSkipped)
{
    Rig r;
    r.Write(QStringLiteral("[TEST_CONDITION]\n[#QVR_TYP] \"T\",\"A\"\n[TEST_CONDITION]\n\n   \n"
                           "[TEST_CONDITION]\n[#QVR_TYP] \"T\",\"C\"\n"));
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_EQ(r.defs.comboItems, QStringList{QStringLiteral("A / ")});
    // The scan still stops there, but says so.
    EXPECT_TRUE(r.host.panel1Log.contains(
        QStringLiteral("Lese aus TEST.INI: Abschnitt 2 ohne Inhalt: weitere Definitionen nicht gelesen")))
        << r.host.panel1Log.join(QLatin1Char('\n')).toStdString();

    r.Write(QStringLiteral("[TEST_CONDITION]\n[#ART_PRÜFUNG] \"P\",\"ohne Typ\"\n"
                           "[TEST_CONDITION]\n[#QVR_TYP] \"T\",\"B\"\n"));
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_EQ(r.defs.comboItems, QStringList{QStringLiteral("B / ")});
    EXPECT_EQ(r.defs.SectionMap[0], 1);
}

TEST(TestIni, KeysAnywhereInALineCommaTextsAndCuts)
{
    Rig r;
    r.Write(QStringLiteral("Kopfzeile ohne Bedeutung\n[TEST_CONDITION]\n"
                           "[#QVR_TYP] \"Typ\",\"QVR05\"\n"
                           "Text davor [#FIRMWARE] \"Firmware, Stand\",\"V1.43 \"\"neu\"\"\"\n"
                           "[#PRÜFPROGRAMM] \"Programm\",\"3\"\n"
                           "[#SCHALTAUSGANG_1] \"Ausgang 1\",\"H\"\n"
                           "[#SCHALTAUSGANG_2] \"Ausgang 2\",\"LHLH\"\n"
                           "[#SCHALTAUSGANG_3] \"Ausgang 3\",\"L\"\n"
                           "[#SCHWELLE] 240\n"
                           "// ab hier nicht mehr\n"
                           "[#GRENZWERT_VOLL_MIN] \"Voll min\",\"100\"\n"));
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    const auto& c = r.defs.cond;
    EXPECT_EQ(c.Firmware, QStringLiteral("V1.43 \"neu\""));
    EXPECT_EQ(r.defs.startGrid.cells[1][0], QStringLiteral("Firmware, Stand"));
    EXPECT_EQ(c.ProgramNo, 3);
    EXPECT_EQ(r.defs.items.SwitchOut[1].Low, 1);
    EXPECT_EQ(r.defs.items.SwitchOut[2].Low, 2);
    EXPECT_EQ(r.defs.items.SwitchOut[3].Low, 0);
    // Without a quote the key itself is the label, the next item the value.
    EXPECT_EQ(c.ThresholdText, QStringLiteral("240"));
    EXPECT_EQ(c.Threshold, 240);
    EXPECT_EQ(r.defs.startGrid.cells[6][0], QStringLiteral("[#SCHWELLE]"));
    // Cut by the "//" line.
    EXPECT_TRUE(c.FullTubeMinText.isEmpty());
    EXPECT_EQ(c.FullTubeMin, -1);
}

TEST(TestIni, CommaTextSplitsAtCommasAndBlanksOutsideQuotes)
{
    using T = TestDefinitions;
    EXPECT_EQ(T::CommaText(QStringLiteral("\"a b\",\"c\"\"d\"")), (QStringList{"a b", "c\"d"}));
    EXPECT_EQ(T::CommaText(QStringLiteral("[#X] 5 6")), (QStringList{"[#X]", "5", "6"}));
    EXPECT_EQ(T::CommaText(QStringLiteral("a,,b")), (QStringList{"a", "", "b"}));
    EXPECT_EQ(T::CommaText(QStringLiteral("\"label\",")), (QStringList{"label", ""}));
    EXPECT_EQ(T::CommaText(QStringLiteral("\"unterminated")), (QStringList{"unterminated"}));
    EXPECT_TRUE(T::CommaText(QStringLiteral("   ")).isEmpty());
}

TEST(TestIni, BothEncodingsOfTheUmlautKeysAreRead)
{
    for (const bool windows1252 : {true, false}) {
        Rig r;
        r.Write(QStringLiteral(
                    "[TEST_CONDITION]\n[#QVR_TYP] \"Typ\",\"QVR05\"\n[#ART_PRÜFUNG] \"Art\",\"Prüfung Ä\"\n"),
                windows1252);
        ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143)) << windows1252;
        EXPECT_EQ(r.defs.cond.TestKind, QStringLiteral("Prüfung Ä")) << windows1252;
    }
}

TEST(TestIni, GridRowsStopAtFiftyButKeysAreStillStored)
{
    Rig r;
    QString text = QStringLiteral("[TEST_CONDITION]\n[#QVR_TYP] \"Typ\",\"Q\"\n");
    for (int n = 1; n <= 8; ++n)
        text += QStringLiteral("[#AMPLITUDE_%1] \"A\",\"a%1\"\n[#AMPLITUDE_MIN_%1] \"min\",\"%1\"\n"
                               "[#AMPLITUDE_MAX_%1] \"max\",\"%2\"\n")
                    .arg(n)
                    .arg(n * 10);
    for (int n = 1; n <= 4; ++n)
        text += QStringLiteral(
                    "[#BLASE_%1] \"B\",\"b\"\n[#BLASE_MIN_%1] \"min\",\"1\"\n[#BLASE_MAX_%1] \"max\",\"2\"\n")
                    .arg(n);
    // 1 + 24 + 12 = 37 rows so far; 13 more fill the grid, the operator keys come after.
    for (int n = 1; n <= 6; ++n)
        text += QStringLiteral("[#SCHALTAUSGANG_%1] \"S\",\"H\"\n").arg(n);
    for (int n = 1; n <= 3; ++n)
        text += QStringLiteral("[#TESTVERSION_%1] \"V\",\"14%1\"\n").arg(n);
    for (int n = 1; n <= 4; ++n)
        text += QStringLiteral("[#DATEI_PAR_%1] \"P\",\"p%1.hex\"\n").arg(n);
    text += QStringLiteral("[#PRÜFER] \"Prüfer\",\"X\"\n[#HERSTELLUNGSJAHR] \"Jahr\",\"26\"\n");
    r.Write(text);
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_EQ(r.defs.startGrid.cells[49][1], QStringLiteral("p4.hex"));
    EXPECT_EQ(r.defs.items.Ampl[8].High, 80);
    EXPECT_EQ(r.defs.items.TestVersion[3].Low, 143);
    EXPECT_EQ(r.defs.items.ParFile[4].IniValue, QStringLiteral("p4.hex"));
    // Stored, but shown in no row.
    EXPECT_EQ(r.defs.items.Tester.IniValue, QStringLiteral("X"));
    EXPECT_EQ(r.defs.items.Tester.GridRow, -1);
    EXPECT_EQ(r.defs.entries.manuYear, QStringLiteral("26"));
}

TEST(TestIni, MissingFileLeavesNoTestAndNoProgram)
{
    Rig r;
    EXPECT_FALSE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_TRUE(r.host.panel1Log.contains(r.session.Msg(319) + QStringLiteral("TEST.INI")));
    EXPECT_EQ(r.defs.comboText, QStringLiteral("kein Test verfügbar"));
    EXPECT_EQ(r.defs.SelectedSection, -1);
    EXPECT_EQ(r.defs.cond.ProgramNo, -1);
    r.defs.ReadTestData(-1);
    EXPECT_EQ(r.Last(), QStringLiteral("Lesen TestIni: kein gültiges Prüfprogramm ausgewählt"));
    // A folder in the file's place cannot be read.
    ASSERT_TRUE(QDir(r.dir.path()).mkdir(QStringLiteral("TEST.INI")));
    EXPECT_FALSE(r.defs.ReadTestIniFile(0));
    EXPECT_EQ(r.Last(), QStringLiteral("Lesen TestIni: Fehler beim Lesen aus TEST.INI"));
}

TEST(TestIni, PickingAnotherDefinitionOffersToSaveUnsavedResults)
{
    Rig r;
    r.Write(QString::fromUtf8(kTwoDefinitions));
    const int& saved = r.hooks.saved;
    const int& cleared = r.hooks.cleared;
    const int& shown = r.hooks.shown;
    ASSERT_TRUE(r.defs.ScanTestIniFile(6000120));
    EXPECT_TRUE(r.host.questions.empty());
    r.defs.TestDataSaved = false;
    r.host.answers.push_back(app::AskResult::Yes);
    r.defs.SelectDefinition(1);
    ASSERT_EQ(r.host.questions.size(), 1u);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(cleared, 2);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(r.defs.TestDataSaved);
    EXPECT_EQ(r.defs.SelectedSection, 1);
    EXPECT_EQ(r.defs.cond.ProgramNo, 21);
    EXPECT_EQ(r.defs.comboText, QStringLiteral("QVR06 / Programmierung"));
}

// More definitions than the list takes: it says how many of them were read.
TEST(TestIni, AFileWithMoreDefinitionsThanAreReadSaysHowManyWere)
{
    Rig r;
    QString text;
    for (int n = 0; n < 403; ++n)
        text += QStringLiteral("[TEST_CONDITION]\n[#QVR_TYP] \"T\",\"D%1\"\n").arg(n);
    r.Write(text);
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_EQ(r.defs.comboItems.size(), TestDefinitions::kMaxSections);
    EXPECT_TRUE(r.host.panel1Log.contains(
        QStringLiteral("Lese aus TEST.INI: 401 von 403 Definitionen gelesen: weitere nicht gelesen")))
        << r.host.panel1Log.join(QLatin1Char('\n')).toStdString();
}

// A key that is present but does not read as its kind of value, a MIN above its MAX, or a
// serial number the sensor's 16-bit field cannot hold: the definition stays listed but cannot
// be used, and says which key and value, in red, in the row that shows the key. Absent keys
// and a MIN without its MAX are no fault.
TEST(TestIni, ValuesThatDoNotReadAsTheirKindMakeTheDefinitionUnusable)
{
    const struct {
        const char* lines;
        const char* fault; // empty: usable
        int row;           // the start grid row of the key named
    } cases[] = {
        {"[#AMPLITUDE_MIN_1] \"min\",\"abc\"", "[#AMPLITUDE_MIN_1] \"abc\"", 2},
        {"[#AMPLITUDE_MAX_1] \"max\",\"-1\"", "[#AMPLITUDE_MAX_1] \"-1\"", 2},
        {"[#GRENZWERT_OHNE_MAX] \"ohne\",\"2147483648\"", "[#GRENZWERT_OHNE_MAX] \"2147483648\"", 2},
        {"[#BLASE_MAX_2] \"max\",\"403.5\"", "[#BLASE_MAX_2] \"403.5\"", 2},
        {"[#GRENZWERT_VOLL_MIN] \"voll\",\" 500\"", "[#GRENZWERT_VOLL_MIN] \" 500\"", 2},
        {"[#TESTVERSION_1] \"FW\",\"V1.43\"", "[#TESTVERSION_1] \"V1.43\"", 2},
        {"[#SCHALTAUSGANG_3] \"S3\",\"LH\"", "[#SCHALTAUSGANG_3] \"LH\"", 2},
        {"[#PRÜFPROGRAMM] \"Programm\",\"drei\"", "[#PRÜFPROGRAMM] \"drei\"", 2},
        {"[#AMPLITUDE_MIN_3] \"min\",\"450\"\n[#AMPLITUDE_MAX_3] \"max\",\"350\"",
         "[#AMPLITUDE_MIN_3] \"450\"", 2},
        {"[#BLASE_MIN_1] \"min\",\"200\"\n[#BLASE_MAX_1] \"max\",\"150\"", "[#BLASE_MIN_1] \"200\"", 2},
        {"[#GRENZWERT_VOLL_MIN] \"min\",\"451\"\n[#GRENZWERT_VOLL_MAX] \"max\",\"450\"",
         "[#GRENZWERT_VOLL_MIN] \"451\"", 2},
        {"[#SN_MIN] \"SN von\",\"2000\"\n[#SN_MAX] \"SN bis\",\"1999\"", "[#SN_MIN] \"2000\"", 2},
        {"[#SN_MIN] \"SN von\",\"60000\"\n[#SN_MAX] \"SN bis\",\"99999\"", "[#SN_MAX] \"99999\"", 3},
        {"[#SN_MIN] \"SN von\",\"1000\"\n[#SN_MAX] \"SN bis\",\"65535\"", "", -1},
        {"[#AMPLITUDE_MIN_1] \"min\",\"350\"", "", -1},
        {"[#GRENZWERT_OHNE_MIN] \"ohne min\",\"keiner\"\n[#HERSTELLUNGSJAHR] \"Jahr\",\"JJ\"", "", -1},
    };
    for (const auto& c : cases) {
        Rig r;
        r.Write(
            QStringLiteral("[TEST_CONDITION]\n[#QVR_TYP] \"Typ\",\"QVR05\"\n[#PRÜFPROGRAMM] \"P\",\"5\"\n") +
            QString::fromUtf8(c.lines) + QLatin1Char('\n'));
        const QString fault = QString::fromUtf8(c.fault);
        SCOPED_TRACE(c.lines);
        ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
        EXPECT_EQ(r.defs.comboItems.size(), 1);
        EXPECT_EQ(r.defs.startGrid.faultRow, c.row);
        if (fault.isEmpty()) {
            EXPECT_TRUE(r.defs.Unusable.isEmpty()) << r.defs.Unusable.toStdString();
            EXPECT_TRUE(r.host.comments.empty());
            continue;
        }
        EXPECT_TRUE(r.defs.Unusable.startsWith(fault)) << r.defs.Unusable.toStdString();
        EXPECT_TRUE(r.defs.Unusable.endsWith(QStringLiteral("Prüfprogramm nicht verwendbar")));
        ASSERT_FALSE(r.host.comments.empty());
        EXPECT_EQ(r.host.comments.back().first, app::CommentColour::Red);
        EXPECT_EQ(r.host.comments.back().second, r.defs.Unusable);
        EXPECT_EQ(r.Last(), r.defs.Unusable);
    }
    // A MIN without its MAX bounds the lower side only.
    Rig r;
    r.Write(QStringLiteral("[TEST_CONDITION]\n[#QVR_TYP] \"T\",\"Q\"\n[#BLASE_MIN_2] \"min\",\"200\"\n"));
    ASSERT_TRUE(r.defs.ScanTestIniFile(kQvr0528V143));
    EXPECT_EQ(r.defs.items.Bubble[2].Low, 200);
    EXPECT_EQ(r.defs.items.Bubble[2].High, -1);
}
