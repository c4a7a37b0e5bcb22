// SPDX-License-Identifier: GPL-3.0-or-later
// The default output through Windows' Core Audio: the endpoint volume of the default render
// device of the console role, the device that Windows' own volume control shows.
#include "platform/hostsoundoutput.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

void HostSoundOutput::raiseDefaultOutput()
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
            if (SUCCEEDED(volume->GetMasterVolumeLevelScalar(&level)) && level < audibleShare)
                volume->SetMasterVolumeLevelScalar(float(audibleShare), nullptr);
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}
