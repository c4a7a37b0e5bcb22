// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/synthesisedtone.h"

#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace {

constexpr double frequencyHz = 880.0;
constexpr double amplitude = 0.6;
// Each second: a beep from 0 to 0.2 s and one from 0.3 to 0.5 s, then silence.
constexpr double beepSeconds = 0.2;
constexpr double beepStarts[] = {0.0, 0.3};
// Rises and falls this long at each beep's ends, so that it does not click.
constexpr double rampSeconds = 0.005;

// The tone's level at time t of its second, -1 to 1.
double level(double t)
{
    for (const double start : beepStarts) {
        const double in = t - start;
        if (in < 0 || in >= beepSeconds)
            continue;
        const double ramp = std::min({1.0, in / rampSeconds, (beepSeconds - in) / rampSeconds});
        return amplitude * ramp * std::sin(2 * std::numbers::pi * frequencyHz * in);
    }
    return 0.0;
}

// Writes one sample of value v (-1 to 1) at p in the format's sample type.
void putSample(char *p, QAudioFormat::SampleFormat type, double v)
{
    auto put = [p](auto sample) { std::memcpy(p, &sample, sizeof sample); };
    switch (type) {
    case QAudioFormat::UInt8:
        put(static_cast<quint8>(std::lround(128 + v * 127)));
        break;
    case QAudioFormat::Int16:
        put(static_cast<qint16>(std::lround(v * 32767)));
        break;
    case QAudioFormat::Int32:
        put(static_cast<qint32>(std::lround(v * 2147483647.0)));
        break;
    case QAudioFormat::Float:
        put(static_cast<float>(v));
        break;
    case QAudioFormat::Unknown:
    case QAudioFormat::NSampleFormats:
        break;
    }
}

// Serves the same second of samples again and again.
class LoopDevice final : public QIODevice
{
public:
    explicit LoopDevice(QByteArray samples) : m_samples(std::move(samples))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_samples.size() + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        qint64 done = 0;
        while (done < maxSize && !m_samples.isEmpty()) {
            const qint64 n = std::min<qint64>(maxSize - done, m_samples.size() - m_at);
            std::memcpy(data + done, m_samples.constData() + m_at, n);
            done += n;
            m_at = (m_at + n) % m_samples.size();
        }
        return done;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_samples;
    qint64 m_at = 0;
};

} // namespace

SynthesisedTone::SynthesisedTone() = default;

SynthesisedTone::~SynthesisedTone()
{
    stop();
}

QByteArray SynthesisedTone::oneSecond(const QAudioFormat &format)
{
    const int frames = format.sampleRate();
    const int bytesPerSample = format.bytesPerSample();
    QByteArray samples(qsizetype(frames) * format.bytesPerFrame(), '\0');
    char *p = samples.data();
    for (int i = 0; i < frames; ++i) {
        const double v = level(double(i) / frames);
        for (int c = 0; c < format.channelCount(); ++c, p += bytesPerSample)
            putSample(p, format.sampleFormat(), v);
    }
    return samples;
}

void SynthesisedTone::start()
{
    if (m_sink)
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    const QAudioFormat format = device.preferredFormat();
    if (format.sampleFormat() == QAudioFormat::Unknown || format.sampleRate() <= 0) {
        // The last way left to wake anyone: when it fails too, say so where it can be read.
        std::fputs("Wakewell: the alarm tone cannot be played: no usable sound output\n", stderr);
        return;
    }
    m_source = std::make_unique<LoopDevice>(oneSecond(format));
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->start(m_source.get());
}

void SynthesisedTone::stop()
{
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
    m_source.reset();
}
