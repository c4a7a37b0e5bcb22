// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/desktopintegration.h"

#include "platform/host/machine.h"
#include "platform/linux/soundmodule.h"

DesktopIntegration::DesktopIntegration(const TransportStatus &transport,
                                       TransportCommands &commands, const BusAddresses &buses,
                                       DriveTable drives, QObject *parent)
    : Desktop(parent), m_session(buses.session), m_system(buses.system, BusLink::Start::WhenOpened),
      m_inhibitor(m_session, m_system, LogindKeepAwake::alarmSet),
      m_due(m_session, m_system, LogindKeepAwake::alarmDue),
      m_wake(m_session, m_system, [this] { return m_inhibitor.isSettled(); }),
      m_sleep(m_session, m_system, m_wake, [this] { return m_inhibitor.isSettled(); }),
      m_mpris(transport, commands, m_session, std::move(drives), QStringLiteral(WAKEWELL_APP_ID))
{
    connect(&m_inhibitor, &LogindKeepAwake::settled, &m_wake, &KernelWakeTimer::othersSettled);
    connect(&m_inhibitor, &LogindKeepAwake::settled, &m_sleep, &SleepWatch::othersSettled);
    connect(&m_sleep, &SleepWatch::suspending, this, &Desktop::suspending);
    connect(&m_sleep, &SleepWatch::resumed, this, &Desktop::resumed);
}

MachinePower DesktopIntegration::power()
{
    return {m_inhibitor, m_sleep, m_due, m_wake};
}

void DesktopIntegration::prepareToPlay()
{
    SoundModule::loadAhead();
}

void Machine::prepareApplication() { }

std::unique_ptr<Desktop> Machine::startDesktop(const TransportStatus &transport,
                                               TransportCommands &commands)
{
    return std::make_unique<DesktopIntegration>(transport, commands,
                                                BusAddresses::fromEnvironment(), m_drives);
}
