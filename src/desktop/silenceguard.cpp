#include "desktop/silenceguard.h"

#include "desktop/alarmset.h"
#include "main/frmplayer.h"
#include "main/startup.h"

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
    // Stop and "Stop Song" are the handlers that leave no current song.
    if (m_sounding && m_f.intSong == 0) {
        m_sounding = false;
        m_tone->stop();
    }
    if (!m_songsPlayedAtAlarm || m_f.Timer1->isActive())
        return;
    // Timer1 is off: the playlist has ended, or the user paused or stopped it.
    MediaPlayer &player = m_f.mpPlayer();
    const bool ended
        = m_f.intSong > m_f.colPlaylist().Count() && player.PlayState() != MediaPlayer::Paused;
    const bool nonePlayed = player.SongsPlayed() == *m_songsPlayedAtAlarm;
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
    if (m_hadOutput && !hasOutput && desktop::alarmIsSet(m_f))
        m_f.run([this] { mainwindow::checkAudioOutput(m_f); });
    m_hadOutput = hasOutput;
}
