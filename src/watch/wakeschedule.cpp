// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/wakeschedule.h"

#include "alarm/alarmsetting.h"
#include "platform/waketimer.h"

#include <algorithm>

namespace {
// The wake for a deadline: a lead before it, though no nearer than the nearest wake; none
// for one beyond the farthest.
std::optional<QDateTime> wakeFor(const std::optional<QDateTime> &deadline, const QDateTime &now)
{
    if (!deadline)
        return std::nullopt;
    const QDateTime wake = std::max(deadline->addSecs(-WakeSchedule::leadSeconds),
                                    now.addSecs(WakeSchedule::nearestSeconds));
    if (now.secsTo(wake) > WakeSchedule::farthestSeconds)
        return std::nullopt;
    return wake.toUTC();
}
} // namespace

WakeSchedule::WakeSchedule(const AlarmSetting &alarm, WakeTimer &timer)
    : m_alarm(alarm), m_timer(timer)
{
}

void WakeSchedule::deadlineChanged()
{
    const std::optional<QDateTime> &deadline = m_alarm.deadline();
    const QDateTime now = m_alarm.clock().now();
    // Awake, the computer is kept so until a deadline nearer than the nearest wake.
    const bool near = deadline && now.secsTo(*deadline) < nearestSeconds;
    arm(near ? std::nullopt : wakeFor(deadline, now));
}

void WakeSchedule::ticked()
{
    if (!m_wake)
        deadlineChanged();
}

void WakeSchedule::beforeSleep()
{
    const QDateTime now = m_alarm.clock().now();
    if (!m_wake || now.secsTo(*m_wake) < nearestSeconds)
        arm(wakeFor(m_alarm.deadline(), now));
}

bool WakeSchedule::isDueWithin(int seconds) const
{
    const std::optional<QDateTime> &deadline = m_alarm.deadline();
    return deadline && m_alarm.clock().now().secsTo(*deadline) <= seconds;
}

void WakeSchedule::arm(const std::optional<QDateTime> &wake)
{
    if (wake == m_wake)
        return;
    m_wake = wake;
    if (wake)
        m_timer.arm(*wake, *m_alarm.deadline());
    else
        m_timer.cancel();
}

void WakeSchedule::shutdown()
{
    if (m_wake)
        m_timer.cancel();
    m_wake.reset();
}
