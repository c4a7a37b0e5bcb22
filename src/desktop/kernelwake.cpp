// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/kernelwake.h"

#include "desktop/buslink.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/timerfd.h>
#include <unistd.h>

namespace {
const QString interface = QStringLiteral("io.github.wakewell.Waker");

QDBusMessage helperCall(const char *method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(KernelWake::service),
                                          QString::fromLatin1(KernelWake::path), interface,
                                          QString::fromLatin1(method));
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
} // namespace

KernelWake::KernelWake(BusLink &session, QString systemAddress, std::function<bool()> mayConnect,
                       QObject *parent)
    : QObject(parent), m_session(session), m_systemAddress(std::move(systemAddress)),
      m_mayConnect(std::move(mayConnect))
{
}

KernelWake::~KernelWake()
{
    cancel();
    if (m_fd >= 0)
        ::close(m_fd);
}

void KernelWake::arm(const QDateTime &when)
{
    m_wanted = when;
    if (m_way == Way::Untried)
        tryOwnTimer();
    if (m_way == Way::Own)
        setOwnTimer();
    else
        reconcile();
}

void KernelWake::cancel()
{
    if (!m_wanted)
        return;
    m_wanted.reset();
    if (m_way == Way::Own)
        setOwnTimer();
    else
        reconcile();
}

bool KernelWake::isSettled() const
{
    if (!m_system)
        return m_way != Way::Helper || !m_wanted;
    return !m_asking && m_system->isReady();
}

void KernelWake::othersSettled()
{
    if (m_way == Way::Helper)
        reconcile();
}

void KernelWake::tryOwnTimer()
{
    m_fd = ::timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC | TFD_NONBLOCK);
    // Without CAP_WAKE_ALARM (EPERM), or on a kernel without alarm timers: the helper.
    m_way = m_fd >= 0 ? Way::Own : Way::Helper;
    // The kernel takes the timer even where no real-time clock can wake the computer.
    if (m_way == Way::Own && QDir(QStringLiteral("/sys/class/rtc")).isEmpty())
        cannotWake(QStringLiteral("the computer has no real-time clock to wake it"));
}

void KernelWake::setOwnTimer()
{
    itimerspec when {};
    if (m_wanted) {
        const qint64 ms = m_wanted->toMSecsSinceEpoch();
        when.it_value.tv_sec = ms / 1000;
        when.it_value.tv_nsec = (ms % 1000) * 1'000'000;
    }
    // A zero time disarms the timer.
    if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &when, nullptr) != 0 && m_wanted)
        cannotWake(QStringLiteral("the kernel refused the wake timer (%1)")
                       .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

void KernelWake::reconcile()
{
    if (m_asking)
        return;
    if (!m_system) {
        if (!m_wanted || !m_mayConnect())
            return;
        m_system = std::make_unique<BusLink>(m_systemAddress);
        connect(m_system.get(), &BusLink::ready, this, [this] {
            // The helper tells its owner alone when a timer has fired.
            if (m_system->isConnected())
                m_system->connection().connect(
                    QString::fromLatin1(service), QString::fromLatin1(path), interface,
                    QStringLiteral("Expired"), this, SLOT(expired(uint)));
            reconcile();
        });
        return;
    }
    if (!m_system->isReady())
        return;
    if (!m_system->isConnected()) {
        if (m_wanted)
            cannotWake(QStringLiteral("there is no system bus"));
        return;
    }
    // Moving is Cancel of the old one, then Arm of the new one.
    if (m_armedId != 0 && m_asked != m_wanted) {
        QDBusMessage call = helperCall("Cancel");
        call << m_armedId;
        m_system->connection().asyncCall(call);
        m_armedId = 0;
        m_asked.reset();
    }
    if (m_wanted && m_asked != m_wanted)
        askHelper(*m_wanted);
}

void KernelWake::askHelper(const QDateTime &when)
{
    m_asking = true;
    m_asked = when;
    QDBusMessage call = helperCall("Arm");
    call << qulonglong(when.toMSecsSinceEpoch()) * 1000;
    auto *watcher = new QDBusPendingCallWatcher(m_system->connection().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_asking = false;
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError())
            cannotWake(refusal(reply.error()));
        else
            m_armedId = reply.value();
        reconcile();
    });
}

void KernelWake::expired(uint id)
{
    if (id == m_armedId)
        m_armedId = 0;
}

void KernelWake::cannotWake(const QString &why)
{
    if (m_warned)
        return;
    m_warned = true;
    const QString advice = QStringLiteral("Keep the computer from sleeping until the alarm.");
    std::fprintf(stderr, "Wakewell: the computer cannot be woken for an alarm: %s. %s\n",
                 qPrintable(why), qPrintable(advice));
    if (!m_session.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QString body = why;
    body[0] = body[0].toUpper();
    notify << QStringLiteral("Wakewell") << 0u << QStringLiteral("io.github.wakewell.Wakewell")
           << QStringLiteral("The computer cannot wake for the alarm")
           << body + QStringLiteral(". ") + advice << QStringList() << QVariantMap() << -1;
    m_session.connection().asyncCall(notify);
}
