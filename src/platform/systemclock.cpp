#include "platform/systemclock.h"

#include <QDeadlineTimer>

#include <ctime>

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::bootMs() const
{
#ifdef CLOCK_BOOTTIME
    timespec ts {};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
#else
    // Elsewhere the monotonic clock is the closest: it ignores changes of the wall clock.
    return QDeadlineTimer::current().deadline();
#endif
}
