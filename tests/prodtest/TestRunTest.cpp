// The run controller with the station the program builds, on a simulated TK33 bench: chaining
// through steps that finish by themselves, halting on a step that waits, wrapping at the range
// bound, and the three buttons.
#include "HexFile.h"
#include "RecordingHost.h"
#include "StationWatch.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "sim/Bench.h"
#include "station/Station.h"

#include <QFile>
#include <QTemporaryDir>

#include <map>

#include <gtest/gtest.h>

using namespace vmx;

namespace {

struct Panel : prodtest::OperatorPanel {
    bool nextAction = false, priorAction = false, priorButton = false, cancel = false;
    int hidden = 0;
    std::map<Entry, QString> text;
    std::map<Entry, bool> shown;
    bool panelShown = false;
    void ShowEntry(Entry e, bool s) override { shown[e] = s; }
    void ShowEntryPanel(bool s) override { panelShown = s; }
    QString EntryText(Entry e) override { return text[e]; }
    void SetEntryText(Entry e, const QString& t) override { text[e] = t; }
    void EnableButtons(bool n, bool pa, bool pb, bool c) override
    {
        nextAction = n, priorAction = pa, priorButton = pb, cancel = c;
    }
    void HideEntries() override
    {
        ++hidden;
        shown.clear();
        panelShown = false;
    }
};

struct Rig : test::StationWatch {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    std::unique_ptr<station::Station> st;
    Panel panel;

    Rig(const QString& program, const QString& profile = QStringLiteral("tk33,stream=none"),
        const QString& more = QString())
    {
        QFile ini(dir.filePath(QStringLiteral("TEST.INI")));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        const QString head = QStringLiteral("[TEST_CONDITION]\r\n[#QVR_TYP] \"Typ\",\"QVR05\"\r\n"
                                            "[#PRÜFPROGRAMM] \"Programm\",\"%1\"\r\n"
                                            "[#DATEI_FW_1] \"Firmware\",\"QVR.hex\"\r\n")
                                 .arg(program);
        ini.write((head + more).toLatin1());
        ini.close();
        session.CopyValidSensorType(8);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        st = std::make_unique<station::Station>(session, o);
        EXPECT_TRUE(st->OpenLink());
        clock.SleepMs(300);
        st->SetOperatorPanel(&panel);
        st->SetView(this);
    }
    ~Rig() override { st->SetView(nullptr); }
    prodtest::TestRun& run() { return st->testRun(); }
    bool Scan() { return st->testDefinitions().ScanTestIniFile(session.sensor.Key); }
    QString LastComment() const { return host.comments.empty() ? QString() : host.comments.back().second; }
    bool Said(const QString& text) const
    {
        for (const auto& c : host.comments)
            if (c.second == text) return true;
        return false;
    }
};

std::vector<quint8> Firmware()
{
    std::vector<quint8> b(0x1C00);
    for (size_t a = 0; a < b.size(); ++a)
        b[a] = quint8(a * 5 + (a >> 8));
    return b;
}

} // namespace

TEST(TestRun, Program20ChainsThroughTheModuleStepsAndHaltsWhereItCannotGoOn)
{
    Rig r(QStringLiteral("20"));
    const auto fw = Firmware();
    ASSERT_TRUE(test::WriteHexFile(r.dir.filePath(QStringLiteral("QVR.hex")), fw));
    ASSERT_TRUE(r.Scan());
    // Step 0 is shown at once; without a serial-number range it only says so.
    EXPECT_EQ(r.run().TestStep, 0);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Start:"));
    EXPECT_TRUE(r.panel.nextAction);
    EXPECT_FALSE(r.panel.priorAction);

    r.run().Next();
    EXPECT_TRUE(r.Said(QStringLiteral("Prüfmittel: okay")));
    EXPECT_TRUE(r.Said(QStringLiteral("Import SiLab: okay")));
    EXPECT_TRUE(r.Said(QStringLiteral("QVR-Firmware: okay")));
    EXPECT_EQ(r.run().TestStep, 4);
    // The run ends on the verdict, which the operator may extend.
    EXPECT_EQ(r.LastComment(), QStringLiteral("Bewertung / Kommentar"));
    EXPECT_EQ(r.st->moduleRecord().tk33ProgResult, 1);
    EXPECT_EQ(r.st->testResults().Verdict(), QStringLiteral("okay"));
    const auto& segment = r.st->link().OpenSimBench()->module()->loader().flash();
    EXPECT_TRUE(std::equal(fw.begin() + 0x800, fw.end(), segment.begin() + 0x200));
    EXPECT_TRUE(r.panel.priorAction);
}

