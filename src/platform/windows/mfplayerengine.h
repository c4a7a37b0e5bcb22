// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/playerengine.h"

#include <memory>

// Songs played by Windows' own Media Foundation: a media session from the source that the
// source resolver finds for the file to the streaming audio renderer, as Windows' players do.
// Qt Multimedia's Media Foundation backend would be the usual way, but under Wine it plays
// nothing (its topology and file addresses are what Wine cannot take), and only through Wine
// can it be tried on Linux; this one plays under both. The level is set on the song's stream
// (IMFAudioStreamVolume: linear), not on the program's session that the volume mixer shows.
class MfPlayerEngine final : public PlayerEngine
{
public:
    MfPlayerEngine();
    ~MfPlayerEngine() override;
    MfPlayerEngine(const MfPlayerEngine &) = delete;
    MfPlayerEngine &operator=(const MfPlayerEngine &) = delete;

    void load(const QString &hostPath) override;
    void unload() override;
    void setPaused(bool paused) override;
    void setLevel(float level) override;
    float appliedLevel() const override;
    void update() override;
    Status status() const override { return m_status; }
    qint64 positionMs() const override { return m_positionMs; }

    struct Song;

private:
    // The song goes, for good or ill.
    void endSong(Status status);

    std::unique_ptr<Song> m_song;
    Status m_status = Status::Empty;
    float m_level = 1.0f;
    bool m_paused = false;
    qint64 m_positionMs = 0;
    bool m_com = false;
    bool m_started = false;
};
