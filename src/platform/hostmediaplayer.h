// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/threadedplayer.h"

#ifdef Q_OS_WIN
#include "platform/mfengine.h"
#else
#include "platform/qtengine.h"
#endif

// The machine's own media player: Media Foundation on Windows, Qt Multimedia over GStreamer
// on Linux.
class HostMediaPlayer final : public ThreadedPlayer
{
public:
#ifdef Q_OS_WIN
    using Engine = MfEngine;
#else
    using Engine = QtEngine;
#endif

    explicit HostMediaPlayer(DriveTable drives)
        : ThreadedPlayer(std::move(drives), [] { return std::make_unique<Engine>(); })
    {
    }
};
