// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/desktopnotifier.h"

#include "platform/linux/buslink.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    BusLink &session = m_session;
    const auto send = [&session, summary, body] {
        if (!session.isConnected())
            return;
        QDBusMessage notify = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        // The program's name, no notification replaced, its icon, the text, no actions, no
        // hints, and the server's own time on screen.
        notify << QStringLiteral("Wakewell") << 0u << QStringLiteral(WAKEWELL_APP_ID) << summary
               << body << QStringList() << QVariantMap() << -1;
        session.connection().asyncCall(notify);
    };
    // Said at startup, the link may still be connecting.
    if (session.isReady())
        send();
    else
        QObject::connect(&session, &BusLink::ready, &session, send, Qt::SingleShotConnection);
}
