// SPDX-License-Identifier: GPL-3.0-or-later
#include "waker.h"

#include "waker/wakerbus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDateTime>

#include <cstdio>

namespace {
// The journal hears of a user's refusals after the first once in this while.
constexpr std::chrono::seconds refusalsQuiet {10};

quint64 microseconds(std::chrono::seconds s)
{
    return quint64(std::chrono::microseconds(s).count());
}

// polkit's CheckAuthorization for the caller's bus name, without interaction: polkit then
// answers at once, whether the user is at the seat or not.
QDBusMessage authorizationQuery(const QString &caller)
{
    QDBusMessage query
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.PolicyKit1"),
                                         QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                         QStringLiteral("org.freedesktop.PolicyKit1.Authority"),
                                         QStringLiteral("CheckAuthorization"));
    QDBusArgument subject;
    subject.beginStructure();
    subject << QStringLiteral("system-bus-name") << QVariantMap {{QStringLiteral("name"), caller}};
    subject.endStructure();
    query << QVariant::fromValue(subject) << QString::fromLatin1(WakerBus::action)
          << QVariant::fromValue(QMap<QString, QString>()) << 0u << QString();
    return query;
}

// "1777616940000000 (2026-05-01T06:29:00.000Z)"; a deadline past the year 9999 as its number.
QString deadlineText(quint64 deadline)
{
    const QString iso = QDateTime::fromMSecsSinceEpoch(qint64(deadline / 1000), Qt::UTC)
                            .toString(Qt::ISODateWithMs);
    return iso.isEmpty() ? QString::number(deadline)
                         : QStringLiteral("%1 (%2)").arg(deadline).arg(iso);
}
} // namespace

Waker::Waker(const QDBusConnection &bus, const Limits &limits)
    : m_bus(bus), m_limits(limits),
      m_watch(QString(), bus, QDBusServiceWatcher::WatchForUnregistration)
{
    // polkit's details argument, a{ss}.
    qDBusRegisterMetaType<QMap<QString, QString>>();
    m_idle.setSingleShot(true);
    m_idle.setInterval(limits.idle);
    connect(&m_idle, &QTimer::timeout, this, &Waker::leave);
    m_refusalsQuiet.setSingleShot(true);
    m_refusalsQuiet.setInterval(refusalsQuiet);
    connect(&m_refusalsQuiet, &QTimer::timeout, this, &Waker::sayRefusalsCounted);
    connect(&m_watch, &QDBusServiceWatcher::serviceUnregistered, this, &Waker::callerGone);
    settle();
}

void Waker::SetWake(qulonglong deadline)
{
    const QString name = message().service();
    if (m_leaving) {
        sendErrorReply(QString::fromLatin1(WakerBus::Error::Exiting),
                       QStringLiteral("the helper is leaving the bus; call again"));
        return;
    }
    auto caller = m_callers.find(name);
    QString why;
    const std::optional<uint> uid = userOf(name, &why);
    if (!uid) {
        refuse(message(), uid, deadline, WakerBus::Error::Unavailable,
               QStringLiteral("the bus did not say who the caller is (%1)").arg(why));
        return;
    }
    if (!inRange(deadline)) {
        refuse(message(), uid, deadline, WakerBus::Error::OutOfRange,
               QStringLiteral("the deadline must lie between %1 s and %2 days from now")
                   .arg(m_limits.minAhead.count())
                   .arg(m_limits.maxAhead / std::chrono::hours(24)));
        return;
    }
    if (caller == m_callers.end()) {
        if (const auto user = m_perUser.find(*uid);
            user != m_perUser.end() && user->second >= wakesPerUser) {
            refuse(message(), uid, deadline, WakerBus::Error::TooManyWakes,
                   QStringLiteral("this user already holds or sets %1 wakes").arg(wakesPerUser));
            return;
        }
        if (m_callers.size() >= callersAtMost) {
            refuse(message(), uid, deadline, WakerBus::Error::Unavailable,
                   QStringLiteral("the helper serves as many callers as it can; call again"));
            return;
        }
        // Watched from now on, before polkit is asked about it: should the caller leave,
        // polkit knows it no longer, or the helper hears that it left.
        caller = m_callers.try_emplace(name).first;
        caller->second.uid = *uid;
        ++m_perUser[*uid];
        m_watch.addWatchedService(name);
        settle();
    }
    setDelayedReply(true);
    Caller &c = caller->second;
    if (c.call)
        m_bus.send(c.call->createErrorReply(
            QString::fromLatin1(WakerBus::Error::Superseded),
            QStringLiteral("a later call of this connection took this one's place")));
    c.call = message();
    c.callDeadline = deadline;
    if (c.checking)
        return;
    c.checking = true;
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(authorizationQuery(name), int(m_limits.answer.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, name](QDBusPendingCallWatcher *answered) {
                answered->deleteLater();
                polkitAnswered(name, answered->reply());
            });
}

