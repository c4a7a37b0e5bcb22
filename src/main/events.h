// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main/frmplayer.h"

#include <memory>

namespace events {
// Makes the window over the platform, connects each event it handles to its handler, and
// runs its load event: the window as it stands before it is first shown.
std::unique_ptr<frmPlayer> loadWindow(Platform platform);
} // namespace events
