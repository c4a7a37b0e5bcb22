// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "waker/alarmtimer.h"

#include <QCache>
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

// The wake helper's service on the system bus: one kernel alarm timer per caller (a bus
// connection), set and cleared by calls that are safe to repeat, for callers that polkit
// allows, dropped when the caller leaves the bus. Everything a caller sends is checked before
// it is believed, and who the caller is comes from the bus alone. The work of a call is
// bounded whatever others send: the caller's user is known before anything is kept for the
// call, and a user's connections may hold or be setting four wakes at the most, so that a
// user's flood of calls over however many connections keeps four entries and four questions
// to polkit, and every other call of that user is answered at once. A refused call changes
// nothing. Each wake armed, cancelled, fired or refused is said on standard error, which
// systemd writes to the journal. Its D-Bus face is WakerAdaptor, generated from
// io.github.wakewell.Waker.xml.
class Waker final : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    struct Limits
    {
        // The kernel refuses to suspend with an alarm timer less than 2 s away: a wake asked
        // as a suspend begins must still be taken.
        std::chrono::seconds minAhead {5};
        std::chrono::seconds maxAhead {std::chrono::hours(8 * 24)};
        // How long polkit and the bus may take to answer the helper's questions: well within
        // the 25 s that a caller waits for its reply, so that it hears why.
        std::chrono::milliseconds answer {10000};
        // How long the helper lingers holding nothing before it leaves the bus, and how long
        // it answers what was sent before it left.
        std::chrono::milliseconds idle {5000};
        std::chrono::milliseconds linger {1000};
    };
    // Connections of one user that hold a wake or are setting one.
    static constexpr int wakesPerUser = 4;
    // Connections kept at once: each is watched through one match rule on the helper's bus
    // connection, of the 512 that the bus allows it.
    static constexpr int callersAtMost = 256;

    Waker(const QDBusConnection &bus, const Limits &limits);

public Q_SLOTS:
    // Deadline in microseconds since the Unix epoch (UTC); answered once polkit has.
    void SetWake(qulonglong deadline);
    void ClearWake();

Q_SIGNALS:
    // Holding nothing for the idle time, the helper has released its name: from now on a
    // call to the name starts another helper. Calls sent before are answered meanwhile.
    void leaving();
    // The linger after leaving() is over: the helper may exit.
    void done();

private:
    // A connection that holds a wake or has asked for one; watched on the bus for as long as
    // it is kept.
    struct Caller
    {
        uint uid = 0;
        std::unique_ptr<AlarmTimer> wake;
        quint64 wakeDeadline = 0;
        // Tells a fired wake from one that has since taken its place.
        quint64 wakeSerial = 0;
        // polkit has been asked about this caller and has not answered yet: one question at
        // a time, whatever the caller sends meanwhile.
        bool checking = false;
        // The last SetWake sent, which waits for that answer.
        std::optional<QDBusMessage> call;
        quint64 callDeadline = 0;
    };
    using Callers = std::map<QString, Caller>;

    bool inRange(quint64 deadline) const;
    // Who the bus says the connection is: asked while the call waits, unless known.
    std::optional<uint> userOf(const QString &name, QString *why);
    void polkitAnswered(const QString &name, const QDBusMessage &answer);
    void arm(const QString &name, Caller &caller, const QDBusMessage &call, quint64 deadline);
    void refuse(const QDBusMessage &call, std::optional<uint> uid, quint64 deadline,
                const char *error, const QString &text);
    void fired(const QString &name, quint64 serial);
    void callerGone(const QString &name);
    // Drops a caller that holds nothing and waits for nothing.
    void forgetIdle(Callers::iterator caller);
    void erase(Callers::iterator caller);
    void settle();
    void leave();
    // One line for the journal about a wake.
    void say(const char *what, const QString &name, std::optional<uint> uid, quint64 deadline,
             const QString &why = {});
    void sayRefusalsCounted();

    QDBusConnection m_bus;
    const Limits m_limits;
    QDBusServiceWatcher m_watch;
    QTimer m_idle;
    bool m_leaving = false;
    Callers m_callers;
    std::map<uint, int> m_perUser;
    // The users of the connections that called last, so that a connection's flood of calls
    // costs the bus one question. A bus never gives a connection's name to another.
    QCache<QString, uint> m_users {1024};
    quint64 m_lastSerial = 0;
    // Refusals not said yet, per user (the user unknown as nullopt), since the first said.
    std::map<std::optional<uint>, int> m_refusalsUnsaid;
    QTimer m_refusalsQuiet;
};
