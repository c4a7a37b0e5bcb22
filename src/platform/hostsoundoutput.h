// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/soundoutput.h"

#include <chrono>
#include <future>

// The machine's default output, reached through the sound server's own client library
// (libpulse, which PipeWire serves too) on Linux, and through the endpoint volume of the
// default render device on Windows. The change is made on a thread of its own, since a
// sound server may answer slowly or not at all: the caller waits for it at most waitLimit.
class HostSoundOutput final : public SoundOutput
{
public:
    // Long enough for a sound server that answers at all (a few milliseconds here), short
    // enough not to hold up the alarm's first song noticeably.
    static constexpr std::chrono::milliseconds waitLimit {500};

    void makeAudible() override;

private:
    // Makes the change on the calling thread; returns once it is made or has failed, or when
    // the sound server has not answered for some seconds.
    static void raiseDefaultOutput();

    // The change under way, if any: a server that has not answered the last one is not
    // asked again, which would leave a thread behind for every alarm.
    std::future<void> m_request;
};
