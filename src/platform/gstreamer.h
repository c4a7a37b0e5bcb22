// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// GStreamer, started once for the whole process when the first song, tone or look at the
// audio outputs needs it: never before the window is on screen, which it would only slow.
namespace gstreamer {

// Whether GStreamer could start; safe from any thread, and cheap once it has.
bool start();

} // namespace gstreamer
