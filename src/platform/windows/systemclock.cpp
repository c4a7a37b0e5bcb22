// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/systemclock.h"

#include <windows.h>

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::bootMs() const
{
    // Counts the time the computer slept; QueryUnbiasedInterruptTime would leave it out.
    return qint64(GetTickCount64());
}
