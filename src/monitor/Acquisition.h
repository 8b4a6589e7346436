#pragma once

#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

namespace vmx::app {
class Session;
}
namespace vmx::link {
class Link;
}

namespace vmx::monitor {

// START, STOP and the timer tick: probes the delivery mode; in the stream modes each tick
// reads every complete block that is waiting (bounded per tick), in the polled mode it polls
// once; each sample is decoded and handed to the store and the table. No widgets: the window
// is told through the callbacks.
class Acquisition {
public:
    // Intervals of CBMeasTime, by item index.
    static constexpr int kMeasIntervals[9] = {100, 200, 500, 1000, 2000, 5000, 10000, 20000, 60000};
    // One tick's share of a stream: the rest waits for the next tick, so the window stays
    // responsive after a pause (the line brings 1.44 long or 2.4 short blocks per 10 ms).
    static constexpr int kMaxBlocksPerTick = 50;
    static constexpr qint64 kMaxTickUs = 20000;
    // Without a whole block for this long the sensor is reported silent.
    static constexpr qint64 kNoDataUs = 1000000;

    // What the stream modes met since START (for vmxctl's summary, soak tests and benches).
    struct Counters {
        qint64 blocks = 0;           // whole blocks read
        qint64 stored = 0;           // samples stored
        qint64 syncStart = 0;        // start byte not where it belongs
        qint64 syncPointer = 0;      // record pointer of record 0 not 0
        qint64 brokenRecord = 0;     // a later record out of place: block dropped whole
        qint64 badCrc = 0;           // record checksum wrong ("Check Frame CRC")
        qint64 firstAligned = -1;    // block number of the first stored one
        qint64 resyncAfterFirst = 0; // resynchronisations after that block
        int maxBlocksInTick = 0;
        qint64 redraws = 0;
    };
    const Counters& counters() const { return counters_; }

    // What the rest of the program provides and is told; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // Threshold, beeper, divisor, overflow policy as the controls set them now.
        virtual StoreSettings AcquisitionSettings() = 0;
        // The selected CBMeasTime interval.
        virtual int MeasIntervalMs() = 0;
        // Parameter byte 22 of the working block.
        virtual quint8 BubbleFactor() = 0;
        virtual void StartStopEnabled(bool startEnabled, bool stopEnabled) = 0;
        // Timer2's interval.
        virtual void TimerIntervalChanged(int ms) = 0;
        // The diagram.
        virtual void RedrawDiagram() = 0;
        // Select table row index + 1, move the scroll bar.
        virtual void FollowSample(int storeIndex) = 0;
        // A sample went into the table (the test controller, the front end).
        virtual void NewMeasValue(const MeasSample& sample) = 0;
        // A sample was stored (every delivery mode, and replayed ones): the recording and the
        // trigger take it here. `shortRow`: only the first four cells are filled.
        virtual void SampleStored(const MeasSample& sample, bool shortRow) = 0;
    };

    Acquisition(app::Session& session, link::Link& link, MeasurementStore& store, MeasTableModel& table,
                Hooks& hooks);

    // START (with the probe of the delivery mode), STOP, and one tick of the acquisition's timer.
    void Start();
    void Stop();
    // The program's own stop before a transfer or a step: as STOP, but "Abbruch" only when
    // an acquisition was running, since nothing else was cancelled.
    void StopBeforeOperation();
    void Tick();
    void ReadValues();
    bool GetMeasValues();
    void PutDataToMeasArray();
    void IncMeasuringIndex();
    // A recorded sample through the live path: table row, store, diagram, the hooks. Nothing
    // reaches the link. A full store under "Stopp" ends the feeding (FeedFull()).
    void Feed(const MeasSample& s, bool shortRow);
    // The diagram follows once after a run of fed samples.
    void FeedDone();
    bool FeedFull() const { return feedFull_; }
    void FeedStart() { feedFull_ = false; }
    void ResetValues();

    bool Stopped() const { return stopped_; }
    void SetStopped(bool s) { stopped_ = s; }
    bool ReadInProgress() const { return readInProgress_; }
    int ShownState() const { return shown_; }
    MeasSample& Current() { return current_; }

    // A stream's blocks are read only while the store holds fewer samples than this; the
    // rest waits (vmxctl's capture takes exactly the samples it was asked for). -1: no limit.
    void LimitStoreTo(int samples) { storeLimit_ = samples; }

private:
    enum Shown { None = 0, NoData = 1, SyncStart = 2, SyncPointer = 3, BadCrc = 4, Reading = 5 };
    void Show(int prefix, int message, int state);
    void ReadStream(bool longBlocks);
    void ProcessLong();
    void ProcessShort();
    // Realignment: the bytes are taken from what is waiting, now or at the next ticks.
    void Discard(int n) { discard_ = n; }
    void Resync(qint64& counter);
    void ClearAhead();
    void FlushRedraw();
    void StampCurrent();
    double SampleTimeNow();
    void Interval(int ms);

    app::Session& session_;
    link::Link& link_;
    MeasurementStore& store_;
    MeasTableModel& table_;
    Hooks& hooks_;
    int storeLimit_ = -1;
    bool shortRow_ = false; // the sample being stored fills only the short row
    bool feeding_ = false;
    bool feedFull_ = false;
    MeasSample current_ = EmptySample();
    bool stopped_ = true;
    bool readInProgress_ = false;
    int shown_ = None;
    int discard_ = 0;        // bytes still to be dropped for a realignment
    int aheadBase_ = -2;     // store index of the last pre-clear (-2: none this tick)
    qint64 lastBlockUs_ = 0; // when the last whole block was read (or START)
    bool redrawDue_ = false; // a stored sample asked for the diagram during this tick
    int redrawAt_ = 0;
    Counters counters_;
    qint64 stampAtMs_ = -1;
    double stampBase_ = 0;
    qint64 virtualBaseMs_ = -1;
    qint64 virtualBaseUs_ = 0;
};

} // namespace vmx::monitor
