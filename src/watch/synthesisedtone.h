// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The alarm tone made here, from no file: two short beeps of 880 Hz in each second.
namespace synthesisedtone {

// One second of the tone at the given rate, as 16-bit signed samples of one channel in the
// machine's byte order; it repeats without a seam.
QByteArray oneSecond(int sampleRate);

} // namespace synthesisedtone
