// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"
#include "platform/linux/buslink.h"
#include "platform/linux/desktopnotifier.h"
#include "platform/linux/kernelwaketimer.h"
#include "platform/linux/logindkeepawake.h"
#include "platform/linux/mprismediakeys.h"
#include "platform/linux/sleepwatch.h"

// Wakewell on a Linux desktop, beside the window, over D-Bus: the inhibitors as the ways to
// keep the computer awake, the kernel's alarm timers as the way to wake it, logind's word
// of each suspend and resume and the desktop's notifications as the way to tell what needs no
// answer; and the MPRIS service of the media keys. One connection to each
// bus serves all of them. It follows what the window tells of its transport, and changes it
// only through the window's commands; made after the window and destroyed before it.
class DesktopIntegration : public Desktop
{
    Q_OBJECT

public:
    DesktopIntegration(const TransportStatus &transport, TransportCommands &commands,
                       const BusAddresses &buses, DriveTable drives, QObject *parent = nullptr);

    MachinePower power() override;
    // GStreamer, with the plugins that a song plays through.
    void prepareToPlay() override;
    Notifier &notifier() override { return m_notifier; }

    const LogindKeepAwake &inhibitor() const { return m_inhibitor; }
    const LogindKeepAwake &dueInhibitor() const { return m_due; }
    const KernelWakeTimer &wake() const { return m_wake; }
    const SleepWatch &sleepWatch() const { return m_sleep; }

private:
    BusLink m_session;
    BusLink m_system;
    DesktopNotifier m_notifier {m_session};
    LogindKeepAwake m_inhibitor;
    LogindKeepAwake m_due;
    KernelWakeTimer m_wake;
    SleepWatch m_sleep;
    MprisMediaKeys m_mpris;
};