TEST(TestRun, Program0WrapsThroughItsEmptyStepsToStep0)
{
    Rig r(QStringLiteral("0"));
    ASSERT_TRUE(r.Scan());
    r.run().TestStep = 14;
    r.run().Next();
    EXPECT_EQ(r.run().TestStep, 0);
    // "ZURÜCK" at step 0 runs step 0 again; the action is off, the button on.
    r.run().Back();
    EXPECT_EQ(r.run().TestStep, 0);
    EXPECT_FALSE(r.panel.priorAction);
    EXPECT_TRUE(r.panel.priorButton);
}

TEST(TestRun, EmptyStepOfProgram13GoesStraightOnToTheSwitch)
{
    Rig r(QStringLiteral("13"), QStringLiteral("tk33,stream=none"),
          QStringLiteral("[#AMPLITUDE_2] \"A2\",\"voll\"\r\n[#AMPLITUDE_MIN_2] \"min\",\"1\"\r\n"
                         "[#AMPLITUDE_MAX_2] \"max\",\"2\"\r\n"));
    ASSERT_TRUE(r.Scan());
    r.run().TestStep = 15;
    r.run().Next();
    // 16 empty, 17 switches the module to interface 0 and signals, 18 waits, 19 prompts.
    EXPECT_EQ(r.st->link().OpenSimBench()->module()->serialIf(), 0);
    EXPECT_TRUE(r.Said(QStringLiteral("Start Messung ...")));
    EXPECT_EQ(r.run().TestStep, 19);
    EXPECT_EQ(r.run().lastRoutine(), QStringLiteral("CommandAmplMeas"));
}

TEST(TestRun, ProgramWithoutStepsOnlyCountsAndCancelGoesBackToStep0)
{
    Rig r(QStringLiteral("10"));
    ASSERT_TRUE(r.Scan());
    r.run().Next();
    r.run().Next();
    EXPECT_EQ(r.run().TestStep, 2);
    const int before = r.acquisitionChanges;
    r.run().Cancel();
    EXPECT_EQ(r.run().TestStep, 0);
    EXPECT_EQ(r.acquisitionChanges - before, 1); // the STOP of the acquisition
    // A number without a table runs nothing at all.
    Rig n(QStringLiteral("17"));
    ASSERT_TRUE(n.Scan());
    const size_t said = n.host.comments.size();
    n.run().Next();
    EXPECT_EQ(n.host.comments.size(), said);
    EXPECT_EQ(n.run().TestStep, 1);
}

