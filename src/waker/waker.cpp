// SPDX-License-Identifier: GPL-3.0-or-later
#include "waker.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QRandomGenerator>

#include <algorithm>

namespace {
const QString interface = QString::fromLatin1(Waker::service);
const QString outOfRange = QStringLiteral("io.github.wakewell.Waker.Error.OutOfRange");
const QString tooManyTimers = QStringLiteral("io.github.wakewell.Waker.Error.TooManyTimers");
const QString notAuthorized = QStringLiteral("io.github.wakewell.Waker.Error.NotAuthorized");
const QString noSuchTimer = QStringLiteral("io.github.wakewell.Waker.Error.NoSuchTimer");
const QString failed = QStringLiteral("io.github.wakewell.Waker.Error.Failed");
const QString exiting = QStringLiteral("io.github.wakewell.Waker.Error.Exiting");
const QString wakeAction = QStringLiteral("io.github.wakewell.Waker.wake");

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
    query << QVariant::fromValue(subject) << wakeAction
          << QVariant::fromValue(QMap<QString, QString>()) << 0u << QString();
    return query;
}
} // namespace

Waker::Waker(const QDBusConnection &bus, const Limits &limits)
    : m_bus(bus), m_limits(limits),
      m_callers(QString(), bus, QDBusServiceWatcher::WatchForUnregistration)
{
    // polkit's details argument, a{ss}.
    qDBusRegisterMetaType<QMap<QString, QString>>();
    m_idle.setSingleShot(true);
    m_idle.setInterval(limits.idle);
    connect(&m_idle, &QTimer::timeout, this, &Waker::leave);
    connect(&m_callers, &QDBusServiceWatcher::serviceUnregistered, this, &Waker::callerGone);
    settle();
}

uint Waker::Arm(qulonglong deadline)
{
    const QString caller = message().service();
    if (m_leaving) {
        sendErrorReply(exiting, QStringLiteral("the helper is leaving the bus; call again"));
    } else if (!inRange(deadline)) {
        sendErrorReply(outOfRange,
                       QStringLiteral("the deadline must lie between %1 s and %2 days from now")
                           .arg(m_limits.minAhead.count())
                           .arg(m_limits.maxAhead / std::chrono::hours(24)));
    } else if (checksOf(caller) >= timersPerUser) {
        sendErrorReply(tooManyTimers,
                       QStringLiteral("this connection already waits for %1 timers to be allowed")
                           .arg(timersPerUser));
    } else {
        setDelayedReply(true);
        const quint64 request = ++m_lastRequest;
        m_requests.emplace(request, Request {message(), deadline, std::nullopt});
        // Watched before the bus is asked about it: a caller that leaves from now on is seen
        // leaving, one that left before makes the bus's answer an error.
        settle();
        ask(QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"))
                << caller,
            request, &Waker::userKnown);
    }
    return 0;
}

void Waker::Cancel(uint id)
{
    const auto timer = m_timers.find(id);
    if (timer == m_timers.end() || timer->second.owner != message().service()) {
        sendErrorReply(noSuchTimer, QStringLiteral("no timer %1 of this caller").arg(id));
        return;
    }
    m_timers.erase(timer);
    settle();
}

bool Waker::inRange(quint64 deadline) const
{
    const auto now = quint64(std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count());
    return deadline >= now + microseconds(m_limits.minAhead)
        && deadline <= now + microseconds(m_limits.maxAhead);
}

int Waker::checksOf(const QString &caller) const
{
    return int(std::count_if(m_requests.begin(), m_requests.end(),
                             [&](const auto &r) { return r.second.call.service() == caller; }));
}

// The user's timers and the user's calls already past the check of that count.
int Waker::heldBy(uint uid) const
{
    return int(std::count_if(m_timers.begin(), m_timers.end(),
                             [&](const auto &t) { return t.second.uid == uid; })
               + std::count_if(m_requests.begin(), m_requests.end(),
                               [&](const auto &r) { return r.second.uid == uid; }));
}

// Sends a query and goes on with `next` when it is answered, unless the request has been
// dropped in the meantime (its caller left the bus).
void Waker::ask(const QDBusMessage &query, quint64 request, Step next)
{
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(query), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request, next](QDBusPendingCallWatcher *answered) {
                answered->deleteLater();
                if (m_requests.count(request))
                    (this->*next)(request, answered->reply());
            });
}

