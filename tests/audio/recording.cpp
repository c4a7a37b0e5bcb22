// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// The stretches in which a pitch is measured, and the level above which one sounds.
constexpr int stretchSamples = audio::Recording::samplesPerSecond / 20;
constexpr double soundingLevel = 0.05;
} // namespace

bool audio::copySong(const QString &made, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(QDir(qEnvironmentVariable("WAKEWELL_TEST_SONGS")).filePath(made), to);
}

QString audio::pactl(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), arguments);
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return QStringLiteral("pactl failed: ") + p.readAllStandardError();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString audio::sinkState(const QString &sink)
{
    QString state = pactl({"get-sink-mute", sink}).contains(QStringLiteral("yes"))
        ? QStringLiteral("muted")
        : QStringLiteral("unmuted");
    const QRegularExpression percent(QStringLiteral("(\\d+)%"));
    for (const auto &match : percent.globalMatch(pactl({"get-sink-volume", sink})))
        state += u' ' + match.captured(0);
    return state;
}

audio::Recording::Recording() : m_file(qEnvironmentVariable("PULSE_RECORD_TO"))
{
    if (m_file.open(QIODevice::ReadOnly))
        m_file.seek(m_file.size());
}

const QList<double> &audio::Recording::samples()
{
    m_partial += m_file.readAll();
    const qsizetype whole = m_partial.size() / 2;
    for (qsizetype i = 0; i < whole; ++i) {
        qint16 sample;
        std::memcpy(&sample, m_partial.constData() + 2 * i, 2);
        m_samples << sample / 32768.0;
    }
    m_partial.remove(0, whole * 2);
    return m_samples;
}

double audio::Recording::peak(qsizetype from)
{
    const QList<double> &all = samples();
    double most = 0;
    for (qsizetype i = from; i < all.size(); ++i)
        most = std::max(most, std::abs(all[i]));
    return most;
}

double audio::Recording::usualLevel(qsizetype from)
{
    const QList<double> &all = samples();
    QList<double> levels;
    for (qsizetype at = from; at + stretchSamples <= all.size(); at += stretchSamples) {
        double most = 0;
        for (qsizetype i = at; i < at + stretchSamples; ++i)
            most = std::max(most, std::abs(all[i]));
        if (most >= soundingLevel / 5)
            levels << most;
    }
    if (levels.isEmpty())
        return 0;
    std::sort(levels.begin(), levels.end());
    return levels[levels.size() / 2];
}

double audio::Recording::secondsUntilHeld(qsizetype from, double level, double other)
{
    // Stretches of 10 ms: four periods of the songs' lowest pitch, so that each holds its peak.
    constexpr int stretch = samplesPerSecond / 100;
    const double tolerance = std::pow(10.0, 2.0 / 20);
    const double silence = std::min(level, other) / 4;
    const QList<double> &all = samples();
    // The stretches that sounded so far, and those that sounded before the level was held,
    // while it is.
    int sounding = 0;
    int held = -1;
    for (qsizetype at = from; at + stretch <= all.size(); at += stretch) {
        double most = 0;
        for (qsizetype i = at; i < at + stretch; ++i)
            most = std::max(most, std::abs(all[i]));
        if (most < silence)
            continue;
        if (most > level * tolerance || most < level / tolerance)
            held = -1;
        else if (held < 0)
            held = sounding;
        ++sounding;
    }
    return held < 0 ? -1 : double(held) * stretch / samplesPerSecond;
}

QList<audio::Recording::Sound> audio::Recording::sounds(qsizetype from)
{
    const QList<double> &all = samples();
    QList<Sound> heard;
    int pitch = 0; // of the stretches in a row so far, 0 while silent
    int stretches = 0;
    for (qsizetype at = from; at + stretchSamples <= all.size(); at += stretchSamples) {
        int crossings = 0;
        double most = 0;
        for (qsizetype i = at; i < at + stretchSamples; ++i) {
            most = std::max(most, std::abs(all[i]));
            crossings += i > at && (all[i - 1] < 0) != (all[i] < 0);
        }
        // A tone crosses zero twice in each period.
        const int now
            = most < soundingLevel ? 0 : crossings * samplesPerSecond / stretchSamples / 2;
        if (now > 0 && pitch > 0 && std::abs(now - pitch) * 10 <= pitch) {
            ++stretches;
        } else {
            pitch = now;
            stretches = 1;
        }
        // Two stretches in a row: a click is no song.
        if (pitch > 0 && stretches == 2)
            heard << Sound {pitch, 0};
        if (pitch > 0 && stretches >= 2)
            heard.last().seconds = double(stretches) * stretchSamples / samplesPerSecond;
    }
    return heard;
}

QList<int> audio::Recording::pitches()
{
    QList<int> heard;
    for (const Sound &sound : sounds())
        heard << sound.hz;
    return heard;
}
