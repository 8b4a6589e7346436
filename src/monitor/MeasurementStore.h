#pragma once

#include "app/MonitorConfig.h"
#include "monitor/MeasSample.h"

#include <vector>

namespace vmx::monitor {

// What storing one sample needs from the rest of the program.
struct StoreSettings {
    int Threshold = 240;       // lower bound of the alarm band
    bool Beeper = false;       // "Pieper" checked
    int RefreshDivisor = 10;   // redraw every N samples
    bool DialogOutput = false; // output configuration mode 3 redraws on every sample
    app::DataOverflow Policy = app::DataOverflow::Stop;
};

// The 32001-slot sample store with its alarm count, highest output and beep latch.
class MeasurementStore {
public:
    static constexpr int kSlots = 32001;
    static constexpr int kLastIndex = 32000;

    MeasurementStore() : items_(kSlots, EmptySample()) {}

    // Zeroes every slot; index 0, alarm count 0, highest output -1.
    void Reset();

    struct Result {
        bool Redraw = false; // the diagram and table selection follow this sample
        bool Beep = false;   // sound the system beep now
        bool Full = false;   // index 32000 was written; the policy was applied
    };
    // Stores `s` at the store index and advances; on a full store applies the policy:
    // Stop keeps the index at 32000, RollOver moves it to 0, Restart resets the store.
    Result Store(const MeasSample& s, const StoreSettings& settings);

    const MeasSample& at(int i) const { return items_[size_t(i)]; }
    MeasSample& at(int i) { return items_[size_t(i)]; }
    void Clear(int i) { items_[size_t(i)] = EmptySample(); }

    int index() const { return index_; }
    // The user moves the write position with the scroll bar or the table selection.
    void setIndex(int i) { index_ = qBound(0, i, kLastIndex); }
    int alarmCount() const { return alarmCount_; }
    int highestOut() const { return highestOut_; }
    // A new measurement looks for its own maximum (the bubble tests).
    void ResetHighestOut() { highestOut_ = -1; }
    bool beepLatch() const { return beepLatch_; }

private:
    std::vector<MeasSample> items_;
    int index_ = 0;
    int alarmCount_ = 0;
    int highestOut_ = -1;
    bool beepLatch_ = false;
};

} // namespace vmx::monitor
