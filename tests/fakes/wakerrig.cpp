// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/wakerrig.h"

#include "fakes/unprivileged.h"
#include "waker/wakerbus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <chrono>

#include <unistd.h>

namespace {
QDBusMessage polkitReply(const QDBusMessage &call, bool authorized)
{
    QDBusArgument result;
    result.beginStructure();
    result << authorized << false << QMap<QString, QString>();
    result.endStructure();
    return call.createReply(QVariant::fromValue(result));
}

// What a system bus allows by default (as Debian's system.conf), polkit's own opening, and
// the helper's policy as installed, for the user the test runs it as. Root, the test itself,
// may also call a connection by its unique name, as a helper that has left its name is.
const char busPolicy[] = R"(  <servicedir>%1</servicedir>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.PolicyKit1"/>
  </policy>
  <policy user="root">
    <allow own="org.freedesktop.PolicyKit1"/>
    <allow send_type="method_call"/>
  </policy>
  <include>%2</include>)";

const QString authority = QStringLiteral("/org/freedesktop/PolicyKit1/Authority");
} // namespace

void FakePolkit::release(bool authorized, const QDBusConnection &connection)
{
    for (const QDBusMessage &call : std::exchange(held, {}))
        connection.send(polkitReply(call, authorized));
}

bool FakePolkit::handleMessage(const QDBusMessage &call, const QDBusConnection &connection)
{
    if (call.member() != QLatin1String("CheckAuthorization")
        || call.signature() != QLatin1String("(sa{sv})sa{ss}us"))
        return false;
    const QDBusArgument subject = call.arguments().at(0).value<QDBusArgument>();
    QString kind;
    QVariantMap details;
    subject.beginStructure();
    subject >> kind >> details;
    subject.endStructure();
    const QString name = details.value(QStringLiteral("name")).toString();
    asked << QStringLiteral("%1 %2 %3 %4")
                 .arg(kind, name, call.arguments().at(1).toString())
                 .arg(call.arguments().at(3).toUInt());
    if (name == seat) {
        connection.send(polkitReply(call, true));
    } else if (answer == Hold) {
        call.setDelayedReply(true);
        held << call;
    } else {
        connection.send(polkitReply(call, answer == Yes));
    }
    return true;
}

WakerRig::WakerRig(bool capability)
    : m_bus(QStringLiteral("system"),
            QString::fromLatin1(busPolicy).arg(
                QStringLiteral(WAKER_TEST_DIR "/%1").arg(capability ? "with" : "without"),
                QStringLiteral(WAKER_TEST_DIR "/io.github.wakewell.Waker.conf"))),
      m_root(m_bus.connect(QStringLiteral("root")))
{
    m_root.registerVirtualObject(authority, &polkit);
    if (!m_root.registerService(QStringLiteral("org.freedesktop.PolicyKit1")))
        qFatal("cannot serve polkit's name on the private bus");
}

WakerRig::~WakerRig()
{
    m_root.unregisterObject(authority);
    for (const QString &name : m_names)
        QDBusConnection::disconnectFromBus(name);
    QDBusConnection::disconnectFromBus(QStringLiteral("root"));
}

QDBusConnection WakerRig::user(uid_t uid, const QString &name)
{
    const Unprivileged as(uid);
    m_names << name;
    return m_bus.connect(name);
}

void WakerRig::leave(const QString &name)
{
    QDBusConnection::disconnectFromBus(name);
}

QDBusMessage WakerRig::callOf(const QString &member, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(WakerBus::service), QString::fromLatin1(WakerBus::path),
        QString::fromLatin1(WakerBus::service), member);
    message.setArguments(arguments);
    return message;
}

QDBusMessage WakerRig::setWakeCall(quint64 deadline)
{
    return callOf(QStringLiteral("SetWake"), {QVariant::fromValue(qulonglong(deadline))});
}

QDBusMessage WakerRig::wait(QDBusPendingCall pending)
{
    if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 30000))
        return {};
    return pending.reply();
}

QDBusMessage WakerRig::setWake(const QDBusConnection &c, quint64 deadline)
{
    return wait(c.asyncCall(setWakeCall(deadline)));
}

QDBusMessage WakerRig::clearWake(const QDBusConnection &c)
{
    return wait(c.asyncCall(callOf(QStringLiteral("ClearWake"))));
}

uint WakerRig::helperPid() const
{
    return m_root.interface()->servicePid(QString::fromLatin1(WakerBus::service)).value();
}

QList<int> WakerRig::kernelAlarms() const
{
    QList<int> left;
    const QString fds = QStringLiteral("/proc/%1/fdinfo").arg(helperPid());
    for (const QString &fd : QDir(fds).entryList(QDir::Files)) {
        QFile info(fds + QLatin1Char('/') + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(info.readAll());
        const auto value = QRegularExpression(QStringLiteral("it_value: \\((\\d+),")).match(text);
        if (text.contains(QLatin1String("clockid: 8\n")) && value.hasMatch())
            left << value.captured(1).toInt();
    }
    return left;
}

QString WakerRig::helperStatus(const char *key) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(helperPid()));
    status.open(QIODevice::ReadOnly);
    return QRegularExpression(QStringLiteral("^%1:\\s*(\\S+)").arg(QLatin1String(key)),
                              QRegularExpression::MultilineOption)
        .match(QString::fromLatin1(status.readAll()))
        .captured(1);
}

double WakerRig::helperCpuMs() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(helperPid()));
    stat.open(QIODevice::ReadOnly);
    // The fields after the command's name, which ends at the last parenthesis: utime and
    // stime are the 12th and 13th of them, in clock ticks.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) * 1000
        / double(sysconf(_SC_CLK_TCK));
}

bool WakerRig::helperRuns() const
{
    return m_root.interface()->isServiceRegistered(QString::fromLatin1(WakerBus::service));
}

QVariantMap WakerRig::helperStats() const
{
    QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Debug.Stats"), QStringLiteral("GetConnectionStats"));
    query << m_root.interface()->serviceOwner(QString::fromLatin1(WakerBus::service)).value();
    return qdbus_cast<QVariantMap>(wait(m_root.asyncCall(query)).arguments().value(0));
}

quint64 ahead(double seconds)
{
    using namespace std::chrono;
    return quint64(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count())
        + quint64(seconds * 1e6);
}

WakerFlood::WakerFlood(WakerRig &rig, uid_t uid, int connections)
{
    for (int c = 0; c < connections; ++c)
        m_connections << rig.user(uid, QStringLiteral("flood%1").arg(c));
}

void WakerFlood::start(int inFlight)
{
    for (const QDBusConnection &connection : std::as_const(m_connections))
        for (int i = 0; i < inFlight; ++i)
            send(connection);
}

void WakerFlood::send(const QDBusConnection &connection)
{
    ++m_waiting;
    auto *watcher
        = new QDBusPendingCallWatcher(connection.asyncCall(WakerRig::setWakeCall(ahead(60))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, connection](QDBusPendingCallWatcher *answer) {
                answer->deleteLater();
                --m_waiting;
                ++m_answered;
                ++answers[answer->reply().errorName()];
                if (!m_stopped)
                    send(connection);
            });
}
