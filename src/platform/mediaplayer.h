// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <algorithm>
#include <cmath>

// All that the window asks of a media player. Paths are in drive form (C:\Music\a.mp3).
class MediaPlayer
{
public:
    // What PlayState() reads: Stopped also once a song has played to its end, and once a
    // song could not be opened or played; Paused while paused and only then; Opening from
    // Open() until the song plays or fails.
    enum State { Stopped = 0, Paused = 1, Playing = 2, Opening = 3 };

    virtual ~MediaPlayer() = default;

    // Loads the song and starts it from its beginning, also when it is the song that has
    // just ended; replaces a song that plays. A file that cannot be played is no error:
    // PlayState() reads Stopped once it has failed.
    virtual void Open(const QString &path) = 0;
    // Opens the song as Open does, and plays it again from its beginning each time it ends
    // having played for a second, until the next Open or Stop: a song that ends sooner (one
    // that cannot play, or no output to play on) is not opened again and again.
    virtual void Repeat(const QString &path) = 0;
    // Resumes a paused song where it stopped; with none paused it does nothing.
    virtual void Play() = 0;
    // Pauses the song that is open (being opened or playing): PlayState() reads Paused until
    // Play, Stop or Open. With no song open it changes nothing.
    virtual void Pause() = 0;
    // Harmless when nothing is open.
    virtual void Stop() = 0;
    virtual State PlayState() const = 0;
    // Hundredths of a decibel: 0 is full level, -10000 silence; values outside are clamped.
    static constexpr int silence = -10000;
    static constexpr int fullLevel = 0;
    virtual int Volume() const = 0;
    virtual void SetVolume(int volume) = 0;
    // False when the machine offers no audio output at all: then nothing would be heard.
    virtual bool HasAudioOutput() const = 0;
    // How many of the songs opened so far have played for at least a second (their position
    // reached 1000 ms); each opened song counts once. It only grows, so that a caller can
    // tell whether any song played between two readings, whatever was opened in between.
    virtual int SongsPlayed() const = 0;

    // The linear level, 0 to 1, that a volume in hundredths of a decibel stands for: silence
    // and below is 0, full level and above 1, 10^(v/2000) in between.
    static float linearVolume(int volume)
    {
        if (volume <= silence)
            return 0.0f;
        return static_cast<float>(std::pow(10.0, std::min(volume, fullLevel) / 2000.0));
    }
};
