// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "watch/toneplayer.h"

#include <QObject>

#include <memory>
#include <optional>

class frmPlayer;

// Sees to it that an alarm is heard. When an alarm has started the playlist and continuous
// play has gone past its last song without any song having played for a second (every file
// missing, empty or no audio), it sounds the tone until Stop or "Stop Song"; and when the
// last audio output goes away while an alarm is set, it says again that alarms will not be
// heard.
class SilenceGuard : public QObject
{
    Q_OBJECT

public:
    // The window must outlive the guard.
    SilenceGuard(frmPlayer &f, std::unique_ptr<TonePlayer> tone, QObject *parent = nullptr);
    ~SilenceGuard() override;

    // The window is closing: the tone ends and the window is read no more.
    void shutdown();

    // The machine's audio outputs have changed.
    void audioOutputsChanged();

private:
    void alarmStartedPlaylist();
    void handlerEnded();

    frmPlayer &m_f;
    std::unique_ptr<TonePlayer> m_tone;
    // While the playlist that an alarm started still plays: the player's count of songs that
    // have played, as it stood when the alarm started it.
    std::optional<int> m_songsPlayedAtAlarm;
    bool m_sounding = false;
    bool m_hadOutput;
    bool m_closed = false;
};
