// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktoptest.h"
#include "fakes/fakenotifier.h"
#include "fakes/faketone.h"
#include "watch/silenceguard.h"

#include <QApplication>

// The tone of an alarm whose playlist plays nothing, and the missing output said, never in the
// way of Stop Song.
class TestTone : public QObject, public DesktopTest
{
    Q_OBJECT

    ToneRecord m_tone;
    FakeNotifier m_notifier;
    std::unique_ptr<SilenceGuard> m_guard;

    void startGuarded()
    {
        startHeldWithThreeSongs();
        m_guard = std::make_unique<SilenceGuard>(m_window->alarmSetting(),
                                                 m_window->transportStatus(), *m_window,
                                                 std::make_unique<FakeTone>(m_tone), m_notifier);
    }

    // A click on the button as the window system delivers it, which a box that is modal to
    // the window would take: QTest's click on a widget reaches it whatever stands in front.
    void clickAsAPerson(const char *button)
    {
        auto *widget = child<QPushButton>(button);
        QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {},
                          widget->mapTo(m_window.get(), widget->rect().center()));
    }

    // The machine's outputs are there, or none is, and the guard is told.
    void outputs(bool present)
    {
        player().audioOutput = present;
        m_guard->audioOutputsChanged();
    }
    // The time that the guard gives a lost output to come back.
    QTimer *lossTimer() const { return m_guard->findChild<QTimer *>("outputLossTimer"); }
    // That time runs out.
    void lossTimerRunsOut()
    {
        QVERIFY(lossTimer()->isActive());
        QCOMPARE(lossTimer()->interval(), SilenceGuard::lossGraceMs);
        lossTimer()->stop();
        timeout(lossTimer());
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
        m_notifier.said.clear();
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

    // Said when the outputs are first listed and there is none; and when none has been there
    // for the guard's time while an alarm is set, once for each loss: an output that comes back
    // sooner (PipeWire's after a resume) is no loss. Said in a notification, never in a box.
    void noOutputIsSaid()
    {
        const QStringList once {
            QStringLiteral("No sound output device was found: alarms will not be heard.")};
        startGuarded();
        player().audioOutput = false;
        // The outputs are first listed as the first alarm is set, at once where the sound
        // system knows them: said then, and not again when the guard's time runs out.
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        m_guard->audioOutputsListed();
        QCOMPARE(m_notifier.said, once);
        QVERIFY(!lossTimer()->isActive());
        outputs(true);
        // Gone and back within the time, twice, as after a resume.
        for (int i = 0; i < 2; ++i) {
            outputs(false);
            QVERIFY(lossTimer()->isActive());
            outputs(true);
            QVERIFY(!lossTimer()->isActive());
        }
        // Gone for good.
        outputs(false);
        lossTimerRunsOut();
        QCOMPARE(m_notifier.said, once + once);
        outputs(false);
        QVERIFY(!lossTimer()->isActive());
        // Gone while no alarm is set, then an alarm set: timed from the alarm.
        outputs(true);
        retype("Text2", QString());
        outputs(false);
        QVERIFY(!lossTimer()->isActive());
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        lossTimerRunsOut();
        QCOMPARE(m_notifier.said, once + once + once);
        // The alarm taken away before the time has run out: nothing.
        outputs(true);
        outputs(false);
        retype("Text2", QString());
        QVERIFY(!lossTimer()->isActive());
        QCOMPARE(m_notifier.said.size(), 3);
        QVERIFY(!errorBoxShown());
    }

    // The machine resumes a minute before the alarm, its outputs going and coming back twice,
    // then going for longer: whatever is said, the alarm rings and the first click on
    // "Stop Song" silences it.
    void stopSongAfterAResume()
    {
        startGuarded();
        // The enlarged window, which shows Stop Song.
        click("Command2");
        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        tickAt(QTime(6, 29, 0));
        for (int i = 0; i < 2; ++i) {
            outputs(false);
            outputs(true);
        }
        outputs(false);
        lossTimerRunsOut();
        QCOMPARE(m_notifier.said.size(), 1);
        outputs(true);
        tickAt(QTime(6, 30, 0));
        QCOMPARE(player().state, MediaPlayer::Playing);
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        m_record.calls.clear();
        clickAsAPerson("Command1");
        QCOMPARE(m_record.calls, QStringList {"Stop"});
        QCOMPARE(player().state, MediaPlayer::Stopped);
        QCOMPARE(title(), QStringLiteral("Wakewell"));
        QVERIFY(!errorBoxShown());
    }
};

QTEST_MAIN(TestTone)
#include "test_tone.moc"
