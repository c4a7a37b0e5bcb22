// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/mprismediakeys.h"

#include "platform/linux/buslink.h"
#include "platform/linux/mprisadaptors.h"
#include "platform/mediaplayer.h"
#include "playback/transportcommands.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

namespace {
const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");

QDBusMessage busCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(busService, busPath, busService, method);
    call.setArguments(arguments);
    return call;
}
} // namespace

MprisMediaKeys::MprisMediaKeys(const TransportStatus &transport, TransportCommands &commands,
                               BusLink &session, DriveTable drives, QString desktopEntry,
                               QObject *parent)
    : QObject(parent), m_transport(transport), m_commands(commands), m_session(session),
      m_drives(std::move(drives)), m_desktopEntry(std::move(desktopEntry))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    connect(&transport, &TransportStatus::stateChanged, this, &MprisMediaKeys::announce);
    connect(&transport, &TransportStatus::songChanged, this, &MprisMediaKeys::announce);
    connect(&transport, &TransportStatus::closing, this, &MprisMediaKeys::shutdown);
    if (m_session.isReady())
        registerOnBus();
    else
        connect(&m_session, &BusLink::ready, this, &MprisMediaKeys::registerOnBus);
}

MprisMediaKeys::~MprisMediaKeys()
{
    shutdown();
}

void MprisMediaKeys::registerOnBus()
{
    if (m_closed || !m_session.isConnected())
        return;
    QDBusConnection bus = m_session.connection();
    if (!bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportAdaptors))
        return;
    m_announced = announcedProperties();
    requestName(QString::fromLatin1(serviceName));
}

void MprisMediaKeys::requestName(const QString &name)
{
    constexpr uint doNotQueue = 4;
    constexpr uint alreadyTaken = 3;
    auto *watcher
        = new QDBusPendingCallWatcher(m_session.connection().asyncCall(busCall(
                                          QStringLiteral("RequestName"), {name, doNotQueue})),
                                      this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, name] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (m_closed || reply.isError())
            return;
        // A second Wakewell takes a name of its own, as MPRIS provides for.
        if (reply.value() != alreadyTaken)
            m_ownedName = name;
        else if (name == QString::fromLatin1(serviceName))
            requestName(name + QStringLiteral(".instance")
                        + QString::number(QCoreApplication::applicationPid()));
    });
}

void MprisMediaKeys::shutdown()
{
    if (m_closed)
        return;
    m_closed = true;
    if (!m_session.isConnected())
        return;
    QDBusConnection bus = m_session.connection();
    bus.unregisterObject(QString::fromLatin1(objectPath));
    // The name would go with the connection; released now, so that the desktop drops the
    // player as the window closes.
    if (!m_ownedName.isEmpty())
        bus.asyncCall(busCall(QStringLiteral("ReleaseName"), {m_ownedName}));
}

MprisMediaKeys::Status MprisMediaKeys::status() const
{
    switch (m_transport.state()) {
    case playback::Transport::Playing:
        return Status::Playing;
    case playback::Transport::Paused:
        return Status::Paused;
    case playback::Transport::Idle:
    case playback::Transport::Ended:
        break;
    }
    return Status::Stopped;
}

QVariantMap MprisMediaKeys::metadata() const
{
    const CurrentSong &song = m_transport.song();
    if (song.title.isEmpty())
        return {};
    QVariantMap data {
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(
             QDBusObjectPath(QStringLiteral("/org/wakewell/Wakewell/Track/%1").arg(song.number)))},
        {QStringLiteral("xesam:title"), song.title},
    };
    // The entry at the song's number is the song named only while the playlist holds it there.
    const auto host = m_drives.toHost(song.entry);
    if (host && drivepath::fileName(song.entry) == song.title)
        data.insert(QStringLiteral("xesam:url"),
                    QUrl::fromLocalFile(*host).toString(QUrl::FullyEncoded));
    return data;
}

double MprisMediaKeys::volume() const
{
    return MediaPlayer::linearVolume(m_transport.volume());
}

bool MprisMediaKeys::canGoNext() const
{
    return m_transport.song().hasNext;
}

bool MprisMediaKeys::canGoPrevious() const
{
    return m_transport.song().hasPrevious;
}

bool MprisMediaKeys::canPlay() const
{
    return !m_transport.song().playlistEmpty || status() == Status::Paused;
}

bool MprisMediaKeys::canPause() const
{
    return status() != Status::Stopped;
}

void MprisMediaKeys::play()
{
    if (status() != Status::Playing)
        m_commands.play();
}

void MprisMediaKeys::pause()
{
    if (status() == Status::Playing)
        m_commands.pause();
}

void MprisMediaKeys::playPause()
{
    // Pause resumes a paused song where it stopped; Play would start the playlist afresh.
    if (status() == Status::Stopped)
        m_commands.play();
    else
        m_commands.pause();
}

void MprisMediaKeys::stop()
{
    // Idle, Stop would change nothing but the caption. At the end of the playlist it is not
    // idle: Stop there unlocks the playlist buttons.
    if (m_transport.state() != playback::Transport::Idle)
        m_commands.stop();
}

void MprisMediaKeys::next()
{
    if (canGoNext())
        m_commands.next();
}

void MprisMediaKeys::previous()
{
    if (canGoPrevious())
        m_commands.previous();
}

void MprisMediaKeys::raise()
{
    m_commands.bringForward();
}

void MprisMediaKeys::quit()
{
    m_commands.quit();
}

QVariantMap MprisMediaKeys::announcedProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), MprisPlayerAdaptor::statusText(status())},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPause()},
    };
}

void MprisMediaKeys::announce()
{
    if (m_closed || !m_session.isConnected())
        return;
    const QVariantMap now = announcedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    m_announced = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(objectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    m_session.connection().send(signal);
}
