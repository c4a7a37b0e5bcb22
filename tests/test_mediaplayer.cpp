#include "audio/recording.h"
#include "platform/hostmediaplayer.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// The real player on real files that the test makes: a short tone encoded as MP3, and files
// that cannot play. Runs with a private sound server (tests/audio/with-pulseaudio.sh).
class TestMediaPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playsToItsEnd();
    void unplayableFilesReadStopped_data();
    void unplayableFilesReadStopped();
    void pauseAndResume();
    void volumeReachesTheOutput();
    void linearVolume_data();
    void linearVolume();

private:
    // Drive form for a file of the temporary folder, which the table maps as C:.
    QString song(const QString &name) const { return QStringLiteral("C:\\") + name; }
    std::unique_ptr<HostMediaPlayer> newPlayer() const
    {
        return std::make_unique<HostMediaPlayer>(DriveTable({{"C:", m_dir.path()}}));
    }

    QTemporaryDir m_dir;
};

void TestMediaPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(audio::copySong("440hz-1.5s-stereo.mp3", m_dir.filePath("tone.mp3")));
    QFile empty(m_dir.filePath("empty.mp3"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    QFile noise(m_dir.filePath("noise.mp3"));
    QVERIFY(noise.open(QIODevice::WriteOnly));
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    noise.write(bytes);
}

// From Open until the song sounds the player reads Opening, then Playing, then, at its end,
// Stopped: never Stopped or Paused on the way.
void TestMediaPlayer::playsToItsEnd()
{
    auto player = newPlayer();
    player->Open(song("tone.mp3"));
    QCOMPARE(player->PlayState(), MediaPlayer::Opening);
    QList<MediaPlayer::State> seen {player->PlayState()};
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            if (seen.last() != player->PlayState())
                seen << player->PlayState();
            return player->PlayState() == MediaPlayer::Stopped;
        }(),
        20000);
    // The song may move between Opening and Playing while it buffers; what must never
    // happen is Stopped or Paused before its end.
    QCOMPARE(seen.first(), MediaPlayer::Opening);
    QVERIFY(seen.contains(MediaPlayer::Playing));
    QCOMPARE(seen.indexOf(MediaPlayer::Stopped), seen.size() - 1);
    QVERIFY(!seen.contains(MediaPlayer::Paused));
    // The song of a second and a half played for a second.
    QCOMPARE(player->SongsPlayed(), 1);
}

void TestMediaPlayer::unplayableFilesReadStopped_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << song("gone.mp3");
    QTest::newRow("empty") << song("empty.mp3");
    QTest::newRow("random bytes") << song("noise.mp3");
    QTest::newRow("a folder") << QStringLiteral("C:\\");
    QTest::newRow("outside the drive") << QStringLiteral("C:\\..\\etc\\passwd");
    QTest::newRow("no such drive") << QStringLiteral("Q:\\tone.mp3");
}

void TestMediaPlayer::unplayableFilesReadStopped()
{
    QFETCH(QString, path);
    auto player = newPlayer();
    player->Open(path);
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Stopped, 20000);
    QCOMPARE(player->SongsPlayed(), 0);
    // The next song still plays.
    player->Open(song("tone.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Playing, 20000);
}

void TestMediaPlayer::pauseAndResume()
{
    auto player = newPlayer();
    player->Open(song("tone.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Playing, 20000);
    player->Pause();
    QCOMPARE(player->PlayState(), MediaPlayer::Paused);
    // Paused it stays, however long: it never counts as ended.
    QTest::qWait(2000);
    QCOMPARE(player->PlayState(), MediaPlayer::Paused);
    player->Play();
    QCOMPARE(player->PlayState(), MediaPlayer::Playing);
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Stopped, 20000);
    // Stop on a player that has nothing open is harmless.
    player->Stop();
    QCOMPARE(player->PlayState(), MediaPlayer::Stopped);
}

void TestMediaPlayer::volumeReachesTheOutput()
{
    auto player = newPlayer();
    // Before the first song the player answers for itself, and clamps.
    QCOMPARE(player->Volume(), -600);
    player->SetVolume(-20000);
    QCOMPARE(player->Volume(), -10000);
    player->SetVolume(300);
    QCOMPARE(player->Volume(), 0);
    player->SetVolume(-2000);
    player->Open(song("tone.mp3"));
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->appliedVolume() - 0.1f) < 1e-4f, 20000);
    player->SetVolume(-10000);
    QTRY_COMPARE(player->appliedVolume(), 0.0f);
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Stopped, 20000);

    // And it is heard so: the song's usual level at -6 dB and at -20 dB, against full level.
    // Only the level counts here: a song that the sound system played silently (as GStreamer
    // does at times on a loaded machine) is played again.
    audio::Recording heard;
    QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
    QList<double> levels;
    for (const int volume : {0, -600, -2000}) {
        player->SetVolume(volume);
        double level = 0;
        for (int attempt = 0; attempt < 3 && level == 0; ++attempt) {
            const qsizetype from = heard.samples().size();
            player->Open(song("tone.mp3"));
            QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Stopped, 20000);
            // The recording follows the sink a little later.
            QTest::qWait(500);
            level = heard.usualLevel(from);
        }
        levels << level;
    }
    qInfo("levels heard at 0, -6 and -20 dB: %.3f %.3f %.3f", levels[0], levels[1], levels[2]);
    QVERIFY(levels[0] > 0.1);
    QVERIFY(qAbs(levels[1] / levels[0] - 0.501) < 0.05);
    QVERIFY(qAbs(levels[2] / levels[0] - 0.1) < 0.01);
}

void TestMediaPlayer::linearVolume_data()
{
    QTest::addColumn<int>("volume");
    QTest::addColumn<double>("level");
    QTest::newRow("full") << 0 << 1.0;
    QTest::newRow("above full") << 500 << 1.0;
    QTest::newRow("-20 dB") << -2000 << 0.1;
    QTest::newRow("new player, -6 dB") << -600 << 0.501187;
    QTest::newRow("-66 dB") << -6600 << 0.000501187;
    QTest::newRow("silence") << -10000 << 0.0;
    QTest::newRow("below silence") << -12000 << 0.0;
}

void TestMediaPlayer::linearVolume()
{
    QFETCH(int, volume);
    QFETCH(double, level);
    QVERIFY(qAbs(MediaPlayer::linearVolume(volume) - level) <= level * 1e-5);
}

QTEST_MAIN(TestMediaPlayer)
#include "test_mediaplayer.moc"
