// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/wakeschedule.h"

#include "alarm/alarm.h"
#include "main/frmplayer.h"
#include "platform/waketimer.h"

#include <algorithm>
#include <cstdlib>

namespace {
bool moved(const std::optional<QDateTime> &from, const std::optional<QDateTime> &to)
{
    if (!from || !to)
        return from.has_value() != to.has_value();
    return std::abs(from->secsTo(*to)) > WakeSchedule::toleranceSeconds;
}

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

WakeSchedule::WakeSchedule(const frmPlayer &f, WakeTimer &timer) : m_f(f), m_timer(timer) { }

void WakeSchedule::update()
{
    // Inside a tick the countdown's fields may be half written: the tick's own end comes.
    if (m_closed || m_f.isRunningHandler())
        return;
    const std::optional<QDateTime> deadline = alarms::alarmDeadline(m_f);
    const bool deadlineMoved = moved(m_deadline, deadline);
    if (!deadlineMoved && m_wake)
        return;
    if (deadlineMoved)
        m_deadline = deadline;
    const QDateTime now = m_f.clock().now();
    // Awake, the computer is kept so until a deadline nearer than the nearest wake.
    const bool near = m_deadline && now.secsTo(*m_deadline) < nearestSeconds;
    arm(near ? std::nullopt : wakeFor(m_deadline, now));
}

void WakeSchedule::beforeSleep()
{
    update();
    if (m_closed)
        return;
    const QDateTime now = m_f.clock().now();
    if (!m_wake || now.secsTo(*m_wake) < nearestSeconds)
        arm(wakeFor(m_deadline, now));
}

bool WakeSchedule::isDueWithin(int seconds) const
{
    return m_deadline && m_f.clock().now().secsTo(*m_deadline) <= seconds;
}

void WakeSchedule::arm(const std::optional<QDateTime> &wake)
{
    if (wake == m_wake)
        return;
    m_wake = wake;
    if (wake)
        m_timer.arm(*wake, *m_deadline);
    else
        m_timer.cancel();
}

void WakeSchedule::shutdown()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_wake)
        m_timer.cancel();
    m_wake.reset();
}
