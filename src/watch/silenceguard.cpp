// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/silenceguard.h"

#include "alarm/alarm.h"
#include "main/frmplayer.h"
#include "playback/playback.h"

SilenceGuard::SilenceGuard(frmPlayer &f, std::unique_ptr<TonePlayer> tone, QObject *parent)
    : QObject(parent), m_f(f), m_tone(std::move(tone)), m_hadOutput(f.mpPlayer().HasAudioOutput())
{
    connect(&m_f, &frmPlayer::alarmStartedPlaylist, this, &SilenceGuard::alarmStartedPlaylist);
    connect(&m_f, &frmPlayer::handlerEnded, this, &SilenceGuard::handlerEnded);
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
    if (!m_closed)
        m_songsPlayedAtAlarm = m_f.mpPlayer().SongsPlayed();
}

void SilenceGuard::handlerEnded()
{
    if (m_closed)
        return;
    const playback::Transport transport = playback::transportState(m_f);
    // Stop and "Stop Song" leave the transport idle.
    if (m_sounding && transport == playback::Transport::Idle) {
        m_sounding = false;
        m_tone->stop();
    }
    if (!m_songsPlayedAtAlarm || transport == playback::Transport::Playing)
        return;
    // The playlist has ended, or the user paused or stopped it.
    const bool ended = transport == playback::Transport::Ended;
    const bool nonePlayed = m_f.mpPlayer().SongsPlayed() == *m_songsPlayedAtAlarm;
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
    const bool hasOutput = m_f.mpPlayer().HasAudioOutput();
    if (m_hadOutput && !hasOutput && alarms::alarmIsSet(m_f))
        m_f.run([this] { playback::checkAudioOutput(m_f); });
    m_hadOutput = hasOutput;
}
