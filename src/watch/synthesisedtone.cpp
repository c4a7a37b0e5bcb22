// SPDX-License-Identifier: GPL-3.0-or-later
#include "watch/synthesisedtone.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
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

} // namespace

QByteArray synthesisedtone::oneSecond(int sampleRate)
{
    QByteArray samples(qsizetype(sampleRate) * qsizetype(sizeof(qint16)), '\0');
    for (int i = 0; i < sampleRate; ++i) {
        const auto sample = static_cast<qint16>(std::lround(level(double(i) / sampleRate) * 32767));
        std::memcpy(samples.data() + i * sizeof sample, &sample, sizeof sample);
    }
    return samples;
}
