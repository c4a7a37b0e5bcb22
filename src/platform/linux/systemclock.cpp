// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/systemclock.h"

#include <ctime>

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::bootMs() const
{
    // Counts the time the computer slept; CLOCK_MONOTONIC would leave it out.
    timespec ts {};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
