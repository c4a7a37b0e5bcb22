// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/fakemediaplayer.h"
#include "platform/soundoutput.h"

// Records each request among the player's calls, so that a test sees which came first.
class FakeSoundOutput final : public SoundOutput
{
public:
    explicit FakeSoundOutput(PlayerRecord &record) : m_record(record) { }
    void makeAudible() override { m_record.calls << QStringLiteral("Make audible"); }

private:
    PlayerRecord &m_record;
};
