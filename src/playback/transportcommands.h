// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What those beside the window may ask of it: each command runs the window's own handler
// through its dispatcher, as the same click would.
class TransportCommands
{
public:
    virtual ~TransportCommands() = default;

    // Play, Pause, Stop, Next and Back.
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    // Shows the window, in front of the others.
    virtual void bringForward() = 0;
    // Closes the window once the caller has returned; closing the last window ends the program.
    virtual void quit() = 0;
    // The player has an audio output now.
    virtual bool hasAudioOutput() = 0;
};
