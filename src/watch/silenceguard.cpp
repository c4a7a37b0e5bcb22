// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/silenceguard.h"

#include "alarm/alarmsetting.h"
#include "platform/notifier.h"
#include "playback/transportcommands.h"

#include <cstdio>

SilenceGuard::SilenceGuard(const AlarmSetting &alarm, const TransportStatus &transport,
                           TransportCommands &commands, std::unique_ptr<TonePlayer> tone,
                           Notifier &notifier, QObject *parent)
    : QObject(parent), m_alarm(alarm), m_transport(transport), m_commands(commands),
      m_tone(std::move(tone)), m_notifier(notifier), m_lossTimer(this)
{
    m_lossTimer.setObjectName(QStringLiteral("outputLossTimer"));
    m_lossTimer.setSingleShot(true);
    m_lossTimer.setInterval(lossGraceMs);
    connect(&m_lossTimer, &QTimer::timeout, this, &SilenceGuard::sayNoOutput);
    connect(&alarm, &AlarmSetting::startedPlaylist, this, &SilenceGuard::alarmStartedPlaylist);
    connect(&alarm, &AlarmSetting::setChanged, this, &SilenceGuard::watchForLoss);
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
    m_lossTimer.stop();
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

void SilenceGuard::audioOutputsListed()
{
    if (!m_closed && !m_commands.hasAudioOutput())
        sayNoOutput();
}

void SilenceGuard::audioOutputsChanged()
{
    watchForLoss();
}

void SilenceGuard::watchForLoss()
{
    if (m_closed)
        return;
    if (m_commands.hasAudioOutput()) {
        m_noOutputSaid = false;
        m_lossTimer.stop();
    } else if (!m_alarm.isSet()) {
        m_lossTimer.stop();
    } else if (!m_noOutputSaid && !m_lossTimer.isActive()) {
        m_lossTimer.start();
    }
}

void SilenceGuard::sayNoOutput()
{
    // Said once for each loss, also when the first listing says it while the time runs.
    m_lossTimer.stop();
    m_noOutputSaid = true;
    const QString text
        = QStringLiteral("No sound output device was found: alarms will not be heard.");
    std::fprintf(stderr, "Wakewell: %s\n", qPrintable(text));
    m_notifier.notify(text,
                      QStringLiteral("Connect speakers or headphones, or choose an output in the "
                                     "sound settings."));
}
