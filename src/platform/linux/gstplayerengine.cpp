// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/gstplayerengine.h"

#include "platform/linux/gstreamer.h"

#include <QFile>
#include <QSocketNotifier>

#include <gst/gst.h>

#include <utility>

namespace {

// playbin's flags (GstPlayFlags, which its plugin does not export): the audio only.
constexpr guint playAudio = 0x2;

} // namespace

GstPlayerEngine::GstPlayerEngine()
{
    if (!gstreamer::start())
        return;
    m_playbin = gst_element_factory_make("playbin", nullptr);
    if (!m_playbin) {
        qWarning("GStreamer has no playbin (gstreamer1.0-plugins-base): no song can play");
        return;
    }
    gst_object_ref_sink(m_playbin);
    g_object_set(m_playbin, "flags", playAudio, nullptr);
    // The level is applied to the samples here, before they reach the sound server: playbin's
    // own volume would go to pulsesink, which asks the server to open the song's stream at
    // that volume, and PipeWire's pulse server (0.3.65) sets the new stream back to 100% at
    // once, the song then 6.6 dB louder at startup than on PulseAudio. playbin's volume is
    // never set, so no volume is asked of the stream: either server opens it at the volume
    // that it keeps for the program, 100% unless the user has changed it in a mixer.
    m_volume = gst_element_factory_make("volume", nullptr);
    // PulseAudio's sink, on the server's default output (PipeWire serves it too); GStreamer's
    // own choice where there is none.
    GstElement *sink = gst_element_factory_make("pulsesink", nullptr);
    if (!sink)
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!m_volume || !sink) {
        qWarning("GStreamer has no volume element or no audio sink (gstreamer1.0-plugins-base, "
                 "gstreamer1.0-plugins-good): no song can play");
        for (GstElement *element : {m_volume, sink})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        m_volume = nullptr;
        gst_clear_object(&m_playbin);
        return;
    }
    gst_object_ref_sink(m_volume);
    // The volume element sits in the audio sink, right ahead of the output, so that a new
    // level is heard within the sink's own buffer (pulsesink's 200 ms): as playbin's audio
    // filter it came ahead of the queue that playbin keeps before its sink, a second long,
    // and each change was heard only 1.2 s later.
    GstElement *output = gst_bin_new("output");
    gst_bin_add_many(GST_BIN(output), m_volume, sink, nullptr);
    gst_element_link(m_volume, sink);
    GstPad *input = gst_element_get_static_pad(m_volume, "sink");
    gst_element_add_pad(output, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    g_object_set(m_playbin, "audio-sink", output, nullptr);
    m_bus = gst_element_get_bus(m_playbin);
}

GstPlayerEngine::~GstPlayerEngine()
{
    if (!m_playbin)
        return;
    m_newsNotifier.reset();
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    gst_object_unref(m_bus);
    gst_object_unref(m_volume);
    gst_object_unref(m_playbin);
}

void GstPlayerEngine::setNewsHandler(std::function<void()> news)
{
    m_newsNotifier.reset();
    if (!m_bus || !news)
        return;
    // The bus's descriptor is readable once a message is on it: a handler called as each
    // message is posted runs before the message is queued, so the update it asks for could
    // come first and miss it until the next look, a tenth of a second later.
    GPollFD fd;
    gst_bus_get_pollfd(m_bus, &fd);
    m_newsNotifier = std::make_unique<QSocketNotifier>(fd.fd, QSocketNotifier::Read);
    QObject::connect(m_newsNotifier.get(), &QSocketNotifier::activated, std::move(news));
}

void GstPlayerEngine::stopPipeline(bool wholly)
{
    // READY and NULL stop the streaming threads before they return.
    gst_element_set_state(m_playbin, wholly ? GST_STATE_NULL : GST_STATE_READY);
    gst_bus_set_flushing(m_bus, TRUE);
    gst_bus_set_flushing(m_bus, FALSE);
}

void GstPlayerEngine::load(const QString &hostPath)
{
    if (!m_playbin) {
        m_status = Status::Failed;
        return;
    }
    stopPipeline();
    gchar *uri = gst_filename_to_uri(QFile::encodeName(hostPath).constData(), nullptr);
    g_object_set(m_playbin, "uri", uri, nullptr);
    g_free(uri);
    m_status = Status::Opening;
    m_paused = false;
    m_positionMs = 0;
    if (gst_element_set_state(m_playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        finish(Status::Failed);
}

void GstPlayerEngine::unload()
{
    if (m_playbin)
        stopPipeline();
    m_status = Status::Empty;
    m_positionMs = 0;
}

void GstPlayerEngine::setPaused(bool paused)
{
    m_paused = paused;
    if (m_status != Status::Opening && m_status != Status::Playing && m_status != Status::Paused)
        return;
    if (m_status != Status::Opening)
        m_status = paused ? Status::Paused : Status::Playing;
    gst_element_set_state(m_playbin, paused ? GST_STATE_PAUSED : GST_STATE_PLAYING);
}

void GstPlayerEngine::setLevel(float level)
{
    if (m_playbin)
        g_object_set(m_volume, "volume", gdouble(level), nullptr);
}

float GstPlayerEngine::appliedLevel() const
{
    if (!m_playbin)
        return -1.0f;
    gdouble level = -1;
    g_object_get(m_volume, "volume", &level, nullptr);
    return float(level);
}

void GstPlayerEngine::update()
{
    if (!m_playbin)
        return;
    while (GstMessage *message = gst_bus_pop(m_bus)) {
        take(message);
        gst_message_unref(message);
    }
    gint64 at = 0;
    if ((m_status == Status::Playing || m_status == Status::Paused)
        && gst_element_query_position(m_playbin, GST_FORMAT_TIME, &at) && at >= 0)
        m_positionMs = at / GST_MSECOND;
}

void GstPlayerEngine::take(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        finish(Status::Ended);
        break;
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        qWarning("the song cannot be played: %s", error ? error->message : "no reason given");
        g_clear_error(&error);
        finish(Status::Failed);
        break;
    }
    case GST_MESSAGE_STATE_CHANGED: {
        // Only the pipeline's own state, and only while the song opens: after that the
        // engine's status follows the commands, not the steps of their way.
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(m_playbin) || m_status != Status::Opening)
            break;
        GstState state = GST_STATE_VOID_PENDING;
        gst_message_parse_state_changed(message, nullptr, &state, nullptr);
        if (state == GST_STATE_PLAYING)
            m_status = Status::Playing;
        else if (state == GST_STATE_PAUSED && m_paused)
            m_status = Status::Paused;
        break;
    }
    default:
        break;
    }
}

void GstPlayerEngine::finish(Status status)
{
    m_status = status;
    // A pipeline that failed is taken down wholly: at READY, the next song failed as well.
    stopPipeline(status == Status::Failed);
}
