// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fakepower.h"
#include "fakes/windowtest.h"

// The clock tick, the alarm at a time of day, and what a due alarm starts. The fake clock
// starts at 6:00:00.005 AM; the test runs with TZ=UTC, a zone without daylight saving.
class TestAlarm : public QObject, public WindowTest
{
    Q_OBJECT

    void setAlarm(const QString &text)
    {
        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        QTest::keyClicks(m_window->Text2, text);
    }
    void startWithSongs(const QStringList &names)
    {
        for (const QString &name : names)
            m_fs.addFile("C:\\Music\\" + name);
        startHeld();
        addToPlaylist("C:\\Music", names);
    }

    std::optional<FakePower> m_power;
    std::unique_ptr<AlarmWatch> m_watch;
    // The window with one song, watched over the fakes; the wake's calls so far forgotten.
    void startWatched()
    {
        startWithSongs({"a.mp3"});
        m_watch = m_power->watch(*m_window);
        m_power->wake.calls.clear();
    }
    // Selects all of the field and types text over it, as a user who retypes it; with no
    // text, deletes it.
    static void typeOver(QLineEdit *field, const QString &text)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }
    QString lastWakeCall() const
    {
        return m_power->wake.calls.isEmpty() ? QString() : m_power->wake.calls.last();
    }

