// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktoptest.h"
#include "fakes/faketone.h"
#include "fakes/privatebus.h"
#include "platform/linux/desktopintegration.h"
#include "waker/wakerbus.h"
#include "watch/alarmwatch.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryFile>

#include <atomic>
#include <optional>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The inhibit portal: every Inhibit gets a request handle of its own, held until Close.
class FakePortal final : public QDBusVirtualObject
{
public:
    static constexpr const char *name = "org.freedesktop.portal.Desktop";
    static constexpr const char *path = "/org/freedesktop/portal/desktop";

    struct Inhibit
    {
        QString window;
        uint flags;
        QString reason;
    };
    QList<Inhibit> inhibits;
    QStringList handles;
    QStringList closed;

    int held() const { return int(handles.size() - closed.size()); }

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QVariantList args = message.arguments();
        if (message.member() == "Inhibit" && args.size() == 3) {
            inhibits.append({args[0].toString(), args[1].toUInt(),
                             qdbus_cast<QVariantMap>(args[2]).value("reason").toString()});
            handles << QStringLiteral("%1/request/1_1/t%2").arg(path).arg(handles.size());
            connection.send(
                message.createReply(QVariant::fromValue(QDBusObjectPath(handles.last()))));
            return true;
        }
        if (message.member() == "Close" && handles.contains(message.path())) {
            closed << message.path();
            connection.send(message.createReply());
            return true;
        }
        return false;
    }
};

// systemd-logind: every Inhibit gets the write end of a pipe of its own; the lock is held
// until every copy of that end is closed, which the read end sees. The first `failures`
// Inhibits are answered with the error `refusal`. It tells of a suspend and a resume as
// logind does, by PrepareForSleep.
class FakeLogind final : public QDBusVirtualObject
{
public:
    static constexpr const char *name = "org.freedesktop.login1";
    static constexpr const char *path = "/org/freedesktop/login1";

    QList<QStringList> inhibits;
    QList<int> readEnds;
    QString refusal;
    int failures = 0;

    ~FakeLogind() override
    {
        for (int fd : readEnds)
            if (fd >= 0)
                ::close(fd);
    }

    // Every lock handed out whose descriptor is still open somewhere; of one kind and mode
    // alone, if given.
    int held(const QString &what = QString(), const QString &mode = QString()) const
    {
        int open = 0;
        for (qsizetype i = 0; i < readEnds.size(); ++i) {
            if (readEnds[i] < 0)
                continue;
            pollfd p {readEnds[i], POLLIN, 0};
            const bool kind = (what.isEmpty() || inhibits[i].value(0) == what)
                && (mode.isEmpty() || inhibits[i].value(3) == mode);
            if (kind && (::poll(&p, 1, 0) == 0 || !(p.revents & POLLHUP)))
                ++open;
        }
        return open;
    }
    int delaying() const { return held(QStringLiteral("sleep"), QStringLiteral("delay")); }

    static void prepareForSleep(bool start)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromLatin1(path), QStringLiteral("org.freedesktop.login1.Manager"),
            QStringLiteral("PrepareForSleep"));
        QDBusConnection(QString::fromLatin1(name)).send(signal << start);
    }

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != "Inhibit")
            return false;
        QStringList args;
        for (const QVariant &arg : message.arguments())
            args << arg.toString();
        inhibits << args;
        if (failures > 0) {
            --failures;
            readEnds << -1;
            connection.send(message.createErrorReply(refusal, QStringLiteral("refused")));
            return true;
        }
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            qFatal("pipe");
        readEnds << fds[0];
        // The message keeps a copy of its own, closed once it has gone.
        const QDBusUnixFileDescriptor lock(fds[1]);
        ::close(fds[1]);
        connection.send(message.createReply(QVariant::fromValue(lock)));
        return true;
    }
};

// Wakewell's wake helper: holds one wake, set and cleared; with a refusal set, every SetWake
// is answered with that error, the next `failures` of them alone if that is set; while
// holding, SetWakes wait for release().
class FakeWaker final : public QDBusVirtualObject
{
public:
    static constexpr const char *name = WakerBus::service;
    static constexpr const char *path = WakerBus::path;

