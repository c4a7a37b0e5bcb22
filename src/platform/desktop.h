// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/keepawake.h"
#include "platform/notifier.h"
#include "platform/waketimer.h"

#include <QObject>

// The platform's ways to keep the computer awake and to wake it.
struct MachinePower
{
    // Held while an alarm is set and its wake is not confirmed: the computer does not go to
    // sleep on its own.
    KeepAwake &withoutWake;
    // Held while an alarm is set: a sleep that comes all the same (the lid, a suspend that
    // ignores the locks) waits until the wake is armed, where the system lets a program hold
    // a sleep back.
    KeepAwake &whileSet;
    // Held from shortly before an alarm falls due until the music it started ends, against a
    // closed lid too.
    KeepAwake &whileDue;
    WakeTimer &wakeTimer;
};

// The desktop's side of the machine, beside the window: what an alarm needs of the computer,
// and word of its sleep. Made once the window is on screen; the alarm watch follows it.
class Desktop : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // What it holds lives as long as the desktop.
    virtual MachinePower power() = 0;
    // An alarm has been set: what plays its songs is started now, off the window's thread, so
    // that its first song, perhaps right after a wake, does not wait for it. Harmless when
    // repeated; never waits.
    virtual void prepareToPlay() = 0;
    // Tells the user what needs no answer, the way this desktop shows such news.
    virtual Notifier &notifier() = 0;

signals:
    // A sleep begins: what is to wake the computer must be armed now.
    void suspending();
    // The computer has woken.
    void resumed();
};
