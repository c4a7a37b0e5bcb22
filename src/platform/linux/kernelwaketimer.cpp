// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/kernelwaketimer.h"

#include "platform/linux/buslink.h"
#include "platform/linux/desktopnotifier.h"
#include "waker/alarmtimer.h"
#include "waker/wakerbus.h"
#include "waker_proxy.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>

#include <cstdio>

namespace {
qulonglong microseconds(const QDateTime &when)
{
    return qulonglong(when.toMSecsSinceEpoch()) * 1000;
}

QByteArray timeText(const QDateTime &when)
{
    return when.toLocalTime().toString(QStringLiteral("HH:mm:ss")).toLatin1();
}

// A failure that the same call may not meet again shortly: the helper busy, leaving, being
// started or restarted, polkit not answering it, or the bus at its limits. A service unknown
// before the helper has ever been seen is one that is not installed.
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
        || name == QLatin1String(WakerBus::Error::Exiting)
        || name == QLatin1String(WakerBus::Error::Unavailable);
}

// Why the helper would not wake the computer, in the user's words; for a failure that
// passes, that it is asked again.
QString refusal(const QDBusError &error, bool passes)
{
    const QString name = error.name();
    if (name == QLatin1String(WakerBus::Error::Unavailable))
        return QStringLiteral("the system did not say in time whether this user may wake the "
                              "computer (%1); it is asked again as the computer goes to sleep")
            .arg(error.message());
    if (passes)
        return QStringLiteral("the wake helper did not answer (%1: %2); it is asked again as "
                              "the computer goes to sleep")
            .arg(name, error.message());
    if (error.type() == QDBusError::ServiceUnknown)
        return QStringLiteral("Wakewell's wake helper (wakewell-waker) is not installed");
    if (name == QLatin1String(WakerBus::Error::NotAuthorized))
        return QStringLiteral("the system does not allow this user to wake the computer");
    if (name == QLatin1String(WakerBus::Error::Failed))
        return QStringLiteral("the kernel refused the wake timer (%1)").arg(error.message());
    return QStringLiteral("the wake helper refused (%1: %2)").arg(name, error.message());
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
    m_resting = false;
    if (m_way != Way::Helper)
        setOwnTimer();
    if (m_way == Way::Helper)
        confirmed(false);
    reconcile();
}

void KernelWakeTimer::cancel()
{
    if (!m_wanted)
        return;
    m_wanted.reset();
    m_failures = 0;
    m_retry.stop();
    m_resting = false;
    m_own.reset();
    confirmed(false);
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
    if (!m_retry.isActive() && !m_resting)
        return;
    m_retry.stop();
    m_resting = false;
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

std::optional<QDateTime> KernelWakeTimer::target() const
{
    if (!m_wanted || m_wanted->when == m_refused || m_wanted->when == m_fired)
        return std::nullopt;
    return m_wanted->when;
}

void KernelWakeTimer::reconcile()
{
    const std::optional<QDateTime> wake = target();
    if (m_way != Way::Helper || m_asking || m_retry.isActive() || m_resting
        || (m_heldKnown && m_held == wake))
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
        const QString service = QString::fromLatin1(WakerBus::service);
        m_helper = std::make_unique<WakerProxy>(service, QString::fromLatin1(WakerBus::path),
                                                m_system.connection());
        // The helper tells its owner alone when its wake has fired.
        connect(m_helper.get(), &WakerProxy::Fired, this, &KernelWakeTimer::fired);
        m_helperWatch = std::make_unique<QDBusServiceWatcher>(
            service, m_system.connection(), QDBusServiceWatcher::WatchForOwnerChange);
        connect(m_helperWatch.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &before, const QString &after) {
                    if (!before.isEmpty())
                        helperGone();
                    if (!after.isEmpty())
                        helperCame();
                });
    }
    askHelper(wake);
}

// Either call replaces what the helper held for this program, so that one repeated after a
// lost reply leaves nothing behind.
void KernelWakeTimer::askHelper(const std::optional<QDateTime> &wake)
{
    m_asking = true;
    m_sent = wake;
    auto *watcher = new QDBusPendingCallWatcher(
        wake ? m_helper->SetWake(microseconds(*wake)) : m_helper->ClearWake(), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        helperAnswered(QDBusPendingReply<>(*watcher).error());
    });
}

void KernelWakeTimer::helperAnswered(const QDBusError &error)
{
    m_asking = false;
    const bool current = m_wanted && m_sent == m_wanted->when;
    const bool passes = error.isValid() && passing(error, m_helperSeen);
    if (!error.isValid()) {
        m_helperSeen = true;
        m_failures = 0;
        m_held = m_sent;
        m_heldKnown = true;
        if (current)
            armedSaid(" by the wake helper");
    } else if (passes) {
        m_heldKnown = false;
        if (m_failures < retries) {
            m_retry.start(firstRetryMs << m_failures++);
        } else {
            m_resting = true;
            if (current)
                cannotWake(refusal(error, passes));
        }
    } else {
        // Refused for good, which changed nothing: a wake refused is not asked again, and a
        // helper that will not clear (one not installed) holds nothing of this program's.
        if (m_sent) {
            m_refused = m_sent;
        } else {
            m_held.reset();
            m_heldKnown = true;
        }
        if (current)
            cannotWake(refusal(error, passes));
    }
    reconcile();
    if (isSettled())
        emit settled();
}

void KernelWakeTimer::helperGone()
{
    if (m_heldKnown && !m_held)
        return;
    std::fprintf(stderr, "Wakewell: the wake helper has gone; the wake is asked again\n");
    confirmed(false);
    m_held.reset();
    m_heldKnown = true;
    reconcile();
}

// Someone has started the helper: a wake that it would not take when it could not be
// reached, or after a while of failures, is asked again.
void KernelWakeTimer::helperCame()
{
    m_helperSeen = true;
    if (m_asking)
        return;
    m_refused.reset();
    m_failures = 0;
    m_retry.stop();
    m_resting = false;
    reconcile();
}

void KernelWakeTimer::fired(qulonglong deadline)
{
    m_fired = QDateTime::fromMSecsSinceEpoch(qint64(deadline / 1000), Qt::UTC);
    if (m_held != m_fired)
        return;
    m_held.reset();
    confirmed(false);
}

void KernelWakeTimer::armedSaid(const char *how)
{
    confirmed(true);
    std::fprintf(stderr, "Wakewell: wake armed%s for %s (alarm %s)\n", how,
                 timeText(m_wanted->when).constData(), timeText(m_wanted->alarm).constData());
}

void KernelWakeTimer::cannotWake(const QString &why)
{
    confirmed(false);
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
