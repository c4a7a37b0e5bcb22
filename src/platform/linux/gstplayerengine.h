// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/playerengine.h"

#include <functional>
#include <memory>

class QSocketNotifier;

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

// Songs played by GStreamer's playbin, audio only, one for the engine's life and reused for
// every song. Each load first takes the pipeline down to READY, which returns only once its
// streaming threads have stopped, and then drops whatever the bus still holds: every message
// read after that belongs to the song just loaded, so the end or the error of one song can
// never end or fail the next. The level is a volume element's, in the pipeline right ahead of
// the output, so that the sound server plays the song at the level given whichever server it
// is, and a change is heard at once. The output is
// the sound server's default, no device named, so the server moves the song when the default
// changes (a headset plugged in or taken away).
class GstPlayerEngine final : public PlayerEngine
{
public:
    GstPlayerEngine();
    ~GstPlayerEngine() override;
    GstPlayerEngine(const GstPlayerEngine &) = delete;
    GstPlayerEngine &operator=(const GstPlayerEngine &) = delete;

    void load(const QString &hostPath) override;
    void unload() override;
    void setPaused(bool paused) override;
    void setLevel(float level) override;
    float appliedLevel() const override;
    void setNewsHandler(std::function<void()> news) override;
    void update() override;
    Status status() const override { return m_status; }
    qint64 positionMs() const override { return m_positionMs; }

private:
    // Stops what plays and forgets every message it left: at READY, which keeps the way to
    // the sound server open for the next song, or wholly, at NULL.
    void stopPipeline(bool wholly = false);
    void take(GstMessage *message);
    // The song has ended or failed: its stream on the sound server goes.
    void finish(Status status);

    GstElement *m_playbin = nullptr;
    // Applies the level, in playbin's audio sink ahead of the output; set whenever
    // m_playbin is.
    GstElement *m_volume = nullptr;
    GstBus *m_bus = nullptr;
    // Tells the news as the bus receives it; lives in the engine's thread.
    std::unique_ptr<QSocketNotifier> m_newsNotifier;
    Status m_status = Status::Empty;
    bool m_paused = false;
    qint64 m_positionMs = 0;
};