    QStringList calls;
    std::optional<qulonglong> wake;
    QString refusal;
    int failures = -1;
    bool holding = false;
    QList<QDBusMessage> held;

    void release()
    {
        for (const QDBusMessage &call : std::exchange(held, {})) {
            wake = call.arguments()[0].toULongLong();
            QDBusConnection(QString::fromLatin1(name)).send(call.createReply());
        }
    }
    QString lastSet() const
    {
        const QStringList sets = calls.filter(QStringLiteral("SetWake"));
        return sets.isEmpty() ? QString() : sets.last();
    }

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() == "SetWake" && message.signature() == "t") {
            const qulonglong deadline = message.arguments()[0].toULongLong();
            calls << QStringLiteral("SetWake %1").arg(deadline);
            if (!refusal.isEmpty() && failures != 0) {
                --failures;
                connection.send(message.createErrorReply(refusal, QStringLiteral("refused")));
            } else if (holding) {
                message.setDelayedReply(true);
                held << message;
            } else {
                wake = deadline;
                connection.send(message.createReply());
            }
            return true;
        }
        if (message.member() == "ClearWake" && message.signature().isEmpty()) {
            calls << QStringLiteral("ClearWake");
            wake.reset();
            connection.send(message.createReply());
            return true;
        }
        return false;
    }
};

// The desktop's notification service: the summary and body of each Notify.
class FakeNotifications final : public QDBusVirtualObject
{
public:
    static constexpr const char *name = "org.freedesktop.Notifications";
    static constexpr const char *path = "/org/freedesktop/Notifications";

    QStringList notes;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != "Notify" || message.signature() != "susssasa{sv}i")
            return false;
        notes << message.arguments()[3].toString() + u'|' + message.arguments()[4].toString();
        connection.send(message.createReply(uint(notes.size())));
        return true;
    }
};

// This thread without CAP_WAKE_ALARM in effect, as a user's program runs: a kernel alarm
// timer of its own is refused, and the wake is asked of the helper.
void dropWakeAlarm()
{
    __user_cap_header_struct header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] {};
    if (::syscall(SYS_capget, &header, data) != 0)
        qFatal("capget");
    data[CAP_TO_INDEX(CAP_WAKE_ALARM)].effective &= ~CAP_TO_MASK(CAP_WAKE_ALARM);
    if (::syscall(SYS_capset, &header, data) != 0)
        qFatal("capset");
}

