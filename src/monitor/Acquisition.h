#pragma once

#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

#include <functional>

namespace vmx::app {
class Session;
}
namespace vmx::link {
class Link;
}

namespace vmx::monitor {

// START, STOP and the timer tick: probes the delivery mode, reads one block or polls once per
// tick, decodes the sample and hands it to the store and the table. No widgets: the window
// is told through the callbacks.
class Acquisition {
public:
    // Intervals of CBMeasTime, by item index.
    static constexpr int kMeasIntervals[9] = {100, 200, 500, 1000, 2000, 5000, 10000, 20000, 60000};

    Acquisition(app::Session& session, link::Link& link, MeasurementStore& store, MeasTableModel& table);

    void ALStartExecute();
    void ALStopExecute();
    void ALClearExecute() { ResetValues(); }
    void Timer2Timer();
    void ReadValues();
    bool GetMeasValues();
    void PutDataToMeasArray();
    void IncMeasuringIndex();
    void ResetValues();

    bool Stopped() const { return stopped_; }
    void SetStopped(bool s) { stopped_ = s; }
    bool ReadInProgress() const { return readInProgress_; }
    int ShownState() const { return shown_; }
    MeasSample& Current() { return current_; }

    // --- what the rest of the program provides --------------------------------------------
    std::function<StoreSettings()> settings;      // threshold, beeper, divisor, policy
    std::function<int()> measIntervalMs;           // the selected CBMeasTime interval
    std::function<quint8()> bubbleFactor;          // parameter byte 22 of the working block
    std::function<void(bool startEnabled, bool stopEnabled)> onStartStopEnabled;
    std::function<void(int ms)> setTimerInterval;  // Timer2's interval
    std::function<void()> redraw;                  // the diagram
    std::function<void(int storeIndex)> follow;    // select table row index + 1, move the scroll bar
    std::function<void(const MeasSample&)> newMeasValue; // the test controller

private:
    enum Shown { None = 0, NoData = 1, SyncStart = 2, SyncPointer = 3, BadCrc = 4, Reading = 5 };
    void Show(int prefix, int message, int state);
    void ReadLong();
    void ReadShort();
    bool Discard(int n, int prefix);
    void StampCurrent();
    void Interval(int ms);

    app::Session& session_;
    link::Link& link_;
    MeasurementStore& store_;
    MeasTableModel& table_;
    MeasSample current_ = EmptySample();
    bool stopped_ = true;
    bool readInProgress_ = false;
    int shown_ = None;
};

} // namespace vmx::monitor
