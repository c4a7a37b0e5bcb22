// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/keepawake.h"

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QTimer>

class BusLink;
class QDBusPendingCall;

// Keeps the computer from suspending while it is held (the screen may still blank and lock;
// the alarm plays on a locked screen too): through the desktop's inhibit portal where one
// answers on the session bus and the lock allows, otherwise through systemd-logind on the
// system bus. Every call is asynchronous, so a slow or missing service never holds up the
// window. Where none answers, one line on standard error says so; where logind fails in a way
// that may pass (no answer while polkit is stalled, say), it is asked again after a growing
// pause for as long as the lock is wanted, and a line says when it holds the lock after all.
class LogindKeepAwake : public QObject, public KeepAwake
{
    Q_OBJECT

public:
    // What is held, and why.
    struct Lock
    {
        // logind's kinds of lock and its mode ("block", "delay"), as its Inhibit takes them.
        const char *what;
        const char *mode;
        const char *reason;
        // The portal holds it too: its flags know suspend, not the lid.
        bool byPortal;
        // Said when it cannot be held.
        const char *unheld;
        // Taking and letting go of it are told on standard error, for the journal.
        bool told;
    };
    // While an alarm is set: no suspend.
    static const Lock alarmSet;
    // While an alarm is set, too: a suspend that goes ahead all the same (the lid, or one that
    // ignores inhibitors) waits until the wake for the alarm is armed.
    static const Lock wakeArming;
    // From shortly before an alarm falls due until its music ends: no suspend, not even by
    // closing the lid, which logind's default LidSwitchIgnoreInhibited=yes lets suspend
    // through a lock on "sleep" alone.
    static const Lock alarmDue;

    // Both links must outlive the inhibitor. The system link is opened only when no portal
    // answers: while Qt D-Bus makes a connection, every other connection waits, so a system
    // bus that does not answer holds up nothing that does not need it.
    LogindKeepAwake(BusLink &session, BusLink &system, const Lock &lock, QObject *parent = nullptr);
    // Releases what it holds.
    ~LogindKeepAwake() override;

    void setHeld(bool held) override;
    // No question is open: what is held is what was wanted, or what could be had of it.
    bool isSettled() const;

signals:
    // A bus has become ready or a service has answered, and no question is open now.
    void settled();

private:
    enum class Step { Free, AskingPortal, NeedLogind, AskingLogind, ByPortal, ByLogind };

    // Brings what is held in line with what is wanted; runs again whenever a bus becomes
    // ready or a service answers.
    void reconcile();
    void busReady();
    void askPortal();
    void askLogind();
    // Neither service answered: the inhibitor rests until it is wanted anew.
    void giveUp();
    // Says once that the lock cannot be held, until it is held after all.
    void sayUnheld();
    void release();
    // Runs onReply with the finished call on this object's thread.
    template<typename F> void whenAnswered(const QDBusPendingCall &call, F onReply);

    BusLink &m_session;
    BusLink &m_system;
    const Lock &m_lock;
    bool m_wanted = false;
    Step m_step = Step::Free;
    QDBusObjectPath m_portalRequest;
    // logind holds its lock for as long as this descriptor stays open.
    QDBusUnixFileDescriptor m_logindLock;
    // Before logind is asked again; failures in a row that may pass.
    QTimer m_retry;
    int m_failures = 0;
    bool m_unheldSaid = false;
};
