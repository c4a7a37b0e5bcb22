// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include <functional>

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

    // The wake last armed is held where it will wake the computer: the system has taken it
    // and nothing has been lost, refused, cancelled or moved since. A platform that cannot
    // know it never says so, and the computer is then kept awake while an alarm is set.
    bool isConfirmed() const { return m_confirmed; }
    // Called with isConfirmed() each time it changes, on the thread that arms; one listener,
    // none with an empty function.
    void onConfirmedChanged(std::function<void(bool)> listener)
    {
        m_listener = std::move(listener);
    }

protected:
    // For the platform's timer: the wake last armed is held now, or no longer is.
    void confirmed(bool held)
    {
        if (held == m_confirmed)
            return;
        m_confirmed = held;
        if (m_listener)
            m_listener(held);
    }

private:
    bool m_confirmed = false;
    std::function<void(bool)> m_listener;
};
