#pragma once
// A production station on the simulated bench for the step tests: the station the program
// builds, a TEST.INI of one definition in a temporary program folder, a scripted operator page,
// and the acquisition's timer run on the virtual clock, also while a step waits (as the
// window's timer runs while a wait pumps its messages).

#include "HexFile.h"
#include "RecordingHost.h"
#include "StationWatch.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "prodtest/StepPrograms.h"
#include "sim/Bench.h"
#include "station/Station.h"

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace vmx::test {

struct StationPanel : prodtest::OperatorPanel {
    std::map<Entry, QString> text;
    bool shieldShown = false;
    bool shieldTooHigh = true;  // as the page shows it: RBShieldNOK checked
    bool operatorSaysOk = true; // what the operator chooses once the buttons are shown
    QString EntryText(Entry e) override { return text[e]; }
    void SetEntryText(Entry e, const QString& t) override { text[e] = t; }
    void ShowShieldChoice(bool shown) override
    {
        shieldShown = shown;
        if (shown) shieldTooHigh = !operatorSaysOk;
    }
    bool ShieldTooHigh() override { return shieldTooHigh; }
};

struct StationRig : StationWatch {
    app::VirtualClock clock;
    RecordingHost host{&clock};
    QTemporaryDir dir;
    app::Session session{host, clock, dir.path()};
    std::unique_ptr<station::Station> st;
    StationPanel panel;
    std::vector<std::pair<int, QString>> visited;
    bool ticking = false;

    // `definition`: the lines of one TEST.INI definition (CRLF added); `row`: the catalogue
    // row of the sensor type selected.
    explicit StationRig(const QStringList& definition,
                        const QString& profile = QStringLiteral("tk33,unit=good"), int row = 8)
    {
        QFile ini(dir.filePath(QStringLiteral("TEST.INI")));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[TEST_CONDITION]\r\n").toUtf8());
        for (const QString& l : definition)
            ini.write((l + QStringLiteral("\r\n")).toUtf8());
        ini.close();
        session.CopyValidSensorType(row);
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        st = std::make_unique<station::Station>(session, o);
        EXPECT_TRUE(st->OpenLink());
        clock.SleepMs(300);
        st->SetOperatorPanel(&panel);
        host.onWait = [this](int ms) {
            if (ms > 20) Pump();
        };
        onStep = [this](int step, const QString& routine) { visited.emplace_back(step, routine); };
        st->SetView(this);
    }
    ~StationRig() override { st->SetView(nullptr); }
    prodtest::TestRun& run() { return st->testRun(); }
    prodtest::TestDefinitions& defs() { return st->testDefinitions(); }
    prodtest::StepContext& context() { return st->stepContext(); }
    sim::Bench& bench() { return *st->link().OpenSimBench(); }
    sim::Sensor& sensor() { return bench().sensor(); }
    bool Scan() { return defs().ScanTestIniFile(session.sensor.Key); }

    // One tick of the acquisition's timer (not from inside another).
    void Pump()
    {
        if (ticking) return;
        ticking = true;
        st->Tick();
        ticking = false;
    }
    // The operator watches the live values for `ms` before pressing a button.
    void Settle(int ms = 1200)
    {
        for (int t = 0; t < ms; t += 10) {
            clock.SleepMs(10);
            Pump();
        }
    }
    // The sample the acquisition hands to the test controller, as a stored sample would be.
    void Sample(int signal, quint8 error = 0, int out = 0)
    {
        monitor::MeasSample s = monitor::EmptySample();
        s.Valid = 1;
        s.Signal = signal;
        s.Error = error;
        s.OUT = quint8(out);
        st->acquisition().Current() = s;
        st->acquisition().PutDataToMeasArray();
    }
    // Runs step `step` of the selected program alone (as ZURÜCK/WEITER would reach it).
    void RunStep(int step)
    {
        run().TestStep = step;
        run().autoAdvance = false;
        run().ControlProgress();
    }

    QString LastComment() const { return host.comments.empty() ? QString() : host.comments.back().second; }
    bool LastRed() const
    {
        return !host.comments.empty() && host.comments.back().first == app::CommentColour::Red;
    }
    bool Said(const QString& text) const
    {
        for (const auto& c : host.comments)
            if (c.second == text) return true;
        return false;
    }
    // The first red text since comment `from`, with the step it was shown at.
    QString FirstRed(size_t from = 0) const
    {
        for (size_t i = from; i < host.comments.size(); ++i)
            if (host.comments[i].first == app::CommentColour::Red) return host.comments[i].second;
        return QString();
    }

    // One unit from step 0: the operator settles and presses WEITER until the run is back at
    // step 0 (also past failures, as an operator who goes on). Returns the presses.
    int RunUnit(int maxPresses = 200)
    {
        for (int i = 1; i <= maxPresses; ++i) {
            Settle();
            run().Next();
            if (run().TestStep == 0) return i;
        }
        return -1;
    }

    QString WriteHex(const QString& name, const std::vector<quint8>& bytes, size_t from = 0)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(WriteHexFile(path, bytes, from));
        return path;
    }
    // A parameter file of the standard set with the extra word `word`, in the program folder.
    void WriteParameterFile(const QString& name, quint16 word, bool withCalibration = false)
    {
        auto& p = st->params();
        const auto keep = p.edit;
        p.edit = p.standard;
        p.edit.word = word;
        EXPECT_TRUE(st->SaveParameterFile(dir.filePath(name), withCalibration));
        p.edit = keep;
    }
};

} // namespace vmx::test
