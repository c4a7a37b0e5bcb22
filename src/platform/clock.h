// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// The two clocks the window reads. Tests replace both to make time jump.
class Clock
{
public:
    virtual ~Clock() = default;
    // The local wall clock, as the user sees it.
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that keeps counting during suspend and ignores changes of
    // the wall clock (CLOCK_BOOTTIME on Linux, GetTickCount64 on Windows).
    virtual qint64 bootMs() const = 0;
};
