// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// Where the two buses are: the addresses libdbus itself would use.
struct BusAddresses
{
    QString session; // empty: there is no session bus
    QString system;

    // DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus where that socket exists;
    // DBUS_SYSTEM_BUS_ADDRESS, else the system bus's standard socket.
    static BusAddresses fromEnvironment();
};

// One connection to a bus, made on a thread of its own: connecting waits for the bus to
// answer, and a bus that does not answer must never hold up the window. One link is shared by
// all that use its bus. Qt D-Bus holds a lock
// of all its connections while one is being made, so the link keeps its connection rather
// than look it up by name, and it closes it when destroyed only while no link is connecting;
// otherwise the connection stays open until the program ends.
class BusLink : public QObject
{
    Q_OBJECT

public:
    enum class Start { Now, WhenOpened };
    // An empty address is no bus: the link becomes ready, unconnected. While Qt D-Bus makes a
    // connection, every other connection's traffic waits: a link started WhenOpened connects
    // only once a user of it calls open().
    explicit BusLink(const QString &address, Start start = Start::Now, QObject *parent = nullptr);
    ~BusLink() override;

    // Starts connecting, unless it has started already.
    void open();

    // Connecting has ended, well or not; ready() has been emitted.
    bool isReady() const { return m_ready; }
    bool isConnected() const;
    QDBusConnection connection() const { return m_connection; }

signals:
    // Emitted once, on the link's thread.
    void ready();

private:
    // Closes the named connection, unless that could wait for a bus that does not answer.
    static void close(const QString &name);

    QString m_address;
    QString m_name;
    QDBusConnection m_connection;
    bool m_opened = false;
    bool m_ready = false;
};
