// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QMap>
#include <QObject>

#include <sys/types.h>

// polkit's Authority: answers every CheckAuthorization with `answer`, or holds the calls
// until release(); the bus name `seat` is always allowed at once. Records each question as
// "subject-kind name action flags".
class FakePolkit final : public QDBusVirtualObject
{
public:
    enum Answer { Yes, No, Hold };
    Answer answer = Yes;
    QString seat;
    QStringList asked;
    QList<QDBusMessage> held;

    void release(bool authorized, const QDBusConnection &connection);
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &connection) override;
};

// The wake helper as a machine runs it: one system bus of the test's own, under the bus
// policy that the helper installs, with service files that start the built helper by D-Bus
// activation as nobody through setpriv (with CAP_WAKE_ALARM alone, or none), and polkit
// answered by a stand-in. Needs root.
class WakerRig
{
public:
    explicit WakerRig(bool capability);
    ~WakerRig();
    WakerRig(const WakerRig &) = delete;
    WakerRig &operator=(const WakerRig &) = delete;

    // A connection of the user's own (the bus takes its uid from the socket). It leaves
    // the bus at leave(), once the caller holds no copy of it.
    QDBusConnection user(uid_t uid, const QString &name);
    void leave(const QString &name);

    static QDBusMessage callOf(const QString &member, const QVariantList &arguments = {});
    static QDBusMessage setWakeCall(quint64 deadline);
    // The reply, waited for with the event loop turning, so that the polkit stand-in answers
    // meanwhile; an empty message when none came within 30 s.
    static QDBusMessage wait(QDBusPendingCall pending);
    QDBusMessage setWake(const QDBusConnection &c, quint64 deadline);
    QDBusMessage clearWake(const QDBusConnection &c);

    uint helperPid() const;
    // The seconds left on each CLOCK_REALTIME_ALARM timer that the helper holds.
    QList<int> kernelAlarms() const;
    // A line of the helper's /proc status ("VmRSS", "Uid", "CapEff"): its first field.
    QString helperStatus(const char *key) const;
    // User and system CPU time that the helper has used, in milliseconds.
    double helperCpuMs() const;
    bool helperRuns() const;
    // What the bus counts of the helper's connection: "MatchRules", "PeakMatchRules",
    // "PeakOutgoingBytes" (the most it held for the helper to read), ...
    QVariantMap helperStats() const;
    // What the helper has written to standard error, for the journal, since the last call.
    QString helperSaid() { return QString::fromUtf8(m_bus.errors()); }

    FakePolkit polkit;
    QDBusConnection &root() { return m_root; }

private:
    PrivateBus m_bus;
    QDBusConnection m_root;
    QStringList m_names;
};

// Microseconds since the epoch, `seconds` from now.
quint64 ahead(double seconds);

// A user's calls that keep the helper as busy as the bus lets them: connections of its own,
// each with the same number of SetWakes waiting at all times from start(), one sent as each
// is answered, until stop(). Counts the answers by their error's name (empty for a reply).
class WakerFlood : public QObject
{
public:
    WakerFlood(WakerRig &rig, uid_t uid, int connections);
    void start(int inFlight);
    void stop() { m_stopped = true; }
    qsizetype answered() const { return m_answered; }
    qsizetype waiting() const { return m_waiting; }
    QMap<QString, qsizetype> answers;

private:
    void send(const QDBusConnection &connection);

    QList<QDBusConnection> m_connections;
    bool m_stopped = false;
    qsizetype m_answered = 0;
    qsizetype m_waiting = 0;
};
