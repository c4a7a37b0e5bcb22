// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/machine.h"

#include "platform/host/hostmediaplayer.h"
#include "watch/songtone.h"

Machine::Machine() = default;

Platform Machine::windowPlatform()
{
    return {[this] { return std::make_unique<HostMediaPlayer>(m_drives); },
            [this] { return std::make_unique<HostFileSystem>(m_drives); }, &m_clock,
            &m_soundOutput};
}

std::unique_ptr<TonePlayer> Machine::makeTone() const
{
    return std::make_unique<SongTone>(std::make_unique<HostMediaPlayer>(m_drives), m_drives);
}
