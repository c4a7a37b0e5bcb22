// SPDX-License-Identifier: GPL-3.0-or-later
// The wake helper as a machine runs it: started by D-Bus activation on a system bus of the
// test's own, under the bus policy it installs, as nobody through setpriv (with CAP_WAKE_ALARM
// alone, or none), polkit answered by a stand-in. What the kernel holds is read from the
// helper's /proc fdinfo, so that each refusal is seen to arm nothing.
#include "fakes/privatebus.h"
#include "fakes/unprivileged.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <chrono>
#include <csignal>
#include <limits>
#include <memory>

#include <pwd.h>

namespace {
const QString service = QStringLiteral("io.github.wakewell.Waker");
const QString objectPath = QStringLiteral("/io/github/wakewell/Waker");
const QString errors = QStringLiteral("io.github.wakewell.Waker.Error.");
// Two users that every Debian has (base-passwd): the bus refuses uids that have no user.
const uid_t alice = getpwnam("games")->pw_uid;
const uid_t bob = getpwnam("man")->pw_uid;
const quint64 day = 24ull * 3600 * 1000000;

// Microseconds since the epoch, `seconds` from now.
quint64 ahead(double seconds)
{
    using namespace std::chrono;
    return quint64(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count())
        + quint64(seconds * 1e6);
}

uint idOf(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toUInt() : 0;
}

// polkit's Authority: answers every CheckAuthorization with `answer`, or holds the calls
// until release(); the bus name `seat` is always allowed at once. Records each question as
// "subject-kind name action flags".
class FakePolkit final : public QDBusVirtualObject
{
public:
    enum Answer { Yes, No, Hold };
    Answer answer = Yes;
    QString seat;
    QStringList asked;
    QList<QDBusMessage> held;

    void release(bool authorized, const QDBusConnection &connection)
    {
        for (const QDBusMessage &call : std::exchange(held, {}))
            connection.send(reply(call, authorized));
    }
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &connection) override
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
        asked << QStringLiteral("%1 %2 %3 %4")
                     .arg(kind, details.value(QStringLiteral("name")).toString(),
                          call.arguments().at(1).toString())
                     .arg(call.arguments().at(3).toUInt());
        if (answer == Hold && details.value(QStringLiteral("name")) != seat) {
            call.setDelayedReply(true);
            held << call;
        } else {
            connection.send(reply(call, answer != No));
        }
        return true;
    }

private:
    static QDBusMessage reply(const QDBusMessage &call, bool authorized)
    {
        QDBusArgument result;
        result.beginStructure();
        result << authorized << false << QMap<QString, QString>();
        result.endStructure();
        return call.createReply(QVariant::fromValue(result));
    }
};

// What a system bus allows by default (as Debian's system.conf), polkit's own opening, and
// the helper's policy as installed, for the user the test runs it as.
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
  </policy>
  <include>%2</include>)";

// One system bus with the helper's service file and the polkit stand-in on it.
class Rig
{
public:
    explicit Rig(bool capability)
        : m_bus(QStringLiteral("system"),
                QString::fromLatin1(busPolicy).arg(
                    QStringLiteral(WAKER_TEST_DIR "/%1").arg(capability ? "with" : "without"),
                    QStringLiteral(WAKER_TEST_DIR "/io.github.wakewell.Waker.conf"))),
          m_root(m_bus.connect(QStringLiteral("root")))
    {
        m_root.registerVirtualObject(QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                                     &polkit);
        if (!m_root.registerService(QStringLiteral("org.freedesktop.PolicyKit1")))
            qFatal("cannot serve polkit's name on the private bus");
    }
    ~Rig()
    {
        m_root.unregisterObject(QStringLiteral("/org/freedesktop/PolicyKit1/Authority"));
        for (const QString &name : m_names)
            QDBusConnection::disconnectFromBus(name);
        QDBusConnection::disconnectFromBus(QStringLiteral("root"));
    }
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;

