// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/desktopintegration.h"

DesktopIntegration::DesktopIntegration(frmPlayer &f, const BusAddresses &buses, DriveTable drives,
                                       std::unique_ptr<TonePlayer> tone, QObject *parent)
    : QObject(parent), m_session(buses.session),
      m_inhibitor(m_session, buses.system, Inhibitor::alarmSet),
      m_ringing(m_session, buses.system, Inhibitor::alarmRinging),
      m_wake(m_session, buses.system, [this] { return m_inhibitor.isSettled(); }),
      m_mpris(f, m_session, std::move(drives), QStringLiteral(WAKEWELL_APP_ID)),
      m_watch(f, {m_inhibitor, m_ringing, m_wake}, std::move(tone))
{
    connect(&m_watch, &AlarmWatch::closing, &m_mpris, &MprisService::shutdown);
    connect(&m_inhibitor, &Inhibitor::settled, &m_wake, &KernelWake::othersSettled);
}
