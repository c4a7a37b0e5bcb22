// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/toneplayer.h"

#include <QAudioFormat>
#include <QByteArray>

#include <memory>

class QAudioSink;
class QIODevice;

// The alarm tone made here, from no file: two short beeps of 880 Hz in each second, played
// on the default audio output for as long as it sounds.
class SynthesisedTone final : public TonePlayer
{
public:
    SynthesisedTone();
    ~SynthesisedTone() override;

    void start() override;
    void stop() override;

    // One second of the tone in the given format (Int16, Int32, UInt8 or Float samples, any
    // number of channels); it repeats without a seam.
    static QByteArray oneSecond(const QAudioFormat &format);

private:
    std::unique_ptr<QIODevice> m_source;
    std::unique_ptr<QAudioSink> m_sink;
};
