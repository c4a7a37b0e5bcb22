// SPDX-License-Identifier: GPL-3.0-or-later
// The wake helper as a machine runs it (WakerRig): started by D-Bus activation on a system bus
// of the test's own, under the bus policy it installs, as nobody through setpriv (with
// CAP_WAKE_ALARM alone, or none), polkit answered by a stand-in. What the kernel holds is
// read from the helper's /proc fdinfo, so that each refusal is seen to arm nothing. The
// refusals are tried wherever the helper runs; what needs a timer armed, only where the
// kernel gives one to a process with CAP_WAKE_ALARM.
#include "fakes/wakerrig.h"
#include "waker/alarmtimer.h"
#include "waker/wakerbus.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QRegularExpression>
#include <QTest>

#include <limits>
#include <optional>

#include <pwd.h>

namespace {
// Two users that every Debian has (base-passwd): the bus refuses uids that have no user.
const uid_t alice = getpwnam("games")->pw_uid;
const uid_t bob = getpwnam("man")->pw_uid;
const quint64 day = 24ull * 3600 * 1000000;

QString error(const char *name)
{
    return QString::fromLatin1(name);
}

// The reply's error, or what the reply is: a plain reply reads "".
QString outcome(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage ? QString()
        : reply.type() == QDBusMessage::ErrorMessage  ? reply.errorName()
                                                      : QStringLiteral("no reply");
}

// The helper's journal lines of one kind about one user.
qsizetype said(const QString &lines, const char *what, uid_t uid)
{
    return lines.count(
        QRegularExpression(QStringLiteral("^%1: uid %2 \\(").arg(QLatin1String(what)).arg(uid),
                           QRegularExpression::MultilineOption));
}

// Fired signals that reach one connection.
class Firings : public QObject
{
    Q_OBJECT
public:
    explicit Firings(QDBusConnection connection)
    {
        connection.connect(QString(), QString::fromLatin1(WakerBus::path),
                           QString::fromLatin1(WakerBus::service), QStringLiteral("Fired"), this,
                           SLOT(fired(qulonglong)));
    }
    QList<qulonglong> deadlines;

public Q_SLOTS:
    void fired(qulonglong deadline) { deadlines << deadline; }
};
} // namespace

class TestWaker : public QObject
{
    Q_OBJECT

private:
    // Why the kernel refuses an alarm timer to a process with CAP_WAKE_ALARM here; empty
    // where it arms one.
    QString m_kernelRefuses;
    bool capable() const { return m_kernelRefuses.isEmpty(); }

private Q_SLOTS:
    void initTestCase()
    {
        if (geteuid() != 0)
            QSKIP("the helper is started through setpriv as nobody, which needs root");
        // Asked of the kernel by this process, which as root holds CAP_WAKE_ALARM unless a
        // container has taken it away; the helper is given the same.
        QString reason;
        if (!AlarmTimer::arm(ahead(60), &reason))
            m_kernelRefuses = reason;
        qInfo("alarm timers with CAP_WAKE_ALARM: %s; %s",
              capable() ? "armed" : qPrintable(m_kernelRefuses),
              QFile::exists(QStringLiteral("/sys/class/rtc/rtc0"))
                  ? "an RTC is there, but no suspend is tried"
                  : "no RTC here: timers fire while awake, a wake from sleep cannot be shown");
    }

    void init()
    {
        static const QList<QByteArray> arming {"setAndCleared", "lostReply",
                                               "droppedWhenTheCallerLeaves", "firesWhileAwake"};
        if (!capable() && arming.contains(QTest::currentTestFunction()))
            QSKIP(qPrintable(QStringLiteral("this check needs a wake armed, and the kernel "
                                            "refuses alarm timers here (%1); the refusals "
                                            "are tried all the same")
                                 .arg(m_kernelRefuses)));
    }

