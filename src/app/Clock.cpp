#include "app/Clock.h"

#include <QThread>

namespace vmx::app {

void RealClock::SleepUs(qint64 us)
{
    if (us > 0) QThread::usleep(quint64(us));
}

} // namespace vmx::app
