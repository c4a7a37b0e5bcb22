// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clock.h"

#include <QDateTime>
#include <QObject>

#include <optional>

// The alarm that is set, as those beside the window see it: told by the window once its state
// is whole again, after the outermost handler and after an edit that runs none; each signal
// comes only when what it says has changed.
class AlarmSetting : public QObject
{
    Q_OBJECT

public:
    // The clock that the deadline is counted on; it must outlive the setting.
    explicit AlarmSetting(const Clock &clock, QObject *parent = nullptr);

    // Option1 with an alarm time, or Option2 with a countdown that will sound.
    bool isSet() const { return m_set; }
    // When the alarm falls due (alarms::alarmDeadline); none when none is set or it never
    // sounds.
    const std::optional<QDateTime> &deadline() const { return m_deadline; }
    const Clock &clock() const { return m_clock; }

    // The window's alarm as it stands now, and the wall-clock time of its last tick.
    void update(bool set, const std::optional<QDateTime> &deadline, const QDateTime &lastTick);
    // Called by the tick that has started the playlist; startedPlaylist() follows the update
    // after it.
    void notePlaylistStarted();

signals:
    void setChanged(bool set);
    void deadlineChanged(const std::optional<QDateTime> &deadline);
    // The clock has ticked: the deadline, unchanged, has come nearer.
    void ticked();
    // An alarm has started the playlist (or resumed a paused song).
    void startedPlaylist();

private:
    const Clock &m_clock;
    bool m_set = false;
    std::optional<QDateTime> m_deadline;
    QDateTime m_lastTick;
    bool m_playlistStarted = false;
};
