// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/playback.h"

#include "main/frmplayer.h"
#include "platform/error.h"

#include <cmath>
#include <limits>

void playback::slVolumeChanged(frmPlayer &f)
{
    const qint32 p = f.slVolume->value();
    const qint32 d = 300 - p; // the slider's range 0..300 keeps this far from overflow
    const double x = (d / 100.0 + 1.0) * f.intVolume;
    // Halves go to the even integer: the default rounding mode of std::nearbyint.
    const double v = std::nearbyint(x);
    if (!(v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max()))
        throw WakewellError(errors::overflow);
    f.mpPlayer().SetVolume(static_cast<qint32>(v));
}
