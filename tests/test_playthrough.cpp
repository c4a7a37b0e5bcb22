// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/timetext.h"
#include "audio/recording.h"
#include "fakes/windowtest.h"
#include "platform/audiooutputs.h"
#include "platform/host/hostfilesystem.h"
#include "platform/host/hostmediaplayer.h"
#include "platform/host/hostsoundoutput.h"
#include "platform/host/systemclock.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

// The whole road of an alarm on the real player, the real folders and the real clock: short
// MP3 files added through the browser; a countdown plays them past a broken one, and the sound
// server's sink is heard to play the first and then the third; songs of ten seconds are heard
// whole; an alarm at a time of day rings after the program was frozen across its second; a muted
// sink is turned up for an alarm; the slider's levels are heard, and its moves while a song
// plays at once. Runs under a private sound server (wakewell_audio_test).
class TestPlaythrough : public QObject, public WindowTest
{
    Q_OBJECT

    // What the window showed and the player read, each time either changed.
    struct Sample
    {
        qint64 ms;
        QString song;
        MediaPlayer::State state;
    };

    QTemporaryDir m_dir;
    SystemClock m_systemClock;
    HostSoundOutput m_hostOutput;
    QList<Sample> m_samples;
    QElapsedTimer m_elapsed;

    QString hostPath(const QString &name) const { return m_dir.filePath("Music/" + name); }

    // One of the songs that tests/audio/make-songs.sh made, under a name of its own.
    void makeSong(const QString &name, const QString &made)
    {
        QVERIFY(audio::copySong(made, hostPath(name)));
    }

    void makeBrokenSong(const QString &name)
    {
        QByteArray noise(8192, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(noise.data()),
                                              noise.size() / 4);
        QFile file(hostPath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(noise), noise.size());
    }

    void sample()
    {
        const Sample now {m_elapsed.elapsed(), m_window->txtSong->text(),
                          m_window->mpPlayer().PlayState()};
        if (m_samples.isEmpty() || m_samples.last().song != now.song
            || m_samples.last().state != now.state)
            m_samples << now;
    }

    // When the song was first shown, in this state if one is given; -1 when never.
    qint64 seen(const QString &song, std::optional<MediaPlayer::State> state = {}) const
    {
        for (const Sample &s : m_samples)
            if (s.song == song && (!state || s.state == *state))
                return s.ms;
        return -1;
    }

    // The window over the real adapters on C: = the test's folder, and the real clock.
    void openWindow()
    {
        const DriveTable drives({{"C:", m_dir.path()}});
        Platform platform {
            [drives] { return std::make_unique<HostMediaPlayer>(drives); },
            [drives] { return std::make_unique<HostFileSystem>(drives); },
            &m_systemClock,
            &m_hostOutput,
        };
        m_window = events::loadWindow(std::move(platform));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY(m_window->mpPlayer().HasAudioOutput());
    }

    // The window, with one of the songs that make-songs.sh made in its playlist as a.mp3.
    void openWithSong(const QString &made)
    {
        makeSong("a.mp3", made);
        openWindow();
        addToPlaylist("C:\\Music", {"a.mp3"});
    }

