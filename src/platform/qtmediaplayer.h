#pragma once

#include "platform/hostfilesystem.h"
#include "platform/mediaplayer.h"

#include <memory>

// The media player on Qt Multimedia (QMediaPlayer and QAudioOutput).
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

private:
    struct Private;
    std::unique_ptr<Private> d;
};
