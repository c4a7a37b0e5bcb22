// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/logindkeepawake.h"

#include "platform/linux/buslink.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {
// How soon a lock that logind refused during a suspend or resume is asked again.
constexpr int inProgressRetryMs = 250;
// The pauses before a lock is asked again after any other failure that may pass, doubled from
// the first up to the last, for as long as it is wanted: logind asks polkit before it grants
// a lock, and while polkitd is stopped or restarting no lock is granted.
constexpr int firstRetryMs = 1000;
constexpr int lastRetryMs = 60000;
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
// The portal's flag 4: suspend. Not 8, idle: the screen may blank and lock all night while
// the computer stays awake for the alarm.
constexpr uint portalSuspend = 4;

// A failure that asking again will meet again: no logind on the bus, or not one that takes
// locks.
bool lasting(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::InvalidArgs:
    case QDBusError::InvalidSignature:
    case QDBusError::NotSupported:
        return true;
    default:
        return false;
    }
}
} // namespace

const LogindKeepAwake::Lock LogindKeepAwake::alarmSet {
    "sleep",
    "block",
    "An alarm is set",
    true,
    "neither an inhibit portal nor systemd-logind answered; the computer may sleep while an "
    "alarm is set",
    false};
const LogindKeepAwake::Lock LogindKeepAwake::wakeArming {
    "sleep",
    "delay",
    "The wake for an alarm is being armed",
    false,
    "systemd-logind did not answer; a suspend may not wait for the alarm's wake to be armed",
    false};
const LogindKeepAwake::Lock LogindKeepAwake::alarmDue {
    "sleep:handle-lid-switch",
    "block",
    "An alarm is due",
    false,
    "systemd-logind did not answer; closing the lid may suspend the computer while an alarm "
    "is due or rings",
    true};

LogindKeepAwake::LogindKeepAwake(BusLink &session, BusLink &system, const Lock &lock,
                                 QObject *parent)
    : QObject(parent), m_session(session), m_system(system), m_lock(lock)
{
    connect(&m_session, &BusLink::ready, this, &LogindKeepAwake::busReady);
    connect(&m_system, &BusLink::ready, this, &LogindKeepAwake::busReady);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LogindKeepAwake::reconcile);
}

LogindKeepAwake::~LogindKeepAwake()
{
    release();
}

void LogindKeepAwake::setHeld(bool held)
{
    if (held == m_wanted)
        return;
    m_wanted = held;
    reconcile();
}

bool LogindKeepAwake::isSettled() const
{
    switch (m_step) {
    case Step::Free:
        return !m_wanted || !m_lock.byPortal || m_session.isReady();
    case Step::ByPortal:
    case Step::ByLogind:
        return true;
    case Step::AskingPortal:
    case Step::NeedLogind:
    case Step::AskingLogind:
        break;
    }
    return false;
}

void LogindKeepAwake::reconcile()
{
    switch (m_step) {
    case Step::Free:
        if (!m_wanted || (m_lock.byPortal && !m_session.isReady()))
            return;
        if (m_lock.byPortal && m_session.isConnected()) {
            askPortal();
            return;
        }
        m_step = Step::NeedLogind;
        reconcile();
        return;
    case Step::NeedLogind:
        if (!m_wanted) {
            m_step = Step::Free;
            m_retry.stop();
            m_failures = 0;
        } else if (m_retry.isActive()) {
            return;
        } else if (m_system.isConnected()) {
            askLogind();
        } else if (m_system.isReady()) {
            giveUp();
        } else {
            m_system.open();
        }
        return;
    case Step::AskingPortal:
    case Step::AskingLogind:
        return;
    case Step::ByPortal:
    case Step::ByLogind:
        if (!m_wanted)
            release();
        return;
    }
}

void LogindKeepAwake::busReady()
{
    reconcile();
    if (isSettled())
        emit settled();
}

template<typename F> void LogindKeepAwake::whenAnswered(const QDBusPendingCall &call, F onReply)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, onReply] {
        watcher->deleteLater();
        onReply(*watcher);
        if (isSettled())
            emit settled();
    });
}

void LogindKeepAwake::askPortal()
{
    m_step = Step::AskingPortal;
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    call << QString() << portalSuspend
         << QVariantMap {{QStringLiteral("reason"), QString::fromLatin1(m_lock.reason)}};
    whenAnswered(m_session.connection().asyncCall(call), [this](const QDBusPendingCall &done) {
        const QDBusPendingReply<QDBusObjectPath> reply = done;
        if (reply.isError()) {
            m_step = Step::NeedLogind;
        } else {
            m_step = Step::ByPortal;
            m_portalRequest = reply.value();
        }
        reconcile();
    });
}

void LogindKeepAwake::askLogind()
{
    m_step = Step::AskingLogind;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QString::fromLatin1(m_lock.what) << QStringLiteral("Wakewell")
         << QString::fromLatin1(m_lock.reason) << QString::fromLatin1(m_lock.mode);
    whenAnswered(m_system.connection().asyncCall(call), [this](const QDBusPendingCall &done) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = done;
        // While a suspend, or the resume after it, is still under way, logind takes no lock on
        // sleep; right after a wake the window's own tick may come before logind is done.
        if (reply.error().name() == QLatin1String("org.freedesktop.login1.OperationInProgress")) {
            m_step = Step::NeedLogind;
            QTimer::singleShot(inProgressRetryMs, this, &LogindKeepAwake::reconcile);
            return;
        }
        if (reply.isError() && !lasting(reply.error())) {
            m_step = Step::NeedLogind;
            sayUnheld();
            m_retry.start(std::min(firstRetryMs << std::min(m_failures, 6), lastRetryMs));
            ++m_failures;
            return;
        }
        if (reply.isError() || !reply.value().isValid()) {
            giveUp();
            return;
        }
        m_step = Step::ByLogind;
        m_logindLock = reply.value();
        m_failures = 0;
        if (std::exchange(m_unheldSaid, false))
            std::fprintf(stderr, "Wakewell: systemd-logind holds the %s %s lock after all (%s)\n",
                         m_lock.what, m_lock.mode, m_lock.reason);
        else if (m_lock.told)
            std::fprintf(stderr, "Wakewell: logind holds %s (%s)\n", m_lock.what, m_lock.reason);
        reconcile();
    });
}

void LogindKeepAwake::giveUp()
{
    m_step = Step::Free;
    sayUnheld();
}

void LogindKeepAwake::sayUnheld()
{
    if (std::exchange(m_unheldSaid, true))
        return;
    std::fprintf(stderr, "Wakewell: %s\n", m_lock.unheld);
}

void LogindKeepAwake::release()
{
    if (m_step == Step::ByPortal) {
        m_session.connection().asyncCall(QDBusMessage::createMethodCall(
            portalService, m_portalRequest.path(), QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Close")));
        m_portalRequest = QDBusObjectPath();
    }
    m_logindLock = QDBusUnixFileDescriptor();
    if (m_step == Step::ByLogind && m_lock.told)
        std::fprintf(stderr, "Wakewell: logind lets go of %s\n", m_lock.what);
    if (m_step == Step::ByPortal || m_step == Step::ByLogind)
        m_step = Step::Free;
}
