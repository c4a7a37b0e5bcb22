// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// GStreamer, started once for the whole process, within the sound module: ahead, once an alarm
// is set, or when the first song or tone needs it. Never at startup: a window that never rings
// costs no GStreamer.
namespace gstreamer {

// Whether GStreamer could start; safe from any thread, and cheap once it has.
bool start();

// Starts GStreamer and loads the plugins that a song plays through (playbin's, the MP3 parser
// and decoder, the sound server's sink), so that an alarm's first song does not wait for them:
// in a new home GStreamer first builds its registry, which takes seconds.
void loadPlugins();

} // namespace gstreamer
