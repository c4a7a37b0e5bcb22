// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "waker/alarmtimer.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

// The wake helper's service on the system bus: arms kernel alarm timers for callers that
// polkit allows, at most a few per user, each dropped when its caller leaves the bus.
// Everything a caller sends is checked before it is believed; who the caller is comes from
// the bus alone, and a user's count is checked before polkit is asked, so that one user's
// flood of calls, over however many connections, leaves every other user's calls alone. Each
// refused call changes nothing. Its D-Bus face is WakerAdaptor, generated from
// io.github.wakewell.Waker.xml.
class Waker final : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    static constexpr const char *service = "io.github.wakewell.Waker";
    static constexpr const char *path = "/io/github/wakewell/Waker";

    struct Limits
    {
        // The kernel refuses to suspend with an alarm timer less than 2 s away: a wake asked
        // as a suspend begins must still be taken.
        std::chrono::seconds minAhead {5};
        std::chrono::seconds maxAhead {std::chrono::hours(8 * 24)};
        // How long the helper lingers holding nothing before it leaves the bus, and how long
        // it answers what was sent before it left.
        std::chrono::milliseconds idle {5000};
        std::chrono::milliseconds linger {1000};
    };
    // Timers held and calls past the check of the user, per user; calls whose user the bus
    // has not told yet, per connection.
    static constexpr int timersPerUser = 4;

    Waker(const QDBusConnection &bus, const Limits &limits);

public Q_SLOTS:
    // Deadline in microseconds since the Unix epoch (UTC); the reply, once polkit has
    // answered, is the timer's id.
    uint Arm(qulonglong deadline);
    void Cancel(uint id);

Q_SIGNALS:
    // Holding nothing for the idle time, the helper has released its name: from now on a
    // call to the name starts another helper. Calls sent before are answered meanwhile.
    void leaving();
    // The linger after leaving() is over: the helper may exit.
    void done();

private:
    struct Timer
    {
        QString owner;
        uint uid;
        std::unique_ptr<AlarmTimer> alarm;
    };
    // An Arm being checked: its uid is known once the bus has answered.
    struct Request
    {
        QDBusMessage call;
        quint64 deadline;
        std::optional<uint> uid;
    };
    using Step = void (Waker::*)(quint64 request, const QDBusMessage &answer);

    bool inRange(quint64 deadline) const;
    int checksOf(const QString &caller) const;
    int heldBy(uint uid) const;
    void ask(const QDBusMessage &query, quint64 request, Step next);
    void userKnown(quint64 request, const QDBusMessage &answer);
    void polkitAnswered(quint64 request, const QDBusMessage &answer);
    void arm(quint64 request);
    void refuse(quint64 request, const QString &error, const QString &text);
    void expire(uint id);
    void callerGone(const QString &name);
    void settle();
    void leave();
    // An id that no timer has now, unguessable: it tells nothing of other callers' timers.
    uint freshId() const;

    QDBusConnection m_bus;
    const Limits m_limits;
    QDBusServiceWatcher m_callers;
    QTimer m_idle;
    bool m_leaving = false;
    std::map<uint, Timer> m_timers;
    std::map<quint64, Request> m_requests;
    quint64 m_lastRequest = 0;
};
