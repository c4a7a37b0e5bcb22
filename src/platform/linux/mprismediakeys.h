// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/host/hostfilesystem.h"
#include "playback/transportstatus.h"

#include <QObject>
#include <QVariantMap>

class BusLink;
class TransportCommands;

// The MPRIS 2 service (org.mpris.MediaPlayer2.wakewell) through which the media keys and the
// desktop's media panel reach the transport controls. Every method runs the window's own
// handler through its dispatcher, so the window's state after a call is its state after the
// same click; the properties are what the window tells of its transport, and their changes
// are announced as it tells them. Without a session bus the service simply does not register.
class MprisMediaKeys : public QObject
{
    Q_OBJECT

public:
    enum class Status { Stopped, Playing, Paused };

    static constexpr const char *objectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *serviceName = "org.mpris.MediaPlayer2.wakewell";

    // The window's objects and the link must outlive the service. drives maps the playlist's
    // paths to the host's for xesam:url; desktopEntry is the desktop file's name without
    // ".desktop".
    MprisMediaKeys(const TransportStatus &transport, TransportCommands &commands, BusLink &session,
                   DriveTable drives, QString desktopEntry, QObject *parent = nullptr);
    ~MprisMediaKeys() override;

    // The window is closing: the service leaves the bus.
    void shutdown();

    // org.mpris.MediaPlayer2
    QString desktopEntry() const { return m_desktopEntry; }
    void raise();
    void quit();

    // org.mpris.MediaPlayer2.Player
    Status status() const;
    QVariantMap metadata() const;
    double volume() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const;
    bool canPause() const;
    void play();
    void pause();
    void playPause();
    void stop();
    void next();
    void previous();

private:
    void registerOnBus();
    void requestName(const QString &name);
    // Reads the announced properties and sends PropertiesChanged for those that changed.
    void announce();
    QVariantMap announcedProperties() const;

    const TransportStatus &m_transport;
    TransportCommands &m_commands;
    BusLink &m_session;
    DriveTable m_drives;
    QString m_desktopEntry;
    QString m_ownedName;
    bool m_closed = false;
    QVariantMap m_announced;
};
