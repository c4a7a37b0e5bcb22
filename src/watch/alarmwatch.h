// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/keepawake.h"
#include "watch/silenceguard.h"
#include "watch/wakeschedule.h"

#include <QObject>

#include <memory>

class WakeTimer;

// The platform's ways to keep the computer awake and to wake it.
struct MachinePower
{
    // Held while an alarm is set.
    KeepAwake &whileSet;
    // Held from shortly before an alarm falls due until the music it started ends, against a
    // closed lid too.
    KeepAwake &whileDue;
    WakeTimer &wakeTimer;
};

// Watches over a set alarm, on any desktop: the computer is kept awake while an alarm is set
// and let go when none is, woken for the alarm should it sleep all the same (WakeSchedule),
// kept awake from shortly before the alarm falls due (also when woken for it) until the music
// that it started ends, and an alarm that plays nothing is still heard (SilenceGuard), which
// also says when no sound output is there. It follows what the window tells of its alarm and
// its transport; when the window closes, before it releases its player, all end.
class AlarmWatch : public QObject
{
    Q_OBJECT

public:
    // The window's objects, what power names and the notifier must outlive the watch.
    AlarmWatch(const AlarmSetting &alarm, const TransportStatus &transport,
               TransportCommands &commands, MachinePower power, std::unique_ptr<TonePlayer> tone,
               Notifier &notifier, QObject *parent = nullptr);
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
    void holdWhileDue();
    void shutdown();

    MachinePower m_power;
    WakeSchedule m_wake;
    // From an alarm's start of the playlist until nothing plays any more.
    bool m_ringing = false;
    SilenceGuard m_guard;
    bool m_closed = false;
};
