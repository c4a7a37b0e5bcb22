// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/systemclock.h"

#include <QDeadlineTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <ctime>
#endif

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::bootMs() const
{
#if defined(Q_OS_WIN)
    // Counts the time the computer slept; QueryUnbiasedInterruptTime would leave it out.
    return qint64(GetTickCount64());
#elif defined(CLOCK_BOOTTIME)
    timespec ts {};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
#else
    // Elsewhere the monotonic clock is the closest: it ignores changes of the wall clock.
    return QDeadlineTimer::current().deadline();
#endif
}
