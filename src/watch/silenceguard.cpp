// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/silenceguard.h"

#include "alarm/alarmsetting.h"
#include "playback/transportcommands.h"

SilenceGuard::SilenceGuard(const AlarmSetting &alarm, const TransportStatus &transport,
                           TransportCommands &commands, std::unique_ptr<TonePlayer> tone,
                           QObject *parent)
    : QObject(parent), m_alarm(alarm), m_transport(transport), m_commands(commands),
      m_tone(std::move(tone)), m_hadOutput(commands.hasAudioOutput())
{
    connect(&alarm, &AlarmSetting::startedPlaylist, this, &SilenceGuard::alarmStartedPlaylist);
    connect(&transport, &TransportStatus::stateChanged, this, &SilenceGuard::transportChanged);
}

SilenceGuard::~SilenceGuard()
{
    shutdown();
}

void SilenceGuard::shutdown()
{
    m_closed = true;
    m_songsPlayedAtAlarm.reset();
    m_sounding = false;
    m_tone->stop();
}

void SilenceGuard::alarmStartedPlaylist()
{
    m_songsPlayedAtAlarm = m_transport.songsPlayed();
}

void SilenceGuard::transportChanged(playback::Transport transport)
{
    // Stop and "Stop Song" leave the transport idle.
    if (m_sounding && transport == playback::Transport::Idle) {
        m_sounding = false;
        m_tone->stop();
    }
    if (!m_songsPlayedAtAlarm || transport == playback::Transport::Playing)
        return;
    // The playlist has ended, or the user paused or stopped it.
    const bool ended = transport == playback::Transport::Ended;
    const bool nonePlayed = m_transport.songsPlayed() == *m_songsPlayedAtAlarm;
    m_songsPlayedAtAlarm.reset();
    if (ended && nonePlayed && !m_sounding) {
        m_sounding = true;
        m_tone->start();
    }
}

void SilenceGuard::audioOutputsChanged()
{
    if (m_closed)
        return;
    const bool hasOutput = m_commands.hasAudioOutput();
    if (m_hadOutput && !hasOutput && m_alarm.isSet())
        m_commands.checkAudioOutput();
    m_hadOutput = hasOutput;
}
