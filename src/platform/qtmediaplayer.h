#pragma once

#include "platform/hostfilesystem.h"
#include "platform/mediaplayer.h"

#include <memory>

// The media player on Qt Multimedia. The QMediaPlayer lives in a thread of its own: Qt 6.4's
// GStreamer backend blocks its caller for about a second in stop() or setSource() after a
// file it could not decode, and creating it starts GStreamer, which takes a while. The window's
// thread only posts commands and reads a state it keeps itself, so it never waits; the
// player's thread carries out only the newest of the commands waiting for it.
class QtMediaPlayer final : public MediaPlayer
{
public:
    // Drive-form paths are turned into host paths through the drive table.
    explicit QtMediaPlayer(DriveTable drives);
    ~QtMediaPlayer() override;

    void Open(const QString &path) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    State PlayState() const override;
    int Volume() const override;
    void SetVolume(int volume) override;
    bool HasAudioOutput() const override;
    int SongsPlayed() const override;

    // The level the Qt audio output has now, as last applied by the player's thread; -1 before
    // the Qt player exists.
    float appliedVolume() const;
    // Keeps the player's thread busy for ms, as a call into Qt that deadlocks would.
    void holdThreadForTest(int ms);

    struct Private;

private:
    std::unique_ptr<Private> d;
};
