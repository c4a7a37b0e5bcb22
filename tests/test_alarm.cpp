// SPDX-License-Identifier: GPL-3.0-or-later
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

private slots:
    void init() { m_fs.addDrive("C:"); }
    void cleanup() { stop(); }

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
