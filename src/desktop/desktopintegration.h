// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/alarmwatch.h"
#include "desktop/buslink.h"
#include "desktop/inhibitor.h"
#include "desktop/kernelwake.h"
#include "desktop/mprisservice.h"
#include "desktop/sleepwatch.h"

#include <QObject>

#include <memory>

// Wakewell on a Linux desktop, beside the window, over D-Bus: the alarm watch with the
// inhibitors as the ways to keep the computer awake, the kernel's alarm timers as the way to
// wake it and logind's word of each suspend and resume, and the MPRIS service of the media
// keys. One connection to each bus serves all of them. It follows what the window tells of its
// alarm and its transport, and changes them only through the window's commands; made after
// the window and destroyed before it.
class DesktopIntegration : public QObject
{
    Q_OBJECT

public:
    DesktopIntegration(const AlarmSetting &alarm, const TransportStatus &transport,
                       TransportCommands &commands, const BusAddresses &buses, DriveTable drives,
                       std::unique_ptr<TonePlayer> tone, QObject *parent = nullptr);

    const Inhibitor &inhibitor() const { return m_inhibitor; }
    const Inhibitor &dueInhibitor() const { return m_due; }
    const KernelWake &wake() const { return m_wake; }
    const SleepWatch &sleepWatch() const { return m_sleep; }

private:
    BusLink m_session;
    BusLink m_system;
    Inhibitor m_inhibitor;
    Inhibitor m_due;
    KernelWake m_wake;
    SleepWatch m_sleep;
    MprisService m_mpris;
    AlarmWatch m_watch;
};