void Waker::ClearWake()
{
    const auto caller = m_callers.find(message().service());
    // Holding nothing, the caller has what it asks for.
    if (caller == m_callers.end())
        return;
    Caller &c = caller->second;
    if (c.call)
        m_bus.send(std::exchange(c.call, std::nullopt)
                       ->createErrorReply(QString::fromLatin1(WakerBus::Error::Superseded),
                                          QStringLiteral("the caller cleared its wake since")));
    if (c.wake) {
        say("cancelled", caller->first, c.uid, c.wakeDeadline);
        c.wake.reset();
    }
    forgetIdle(caller);
}

bool Waker::inRange(quint64 deadline) const
{
    const auto now = quint64(std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count());
    return deadline >= now + microseconds(m_limits.minAhead)
        && deadline <= now + microseconds(m_limits.maxAhead);
}

std::optional<uint> Waker::userOf(const QString &name, QString *why)
{
    if (const uint *known = m_users.object(name))
        return *known;
    const QDBusMessage answer
        = m_bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                    QStringLiteral("/org/freedesktop/DBus"),
                                                    QStringLiteral("org.freedesktop.DBus"),
                                                    QStringLiteral("GetConnectionUnixUser"))
                         << name,
                     QDBus::Block, int(m_limits.answer.count()));
    if (answer.type() == QDBusMessage::ReplyMessage && answer.signature() == QLatin1String("u")) {
        const uint uid = answer.arguments().at(0).toUInt();
        m_users.insert(name, new uint(uid));
        return uid;
    }
    *why = answer.errorName() + QStringLiteral(": ") + answer.errorMessage();
    return std::nullopt;
}

void Waker::polkitAnswered(const QString &name, const QDBusMessage &answer)
{
    // Gone from the bus meanwhile: nothing is armed for it.
    const auto caller = m_callers.find(name);
    if (caller == m_callers.end())
        return;
    Caller &c = caller->second;
    c.checking = false;
    // The caller may have cleared its wake while polkit was asked.
    if (c.call) {
        const QDBusMessage call = *std::exchange(c.call, std::nullopt);
        const quint64 deadline = c.callDeadline;
        if (answer.type() != QDBusMessage::ReplyMessage
            || answer.signature() != QLatin1String("(bba{ss})")) {
            // No answer in time, polkitd gone or starting again: this says nothing of the
            // caller's right, and the caller may well be allowed when it calls again.
            refuse(call, c.uid, deadline, WakerBus::Error::Unavailable,
                   QStringLiteral("polkit did not answer (%1: %2); call again")
                       .arg(answer.errorName(), answer.errorMessage()));
        } else {
            const QDBusArgument result = answer.arguments().at(0).value<QDBusArgument>();
            bool authorized = false;
            result.beginStructure();
            result >> authorized;
            if (authorized)
                arm(name, c, call, deadline);
            else
                refuse(call, c.uid, deadline, WakerBus::Error::NotAuthorized,
                       QStringLiteral("not allowed to wake the machine (polkit action %1)")
                           .arg(QString::fromLatin1(WakerBus::action)));
        }
    }
    forgetIdle(caller);
}

// The wake set in place of the caller's last one, which stays should the kernel refuse.
void Waker::arm(const QString &name, Caller &caller, const QDBusMessage &call, quint64 deadline)
{
    QString error;
    std::unique_ptr<AlarmTimer> alarm = AlarmTimer::arm(deadline, &error);
    if (!alarm) {
        refuse(call, caller.uid, deadline, WakerBus::Error::Failed,
               QStringLiteral("the kernel refused the alarm timer: %1").arg(error));
        return;
    }
    const quint64 serial = ++m_lastSerial;
    // Queued: the timer that fires is deleted by the handler.
    connect(
        alarm.get(), &AlarmTimer::fired, this, [this, name, serial] { fired(name, serial); },
        Qt::QueuedConnection);
    if (caller.wake)
        say("cancelled", name, caller.uid, caller.wakeDeadline, QStringLiteral("set anew"));
    caller.wake = std::move(alarm);
    caller.wakeDeadline = deadline;
    caller.wakeSerial = serial;
    say("armed", name, caller.uid, deadline);
    m_bus.send(call.createReply());
}

