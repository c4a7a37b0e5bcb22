// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/host/threadedplayer.h"

// The machine's own media player: ThreadedPlayer on the engine of the system's sound system,
// GStreamer on Linux (src/platform/linux/gstplayerengine.cpp), Media Foundation on Windows
// (src/platform/windows/mfplayerengine.cpp), which each define the constructor.
class HostMediaPlayer final : public ThreadedPlayer
{
public:
    explicit HostMediaPlayer(DriveTable drives);
};
