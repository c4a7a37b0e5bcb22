// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/alarmwatch.h"

#include "alarm/alarmsetting.h"
#include "platform/audiooutputs.h"

#include <utility>

AlarmWatch::AlarmWatch(const AlarmSetting &alarm, const TransportStatus &transport,
                       TransportCommands &commands, Desktop &desktop,
                       std::unique_ptr<TonePlayer> tone, QObject *parent)
    : QObject(parent), m_alarm(alarm), m_desktop(desktop), m_power(desktop.power()),
      m_wake(alarm, m_power.wakeTimer),
      m_guard(alarm, transport, commands, std::move(tone), desktop.notifier())
{
    connect(&alarm, &AlarmSetting::setChanged, this, &AlarmWatch::setChanged);
    m_power.wakeTimer.onConfirmedChanged([this](bool) { holdWhileSet(); });
    connect(&alarm, &AlarmSetting::deadlineChanged, this, [this] {
        m_wake.deadlineChanged();
        holdWhileDue();
    });
    connect(&alarm, &AlarmSetting::ticked, this, [this] {
        m_wake.ticked();
        holdWhileDue();
    });
    connect(&alarm, &AlarmSetting::startedPlaylist, this, [this] {
        m_ringing = true;
        holdWhileDue();
    });
    // Stop, "Stop Song", Pause and the end of the playlist: the music has ended.
    connect(&transport, &TransportStatus::stateChanged, this, [this](playback::Transport state) {
        m_ringing = m_ringing && state == playback::Transport::Playing;
        holdWhileDue();
    });
    connect(&transport, &TransportStatus::closing, this, &AlarmWatch::shutdown);
    connect(&desktop, &Desktop::suspending, this, &AlarmWatch::beforeSleep);
    connect(&desktop, &Desktop::resumed, this, &AlarmWatch::afterSleep);
    setChanged();
    m_wake.deadlineChanged();
    holdWhileDue();
}

AlarmWatch::~AlarmWatch()
{
    shutdown();
}

void AlarmWatch::setChanged()
{
    if (m_alarm.isSet()) {
        m_desktop.prepareToPlay();
        watchOutputs();
    }
    holdWhileSet();
}

// The outputs are asked of the sound system from the first alarm on: a window that never
// rings never asks them.
void AlarmWatch::watchOutputs()
{
    if (std::exchange(m_outputsWatched, true))
        return;
    // Tells the guard of the machine's audio outputs, of their first listing too.
    AudioOutputs::machine().whenListed(&m_guard, [this] { m_guard.audioOutputsListed(); });
    connect(&AudioOutputs::machine(), &AudioOutputs::changed, &m_guard,
            &SilenceGuard::audioOutputsChanged);
}

void AlarmWatch::holdWhileSet()
{
    const bool set = m_alarm.isSet();
    m_power.whileSet.setHeld(set);
    m_power.withoutWake.setHeld(set && !m_power.wakeTimer.isConfirmed());
}

void AlarmWatch::holdWhileDue()
{
    m_power.whileDue.setHeld(m_ringing || m_wake.isDueWithin(dueSeconds));
}

void AlarmWatch::beforeSleep()
{
    if (!m_closed)
        m_wake.beforeSleep();
}

// Until the first tick after the wake the deadline is the one known before the sleep, as the
// countdown's fields are; that tick counts the countdown on from there.
void AlarmWatch::afterSleep()
{
    if (!m_closed)
        holdWhileDue();
}

void AlarmWatch::shutdown()
{
    if (m_closed)
        return;
    m_closed = true;
    m_power.wakeTimer.onConfirmedChanged(nullptr);
    m_power.withoutWake.setHeld(false);
    m_power.whileSet.setHeld(false);
    m_power.whileDue.setHeld(false);
    m_wake.shutdown();
    m_guard.shutdown();
}
