// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/sleepwatch.h"

#include "platform/linux/buslink.h"
#include "platform/linux/kernelwaketimer.h"

#include <cstdio>

SleepWatch::SleepWatch(BusLink &session, BusLink &system, KernelWakeTimer &wake,
                       std::function<bool()> mayConnect, QObject *parent)
    : QObject(parent), m_system(system), m_wake(wake), m_mayConnect(std::move(mayConnect)),
      m_delay(session, system, LogindKeepAwake::wakeArming)
{
    connect(&m_system, &BusLink::ready, this, &SleepWatch::systemReady);
    connect(&m_wake, &KernelWakeTimer::settled, this, &SleepWatch::letGoOnceArmed);
}

// Decided once the caller's other changes are made: a block lock asked at the same time is
// asked of the portal first, and the system bus is then not opened while it answers.
void SleepWatch::setHeld(bool held)
{
    m_wanted = held;
    QMetaObject::invokeMethod(this, &SleepWatch::holdDelay, Qt::QueuedConnection);
}

void SleepWatch::othersSettled()
{
    holdDelay();
}

void SleepWatch::holdDelay()
{
    // Through a suspend the lock stays let go, until the computer has resumed.
    if (!m_suspending)
        m_delay.setHeld(m_wanted && (m_system.isReady() || m_mayConnect()));
}

void SleepWatch::systemReady()
{
    if (m_system.isConnected())
        m_system.connection().connect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
            this, SLOT(prepareForSleep(bool)));
    holdDelay();
}

void SleepWatch::prepareForSleep(bool start)
{
    if (start) {
        std::fprintf(stderr, "Wakewell: the computer is going to sleep\n");
        m_suspending = true;
        emit suspending();
        // logind waits a few seconds at most.
        m_wake.hurry();
        letGoOnceArmed();
    } else {
        std::fprintf(stderr, "Wakewell: the computer has woken\n");
        m_suspending = false;
        holdDelay();
        emit resumed();
    }
}

void SleepWatch::letGoOnceArmed()
{
    if (m_suspending && m_wake.isSettled())
        m_delay.setHeld(false);
}
