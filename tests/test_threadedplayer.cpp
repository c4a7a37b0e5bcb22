#include "platform/threadedplayer.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Status = PlayerEngine::Status;

// What the engine was asked, and what it answers: shared by the test's thread and the
// player's, which owns the engine.
struct EngineScript
{
    mutable QMutex lock;
    QStringList calls; // "load a.mp3 at 0", "pause", "resume", "unload"
    Status status = Status::Empty;
    Status afterLoad = Status::Playing; // what a loaded song reads
    qint64 position = 0;
    // When set, the next load waits until the test releases it.
    QSemaphore *holdLoad = nullptr;

    QStringList callsSoFar() const
    {
        const QMutexLocker locked(&lock);
        return calls;
    }
    void set(Status s, qint64 at = 0)
    {
        const QMutexLocker locked(&lock);
        status = s;
        position = at;
    }
};

class FakeEngine final : public PlayerEngine
{
public:
    explicit FakeEngine(EngineScript &script) : m_script(script) { }

    void load(const QString &hostPath, qint64 positionMs, bool) override
    {
        QSemaphore *hold = nullptr;
        {
            const QMutexLocker locked(&m_script.lock);
            m_script.calls << QStringLiteral("load %1 at %2")
                                  .arg(QFileInfo(hostPath).fileName())
                                  .arg(positionMs);
            m_script.status = m_script.afterLoad;
            m_script.position = positionMs;
            std::swap(hold, m_script.holdLoad);
        }
        if (hold)
            hold->acquire();
    }
    void unload() override { record(QStringLiteral("unload"), Status::Empty); }
    void setPaused(bool paused) override
    {
        record(paused ? QStringLiteral("pause") : QStringLiteral("resume"),
               paused ? Status::Paused : Status::Playing);
    }
    void setLevel(float) override { }
    float appliedLevel() const override { return -1.0f; }
    void update() override { }
    Status status() const override
    {
        const QMutexLocker locked(&m_script.lock);
        return m_script.status;
    }
    qint64 positionMs() const override
    {
        const QMutexLocker locked(&m_script.lock);
        return m_script.position;
    }

private:
    void record(const QString &call, Status status)
    {
        const QMutexLocker locked(&m_script.lock);
        m_script.calls << call;
        m_script.status = status;
    }

    EngineScript &m_script;
};

} // namespace

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
