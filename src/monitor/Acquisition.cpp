#include "monitor/Acquisition.h"

#include "lang/MessageIds.h"

#include "app/Session.h"
#include "link/Link.h"
#include "proto/Protocol.h"

#include <QDateTime>

#include <algorithm>

namespace vmx::monitor {

// The catalogue numbers by name.
using namespace lang::ids;

Acquisition::Acquisition(app::Session& session, link::Link& link, MeasurementStore& store, MeasTableModel& table)
    : session_(session), link_(link), store_(store), table_(table)
{
    current_.Signal = -1;
}

void Acquisition::Interval(int ms)
{
    if (setTimerInterval) setTimerInterval(ms);
}

void Acquisition::ALStartExecute()
{
    if (!link_.HasPort()) {
        stopped_ = true;
        if (onStartStopEnabled) onStartStopEnabled(false, false);
        return;
    }
    link::FrameProtocol& fp = link_.protocol();
    fp.getMeasValues = [this] { return GetMeasValues(); };
    fp.measIntervalMs = [this] { return measIntervalMs ? measIntervalMs() : 1000; };
    fp.onTimerInterval = [this](int ms) { Interval(ms); };
    if (!fp.CheckSerialProtocol()) return;
    stopped_ = false;
    shown_ = None;
    if (onStartStopEnabled) onStartStopEnabled(false, true);
}

void Acquisition::ALStopExecute()
{
    stopped_ = true;
    if (store_.index() < MeasurementStore::kLastIndex) session_.PanelText(1, session_.Msg(259));
    if (onStartStopEnabled) onStartStopEnabled(true, false);
    session_.Wait(50);
    link_.Purge_In();
}

void Acquisition::Timer2Timer()
{
    if (stopped_ || readInProgress_) return;
    ReadValues();
}

void Acquisition::StampCurrent()
{
    current_.Index = store_.index();
    current_.Time = ToSampleTime(QDateTime::currentDateTime());
    current_.Valid = 1;
}

bool Acquisition::GetMeasValues()
{
    const int answer = session_.sensor.Firmware < 124 ? 21 : 22;
    link::FrameProtocol& fp = link_.protocol();
    const QString op = session_.Msg(284);
    if (!fp.SendReceiveCommand(1, proto::cmd::MeasData, 5, answer, op, true)) return false;
    const quint8* rx = link_.Rx();
    QString dump = op;
    for (int i = 0; i <= answer - 2; ++i) dump += QString::asprintf("%2.2x ", rx[i]);
    session_.PanelText(1, dump);
    std::array<quint8, 16> v{};
    std::copy(rx + 4, rx + 20, v.begin());
    SetMonV(current_, v);
    current_.OUT = answer == 22 ? rx[20] : DerivedOut(current_, bubbleFactor ? bubbleFactor() : 0);
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

bool Acquisition::Discard(int n, int prefix)
{
    if (n <= 0) return true;
    if (link_.Read_Buffer(n) < n) {
        Show(prefix, 263, 0); // shown every time
        return false;
    }
    return true;
}

void Acquisition::ReadLong()
{
    const int got = link_.Read_Buffer(proto::kLongBlock);
    const quint8* rx = link_.Rx();
    if (got < proto::kLongBlock) {
        Show(kMsgDiagnose, 263, NoData);
        return;
    }
    if (rx[0] != proto::kLongStart) {
        Show(kMsgDiagnose, 265, SyncStart);
        int k = 5;
        for (int i = 1; i <= 4; ++i)
            if (rx[i] == proto::kLongStart) {
                k = i;
                break;
            }
        Discard(k, kMsgDiagnose);
        return;
    }
    if ((rx[3] & 0x0F) != 0) {
        Show(kMsgDiagnose, 266, SyncPointer);
        int k = 16;
        for (int r = 1; r <= 15; ++r)
            if ((rx[r * proto::kLongRecord + 3] & 0x0F) == 0) {
                k = r;
                break;
            }
        Discard(proto::kLongRecord * k, kMsgDiagnose);
        return;
    }
    if (link_.protocol().WithFrameCrc()) {
        for (int r = 0; r < proto::kRecordsPerBlock; ++r)
            if (link_.protocol().GetCRC_long(r) != rx[r * proto::kLongRecord + 4]) {
                Show(kMsgDiagnose, 352, BadCrc);
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
    StampCurrent();
    current_.OUT = out;
    SetMonV(current_, v);
    PutDataToMeasArray();
    IncMeasuringIndex();
}

void Acquisition::ReadShort()
{
    const int got = link_.Read_Buffer(proto::kShortBlock);
    const quint8* rx = link_.Rx();
    if (got < proto::kShortBlock) {
        Show(kMsgStandard, 263, NoData);
        return;
    }
    if (rx[0] != proto::kShortStart) {
        Show(kMsgStandard, 265, SyncStart);
        int k = 5;
        for (int i = 1; i <= 4; ++i)
            if (rx[i] == proto::kShortStart) {
                k = i;
                break;
            }
        Discard(k, kMsgStandard);
        return;
    }
    if (link_.protocol().WithFrameCrc()) {
        for (int r = 0; r < proto::kRecordsPerBlock; ++r)
            if (link_.protocol().GetCRC_short(r) != rx[r * proto::kShortRecord + 2]) {
                Show(kMsgStandard, 352, BadCrc);
                return;
            }
    }
    Show(kMsgStandard, 264, Reading);
    quint8 out = 0;
    for (int r = 0; r < proto::kRecordsPerBlock; ++r) out = std::max(out, rx[r * proto::kShortRecord + 1]);
    StampCurrent();
    current_.OUT = out;
    table_.SetSampleRow(store_.index() + 1, current_, true);
    IncMeasuringIndex();
}

void Acquisition::ReadValues()
{
    readInProgress_ = true;
    current_ = EmptySample();
    current_.Signal = -1;
    const int from = store_.index() + 1;
    const int to = std::min(store_.index() + 10, MeasurementStore::kLastIndex - 1);
    for (int i = from; i <= to; ++i) {
        store_.Clear(i);
        table_.ClearRow(i + 1);
    }
    switch (link_.protocol().measProtocol()) {
    case link::MeasPolled:
        Interval(measIntervalMs ? measIntervalMs() : 1000);
        if (GetMeasValues()) {
            PutDataToMeasArray();
            IncMeasuringIndex();
        }
        break;
    case link::MeasLong: ReadLong(); break;
    case link::MeasShort: ReadShort(); break;
    default: break;
    }
    readInProgress_ = false;
}

void Acquisition::PutDataToMeasArray()
{
    table_.SetSampleRow(store_.index() + 1, current_);
    if (newMeasValue) newMeasValue(current_);
}

void Acquisition::IncMeasuringIndex()
{
    const StoreSettings st = settings ? settings() : StoreSettings{};
    const int at = store_.index();
    const MeasurementStore::Result r = store_.Store(current_, st);
    if (r.Beep) session_.host().Beep();
    if (r.Redraw) {
        if (redraw) redraw();
        if (follow) follow(at);
        session_.host().ProcessMessages();
    }
    if (!r.Full) return;
    switch (st.Policy) {
    case app::DataOverflow::Stop:
        session_.PanelText(1, session_.Msg(267));
        ALStopExecute();
        break;
    case app::DataOverflow::RollOver: session_.PanelText(1, session_.Msg(325)); break;
    case app::DataOverflow::Restart:
        session_.PanelText(1, session_.Msg(326));
        ResetValues();
        break;
    }
}

void Acquisition::ResetValues()
{
    table_.Clear();
    store_.Reset();
    if (redraw) redraw();
}

} // namespace vmx::monitor
