// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/kernelwaketimer.h"

#include "platform/linux/buslink.h"
#include "platform/linux/desktopnotifier.h"
#include "waker/alarmtimer.h"
#include "waker_proxy.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>

#include <cstdio>

namespace {
const QString interface = QString::fromLatin1(KernelWakeTimer::service);

qulonglong microseconds(const QDateTime &when)
{
    return qulonglong(when.toMSecsSinceEpoch()) * 1000;
}

QByteArray timeText(const QDateTime &when)
{
    return when.toLocalTime().toString(QStringLiteral("HH:mm:ss")).toLatin1();
}

// Why the helper would not wake the computer, in the user's words.
QString refusal(const QDBusError &error)
{
    const QString name = error.name();
    if (error.type() == QDBusError::ServiceUnknown)
        return QStringLiteral("Wakewell's wake helper (wakewell-waker) is not installed");
    if (name == interface + QStringLiteral(".Error.NotAuthorized"))
        return QStringLiteral("the system does not allow this user to wake the computer");
    if (name == interface + QStringLiteral(".Error.Failed"))
        return QStringLiteral("the kernel refused the wake timer (%1)").arg(error.message());
    return QStringLiteral("the wake helper refused (%1: %2)").arg(name, error.message());
}

// A failure that the same call may not meet again shortly: the helper busy, leaving, being
// started or restarted, or the bus at its limits. A service unknown before the helper has
// ever been seen is one that is not installed.
bool passing(const QDBusError &error, bool helperSeen)
{
    switch (error.type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::LimitsExceeded:
    case QDBusError::Disconnected:
        return true;
    case QDBusError::ServiceUnknown:
        return helperSeen;
    default:
        break;
    }
    const QString name = error.name();
    return name.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."))
        || name.startsWith(QLatin1String("org.freedesktop.systemd1."))
        || name == interface + QStringLiteral(".Error.Exiting");
}
} // namespace

KernelWakeTimer::KernelWakeTimer(BusLink &session, BusLink &system,
                                 std::function<bool()> mayConnect, QObject *parent)
    : QObject(parent), m_session(session), m_system(system), m_mayConnect(std::move(mayConnect))
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &KernelWakeTimer::reconcile);
    connect(&m_system, &BusLink::ready, this, &KernelWakeTimer::systemReady);
}

KernelWakeTimer::~KernelWakeTimer()
{
    cancel();
}

void KernelWakeTimer::arm(const QDateTime &when, const QDateTime &alarm)
{
    m_wanted = Wake {when, alarm};
    // A new wake starts afresh, without waiting out a pause.
    m_failures = 0;
    m_retry.stop();
    if (m_way != Way::Helper)
        setOwnTimer();
    reconcile();
}

void KernelWakeTimer::cancel()
{
    if (!m_wanted)
        return;
    m_wanted.reset();
    m_retry.stop();
    m_own.reset();
    reconcile();
}

bool KernelWakeTimer::isSettled() const
{
    if (m_way != Way::Helper)
        return true;
    if (!m_system.isReady())
        return !m_wanted;
    return !m_asking && !m_retry.isActive();
}

void KernelWakeTimer::othersSettled()
{
    reconcile();
}

void KernelWakeTimer::hurry()
{
    if (!m_retry.isActive())
        return;
    m_retry.stop();
    reconcile();
}

void KernelWakeTimer::setOwnTimer()
{
    QString error;
    m_own = AlarmTimer::arm(microseconds(m_wanted->when), &error);
    // Without CAP_WAKE_ALARM (EPERM), or on a kernel without alarm timers: the helper.
    if (m_way == Way::Untried)
        m_way = m_own ? Way::Own : Way::Helper;
    if (m_way == Way::Helper)
        return;
    if (!m_own)
        cannotWake(QStringLiteral("the kernel refused the wake timer (%1)").arg(error));
    // The kernel takes the timer even where no real-time clock can wake the computer.
    else if (QDir(QStringLiteral("/sys/class/rtc")).isEmpty())
        cannotWake(QStringLiteral("the computer has no real-time clock to wake it"));
    else
        armedSaid("");
}

void KernelWakeTimer::systemReady()
{
    reconcile();
    if (isSettled())
        emit settled();
}

