// SPDX-License-Identifier: GPL-3.0-or-later
#include "playbacktest.h"

// Play, Pause, Stop, Back, Next, "Stop Song" and the double click on the playlist, clicked
// on the real window; the fake player records what they ask of it.
class TestTransport : public QObject, public PlaybackTest
{
    Q_OBJECT

    // What the window shows and holds beyond intSong and the player's calls.
    struct View
    {
        bool timer1;
        QString txtSong;
        QString title;
        bool playlistButtons;
        MediaPlayer::State player;
        bool operator==(const View &) const = default;
    };
    View view() const
    {
        return {timer1On(), txtSong(), title(), playlistButtonsEnabled(), player().PlayState()};
    }

    // A handler by its button's caption, or a double click on the last row, or songs that
    // end: the next one, or each until the playlist has ended.
    void act(const QString &handler)
    {
        static const QMap<QString, const char *> buttons {
            {"Play", "cmdPlay"}, {"Pause", "cmdPause"}, {"Stop", "cmdStop"},
            {"Back", "cmdBack"}, {"Next", "cmdNext"},   {"Stop Song", "Command1"},
        };
        if (buttons.contains(handler))
            click(buttons.value(handler));
        else if (handler == "double click")
            doubleClickRow(child<QListWidget>("lstSelected")->count() - 1);
        else if (handler == "song ends")
            endSong();
        else if (handler == "songs end")
            while (timer1On())
                endSong();
        else
            QFAIL(qPrintable("no handler " + handler));
    }

    // Idle right after startup; Playing song 1 after Play; Paused after Play and Pause;
    // Ended after all three songs have played.
    void enter(const QString &state)
    {
        if (state != "Idle")
            click("cmdPlay");
        if (state == "Paused")
            click("cmdPause");
        if (state == "Ended")
            act("songs end");
        m_record.calls.clear();
    }

    void verifyState(const QString &state)
    {
        const int count = m_window->colPlaylist().Count();
        if (state == "Idle") {
            QCOMPARE(m_window->intSong, 0);
            QVERIFY(!timer1On());
            QCOMPARE(player().PlayState(), MediaPlayer::Stopped);
            QCOMPARE(txtSong(), QString());
            QVERIFY(playlistButtonsEnabled());
        } else if (state == "Playing") {
            QVERIFY(timer1On());
            QCOMPARE(player().PlayState(), MediaPlayer::Playing);
            QVERIFY(m_window->intSong >= 1 && m_window->intSong <= count);
            QCOMPARE(txtSong(), playlistRows().at(m_window->intSong - 1));
        } else if (state == "Paused") {
            QVERIFY(!timer1On());
            QCOMPARE(player().PlayState(), MediaPlayer::Paused);
        } else if (state == "Ended") {
            QVERIFY(!timer1On());
            QCOMPARE(player().PlayState(), MediaPlayer::Stopped);
            QCOMPARE(m_window->intSong, count + 1);
            QCOMPARE(txtSong(), QStringLiteral("c.mp3"));
        } else {
            QFAIL(qPrintable("no state " + state));
        }
    }

private slots:
    void cleanup() { stop(); }

    // The four handlers that open a song, on song 2 of three, paused or playing. Started by
    // Next, so that the playlist buttons are still enabled.
    void openingHandlers_data()
    {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("intSong");
        QTest::addColumn<bool>("playlistButtons");
        const QString a = opened("a.mp3"), c = opened("c.mp3");
        // Play resumes the paused song, whichever it is, and opens song 1 only otherwise.
        QTest::newRow("Play, paused") << "Play" << true << QStringList {"Play"} << 1 << false;
        QTest::newRow("Play, playing") << "Play" << false << QStringList {a} << 1 << false;
        QTest::newRow("Back, paused") << "Back" << true << QStringList {"Stop", a} << 1 << true;
        QTest::newRow("Back, playing") << "Back" << false << QStringList {"Stop", a} << 1 << true;
        QTest::newRow("Next, paused") << "Next" << true << QStringList {"Stop", c} << 3 << true;
        QTest::newRow("Next, playing") << "Next" << false << QStringList {"Stop", c} << 3 << true;
        QTest::newRow("double click, paused")
            << "double click" << true << QStringList {"Stop", c} << 3 << false;
        QTest::newRow("double click, playing")
            << "double click" << false << QStringList {"Stop", c} << 3 << false;
    }

