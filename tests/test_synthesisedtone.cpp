#include "desktop/synthesisedtone.h"

#include <QProcess>
#include <QTest>

#include <cmath>
#include <cstring>

namespace {
// The samples of one channel of Int16 data, as -1 to 1.
QList<double> levels(const QByteArray &data, int channels)
{
    QList<double> out;
    for (qsizetype at = 0; at + 2 <= data.size(); at += 2 * channels) {
        qint16 sample;
        std::memcpy(&sample, data.constData() + at, 2);
        out << sample / 32767.0;
    }
    return out;
}

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
        QProcess recorder;
        recorder.start(QStringLiteral("parec"),
                       {QStringLiteral("-d"), QStringLiteral("test_sink.monitor"),
                        QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                        QStringLiteral("--rate=8000")});
        QVERIFY(recorder.waitForStarted());
        SynthesisedTone tone;
        tone.start();
        QByteArray heard;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                heard += recorder.readAllStandardOutput();
                return peak(levels(heard, 1), 0, 1) > 0.3;
            }(),
            20000);
        tone.stop();
        recorder.kill();
        recorder.waitForFinished();
    }
};

QTEST_MAIN(TestSynthesisedTone)
#include "test_synthesisedtone.moc"
