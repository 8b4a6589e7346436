#pragma once

#include "monitor/MeasurementStore.h"
#include "monitor/RecordingIndex.h"

#include <cstdint>
#include <vector>

namespace vmx::monitor {

// Which samples the chart shows when the user pauses, zooms or pans it. Samples are counted by
// their absolute index: the recording's, and for the store store slot + storeBase. Until the
// user touches the chart it is not navigated and the chart is drawn as always: the 640 samples
// up to the store index.
class ChartView {
public:
    static constexpr int kColumns = 640;
    static constexpr double kMinPer = 1.0 / 16; // 16 pixels a sample
    static constexpr double kMaxPer = 1 << 20;  // about 2 hours of 144 samples/s a pixel
    static constexpr double kMaxValueZoom = 16;

    bool navigated() const { return paused_ || per_ != 1.0 || valueZoom_ != 1.0 || timeAxis_; }
    bool paused() const { return paused_; }
    double first() const { return first_; }
    double per() const { return per_; }
    double valueZoom() const { return valueZoom_; }
    bool timeAxis() const { return timeAxis_; }
    void setTimeAxis(bool on) { timeAxis_ = on; }

    // Freezes the view where it is; `first` is the sample the chart shows at its left end now.
    void Pause(double first);
    // Back to the newest sample and keeping up with it (the zoom stays).
    void Follow() { paused_ = false; }
    // The default view: one sample a pixel, values unzoomed, following.
    void Reset();
    // Before drawing: a following view puts the newest sample at the right end, or the oldest
    // at the left end while there are fewer than fill the chart.
    void KeepUp(std::int64_t oldest, std::int64_t newest);

    // The time axis by `factor` (> 1: more samples a pixel) around the sample at `column`,
    // which stays under it. Pauses.
    void ZoomTime(double factor, double column);
    void ZoomValue(double factor);
    // Moves the view by `columns` pixels (positive: to newer samples). Pauses.
    void Pan(double columns);
    // Puts the view's left end at `first` (Home) or its right end after `last` (End). Pauses.
    void ShowFrom(double first);

    // The sample at pixel column x (0 = the chart's left end).
    std::int64_t SampleAt(double column) const;
    // The pixel column of a sample (may lie outside 0..639).
    double ColumnOf(std::int64_t index) const { return (double(index) - first_) / per_; }

private:
    bool paused_ = false;
    bool timeAxis_ = false;
    double first_ = 0;
    double per_ = 1.0;
    double valueZoom_ = 1.0;
};

// Where the chart's samples come from: the store, whose slot 0 holds sample `storeBase`, and
// the recording for anything the store does not hold.
struct ChartSource {
    const MeasurementStore* store = nullptr;
    std::int64_t storeBase = 0;
    RecordingIndex* recording = nullptr;
    // Slots [0, storeSlots) count; -1: every slot. A store that rolls over while a recording
    // runs holds the older lap's samples above its write position: the recording has those.
    std::int64_t storeSlots = -1;

    // One past the last absolute index the store supplies.
    std::int64_t StoreEnd() const;

    // Oldest and newest sample there is (none: 0 and -1).
    std::int64_t Oldest() const;
    std::int64_t Newest() const;
    // Per column the extremes of its samples, as the view places them.
    void Columns(const ChartView& view, std::vector<CurveRange>& out) const;
    // Time of a sample (days, as samples keep it); 0 when unknown.
    double TimeAt(std::int64_t index) const;
};

} // namespace vmx::monitor