void Waker::refuse(const QDBusMessage &call, std::optional<uint> uid, quint64 deadline,
                   const char *error, const QString &text)
{
    const QString name = QString::fromLatin1(error);
    // A call being handled now is answered here, not by the adaptor.
    call.setDelayedReply(true);
    m_bus.send(call.createErrorReply(name, text));
    // After a user's first refusal, its next ones in the quiet time are counted and said
    // together at its end, so that a flood of calls cannot flood the journal.
    const auto [unsaid, first] = m_refusalsUnsaid.try_emplace(uid, 0);
    if (!first) {
        ++unsaid->second;
        return;
    }
    if (!m_refusalsQuiet.isActive())
        m_refusalsQuiet.start();
    say("refused", call.service(), uid, deadline,
        name.mid(name.lastIndexOf(u'.') + 1) + QStringLiteral(": ") + text);
}

void Waker::fired(const QString &name, quint64 serial)
{
    const auto caller = m_callers.find(name);
    if (caller == m_callers.end() || !caller->second.wake || caller->second.wakeSerial != serial)
        return;
    Caller &c = caller->second;
    say("fired", name, c.uid, c.wakeDeadline);
    // To the owner alone: nobody else learns when another user's alarm falls due.
    QDBusMessage signal = QDBusMessage::createTargetedSignal(
        name, QString::fromLatin1(WakerBus::path), QString::fromLatin1(WakerBus::service),
        QStringLiteral("Fired"));
    m_bus.send(signal << QVariant::fromValue(qulonglong(c.wakeDeadline)));
    c.wake.reset();
    forgetIdle(caller);
}

void Waker::callerGone(const QString &name)
{
    const auto caller = m_callers.find(name);
    if (caller == m_callers.end())
        return;
    if (caller->second.wake)
        say("cancelled", name, caller->second.uid, caller->second.wakeDeadline,
            QStringLiteral("its caller left the bus"));
    erase(caller);
}

void Waker::forgetIdle(Callers::iterator caller)
{
    if (!caller->second.wake && !caller->second.checking && !caller->second.call)
        erase(caller);
}

void Waker::erase(Callers::iterator caller)
{
    const auto user = m_perUser.find(caller->second.uid);
    if (--user->second == 0)
        m_perUser.erase(user);
    m_watch.removeWatchedService(caller->first);
    m_callers.erase(caller);
    settle();
}

// Counts the idle time while nothing is held or asked for.
void Waker::settle()
{
    if (!m_callers.empty() || m_leaving)
        m_idle.stop();
    else if (!m_idle.isActive())
        m_idle.start();
}

// The name first: a call that reaches the name from now on starts another helper, and every
// call sent to this one before is still answered (SetWake with "Exiting", which the caller
// takes as a cue to call again), for as long as the linger.
void Waker::leave()
{
    m_leaving = true;
    emit leaving();
    m_bus.unregisterService(QString::fromLatin1(WakerBus::service));
    QTimer::singleShot(m_limits.linger, this, &Waker::done);
}

void Waker::say(const char *what, const QString &name, std::optional<uint> uid, quint64 deadline,
                const QString &why)
{
    const QString user = uid ? QString::number(*uid) : QStringLiteral("unknown");
    std::fprintf(stderr, "%s: uid %s (%s), deadline %s%s%s\n", what, qPrintable(user),
                 qPrintable(name), qPrintable(deadlineText(deadline)), why.isEmpty() ? "" : ": ",
                 qPrintable(why));
}

void Waker::sayRefusalsCounted()
{
    for (const auto &[uid, count] : std::exchange(m_refusalsUnsaid, {})) {
        if (count > 0)
            std::fprintf(stderr, "refused: uid %s, %d more calls in %lld s\n",
                         qPrintable(uid ? QString::number(*uid) : QStringLiteral("unknown")), count,
                         qlonglong(refusalsQuiet.count()));
    }
}
