// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Sounds the program's own alarm tone, from start() until stop(); both are harmless when
// repeated. Tests give a fake that only records.
class TonePlayer
{
public:
    virtual ~TonePlayer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};
