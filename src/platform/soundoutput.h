// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The machine's default sound output, as an alarm needs it: heard.
class SoundOutput
{
public:
    // The loudness that an alarm brings a quieter output up to: the sound server's own
    // percentage, as its volume controls show it.
    static constexpr double audibleShare = 0.30;

    virtual ~SoundOutput() = default;
    // Unmutes the default output, and raises it to audibleShare where its loudest channel is
    // lower, keeping the balance of its channels; a louder output is left as it is, and
    // nothing is restored afterwards. Returns within a short, bounded time whatever the sound
    // system does (on Linux at once, the change sent to the sound server already, or sent as
    // soon as the server has told what its default output is); without a sound system
    // nothing happens. Never fails.
    virtual void makeAudible() = 0;
};
