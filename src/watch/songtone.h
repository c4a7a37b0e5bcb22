// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/mediaplayer.h"
#include "watch/toneplayer.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

// The alarm tone played as a song by a media player of its own: its samples written once into
// a WAV file of some seconds, which the player repeats. So the tone takes the way that
// the songs take to the sound output, on Linux as on Windows (where Qt 6.4's audio sink cannot
// open Wine's sound output, on which the Windows build is tried), and needs nothing more.
class SongTone final : public TonePlayer
{
public:
    // The drive-form path of a host path, as the player takes it; none where it has none.
    using DrivePath = std::function<std::optional<QString>(const QString &hostPath)>;

    SongTone(std::unique_ptr<MediaPlayer> player, DrivePath drivePath, int seconds = 30);
    ~SongTone() override;

    void start() override;
    void stop() override;

private:
    bool writeFile();

    std::unique_ptr<MediaPlayer> m_player;
    DrivePath m_drivePath;
    int m_seconds;
    // Holds the file, once written, while the tone lives.
    std::optional<QTemporaryDir> m_folder;
    QString m_song; // the file in drive form, once written
};