void KernelWakeTimer::reconcile()
{
    if (m_way != Way::Helper || m_asking || m_retry.isActive() || (!m_wanted && m_armedId == 0))
        return;
    if (!m_system.isReady()) {
        if (m_mayConnect())
            m_system.open();
        return;
    }
    if (!m_system.isConnected()) {
        if (m_wanted)
            cannotWake(QStringLiteral("there is no system bus"));
        return;
    }
    if (!m_helper) {
        m_helper = std::make_unique<WakerProxy>(interface, QString::fromLatin1(path),
                                                m_system.connection());
        // The helper tells its owner alone when a timer has fired.
        connect(m_helper.get(), &WakerProxy::Expired, this, &KernelWakeTimer::expired);
        m_helperWatch = std::make_unique<QDBusServiceWatcher>(
            interface, m_system.connection(), QDBusServiceWatcher::WatchForOwnerChange);
        connect(m_helperWatch.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &before, const QString &after) {
                    if (!before.isEmpty())
                        helperGone();
                    if (!after.isEmpty())
                        helperCame();
                });
    }
    const std::optional<QDateTime> wanted = m_wanted ? std::optional(m_wanted->when) : std::nullopt;
    // Moving is Cancel of the old one, then Arm of the new one.
    if (m_armedId != 0 && m_asked != wanted) {
        m_helper->Cancel(m_armedId);
        m_armedId = 0;
        m_asked.reset();
    }
    if (wanted && m_asked != wanted)
        askHelper();
}

void KernelWakeTimer::askHelper()
{
    m_asking = true;
    m_asked = m_wanted->when;
    auto *watcher = new QDBusPendingCallWatcher(m_helper->Arm(microseconds(*m_asked)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        helperAnswered(reply.error(), reply.isError() ? 0 : reply.value());
    });
}

void KernelWakeTimer::helperAnswered(const QDBusError &error, uint id)
{
    m_asking = false;
    const bool current = m_wanted && m_asked == m_wanted->when;
    if (!error.isValid()) {
        m_helperSeen = true;
        m_failures = 0;
        m_armedId = id;
        if (current)
            armedSaid(" by the wake helper");
    } else if (passing(error, m_helperSeen) && m_failures < retries) {
        m_asked.reset();
        m_retry.start(firstRetryMs << m_failures++);
    } else if (current) {
        cannotWake(refusal(error));
    }
    reconcile();
    if (isSettled())
        emit settled();
}

void KernelWakeTimer::helperGone()
{
    if (m_armedId == 0)
        return;
    std::fprintf(stderr, "Wakewell: the wake helper has gone; the wake is asked again\n");
    m_armedId = 0;
    m_asked.reset();
    reconcile();
}

// Someone has started the helper: a wake that it would not take when it could not be
// reached, or after a while of failures, is asked again.
void KernelWakeTimer::helperCame()
{
    m_helperSeen = true;
    if (!m_wanted || m_armedId != 0 || m_asking)
        return;
    m_failures = 0;
    m_retry.stop();
    m_asked.reset();
    reconcile();
}

void KernelWakeTimer::expired(uint id)
{
    if (id == m_armedId)
        m_armedId = 0;
}

void KernelWakeTimer::armedSaid(const char *how)
{
    std::fprintf(stderr, "Wakewell: wake armed%s for %s (alarm %s)\n", how,
                 timeText(m_wanted->when).constData(), timeText(m_wanted->alarm).constData());
}

void KernelWakeTimer::cannotWake(const QString &why)
{
    const QString alarm = QString::number(m_wanted->alarm.toMSecsSinceEpoch());
    if (m_said.contains(alarm + why))
        return;
    m_said.insert(alarm + why);
    const QString advice = QStringLiteral("Keep the computer from sleeping until the alarm.");
    std::fprintf(stderr, "Wakewell: the computer cannot be woken for the alarm at %s: %s. %s\n",
                 timeText(m_wanted->alarm).constData(), qPrintable(why), qPrintable(advice));
    QString body = why;
    body[0] = body[0].toUpper();
    DesktopNotifier(m_session).notify(QStringLiteral("The computer cannot wake for the alarm at %1")
                                          .arg(QString::fromLatin1(timeText(m_wanted->alarm))),
                                      body + QStringLiteral(". ") + advice);
}
