// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/threadedplayer.h"

#ifdef Q_OS_WIN
#include "platform/windows/mfplayerengine.h"
#else
#include "platform/gstengine.h"
#endif

// The machine's own media player: Media Foundation on Windows, GStreamer on Linux.
class HostMediaPlayer final : public ThreadedPlayer
{
public:
#ifdef Q_OS_WIN
    using Engine = MfPlayerEngine;
#else
    using Engine = GstEngine;
#endif

    explicit HostMediaPlayer(DriveTable drives)
        : ThreadedPlayer(std::move(drives), [] { return std::make_unique<Engine>(); })
    {
    }
};
