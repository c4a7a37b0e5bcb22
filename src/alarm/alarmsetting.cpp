// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarmsetting.h"

#include <utility>

AlarmSetting::AlarmSetting(const Clock &clock, QObject *parent)
    : QObject(parent), m_clock(clock) { }

void AlarmSetting::update(bool set, const std::optional<QDateTime> &deadline,
                          const QDateTime &lastTick)
{
    // Every value is stored before any signal, so that each receiver reads them all anew.
    const bool setChange = std::exchange(m_set, set) != set;
    const bool deadlineChange = std::exchange(m_deadline, deadline) != deadline;
    const bool tick = std::exchange(m_lastTick, lastTick) != lastTick;
    const bool started = std::exchange(m_playlistStarted, false);
    if (setChange)
        emit setChanged(set);
    if (deadlineChange)
        emit deadlineChanged(deadline);
    if (tick)
        emit ticked();
    if (started)
        emit startedPlaylist();
}

void AlarmSetting::notePlaylistStarted()
{
    m_playlistStarted = true;
}
