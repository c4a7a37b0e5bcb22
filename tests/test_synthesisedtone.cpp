// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"
#include "platform/host/hostmediaplayer.h"
#include "watch/songtone.h"
#include "watch/synthesisedtone.h"

#include <QDir>
#include <QTest>

#include <cmath>
#include <cstring>

namespace {
double peak(const QList<double> &samples, double from, double to)
{
    double most = 0;
    for (qsizetype i = qsizetype(from * samples.size()); i < qsizetype(to * samples.size()); ++i)
        most = std::max(most, std::abs(samples[i]));
    return most;
}
} // namespace

// The tone the program makes itself: its second of samples, and that it is heard on a real
// sound output as a song (a private PulseAudio, tests/audio/with-pulseaudio.sh).
class TestSynthesisedTone : public QObject
{
    Q_OBJECT

private slots:
    // Two beeps, then silence, at the rate the song tone uses and at another.
    void oneSecondBeepsTwice_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("8000 Hz") << 8000;
        QTest::newRow("22050 Hz") << 22050;
    }

    void oneSecondBeepsTwice()
    {
        QFETCH(int, rate);
        const QByteArray data = synthesisedtone::oneSecond(rate);
        QCOMPARE(data.size(), rate * qsizetype(sizeof(qint16)));
        QList<double> samples;
        for (int i = 0; i < rate; ++i) {
            qint16 sample;
            std::memcpy(&sample, data.constData() + i * sizeof sample, sizeof sample);
            samples << sample / 32767.0;
        }
        for (const auto &[from, to] : {std::pair {0.01, 0.19}, std::pair {0.31, 0.49}})
            QVERIFY(peak(samples, from, to) > 0.5);
        QVERIFY(peak(samples, 0.21, 0.29) < 0.01);
        QVERIFY(peak(samples, 0.51, 1.0) < 0.01);
        // It fades in and out: no click where it repeats.
        QVERIFY(std::abs(samples.first()) < 0.01 && std::abs(samples.last()) < 0.01);
    }

    // Played as a song, the tone is heard on a real sound output, and again each time its file
    // ends, until it is stopped.
    void songToneHeardAgainAndAgain()
    {
        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        const DriveTable drives({{"C:", QDir::tempPath()}});
        SongTone tone(
            std::make_unique<HostMediaPlayer>(drives),
            [&drives](const QString &hostPath) { return drives.toDrive(hostPath); }, 2);
        tone.start();
        QTRY_VERIFY_WITH_TIMEOUT(heard.peak() > 0.2, 20000);
        // Heard still after the file has ended twice.
        const qsizetype from = heard.samples().size();
        QTest::qWait(5000);
        QVERIFY(heard.peak(from + 3 * audio::Recording::samplesPerSecond) > 0.2);
        tone.stop();
        QTest::qWait(1000);
        const qsizetype stopped = heard.samples().size();
        QTest::qWait(1000);
        QVERIFY(heard.peak(stopped) < 0.01);
    }
};

QTEST_MAIN(TestSynthesisedTone)
#include "test_synthesisedtone.moc"
