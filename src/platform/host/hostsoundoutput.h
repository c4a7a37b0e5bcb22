// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/soundoutput.h"

// The machine's default output. On Linux, through the sound server's own client library
// (libpulse, which PipeWire serves too), the change sent on the process's one connection to
// the sound server, which the window's event loop serves, in the sound module
// (src/platform/linux/pulseserver.cpp). On Windows, through the endpoint volume of the default
// render device, on a thread of its own that the caller waits for a short while at most
// (src/platform/windows/endpointsoundoutput.cpp).
class HostSoundOutput final : public SoundOutput
{
public:
    void makeAudible() override;
};
