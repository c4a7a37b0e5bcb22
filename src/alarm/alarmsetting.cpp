// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarmsetting.h"

#include <utility>

AlarmSetting::AlarmSetting(const Clock &clock, QObject *parent)
    : QObject(parent), m_clock(clock) { }

void AlarmSetting::update(bool set, const std::optional<QDateTime> &deadline,
                          const QDateTime &lastTick)
{
    // Every value is stored before any signal, so that each receiver reads them all anew. The
    // start of the playlist is told first: the alarm that started it is no longer set, or is
    // set for tomorrow, and the computer must be kept awake for the music without a gap.
    const bool setChange = std::exchange(m_set, set) != set;
    const bool deadlineChange = std::exchange(m_deadline, deadline) != deadline;
    const bool tick = std::exchange(m_lastTick, lastTick) != lastTick;
    const bool started = std::exchange(m_playlistStarted, false);
    if (started)
        emit startedPlaylist();
    if (setChange)
        emit setChanged(set);
    if (deadlineChange)
        emit deadlineChanged(deadline);
    if (tick)
        emit ticked();
}

void AlarmSetting::notePlaylistStarted()
{
    m_playlistStarted = true;
}
