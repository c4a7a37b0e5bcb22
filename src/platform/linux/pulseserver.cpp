// SPDX-License-Identifier: GPL-3.0-or-later
// The sound server (PulseAudio, or PipeWire through its pulse server) through its own client
// library: one connection for the process, served by the window's event loop. It follows the
// sinks by subscription: how many there are that play somewhere, and the default one's index, mute
// and volume, so that an alarm's change is sent at once from what it knows, without asking first.
// No server is ever started; a lost or missing one is looked for again every few seconds.
#include "platform/linux/pulseserver.h"

#include "platform/soundoutput.h"

#include <QTimer>

#include <pulse/glib-mainloop.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace std::chrono_literals;
constexpr auto reconnectAfter = 5s;

const pa_volume_t audibleVolume
    = pa_volume_t(std::lround(SoundOutput::audibleShare * PA_VOLUME_NORM));

// libpulse sends what it is asked on the next pass of its loop. Its loop runs on a GLib
// context of its own, which this source runs within Qt's (GLib's default context): so its
// events are served like the window's, and that context alone can be run to send an alarm's
// change at once, without running any of the window's own events in the alarm's handler.
constexpr gint maxPolled = 8;
struct Nest
{
    GSource source;
    GMainContext *inner;
    gint priority;
    gint polled;
    // The inner context's descriptors: its own wake-up, and the socket to the server.
    GPollFD fds[maxPolled];
};

gboolean nestPrepare(GSource *source, gint *timeout)
{
    auto &n = *reinterpret_cast<Nest *>(source);
    g_main_context_prepare(n.inner, &n.priority);
    GPollFD now[maxPolled];
    const gint polled
        = std::min(g_main_context_query(n.inner, n.priority, timeout, now, maxPolled), maxPolled);
    // Polls are changed only when they change: each change wakes the outer loop.
    if (polled != n.polled || !std::equal(now, now + polled, n.fds, [](GPollFD a, GPollFD b) {
            return a.fd == b.fd && a.events == b.events;
        })) {
        for (gint i = 0; i < n.polled; ++i)
            g_source_remove_poll(source, &n.fds[i]);
        std::copy(now, now + polled, n.fds);
        n.polled = polled;
        for (gint i = 0; i < n.polled; ++i)
            g_source_add_poll(source, &n.fds[i]);
    }
    // Ready or not, the check after the poll decides (a ready context asked a timeout of 0).
    return FALSE;
}

gboolean nestCheck(GSource *source)
{
    auto &n = *reinterpret_cast<Nest *>(source);
    return g_main_context_check(n.inner, n.priority, n.fds, n.polled);
}

gboolean nestDispatch(GSource *source, GSourceFunc, gpointer)
{
    g_main_context_dispatch(reinterpret_cast<Nest *>(source)->inner);
    return G_SOURCE_CONTINUE;
}

GSourceFuncs nestFuncs {nestPrepare, nestCheck, nestDispatch, nullptr, nullptr, nullptr};

// The default sink as listed; PA_INVALID_INDEX when there is none.
struct Sink
{
    uint32_t index = PA_INVALID_INDEX;
    bool muted = false;
    pa_cvolume volume {};
};

class PulseServer final : public SoundServer
{
public:
    explicit PulseServer(std::function<void(int)> tell) : tell(std::move(tell))
    {
        g_main_context_acquire(inner);
        auto *n = reinterpret_cast<Nest *>(g_source_new(&nestFuncs, sizeof(Nest)));
        n->inner = inner;
        n->polled = 0;
        nest = &n->source;
        g_source_attach(nest, nullptr);
        reconnect.setSingleShot(true);
        reconnect.setInterval(reconnectAfter);
        QObject::connect(&reconnect, &QTimer::timeout, [this] { connect(); });
        connect();
    }

    ~PulseServer() override
    {
        disconnect();
        pa_glib_mainloop_free(loop);
        g_source_destroy(nest);
        g_source_unref(nest);
        g_main_context_release(inner);
        g_main_context_unref(inner);
    }

