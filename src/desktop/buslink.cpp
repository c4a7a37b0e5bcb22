#include "desktop/buslink.h"

#include <QFileInfo>
#include <QPointer>
#include <QThread>

BusAddresses BusAddresses::fromEnvironment()
{
    BusAddresses buses {qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                        qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")};
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (buses.session.isEmpty() && !runtimeDir.isEmpty()
        && QFileInfo::exists(runtimeDir + QStringLiteral("/bus")))
        buses.session = QStringLiteral("unix:path=") + runtimeDir + QStringLiteral("/bus");
    if (buses.system.isEmpty())
        buses.system = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket");
    return buses;
}

BusLink::BusLink(const QString &address, QObject *parent) : QObject(parent)
{
    static int links = 0;
    m_name = QStringLiteral("wakewell-%1").arg(++links);
    QThread *thread = QThread::create([address, name = m_name] {
        if (!address.isEmpty())
            QDBusConnection::connectToBus(address, name);
    });
    // The thread object lives on this thread, so this runs here once the thread has ended.
    // A link destroyed before then leaves the connection to be closed here.
    connect(thread, &QThread::finished, thread, [thread, self = QPointer(this), name = m_name] {
        thread->deleteLater();
        if (!self) {
            QDBusConnection::disconnectFromBus(name);
            return;
        }
        self->m_ready = true;
        emit self->ready();
    });
    thread->start();
}

BusLink::~BusLink()
{
    if (m_ready)
        QDBusConnection::disconnectFromBus(m_name);
}

bool BusLink::isConnected() const
{
    return m_ready && connection().isConnected();
}

QDBusConnection BusLink::connection() const
{
    return QDBusConnection(m_name);
}
