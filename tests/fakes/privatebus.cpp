// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/privatebus.h"

#include <QDBusError>
#include <QFile>

#include <csignal>

namespace {
const char config[]
    = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
} // namespace

PrivateBus::PrivateBus()
{
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QString::fromLatin1(config).arg(m_dir.path()).toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(configPath));
    file.close();
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address")});
    // The daemon prints its address once it listens.
    for (int wait = 0; wait < 3 && !m_daemon.canReadLine(); ++wait)
        m_daemon.waitForReadyRead(10000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        qFatal("dbus-daemon did not start: %s", m_daemon.readAllStandardError().constData());
}

PrivateBus::~PrivateBus()
{
    resume();
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QDBusConnection PrivateBus::connect(const QString &name) const
{
    QDBusConnection connection = QDBusConnection::connectToBus(m_address, name);
    if (!connection.isConnected())
        qFatal("cannot connect to the private bus: %s",
               qPrintable(connection.lastError().message()));
    return connection;
}

void PrivateBus::pause()
{
    ::kill(static_cast<pid_t>(m_daemon.processId()), SIGSTOP);
}

void PrivateBus::resume()
{
    ::kill(static_cast<pid_t>(m_daemon.processId()), SIGCONT);
}
