// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"
#include "platform/host/hostmediaplayer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#ifndef Q_OS_WIN
#include <csignal>
#endif

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
    void pauseWithNothingOpen();
    void newestCommandWins();
    void replayedAfterItsEnd();
    void followsTheDefaultOutput();
    void hungServerHoldsNoCall();
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
    QVERIFY(audio::copySong("660hz-1.5s-stereo.mp3", m_dir.filePath("other.mp3")));
    QVERIFY(audio::copySong("440hz-20s.mp3", m_dir.filePath("long.mp3")));
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

// A player with no song open has nothing to pause: Pause leaves it reading Stopped, so that
// the next Play or alarm does not "resume" nothing. Play then plays nothing either.
void TestMediaPlayer::pauseWithNothingOpen()
{
    const auto player = newPlayer();
    const auto pauseThenPlay = [&] {
        player->Pause();
        QCOMPARE(player->PlayState(), MediaPlayer::Stopped);
        const int played = player->SongsPlayed();
        player->Play();
        QTest::qWait(1500);
        QCOMPARE(player->PlayState(), MediaPlayer::Stopped);
        QCOMPARE(player->SongsPlayed(), played);
    };
    pauseThenPlay(); // a new player
    player->Open(song("tone.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Playing, 20000);
    player->Stop();
    pauseThenPlay();
    player->Open(song("tone.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->SongsPlayed(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Stopped, 20000);
    pauseThenPlay(); // after the song's end
}

namespace {
// What the process holds: its threads, its open files and its resident memory.
struct Usage
{
    qsizetype threads;
    qsizetype files;
    qint64 residentKb;
};

Usage usage()
{
#ifdef Q_OS_WIN
    return {}; // read from Linux's /proc only
#else
    const auto entries = [](const char *dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
    };
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/status");
    qint64 resident = -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            resident = line.mid(6).trimmed().split(' ').first().toLongLong();
    return {entries("/proc/self/task"), entries("/proc/self/fd"), resident};
#endif
}
} // namespace

// Song changes as fast as the window can ask for them, 500 of two songs in turn, then one more:
// that one is heard, soon, and a burst costs no more than one song load, whatever its length.
// What the process holds is measured after the first 100 and after the rest.
void TestMediaPlayer::newestCommandWins()
{
    auto player = newPlayer();
    const auto burst = [&](int opens, Usage &figures) {
        for (int i = 0; i < opens; ++i)
            player->Open(song(i % 2 ? "other.mp3" : "tone.mp3"));
        QElapsedTimer elapsed;
        elapsed.start();
        const int played = player->SongsPlayed();
        player->Open(song("tone.mp3"));
        QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Playing, 20000);
        const qint64 playing = elapsed.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(player->SongsPlayed(), played + 1, 20000);
        qInfo("%d opens, then one more: it read Playing after %lld ms, its position reached "
              "1 s after %lld ms",
              opens, playing, elapsed.elapsed());
        player->Stop();
        QTRY_COMPARE(player->PlayState(), MediaPlayer::Stopped);
        figures = usage();
    };
    Usage before, after;
    burst(99, before);
    if (QTest::currentTestFailed())
        return;
    burst(400, after);
    if (QTest::currentTestFailed())
        return;
#ifdef Q_OS_WIN
    QSKIP("what the process holds is read from Linux's /proc only");
#endif
    qInfo("threads %lld -> %lld, open files %lld -> %lld, resident %lld kB -> %lld kB",
          qlonglong(before.threads), qlonglong(after.threads), qlonglong(before.files),
          qlonglong(after.files), before.residentKb, after.residentKb);
    QVERIFY(after.threads <= before.threads);
    QVERIFY(after.files <= before.files);
    // Memory comes and goes with Qt's players; a few megabytes of slack, which the sanitizers'
    // quarantine of freed memory needs too.
    QVERIFY(after.residentKb <= before.residentKb + 16 * 1024);
}

// A song opened again after its end, alone or after a Stop as Back and Next do, starts from
// its beginning each time, 20 times. So does one opened a moment before the end of the one
// before: that one's end must not end it (10 times more).
void TestMediaPlayer::replayedAfterItsEnd()
{
    auto player = newPlayer();
    for (int i = 1; i <= 30; ++i) {
        if (i % 2 == 0)
            player->Stop();
        player->Open(song("tone.mp3"));
        QTRY_COMPARE_WITH_TIMEOUT(player->SongsPlayed(), i, 20000);
        if (i <= 20)
            QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Stopped, 20000);
    }
}

namespace {
// The lines that pactl prints for these arguments, on the test's sound server.
QStringList pactl(const QStringList &arguments)
{
    QProcess p;
    p.start("pactl", arguments);
    if (!p.waitForFinished() || p.exitCode() != 0)
        qWarning("pactl %s failed", qPrintable(arguments.join(' ')));
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// The sinks that the playback streams are on, by name (as `pactl list sink-inputs` shows).
QStringList streamSinks()
{
    QMap<QString, QString> names;
    for (const QString &sink : pactl({"list", "short", "sinks"}))
        names.insert(sink.section('\t', 0, 0), sink.section('\t', 1, 1));
    QStringList sinks;
    for (const QString &stream : pactl({"list", "short", "sink-inputs"}))
        sinks << names.value(stream.section('\t', 1, 1));
    return sinks;
}
} // namespace

// A headset plugged in while a song plays becomes the default output, and the song goes on
// there; the next song too. Taken away, the song goes back to the output left. The server
// moves the streams that were not given an output of their own: the player must not pin its
// stream to the output that was the default when it started.
void TestMediaPlayer::followsTheDefaultOutput()
{
#ifdef Q_OS_WIN
    QSKIP("the sound server's outputs are changed by pactl, a Linux program");
#endif
    const QStringList module = pactl({"load-module", "module-null-sink", "sink_name=headset"});
    QCOMPARE(module.size(), 1);
    bool plugged = true;
    const auto unplug = [&] {
        if (std::exchange(plugged, false))
            pactl({"unload-module", module.first()});
    };
    const auto unplugged = qScopeGuard(unplug);

    auto player = newPlayer();
    player->Open(song("long.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Playing, 20000);
    QTRY_COMPARE(streamSinks(), QStringList {"test_sink"});
    pactl({"set-default-sink", "headset"});
    QTRY_COMPARE(streamSinks(), QStringList {"headset"});
    player->Open(song("long.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), MediaPlayer::Playing, 20000);
    QTRY_COMPARE(streamSinks(), QStringList {"headset"});
    unplug();
    QTRY_COMPARE(streamSinks(), QStringList {"test_sink"});
    QCOMPARE(player->PlayState(), MediaPlayer::Playing);
}

#ifndef Q_OS_WIN
namespace {
// The process of the test's own sound server that speaks PulseAudio's protocol: the one of
// that name that shares the test's runtime folder; 0 when there is none.
qint64 soundServer()
{
    const QByteArray runtime = "XDG_RUNTIME_DIR=" + qgetenv("XDG_RUNTIME_DIR");
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name("/proc/" + pid + "/comm");
        QFile environment("/proc/" + pid + "/environ");
        if (name.open(QIODevice::ReadOnly) && environment.open(QIODevice::ReadOnly)
            && QList<QByteArray> {"pulseaudio\n", "pipewire-pulse\n"}.contains(name.readAll())
            && environment.readAll().split('\0').contains(runtime))
            return pid.toLongLong();
    }
    return 0;
}
} // namespace
#endif

// A sound server that stops answering while a song plays (stopped by SIGSTOP here) holds
// GStreamer's calls until it answers again, the stop of a song without end: Stop and Open
// still return at once, long before the server is woken, and once it is, the song last opened
// plays.
void TestMediaPlayer::hungServerHoldsNoCall()
{
#ifdef Q_OS_WIN
    QSKIP("the sound server is stopped by a Linux signal");
#else
    const qint64 server = soundServer();
    QVERIFY2(server > 0, "no private sound server (tests/audio/with-pulseaudio.sh)");
    auto player = newPlayer();
    player->Open(song("long.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->SongsPlayed(), 1, 20000);
    QCOMPARE(::kill(pid_t(server), SIGSTOP), 0);
    std::atomic<bool> woken = false;
    std::thread wake([&] {
        std::this_thread::sleep_for(std::chrono::seconds(10));
        woken = true;
        ::kill(pid_t(server), SIGCONT);
    });
    const auto joined = qScopeGuard([&] { wake.join(); });
    player->Stop();
    player->Open(song("tone.mp3"));
    QVERIFY(!woken);
    QCOMPARE(player->PlayState(), MediaPlayer::Opening);
    QTRY_COMPARE_WITH_TIMEOUT(player->SongsPlayed(), 2, 40000);
#endif
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