TEST(TestRun, SerialNumberAndEntriesAreCheckedTakenOverAndCountedOn)
{
    using Entry = prodtest::OperatorPanel::Entry;
    Rig r(QStringLiteral("1"), QStringLiteral("tk33,stream=none"),
          QStringLiteral("[#SN_MIN] \"SN von\",\"10\"\r\n[#SN_MAX] \"SN bis\",\"1999\"\r\n"
                         "[#PRÜFER] \"Prüfer\",\"Name\"\r\n[#BEMERKUNG_LOS] \"Bemerkung\",\"-\"\r\n"
                         "[#HERSTELLUNGSJAHR] \"Jahr\",\"JJ\"\r\n"));
    ASSERT_TRUE(r.Scan());
    // Step 0 shows the serial number, the panel and the entries that have a placeholder.
    EXPECT_EQ(r.LastComment(), QStringLiteral("Eingabe Seriennummer/ Prüfer/ Prod.-Index..."));
    EXPECT_TRUE(r.panel.shown[Entry::SerialNo]);
    EXPECT_TRUE(r.panel.panelShown);
    EXPECT_TRUE(r.panel.shown[Entry::Tester]);
    EXPECT_FALSE(r.panel.shown[Entry::BatchNo]);
    EXPECT_EQ(r.st->testDefinitions().entries.tester, QStringLiteral("Name"));

    // The placeholder left in place is refused; the run halts on step 1.
    r.panel.text[Entry::Tester] = QStringLiteral("Name");
    r.run().Next();
    EXPECT_EQ(r.run().TestStep, 1);
    EXPECT_EQ(r.LastComment(), QStringLiteral("Name des Prüfers nicht eingetragen!"));
    r.panel.text[Entry::Tester] = QStringLiteral("Weber");
    r.panel.text[Entry::ManuYear] = QStringLiteral("9");
    r.run().TestStep = 0;
    r.run().Next();
    EXPECT_EQ(r.LastComment(), QStringLiteral("Herstellungsjahr nicht plausibel!"));
    r.panel.text[Entry::ManuYear] = QStringLiteral("26");
    r.panel.text[Entry::SerialNo] = QStringLiteral("5");
    r.run().TestStep = 0;
    r.run().Next();
    EXPECT_EQ(r.LastComment(), QStringLiteral("SN: FEHLER, Seriennummer nicht plausibel!"));
    EXPECT_EQ(r.panel.text[Entry::SerialNo], QStringLiteral("0005"));
    // A batch comment may stay empty; the taken entries go into the start grid.
    r.panel.text[Entry::SerialNo] = QStringLiteral(" 12");
    r.run().TestStep = 0;
    r.run().Next();
    const auto& items = r.st->testDefinitions().items;
    EXPECT_EQ(items.SerialNo.Result, 1);
    EXPECT_EQ(items.SerialNo.MeasuredText, QStringLiteral("0012"));
    EXPECT_EQ(items.Tester.Result, 1);
    EXPECT_EQ(items.ManuYear.Measured, 26);
    EXPECT_EQ(r.st->testDefinitions().startGrid.cells[size_t(items.Tester.GridRow)][1],
              QStringLiteral("Weber"));
    // The run went on past step 1 and halted at a step that waits or failed.
    EXPECT_GT(r.run().TestStep, 1);

    // NextSN proposes the next number and the run goes on to step 0 of the next unit.
    r.run().TestStep = 21;
    r.run().Next();
    EXPECT_EQ(r.panel.text[Entry::SerialNo], QStringLiteral("0013"));
    EXPECT_EQ(r.run().TestStep, 0);
    EXPECT_EQ(items.SerialNo.Result, -1);
}

// A definition that cannot be used starts no unit: step 0 shows why, in red, and stays.
TEST(TestRun, AnUnusableDefinitionStartsNoUnit)
{
    Rig r(QStringLiteral("1"), QStringLiteral("tk33,stream=none"),
          QStringLiteral("[#SN_MIN] \"SN von\",\"10\"\r\n[#SN_MAX] \"SN bis\",\"1999\"\r\n"
                         "[#GRENZWERT_OHNE_MAX] \"ohne\",\" 30\"\r\n"));
    ASSERT_TRUE(r.Scan());
    ASSERT_FALSE(r.st->testDefinitions().Unusable.isEmpty());
    std::vector<int> steps;
    r.onStep = [&](int step, const QString&) { steps.push_back(step); };
    for (int press = 0; press < 3; ++press) {
        r.run().Next();
        EXPECT_EQ(r.run().TestStep, 0);
        EXPECT_EQ(r.LastComment(), r.st->testDefinitions().Unusable);
        EXPECT_EQ(r.host.comments.back().first, app::CommentColour::Red);
    }
    EXPECT_TRUE(steps.empty());
    EXPECT_FALSE(r.panel.shown[prodtest::OperatorPanel::Entry::SerialNo]);
}