    // A connection of the user's own (the bus takes its uid from the socket). It leaves
    // the bus at leave(), once the caller holds no copy of it.
    QDBusConnection user(uid_t uid, const QString &name)
    {
        const Unprivileged as(uid);
        m_names << name;
        return m_bus.connect(name);
    }
    void leave(const QString &name) { QDBusConnection::disconnectFromBus(name); }

    QDBusMessage call(const QDBusConnection &connection, const QString &member,
                      const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, service, member);
        message.setArguments(arguments);
        return wait(connection.asyncCall(message));
    }
    QDBusMessage arm(const QDBusConnection &c, quint64 deadline)
    {
        return call(c, QStringLiteral("Arm"), {QVariant::fromValue(qulonglong(deadline))});
    }
    QDBusMessage cancel(const QDBusConnection &c, uint id)
    {
        return call(c, QStringLiteral("Cancel"), {id});
    }
    // Waits with the event loop turning, so that the polkit stand-in answers meanwhile.
    static QDBusMessage wait(QDBusPendingCall pending)
    {
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 30000))
            return {};
        return pending.reply();
    }

    uint helperPid() const { return m_root.interface()->servicePid(service).value(); }
    // The seconds left on each CLOCK_REALTIME_ALARM timer that the helper holds.
    QList<int> kernelAlarms() const
    {
        QList<int> left;
        const QString fds = QStringLiteral("/proc/%1/fdinfo").arg(helperPid());
        for (const QString &fd : QDir(fds).entryList(QDir::Files)) {
            QFile info(fds + QLatin1Char('/') + fd);
            if (!info.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromLatin1(info.readAll());
            const auto value
                = QRegularExpression(QStringLiteral("it_value: \\((\\d+),")).match(text);
            if (text.contains(QLatin1String("clockid: 8\n")) && value.hasMatch())
                left << value.captured(1).toInt();
        }
        return left;
    }
    // The helper's "Uid:" and "CapEff:" lines.
    QString helperIdentity() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(helperPid()));
        status.open(QIODevice::ReadOnly);
        const QString text = QString::fromLatin1(status.readAll());
        const auto line = [&](const char *key) {
            return QRegularExpression(QStringLiteral("^%1:\\s*(\\S+)").arg(key),
                                      QRegularExpression::MultilineOption)
                .match(text)
                .captured(1);
        };
        return line("Uid") + QLatin1Char(' ') + line("CapEff");
    }
    bool helperRuns() const { return m_root.interface()->isServiceRegistered(service); }

    FakePolkit polkit;
    QDBusConnection &root() { return m_root; }

private:
    PrivateBus m_bus;
    QDBusConnection m_root;
    QStringList m_names;
};

// Expired signals that reach one connection.
class Expiries : public QObject
{
    Q_OBJECT
public:
    explicit Expiries(QDBusConnection connection)
    {
        connection.connect(QString(), objectPath, service, QStringLiteral("Expired"), this,
                           SLOT(expired(uint)));
    }
    QList<uint> ids;

public Q_SLOTS:
    void expired(uint id) { ids << id; }
};
} // namespace

class TestWaker : public QObject
{
    Q_OBJECT

private:
    QString m_kernelRefuses;

private Q_SLOTS:
    void initTestCase()
    {
        if (geteuid() != 0)
            QSKIP("the helper is started through setpriv as nobody, which needs root");
        // What this kernel does with an alarm timer for a process holding CAP_WAKE_ALARM.
        Rig rig(true);
        const QDBusMessage reply = rig.arm(rig.user(alice, QStringLiteral("probe")), ahead(60));
        if (reply.type() == QDBusMessage::ErrorMessage)
            m_kernelRefuses = reply.errorMessage();
        qInfo("alarm timers with CAP_WAKE_ALARM: %s; %s",
              m_kernelRefuses.isEmpty() ? "armed" : qPrintable(m_kernelRefuses),
              QFile::exists(QStringLiteral("/sys/class/rtc/rtc0"))
                  ? "an RTC is there, but no suspend is tried"
                  : "no RTC here: timers fire while awake, a wake from sleep cannot be shown");
    }

    void init()
    {
        if (!m_kernelRefuses.isEmpty()
            && !QByteArray(QTest::currentTestFunction()).startsWith("withoutCapability"))
            QSKIP(qPrintable(QStringLiteral("the kernel refuses alarm timers here: ")
                             + m_kernelRefuses));
    }

