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
// answer, and a bus that does not answer must never hold up the window. The connection is
// closed when the link is destroyed.
class BusLink : public QObject
{
    Q_OBJECT

public:
    // An empty address is no bus: the link becomes ready, unconnected.
    explicit BusLink(const QString &address, QObject *parent = nullptr);
    ~BusLink() override;

    // Connecting has ended, well or not; ready() has been emitted.
    bool isReady() const { return m_ready; }
    bool isConnected() const;
    QDBusConnection connection() const;

signals:
    // Emitted once, on the link's thread.
    void ready();

private:
    QString m_name;
    bool m_ready = false;
};
