// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/desktopintegration.h"

DesktopIntegration::DesktopIntegration(frmPlayer &f, const BusAddresses &buses, DriveTable drives,
                                       std::unique_ptr<TonePlayer> tone, QObject *parent)
    : QObject(parent), m_session(buses.session), m_inhibitor(m_session, buses.system),
      m_mpris(f, m_session, std::move(drives), QStringLiteral(WAKEWELL_APP_ID)),
      m_watch(f, m_inhibitor, std::move(tone))
{
    connect(&m_watch, &AlarmWatch::closing, &m_mpris, &MprisService::shutdown);
}
