// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarmtimer.h"

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
// the bus alone. Each refused call changes nothing.
class Waker final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.wakewell.Waker")
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"io.github.wakewell.Waker\">\n"
                "    <method name=\"Arm\">\n"
                "      <arg name=\"deadline\" type=\"t\" direction=\"in\"/>\n"
                "      <arg name=\"id\" type=\"u\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Cancel\">\n"
                "      <arg name=\"id\" type=\"u\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <signal name=\"Expired\">\n"
                "      <arg name=\"id\" type=\"u\"/>\n"
                "    </signal>\n"
                "  </interface>\n")
public:
    struct Limits
    {
        std::chrono::seconds minAhead {30};
        std::chrono::seconds maxAhead {std::chrono::hours(8 * 24)};
        // How long the helper lingers holding nothing before it says it is idle.
        std::chrono::milliseconds idle {5000};
    };
    static constexpr int timersPerUser = 4;
    // Calls waiting for the bus or polkit, over all callers: a flood of connections is
    // answered at once with an error rather than queued.
    static constexpr int checksAtOnce = 32;

    Waker(const QDBusConnection &bus, const Limits &limits);

public Q_SLOTS:
    // Deadline in microseconds since the Unix epoch (UTC); the reply, once polkit has
    // answered, is the timer's id.
    Q_SCRIPTABLE uint Arm(qulonglong deadline);
    Q_SCRIPTABLE void Cancel(uint id);

Q_SIGNALS:
    // The helper has held no timer and waited for no answer for the idle time.
    void idle();

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

    QDBusConnection m_bus;
    const Limits m_limits;
    QDBusServiceWatcher m_callers;
    QTimer m_idle;
    std::map<uint, Timer> m_timers;
    std::map<quint64, Request> m_requests;
    uint m_lastId = 0;
    quint64 m_lastRequest = 0;
};
