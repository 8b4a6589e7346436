#pragma once
// The causal protocol minimum of a recorded run: what the same sequence of link operations and
// mandated waits needs on a line of 11520 bytes/s with a device of the given turnaround.
#include "RecordingHost.h"
#include "app/Clock.h"
#include "proto/Protocol.h"

#include <algorithm>
#include <vector>

namespace vmx::benchsupport {

// What the program did, in order: the link's operations and the host's waits ('d', ms).
struct Event {
    char op;
    int n;
};

// Records the mandated waits beside the link's operations.
class WaitLog final : public test::RecordingHost {
public:
    WaitLog(app::Clock* clock, std::vector<Event>& log) : test::RecordingHost(clock), log_(log) {}
    void Wait(int ms) override
    {
        log_.push_back(Event{'d', ms});
        test::RecordingHost::Wait(ms);
    }

private:
    std::vector<Event>& log_;
};

// The least time the same sequence can take on the line, causally: a frame handed to the port
// goes out at 11520 bytes/s as soon as the line is free and the program goes on at once (a wait
// that follows overlaps the frame's transmission); an answer starts when the device has the
// whole request plus its turnaround and is read when its last byte is in; a purge costs its
// mandated 5 ms, an RTS switch its 5 ms, a wait its time.
inline double CausalMinimumS(const std::vector<Event>& log, qint64 deviceProcUs)
{
    qint64 t = 0, toDevice = 0, requestEnd = 0, fromDevice = 0;
    for (const Event& e : log) {
        switch (e.op) {
        case 'p':
            t += 5000;
            break;
        case 's':
        case 'd':
            t += qint64(e.n) * 1000;
            break;
        case 'w':
            toDevice = std::max(t, toDevice) + proto::BytesToUs(e.n);
            requestEnd = toDevice;
            break;
        case 'r': {
            if (e.n <= 0) break;
            const qint64 start = std::max(requestEnd + deviceProcUs, fromDevice);
            fromDevice = start + proto::BytesToUs(e.n);
            t = std::max(t, fromDevice);
            break;
        }
        default:
            break;
        }
    }
    return double(t) / 1e6;
}

} // namespace vmx::benchsupport