    void openingHandlers()
    {
        QFETCH(QString, handler);
        QFETCH(bool, paused);
        QFETCH(QStringList, calls);
        QFETCH(int, intSong);
        QFETCH(bool, playlistButtons);
        startWithThreeSongs();
        click("cmdNext");
        click("cmdNext");
        if (paused)
            click("cmdPause");
        m_record.calls.clear();

        act(handler);
        QCOMPARE(m_record.calls, calls);
        QCOMPARE(m_window->intSong, intSong);
        const QString shown = playlistRows().at(intSong - 1);
        QCOMPARE(view(),
                 (View {true, shown, "Player - " + shown, playlistButtons, MediaPlayer::Playing}));
    }

    // With an empty playlist Play only sets intSong, Next only stops the player, and the
    // others do nothing at all; no error box. Once in Idle, once while song 2 plays and the
    // playlist has just been cleared.
    void emptyPlaylist_data()
    {
        QTest::addColumn<bool>("playing");
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("intSong");
        for (bool playing : {false, true}) {
            const char *when = playing ? "while a song plays" : "in Idle";
            const int before = playing ? 2 : 0;
            QTest::addRow("Play %s", when) << playing << "Play" << QStringList {} << 1;
            QTest::addRow("Pause %s", when) << playing << "Pause" << QStringList {} << before;
            QTest::addRow("Back %s", when) << playing << "Back" << QStringList {} << before;
            QTest::addRow("Next %s", when) << playing << "Next" << QStringList {"Stop"} << before;
            QTest::addRow("double click %s", when)
                << playing << "double click" << QStringList {} << before;
        }
    }

    void emptyPlaylist()
    {
        QFETCH(bool, playing);
        QFETCH(QString, handler);
        QFETCH(QStringList, calls);
        QFETCH(int, intSong);
        m_fs.addDrive("C:");
        m_fs.addFile(song("a.mp3"));
        m_fs.addFile(song("b.mp3"));
        start();
        if (playing) {
            addToPlaylist("C:\\Music", {"a.mp3", "b.mp3"});
            click("cmdNext");
            click("cmdNext");
            click("cmdClear");
            QCOMPARE(m_window->colPlaylist().Count(), 0);
        }
        m_record.calls.clear();
        View expected = view();

        act(handler);
        QCOMPARE(m_record.calls, calls);
        QCOMPARE(m_window->intSong, intSong);
        if (calls.contains("Stop"))
            expected.player = MediaPlayer::Stopped;
        QCOMPARE(view(), expected);
        QVERIFY(!errorBoxShown());
    }

    // Play resumes a paused song whose playlist has been cleared; with no song 1 to show,
    // the window goes on showing the paused song.
    void playResumesWithAnEmptyPlaylist()
    {
        startWithThreeSongs();
        click("cmdNext");
        click("cmdNext");
        click("cmdPause");
        click("cmdClear");
        m_record.calls.clear();
        click("cmdPlay");
        QCOMPARE(m_record.calls, QStringList {"Play"});
        QCOMPARE(m_window->intSong, 1);
        QCOMPARE(view(), (View {true, "b.mp3", "Player - b.mp3", false, MediaPlayer::Playing}));
        QVERIFY(!errorBoxShown());
    }

