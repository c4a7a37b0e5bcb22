// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audiooutputs.h"

#include <QAudioDevice>
#include <QMediaDevices>

struct AudioOutputs::Private
{
    QMediaDevices devices;
};

AudioOutputs::AudioOutputs() : d(new Private)
{
    connect(&d->devices, &QMediaDevices::audioOutputsChanged, this, &AudioOutputs::changed);
}

AudioOutputs::~AudioOutputs() = default;

bool AudioOutputs::any() const
{
    return !QMediaDevices::audioOutputs().isEmpty();
}
