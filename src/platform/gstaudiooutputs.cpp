// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audiooutputs.h"

#include "platform/gstreamer.h"

#include <gst/gst.h>

// The device monitor, watching the sinks for as long as the program runs. Its bus says when
// one comes or goes, in the monitor's own thread; the signal follows in the window's.
struct AudioOutputs::Private
{
    GstDeviceMonitor *monitor = nullptr;

    static GstBusSyncReply tell(GstBus *, GstMessage *message, gpointer outputs)
    {
        const auto type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_DEVICE_ADDED || type == GST_MESSAGE_DEVICE_REMOVED)
            QMetaObject::invokeMethod(static_cast<AudioOutputs *>(outputs), &AudioOutputs::changed,
                                      Qt::QueuedConnection);
        return GST_BUS_DROP;
    }
};

AudioOutputs::AudioOutputs() : d(new Private)
{
    if (!gstreamer::start())
        return;
    d->monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(d->monitor, "Audio/Sink", nullptr);
    GstBus *bus = gst_device_monitor_get_bus(d->monitor);
    gst_bus_set_sync_handler(bus, Private::tell, this, nullptr);
    gst_object_unref(bus);
    if (!gst_device_monitor_start(d->monitor))
        qWarning("GStreamer cannot watch the audio outputs");
}

AudioOutputs::~AudioOutputs()
{
    if (!d->monitor)
        return;
    gst_device_monitor_stop(d->monitor);
    GstBus *bus = gst_device_monitor_get_bus(d->monitor);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(d->monitor);
}

bool AudioOutputs::any() const
{
    if (!d->monitor)
        return false;
    GList *devices = gst_device_monitor_get_devices(d->monitor);
    const bool some = devices != nullptr;
    g_list_free_full(devices, gst_object_unref);
    return some;
}