void Waker::userKnown(quint64 request, const QDBusMessage &answer)
{
    Request &r = m_requests.at(request);
    const QVariant uid = answer.arguments().value(0);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.signature() != QLatin1String("u")) {
        refuse(request, notAuthorized, QStringLiteral("the bus does not know the caller"));
    } else if (heldBy(uid.toUInt()) >= timersPerUser) {
        refuse(request, tooManyTimers,
               QStringLiteral("this user already holds %1 timers").arg(timersPerUser));
    } else {
        r.uid = uid.toUInt();
        ask(authorizationQuery(r.call.service()), request, &Waker::polkitAnswered);
    }
}

void Waker::polkitAnswered(quint64 request, const QDBusMessage &answer)
{
    if (answer.type() != QDBusMessage::ReplyMessage
        || answer.signature() != QLatin1String("(bba{ss})")) {
        refuse(request, notAuthorized,
               QStringLiteral("polkit could not be asked: %1").arg(answer.errorMessage()));
        return;
    }
    const QDBusArgument result = answer.arguments().at(0).value<QDBusArgument>();
    bool authorized = false;
    result.beginStructure();
    result >> authorized;
    if (authorized)
        arm(request);
    else
        refuse(
            request, notAuthorized,
            QStringLiteral("not allowed to wake the machine (polkit action %1)").arg(wakeAction));
}

void Waker::arm(quint64 request)
{
    const auto r = m_requests.extract(request);
    QString error;
    std::unique_ptr<AlarmTimer> alarm = AlarmTimer::arm(r.mapped().deadline, &error);
    if (!alarm) {
        m_bus.send(r.mapped().call.createErrorReply(
            failed, QStringLiteral("the kernel refused the alarm timer: %1").arg(error)));
        settle();
        return;
    }
    const uint id = freshId();
    connect(
        alarm.get(), &AlarmTimer::fired, this, [this, id] { expire(id); }, Qt::QueuedConnection);
    m_timers.emplace(id, Timer {r.mapped().call.service(), *r.mapped().uid, std::move(alarm)});
    m_bus.send(r.mapped().call.createReply(QVariant::fromValue(id)));
    settle();
}

void Waker::refuse(quint64 request, const QString &error, const QString &text)
{
    m_bus.send(m_requests.extract(request).mapped().call.createErrorReply(error, text));
    settle();
}

// Queued after the timer fired: it may have been cancelled, or its owner gone, since.
void Waker::expire(uint id)
{
    const auto timer = m_timers.find(id);
    if (timer == m_timers.end())
        return;
    // To the owner alone: nobody else learns when another user's alarm falls due.
    QDBusMessage expired = QDBusMessage::createTargetedSignal(
        timer->second.owner, QString::fromLatin1(path), interface, QStringLiteral("Expired"));
    m_bus.send(expired << id);
    m_timers.erase(timer);
    settle();
}

void Waker::callerGone(const QString &name)
{
    std::erase_if(m_timers, [&](const auto &t) { return t.second.owner == name; });
    std::erase_if(m_requests, [&](const auto &r) { return r.second.call.service() == name; });
    settle();
}

// Stops watching callers that hold nothing, and counts the idle time while nothing is held.
void Waker::settle()
{
    for (const auto &r : m_requests)
        m_callers.addWatchedService(r.second.call.service());
    for (const QString &name : m_callers.watchedServices()) {
        const bool holds = checksOf(name) > 0
            || std::any_of(m_timers.begin(), m_timers.end(),
                           [&](const auto &t) { return t.second.owner == name; });
        if (!holds)
            m_callers.removeWatchedService(name);
    }
    if (!m_timers.empty() || !m_requests.empty() || m_leaving)
        m_idle.stop();
    else if (!m_idle.isActive())
        m_idle.start();
}

// The name first: a call that reaches the name from now on starts another helper, and every
// call sent to this one before is still answered (an Arm with "Exiting", which the caller
// takes as a cue to call again), for as long as the linger.
void Waker::leave()
{
    m_leaving = true;
    emit leaving();
    m_bus.unregisterService(QString::fromLatin1(service));
    QTimer::singleShot(m_limits.linger, this, &Waker::done);
}

uint Waker::freshId() const
{
    uint id = 0;
    while (id == 0 || m_timers.count(id))
        id = QRandomGenerator::system()->generate();
    return id;
}
