// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/playerengine.h"

class QAudioOutput;
class QMediaPlayer;

// Songs played by Qt Multimedia (on Linux over GStreamer). Each song gets a Qt player of its
// own: Qt's GStreamer player does not tell one song's end from another's, and the end of the
// song before, still on its way when the next one was loaded, ended that one at once,
// silently. Deleted, the old player takes whatever was on its way for it along, and a song
// loaded again after its end starts afresh. The output is the desktop's default, never a
// device named at the start, so the sound server moves the song when the default changes (a
// headset plugged in or taken away).
class QtEngine final : public PlayerEngine
{
public:
    QtEngine() = default;
    ~QtEngine() override;
    QtEngine(const QtEngine &) = delete;
    QtEngine &operator=(const QtEngine &) = delete;

    void load(const QString &hostPath, qint64 positionMs, bool paused) override;
    void unload() override;
    void setPaused(bool paused) override;
    void setLevel(float level) override;
    float appliedLevel() const override;
    // Qt says what happened through the player's own state, read when asked.
    void update() override { }
    Status status() const override;
    qint64 positionMs() const override;

private:
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    float m_level = 1.0f;
};
