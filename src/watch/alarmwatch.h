// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"
#include "watch/silenceguard.h"
#include "watch/wakeschedule.h"

#include <QObject>

#include <memory>

// Watches over a set alarm, on any desktop: the computer is woken for the alarm
// (WakeSchedule), and kept from sleeping on its own while an alarm is set only as long as that
// wake is not confirmed: a computer that will wake for its alarm may sleep until then, one
// that may not stays awake. It is kept awake from shortly before the alarm falls due (also
// when woken for it) until the music that it started ends, and an alarm that plays nothing is
// still heard (SilenceGuard), which also says when no sound output is there. The player is
// started, and the outputs asked, as soon as an alarm is set. It follows what the window tells of
// its alarm and its transport, and the desktop's word of each sleep; when the window closes, before
// it releases its player, all end.
class AlarmWatch : public QObject
{
    Q_OBJECT

public:
    // The window's objects and the desktop must outlive the watch.
    AlarmWatch(const AlarmSetting &alarm, const TransportStatus &transport,
               TransportCommands &commands, Desktop &desktop, std::unique_ptr<TonePlayer> tone,
               QObject *parent = nullptr);
    ~AlarmWatch() override;

    // How long before an alarm falls due the computer is kept awake against a closed lid:
    // more than the wake's lead, so that it stays awake once woken for the alarm, and short
    // enough that a lid closed a few minutes before still puts it to sleep.
    static constexpr int dueSeconds = 120;

    // The computer is going to sleep: a wake is armed for the alarm, however near it is.
    void beforeSleep();
    // The computer has woken: kept awake now if the alarm is near.
    void afterSleep();

private:
    void setChanged();
    void watchOutputs();
    void holdWhileSet();
    void holdWhileDue();
    void shutdown();

    const AlarmSetting &m_alarm;
    Desktop &m_desktop;
    MachinePower m_power;
    WakeSchedule m_wake;
    // From an alarm's start of the playlist until nothing plays any more.
    bool m_ringing = false;
    SilenceGuard m_guard;
    bool m_outputsWatched = false;
    bool m_closed = false;
};
