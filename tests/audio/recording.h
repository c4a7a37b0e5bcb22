// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

// For the tests that play real sound under tests/audio/with-pulseaudio.sh: the songs that
// tests/audio/make-songs.sh made, and what the private sound server's sink played.
namespace audio {

// Copies a song made by make-songs.sh (440hz-1s.mp3, ...) to a host path, in place of a file
// there; false when it could not.
bool copySong(const QString &made, const QString &to);

// What the sound server's own command prints, or "pactl failed: " and why.
QString pactl(const QStringList &arguments);
// A sink's mute and the volume of each channel: "muted 10% 5%", "unmuted 30% 15%".
QString sinkState(const QString &sink);

// What the sink has played since the recording was opened, read from the file that
// PULSE_RECORD_TO names as it grows.
class Recording
{
public:
    static constexpr int samplesPerSecond = 8000;

    Recording();
    bool isOpen() const { return m_file.isOpen(); }

    // Every sample recorded so far, -1 to 1, after taking in what came since the last call.
    const QList<double> &samples();
    // The loudest sample from the given one on.
    double peak(qsizetype from = 0);
    // The level that the sound has most of the time from the given sample on: the median of
    // the loudest samples of its sounding stretches, so that a moment at another level (a
    // volume applied late) does not count. 0 when nothing sounded.
    double usualLevel(qsizetype from);
    // How long the sound went on, from the given sample on, before it came to hold the given
    // level (within 2 dB) to the end of the recording; -1 when it does not. Seconds of sound:
    // moments far below both that level and the other one that it changes from, in which the
    // sink passed nothing (as it does at times on a loaded machine), do not count.
    double secondsUntilHeld(qsizetype from, double level, double other);
    // A stretch of a tenth of a second or more that sounded at one pitch, in hertz, and how
    // long it sounded.
    struct Sound
    {
        int hz;
        double seconds;
    };
    // The sounds heard from the given sample on, in order.
    QList<Sound> sounds(qsizetype from = 0);
    // Their pitches alone.
    QList<int> pitches();

private:
    QFile m_file;
    QList<double> m_samples;
    QByteArray m_partial;
};

} // namespace audio
