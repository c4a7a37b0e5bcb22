// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/transportstatus.h"
#include "watch/toneplayer.h"

#include <QObject>

#include <memory>
#include <optional>

class AlarmSetting;
class TransportCommands;

// Sees to it that an alarm is heard. When an alarm has started the playlist and continuous
// play has gone past its last song without any song having played for a second (every file
// missing, empty or no audio), it sounds the tone until Stop or "Stop Song"; and when the
// last audio output goes away while an alarm is set, it says again that alarms will not be
// heard.
class SilenceGuard : public QObject
{
    Q_OBJECT

public:
    // The window's objects must outlive the guard.
    SilenceGuard(const AlarmSetting &alarm, const TransportStatus &transport,
                 TransportCommands &commands, std::unique_ptr<TonePlayer> tone,
                 QObject *parent = nullptr);
    ~SilenceGuard() override;

    // The window is closing: the tone ends and the window is asked nothing more.
    void shutdown();

    // The machine's audio outputs have changed.
    void audioOutputsChanged();

private:
    void alarmStartedPlaylist();
    void transportChanged(playback::Transport transport);

    const AlarmSetting &m_alarm;
    const TransportStatus &m_transport;
    TransportCommands &m_commands;
    std::unique_ptr<TonePlayer> m_tone;
    // While the playlist that an alarm started still plays: the player's count of songs that
    // have played, as it stood when the alarm started it.
    std::optional<int> m_songsPlayedAtAlarm;
    bool m_sounding = false;
    bool m_hadOutput;
    bool m_closed = false;
};