    // Set, set again in place of the first, cleared: only by the connection that set it,
    // each call answered again when repeated, and each said for the journal.
    void setAndCleared()
    {
        WakerRig rig(true);
        const QDBusConnection first = rig.user(alice, QStringLiteral("first"));
        const QDBusConnection second = rig.user(alice, QStringLiteral("second"));
        const QDBusConnection other = rig.user(bob, QStringLiteral("other"));
        const QDBusMessage reply = rig.setWake(first, ahead(60));
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
        QCOMPARE(rig.helperStatus("Uid") + u' ' + rig.helperStatus("CapEff"),
                 QStringLiteral("65534 0000000800000000"));
        QCOMPARE(rig.polkit.asked,
                 QStringList {QStringLiteral("system-bus-name %1 io.github.wakewell.Waker.wake 0")
                                  .arg(first.baseService())});
        QList<int> held = rig.kernelAlarms();
        QCOMPARE(held.size(), 1);
        QVERIFY2(held[0] > 40 && held[0] <= 60, qPrintable(QString::number(held[0])));

        QCOMPARE(outcome(rig.setWake(first, ahead(120))), QString());
        held = rig.kernelAlarms();
        QCOMPARE(held.size(), 1);
        QVERIFY2(held[0] > 100, qPrintable(QString::number(held[0])));
        QCOMPARE(outcome(rig.setWake(first, ahead(0) + 8 * day - 60000000)), QString());
        held = rig.kernelAlarms();
        QCOMPARE(held.size(), 1);
        QVERIFY2(held[0] > 8 * 24 * 3600 - 120, qPrintable(QString::number(held[0])));

        // Another connection, of the same user or not, clears only what it holds: nothing.
        QCOMPARE(outcome(rig.clearWake(second)), QString());
        QCOMPARE(outcome(rig.clearWake(other)), QString());
        QCOMPARE(rig.kernelAlarms().size(), 1);
        QCOMPARE(outcome(rig.clearWake(first)), QString());
        QCOMPARE(rig.kernelAlarms(), QList<int>());
        QCOMPARE(outcome(rig.clearWake(first)), QString());
        QCOMPARE(rig.polkit.asked.size(), 3);

        const QString lines = rig.helperSaid();
        QCOMPARE(said(lines, "armed", alice), 3);
        QCOMPARE(said(lines, "cancelled", alice), 3);
        QVERIFY2(lines.contains(QRegularExpression(
                     QStringLiteral(
                         "^armed: uid %1 \\(:1\\.\\d+\\), deadline \\d+ \\(20\\d\\d-\\d\\d-\\d\\dT")
                         .arg(alice),
                     QRegularExpression::MultilineOption)),
                 qPrintable(lines));
        QCOMPARE(said(lines, "armed", bob) + said(lines, "cancelled", bob), 0);
    }

