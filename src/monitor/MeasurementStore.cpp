#include "monitor/MeasurementStore.h"

#include <algorithm>

namespace vmx::monitor {

void MeasurementStore::Reset()
{
    std::fill(items_.begin(), items_.end(), EmptySample());
    index_ = 0;
    alarmCount_ = 0;
    highestOut_ = -1;
    beepLatch_ = false;
}

MeasurementStore::Result MeasurementStore::Store(const MeasSample& s, const StoreSettings& st)
{
    Result r;
    items_[size_t(index_)] = s;
    if (int(s.OUT) > highestOut_) highestOut_ = s.OUT;
    if (int(s.OUT) < st.Threshold || s.OUT > 240) {
        beepLatch_ = false;
    } else {
        ++alarmCount_;
        if (st.Beeper && !beepLatch_) {
            r.Beep = true;
            beepLatch_ = true;
        }
    }
    r.Redraw = (st.RefreshDivisor > 0 && index_ % st.RefreshDivisor == 0 && index_ > 0) || st.DialogOutput;
    if (index_ <= kLastIndex - 1) {
        ++index_;
        return r;
    }
    r.Full = true;
    switch (st.Policy) {
    case app::DataOverflow::Stop:
        break;
    case app::DataOverflow::RollOver:
        index_ = 0;
        break;
    case app::DataOverflow::Restart:
        Reset();
        break;
    }
    return r;
}

} // namespace vmx::monitor