    void armedAndCancelled()
    {
        Rig rig(true);
        const QDBusConnection first = rig.user(alice, QStringLiteral("first"));
        const QDBusConnection second = rig.user(alice, QStringLiteral("second"));
        const QDBusMessage reply = rig.arm(first, ahead(60));
        const uint id = idOf(reply);
        QVERIFY2(id != 0, qPrintable(reply.errorMessage()));
        QCOMPARE(rig.helperIdentity(), QStringLiteral("65534 0000000800000000"));
        QCOMPARE(rig.polkit.asked,
                 QStringList {QStringLiteral("system-bus-name %1 io.github.wakewell.Waker.wake 0")
                                  .arg(first.baseService())});
        const QList<int> held = rig.kernelAlarms();
        QCOMPARE(held.size(), 1);
        QVERIFY2(held[0] > 40 && held[0] <= 60, qPrintable(QString::number(held[0])));

        // Only the connection that armed it may cancel it, not even another of its user.
        QCOMPARE(rig.cancel(second, id).errorName(), errors + "NoSuchTimer");
        QCOMPARE(rig.cancel(first, 0).errorName(), errors + "NoSuchTimer");
        QCOMPARE(rig.kernelAlarms().size(), 1);
        QCOMPARE(rig.cancel(first, id).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(rig.kernelAlarms(), QList<int>());
        QCOMPARE(rig.cancel(first, id).errorName(), errors + "NoSuchTimer");
        // Ids tell nothing of how many timers others were given.
        const uint next = idOf(rig.arm(first, ahead(60)));
        QVERIFY(next != 0 && next != id && next != id + 1);
    }

    void refusals()
    {
        Rig rig(true);
        const QDBusConnection a1 = rig.user(alice, QStringLiteral("a1"));
        const QDBusConnection a2 = rig.user(alice, QStringLiteral("a2"));
        const QDBusConnection b = rig.user(bob, QStringLiteral("b"));
        // The test's helper takes deadlines from 2 s ahead (5 s when installed) to 8 days.
        for (const quint64 deadline : {quint64(0), std::numeric_limits<quint64>::max(), ahead(1),
                                       ahead(0) + 8 * day + 60000000})
            QCOMPARE(rig.arm(a1, deadline).errorName(), errors + "OutOfRange");
        QVERIFY(rig.polkit.asked.isEmpty());
        QVERIFY(idOf(rig.arm(a1, ahead(0) + 8 * day - 60000000)));

        // Four timers per user, over all its connections; another user has four of its own.
        QVERIFY(idOf(rig.arm(a1, ahead(60))));
        QVERIFY(idOf(rig.arm(a2, ahead(60))));
        QVERIFY(idOf(rig.arm(a2, ahead(60))));
        const QDBusMessage fifth = rig.arm(a2, ahead(60));
        QCOMPARE(fifth.errorName(), errors + "TooManyTimers");
        QVERIFY(idOf(rig.arm(b, ahead(60))));

        rig.polkit.answer = FakePolkit::No;
        QCOMPARE(rig.arm(b, ahead(60)).errorName(), errors + "NotAuthorized");
        rig.root().unregisterService(QStringLiteral("org.freedesktop.PolicyKit1"));
        const QDBusMessage noPolkit = rig.arm(b, ahead(60));
        QCOMPARE(noPolkit.errorName(), errors + "NotAuthorized");
        QVERIFY2(noPolkit.errorMessage().startsWith("polkit could not be asked"),
                 qPrintable(noPolkit.errorMessage()));

        // Calls the interface does not have: the bus's own errors. Other interfaces and the
        // name itself are closed by the bus policy.
        QCOMPARE(rig.call(a1, QStringLiteral("Arm"), {QStringLiteral("tomorrow")}).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        QCOMPARE(rig.call(a1, QStringLiteral("Arm"), {}).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        QCOMPARE(rig.call(a1, QStringLiteral("Cancel"), {QVariant::fromValue(qulonglong(1))})
                     .errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        QDBusMessage getAll = QDBusMessage::createMethodCall(
            service, objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("GetAll"));
        getAll << service;
        QCOMPARE(Rig::wait(a1.asyncCall(getAll)).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
        QCOMPARE(QDBusConnection(a1).interface()->registerService(service).error().type(),
                 QDBusError::AccessDenied);

        QCOMPARE(rig.kernelAlarms().size(), 5);
    }

    void withoutCapability()
    {
        Rig rig(false);
        const QDBusConnection a = rig.user(alice, QStringLiteral("a"));
        const QDBusMessage reply = rig.arm(a, ahead(60));
        QCOMPARE(reply.errorName(), errors + "Failed");
        QCOMPARE(reply.errorMessage(),
                 QStringLiteral("the kernel refused the alarm timer: Operation not permitted"));
        QCOMPARE(rig.helperIdentity(), QStringLiteral("65534 0000000000000000"));
        QCOMPARE(rig.kernelAlarms(), QList<int>());
    }

    // A caller's timers go with its bus name, and a timer that polkit allows once its caller
    // has gone is never armed; holding nothing, the helper exits.
    void droppedWhenTheCallerLeaves()
    {
        Rig rig(true);
        {
            const QDBusConnection leaver = rig.user(alice, QStringLiteral("leaver"));
            QVERIFY(idOf(rig.arm(leaver, ahead(60))));
            QVERIFY(idOf(rig.arm(leaver, ahead(120))));
            QCOMPARE(rig.kernelAlarms().size(), 2);
        }
        rig.leave(QStringLiteral("leaver"));
        QTRY_COMPARE(rig.kernelAlarms(), QList<int>());
        uint pid = 0;
        {
            // The user's four are free again.
            const QDBusConnection stays = rig.user(alice, QStringLiteral("stays"));
            for (int i = 0; i < 3; ++i)
                QVERIFY(idOf(rig.arm(stays, ahead(60))));

            // A caller that leaves while polkit is asked about it: polkit's yes arms nothing.
            rig.polkit.answer = FakePolkit::Hold;
            QString asking;
            {
                const QDBusConnection connection = rig.user(alice, QStringLiteral("asking"));
                asking = connection.baseService();
                connection.asyncCall(QDBusMessage::createMethodCall(service, objectPath, service,
                                                                    QStringLiteral("Arm"))
                                     << QVariant::fromValue(qulonglong(ahead(60))));
            }
            QTRY_COMPARE(rig.polkit.held.size(), 1);
            rig.leave(QStringLiteral("asking"));
            // Once the bus has told of it, the helper has the news before anything polkit says.
            QTRY_VERIFY(!rig.root().interface()->isServiceRegistered(asking));
            rig.polkit.release(true, rig.root());
            rig.polkit.answer = FakePolkit::Yes;
            QVERIFY(idOf(rig.arm(stays, ahead(60))));
            QCOMPARE(rig.kernelAlarms().size(), 4);

            pid = rig.helperPid();
        }
        rig.leave(QStringLiteral("stays"));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.helperRuns(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)), 10000);
    }

    void expiresWhileAwake()
    {
        Rig rig(true);
        const QDBusConnection owner = rig.user(alice, QStringLiteral("owner"));
        const QDBusConnection other = rig.user(alice, QStringLiteral("other"));
        Expiries ownerHears(owner);
        Expiries otherHears(other);
        const uint id = idOf(rig.arm(owner, ahead(3)));
        QVERIFY(id);
        QTRY_COMPARE_WITH_TIMEOUT(ownerHears.ids, QList<uint> {id}, 15000);
        QCOMPARE(rig.cancel(owner, id).errorName(), errors + "NoSuchTimer");
        QCOMPARE(otherHears.ids, QList<uint>());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.helperRuns(), 10000);
    }

    // However many calls a user sends at once, over however many connections, polkit is
    // asked at most four times, the rest are answered at once with an error, nothing is armed
    // that polkit did not allow, and another user's call is armed meanwhile.
    void floodAnsweredWithErrors()
    {
        Rig rig(true);
        const QDBusConnection seat = rig.user(bob, QStringLiteral("seat"));
        rig.polkit.seat = seat.baseService();
        rig.polkit.answer = FakePolkit::Hold;
        QList<QDBusPendingCall> calls;
        QList<QDBusConnection> connections;
        for (int c = 0; c < 12; ++c)
            connections << rig.user(alice, QStringLiteral("flood%1").arg(c));
        QDBusMessage arm
            = QDBusMessage::createMethodCall(service, objectPath, service, QStringLiteral("Arm"))
            << QVariant::fromValue(qulonglong(ahead(60)));
        QDBusMessage cancel
            = QDBusMessage::createMethodCall(service, objectPath, service, QStringLiteral("Cancel"))
            << 1u;
        // Within what the bus lets one connection wait for at once (128 replies).
        for (int i = 0; i < 60; ++i) {
            calls << connections[0].asyncCall(arm) << connections[0].asyncCall(cancel);
            calls << connections[1 + i % 11].asyncCall(arm);
        }
        // The seat's user calls in the midst of it.
        const QDBusPendingCall seatCall = seat.asyncCall(arm);
        QTRY_COMPARE(rig.polkit.held.size(), 4);
        QTRY_COMPARE(std::count_if(calls.begin(), calls.end(),
                                   [](const QDBusPendingCall &c) { return c.isFinished(); }),
                     qsizetype(calls.size() - 4));
        QMap<QString, int> answers;
        for (const QDBusPendingCall &c : calls)
            if (c.isFinished())
                ++answers[c.reply().errorName()];
        QCOMPARE(answers.value(errors + "NoSuchTimer"), 60);
        QCOMPARE(answers.value(errors + "TooManyTimers"), 120 - 4);
        QVERIFY(idOf(Rig::wait(seatCall)));
        QCOMPARE(rig.polkit.asked.size(), 4 + 1);

        rig.polkit.release(false, rig.root());
        for (const QDBusPendingCall &c : calls)
            if (!c.isFinished())
                QCOMPARE(Rig::wait(c).errorName(), errors + "NotAuthorized");
        QCOMPARE(rig.kernelAlarms().size(), 1);

        rig.polkit.answer = FakePolkit::Yes;
        calls.clear();
        for (int i = 0; i < 50; ++i)
            calls << connections[0].asyncCall(arm);
        int armed = 0;
        for (const QDBusPendingCall &c : calls)
            armed += idOf(Rig::wait(c)) != 0;
        QCOMPARE(armed, 4);
        QCOMPARE(rig.kernelAlarms().size(), 5);
        QVERIFY(rig.helperRuns());
    }

    // Holding nothing, the helper leaves the bus before it exits: a call that reached it
    // meanwhile is answered, with an error that says to call again, never left without a
    // reply; a call to the name then starts another helper. The helper is stopped while its
    // idle time runs out and the call comes, so that both wait for it at once.
    void leavesTheBusBeforeExiting()
    {
        Rig rig(true);
        const QDBusConnection a = rig.user(alice, QStringLiteral("a"));
        QCOMPARE(rig.cancel(a, idOf(rig.arm(a, ahead(60)))).type(), QDBusMessage::ReplyMessage);
        const uint pid = rig.helperPid();
        ::kill(pid_t(pid), SIGSTOP);
        const QDBusPendingCall late = a.asyncCall(
            QDBusMessage::createMethodCall(service, objectPath, service, QStringLiteral("Arm"))
            << QVariant::fromValue(qulonglong(ahead(60))));
        QTest::qWait(1500);
        ::kill(pid_t(pid), SIGCONT);
        const QDBusMessage reply = Rig::wait(late);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage
                     || reply.errorName() == errors + "Exiting",
                 qPrintable(reply.errorName() + u' ' + reply.errorMessage()));
        if (reply.type() == QDBusMessage::ErrorMessage) {
            QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)), 10000);
            QVERIFY(idOf(rig.arm(a, ahead(60))));
            QVERIFY(rig.helperPid() != pid);
        }
    }
};

QTEST_GUILESS_MAIN(TestWaker)
#include "test_waker.moc"
