// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/alarmwatch.h"

#include "alarm/alarm.h"
#include "main/frmplayer.h"
#include "platform/audiooutputs.h"
#include "playback/playback.h"

#include <QEvent>

AlarmWatch::AlarmWatch(frmPlayer &f, MachinePower power, std::unique_ptr<TonePlayer> tone,
                       QObject *parent)
    : QObject(parent), m_f(f), m_power(power), m_wake(f, power.wakeTimer),
      m_guard(f, std::move(tone))
{
    // Whether an alarm is set changes with the options and Text2, which have no handlers,
    // and with the handlers of the countdown fields and of the tick, which disarms the
    // countdown when it fires.
    connect(m_f.Option1, &QRadioButton::toggled, this, &AlarmWatch::alarmSettingChanged);
    connect(m_f.Option2, &QRadioButton::toggled, this, &AlarmWatch::alarmSettingChanged);
    connect(m_f.Text2, &QLineEdit::textChanged, this, &AlarmWatch::alarmSettingChanged);
    connect(&m_f, &frmPlayer::handlerEnded, this, &AlarmWatch::alarmSettingChanged);
    connect(&m_f, &frmPlayer::alarmStartedPlaylist, this, &AlarmWatch::alarmStartedPlaylist);
    // Tells the guard when the machine's audio outputs change.
    connect(&AudioOutputs::machine(), &AudioOutputs::changed, &m_guard,
            &SilenceGuard::audioOutputsChanged);
    m_f.installEventFilter(this);
    alarmSettingChanged();
}

AlarmWatch::~AlarmWatch()
{
    shutdown();
}

void AlarmWatch::alarmSettingChanged()
{
    if (m_closed)
        return;
    m_power.whileSet.setHeld(alarms::alarmIsSet(m_f));
    m_wake.update();
    // Stop, "Stop Song", Pause and the end of the playlist: the music has ended.
    if (m_ringing && playback::transportState(m_f) != playback::Transport::Playing)
        m_ringing = false;
    m_power.whileDue.setHeld(m_ringing || m_wake.isDueWithin(dueSeconds));
}

void AlarmWatch::alarmStartedPlaylist()
{
    if (m_closed)
        return;
    m_ringing = true;
    m_power.whileDue.setHeld(true);
}

void AlarmWatch::beforeSleep()
{
    if (!m_closed)
        m_wake.beforeSleep();
}

// Until the first tick after the wake has caught the countdown up, its fields still say what
// they said before the sleep, and a deadline read from them lies the sleep's length too late.
// The deadline known before the sleep holds until that tick, which reads the window afresh.
void AlarmWatch::afterSleep()
{
    if (!m_closed && m_wake.isDueWithin(dueSeconds))
        m_power.whileDue.setHeld(true);
}

bool AlarmWatch::eventFilter(QObject *watched, QEvent *event)
{
    // Before the window's own close handling, which releases the player and the playlist.
    if (watched == &m_f && event->type() == QEvent::Close)
        shutdown();
    return QObject::eventFilter(watched, event);
}

void AlarmWatch::shutdown()
{
    if (m_closed)
        return;
    m_closed = true;
    m_power.whileSet.setHeld(false);
    m_power.whileDue.setHeld(false);
    m_wake.shutdown();
    m_guard.shutdown();
    emit closing();
}
