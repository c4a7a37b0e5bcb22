// SPDX-License-Identifier: GPL-3.0-or-later
// The default output through libpulse: the sound server's default sink, by the name that
// PulseAudio and PipeWire's pulse server both give it.
#include "platform/hostsoundoutput.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/rtclock.h>
#include <pulse/volume.h>

#include <cmath>

namespace {

// A server that has not answered by then is left alone.
constexpr std::chrono::microseconds giveUpAfter = std::chrono::seconds(5);

// One request on a main loop of its own, run on the calling thread until it is done.
struct Request
{
    pa_mainloop *loop;
    // The changes sent and not yet answered.
    int pending = 0;
};

const pa_volume_t audibleVolume
    = pa_volume_t(std::lround(SoundOutput::audibleShare * PA_VOLUME_NORM));

void finish(Request &r)
{
    pa_mainloop_quit(r.loop, 0);
}

void changeAnswered(pa_context *, int, void *data)
{
    auto &r = *static_cast<Request *>(data);
    if (--r.pending == 0)
        finish(r);
}

void send(Request &r, pa_operation *change)
{
    if (!change)
        return;
    ++r.pending;
    pa_operation_unref(change);
}

// Called with the default sink, then once more without one to end the list; only that last
// call comes when the server has no default sink.
void sinkRead(pa_context *c, const pa_sink_info *sink, int, void *data)
{
    auto &r = *static_cast<Request *>(data);
    if (sink) {
        if (sink->mute)
            send(r, pa_context_set_sink_mute_by_index(c, sink->index, 0, changeAnswered, &r));
        if (pa_cvolume_max(&sink->volume) < audibleVolume) {
            // The loudest channel at the audible volume, the others in proportion.
            pa_cvolume volume = sink->volume;
            pa_cvolume_scale(&volume, audibleVolume);
            send(r,
                 pa_context_set_sink_volume_by_index(c, sink->index, &volume, changeAnswered, &r));
        }
    } else if (r.pending == 0) {
        finish(r);
    }
}

void stateChanged(pa_context *c, void *data)
{
    auto &r = *static_cast<Request *>(data);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
        if (pa_operation *read
            = pa_context_get_sink_info_by_name(c, "@DEFAULT_SINK@", sinkRead, &r))
            pa_operation_unref(read);
        else
            finish(r);
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        finish(r);
        break;
    default:
        break;
    }
}

void timedOut(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *data)
{
    finish(*static_cast<Request *>(data));
}

} // namespace

void HostSoundOutput::raiseDefaultOutput()
{
    pa_mainloop *loop = pa_mainloop_new();
    Request r {loop};
    pa_mainloop_api *api = pa_mainloop_get_api(loop);
    pa_context *c = pa_context_new(api, "Wakewell");
    pa_context_set_state_callback(c, stateChanged, &r);
    pa_time_event *deadline
        = pa_context_rttime_new(c, pa_rtclock_now() + pa_usec_t(giveUpAfter.count()), timedOut, &r);
    // Without a sound server none is started: an alarm clock has no business starting one.
    if (pa_context_connect(c, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0)
        pa_mainloop_run(loop, nullptr);
    api->time_free(deadline);
    pa_context_disconnect(c);
    pa_context_unref(c);
    pa_mainloop_free(loop);
}
