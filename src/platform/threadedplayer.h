// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/host/hostfilesystem.h"
#include "platform/mediaplayer.h"
#include "platform/playerengine.h"

#include <functional>
#include <memory>

// How long ThreadedPlayer waits for a song that does not open, for one that stands still,
// and for its thread when a call into the sound system does not return.
struct PlayerLimits
{
    int openingMs = 8000;
    int stallMs = 5000;
    int stuckMs = 4000;
};

// The media player on an engine of a sound system, in a thread of its own: loading a song or
// stopping one may block for a while in the sound system, and the window's thread must never
// wait. The window's thread only sends what it wants and reads a state it keeps itself.
//
// The rules the window relies on, whatever the engine:
// - The newest command wins: one that a newer Open, Stop or Play has overtaken is dropped
//   before it reaches the engine, so a burst of song changes costs one song load.
// - Pause acts only on a song that is open (opening, playing); with none it changes nothing
//   and the player goes on reading Stopped. Play acts only on a paused song.
// - Every Open loads the song afresh, from its beginning, also the song that just ended.
// - A song still Opening after Limits::openingMs is loaded again, once; still Opening as long
//   again, it is given up and reads Stopped, so continuous play moves on.
// - A song whose position stands still for Limits::stallMs while it plays is loaded again
//   and goes on from where it stood.
// - A thread that has been busy with one call for Limits::stuckMs is stuck in the sound
//   system (Debian 12's PulseAudio client library can hang a pipeline that calls it): it is
//   left behind, and a new thread with a new engine carries out what is wanted now.
class ThreadedPlayer : public MediaPlayer
{
public:
    using Limits = PlayerLimits;
    // How often the engine is asked what happened, while a song is loaded.
    static constexpr int updateIntervalMs = 100;
    // A song counts as played once its position has reached this.
    static constexpr qint64 playedMs = 1000;

    // Made on the player's thread for the first song; drive-form paths become host paths
    // through the drive table.
    using EngineFactory = std::function<std::unique_ptr<PlayerEngine>()>;
    ThreadedPlayer(DriveTable drives, EngineFactory makeEngine, Limits limits = {});
    ~ThreadedPlayer() override;

    void Open(const QString &path) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    State PlayState() const override;
    int Volume() const override;
    void SetVolume(int volume) override;
    bool HasAudioOutput() const override;
    int SongsPlayed() const override;

    // The level the engine has applied, as it reads it back; -1 before it has a song.
    float appliedVolume() const;

    struct Private;

private:
    std::unique_ptr<Private> d;
};