private slots:
    void init()
    {
        m_fs.addDrive("C:");
        m_power.emplace();
    }
    void cleanup()
    {
        m_watch.reset();
        stop();
    }

    void withoutModeTickOnlyShowsTheTime()
    {
        startWithSongs({"a.mp3"});
        QVERIFY(m_window->Text1->text().isEmpty());
        QTest::keyClicks(m_window->Text2, "6:00:01 AM");
        m_window->Text5->setText("3");
        m_record.calls.clear();
        ticks(2);
        QCOMPARE(m_window->Text1->text(), QStringLiteral("6:00:02 AM"));
        QCOMPARE(m_window->Text5->text(), QStringLiteral("3"));
        QVERIFY(m_window->strNow.isEmpty());
        QCOMPARE(m_record.calls, QStringList());
    }

    void alarmTextMustMatchExactly_data()
    {
        QTest::addColumn<QString>("alarm");
        QTest::addColumn<bool>("rings");
        QTest::newRow("the clock's text") << "6:00:01 AM" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("leading zero") << "06:00:01 AM" << false;
        QTest::newRow("no seconds") << "6:00 AM" << false;
        QTest::newRow("lower-case am") << "6:00:01 am" << false;
        QTest::newRow("blank before") << " 6:00:01 AM" << false;
        QTest::newRow("blank after") << "6:00:01 AM " << false;
        QTest::newRow("24-hour form") << "06:00:01" << false;
    }

    void alarmTextMustMatchExactly()
    {
        QFETCH(QString, alarm);
        QFETCH(bool, rings);
        startWithSongs({"a.mp3"});
        setAlarm(alarm);
        ticks(3);
        QCOMPARE(m_record.opened, rings ? QStringList {"C:\\Music\\a.mp3"} : QStringList());
    }

    // The alarm rings at the tick that shows its second, and again the next day.
    void ringsAtTheTickShowingItsTime()
    {
        startWithSongs({"a.mp3", "b.mp3"});
        setAlarm("6:00:02 AM");
        ticks(1);
        QCOMPARE(m_window->Text1->text(), QStringLiteral("6:00:01 AM"));
        QCOMPARE(m_record.opened, QStringList());
        ticks(1);
        QCOMPARE(m_window->Text1->text(), QStringLiteral("6:00:02 AM"));
        QCOMPARE(m_window->strNow, QStringLiteral("6:00:02 AM"));
        QCOMPARE(m_record.opened, QStringList {"C:\\Music\\a.mp3"});
        QCOMPARE(m_window->intSong, 1);
        QVERIFY(m_window->Timer1->isActive());
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("a.mp3"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Player - a.mp3"));
        for (QPushButton *button : {m_window->cmdAdd, m_window->cmdRemove, m_window->cmdClear})
            QVERIFY(!button->isEnabled());
        ticks(1);
        QCOMPARE(m_record.opened.size(), 1);
        tickAt(QTime(6, 0, 2, 30));
        QCOMPARE(m_record.opened.size(), 2);
    }

    // A paused song resumes, whichever it is; the display shows entry 1. The output is made
    // audible first.
    void alarmWhilePaused()
    {
        startWithSongs({"a.mp3", "b.mp3"});
        setAlarm("6:00:01 AM");
        player().state = MediaPlayer::Paused;
        m_window->intSong = 2;
        m_record.calls.clear();
        ticks(1);
        QCOMPARE(m_record.calls, (QStringList {"Make audible", "Play"}));
        QCOMPARE(m_window->intSong, 1);
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("a.mp3"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Player - a.mp3"));
    }

    // Paused after the playlist was emptied: the song resumes, and the display stays.
    void alarmWhilePausedWithEmptiedPlaylist()
    {
        startWithSongs({"a.mp3"});
        QTest::mouseClick(m_window->cmdClear, Qt::LeftButton);
        setAlarm("6:00:01 AM");
        player().state = MediaPlayer::Paused;
        m_window->txtSong->setText("b.mp3");
        m_window->setWindowTitle("Player - b.mp3");
        ticks(1);
        QCOMPARE(player().state, MediaPlayer::Playing);
        QVERIFY(m_window->Timer1->isActive());
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("b.mp3"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Player - b.mp3"));
        QVERIFY(!m_window->cmdAdd->isEnabled());
        QVERIFY(messageText().isEmpty());
    }

    void alarmWhilePlayingOpensTheFirstSong()
    {
        startWithSongs({"a.mp3", "b.mp3"});
        setAlarm("6:00:01 AM");
        player().Open("C:\\Music\\b.mp3");
        m_record.calls.clear();
        ticks(1);
        QCOMPARE(m_record.calls, (QStringList {"Make audible", "Open C:\\Music\\a.mp3"}));
    }

    void alarmWithEmptyPlaylistChangesNothingButIntSong()
    {
        startHeld();
        setAlarm("6:00:01 AM");
        m_record.calls.clear();
        ticks(1);
        QCOMPARE(m_window->intSong, 1);
        QCOMPARE(m_record.calls, QStringList());
        QVERIFY(!m_window->Timer1->isActive());
        QVERIFY(m_window->txtSong->text().isEmpty());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Wakewell of Your"));
        QVERIFY(m_window->cmdAdd->isEnabled());
        QCoreApplication::processEvents();
        QVERIFY(messageText().isEmpty());
    }

    void entryWithoutBackslashShowsWhole()
    {
        startHeld();
        m_window->colPlaylist().Add("wake.mp3");
        setAlarm("6:00:01 AM");
        ticks(1);
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("wake.mp3"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Player - wake.mp3"));
    }

    // A step that fails is reported, and the clock goes on.
    void failingTickStillTicks()
    {
        startWithSongs({"a.mp3"});
        setAlarm("6:00:01 AM");
        player().openFailure = "Path not found";
        ticks(1); // tick() checks that Timer2 was armed again
        QTRY_COMPARE(messageText(), QStringLiteral("Path not found"));
        closeMessage();
        ticks(1);
        QCOMPARE(m_window->Text1->text(), QStringLiteral("6:00:02 AM"));
    }

    // The computer is woken a minute before the next second whose clock text is Text2's; the
    // wake moves with each edit and the options, and is cancelled when no alarm is set.
    void wakeBeforeTheTimeOfDay()
    {
        startWatched();
        setAlarm("6:30:00 AM");
        QCOMPARE(m_power->wake.calls, QStringList {"arm 2026-12-08T06:29:00Z"});
        // A time gone by today: tomorrow. The half-typed texts name no time.
        typeOver(m_window->Text2, "5:00:00 AM");
        QCOMPARE(m_power->wake.calls.mid(1), (QStringList {"cancel", "arm 2026-12-09T04:59:00Z"}));
        // The ticks up to the alarm do not move it.
        ticks(5);
        QCOMPARE(m_power->wake.calls.size(), 3);
        typeOver(m_window->Text2, QString());
        QCOMPARE(lastWakeCall(), QStringLiteral("cancel"));
        QVERIFY(!m_power->wake.armed);
        QTest::keyClicks(m_window->Text2, "7:00:00 AM");
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:59:00Z"));
        // The countdown chosen, never armed: no alarm is set.
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        QCOMPARE(lastWakeCall(), QStringLiteral("cancel"));
        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:59:00Z"));
        const qsizetype calls = m_power->wake.calls.size();
        m_window->close();
        QCOMPARE(m_power->wake.calls.size(), calls + 1);
        QCOMPARE(lastWakeCall(), QStringLiteral("cancel"));
    }

    // An alarm nearer than the nearest wake the helper takes gets none: the computer is awake
    // now. Once it has rung, the wake is for the same second the next day.
    void nearAlarmThenTomorrow()
    {
        startWatched();
        setAlarm("6:00:02 AM");
        QCOMPARE(m_power->wake.calls, QStringList());
        ticks(2);
        QCOMPARE(m_record.opened.size(), 1);
        QCOMPARE(m_power->wake.calls, QStringList {"arm 2026-12-09T05:59:02Z"});
        // Up to 68 s ahead, the wake is the nearest one.
        typeOver(m_window->Text2, "6:01:00 AM");
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:00:10Z"));
    }

    // As the computer goes to sleep, the alarm gets a wake however near it is: where the
    // wake has fired already while the computer was awake, or none was armed as the alarm
    // was too near, the nearest wake; a wake armed ahead of that stays as it is.
    void wakeArmedBeforeSleep()
    {
        startWatched();
        setAlarm("6:30:00 AM");
        m_watch->beforeSleep();
        QCOMPARE(m_power->wake.calls, QStringList {"arm 2026-12-08T06:29:00Z"});
        tickAt(QTime(6, 29, 20));
        m_watch->beforeSleep();
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:29:28Z"));
        m_watch->beforeSleep();
        QCOMPARE(m_power->wake.calls.size(), 2);
        // Asleep for the alarm's second: the alarm rings on waking, the wake is tomorrow's.
        tickAt(QTime(6, 30, 0, 400));
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-09T06:29:00Z"));

        QTest::mouseClick(m_window->Command1, Qt::LeftButton);
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        typeOver(m_window->Text5, "3");
        QCOMPARE(lastWakeCall(), QStringLiteral("cancel"));
        m_watch->beforeSleep();
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:30:08Z"));
    }

    // A text the clock never shows sets an alarm that never rings: nothing to wake for.
    void noWakeForATextNeverShown_data()
    {
        QTest::addColumn<QString>("alarm");
        QTest::newRow("leading zero") << "06:30:00 AM";
        QTest::newRow("no seconds") << "6:30 AM";
        QTest::newRow("lower-case am") << "6:30:00 am";
        QTest::newRow("blank before") << " 6:30:00 AM";
        QTest::newRow("24-hour form") << "18:30:00";
        QTest::newRow("no such second") << "6:30:60 AM";
        QTest::newRow("no time") << "soon";
    }

    void noWakeForATextNeverShown()
    {
        QFETCH(QString, alarm);
        startWatched();
        setAlarm(alarm);
        QVERIFY(m_power->whileSet.held);
        QCOMPARE(m_power->wake.calls, QStringList());
    }

    // The countdown's deadline is the tick after its last step: now plus what the fields
    // hold. Its own steps, a borrow from the minutes among them, leave the wake as it is;
    // an edit moves it; once it has rung the wake is cancelled, and stays so at Stop Song.
    void wakeBeforeTheCountdown()
    {
        startWatched();
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        typeOver(m_window->Text4, "2");
        QCOMPARE(m_power->wake.calls, QStringList {"arm 2026-12-08T06:01:01Z"});
        ticks(3);
        QCOMPARE(m_window->Text4->text(), QStringLiteral("1"));
        QCOMPARE(m_power->wake.calls.size(), 1);
        typeOver(m_window->Text3, "1");
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T07:01:01Z"));
        typeOver(m_window->Text3, "0");
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:01:01Z"));
        const qsizetype calls = m_power->wake.calls.size();
        ticks(117);
        QCOMPARE(m_record.opened, QStringList());
        QCOMPARE(m_power->wake.calls.size(), calls);
        ticks(1);
        QCOMPARE(m_record.opened.size(), 1);
        QCOMPARE(m_power->wake.calls.size(), calls + 1);
        QCOMPARE(lastWakeCall(), QStringLiteral("cancel"));
        QTest::mouseClick(m_window->Command1, Qt::LeftButton);
        QCOMPARE(m_power->wake.calls.size(), calls + 1);
    }

    // Countdowns that never ring get no wake; one beyond the farthest wake gets it once the
    // deadline comes near enough.
    void countdownWakeAtTheEdges()
    {
        startWatched();
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        typeOver(m_window->Text5, "90.5");
        QVERIFY(m_power->whileSet.held);
        QVERIFY(!m_power->wake.armed);
        typeOver(m_window->Text5, "0");
        typeOver(m_window->Text3, "200");
        ticks(1);
        QVERIFY(!m_power->wake.armed);
        // Nine hours asleep, counted down on waking.
        tickAfter(9 * 3600 * 1000);
        QCOMPARE(m_window->Text3->text(), QStringLiteral("190"));
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-16T13:59:01Z"));
    }

    // From two minutes before an alarm falls due until the music it started ends, the
    // computer is kept awake, against a closed lid too: from the tick that comes into those
    // two minutes, or from waking into them.
    void awakeFromShortlyBeforeUntilTheMusicEnds()
    {
        startWatched();
        setAlarm("6:03:00 AM");
        tickAt(QTime(6, 0, 58, 900));
        QVERIFY(!m_power->whileDue.held);
        tickAt(QTime(6, 1, 0, 100));
        QVERIFY(m_power->whileDue.held);
        tickAt(QTime(6, 3, 0, 100));
        QCOMPARE(m_record.opened.size(), 1);
        QVERIFY(m_power->whileDue.held);
        QCOMPARE(m_power->whileDue.letGo, 0);
        QTest::mouseClick(m_window->Command1, Qt::LeftButton);
        QVERIFY(!m_power->whileDue.held);
        // A Play by hand is no alarm.
        QTest::mouseClick(m_window->cmdPlay, Qt::LeftButton);
        QVERIFY(!m_power->whileDue.held);
        QTest::mouseClick(m_window->Command1, Qt::LeftButton);

        // Woken a minute before the alarm: held at once, before any tick.
        typeOver(m_window->Text2, "6:30:00 AM");
        m_watch->beforeSleep();
        m_clock.advance(26 * 60 * 1000);
        m_watch->afterSleep();
        QVERIFY(m_power->whileDue.held);
        // No alarm set any more: let go.
        typeOver(m_window->Text2, QString());
        QVERIFY(!m_power->whileDue.held);
    }

    // While an alarm is set, a sleep always waits for its wake, but the computer is kept from
    // sleeping on its own only until the system confirms that wake: again from the moment it
    // moves, is lost or is refused. Shortly before the alarm it is kept awake all the same.
    // The player is started as the alarm is set.
    void keptAwakeOnlyWithoutAWake()
    {
        startWatched();
        setAlarm("6:30:00 AM");
        QVERIFY(m_power->whileSet.held);
        QVERIFY(m_power->withoutWake.held);
        QVERIFY(m_power->preparedToPlay > 0);
        m_power->wake.confirm(true);
        QVERIFY(!m_power->withoutWake.held);
        QVERIFY(m_power->whileSet.held);
        typeOver(m_window->Text2, "6:40:00 AM");
        QVERIFY(m_power->withoutWake.held);
        m_power->wake.confirm(true);
        QVERIFY(!m_power->withoutWake.held);
        m_power->wake.confirm(false);
        QVERIFY(m_power->withoutWake.held);
        m_power->wake.confirm(true);
        tickAt(QTime(6, 38, 30));
        QVERIFY(m_power->whileDue.held);
        QVERIFY(!m_power->withoutWake.held);
        typeOver(m_window->Text2, QString());
        QVERIFY(!m_power->withoutWake.held && !m_power->whileSet.held);
        QCOMPARE(m_power->whileSet.letGo, 1);
    }

    // Asleep, the countdown's fields stand still until the first tick after the wake counts
    // the sleep off them: a click before that tick moves neither the wake nor the due hold.
    void countdownDeadlineHoldsAcrossSleep()
    {
        startWatched();
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        typeOver(m_window->Text4, "30");
        ticks(1);
        QCOMPARE(lastWakeCall(), QStringLiteral("arm 2026-12-08T06:29:01Z"));
        const qsizetype calls = m_power->wake.calls.size();
        m_watch->beforeSleep();
        m_clock.advance(29 * 60 * 1000);
        m_watch->afterSleep();
        QVERIFY(m_power->whileDue.held);
        QTest::mouseClick(m_window->cmdStop, Qt::LeftButton);
        ticks(1);
        QCOMPARE(m_window->Text4->text(), QStringLiteral("0"));
        QCOMPARE(m_power->wake.calls.size(), calls);
        QVERIFY(m_power->whileDue.held);
    }

    // Thirty days of a clock that ticks at the times the window arms Timer2 for, a little
    // late or early: every second for twenty minutes around the alarm, and for the rest of
    // each day with the event loop held up for most of each minute, so that every other
    // second is made up for. The alarm rings once a day, at its second.
    void thirtyDays()
    {
        startWithSongs({"a.mp3"});
        setAlarm("6:30:00 AM");
        const QDateTime end = m_clock.wall.addDays(30);
        quint32 random = 1;
        auto next = [&random](int below) {
            random = random * 1664525u + 1013904223u;
            return int((random >> 8) % below);
        };
        QList<QDate> ringDays;
        while (m_clock.wall < end) {
            const QTime time = m_clock.wall.time();
            const bool dense = time >= QTime(6, 20) && time < QTime(6, 40);
            const int lateMs = dense ? next(40) - 25 : 45'000 + next(14'000);
            const int before = m_record.opened.size();
            tickAfter(m_window->Timer2->interval() + lateMs);
            if (m_record.opened.size() == before)
                continue;
            QCOMPARE(m_window->strNow, QStringLiteral("6:30:00 AM"));
            QVERIFY(m_clock.wall.time() < QTime(6, 30, 1));
            ringDays << m_clock.wall.date();
        }
        QCOMPARE(ringDays.size(), 30);
        for (int day = 1; day < ringDays.size(); ++day)
            QCOMPARE(ringDays[day - 1].daysTo(ringDays[day]), 1);
    }
};

QTEST_MAIN(TestAlarm)
#include "test_alarm.moc"
