// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktoptest.h"
#include "fakes/privatebus.h"
#include "platform/linux/desktopintegration.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {
const QString service = QString::fromLatin1(MprisMediaKeys::serviceName);
const QString path = QString::fromLatin1(MprisMediaKeys::objectPath);
const QString rootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
} // namespace

// Collects the service's PropertiesChanged signals, each as its map of changed properties
// with Metadata read out as a map.
class ChangeLog : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> changes;

    // The last change that carried the property, or an invalid value.
    QVariant last(const QString &name) const
    {
        for (auto it = changes.crbegin(); it != changes.crend(); ++it)
            if (it->contains(name))
                return it->value(name);
        return {};
    }

public slots:
    void changed(const QString &interface, const QVariantMap &properties, const QStringList &)
    {
        if (interface != playerInterface)
            return;
        QVariantMap change = properties;
        if (change.contains(QStringLiteral("Metadata")))
            change[QStringLiteral("Metadata")]
                = qdbus_cast<QVariantMap>(change.value(QStringLiteral("Metadata")));
        changes << change;
    }
};

// The MPRIS service, reached through real D-Bus calls on a private session bus.
class TestMpris : public QObject, public DesktopTest
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<QDBusConnection> m_client;
    std::unique_ptr<DesktopIntegration> m_desktop;

    bool registered(const QString &name = service) const
    {
        return m_client->interface()->isServiceRegistered(name);
    }

    void serve(const QString &name = service)
    {
        m_desktop = std::make_unique<DesktopIntegration>(
            m_window->transportStatus(), *m_window, BusAddresses {m_bus->address(), QString()},
            DriveTable({{QStringLiteral("C:"), QStringLiteral("/srv/songs")}}));
        QTRY_VERIFY(registered(name));
    }

    void unserve()
    {
        m_desktop.reset();
        QTRY_VERIFY(!registered());
    }

    QDBusMessage call(const QString &interface, const QString &method,
                      const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        // The service answers from this thread: wait with its event loop running.
        return m_client->call(message, QDBus::BlockWithGui);
    }

    QVariant property(const QString &interface, const QString &name)
    {
        const QDBusMessage reply
            = call(propertiesInterface, QStringLiteral("Get"), {interface, name});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {};
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    // The window in one of the four states of the transport controls, its player's calls so
    // far forgotten. Playing and Paused stand on the second of the three songs.
    void enterState(const QString &state)
    {
        startWithThreeSongs();
        if (state == "Playing" || state == "Paused") {
            click("cmdPlay");
            click("cmdNext");
        }
        if (state == "Paused")
            click("cmdPause");
        if (state == "Ended") {
            click("cmdPlay");
            for (int i = 0; i < 3; ++i)
                endSong();
        }
        m_record.calls.clear();
    }

    // What a click changes, as lines that QCOMPARE can set side by side.
    QStringList seen() const
    {
        return {
            QStringLiteral("intSong %1").arg(m_window->intSong),
            QStringLiteral("Timer1 %1").arg(timer1On() ? "on" : "off"),
            QStringLiteral("title ") + title(),
            QStringLiteral("txtSong ") + txtSong(),
            QStringLiteral("playlist buttons %1").arg(playlistButtonsEnabled() ? "on" : "off"),
            QStringLiteral("calls ") + m_record.calls.join(QStringLiteral(", ")),
        };
    }

private slots:
    void initTestCase()
    {
        m_bus = std::make_unique<PrivateBus>();
        m_client = std::make_unique<QDBusConnection>(m_bus->connect(QStringLiteral("client")));
    }

    void cleanup()
    {
        unserve();
        stop();
    }

    void cleanupTestCase()
    {
        m_client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        m_bus.reset();
    }

    // Each method does what the same click on the window does, or, where a media key
    // should have no effect, nothing at all.
    void methodIsTheClick_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("button"); // empty: no effect
        QTest::addColumn<QString>("status"); // PlaybackStatus afterwards
        const struct
        {
            const char *state, *method, *button, *status;
        } rows[] = {
            {"Idle", "Play", "cmdPlay", "Playing"},
            {"Idle", "Pause", "", "Stopped"},
            {"Idle", "PlayPause", "cmdPlay", "Playing"},
            {"Idle", "Stop", "", "Stopped"},
            {"Idle", "Next", "cmdNext", "Playing"},
            {"Idle", "Previous", "", "Stopped"},
            {"Playing", "Play", "", "Playing"},
            {"Playing", "Pause", "cmdPause", "Paused"},
            {"Playing", "PlayPause", "cmdPause", "Paused"},
            {"Playing", "Stop", "cmdStop", "Stopped"},
            {"Playing", "Next", "cmdNext", "Playing"},
            {"Playing", "Previous", "cmdBack", "Playing"},
            {"Paused", "Play", "cmdPlay", "Playing"},
            {"Paused", "Pause", "", "Paused"},
            {"Paused", "PlayPause", "cmdPause", "Playing"},
            {"Paused", "Stop", "cmdStop", "Stopped"},
            {"Paused", "Next", "cmdNext", "Playing"},
            {"Paused", "Previous", "cmdBack", "Playing"},
            {"Ended", "Play", "cmdPlay", "Playing"},
            {"Ended", "Pause", "", "Stopped"},
            {"Ended", "PlayPause", "cmdPlay", "Playing"},
            {"Ended", "Stop", "cmdStop", "Stopped"},
            {"Ended", "Next", "", "Stopped"},
            {"Ended", "Previous", "cmdBack", "Playing"},
        };
        for (const auto &row : rows)
            QTest::addRow("%s %s", row.state, row.method)
                << row.state << row.method << row.button << row.status;
    }

    void methodIsTheClick()
    {
        QFETCH(QString, state);
        QFETCH(QString, method);
        QFETCH(QString, button);
        QFETCH(QString, status);
        enterState(state);
        serve();
        QCOMPARE(call(playerInterface, method).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(property(playerInterface, QStringLiteral("PlaybackStatus")).toString(), status);
        const QStringList byKey = seen();
        unserve();
        stop();

        enterState(state);
        if (!button.isEmpty())
            click(qPrintable(button));
        QCOMPARE(byKey, seen());
    }

    // A song change is announced with what changed, and only that.
    void songChangeIsAnnounced()
    {
        startWithThreeSongs();
        serve();
        ChangeLog log;
        QVERIFY(m_client->connect(service, path, propertiesInterface,
                                  QStringLiteral("PropertiesChanged"), &log,
                                  SLOT(changed(QString, QVariantMap, QStringList))));
        auto metadata = [&log] { return log.last(QStringLiteral("Metadata")).toMap(); };

        click("cmdPlay");
        QTRY_COMPARE(log.last(QStringLiteral("PlaybackStatus")).toString(),
                     QStringLiteral("Playing"));
        QCOMPARE(metadata().value(QStringLiteral("xesam:title")).toString(),
                 QStringLiteral("a.mp3"));
        QCOMPARE(metadata().value(QStringLiteral("xesam:url")).toString(),
                 QStringLiteral("file:///srv/songs/Music/a.mp3"));
        QVERIFY(metadata().value(QStringLiteral("mpris:trackid")).canConvert<QDBusObjectPath>());
        // From Idle, Next could already play a song; Back could not, and cannot yet.
        QVERIFY(!log.last(QStringLiteral("CanGoNext")).isValid());
        QVERIFY(!log.last(QStringLiteral("CanGoPrevious")).isValid());
        QCOMPARE(log.last(QStringLiteral("CanPause")), QVariant(true));

        const auto trackA = metadata().value(QStringLiteral("mpris:trackid"));
        log.changes.clear();
        endSong();
        QTRY_COMPARE(metadata().value(QStringLiteral("xesam:title")).toString(),
                     QStringLiteral("b.mp3"));
        QCOMPARE(metadata().value(QStringLiteral("xesam:url")).toString(),
                 QStringLiteral("file:///srv/songs/Music/b.mp3"));
        QVERIFY(metadata().value(QStringLiteral("mpris:trackid")) != trackA);
        QCOMPARE(log.changes.size(), 1);
        QCOMPARE(log.changes.first().keys(),
                 (QStringList {QStringLiteral("CanGoPrevious"), QStringLiteral("Metadata")}));
        QCOMPARE(log.last(QStringLiteral("CanGoPrevious")), QVariant(true));

        log.changes.clear();
        endSong();
        QTRY_COMPARE(log.last(QStringLiteral("CanGoNext")), QVariant(false));
        // Past the last song the window still names it: only the status changes.
        log.changes.clear();
        endSong();
        QTRY_COMPARE(log.last(QStringLiteral("PlaybackStatus")).toString(),
                     QStringLiteral("Stopped"));
        QVERIFY(!log.last(QStringLiteral("Metadata")).isValid());
    }

    void rootProperties()
    {
        start();
        serve();
        QCOMPARE(property(rootInterface, QStringLiteral("Identity")).toString(),
                 QStringLiteral("Wakewell"));
        QCOMPARE(property(rootInterface, QStringLiteral("DesktopEntry")).toString(),
                 QStringLiteral("io.github.wakewell.Wakewell"));
        QCOMPARE(property(rootInterface, QStringLiteral("CanRaise")), QVariant(true));
        QCOMPARE(property(playerInterface, QStringLiteral("Metadata"))
                     .value<QDBusArgument>()
                     .currentType(),
                 QDBusArgument::MapType);
    }

    void raiseShowsTheWindow()
    {
        start();
        serve();
        m_window->hide();
        QCOMPARE(call(rootInterface, QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
        QVERIFY(m_window->isVisible());
    }

    // As the close button: the player stops and is released, the program may end.
    void quitClosesTheWindow()
    {
        startWithThreeSongs();
        click("cmdPlay");
        serve();
        m_record.calls.clear();
        QCOMPARE(call(rootInterface, QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(!m_window->isVisible());
        QCOMPARE(m_record.calls, (QStringList {"Stop", "release"}));
        QTRY_VERIFY(!registered());
    }

    // A second Wakewell on the same desktop answers under a name of its own.
    void secondInstanceTakesItsOwnName()
    {
        QDBusConnection first = m_bus->connect(QStringLiteral("first"));
        QVERIFY(first.registerService(service));
        start();
        serve(service + QStringLiteral(".instance")
              + QString::number(QCoreApplication::applicationPid()));
        QDBusConnection::disconnectFromBus(QStringLiteral("first"));
    }
};

QTEST_MAIN(TestMpris)
#include "test_mpris.moc"
