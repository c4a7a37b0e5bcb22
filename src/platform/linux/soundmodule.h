// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/playerengine.h"

#include <functional>
#include <memory>

// The process's connection to the sound server, as the machine's outputs use it.
class SoundServer
{
public:
    virtual ~SoundServer() = default;
    // Unmutes the default output and raises it to SoundOutput::audibleShare, as
    // SoundOutput::makeAudible() says: sent at once where the server has listed its outputs,
    // otherwise as soon as it does.
    virtual void makeAudible() = 0;
};

// GStreamer and the sound server's client library (libpulse), in a module of their own,
// libwakewell-sound.so (src/platform/linux/soundlibraries.cpp), that the program loads the first
// time it needs sound: an alarm set, a song or the tone played, the outputs asked. Until then
// neither library is in the process: a window that never rings costs neither.
class SoundModule
{
public:
    virtual ~SoundModule() = default;

    // Starts GStreamer and loads the plugins that a song plays through; takes seconds in a new
    // home, while GStreamer builds its registry.
    virtual void loadPlugins() = 0;
    // A player engine on GStreamer's playbin, to be used on the calling thread.
    virtual std::unique_ptr<PlayerEngine> createEngine() = 0;
    // Connects to the sound server, on the window's thread, whose event loop then serves the
    // connection; no server is ever started. counted is called on that thread with the number
    // of outputs each time the server lists them, 0 when it is lost or missing.
    virtual std::unique_ptr<SoundServer> connectServer(std::function<void(int outputs)> counted)
        = 0;

    // The module, loaded the first time any thread asks and kept for the process; null where
    // it cannot be loaded, which is said once on standard error.
    static SoundModule *load();
    // Loads the module, then starts GStreamer and loads its plugins, on a pool thread: once
    // for the process, later calls do nothing.
    static void loadAhead();
};

// The module's one entry point, looked up by this name.
extern "C" SoundModule *wakewell_sound_module();
