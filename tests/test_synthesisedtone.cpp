// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"
#include "desktop/songtone.h"
#include "desktop/synthesisedtone.h"
#include "platform/hostmediaplayer.h"

#include <QDir>
#include <QTest>

#include <cmath>

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
// sound output (a private PulseAudio, tests/audio/with-pulseaudio.sh).
class TestSynthesisedTone : public QObject
{
    Q_OBJECT

private slots:
    // Two beeps, then silence, in every sample format, both channels alike.
    void oneSecondBeepsTwice_data()
    {
        QTest::addColumn<QAudioFormat::SampleFormat>("type");
        QTest::newRow("Int16") << QAudioFormat::Int16;
        QTest::newRow("Float") << QAudioFormat::Float;
        QTest::newRow("UInt8") << QAudioFormat::UInt8;
        QTest::newRow("Int32") << QAudioFormat::Int32;
    }

    void oneSecondBeepsTwice()
    {
        QFETCH(QAudioFormat::SampleFormat, type);
        QAudioFormat format;
        format.setSampleRate(8000);
        format.setChannelCount(2);
        format.setSampleFormat(type);
        const QByteArray data = SynthesisedTone::oneSecond(format);
        QCOMPARE(data.size(), 8000 * format.bytesPerFrame());
        QList<double> samples;
        for (int frame = 0; frame < 8000; ++frame) {
            const char *p = data.constData() + frame * format.bytesPerFrame();
            const double left = format.normalizedSampleValue(p);
            QCOMPARE(format.normalizedSampleValue(p + format.bytesPerSample()), left);
            samples << left;
        }
        for (const auto &[from, to] : {std::pair {0.01, 0.19}, std::pair {0.31, 0.49}})
            QVERIFY(peak(samples, from, to) > 0.5);
        QVERIFY(peak(samples, 0.21, 0.29) < 0.01);
        QVERIFY(peak(samples, 0.51, 1.0) < 0.01);
        // It fades in and out: no click where it repeats.
        QVERIFY(std::abs(samples.first()) < 0.01 && std::abs(samples.last()) < 0.01);
    }

    void heardOnTheOutput()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows plays the tone as a song (SongTone): Qt 6.4's audio sink cannot open Wine's "
              "sound output");
#endif
        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        SynthesisedTone tone;
        tone.start();
        QTRY_VERIFY_WITH_TIMEOUT(heard.peak() > 0.3, 20000);
        tone.stop();
    }

    // Played as a song, the tone sounds again each time its file ends, until it is stopped.
    void songToneHeardAgainAndAgain()
    {
#ifndef Q_OS_WIN
        // Linux sounds the tone with SynthesisedTone; and the Qt player, asked for the song
        // that has just ended, at times plays nothing.
        QSKIP("the tone is played as a song on Windows");
#endif
        audio::Recording heard;
        QVERIFY2(heard.isOpen(), "nothing records the sound server (PULSE_RECORD_TO)");
        const DriveTable drives({{"C:", QDir::tempPath()}});
        SongTone tone(std::make_unique<HostMediaPlayer>(drives), drives, 2);
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
