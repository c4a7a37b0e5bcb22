// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/gstreamer.h"

#include <QThreadPool>

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

namespace {
// Starts GStreamer and loads the plugins that a song plays through.
void loadPlugins()
{
    if (!gstreamer::start())
        return;
    for (const char *name : {"coreelements", "typefindfunctions", "playback", "audioparsers",
                             "mpg123", "audioconvert", "audioresample", "volume", "pulseaudio"})
        if (GstPlugin *plugin = gst_plugin_load_by_name(name))
            gst_object_unref(plugin);
}
} // namespace

void gstreamer::startAhead()
{
    static std::once_flag once;
    std::call_once(once, [] { QThreadPool::globalInstance()->start(loadPlugins); });
}
