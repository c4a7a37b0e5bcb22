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
  <type>%1</type>
  <listen>unix:path=%2/bus</listen>
  <auth>EXTERNAL</auth>
%3
</busconfig>
)";
const char allowAll[] = R"(  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>)";
} // namespace

PrivateBus::PrivateBus() : PrivateBus(QStringLiteral("session"), QString::fromLatin1(allowAll)) { }

PrivateBus::PrivateBus(const QString &type, const QString &policy)
{
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QString::fromLatin1(config).arg(type, m_dir.path(), policy).toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(configPath));
    file.close();
    // The services it starts find it as their bus of its type; a system bus serves every user.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_%1_BUS_ADDRESS").arg(type.toUpper()),
                       QStringLiteral("unix:path=%1/bus").arg(m_dir.path()));
    m_daemon.setProcessEnvironment(environment);
    if (type == QLatin1String("system"))
        QFile::setPermissions(m_dir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                  | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                  | QFile::ExeOther);
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

QByteArray PrivateBus::errors()
{
    // What is in the pipe already, not only what the event loop has read of it.
    m_daemon.setReadChannel(QProcess::StandardError);
    while (m_daemon.waitForReadyRead(0)) { }
    return m_daemon.readAllStandardError();
}

void PrivateBus::pause()
{
    ::kill(static_cast<pid_t>(m_daemon.processId()), SIGSTOP);
}

void PrivateBus::resume()
{
    ::kill(static_cast<pid_t>(m_daemon.processId()), SIGCONT);
}
