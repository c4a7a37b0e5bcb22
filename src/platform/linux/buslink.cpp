// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/buslink.h"

#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>

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

namespace {
// The links whose connection is being made now, on any thread.
std::atomic<int> connecting = 0;
} // namespace

BusLink::BusLink(const QString &address, Start start, QObject *parent)
    : QObject(parent), m_address(address), m_connection(QString())
{
    static int links = 0;
    m_name = QStringLiteral("wakewell-%1").arg(++links);
    if (start == Start::Now)
        open();
}

void BusLink::open()
{
    if (m_opened)
        return;
    m_opened = true;
    // Made on the thread, handed over here once it has ended.
    auto made = std::make_shared<QDBusConnection>(QString());
    ++connecting;
    QThread *thread = QThread::create([address = m_address, name = m_name, made] {
        if (!address.isEmpty())
            *made = QDBusConnection::connectToBus(address, name);
        --connecting;
    });
    // The thread object lives on this thread, so this runs here once the thread has ended.
    connect(thread, &QThread::finished, thread,
            [thread, self = QPointer(this), name = m_name, made] {
                thread->deleteLater();
                if (!self) {
                    close(name);
                    return;
                }
                self->m_connection = *made;
                self->m_ready = true;
                emit self->ready();
            });
    thread->start();
}

BusLink::~BusLink()
{
    if (m_ready)
        close(m_name);
}

void BusLink::close(const QString &name)
{
    if (connecting == 0)
        QDBusConnection::disconnectFromBus(name);
}

bool BusLink::isConnected() const
{
    return m_ready && m_connection.isConnected();
}
