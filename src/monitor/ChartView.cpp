#include "monitor/ChartView.h"

#include <algorithm>
#include <cmath>

namespace vmx::monitor {

void ChartView::Pause(double first)
{
    paused_ = true;
    first_ = first;
}

void ChartView::Reset()
{
    paused_ = false;
    per_ = 1.0;
    valueZoom_ = 1.0;
}

void ChartView::KeepUp(std::int64_t oldest, std::int64_t newest)
{
    if (!paused_) first_ = std::max(double(oldest), double(newest + 1) - per_ * kColumns);
}

void ChartView::ZoomTime(double factor, double column)
{
    const double at = first_ + column * per_;
    per_ = std::clamp(per_ * factor, kMinPer, kMaxPer);
    // Back at one sample a pixel, exactly: the default chart's scale.
    if (std::abs(per_ - 1.0) < 1e-6) per_ = 1.0;
    first_ = at - column * per_;
    paused_ = true;
}

void ChartView::ZoomValue(double factor)
{
    valueZoom_ = std::clamp(valueZoom_ * factor, 1.0, kMaxValueZoom);
}

void ChartView::Pan(double columns)
{
    first_ += columns * per_;
    paused_ = true;
}

void ChartView::ShowFrom(double first)
{
    first_ = first;
    paused_ = true;
}

std::int64_t ChartView::SampleAt(double column) const
{
    // A hair over, so a sample that lies exactly at a column's start is not lost to rounding.
    return std::int64_t(std::floor(first_ + column * per_ + 1e-6));
}

std::int64_t ChartSource::Oldest() const
{
    std::int64_t oldest = store ? storeBase : 0;
    if (recording && recording->rows() > 0) oldest = std::min(oldest, recording->firstIndex());
    return oldest;
}

std::int64_t ChartSource::StoreEnd() const
{
    return storeBase + (storeSlots >= 0 ? storeSlots : MeasurementStore::kLastIndex + 1);
}

std::int64_t ChartSource::Newest() const
{
    std::int64_t newest = -1;
    if (store && storeSlots >= 0) {
        if (storeSlots > 0) newest = storeBase + storeSlots - 1;
    } else if (store) {
        const int i = store->index();
        if (i > 0)
            newest = storeBase + i - 1;
        else if (store->at(MeasurementStore::kLastIndex).Valid)
            newest = storeBase + MeasurementStore::kLastIndex;
    }
    if (recording && recording->rows() > 0) newest = std::max(newest, recording->lastIndex());
    return newest;
}

void ChartSource::Columns(const ChartView& view, std::vector<CurveRange>& out) const
{
    std::fill(out.begin(), out.end(), CurveRange{});
    const int n = int(out.size());
    const double from = view.first(), per = view.per();
    if (recording) recording->Columns(from, per, out);
    if (!store) return;
    const std::int64_t a = std::max<std::int64_t>(storeBase, std::int64_t(std::ceil(from)));
    const std::int64_t b = std::min<std::int64_t>(StoreEnd(), std::int64_t(std::ceil(from + per * n)));
    for (std::int64_t i = a; i < b; ++i) {
        const MeasSample& s = store->at(int(i - storeBase));
        if (!s.Valid) continue;
        const int c = int(std::floor((double(i) - from) / per));
        if (c >= 0 && c < n) out[size_t(c)].Add(s);
    }
}

double ChartSource::TimeAt(std::int64_t index) const
{
    if (store && index >= storeBase && index < StoreEnd()) {
        const MeasSample& s = store->at(int(index - storeBase));
        if (s.Valid && s.Time > 0) return s.Time;
    }
    return recording ? recording->TimeAt(index) : 0;
}

} // namespace vmx::monitor
