// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/gstreamer.h"

#include <gst/gst.h>

#include <cstdio>
#include <mutex>

bool gstreamer::start()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        GError *error = nullptr;
        started = gst_init_check(nullptr, nullptr, &error);
        if (!started) {
            std::fprintf(stderr, "Wakewell: GStreamer cannot start: %s\n",
                         error ? error->message : "no reason given");
            g_clear_error(&error);
        }
    });
    return started;
}

void gstreamer::loadPlugins()
{
    if (!start())
        return;
    for (const char *name : {"coreelements", "typefindfunctions", "playback", "audioparsers",
                             "mpg123", "audioconvert", "audioresample", "volume", "pulseaudio"})
        if (GstPlugin *plugin = gst_plugin_load_by_name(name))
            gst_object_unref(plugin);
}
