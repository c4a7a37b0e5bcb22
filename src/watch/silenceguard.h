// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/transportstatus.h"
#include "watch/toneplayer.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

class AlarmSetting;
class Notifier;
class TransportCommands;

// Sees to it that an alarm is heard. When an alarm has started the playlist and continuous
// play has gone past its last song without any song having played for a second (every file
// missing, empty or no audio), it sounds the tone until Stop or "Stop Song". And it says when
// alarms will not be heard for want of a sound output: once the outputs are first listed, and
// when no output has been there for lossGraceMs while an alarm is set. It says so on standard
// error and in a notification, never in a box: nothing may stand in front of Stop Song while
// music plays.
class SilenceGuard : public QObject
{
    Q_OBJECT

public:
    // How long no output must have been there before it is said: an output that goes and comes
    // back within that is no loss. PipeWire makes a card's output anew after a resume within
    // half a second, once or twice, and a USB or Bluetooth output that reconnects takes a few
    // seconds; 5 s passes over those, and still says it within moments of a real loss.
    static constexpr int lossGraceMs = 5000;

    // The window's objects and the notifier must outlive the guard.
    SilenceGuard(const AlarmSetting &alarm, const TransportStatus &transport,
                 TransportCommands &commands, std::unique_ptr<TonePlayer> tone, Notifier &notifier,
                 QObject *parent = nullptr);
    ~SilenceGuard() override;

    // The window is closing: the tone ends and the window is asked nothing more.
    void shutdown();

    // The machine's audio outputs have been listed for the first time: none is said at once,
    // whether an alarm is set or not.
    void audioOutputsListed();
    // The machine's audio outputs have changed.
    void audioOutputsChanged();

private:
    void alarmStartedPlaylist();
    void transportChanged(playback::Transport transport);
    // Whether an output is there and an alarm is set: the loss is timed from the moment
    // neither holds, until one does again.
    void watchForLoss();
    void sayNoOutput();

    const AlarmSetting &m_alarm;
    const TransportStatus &m_transport;
    TransportCommands &m_commands;
    std::unique_ptr<TonePlayer> m_tone;
    Notifier &m_notifier;
    // While the playlist that an alarm started still plays: the player's count of songs that
    // have played, as it stood when the alarm started it.
    std::optional<int> m_songsPlayedAtAlarm;
    bool m_sounding = false;
    // Runs from the moment no output is there while an alarm is set; named outputLossTimer.
    QTimer m_lossTimer;
    // Said since the last output went, or since startup: said once for each loss.
    bool m_noOutputSaid = false;
    bool m_closed = false;
};
