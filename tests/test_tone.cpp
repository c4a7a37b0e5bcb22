// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktoptest.h"
#include "fakes/faketone.h"
#include "watch/silenceguard.h"

// The tone of an alarm whose playlist plays nothing, and the missing output said again.
class TestTone : public QObject, public DesktopTest
{
    Q_OBJECT

    ToneRecord m_tone;
    std::unique_ptr<SilenceGuard> m_guard;

    void startGuarded()
    {
        startHeldWithThreeSongs();
        m_guard
            = std::make_unique<SilenceGuard>(m_window->alarmSetting(), m_window->transportStatus(),
                                             *m_window, std::make_unique<FakeTone>(m_tone));
    }

    // Continuous play through the three songs: each one the player can open plays, and
    // reaches its first second when it is in played; then it ends and Timer1 ticks.
    void playThrough(const QStringList &played)
    {
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3"}) {
            QCOMPARE(m_record.opened.last(), song(name));
            if (played.contains(QString::fromLatin1(name)))
                ++player().songsPlayed;
            endSong();
        }
        QVERIFY(!timer1On());
        QCOMPARE(m_window->intSong, 4);
    }

private slots:
    void cleanup()
    {
        m_guard.reset();
        stop();
        m_tone = ToneRecord();
    }

    void toneWhenNoSongPlayedASecond_data()
    {
        QTest::addColumn<QStringList>("unplayable");
        QTest::addColumn<QStringList>("played");
        QTest::addColumn<bool>("tone");
        const QStringList all {song("a.mp3"), song("b.mp3"), song("c.mp3")};
        QTest::newRow("every song fails to open") << all << QStringList() << true;
        QTest::newRow("songs open but none plays a second")
            << QStringList() << QStringList() << true;
        QTest::newRow("one good song")
            << QStringList {song("a.mp3"), song("c.mp3")} << QStringList {"b.mp3"} << false;
        QTest::newRow("the last song plays") << QStringList() << QStringList {"c.mp3"} << false;
    }

    void toneWhenNoSongPlayedASecond()
    {
        QFETCH(QStringList, unplayable);
        QFETCH(QStringList, played);
        QFETCH(bool, tone);
        startGuarded();
        player().unplayable = unplayable;
        setCountdown("0");
        tick();
        playThrough(played);
        QCOMPARE(m_tone.sounding, tone);
        // The window shows what continuous play leaves, tone or not.
        QCOMPARE(title(), QStringLiteral("Player - c.mp3"));
        QVERIFY(!errorBoxShown());
    }

    // The tone goes on through other clicks and ends with Stop or "Stop Song".
    void stopEndsTheTone_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Stop Song") << "Command1";
        QTest::newRow("Stop") << "cmdStop";
    }

    void stopEndsTheTone()
    {
        QFETCH(QString, button);
        startGuarded();
        player().unplayable = playlistEntries();
        setTimeAlarm(QStringLiteral("6:00:01 AM"));
        tickAt(QTime(6, 0, 1));
        playThrough({});
        QVERIFY(m_tone.sounding);
        click("cmdBack");
        click("cmdPause");
        QVERIFY(m_tone.sounding);
        click(qPrintable(button));
        QVERIFY(!m_tone.sounding);
        QCOMPARE(m_tone.starts, 1);
    }

    // Someone who pressed Play is awake, and one who paused the alarm's songs too.
    void noToneWithoutAnAlarm_data()
    {
        QTest::addColumn<bool>("byAlarm");
        QTest::addColumn<bool>("pauseOnce");
        QTest::newRow("Play") << false << false;
        QTest::newRow("alarm, paused and resumed") << true << true;
    }

    void noToneWithoutAnAlarm()
    {
        QFETCH(bool, byAlarm);
        QFETCH(bool, pauseOnce);
        startGuarded();
        player().unplayable = playlistEntries();
        if (byAlarm) {
            setCountdown("0");
            tick();
        } else {
            click("cmdPlay");
        }
        if (pauseOnce) {
            player().state = MediaPlayer::Playing;
            click("cmdPause");
            click("cmdPause");
            player().state = MediaPlayer::Stopped;
        }
        playThrough({});
        QVERIFY(!m_tone.sounding);
        QCOMPARE(m_tone.starts, 0);
    }

    // Said at each loss of the last output while an alarm is set, never otherwise.
    void lostOutputIsSaidWhileAnAlarmIsSet()
    {
        const QString message
            = QStringLiteral("No sound output device was found: alarms will not be heard.");
        startGuarded();
        auto outputs = [this](bool present) {
            player().audioOutput = present;
            m_guard->audioOutputsChanged();
            QCoreApplication::processEvents();
        };
        outputs(false);
        QCOMPARE(messageText(), QString());
        outputs(true);
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        outputs(false);
        QTRY_COMPARE(messageText(), message);
        closeMessage();
        outputs(false);
        QCOMPARE(messageText(), QString());
        outputs(true);
        outputs(false);
        QTRY_COMPARE(messageText(), message);
    }
};

QTEST_MAIN(TestTone)
#include "test_tone.moc"
