// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/waketimer.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class AlarmTimer;
class BusLink;
class QDBusError;
class QDBusServiceWatcher;
class WakerProxy;

// Wakes a Linux computer through a kernel alarm timer (CLOCK_REALTIME_ALARM), which the kernel
// writes into the real-time clock when the computer suspends. The program arms one itself
// where it may (it holds CAP_WAKE_ALARM); otherwise it asks Wakewell's wake helper on the
// system bus (io.github.wakewell.Waker), which holds that capability alone and one wake for
// this program, set and cleared by calls that may be repeated. Every call to the helper is
// asynchronous: a slow or missing bus never holds up the window. A call that fails for a
// while (no reply, the helper leaving or restarting, polkit not answering it, the bus's
// limits) is made again after a growing pause, then as a suspend begins; should the helper
// go away while it holds the wake, the wake is asked again. Each wake armed is said on
// standard error. Where an alarm gets no wake (no helper, not allowed, no real-time clock,
// no system bus), it is said once for that alarm and reason: a line on standard error, and a
// desktop notification where a notification service answers on the session bus.
class KernelWakeTimer : public QObject, public WakeTimer
{
    Q_OBJECT

public:
    // The pauses before each call made again, doubled from the first; then it rests until the
    // wake changes, the helper appears on the bus or the computer goes to sleep.
    static constexpr int firstRetryMs = 500;
    static constexpr int retries = 5;

    // Both links must outlive the wake. The system link is opened when the first wake is
    // asked of the helper, once mayConnect() says so: while Qt D-Bus makes a connection,
    // every other connection's traffic waits, so a system bus that does not answer would hold
    // up questions open on the session bus.
    KernelWakeTimer(BusLink &session, BusLink &system, std::function<bool()> mayConnect,
                    QObject *parent = nullptr);
    // Cancels the wake armed.
    ~KernelWakeTimer() override;

    void arm(const QDateTime &when, const QDateTime &alarm) override;
    void cancel() override;
    // No question to the helper is open and none waits to be asked again: what it holds is
    // what was wanted, or all that it would take of it.
    bool isSettled() const;

signals:
    // An answer or the bus has made the wake settled.
    void settled();

public slots:
    // mayConnect() may have changed.
    void othersSettled();
    // A suspend is waiting: a call that waits out a pause, or rests after failing for a
    // while, is made now.
    void hurry();

private:
    enum class Way { Untried, Own, Helper };
    struct Wake
    {
        QDateTime when;
        QDateTime alarm;
    };

    // The kernel timer of the program's own, where it may make one.
    void setOwnTimer();
    void systemReady();
    // What the helper is to hold: the wake wanted, unless the helper refused it for good or
    // it has fired.
    std::optional<QDateTime> target() const;
    // Brings what the helper holds in line with target(); runs again when the bus is ready,
    // when the helper answers or comes or goes, and when a pause before a call ends.
    void reconcile();
    void askHelper(const std::optional<QDateTime> &wake);
    void helperAnswered(const QDBusError &error);
    void helperGone();
    void helperCame();
    void fired(qulonglong deadline);
    // The wake for this alarm cannot be had, for this reason: said once for both, and not
    // confirmed.
    void cannotWake(const QString &why);
    // The wake wanted is held: said, and confirmed.
    void armedSaid(const char *how);

    BusLink &m_session;
    BusLink &m_system;
    std::function<bool()> m_mayConnect;
    std::unique_ptr<WakerProxy> m_helper;
    std::unique_ptr<QDBusServiceWatcher> m_helperWatch;
    Way m_way = Way::Untried;
    std::unique_ptr<AlarmTimer> m_own;
    std::optional<Wake> m_wanted;
    // What the helper holds for this program, as far as its answers tell: unknown after a
    // call that failed, which it may have carried out all the same (its reply lost).
    std::optional<QDateTime> m_held;
    bool m_heldKnown = true;
    // What the call in flight asks the helper to hold.
    std::optional<QDateTime> m_sent;
    bool m_asking = false;
    // The wake that the helper refused for good (asked again of a helper that comes anew),
    // and the one that last fired: neither is asked again.
    std::optional<QDateTime> m_refused;
    std::optional<QDateTime> m_fired;
    // The helper has been on the bus: a service unknown now is one starting again.
    bool m_helperSeen = false;
    // Failed calls in a row, and the pause after the last; past the retries, no call until
    // the wake changes, the helper comes or a suspend begins.
    int m_failures = 0;
    QTimer m_retry;
    bool m_resting = false;
    // Alarm (ms since the epoch) and reason of each lack of a wake said.
    QSet<QString> m_said;
};
