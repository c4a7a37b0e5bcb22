// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fakeengine.h"
#include "platform/host/threadedplayer.h"

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

    std::unique_ptr<ThreadedPlayer> newPlayer()
    {
        m_script.calls.clear();
        m_script.status = Status::Empty;
        m_script.afterLoad = Status::Playing;
        return std::make_unique<ThreadedPlayer>(DriveTable({{"C:", m_dir.path()}}), [this] {
            return std::make_unique<FakeEngine>(m_script);
        });
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

    // A repeated song is loaded again each time it ends having played a second; one that ends
    // short of it, as with no usable output, is not loaded again and again: it reads Stopped.
    void repeatedSongPlaysAgain()
    {
        auto player = newPlayer();
        player->Repeat("C:\\a.mp3");
        settle(*player, MediaPlayer::Playing);
        m_script.set(Status::Playing, 1200);
        QTRY_COMPARE(player->SongsPlayed(), 1);
        m_script.set(Status::Ended, 1200);
        QTRY_COMPARE(m_script.callsSoFar(), (QStringList {"load a.mp3 at 0", "load a.mp3 at 0"}));
        m_script.set(Status::Ended);
        settle(*player, MediaPlayer::Stopped);
        QCOMPARE(m_script.callsSoFar().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestThreadedPlayer)
#include "test_threadedplayer.moc"
