// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/mediaplayer.h"
#include "platform/soundoutput.h"

#include <functional>
#include <memory>

// What the window is given of the machine: how to make its two components, made the
// first time a handler needs them, the clocks, and the sound output that an alarm turns up.
// The real program passes the adapters of src/platform; tests pass fakes.
struct Platform
{
    std::function<std::unique_ptr<MediaPlayer>()> createMediaPlayer;
    std::function<std::unique_ptr<FileSystem>()> createFileSystem;
    const Clock *clock = nullptr;
    SoundOutput *soundOutput = nullptr;
};
