// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// A sound system's own player of one song at a time, under ThreadedPlayer: made, called and
// destroyed on the player's thread only. It keeps no rules of its own: ThreadedPlayer decides
// what to load and when.
class PlayerEngine
{
public:
    enum class Status { Empty, Opening, Playing, Paused, Ended, Failed };

    virtual ~PlayerEngine() = default;

    // Loads the song at a host path in place of any other and plays it from its beginning. A
    // song that cannot be played ends up Failed, never thrown.
    virtual void load(const QString &hostPath) = 0;
    // Lets the song go: Empty.
    virtual void unload() = 0;
    // Pauses or resumes the song that is loaded.
    virtual void setPaused(bool paused) = 0;
    // The linear level, 0 to 1, for this song and the next ones.
    virtual void setLevel(float level) = 0;
    // The level the sound system has now, as it reads it back; -1 while it has none.
    virtual float appliedLevel() const = 0;

    // The sound system's engines that can say when they have news call this, from any of
    // their threads, until they are destroyed: the player then calls update() at once
    // instead of at its next look.
    virtual void setNewsHandler(std::function<void()>) { }
    // Takes in what the sound system has said since the last call; status() and positionMs()
    // tell what it said.
    virtual void update() = 0;
    virtual Status status() const = 0;
    virtual qint64 positionMs() const = 0;
};
