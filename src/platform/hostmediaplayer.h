#pragma once

#include <QtGlobal>

// The machine's own media player: Qt Multimedia over GStreamer on Linux, Media Foundation on
// Windows.
#ifdef Q_OS_WIN
#include "platform/mfengine.h"
#include "platform/threadedplayer.h"

class HostMediaPlayer final : public ThreadedPlayer
{
public:
    explicit HostMediaPlayer(DriveTable drives)
        : ThreadedPlayer(std::move(drives), [] { return std::make_unique<MfEngine>(); })
    {
    }
};
#else
#include "platform/qtmediaplayer.h"

using HostMediaPlayer = QtMediaPlayer;
#endif
