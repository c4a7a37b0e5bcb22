// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/waketimer.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class BusLink;

// Wakes a Linux computer through a kernel alarm timer (CLOCK_REALTIME_ALARM), which the kernel
// writes into the real-time clock when the computer suspends. The program arms one itself
// where it may (it holds CAP_WAKE_ALARM); otherwise it asks Wakewell's wake helper on the
// system bus (io.github.wakewell.Waker), which holds that capability alone. Every call to the
// helper is asynchronous: a slow or missing bus never holds up the window. Where no wake can
// be had (no helper, not allowed, no real-time clock, no system bus), it says so once for its
// life: a line on standard error, and a desktop notification where a notification service
// answers on the session bus.
class KernelWake : public QObject, public WakeTimer
{
    Q_OBJECT

public:
    static constexpr const char *service = "io.github.wakewell.Waker";
    static constexpr const char *path = "/io/github/wakewell/Waker";

    // The session link must outlive the wake. The system bus is reached when the first wake
    // is asked of the helper, once mayConnect() says so: while Qt D-Bus makes a connection,
    // every other connection's traffic waits, so a system bus that does not answer would hold
    // up questions open on the session bus.
    KernelWake(BusLink &session, QString systemAddress, std::function<bool()> mayConnect,
               QObject *parent = nullptr);
    // Cancels the wake armed.
    ~KernelWake() override;

    void arm(const QDateTime &when) override;
    void cancel() override;
    // No question to the helper is open: what it holds is what was wanted, or all that it
    // would take of it.
    bool isSettled() const;

public slots:
    // mayConnect() may have changed.
    void othersSettled();

private slots:
    void expired(uint id);

private:
    enum class Way { Untried, Own, Helper };

    // The kernel timer of the program's own, where it may make one.
    void tryOwnTimer();
    void setOwnTimer();
    // Brings what the helper holds in line with what is wanted; runs again when the bus is
    // ready and when the helper answers.
    void reconcile();
    void askHelper(const QDateTime &when);
    // No wake can be had, for this reason: said once.
    void cannotWake(const QString &why);

    BusLink &m_session;
    QString m_systemAddress;
    std::function<bool()> m_mayConnect;
    std::unique_ptr<BusLink> m_system;
    Way m_way = Way::Untried;
    int m_fd = -1;
    std::optional<QDateTime> m_wanted;
    // The wake last asked of the helper (held, refused or expired since), and the helper's id
    // of it while it holds it.
    std::optional<QDateTime> m_asked;
    uint m_armedId = 0;
    bool m_asking = false;
    bool m_warned = false;
};
