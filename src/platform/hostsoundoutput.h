// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/soundoutput.h"

#ifdef _WIN32
#include <chrono>
#include <future>
#endif

// The machine's default output, reached through the sound server's own client library
// (libpulse, which PipeWire serves too) on Linux, and through the endpoint volume of the
// default render device on Windows. On Linux the change is sent on the process's one
// connection to the sound server, which the window's event loop serves. On Windows it is made
// on a thread of its own, since the audio service may answer slowly or not at all: the caller
// waits for it at most waitLimit.
class HostSoundOutput final : public SoundOutput
{
public:
    void makeAudible() override;

#ifdef _WIN32
    // Long enough for an audio service that answers at all (a few milliseconds here), short
    // enough not to hold up the alarm's first song noticeably.
    static constexpr std::chrono::milliseconds waitLimit {500};

private:
    // Makes the change on the calling thread; returns once it is made or has failed.
    static void raiseDefaultOutput();

    // The change under way, if any: a service that has not answered the last one is not
    // asked again, which would leave a thread behind for every alarm.
    std::future<void> m_request;
#endif
};
