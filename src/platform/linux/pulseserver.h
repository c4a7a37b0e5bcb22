// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/linux/soundmodule.h"

// The sound server (PulseAudio, or PipeWire through its pulse server) through libpulse; see
// SoundModule::connectServer().
std::unique_ptr<SoundServer> connectPulseServer(std::function<void(int)> counted);
