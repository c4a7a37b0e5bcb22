// SPDX-License-Identifier: GPL-3.0-or-later
// The sound module's entry: GStreamer and libpulse behind SoundModule.
#include "platform/linux/gstplayerengine.h"
#include "platform/linux/gstreamer.h"
#include "platform/linux/pulseserver.h"

#include <QtGlobal>

namespace {

class SoundLibraries final : public SoundModule
{
public:
    void loadPlugins() override { gstreamer::loadPlugins(); }
    std::unique_ptr<PlayerEngine> createEngine() override
    {
        return std::make_unique<GstPlayerEngine>();
    }
    std::unique_ptr<SoundServer> connectServer(std::function<void(int)> counted) override
    {
        return connectPulseServer(std::move(counted));
    }
};

} // namespace

extern "C" Q_DECL_EXPORT SoundModule *wakewell_sound_module()
{
    static SoundLibraries libraries;
    return &libraries;
}