    // A caller that lost its reply calls again, before or after polkit has answered: it holds
    // one wake, never one for each call.
    void lostReply()
    {
        WakerRig rig(true);
        const QDBusConnection a = rig.user(alice, QStringLiteral("a"));
        rig.polkit.answer = FakePolkit::Hold;
        // Again while polkit is asked: the later call takes the earlier's place.
        const QDBusPendingCall first = a.asyncCall(WakerRig::setWakeCall(ahead(60)));
        QTRY_COMPARE(rig.polkit.held.size(), 1);
        const QDBusPendingCall again = a.asyncCall(WakerRig::setWakeCall(ahead(90)));
        QCOMPARE(outcome(WakerRig::wait(first)), error(WakerBus::Error::Superseded));
        rig.polkit.release(true, rig.root());
        QCOMPARE(outcome(WakerRig::wait(again)), QString());
        QList<int> held = rig.kernelAlarms();
        QCOMPARE(held.size(), 1);
        QVERIFY2(held[0] > 60, qPrintable(QString::number(held[0])));
        QCOMPARE(rig.polkit.asked.size(), 1);

        // Again after the helper has armed it, the reply lost: the caller gave up waiting.
        const quint64 deadline = ahead(120);
        const QDBusPendingCall lost = a.asyncCall(WakerRig::setWakeCall(deadline), 200);
        QTRY_COMPARE(rig.polkit.held.size(), 1);
        QTRY_VERIFY(lost.isFinished());
        QCOMPARE(lost.error().type(), QDBusError::NoReply);
        rig.polkit.release(true, rig.root());
        QTRY_VERIFY(rig.kernelAlarms().value(0) > 100);
        rig.polkit.answer = FakePolkit::Yes;
        QCOMPARE(outcome(rig.setWake(a, deadline)), QString());
        QCOMPARE(rig.kernelAlarms().size(), 1);

        // A clear while polkit is asked: polkit's yes then arms nothing, and the helper,
        // holding nothing, leaves.
        rig.polkit.answer = FakePolkit::Hold;
        const QDBusPendingCall cleared = a.asyncCall(WakerRig::setWakeCall(ahead(60)));
        QTRY_COMPARE(rig.polkit.held.size(), 1);
        QCOMPARE(outcome(rig.clearWake(a)), QString());
        QCOMPARE(outcome(WakerRig::wait(cleared)), error(WakerBus::Error::Superseded));
        QCOMPARE(rig.kernelAlarms(), QList<int>());
        rig.polkit.release(true, rig.root());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.helperRuns(), 10000);
    }

    // Each refusal changes nothing: out of range (polkit not even asked), polkit's no, a
    // fifth connection of a user, polkit that does not answer or is gone (a failure that
    // passes, not a no), calls that the interface does not have, and what the bus policy
    // closes. Each user's first refusal is said for the journal.
    void refusals()
    {
        WakerRig rig(capable());
        QList<QDBusConnection> as;
        for (int i = 0; i < 5; ++i)
            as << rig.user(alice, QStringLiteral("a%1").arg(i));
        const QDBusConnection b = rig.user(bob, QStringLiteral("b"));
        // The test's helper takes deadlines from 2 s ahead (5 s when installed) to 8 days.
        for (const quint64 deadline : {quint64(0), std::numeric_limits<quint64>::max(), ahead(1),
                                       ahead(0) + 8 * day + 60000000})
            QCOMPARE(outcome(rig.setWake(as[0], deadline)), error(WakerBus::Error::OutOfRange));
        QVERIFY(rig.polkit.asked.isEmpty());
        rig.polkit.answer = FakePolkit::No;
        QCOMPARE(outcome(rig.setWake(as[0], ahead(60))), error(WakerBus::Error::NotAuthorized));

        // Four connections of a user being set at once, over its connections; the fifth is
        // refused at once, a fourth's call again takes its own call's place, and another user
        // has four of its own.
        rig.polkit.answer = FakePolkit::Hold;
        QList<QDBusPendingCall> setting;
        for (int i = 0; i < 4; ++i)
            setting << as[i].asyncCall(WakerRig::setWakeCall(ahead(60)));
        QTRY_COMPARE(rig.polkit.held.size(), 4);
        QCOMPARE(outcome(rig.setWake(as[4], ahead(60))), error(WakerBus::Error::TooManyWakes));
        setting << as[3].asyncCall(WakerRig::setWakeCall(ahead(60)));
        QCOMPARE(outcome(WakerRig::wait(setting[3])), error(WakerBus::Error::Superseded));
        setting << b.asyncCall(WakerRig::setWakeCall(ahead(60)));
        QTRY_COMPARE(rig.polkit.held.size(), 5);
        rig.polkit.release(false, rig.root());
        for (const int i : {0, 1, 2, 4, 5})
            QCOMPARE(outcome(WakerRig::wait(setting[i])), error(WakerBus::Error::NotAuthorized));

        // polkit that does not answer within the helper's time (2 s in the test), or is gone.
        rig.polkit.answer = FakePolkit::Hold;
        const QDBusMessage stalled = rig.setWake(b, ahead(60));
        QCOMPARE(outcome(stalled), error(WakerBus::Error::Unavailable));
        QVERIFY2(stalled.errorMessage().startsWith("polkit did not answer"),
                 qPrintable(stalled.errorMessage()));
        rig.root().unregisterService(QStringLiteral("org.freedesktop.PolicyKit1"));
        QCOMPARE(outcome(rig.setWake(b, ahead(60))), error(WakerBus::Error::Unavailable));
        rig.polkit.release(true, rig.root());

        // Calls the interface does not have: the bus's own errors. Other interfaces and the
        // name itself are closed by the bus policy.
        const QString unknown = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
        const auto call = [&](const QDBusMessage &message) {
            return outcome(WakerRig::wait(as[0].asyncCall(message)));
        };
        QCOMPARE(call(WakerRig::callOf(QStringLiteral("SetWake"), {QStringLiteral("tomorrow")})),
                 unknown);
        QCOMPARE(call(WakerRig::callOf(QStringLiteral("SetWake"))), unknown);
        QCOMPARE(call(WakerRig::callOf(QStringLiteral("ClearWake"), {1u})), unknown);
        QCOMPARE(call(WakerRig::callOf(QStringLiteral("Arm"), {QVariant::fromValue(ahead(60))})),
                 unknown);
        QDBusMessage getAll = QDBusMessage::createMethodCall(
            QString::fromLatin1(WakerBus::service), QString::fromLatin1(WakerBus::path),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        getAll << QString::fromLatin1(WakerBus::service);
        QCOMPARE(call(getAll), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
        QCOMPARE(QDBusConnection(as[0])
                     .interface()
                     ->registerService(QString::fromLatin1(WakerBus::service))
                     .error()
                     .type(),
                 QDBusError::AccessDenied);

        QCOMPARE(rig.kernelAlarms(), QList<int>());
        QVERIFY(rig.helperRuns());
        const QString lines = rig.helperSaid();
        QVERIFY2(said(lines, "refused", bob) > 0, qPrintable(lines));
        QVERIFY2(lines.contains(QRegularExpression(
                     QStringLiteral("^refused: uid %1 \\(:1\\.\\d+\\), deadline 0 \\(1970-01-01T"
                                    "00:00:00.000Z\\): OutOfRange: ")
                         .arg(alice),
                     QRegularExpression::MultilineOption)),
                 qPrintable(lines));
    }

    void withoutCapability()
    {
        WakerRig rig(false);
        const QDBusConnection a = rig.user(alice, QStringLiteral("a"));
        const QDBusMessage reply = rig.setWake(a, ahead(60));
        QCOMPARE(outcome(reply), error(WakerBus::Error::Failed));
        QCOMPARE(reply.errorMessage(),
                 QStringLiteral("the kernel refused the alarm timer: Operation not permitted"));
        QCOMPARE(rig.helperStatus("Uid") + u' ' + rig.helperStatus("CapEff"),
                 QStringLiteral("65534 0000000000000000"));
        QCOMPARE(rig.kernelAlarms(), QList<int>());
    }

    // A caller's wake goes with its bus name, and a wake that polkit allows once its caller
    // has gone is never armed; holding nothing, the helper exits.
    void droppedWhenTheCallerLeaves()
    {
        WakerRig rig(true);
        {
            const QDBusConnection leaver = rig.user(alice, QStringLiteral("leaver"));
            QCOMPARE(outcome(rig.setWake(leaver, ahead(60))), QString());
            QCOMPARE(rig.kernelAlarms().size(), 1);
        }
        rig.leave(QStringLiteral("leaver"));
        QTRY_COMPARE(rig.kernelAlarms(), QList<int>());
        uint pid = 0;
        {
            // The user's four are free again.
            QList<QDBusConnection> stay;
            for (int i = 0; i < 4; ++i)
                stay << rig.user(alice, QStringLiteral("stays%1").arg(i));
            for (int i = 0; i < 3; ++i)
                QCOMPARE(outcome(rig.setWake(stay[i], ahead(60))), QString());

            // A caller that leaves while polkit is asked about it: polkit's yes arms nothing.
            rig.polkit.answer = FakePolkit::Hold;
            QString asking;
            {
                const QDBusConnection connection = rig.user(alice, QStringLiteral("asking"));
                asking = connection.baseService();
                connection.asyncCall(WakerRig::setWakeCall(ahead(60)));
            }
            QTRY_COMPARE(rig.polkit.held.size(), 1);
            rig.leave(QStringLiteral("asking"));
            // Once the bus has told of it, the helper has the news before anything polkit says.
            QTRY_VERIFY(!rig.root().interface()->isServiceRegistered(asking));
            rig.polkit.release(true, rig.root());
            rig.polkit.answer = FakePolkit::Yes;
            QCOMPARE(outcome(rig.setWake(stay[3], ahead(60))), QString());
            QCOMPARE(rig.kernelAlarms().size(), 4);
            pid = rig.helperPid();
        }
        for (int i = 0; i < 4; ++i)
            rig.leave(QStringLiteral("stays%1").arg(i));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.helperRuns(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)), 10000);
        QCOMPARE(said(rig.helperSaid(), "cancelled", alice), 5);
    }

    // Fired while awake: said to its owner alone, which then holds nothing.
    void firesWhileAwake()
    {
        WakerRig rig(true);
        const QDBusConnection owner = rig.user(alice, QStringLiteral("owner"));
        const QDBusConnection other = rig.user(alice, QStringLiteral("other"));
        Firings ownerHears(owner);
        Firings otherHears(other);
        const quint64 deadline = ahead(3);
        QCOMPARE(outcome(rig.setWake(owner, deadline)), QString());
        QTRY_COMPARE_WITH_TIMEOUT(ownerHears.deadlines, QList<qulonglong> {deadline}, 15000);
        QCOMPARE(otherHears.deadlines, QList<qulonglong>());
        QCOMPARE(said(rig.helperSaid(), "fired", alice), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.helperRuns(), 10000);
    }

    // Another user at the bus's own limits (250 of its 256 connections, four calls waiting on
    // each at all times) keeps four entries and four questions to polkit, and the seat user's
    // call is answered meanwhile, however long polkit takes with the flood's. The journal
    // hears of the flood's refusals in a few lines. Where the kernel refuses alarm timers, the
    // seat user's answer is that refusal.
    void floodAtTheBusLimits()
    {
        WakerRig rig(capable());
        const QDBusConnection seat = rig.user(bob, QStringLiteral("seat"));
        rig.polkit.seat = seat.baseService();
        rig.polkit.answer = FakePolkit::Hold;
        WakerFlood flood(rig, alice, 250);
        // Started first: the bus would refuse most of the flood while it starts the helper.
        QCOMPARE(outcome(rig.clearWake(seat)), QString());
        flood.start(4);
        QTRY_COMPARE(rig.polkit.held.size(), 4);
        QTRY_VERIFY_WITH_TIMEOUT(flood.answered() > 2000, 30000);
        const QString seatAnswer = capable() ? QString() : error(WakerBus::Error::Failed);
        QCOMPARE(outcome(WakerRig::wait(seat.asyncCall(WakerRig::setWakeCall(ahead(60))))),
                 seatAnswer);
        QCOMPARE(rig.polkit.held.size(), 4);
        QCOMPARE(rig.polkit.asked.size(), 4 + 1);
        // The helper watches the callers that it keeps, each through one match rule: four of
        // the flood's and the seat's.
        QCOMPARE(rig.helperStats().value(QStringLiteral("PeakMatchRules")).toUInt(), 5u);

        // polkit says no to the flood from now on: its questions come and go, four at a time.
        rig.polkit.answer = FakePolkit::No;
        rig.polkit.release(false, rig.root());
        QTRY_VERIFY_WITH_TIMEOUT(rig.polkit.asked.size() > 100, 30000);
        QCOMPARE(outcome(WakerRig::wait(seat.asyncCall(WakerRig::setWakeCall(ahead(90))))),
                 seatAnswer);
        QCOMPARE(rig.helperStats().value(QStringLiteral("PeakMatchRules")).toUInt(), 5u);
        flood.stop();
        QTRY_VERIFY_WITH_TIMEOUT(flood.waiting() == 0, 30000);
        QStringList answers;
        for (auto answer = flood.answers.begin(); answer != flood.answers.end(); ++answer)
            answers << QStringLiteral("%1 %2").arg(answer.key()).arg(answer.value());
        QVERIFY2(flood.answers.keys()
                     == (QList<QString> {error(WakerBus::Error::NotAuthorized),
                                         error(WakerBus::Error::Superseded),
                                         error(WakerBus::Error::TooManyWakes)}),
                 qPrintable(answers.join(QStringLiteral(", "))));
        QCOMPARE(rig.kernelAlarms().size(), capable() ? 1 : 0);
        QVERIFY(rig.helperRuns());
        const QString lines = rig.helperSaid();
        QVERIFY2(said(lines, "refused", alice) > 0 && lines.count(u'\n') < 50, qPrintable(lines));
    }

    // Holding nothing, the helper leaves the bus before it exits, and answers what reaches
    // it meanwhile with an error that says to call again, never a reply and never silence;
    // a call to the name then starts another helper.
    void leavesTheBusBeforeExiting()
    {
        WakerRig rig(capable());
        const QDBusConnection a = rig.user(alice, QStringLiteral("a"));
        QCOMPARE(outcome(rig.clearWake(a)), QString());
        const uint pid = rig.helperPid();
        const QString unique
            = rig.root().interface()->serviceOwner(QString::fromLatin1(WakerBus::service));
        // Called by its own connection's name, the moment it has released the well-known one.
        QDBusServiceWatcher released(QString::fromLatin1(WakerBus::service), rig.root(),
                                     QDBusServiceWatcher::WatchForUnregistration);
        std::optional<QDBusPendingCall> late;
        connect(&released, &QDBusServiceWatcher::serviceUnregistered, this, [&] {
            QDBusMessage call = WakerRig::setWakeCall(ahead(60));
            late = rig.root().asyncCall(
                QDBusMessage::createMethodCall(unique, call.path(), call.interface(), call.member())
                << call.arguments().at(0));
        });
        QTRY_VERIFY_WITH_TIMEOUT(late, 10000);
        QCOMPARE(outcome(WakerRig::wait(*late)), error(WakerBus::Error::Exiting));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)), 10000);
        QCOMPARE(outcome(rig.clearWake(a)), QString());
        QVERIFY(rig.helperPid() != pid);
    }
};

QTEST_GUILESS_MAIN(TestWaker)
#include "test_waker.moc"
