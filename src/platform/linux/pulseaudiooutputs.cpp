// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audiooutputs.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
// How long the first look waits for the server's list of outputs.
constexpr auto firstListing = std::chrono::seconds(2);
} // namespace

// The sound server's outputs (PulseAudio's, or PipeWire's through its PulseAudio service),
// asked of the server itself: cheaper than starting GStreamer's device monitor at the first
// paint, which loads GStreamer with its PulseAudio plugin. One connection, in a thread of the
// client library's own; it counts the sinks anew whenever the server says that one came or
// went, and the signal follows in the window's thread.
struct AudioOutputs::Private
{
    explicit Private(AudioOutputs *q) : outputs(q) { }

    AudioOutputs *outputs;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    std::mutex lock;
    std::condition_variable listed;
    int sinks = -1; // -1 until first counted
    int counting = 0; // the count under way, in the library's thread

    void count(int n)
    {
        {
            const std::lock_guard held(lock);
            if (sinks == n)
                return;
            sinks = n;
        }
        listed.notify_all();
        QMetaObject::invokeMethod(outputs, &AudioOutputs::changed, Qt::QueuedConnection);
    }

    void list()
    {
        counting = 0;
        if (pa_operation *o = pa_context_get_sink_info_list(context, onSink, this))
            pa_operation_unref(o);
    }

    static void onSink(pa_context *, const pa_sink_info *sink, int end, void *self)
    {
        auto *d = static_cast<Private *>(self);
        if (end)
            d->count(end > 0 ? d->counting : 0);
        else if (sink)
            ++d->counting;
    }

    static void onEvent(pa_context *, pa_subscription_event_type_t, uint32_t, void *self)
    {
        static_cast<Private *>(self)->list();
    }

    static void onState(pa_context *context, void *self)
    {
        auto *d = static_cast<Private *>(self);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(context, onEvent, d);
            if (pa_operation *o
                = pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr))
                pa_operation_unref(o);
            d->list();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            d->count(0);
            break;
        default:
            break;
        }
    }
};

AudioOutputs::AudioOutputs() : d(new Private(this))
{
    d->loop = pa_threaded_mainloop_new();
    d->context = pa_context_new(pa_threaded_mainloop_get_api(d->loop), "Wakewell");
    pa_context_set_state_callback(d->context, Private::onState, d.get());
    if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
        || pa_threaded_mainloop_start(d->loop) < 0)
        d->count(0);
}

AudioOutputs::~AudioOutputs()
{
    pa_threaded_mainloop_stop(d->loop);
    pa_context_disconnect(d->context);
    pa_context_unref(d->context);
    pa_threaded_mainloop_free(d->loop);
}

bool AudioOutputs::any() const
{
    std::unique_lock held(d->lock);
    d->listed.wait_for(held, firstListing, [this] { return d->sinks >= 0; });
    return d->sinks > 0;
}