// Standard error, caught in a file for as long as the object lives.
class StderrCatch
{
public:
    StderrCatch()
    {
        if (!m_file.open())
            qFatal("no temporary file");
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCatch()
    {
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    QString text()
    {
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace

// The inhibitor held while an alarm is set, through a fake portal on a private session bus
// and a fake logind on a second private bus used as the system bus.
class TestInhibitor : public QObject, public DesktopTest
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_sessionBus;
    std::unique_ptr<PrivateBus> m_systemBus;
    std::unique_ptr<FakePortal> m_portal;
    std::unique_ptr<FakeLogind> m_logind;
    std::unique_ptr<FakeWaker> m_waker;
    std::unique_ptr<FakeNotifications> m_notifications;
    std::unique_ptr<DesktopIntegration> m_desktop;
    std::unique_ptr<AlarmWatch> m_watch;
    ToneRecord m_tone;

    // The fakes answer under the services' real names.
    template<typename Fake> void serve(std::unique_ptr<Fake> &fake, PrivateBus &bus)
    {
        fake = std::make_unique<Fake>();
        QDBusConnection connection = bus.connect(QString::fromLatin1(Fake::name));
        QVERIFY(connection.registerVirtualObject(QString::fromLatin1(Fake::path), fake.get(),
                                                 QDBusConnection::SubPath));
        QVERIFY(connection.registerService(QString::fromLatin1(Fake::name)));
    }
    // Served, its first calls answered as a service that stands still is: with no reply.
    template<typename Fake>
    void serveStalled(std::unique_ptr<Fake> &fake, PrivateBus &bus, int calls)
    {
        serve(fake, bus);
        fake->refusal = QStringLiteral("org.freedesktop.DBus.Error.NoReply");
        fake->failures = calls;
    }
    template<typename Fake> void unserve(std::unique_ptr<Fake> &fake)
    {
        if (!fake)
            return;
        QDBusConnection::disconnectFromBus(QString::fromLatin1(Fake::name));
        fake.reset();
    }

    // The helper's call that sets the wake at this time today.
    QString setCall(QTime wake) const { return QStringLiteral("SetWake %1").arg(deadline(wake)); }
    qulonglong deadline(QTime wake) const
    {
        return qulonglong(QDateTime(m_clock.wall.date(), wake).toMSecsSinceEpoch()) * 1000;
    }

    // The window, then Wakewell's desktop side on the buses the environment names, watched
    // over as the program does.
    void openWindow()
    {
        startHeldWithThreeSongs();
        m_desktop = std::make_unique<DesktopIntegration>(
            m_window->transportStatus(), *m_window, BusAddresses::fromEnvironment(), DriveTable());
        m_watch = std::make_unique<AlarmWatch>(m_window->alarmSetting(),
                                               m_window->transportStatus(), *m_window, *m_desktop,
                                               std::make_unique<FakeTone>(m_tone));
    }

private slots:
    void initTestCase()
    {
        dropWakeAlarm();
        m_sessionBus = std::make_unique<PrivateBus>();
        m_systemBus = std::make_unique<PrivateBus>();
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_sessionBus->address().toUtf8());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_systemBus->address().toUtf8());
    }

    void cleanup()
    {
        m_watch.reset();
        m_desktop.reset();
        stop();
        unserve(m_portal);
        unserve(m_logind);
        unserve(m_waker);
        unserve(m_notifications);
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_sessionBus->address().toUtf8());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_systemBus->address().toUtf8());
    }

    void cleanupTestCase()
    {
        m_sessionBus.reset();
        m_systemBus.reset();
    }

    void timeOfDayAlarmHoldsThePortal()
    {
        serve(m_portal, *m_sessionBus);
        openWindow();
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        QTRY_COMPARE(m_portal->held(), 1);
        QCOMPARE(m_portal->inhibits.size(), 1);
        QCOMPARE(m_portal->inhibits[0].window, QString());
        QCOMPARE(m_portal->inhibits[0].flags, 4u);
        QCOMPARE(m_portal->inhibits[0].reason, QStringLiteral("An alarm is set"));

        retype("Text2", QString());
        QTRY_COMPARE(m_portal->held(), 0);
        QTest::keyClicks(child<QLineEdit>("Text2"), QStringLiteral("7:00:00 AM"));
        QTRY_COMPARE(m_portal->held(), 1);
        // The countdown chosen while it was never armed: no alarm is set.
        QTest::mouseClick(child<QRadioButton>("Option2"), Qt::LeftButton);
        QTRY_COMPARE(m_portal->held(), 0);
        QCOMPARE(m_portal->closed, m_portal->handles);
        QCOMPARE(m_portal->inhibits.size(), 2);
    }

    // Held from the arming to the firing; an empty field rests the countdown and frees it.
    void countdownHoldsUntilItFires()
    {
        serve(m_portal, *m_sessionBus);
        openWindow();
        setCountdown(QStringLiteral("2"));
        QTRY_COMPARE(m_portal->held(), 1);
        retype("Text4", QString());
        QTRY_COMPARE(m_portal->held(), 0);
        retype("Text4", QStringLiteral("0"));
        QTRY_COMPARE(m_portal->held(), 1);
        ticks(2);
        QCOMPARE(child<QLineEdit>("Text5")->text(), QStringLiteral("0"));
        QCOMPARE(m_record.opened, QStringList {});
        ticks(1);
        QCOMPARE(m_record.opened, QStringList {song("a.mp3")});
        QTRY_COMPARE(m_portal->held(), 0);
        QCOMPARE(m_portal->inhibits.size(), 2);
    }

    // Held while the countdown can sound: running or due, not resting and not stuck.
    void countdownStates_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<bool>("held");
        QTest::newRow("running") << "3" << true;
        QTest::newRow("running on a fraction") << "0.5" << true;
        QTest::newRow("due") << "0" << true;
        QTest::newRow("resting, empty") << "" << false;
        QTest::newRow("resting, no number") << "soon" << false;
        QTest::newRow("stuck") << "-2" << false;
    }

    void countdownStates()
    {
        QFETCH(QString, seconds);
        QFETCH(bool, held);
        serve(m_portal, *m_sessionBus);
        openWindow();
        setCountdown(seconds);
        QTRY_VERIFY(m_desktop->inhibitor().isSettled());
        QCOMPARE(m_portal->held(), held ? 1 : 0);
    }

    void shutdownReleases_data()
    {
        QTest::addColumn<bool>("portal");
        QTest::newRow("portal") << true;
        QTest::newRow("logind") << false;
    }

    void shutdownReleases()
    {
        QFETCH(bool, portal);
        if (portal)
            serve(m_portal, *m_sessionBus);
        serve(m_logind, *m_systemBus);
        openWindow();
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        auto held = [&] {
            return (portal ? m_portal->held() : m_logind->held("sleep", "block"))
                + m_logind->delaying();
        };
        QTRY_COMPARE(held(), 2);
        m_window->close();
        QTRY_COMPARE(held(), 0);
        QCOMPARE(m_logind->inhibits.size(), portal ? 1 : 2);
    }

    void logindWhenNoPortalAnswers()
    {
        serve(m_logind, *m_systemBus);
        openWindow();
        setCountdown(QStringLiteral("500"));
        QTRY_COMPARE(m_logind->held(), 2);
        QList<QStringList> inhibits = m_logind->inhibits;
        std::sort(inhibits.begin(), inhibits.end());
        QCOMPARE(inhibits,
                 (QList<QStringList> {
                     {"sleep", "Wakewell", "An alarm is set", "block"},
                     {"sleep", "Wakewell", "The wake for an alarm is being armed", "delay"}}));
        QTest::mouseClick(child<QRadioButton>("Option1"), Qt::LeftButton);
        QTRY_COMPARE(m_logind->held(), 0);
        QCOMPARE(m_logind->inhibits.size(), 2);
    }

    // logind asks polkit before it grants a lock: while polkitd stands still, Inhibit is not
    // answered, and the call fails. Each lock is asked again until logind holds it, which is
    // said; that it is not held is said once.
    void logindAskedAgainAfterNoAnswer()
    {
        serveStalled(m_logind, *m_systemBus, 4);
        StderrCatch caught;
        openWindow();
        setCountdown(QStringLiteral("500"));
        QTRY_COMPARE_WITH_TIMEOUT(m_logind->held(), 2, 30000);
        QTRY_VERIFY(m_desktop->inhibitor().isSettled() && m_desktop->sleepWatch().isSettled());
        QCOMPARE(m_logind->held("sleep", "delay"), 1);
        QCOMPARE(m_logind->inhibits.size(), 6);
        const QString text = caught.text();
        for (const char *lock : {"sleep block", "sleep delay"})
            QCOMPARE(text.count(QStringLiteral("logind holds the %1 lock after all").arg(lock)), 1);
        QCOMPARE(text.count("neither an inhibit portal nor systemd-logind answered"), 1);
        QCOMPARE(text.count("systemd-logind did not answer"), 1);
    }

    // Neither service, or no bus at all: one line on standard error for each lock, however
    // often an alarm is set, one for each alarm that gets no wake, and nothing else: no
    // message box, no warning, the window as it would be.
    void noServiceIsSaidOnce_data()
    {
        QTest::addColumn<bool>("buses");
        QTest::newRow("buses without the services") << true;
        QTest::newRow("no buses") << false;
    }

    void noServiceIsSaidOnce()
    {
        QFETCH(bool, buses);
        if (!buses) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session");
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system");
        }
        StderrCatch caught;
        openWindow();
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        auto settled = [this] {
            return m_desktop->inhibitor().isSettled() && m_desktop->wake().isSettled()
                && m_desktop->sleepWatch().isSettled();
        };
        for (const char *time : {"6:30:00 AM", "7:00:00 AM", "8:00:00 AM", "6:30:00 AM"}) {
            setTimeAlarm(QString::fromLatin1(time));
            QTRY_VERIFY(settled());
            retype("Text2", QString());
            QTRY_VERIFY(settled());
        }
        const QString text = caught.text();
        QCOMPARE(text.count(u'\n'), 5);
        QCOMPARE(text.count(QStringLiteral("Wakewell: ")), 5);
        QCOMPARE(text.count(QStringLiteral("the computer cannot be woken for the alarm at ")), 3);
        QVERIFY2(text.startsWith(QStringLiteral("Wakewell: ")), qPrintable(text));
        QVERIFY(!errorBoxShown());
        QCOMPARE(title(), QStringLiteral("Wakewell of Your"));
    }

    // From the tick that an alarm's countdown is set to sound until its music ends, logind
    // holds the lid too: at Stop Song and at the end of the playlist it is let go.
    void lidHeldWhileTheAlarmRings()
    {
        serve(m_portal, *m_sessionBus);
        serve(m_logind, *m_systemBus);
        openWindow();
        const QString lid = QStringLiteral("sleep:handle-lid-switch");
        for (bool stopSong : {true, false}) {
            setCountdown(QStringLiteral("0"));
            tick();
            QCOMPARE(m_record.opened.last(), song("a.mp3"));
            QTRY_COMPARE(m_logind->held(lid), 1);
            if (stopSong) {
                click("Command1");
            } else {
                for (int i = 0; i < 3; ++i)
                    endSong();
            }
            QTRY_COMPARE(m_logind->held(lid), 0);
        }
        QList<QStringList> lids;
        std::copy_if(m_logind->inhibits.begin(), m_logind->inhibits.end(), std::back_inserter(lids),
                     [&](const QStringList &i) { return i[0] == lid; });
        QCOMPARE(lids.size(), 2);
        QCOMPARE(lids[0], (QStringList {lid, "Wakewell", "An alarm is due", "block"}));
    }

    // The wake asked of the helper on the system bus, a minute before the countdown sounds;
    // moved by setting it anew, cleared by the other option and at closing.
    void wakeAskedOfTheHelper()
    {
        serve(m_portal, *m_sessionBus);
        serve(m_waker, *m_systemBus);
        openWindow();
        auto settled = [this] { return m_desktop->wake().isSettled(); };
        QTest::mouseClick(child<QRadioButton>("Option2"), Qt::LeftButton);
        retype("Text4", QStringLiteral("10"));
        QTRY_VERIFY(settled());
        QCOMPARE(m_waker->wake, deadline(QTime(6, 9, 1)));
        retype("Text4", QStringLiteral("20"));
        QTRY_VERIFY(settled());
        QCOMPARE(m_waker->wake, deadline(QTime(6, 19, 1)));
        QCOMPARE(m_waker->calls.last(), setCall(QTime(6, 19, 1)));
        QTest::mouseClick(child<QRadioButton>("Option1"), Qt::LeftButton);
        QTRY_COMPARE(m_waker->wake, std::nullopt);
        QCOMPARE(m_waker->calls.last(), QStringLiteral("ClearWake"));
        QTest::mouseClick(child<QRadioButton>("Option2"), Qt::LeftButton);
        QTRY_VERIFY(m_waker->wake);
        m_window->close();
        QTRY_COMPARE(m_waker->wake, std::nullopt);
    }

    // Where the wake cannot be had, it is said once for each alarm however often it is set:
    // a line on standard error and a notification, never a message box.
    void noWakeIsSaidOnce_data()
    {
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("why");
        QTest::newRow("no helper") << QString() << "wake helper (wakewell-waker) is not installed";
        QTest::newRow("not authorized") << "io.github.wakewell.Waker.Error.NotAuthorized"
                                        << "does not allow this user to wake the computer";
        QTest::newRow("no real-time clock") << "io.github.wakewell.Waker.Error.Failed"
                                            << "kernel refused the wake timer (refused)";
    }

    void noWakeIsSaidOnce()
    {
        QFETCH(QString, refusal);
        QFETCH(QString, why);
        serve(m_portal, *m_sessionBus);
        serve(m_notifications, *m_sessionBus);
        if (!refusal.isEmpty()) {
            serve(m_waker, *m_systemBus);
            m_waker->refusal = refusal;
        }
        StderrCatch caught;
        openWindow();
        for (const char *time : {"6:30:00 AM", "7:00:00 AM", "6:30:00 AM"}) {
            retype("Text2", QString());
            setTimeAlarm(QString::fromLatin1(time));
            QTRY_VERIFY(m_desktop->wake().isSettled());
        }
        if (m_waker)
            QCOMPARE(m_waker->calls.size(), 3);
        QTRY_COMPARE(m_notifications->notes.size(), 2);
        QVERIFY2(m_notifications->notes[0].contains(why), qPrintable(m_notifications->notes[0]));
        QVERIFY(
            m_notifications->notes[1].startsWith("The computer cannot wake for the alarm at 07"));
        const QString text = caught.text();
        QCOMPARE(text.count(QStringLiteral("Wakewell: the computer cannot be woken")), 2);
        QVERIFY2(text.contains(why), qPrintable(text));
        QVERIFY(!errorBoxShown());
        QTRY_COMPARE(m_portal->held(), 1);
    }

    // While an alarm is set, a suspend waits for logind's delay lock: as it begins, a wake
    // that has fired already while the computer was awake is armed again at the nearest, and
    // the lock is let go only once the helper has armed it. Woken within two minutes of the
    // alarm, the computer holds the lid, and the delay lock again.
    void suspendWaitsForTheWake()
    {
        serve(m_portal, *m_sessionBus);
        serve(m_logind, *m_systemBus);
        serve(m_waker, *m_systemBus);
        openWindow();
        const QString lid = QStringLiteral("sleep:handle-lid-switch");
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        QTRY_COMPARE(m_logind->delaying(), 1);
        QTRY_COMPARE(m_waker->wake, deadline(QTime(6, 29)));

        m_clock.wall.setTime(QTime(6, 29, 20));
        m_waker->holding = true;
        FakeLogind::prepareForSleep(true);
        QTRY_COMPARE(m_waker->held.size(), 1);
        QCOMPARE(m_waker->lastSet(), setCall(QTime(6, 29, 28)));
        QTest::qWait(100);
        QCOMPARE(m_logind->delaying(), 1);
        m_waker->release();
        QTRY_COMPARE(m_logind->delaying(), 0);
        QCOMPARE(m_logind->held(lid), 0);

        FakeLogind::prepareForSleep(false);
        QTRY_COMPARE(m_logind->held(lid), 1);
        QTRY_COMPARE(m_logind->delaying(), 1);
        // A suspend with the wake well ahead is let go of at once.
        FakeLogind::prepareForSleep(true);
        QTRY_COMPARE(m_logind->delaying(), 0);
        QCOMPARE(m_waker->calls.size(), 2);
    }

    // Calls that fail for a while (no reply; polkit not answering the helper) are made again
    // after a pause, unsaid; should the helper holding the wake go away (a crash, a restart),
    // the wake is asked again of the helper that comes next. The portal keeps the computer
    // from sleeping on its own only while the helper holds no wake.
    void wakeAskedAgain_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("no reply") << "org.freedesktop.DBus.Error.NoReply";
        QTest::newRow("polkit does not answer")
            << QString::fromLatin1(WakerBus::Error::Unavailable);
    }

    void wakeAskedAgain()
    {
        QFETCH(QString, failure);
        serve(m_portal, *m_sessionBus);
        serve(m_notifications, *m_sessionBus);
        serve(m_waker, *m_systemBus);
        m_waker->refusal = failure;
        m_waker->failures = 2;
        StderrCatch caught;
        openWindow();
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        QTRY_COMPARE(m_portal->held(), 1);
        QTRY_COMPARE(m_waker->wake, deadline(QTime(6, 29)));
        QCOMPARE(m_waker->calls, QStringList(3, setCall(QTime(6, 29))));
        QTRY_COMPARE(m_portal->held(), 0);
        unserve(m_waker);
        QTRY_COMPARE(m_portal->held(), 1);
        serve(m_waker, *m_systemBus);
        QTRY_COMPARE(m_waker->wake, deadline(QTime(6, 29)));
        QCOMPARE(m_waker->calls, QStringList {setCall(QTime(6, 29))});
        QTRY_COMPARE(m_portal->held(), 0);
        QCOMPARE(m_portal->inhibits.size(), 2);
        const QString text = caught.text();
        QVERIFY2(text.contains("the wake helper has gone"), qPrintable(text));
        QCOMPARE(text.count("Wakewell: wake armed by the wake helper for "), 2);
        QVERIFY2(!text.contains("cannot be woken"), qPrintable(text));
        QCOMPARE(m_notifications->notes, QStringList());
    }

    // polkit that does not answer the helper past every pause: the lack is said as one that
    // passes, never as the system's no, and the wake is asked again as a suspend begins,
    // which waits for it.
    void stalledPolkitAskedAgainAtSuspend()
    {
        serve(m_portal, *m_sessionBus);
        serve(m_notifications, *m_sessionBus);
        serve(m_logind, *m_systemBus);
        serve(m_waker, *m_systemBus);
        m_waker->refusal = QString::fromLatin1(WakerBus::Error::Unavailable);
        openWindow();
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        const int pausesMs = KernelWakeTimer::firstRetryMs * ((1 << KernelWakeTimer::retries) - 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_notifications->notes.size(), 1, pausesMs + 10000);
        QCOMPARE(m_waker->calls, QStringList(1 + KernelWakeTimer::retries, setCall(QTime(6, 29))));
        QVERIFY2(m_notifications->notes[0].contains("did not say in time whether this user may "
                                                    "wake the computer"),
                 qPrintable(m_notifications->notes[0]));
        QVERIFY(m_desktop->wake().isSettled());

        m_waker->refusal.clear();
        m_waker->holding = true;
        FakeLogind::prepareForSleep(true);
        QTRY_COMPARE(m_waker->held.size(), 1);
        QTest::qWait(100);
        QCOMPARE(m_logind->delaying(), 1);
        m_waker->release();
        QCOMPARE(m_waker->wake, deadline(QTime(6, 29)));
        QTRY_COMPARE(m_logind->delaying(), 0);
        QCOMPARE(m_notifications->notes.size(), 1);
    }

    // A bus that does not answer holds up nothing; the alarm is held once one answers.
    void silentBusHoldsUpNothing_data()
    {
        QTest::addColumn<bool>("sessionSilent");
        QTest::newRow("session bus") << true;
        QTest::newRow("system bus") << false;
    }

    void silentBusHoldsUpNothing()
    {
        QFETCH(bool, sessionSilent);
        PrivateBus &silent = sessionSilent ? *m_sessionBus : *m_systemBus;
        serve(m_portal, *m_sessionBus);
        silent.pause();
        // Should the window wait for the bus after all, it would wait for ever: a watchdog
        // wakes the bus after a minute, and the test fails if it had to.
        QSemaphore cancel;
        std::atomic<bool> woken = false;
        std::unique_ptr<QThread> watchdog(QThread::create([&] {
            if (!cancel.tryAcquire(1, 60000)) {
                woken = true;
                silent.resume();
            }
        }));
        watchdog->start();
        openWindow();
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        tick();
        if (!sessionSilent)
            QTRY_COMPARE(m_portal->held(), 1);
        const bool waited = woken;
        cancel.release();
        watchdog->wait();
        QVERIFY2(!waited, "the window waited for a bus that did not answer");
        QVERIFY(!child<QLineEdit>("Text1")->text().isEmpty());
        silent.resume();
        QTRY_COMPARE(m_portal->held(), 1);
    }
};

QTEST_MAIN(TestInhibitor)
#include "test_inhibitor.moc"
