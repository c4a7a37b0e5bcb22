// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/keepawake.h"
#include "platform/linux/logindkeepawake.h"

#include <QObject>

#include <functional>

class BusLink;
class KernelWakeTimer;

// Sees that a Linux computer never sleeps without a wake for the alarm that is set: a suspend
// (the desktop's idle policy, the lid, or one that ignores inhibitors) is told by
// systemd-logind's PrepareForSleep, and is held back by a "sleep" delay lock until the wake
// is armed. logind waits for that lock at most InhibitDelayMaxSec (5 s by default). The delay
// lock is taken again on resuming.
class SleepWatch : public QObject, public KeepAwake
{
    Q_OBJECT

public:
    // All must outlive the watch. The system link is opened for the delay lock once
    // mayConnect() says so (see KernelWakeTimer).
    SleepWatch(BusLink &session, BusLink &system, KernelWakeTimer &wake,
               std::function<bool()> mayConnect, QObject *parent = nullptr);

    // Held while an alarm is set.
    void setHeld(bool held) override;
    bool isSettled() const { return m_delay.isSettled(); }

public slots:
    // mayConnect() may have changed.
    void othersSettled();

signals:
    // A suspend begins: what is to wake the computer must be armed now.
    void suspending();
    // The computer has resumed.
    void resumed();

private slots:
    void prepareForSleep(bool start);

private:
    void systemReady();
    // Lets the suspend go ahead once the wake is armed.
    void letGoOnceArmed();
    void holdDelay();

    BusLink &m_system;
    KernelWakeTimer &m_wake;
    std::function<bool()> m_mayConnect;
    LogindKeepAwake m_delay;
    bool m_wanted = false;
    bool m_suspending = false;
};
