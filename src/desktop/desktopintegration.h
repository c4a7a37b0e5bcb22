// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/alarmwatch.h"
#include "desktop/buslink.h"
#include "desktop/inhibitor.h"
#include "desktop/kernelwake.h"
#include "desktop/mprisservice.h"

#include <QObject>

#include <memory>

class frmPlayer;

// Wakewell on a Linux desktop, beside the window, over D-Bus: the alarm watch with the
// inhibitors as the ways to keep the computer awake and the kernel's alarm timers as the way to
// wake it, and the MPRIS service of the media keys. It
// reads the window's state after its handlers and changes it only through them; made after the
// window and destroyed before it.
class DesktopIntegration : public QObject
{
    Q_OBJECT

public:
    DesktopIntegration(frmPlayer &f, const BusAddresses &buses, DriveTable drives,
                       std::unique_ptr<TonePlayer> tone, QObject *parent = nullptr);

    const Inhibitor &inhibitor() const { return m_inhibitor; }
    const Inhibitor &ringingInhibitor() const { return m_ringing; }
    const KernelWake &wake() const { return m_wake; }

private:
    BusLink m_session;
    Inhibitor m_inhibitor;
    Inhibitor m_ringing;
    KernelWake m_wake;
    MprisService m_mpris;
    AlarmWatch m_watch;
};