    // The private server's sink: "muted 10% 5%", "unmuted 30% 15%".
    static QString sinkState() { return audio::sinkState(QStringLiteral("test_sink")); }
    static void setSink(bool muted, const QStringList &volumes)
    {
        QVERIFY(audio::pactl({"set-sink-mute", "test_sink", muted ? "1" : "0"}).isEmpty());
        QVERIFY(audio::pactl(QStringList {"set-sink-volume", "test_sink"} + volumes).isEmpty());
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath("Music"));
        m_samples.clear();
    }
    void cleanup()
    {
        m_window.reset();
#ifdef Q_OS_UNIX
        setSink(false, {"100%"});
#endif
    }

    void countdownPlaysPastABrokenSong()
    {
        makeSong("a.mp3", "440hz-1s.mp3");
        makeBrokenSong("b.mp3");
        makeSong("c.mp3", "880hz-1s.mp3");
        openWindow();
        addToPlaylist("C:\\Music", {"a.mp3", "b.mp3", "c.mp3"});
        QCOMPARE(playlistRows(), (QStringList {"a.mp3", "b.mp3", "c.mp3"}));
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        QTest::keyClick(m_window->Text5, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(m_window->Text5, "1");

        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, &TestPlaythrough::sample);
        m_elapsed.start();
        sampler.start(10);
        // The countdown fires within two seconds; then each song is followed within the
        // 3 s of Timer1.
        QTRY_VERIFY_WITH_TIMEOUT(seen("a.mp3", MediaPlayer::Playing) >= 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->Timer1->isActive(), 25000);
        sampler.stop();

        // The first song played to its end, the broken one was passed over, and the third
        // played to its end before the playlist ended.
        const qint64 aEnded = seen("a.mp3", MediaPlayer::Stopped);
        const qint64 bShown = seen("b.mp3");
        const qint64 bFailed = seen("b.mp3", MediaPlayer::Stopped);
        const qint64 cPlays = seen("c.mp3", MediaPlayer::Playing);
        QVERIFY(aEnded > seen("a.mp3", MediaPlayer::Playing));
        QVERIFY(bShown > aEnded);
        QVERIFY(bFailed >= bShown);
        QVERIFY(cPlays > bFailed);
        QVERIFY(seen("c.mp3", MediaPlayer::Stopped) > cPlays);
        QCOMPARE(m_window->intSong, 4);
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("c.mp3"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Player - c.mp3"));
        QCOMPARE(m_window->messageBox(), nullptr);
        // Heard: the first song, then the third, at their own pitches.
        QTRY_COMPARE(heard.pitches().size(), 2);
        const QList<int> pitches = heard.pitches();
        QVERIFY2(
            qAbs(pitches[0] - 440) <= 44 && qAbs(pitches[1] - 880) <= 88,
            qPrintable(QStringLiteral("heard %1 Hz, then %2 Hz").arg(pitches[0]).arg(pitches[1])));
        // Measured, not judged: Timer1 follows an ended song within its 3 s.
        qInfo("gap a.mp3 ended -> b.mp3 opened: %lld ms", bShown - aEnded);
        qInfo("gap b.mp3 failed -> c.mp3 opened: %lld ms", seen("c.mp3") - bFailed);
        qInfo("silence a.mp3 ended -> c.mp3 playing: %lld ms", cPlays - aEnded);
    }

    // A countdown unmutes the sink and turns a quiet one up before it opens its first song, the
    // loudest channel to 30% and the other in proportion, and leaves a louder one as it was; the
    // song is heard. Play pressed by hand leaves the sink alone.
    void alarmTurnsUpTheSink_data()
    {
        QTest::addColumn<bool>("byHand");
        QTest::addColumn<QStringList>("volumes");
        QTest::addColumn<QString>("atOpen");
        QTest::newRow("countdown, muted at 10% and 5%")
            << false << QStringList {"10%", "5%"} << "unmuted 30% 15%";
        QTest::newRow("countdown, muted at 50%")
            << false << QStringList {"50%"} << "unmuted 50% 50%";
        QTest::newRow("Play by hand, muted at 10%")
            << true << QStringList {"10%"} << "muted 10% 10%";
    }
    void alarmTurnsUpTheSink()
    {
        QFETCH(bool, byHand);
        QFETCH(QStringList, volumes);
        QFETCH(QString, atOpen);
#ifndef Q_OS_UNIX
        // Wine 8's endpoint volume never reaches the sound server: it keeps the mute in the
        // object and has no scalar volume (E_NOTIMPL).
        QSKIP("the sink is read back with pactl, which a Windows program cannot start");
#endif
        setSink(true, volumes);
        openWithSong("440hz-1s.mp3");
        // Read while the window shows the song it has just opened, before it sounds.
        QString shownAtOpen;
        connect(m_window->txtSong, &QLineEdit::textChanged, this,
                [&] { shownAtOpen = sinkState(); });
        audio::Recording heard;
        if (byHand) {
            QTest::mouseClick(m_window->cmdPlay, Qt::LeftButton);
        } else {
            QTest::mouseClick(m_window->Option2, Qt::LeftButton);
            QTest::keyClick(m_window->Text5, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(m_window->Text5, "1");
        }
        QTRY_VERIFY_WITH_TIMEOUT(!shownAtOpen.isEmpty(), 5000);
        QCOMPARE(shownAtOpen, atOpen);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->mpPlayer().PlayState() == MediaPlayer::Playing, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->mpPlayer().PlayState() == MediaPlayer::Stopped, 5000);
        QCOMPARE(sinkState(), atOpen);
        // The server's volume is cubic: a full-scale tone at the player's -6.6 dB through a
        // sink at 30% and 15% peaks at about 0.009 in the left channel that is recorded; a
        // muted sink plays silence.
        const double peak = heard.peak();
        qInfo("peak heard %.4f", peak);
        if (atOpen.startsWith(QStringLiteral("muted")))
            QVERIFY2(peak < 0.0005, qPrintable(QString::number(peak)));
        else
            QVERIFY2(peak > 0.002, qPrintable(QString::number(peak)));
    }

    // The song heard at the levels that the slider gives, each against the same song at the
    // player's full level: at startup (290, 1.1 times the player's -6 dB), at the right end
    // (300, -6 dB) and at the left end (0, -24 dB). Run on PipeWire too.
    void sliderLevelsHeard()
    {
        openWithSong("440hz-1s.mp3");
        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        // Played by hand to its end; a song that the sound system played silently (as
        // GStreamer does at times on a loaded machine) is played again.
        const auto levelHeard = [&] {
            double level = 0;
            for (int attempt = 0; attempt < 3 && level == 0; ++attempt) {
                const qsizetype from = heard.samples().size();
                QTest::mouseClick(m_window->cmdPlay, Qt::LeftButton);
                if (!QTest::qWaitFor([&] { return !m_window->Timer1->isActive(); }, 20000))
                    continue;
                // The recording follows the sink a little later.
                QTest::qWait(500);
                level = heard.usualLevel(from);
            }
            return level;
        };
        QList<double> levels {levelHeard()};
        for (const int position : {300, 0}) {
            m_window->slVolume->setValue(position);
            levels << levelHeard();
        }
        m_window->mpPlayer().SetVolume(0);
        const double full = levelHeard();
        QVERIFY2(full > 0.1, qPrintable(QString::number(full)));
        const QList<double> expected {-6.6, -6.0, -24.0};
        QString report;
        bool near = true;
        for (qsizetype i = 0; i < levels.size(); ++i) {
            const double dB = 20 * std::log10(levels[i] / full);
            report += QStringLiteral(" %1 dB (%2)").arg(dB, 0, 'f', 1).arg(expected[i]);
            near = near && std::abs(dB - expected[i]) <= 0.5;
        }
        qInfo("heard at startup, the right end and the left end, against full level (%.1f "
              "dBFS):%s",
              20 * std::log10(full), qPrintable(report));
        QVERIFY2(near, qPrintable(report));
    }

    // The slider moved with the keyboard while a song plays, to its left end and back to its
    // right end, is heard within 0.3 s each time. Measured on the recording's own timeline,
    // which a loaded machine does not stretch: the sound recorded from the moment the key is
    // pressed until the song holds its new level, moments in which the sink passed nothing
    // aside. Run on PipeWire too.
    void volumeHeardWhilePlaying()
    {
        openWithSong("440hz-20s.mp3");
        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        constexpr qsizetype halfSecond = audio::Recording::samplesPerSecond / 2;
        QTest::mouseClick(m_window->cmdPlay, Qt::LeftButton);
        // The song has sounded at one level for half a second.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const qsizetype now = heard.samples().size();
                if (now < halfSecond)
                    return false;
                const double level = heard.usualLevel(now - halfSecond);
                return level > 0 && heard.secondsUntilHeld(now - halfSecond, level, level) == 0;
            }(),
            10000);
        QString report;
        bool atOnce = true;
        // From the startup's -6.6 dB to the left end's -24 dB, then to the right end's -6 dB.
        for (const auto &[key, dB] : {std::pair {Qt::Key_Home, -17.4}, {Qt::Key_End, 18.0}}) {
            const qsizetype before = heard.samples().size();
            const double was = heard.usualLevel(before - halfSecond);
            // Pressed as soon as the recording has taken in what the sink has just played.
            QDeadlineTimer deadline(5000);
            while (heard.samples().size() == before && !deadline.hasExpired())
                QThread::usleep(500);
            const qsizetype pressed = heard.samples().size();
            QTest::keyClick(m_window->slVolume, key);
            QTest::qWait(2000);
            const double seconds
                = heard.secondsUntilHeld(pressed, was * std::pow(10.0, dB / 20), was);
            report += seconds < 0 ? QStringLiteral(" never")
                                  : QStringLiteral(" %1 s").arg(seconds, 0, 'f', 2);
            atOnce = atOnce && seconds >= 0 && seconds <= 0.3;
        }
        QCOMPARE(m_window->mpPlayer().PlayState(), MediaPlayer::Playing);
        qInfo("the slider's left end heard after, then its right end after:%s", qPrintable(report));
        QVERIFY2(atOnce, qPrintable(report));
    }

    // The window never waits for the sound server. On Windows the audio service is asked on a
    // thread of its own for HostSoundOutput::waitLimit at most; on Linux the process's one
    // connection, made at its first use to the private server, is the one asked: a server
    // named later (one that never answers, or none at all) is not, and the change is sent at
    // once.
    void soundServerThatDoesNotAnswer()
    {
#ifndef Q_OS_UNIX
        QSKIP("the server is chosen by libpulse's PULSE_SERVER");
#endif
        bool listed = false;
        AudioOutputs::machine().whenListed(this, [&] { listed = true; });
        QTRY_VERIFY(listed);
        setSink(true, {"10%"});
        // Accepts the connection and never says a word.
        QLocalServer silent;
        QVERIFY(silent.listen(m_dir.filePath("silent")));
        const QString server = qEnvironmentVariable("PULSE_SERVER");
        for (const QString &address :
             {"unix:" + silent.fullServerName(), "unix:" + m_dir.filePath("none"), server}) {
            qputenv("PULSE_SERVER", address.toLocal8Bit());
            HostSoundOutput output;
            QElapsedTimer waited;
            waited.start();
            output.makeAudible();
            const qint64 ms = waited.elapsed();
            qInfo("%s: the window went on after %lld ms", qPrintable(address), ms);
            QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
        }
        QTRY_COMPARE(sinkState(), QStringLiteral("unmuted 30% 30%"));
    }

    // The sink taken away leaves no output, although the server then makes a sink of its own
    // that plays into nothing (PipeWire's "Dummy Output"); loaded again, it is one again. Run
    // on PipeWire too.
    void outputGoneAndBack()
    {
#ifndef Q_OS_UNIX
        QSKIP("the sink is taken away with pactl, which a Windows program cannot start");
#endif
        AudioOutputs &outputs = AudioOutputs::machine();
        bool listed = false;
        outputs.whenListed(this, [&] { listed = true; });
        QTRY_VERIFY(listed);
        QVERIFY(outputs.any());
        const auto load = [] {
            return audio::pactl({"load-module", "module-null-sink", "sink_name=test_sink"})
                       .startsWith(QStringLiteral("pactl failed"))
                ? QStringLiteral("not loaded")
                : audio::pactl({"set-default-sink", "test_sink"});
        };
        QString module;
        for (const QString &line : audio::pactl({"list", "short", "modules"}).split(u'\n'))
            if (line.contains(QStringLiteral("sink_name=test_sink")))
                module = line.section(u'\t', 0, 0);
        QVERIFY(audio::pactl({"unload-module", module}).isEmpty());
        auto loadAgain = qScopeGuard([&] { load(); });
        QTRY_VERIFY_WITH_TIMEOUT(!outputs.any(), 5000);
        // Still none once the server has made its own.
        QTest::qWait(1000);
        QVERIFY(!outputs.any());
        loadAgain.dismiss();
        QCOMPARE(load(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(outputs.any(), 5000);
    }

    // Three songs of ten seconds by continuous play, each heard whole on the sound server's
    // sink, five times over; GStreamer's playbin alone plays the same files after it, as the
    // yardstick of what the sink lets through on this machine.
    void songsHeardWhole_data()
    {
        QTest::addColumn<int>("run");
        for (int run = 1; run <= 5; ++run)
            QTest::addRow("run %d", run) << run;
    }

    void songsHeardWhole()
    {
#ifdef Q_OS_WIN
        QSKIP("the yardstick, gst-launch-1.0, is a Linux program");
#endif
        const QList<int> pitches {440, 660, 880};
        QStringList names;
        for (const int hz : pitches) {
            names << QStringLiteral("%1hz.mp3").arg(hz);
            makeSong(names.last(), QStringLiteral("%1hz-10s.mp3").arg(hz));
        }
        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        // The seconds heard at each song's pitch since the given sample.
        const auto secondsHeard = [&](qsizetype from) {
            QList<double> seconds(pitches.size(), 0.0);
            for (const audio::Recording::Sound &sound : heard.sounds(from))
                for (qsizetype i = 0; i < pitches.size(); ++i)
                    if (std::abs(sound.hz - pitches[i]) * 10 <= pitches[i])
                        seconds[i] += sound.seconds;
            return seconds;
        };
        const auto whole = [](const QList<double> &seconds) {
            return std::ranges::all_of(seconds, [](double s) { return s >= 9.7; });
        };
        // Measured again when the sink did not let even the yardstick through whole: the
        // private server, on a loaded machine, has at times passed nothing for a minute.
        QList<double> ours;
        for (int attempt = 1; attempt <= 3; ++attempt) {
            openWindow();
            addToPlaylist("C:\\Music", names);
            QTest::mouseClick(m_window->Option2, Qt::LeftButton);
            QTest::keyClick(m_window->Text5, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(m_window->Text5, "1");
            const QString sink = sinkState();
            const qsizetype before = heard.samples().size();
            QTRY_VERIFY_WITH_TIMEOUT(m_window->Timer1->isActive(), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!m_window->Timer1->isActive(), 60000);
            // The recording follows the sink a little later.
            QTest::qWait(1000);
            ours = secondsHeard(before);
            QCOMPARE(m_window->messageBox(), nullptr);
            // An alarm leaves a sink that is loud enough as it was.
            QCOMPARE(sinkState(), sink);

            const qsizetype yardstick = heard.samples().size();
            for (const QString &name : names) {
                QProcess playbin;
                playbin.start(
                    "gst-launch-1.0",
                    {"-q", "playbin", "uri=" + QUrl::fromLocalFile(hostPath(name)).toString()});
                QVERIFY2(playbin.waitForFinished(30000) && playbin.exitCode() == 0,
                         "gst-launch-1.0 playbin did not play the song (gstreamer1.0-tools)");
            }
            QTest::qWait(1000);
            const QList<double> alone = secondsHeard(yardstick);
            qInfo("seconds heard of 440, 660 and 880 Hz: Wakewell %.2f %.2f %.2f, playbin alone "
                  "%.2f %.2f %.2f, the sink %s",
                  ours[0], ours[1], ours[2], alone[0], alone[1], alone[2], qPrintable(sink));
            if (whole(alone))
                break;
        }
        QVERIFY(whole(ours));
    }

    // The machine stands still (as a sleeping laptop, or a stalled one) from a few seconds
    // before the alarm's second to 75 s after it: the first tick after it rings.
    void alarmRingsAfterAFreeze()
    {
#ifndef Q_OS_UNIX
        QSKIP("the process is frozen by a POSIX signal");
#endif
        openWithSong("440hz-1s.mp3");
        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        const QDateTime alarm = QDateTime::currentDateTime().addSecs(4);
        QTest::keyClicks(m_window->Text2, alarms::timeText(alarm.time()));

        // Stopped by a process of its own, which lets it go on later.
        const qint64 frozenS = 1 + 3 + 75;
        QVERIFY(QProcess::startDetached(
            "sh",
            {"-c",
             QStringLiteral("sleep 1; kill -STOP %1; sleep %2; kill -CONT %1")
                 .arg(QCoreApplication::applicationPid())
                 .arg(frozenS - 1)}));
        // The first sample after a gap of seconds is the moment the process goes on.
        qint64 lastMs = 0;
        qint64 resumedMs = -1;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            const qint64 now = m_elapsed.elapsed();
            if (resumedMs < 0 && now - lastMs > 5000)
                resumedMs = now;
            lastMs = now;
            sample();
        });
        m_elapsed.start();
        sampler.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(resumedMs >= 0, (frozenS + 30) * 1000);
        QTRY_VERIFY_WITH_TIMEOUT(seen("a.mp3") >= 0, 10000);
        QVERIFY(seen("a.mp3") >= resumedMs);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Player - a.mp3"));
        qInfo("frozen %lld s across the alarm's second; the first song opened %lld ms after "
              "the process went on",
              frozenS, seen("a.mp3") - resumedMs);
    }
};

QTEST_MAIN(TestPlaythrough)
#include "test_playthrough.moc"
