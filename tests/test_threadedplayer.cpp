// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fakeengine.h"
#include "platform/threadedplayer.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

using Status = PlayerEngine::Status;

// The rules the threaded player keeps over any engine, with an engine that plays nothing and
// answers as the test says.
class TestThreadedPlayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    EngineScript m_script;

    std::unique_ptr<ThreadedPlayer> newPlayer(PlayerLimits limits = {})
    {
        m_script.calls.clear();
        m_script.status = Status::Empty;
        m_script.afterLoad = Status::Playing;
        return std::make_unique<ThreadedPlayer>(
            DriveTable({{"C:", m_dir.path()}}),
            [this] { return std::make_unique<FakeEngine>(m_script); }, limits);
    }
    // Lets the player's thread carry out what was sent.
    static void settle(const ThreadedPlayer &player, MediaPlayer::State state)
    {
        QTRY_COMPARE(player.PlayState(), state);
        QTest::qWait(3 * ThreadedPlayer::updateIntervalMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"a.mp3", "b.mp3"}) {
            QFile song(m_dir.filePath(name));
            QVERIFY(song.open(QIODevice::WriteOnly));
            song.write("not empty");
        }
    }

    // With no song open (never opened, stopped, ended, failed) Pause changes nothing and the
    // player goes on reading Stopped; Play then resumes nothing.
    void pauseWithNoSongOpenChangesNothing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("new player") << "";
        QTest::newRow("stopped") << "stop";
        QTest::newRow("ended") << "end";
        QTest::newRow("failed") << "fail";
    }

    void pauseWithNoSongOpenChangesNothing()
    {
        QFETCH(QString, before);
        auto player = newPlayer();
        if (!before.isEmpty()) {
            player->Open("C:\\a.mp3");
            settle(*player, MediaPlayer::Playing);
        }
        if (before == "stop")
            player->Stop();
        else if (!before.isEmpty())
            m_script.set(before == "end" ? Status::Ended : Status::Failed);
        settle(*player, MediaPlayer::Stopped);
        const QStringList calls = m_script.callsSoFar();
        player->Pause();
        QCOMPARE(player->PlayState(), MediaPlayer::Stopped);
        player->Play();
        settle(*player, MediaPlayer::Stopped);
        QCOMPARE(m_script.callsSoFar(), calls);

        // A song that plays still pauses and resumes.
        player->Open("C:\\b.mp3");
        settle(*player, MediaPlayer::Playing);
        player->Pause();
        settle(*player, MediaPlayer::Paused);
        player->Play();
        settle(*player, MediaPlayer::Playing);
        QCOMPARE(m_script.callsSoFar().mid(calls.size()),
                 (QStringList {"load b.mp3 at 0", "pause", "resume"}));
    }

    // A burst of song changes, however long, costs one load beyond the one under way; a song
    // opened again after its end is loaded afresh, from its beginning.
    void newestCommandWins()
    {
        auto player = newPlayer();
        QSemaphore hold;
        m_script.holdLoad = &hold;
        player->Open("C:\\a.mp3");
        QTRY_COMPARE(m_script.callsSoFar().size(), 1);
        for (int i = 0; i < 500; ++i) {
            player->Open(i % 2 ? "C:\\a.mp3" : "C:\\b.mp3");
            if (i % 7 == 0)
                player->Pause();
        }
        player->Open("C:\\b.mp3");
        hold.release();
        settle(*player, MediaPlayer::Playing);
        QCOMPARE(m_script.callsSoFar(), (QStringList {"load a.mp3 at 0", "load b.mp3 at 0"}));

        m_script.set(Status::Ended, 1500);
        settle(*player, MediaPlayer::Stopped);
        player->Open("C:\\b.mp3");
        settle(*player, MediaPlayer::Playing);
        QCOMPARE(m_script.callsSoFar().last(), QStringLiteral("load b.mp3 at 0"));
    }

    // Loaded again once, then given up: the player reads Stopped.
    void songThatDoesNotOpen()
    {
        auto player = newPlayer({300, 5000});
        m_script.afterLoad = Status::Opening;
        player->Open("C:\\a.mp3");
        QCOMPARE(player->PlayState(), MediaPlayer::Opening);
        QTRY_COMPARE(player->PlayState(), MediaPlayer::Stopped);
        QCOMPARE(m_script.callsSoFar(),
                 (QStringList {"load a.mp3 at 0", "load a.mp3 at 0", "unload"}));
    }

    // A load that never returns, as a deadlock in the sound system, whether an Open or the
    // player itself (a stalled song loaded again) asked for it: once the limit has passed a
    // new thread with an engine of its own loads the song, and it plays.
    void stuckThreadIsReplaced_data()
    {
        QTest::addColumn<bool>("stalled");
        QTest::newRow("opening") << false;
        QTest::newRow("loading a stalled song again") << true;
    }

    void stuckThreadIsReplaced()
    {
        QFETCH(bool, stalled);
        auto player = newPlayer({8000, 300, 300});
        QSemaphore hold;
        QStringList loads {"load a.mp3 at 0"};
        if (stalled) {
            player->Open("C:\\a.mp3");
            settle(*player, MediaPlayer::Playing);
            m_script.set(Status::Playing, 700);
            loads << "load a.mp3 at 700";
        }
        m_script.holdLoad = &hold;
        if (!stalled)
            player->Open("C:\\a.mp3");
        QTRY_COMPARE(m_script.callsSoFar(), loads + QStringList {"load a.mp3 at 0"});
        settle(*player, MediaPlayer::Playing);
        // The thread left behind ends once its load returns.
        hold.release();
    }

    // A song that plays with its position standing still is loaded again where it stood.
    void stalledSongIsLoadedAgain()
    {
        auto player = newPlayer({8000, 300});
        player->Open("C:\\a.mp3");
        QTRY_VERIFY(!m_script.callsSoFar().isEmpty());
        m_script.set(Status::Playing, 700);
        QTRY_COMPARE(m_script.callsSoFar().last(), QStringLiteral("load a.mp3 at 700"));
        QCOMPARE(player->PlayState(), MediaPlayer::Playing);
        // The song that stood still has played past a second: it counts once.
        m_script.set(Status::Playing, 1200);
        QTRY_COMPARE(player->SongsPlayed(), 1);
    }
};

QTEST_GUILESS_MAIN(TestThreadedPlayer)
#include "test_threadedplayer.moc"
