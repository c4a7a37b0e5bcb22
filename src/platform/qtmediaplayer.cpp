#include "platform/qtmediaplayer.h"

struct QtMediaPlayer::Private
{
    DriveTable drives;
    int volume = -600;
};

QtMediaPlayer::QtMediaPlayer(DriveTable drives) : d(new Private {std::move(drives)}) { }
QtMediaPlayer::~QtMediaPlayer() = default;
void QtMediaPlayer::Open(const QString &) { }
void QtMediaPlayer::Play() { }
void QtMediaPlayer::Pause() { }
void QtMediaPlayer::Stop() { }
MediaPlayer::State QtMediaPlayer::PlayState() const
{
    return Stopped;
}
int QtMediaPlayer::Volume() const
{
    return d->volume;
}
void QtMediaPlayer::SetVolume(int volume)
{
    d->volume = volume;
}
bool QtMediaPlayer::HasAudioOutput() const
{
    return true;
}
int QtMediaPlayer::SongsPlayed() const
{
    return 0;
}
