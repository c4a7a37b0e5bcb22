// SPDX-License-Identifier: GPL-3.0-or-later
#include "playbacktest.h"

// Timer1's tick: song after song, the end of the playlist, a playlist edited while it plays,
// and songs that cannot be played.
class TestContinuousPlay : public QObject, public PlaybackTest
{
    Q_OBJECT

private slots:
    void cleanup() { stop(); }

    void tickWaitsUntilTheSongHasEnded_data()
    {
        QTest::addColumn<MediaPlayer::State>("state");
        QTest::newRow("playing") << MediaPlayer::Playing;
        QTest::newRow("paused") << MediaPlayer::Paused;
        QTest::newRow("opening") << MediaPlayer::Opening;
    }

    void tickWaitsUntilTheSongHasEnded()
    {
        QFETCH(MediaPlayer::State, state);
        startWithThreeSongs();
        click("cmdPlay");
        m_record.calls.clear();
        player().state = state;
        timeout(m_window->Timer1);
        QCOMPARE(m_record.calls, QStringList {});
        QCOMPARE(m_window->intSong, 1);
        QVERIFY(timer1On());
    }

    // Each ended song is followed by the next, opened without a Stop; the playlist buttons
    // stay as the start left them.
    void songsFollowOneAnother_data()
    {
        QTest::addColumn<QString>("startedBy");
        QTest::addColumn<bool>("playlistButtons");
        QTest::newRow("Play") << "cmdPlay" << false;
        QTest::newRow("Next") << "cmdNext" << true;
    }

    void songsFollowOneAnother()
    {
        QFETCH(QString, startedBy);
        QFETCH(bool, playlistButtons);
        startWithThreeSongs();
        click(qPrintable(startedBy));
        m_record.calls.clear();
        endSong();
        QCOMPARE(m_window->intSong, 2);
        QCOMPARE(txtSong(), QStringLiteral("b.mp3"));
        QCOMPARE(title(), QStringLiteral("Player - b.mp3"));
        endSong();
        QCOMPARE(m_record.calls, (QStringList {opened("b.mp3"), opened("c.mp3")}));
        QCOMPARE(title(), QStringLiteral("Player - c.mp3"));
        QVERIFY(timer1On());
        QCOMPARE(playlistButtonsEnabled(), playlistButtons);
    }

    // After the last song Timer1 stops and everything shown stays; Back reopens the last.
    void lastSongEndsAndBackReopensIt()
    {
        startWithThreeSongs();
        click("cmdPlay");
        endSong();
        endSong();
        m_record.calls.clear();
        endSong();
        QCOMPARE(m_record.calls, QStringList {});
        QVERIFY(!timer1On());
        QCOMPARE(m_window->intSong, 4);
        QCOMPARE(txtSong(), QStringLiteral("c.mp3"));
        QCOMPARE(title(), QStringLiteral("Player - c.mp3"));
        QVERIFY(!playlistButtonsEnabled());

        click("cmdBack");
        QCOMPARE(m_record.calls, (QStringList {"Stop", opened("c.mp3")}));
        QCOMPARE(m_window->intSong, 3);
        QVERIFY(timer1On());
        QVERIFY(!errorBoxShown());
    }

    // Song 1 plays (started by Next, which leaves the playlist buttons usable) while the
    // playlist is edited; when it ends, the tick takes whatever entry now stands second.
    void playlistEditedWhileASongPlays_data()
    {
        QTest::addColumn<QStringList>("removed"); // empty: Clear
        QTest::addColumn<QString>("next"); // empty: the playlist has ended
        QTest::newRow("cleared") << QStringList {} << QString();
        QTest::newRow("later songs removed") << QStringList {"b.mp3", "c.mp3"} << QString();
        QTest::newRow("next song removed") << QStringList {"b.mp3"} << "c.mp3";
    }

    void playlistEditedWhileASongPlays()
    {
        QFETCH(QStringList, removed);
        QFETCH(QString, next);
        startWithThreeSongs();
        click("cmdNext");
        if (removed.isEmpty())
            click("cmdClear");
        for (const QString &name : removed) {
            clickEntry(child<QListWidget>("lstSelected"), name);
            click("cmdRemove");
        }
        m_record.calls.clear();

        endSong();
        QCOMPARE(m_window->intSong, 2);
        QCOMPARE(timer1On(), !next.isEmpty());
        QCOMPARE(txtSong(), next.isEmpty() ? QStringLiteral("a.mp3") : next);
        QCOMPARE(m_record.calls,
                 next.isEmpty() ? QStringList {} : QStringList {"Open C:\\Music\\" + next});
        QVERIFY(!errorBoxShown());
    }

    // A song that cannot be played reads 0 at once: the first tick after its Open goes on,
    // with no message, and the songs that can be played still sound.
    void brokenSongIsPassedOver()
    {
        startWithThreeSongs();
        player().unplayable << song("b.mp3");
        click("cmdPlay");
        endSong();
        m_record.calls.clear();
        timeout(m_window->Timer1);
        QCOMPARE(m_record.calls, QStringList {opened("c.mp3")});
        QCOMPARE(player().PlayState(), MediaPlayer::Playing);
        QCOMPARE(txtSong(), QStringLiteral("c.mp3"));
        QVERIFY(!errorBoxShown());
    }

    void allSongsBrokenEndsThePlaylist()
    {
        startWithThreeSongs();
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3"})
            player().unplayable << song(name);
        click("cmdPlay");
        for (int tick = 0; tick < 3; ++tick)
            timeout(m_window->Timer1);
        QCOMPARE(m_record.calls, (QStringList {opened("a.mp3"), opened("b.mp3"), opened("c.mp3")}));
        QVERIFY(!timer1On());
        QCOMPARE(m_window->intSong, 4);
        QVERIFY(!errorBoxShown());
    }

    // The fullest playlist, 32,767 songs: Next on the last reopens it, and when it ends the
    // playlist ends as any other does, although intSong has no room past it.
    void fullPlaylistEndsWithoutOverflow()
    {
        constexpr int full = 32767;
        m_fs.addDrive("C:");
        for (int i = 1; i <= full; ++i)
            m_fs.addFile(QStringLiteral("C:\\Many\\s%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        start();
        chooseDrive("C:");
        auto *files = child<QListWidget>("lstFiles");
        clickEntry(files, "C:\\Many");
        QTest::keyClick(files, Qt::Key_A, Qt::ControlModifier);
        click("cmdAdd");
        QCOMPARE(m_window->colPlaylist().Count(), full);
        const QString last = QStringLiteral("s32767.mp3");

        doubleClickRow(full - 1);
        m_record.calls.clear();
        click("cmdNext");
        QCOMPARE(m_record.calls, (QStringList {"Stop", "Open C:\\Many\\" + last}));
        QCOMPARE(m_window->intSong, full);

        // As any playlist ends: nothing asked of the player, the playlist buttons still
        // locked, the playlist whole; a tick that was already due changes nothing either.
        m_record.calls.clear();
        endSong();
        QVERIFY(!timer1On());
        timeout(m_window->Timer1);
        QCOMPARE(m_record.calls, QStringList {});
        QCOMPARE(m_window->intSong, full);
        QCOMPARE(txtSong(), last);
        QCOMPARE(title(), "Player - " + last);
        QVERIFY(!playlistButtonsEnabled());
        QCOMPARE(m_window->colPlaylist().Count(), full);
        QCOMPARE(m_window->lstSelected->count(), full);
        QVERIFY(!errorBoxShown());
    }
};

QTEST_MAIN(TestContinuousPlay)
#include "test_continuousplay.moc"