    // Stop and "Stop Song" lead from every state to Idle; the one leaves the caption
    // "Player", the other "Wakewell".
    void stopFromEveryState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("caption");
        for (const char *state : {"Idle", "Playing", "Paused", "Ended"}) {
            QTest::addRow("Stop from %s", state) << state << "Stop"
                                                 << "Player";
            QTest::addRow("Stop Song from %s", state) << state << "Stop Song"
                                                      << "Wakewell";
        }
    }

    void stopFromEveryState()
    {
        QFETCH(QString, state);
        QFETCH(QString, handler);
        QFETCH(QString, caption);
        startWithThreeSongs();
        enter(state);
        act(handler);
        QCOMPARE(m_record.calls, QStringList {"Stop"});
        verifyState("Idle");
        QCOMPARE(title(), caption);
    }

    // The moves between the states other than Stop.
    void moves_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("calls");
        const QString a = opened("a.mp3"), b = opened("b.mp3"), c = opened("c.mp3");
        auto row = [](const char *from, const char *handler, const char *to, QStringList calls) {
            QTest::addRow("%s, %s", from, handler) << from << handler << to << calls;
        };
        row("Idle", "Play", "Playing", {a});
        row("Idle", "Next", "Playing", {"Stop", a});
        row("Idle", "Back", "Playing", {"Stop", a});
        row("Idle", "double click", "Playing", {"Stop", c});
        row("Idle", "Pause", "Idle", {"Pause"}); // no song is open: nothing to pause
        row("Playing", "Play", "Playing", {a}); // song 1 again from its beginning, no Stop
        row("Playing", "Pause", "Paused", {"Pause"});
        row("Playing", "song ends", "Playing", {b});
        row("Playing", "songs end", "Ended", {b, c});
        row("Paused", "Pause", "Playing", {"Play"}); // the same song plays on
        row("Paused", "Play", "Playing", {"Play"});
        row("Ended", "Play", "Playing", {a});
        row("Ended", "Back", "Playing", {"Stop", c});
        row("Ended", "Next", "Playing", {"Stop", c});
        row("Ended", "Pause", "Ended", {"Pause"});
    }

    void moves()
    {
        QFETCH(QString, from);
        QFETCH(QString, handler);
        QFETCH(QString, to);
        QFETCH(QStringList, calls);
        startWithThreeSongs();
        enter(from);
        act(handler);
        QCOMPARE(m_record.calls, calls);
        verifyState(to);
        QVERIFY(!errorBoxShown());
    }

    void pauseKeepsWhatIsShown()
    {
        startWithThreeSongs();
        click("cmdNext");
        click("cmdNext");
        const View playing = view();
        click("cmdPause");
        click("cmdPause");
        QCOMPARE(m_record.calls,
                 (QStringList {"Stop", opened("a.mp3"), "Stop", opened("b.mp3"), "Pause", "Play"}));
        QCOMPARE(m_window->intSong, 2);
        QCOMPARE(view(), playing);
    }

    // Play with song 3 paused resumes song 3 but makes song 1 current: song 2 follows it.
    void playResumesThePausedSongAsSongOne()
    {
        startWithThreeSongs();
        doubleClickRow(2);
        click("cmdPause");
        click("cmdPlay");
        QCOMPARE(m_record.calls, (QStringList {"Stop", opened("c.mp3"), "Pause", "Play"}));
        QCOMPARE(txtSong(), QStringLiteral("a.mp3"));
        QCOMPARE(title(), QStringLiteral("Player - a.mp3"));
        QCOMPARE(m_window->intSong, 1);
        m_record.calls.clear();
        endSong();
        QCOMPARE(m_record.calls, QStringList {opened("b.mp3")});
    }

    // Back on the first song and Next on the last open that song again from its beginning.
    void boundsReopenTheSong_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("handler");
        QTest::newRow("Back on the first") << 0 << "Back";
        QTest::newRow("Next on the last") << 2 << "Next";
    }

    void boundsReopenTheSong()
    {
        QFETCH(int, row);
        QFETCH(QString, handler);
        startWithThreeSongs();
        doubleClickRow(row);
        m_record.calls.clear();
        act(handler);
        QCOMPARE(m_record.calls, (QStringList {"Stop", "Open " + playlistEntries().at(row)}));
        QCOMPARE(m_window->intSong, row + 1);
    }

    // intSong past the end of a playlist that lost songs while song 3 played: Back and Next
    // open the nearest song that exists, without an error box.
    void entriesOutsideThePlaylist_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("opens");
        QTest::newRow("Next, one song left") << QStringList {"c.mp3", "b.mp3"} << "Next"
                                             << "a.mp3";
        QTest::newRow("Back, two past the end") << QStringList {"c.mp3", "b.mp3"} << "Back"
                                                << "a.mp3";
        QTest::newRow("Back, one past the end") << QStringList {"c.mp3"} << "Back"
                                                << "b.mp3";
        QTest::newRow("Next, song before removed") << QStringList {"a.mp3"} << "Next"
                                                   << "c.mp3";
    }

    void entriesOutsideThePlaylist()
    {
        QFETCH(QStringList, removed);
        QFETCH(QString, handler);
        QFETCH(QString, opens);
        startWithThreeSongs();
        for (int i = 0; i < 3; ++i)
            click("cmdNext");
        auto *rows = child<QListWidget>("lstSelected");
        for (const QString &name : removed) {
            clickEntry(rows, name);
            click("cmdRemove");
        }
        QCOMPARE(m_window->intSong, 3);
        m_record.calls.clear();

        act(handler);
        QCOMPARE(m_record.calls, (QStringList {"Stop", "Open C:\\Music\\" + opens}));
        QCOMPARE(playlistRows().at(m_window->intSong - 1), opens);
        QCOMPARE(txtSong(), opens);
        QVERIFY(timer1On());
        QVERIFY(!errorBoxShown());
    }

    // The panel lies off screen, yet the keyboard reaches its buttons: from the focus at
    // startup, eight Tabs lead to Play and Space presses it.
    void keyboardReachesTheTransport()
    {
        startWithThreeSongs();
        child<QWidget>("cmbDrives")->setFocus();
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>("cmdPlay"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(m_record.calls, QStringList {opened("a.mp3")});
        QVERIFY(timer1On());
    }
};

QTEST_MAIN(TestTransport)
#include "test_transport.moc"