    void makeAudible() override
    {
        // Raised from the next listing: the first on a connection still being made, or one
        // asked now, in case what the connection knew was a few milliseconds old.
        raiseWhenListed = true;
        if (!current)
            return;
        raise();
        list();
        // Sent now, before the alarm opens its song, rather than at the loop's next pass.
        g_main_context_iteration(inner, FALSE);
    }

private:
    // Told each count of the outputs.
    std::function<void(int)> tell;
    QTimer reconnect;
    GMainContext *inner = g_main_context_new();
    pa_glib_mainloop *loop = pa_glib_mainloop_new(inner);
    GSource *nest = nullptr;
    pa_context *context = nullptr;
    Sink fallback;
    std::string fallbackName;
    // The sinks have been listed on this connection.
    bool current = false;
    // The listing under way.
    int counting = 0;
    Sink counted;
    // An alarm asks for the default sink to be raised once it is listed.
    bool raiseWhenListed = false;

    void connect()
    {
        disconnect();
        current = false;
        context = pa_context_new(pa_glib_mainloop_get_api(loop), "Wakewell");
        pa_context_set_state_callback(context, onState, this);
        // Without a sound server none is started: an alarm clock has no business starting one.
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    }

    void disconnect()
    {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }

    // The server's default sink's name, then every sink: the answers come in that order.
    void list()
    {
        release(pa_context_get_server_info(context, onServer, this));
        release(pa_context_get_sink_info_list(context, onSink, this));
    }

    // The loudest channel at the audible volume, the others in proportion; the sink is taken
    // to be so from now on, so that a second alarm sends nothing again.
    void raise()
    {
        if (fallback.index == PA_INVALID_INDEX)
            return;
        if (std::exchange(fallback.muted, false))
            release(
                pa_context_set_sink_mute_by_index(context, fallback.index, 0, nullptr, nullptr));
        if (pa_cvolume_max(&fallback.volume) < audibleVolume) {
            pa_cvolume_scale(&fallback.volume, audibleVolume);
            release(pa_context_set_sink_volume_by_index(context, fallback.index, &fallback.volume,
                                                        nullptr, nullptr));
        }
    }

    // Its answer, if any, goes to the callback given.
    static void release(pa_operation *operation)
    {
        if (operation)
            pa_operation_unref(operation);
    }

    static void onState(pa_context *c, void *self)
    {
        auto *d = static_cast<PulseServer *>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(c, onEvent, d);
            release(pa_context_subscribe(
                c, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
                nullptr, nullptr));
            d->list();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            d->fallback = {};
            d->current = false;
            d->tell(0);
            d->reconnect.start();
            break;
        default:
            break;
        }
    }

    static void onEvent(pa_context *, pa_subscription_event_type_t, uint32_t, void *self)
    {
        static_cast<PulseServer *>(self)->list();
    }

    static void onServer(pa_context *, const pa_server_info *server, void *self)
    {
        static_cast<PulseServer *>(self)->fallbackName
            = server && server->default_sink_name ? server->default_sink_name : "";
    }

    static void onSink(pa_context *, const pa_sink_info *sink, int end, void *self)
    {
        auto *d = static_cast<PulseServer *>(self);
        if (sink && sink->name == d->fallbackName)
            d->counted = {sink->index, sink->mute != 0, sink->volume};
        if (!end) {
            // The sink that the server makes when it has none (PulseAudio's module-always-sink,
            // PipeWire's pulse server: "Dummy Output") plays into nothing: no output.
            d->counting += std::string_view(sink->name) != "auto_null";
            return;
        }
        if (end > 0) {
            d->fallback = d->counted;
            d->current = true;
            d->tell(d->counting);
            if (std::exchange(d->raiseWhenListed, false))
                d->raise();
        }
        d->counting = 0;
        d->counted = {};
    }
};

} // namespace

std::unique_ptr<SoundServer> connectPulseServer(std::function<void(int)> counted)
{
    return std::make_unique<PulseServer>(std::move(counted));
}
