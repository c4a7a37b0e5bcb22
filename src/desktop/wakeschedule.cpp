// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/wakeschedule.h"

#include "alarm/alarm.h"
#include "desktop/waketimer.h"
#include "main/frmplayer.h"

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
// for a deadline nearer than that or one beyond the farthest.
std::optional<QDateTime> wakeFor(const std::optional<QDateTime> &deadline, const QDateTime &now)
{
    if (!deadline || now.secsTo(*deadline) < WakeSchedule::nearestSeconds)
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
    const std::optional<QDateTime> wake = wakeFor(m_deadline, m_f.clock().now());
    if (wake == m_wake)
        return;
    m_wake = wake;
    if (wake)
        m_timer.arm(*wake);
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
