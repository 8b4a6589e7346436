#include "monitor/Acquisition.h"

#include "app/Clock.h"
#include "app/Session.h"
#include "lang/MessageIds.h"
#include "link/Link.h"
#include "proto/Protocol.h"

#include <QDateTime>

#include <algorithm>

namespace vmx::monitor {

// The catalogue numbers by name.
using namespace lang::ids;

Acquisition::Acquisition(app::Session& session, link::Link& link, MeasurementStore& store,
                         MeasTableModel& table, Hooks& hooks)
    : session_(session), link_(link), store_(store), table_(table), hooks_(hooks)
{
    current_.Signal = -1;
}

void Acquisition::Interval(int ms)
{
    hooks_.TimerIntervalChanged(ms);
}

void Acquisition::Start()
{
    if (!link_.HasPort()) {
        stopped_ = true;
        hooks_.StartStopEnabled(false, false);
        return;
    }
    link::FrameProtocol& fp = link_.protocol();
    const bool found = fp.CheckSerialProtocol(hooks_.MeasIntervalMs(), [this] { return GetMeasValues(); });
    Interval(fp.timerIntervalMs());
    if (!found) return;
    stopped_ = false;
    shown_ = None;
    discard_ = 0;
    counters_ = Counters{};
    lastBlockUs_ = session_.clock().NowUs();
    hooks_.StartStopEnabled(false, true);
}

void Acquisition::Stop()
{
    stopped_ = true;
    if (store_.index() < MeasurementStore::kLastIndex) session_.PanelText(1, session_.Msg(259));
    hooks_.StartStopEnabled(true, false);
    session_.Wait(50);
    link_.Purge_In();
}

void Acquisition::StopBeforeOperation()
{
    if (!stopped_) return Stop();
    hooks_.StartStopEnabled(true, false);
    session_.Wait(50);
    link_.Purge_In();
}

void Acquisition::Tick()
{
    if (stopped_ || readInProgress_) return;
    ReadValues();
}

// The local date and time of a sample. Looking up the local time costs a file-system check of
// the time zone; at 240 samples a second it is taken once a second and the milliseconds since
// are added.
double Acquisition::SampleTimeNow()
{
    qint64 ms = QDateTime::currentMSecsSinceEpoch();
    // On a virtual clock the samples are stamped with its time from the first stamp on, so a
    // recording made in virtual time carries the time its samples stand for.
    const app::Clock& clock = session_.clock();
    if (clock.IsVirtual()) {
        if (virtualBaseMs_ < 0) {
            virtualBaseMs_ = ms;
            virtualBaseUs_ = clock.NowUs();
        }
        ms = virtualBaseMs_ + (clock.NowUs() - virtualBaseUs_) / 1000;
    }
    if (stampAtMs_ < 0 || ms < stampAtMs_ || ms - stampAtMs_ >= 1000) {
        stampBase_ = ToSampleTime(QDateTime::fromMSecsSinceEpoch(ms));
        stampAtMs_ = ms;
    }
    return stampBase_ + double(ms - stampAtMs_) / 86400000.0;
}

void Acquisition::StampCurrent()
{
    current_.Index = store_.index();
    current_.Time = SampleTimeNow();
    current_.Valid = 1;
}

bool Acquisition::GetMeasValues()
{
    const int answer = session_.sensor.Firmware < 124 ? 21 : 22;
    link::FrameProtocol& fp = link_.protocol();
    const QString op = session_.Msg(284);
    // A request that fails leaves no valid sample behind: what was read before is not this.
    current_.Valid = 0;
    current_.Signal = -1;
    if (!fp.SendReceiveCommand(1, proto::cmd::MeasData, 5, answer, op, true)) return false;
    const quint8* rx = link_.Rx();
    QString dump = op;
    for (int i = 0; i <= answer - 2; ++i)
        dump += QString::asprintf("%2.2x ", rx[i]);
    session_.PanelText(1, dump);
    std::array<quint8, 16> v{};
    std::copy(rx + 4, rx + 20, v.begin());
    SetMonV(current_, v);
    current_.OUT = answer == 22 ? rx[20] : DerivedOut(current_, hooks_.BubbleFactor());
    StampCurrent();
    return true;
}

void Acquisition::Show(int prefix, int message, int state)
{
    if (state != 0) {
        if (shown_ == state) return;
        shown_ = state;
    }
    session_.PanelText(1, session_.Msg(prefix) + session_.Msg(message));
}

void Acquisition::Resync(qint64& counter)
{
    ++counter;
    if (counters_.firstAligned >= 0) ++counters_.resyncAfterFirst;
}

// Ten empty slots run ahead of the write position. Within a tick only the slot that enters
// the gap with each stored sample needs clearing; the first call of a tick clears all ten.
void Acquisition::ClearAhead()
{
    const int index = store_.index();
    int from = index + 1;
    if (aheadBase_ == index - 1) from = index + 10;
    const int to = std::min(index + 10, MeasurementStore::kLastIndex - 1);
    for (int i = from; i <= to; ++i) {
        store_.Clear(i);
        table_.ClearRow(i + 1);
    }
    aheadBase_ = index;
}

void Acquisition::ReadStream(bool longBlocks)
{
    const int block = longBlocks ? proto::kLongBlock : proto::kShortBlock;
    const int prefix = longBlocks ? kMsgDiagnose : kMsgStandard;
    app::Clock& clock = session_.clock();
    const qint64 t0 = clock.NowUs();
    int waiting = link_.InQueue();
    int blocks = 0;
    while (!stopped_ && blocks < kMaxBlocksPerTick && (storeLimit_ < 0 || store_.index() < storeLimit_)) {
        if (discard_ > 0) {
            const int k = std::min(discard_, waiting);
            if (k > 0 && link_.Read_Buffer(k) < k) break;
            discard_ -= k;
            waiting -= k;
            if (discard_ > 0) break;
        }
        // A part of a block stays in the queue until the rest has come.
        if (waiting < block) waiting = link_.InQueue();
        if (waiting < block) break;
        if (link_.Read_Buffer(block) < block) break;
        waiting -= block;
        ++blocks;
        ++counters_.blocks;
        lastBlockUs_ = clock.NowUs();
        current_ = EmptySample();
        current_.Signal = -1;
        if (longBlocks)
            ProcessLong();
        else
            ProcessShort();
        if (clock.NowUs() - t0 >= kMaxTickUs) break;
    }
    counters_.maxBlocksInTick = std::max(counters_.maxBlocksInTick, blocks);
    if (blocks == 0 && !stopped_ && clock.NowUs() - lastBlockUs_ >= kNoDataUs) Show(prefix, 263, NoData);
}

void Acquisition::ProcessLong()
{
    const quint8* rx = link_.Rx();
    if (rx[0] != proto::kLongStart) {
        Show(kMsgDiagnose, 265, SyncStart);
        Resync(counters_.syncStart);
        int k = 5;
        for (int i = 1; i <= 4; ++i)
            if (rx[i] == proto::kLongStart) {
                k = i;
                break;
            }
        Discard(k);
        return;
    }
    if ((rx[3] & 0x0F) != 0) {
        Show(kMsgDiagnose, 266, SyncPointer);
        Resync(counters_.syncPointer);
        int k = 16;
        for (int r = 1; r <= 15; ++r)
            if ((rx[r * proto::kLongRecord + 3] & 0x0F) == 0) {
                k = r;
                break;
            }
        Discard(proto::kLongRecord * k);
        return;
    }
    // Every record in its place, or the block is not one sample: a byte lost inside it would
    // mix this block's value bytes with the next one's.
    for (int r = 1; r < proto::kRecordsPerBlock; ++r) {
        const quint8* rec = rx + r * proto::kLongRecord;
        if (rec[0] != proto::kLongStart || (rec[3] & 0x0F) != r) {
            Show(kMsgDiagnose, 266, SyncPointer);
            Resync(counters_.brokenRecord);
            return;
        }
    }
    if (link_.protocol().WithFrameCrc()) {
        for (int r = 0; r < proto::kRecordsPerBlock; ++r)
            if (link_.protocol().GetCRC_long(r) != rx[r * proto::kLongRecord + 4]) {
                Show(kMsgDiagnose, 352, BadCrc);
                ++counters_.badCrc;
                return;
            }
    }
    Show(kMsgDiagnose, 264, Reading);
    std::array<quint8, 16> v{};
    quint8 out = 0;
    for (int r = 0; r < proto::kRecordsPerBlock; ++r) {
        const quint8* rec = rx + r * proto::kLongRecord;
        out = std::max(out, rec[1]);
        v[size_t(r)] = quint8((rec[2] & 0x7F) | (rec[3] & 0x80));
    }
    if (counters_.firstAligned < 0) counters_.firstAligned = counters_.blocks;
    ClearAhead();
    StampCurrent();
    current_.OUT = out;
    SetMonV(current_, v);
    PutDataToMeasArray();
    IncMeasuringIndex();
    ++counters_.stored;
}

void Acquisition::ProcessShort()
{
    const quint8* rx = link_.Rx();
    if (rx[0] != proto::kShortStart) {
        Show(kMsgStandard, 265, SyncStart);
        Resync(counters_.syncStart);
        int k = 5;
        for (int i = 1; i <= 4; ++i)
            if (rx[i] == proto::kShortStart) {
                k = i;
                break;
            }
        Discard(k);
        return;
    }
    for (int r = 1; r < proto::kRecordsPerBlock; ++r) {
        if (rx[r * proto::kShortRecord] != proto::kShortStart) {
            Show(kMsgStandard, 265, SyncStart);
            Resync(counters_.brokenRecord);
            return;
        }
    }
    if (link_.protocol().WithFrameCrc()) {
        for (int r = 0; r < proto::kRecordsPerBlock; ++r)
            if (link_.protocol().GetCRC_short(r) != rx[r * proto::kShortRecord + 2]) {
                Show(kMsgStandard, 352, BadCrc);
                ++counters_.badCrc;
                return;
            }
    }
    Show(kMsgStandard, 264, Reading);
    quint8 out = 0;
    for (int r = 0; r < proto::kRecordsPerBlock; ++r)
        out = std::max(out, rx[r * proto::kShortRecord + 1]);
    if (counters_.firstAligned < 0) counters_.firstAligned = counters_.blocks;
    ClearAhead();
    StampCurrent();
    current_.OUT = out;
    table_.SetSampleRow(store_.index() + 1, current_, true);
    shortRow_ = true;
    IncMeasuringIndex();
    shortRow_ = false;
    ++counters_.stored;
}

void Acquisition::ReadValues()
{
    readInProgress_ = true;
    current_ = EmptySample();
    current_.Signal = -1;
    aheadBase_ = -2;
    ClearAhead();
    switch (link_.protocol().measProtocol()) {
    case link::MeasPolled:
        Interval(hooks_.MeasIntervalMs());
        if (GetMeasValues()) {
            PutDataToMeasArray();
            IncMeasuringIndex();
            ++counters_.stored;
        }
        break;
    case link::MeasLong:
        ReadStream(true);
        break;
    case link::MeasShort:
        ReadStream(false);
        break;
    default:
        break;
    }
    FlushRedraw();
    readInProgress_ = false;
}

// The diagram and the table selection follow once per tick, however many samples came.
void Acquisition::FlushRedraw()
{
    if (!redrawDue_) return;
    redrawDue_ = false;
    ++counters_.redraws;
    hooks_.RedrawDiagram();
    hooks_.FollowSample(redrawAt_);
    session_.host().ProcessMessages();
}

void Acquisition::PutDataToMeasArray()
{
    table_.SetSampleRow(store_.index() + 1, current_);
    hooks_.NewMeasValue(current_);
}

void Acquisition::IncMeasuringIndex()
{
    const StoreSettings st = hooks_.AcquisitionSettings();
    const int at = store_.index();
    const MeasurementStore::Result r = store_.Store(current_, st);
    hooks_.SampleStored(current_, shortRow_);
    if (r.Beep) session_.host().Beep();
    if (r.Redraw) {
        redrawDue_ = true;
        redrawAt_ = at;
        if (!readInProgress_) FlushRedraw();
    }
    if (!r.Full) return;
    switch (st.Policy) {
    case app::DataOverflow::Stop:
        session_.PanelText(1, session_.Msg(267));
        // A replay stops feeding; the link is not touched.
        if (feeding_)
            feedFull_ = true;
        else
            Stop();
        break;
    case app::DataOverflow::RollOver:
        session_.PanelText(1, session_.Msg(325));
        break;
    case app::DataOverflow::Restart:
        session_.PanelText(1, session_.Msg(326));
        ResetValues();
        break;
    }
}

void Acquisition::Feed(const MeasSample& s, bool shortRow)
{
    if (feedFull_) return;
    feeding_ = true;
    readInProgress_ = true;
    ClearAhead();
    current_ = s;
    current_.Index = store_.index();
    current_.Valid = 1;
    if (shortRow)
        table_.SetSampleRow(store_.index() + 1, current_, true);
    else
        PutDataToMeasArray();
    shortRow_ = shortRow;
    IncMeasuringIndex();
    shortRow_ = false;
    readInProgress_ = false;
    feeding_ = false;
}

void Acquisition::FeedDone()
{
    aheadBase_ = -2;
    FlushRedraw();
}

void Acquisition::ResetValues()
{
    table_.Clear();
    store_.Reset();
    hooks_.RedrawDiagram();
}

} // namespace vmx::monitor
