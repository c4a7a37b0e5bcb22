// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/notifier.h"

class BusLink;

// The desktop's notifications (org.freedesktop.Notifications on the session bus, which GNOME,
// KDE and the other desktops serve): each sent once the link has connected, its reply never
// awaited; nothing without a session bus or a service that shows them.
class DesktopNotifier final : public Notifier
{
public:
    // The link must outlive what is sent through it, not the notifier.
    explicit DesktopNotifier(BusLink &session) : m_session(session) { }

    void notify(const QString &summary, const QString &body) override;

private:
    BusLink &m_session;
};
