// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// Wakes the computer from sleep at a time: the platform's own way, behind one interface, so
// that what decides when is written once (WakeSchedule). One wake at a time.
class WakeTimer
{
public:
    virtual ~WakeTimer() = default;
    // Wakes the computer at when (UTC), in place of any wake armed before, for the alarm that
    // falls due at alarm: what is said about the wake names that. Never waits.
    virtual void arm(const QDateTime &when, const QDateTime &alarm) = 0;
    // No wake any more. Harmless when none is armed; never waits.
    virtual void cancel() = 0;
};
