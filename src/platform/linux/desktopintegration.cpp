// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/desktopintegration.h"

#include "platform/host/machine.h"
#include "platform/linux/gstreamer.h"

DesktopIntegration::DesktopIntegration(const AlarmSetting &alarm, const TransportStatus &transport,
                                       TransportCommands &commands, const BusAddresses &buses,
                                       DriveTable drives, std::unique_ptr<TonePlayer> tone,
                                       QObject *parent)
    : QObject(parent), m_session(buses.session), m_system(buses.system, BusLink::Start::WhenOpened),
      m_inhibitor(m_session, m_system, LogindKeepAwake::alarmSet),
      m_due(m_session, m_system, LogindKeepAwake::alarmDue),
      m_wake(m_session, m_system, [this] { return m_inhibitor.isSettled(); }),
      m_sleep(m_session, m_system, m_inhibitor, m_wake, [this] { return m_inhibitor.isSettled(); }),
      m_mpris(transport, commands, m_session, std::move(drives), QStringLiteral(WAKEWELL_APP_ID)),
      m_watch(alarm, transport, commands, {m_sleep, m_due, m_wake}, std::move(tone), m_notifier)
{
    connect(&m_inhibitor, &LogindKeepAwake::settled, &m_wake, &KernelWakeTimer::othersSettled);
    connect(&m_inhibitor, &LogindKeepAwake::settled, &m_sleep, &SleepWatch::othersSettled);
    connect(&m_sleep, &SleepWatch::suspending, &m_watch, &AlarmWatch::beforeSleep);
    connect(&m_sleep, &SleepWatch::resumed, &m_watch, &AlarmWatch::afterSleep);
}

void Machine::prepareApplication() { }

std::unique_ptr<QObject> Machine::startDesktop(const AlarmSetting &alarm,
                                               const TransportStatus &transport,
                                               TransportCommands &commands)
{
    // GStreamer starts now, so that an alarm's first song never waits for it.
    gstreamer::startAhead();
    return std::make_unique<DesktopIntegration>(
        alarm, transport, commands, BusAddresses::fromEnvironment(), m_drives, makeTone());
}
