// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "watch/toneplayer.h"

// What the tone was asked, kept by the test: the guard owns the tone.
struct ToneRecord
{
    bool sounding = false;
    int starts = 0;
};

class FakeTone final : public TonePlayer
{
public:
    explicit FakeTone(ToneRecord &record) : m_record(record) { }
    void start() override
    {
        m_record.sounding = true;
        ++m_record.starts;
    }
    void stop() override { m_record.sounding = false; }

private:
    ToneRecord &m_record;
};
