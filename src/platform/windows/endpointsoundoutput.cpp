// SPDX-License-Identifier: GPL-3.0-or-later
// The default output through Windows' Core Audio: the endpoint volume of the default render
// device of the console role, the device that Windows' own volume control shows.
#include "platform/host/hostsoundoutput.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <chrono>
#include <future>
#include <thread>

using Microsoft::WRL::ComPtr;

namespace {

// Long enough for an audio service that answers at all (a few milliseconds here), short
// enough not to hold up the alarm's first song noticeably.
constexpr std::chrono::milliseconds waitLimit {500};

// Makes the change on the calling thread; returns once it is made or has failed.
void raiseDefaultOutput()
{
    // A thread of its own, never the window's: it may join the process's free-threaded
    // apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ComPtr<IMMDeviceEnumerator> devices;
        ComPtr<IMMDevice> output;
        ComPtr<IAudioEndpointVolume> volume;
        BOOL muted = FALSE;
        float level = 0;
        // No device (no sound card, the audio service stopped) leaves nothing to change.
        if (SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                       IID_PPV_ARGS(&devices)))
            && SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &output))
            && SUCCEEDED(output->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                          reinterpret_cast<void **>(volume.GetAddressOf())))) {
            if (SUCCEEDED(volume->GetMute(&muted)) && muted)
                volume->SetMute(FALSE, nullptr);
            // The master level scales every channel alike, so their balance stays.
            if (SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level))
                && level < SoundOutput::audibleShare)
                volume->SetMasterVolumeLevelScalar(float(SoundOutput::audibleShare), nullptr);
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

// The change under way, if any: a service that has not answered the last one is not asked
// again, which would leave a thread behind for every alarm.
std::future<void> request;

} // namespace

void HostSoundOutput::makeAudible()
{
    if (!request.valid()
        || request.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        std::promise<void> done;
        request = done.get_future();
        // Detached: a thread stuck in the audio service must hold up neither the window nor
        // the program's end.
        std::thread([done = std::move(done)]() mutable {
            raiseDefaultOutput();
            done.set_value();
        }).detach();
    }
    request.wait_for(waitLimit);
}
