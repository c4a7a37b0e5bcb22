// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Tells the user something that needs no answer, the way the desktop shows such news: it never
// covers the window, takes the focus or waits for a click. Where the desktop shows none,
// nothing is shown. Never waits.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // A line that says what happened, and a sentence or two that say more.
    virtual void notify(const QString &summary, const QString &body) = 0;
};
