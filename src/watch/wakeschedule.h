// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include <optional>

class AlarmSetting;
class WakeTimer;

// Has the computer woken a minute before the alarm that is set falls due, so that it is awake
// for the tick of the alarm's second: the wake follows the alarm's deadline as it moves, and
// is cancelled when there is none. As the computer goes to sleep, a wake is armed however near
// the alarm is.
class WakeSchedule
{
public:
    // How long before the deadline the computer wakes: time to resume.
    static constexpr int leadSeconds = 60;
    // How near a wake may be asked, and how far: the wake helper's own limits (5 s, 8 days)
    // with a margin for the time the request takes. A deadline nearer than the nearest wake
    // is not woken for while the computer is awake, kept so while an alarm is set; should it
    // go to sleep all the same, it is woken at the nearest wake.
    static constexpr int nearestSeconds = 8;
    static constexpr int farthestSeconds = 8 * 24 * 3600 - 600;

    // Both must outlive the schedule.
    WakeSchedule(const AlarmSetting &alarm, WakeTimer &timer);
    WakeSchedule(const WakeSchedule &) = delete;
    WakeSchedule &operator=(const WakeSchedule &) = delete;

    // The deadline has moved: the wake is armed, moved or cancelled.
    void deadlineChanged();
    // The clock has ticked: a deadline that was too far ahead to wake for may be near enough.
    void ticked();
    // The computer is about to sleep: a wake is armed for the deadline, however near, where
    // none is armed or the one armed is too near or gone by (it may have woken the computer
    // already, or fired while it was awake).
    void beforeSleep();
    // The window closes: the wake is cancelled.
    void shutdown();

    // An alarm is set and falls due at most this far ahead, or has fallen due and not rung.
    bool isDueWithin(int seconds) const;

private:
    void arm(const std::optional<QDateTime> &wake);

    const AlarmSetting &m_alarm;
    WakeTimer &m_timer;
    // The wake armed now, for the deadline.
    std::optional<QDateTime> m_wake;
};
