// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/mprismediakeys.h"

#include "main/frmplayer.h"
#include "platform/linux/buslink.h"
#include "platform/linux/mprisadaptors.h"
#include "playback/playback.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QUrl>

#include <algorithm>

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

MprisMediaKeys::MprisMediaKeys(frmPlayer &f, BusLink &session, DriveTable drives,
                               QString desktopEntry, QObject *parent)
    : QObject(parent), m_f(f), m_session(session), m_drives(std::move(drives)),
      m_desktopEntry(std::move(desktopEntry))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    // Announced once the handler, and every handler nested in it, has ended.
    connect(&m_f, &frmPlayer::handlerEnded, this, [this] {
        if (m_announcePending)
            return;
        m_announcePending = true;
        QTimer::singleShot(0, this, &MprisMediaKeys::announce);
    });
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
    switch (playback::transportState(m_f)) {
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
    const QString title = m_f.txtSong->text();
    if (title.isEmpty())
        return {};
    // The song that txtSong names: in the Ended state intSong stands one past the last.
    const int count = m_f.colPlaylist().Count();
    const int position = std::min<int>(m_f.intSong, count);
    QVariantMap data {
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(QDBusObjectPath(
             QStringLiteral("/org/wakewell/Wakewell/Track/%1").arg(std::max(position, 0))))},
        {QStringLiteral("xesam:title"), title},
    };
    if (position >= 1) {
        const QString &entry = m_f.colPlaylist().Item(position);
        const auto host = m_drives.toHost(entry);
        if (host && drivepath::fileName(entry) == title)
            data.insert(QStringLiteral("xesam:url"),
                        QUrl::fromLocalFile(*host).toString(QUrl::FullyEncoded));
    }
    return data;
}

double MprisMediaKeys::volume() const
{
    return MediaPlayer::linearVolume(m_f.mpPlayer().Volume());
}

bool MprisMediaKeys::canGoNext() const
{
    return m_f.intSong < m_f.colPlaylist().Count();
}

bool MprisMediaKeys::canGoPrevious() const
{
    return m_f.colPlaylist().Count() > 0 && m_f.intSong > 1;
}

bool MprisMediaKeys::canPlay() const
{
    return m_f.colPlaylist().Count() > 0 || status() == Status::Paused;
}

bool MprisMediaKeys::canPause() const
{
    return status() != Status::Stopped;
}

void MprisMediaKeys::runHandler(void (*handler)(frmPlayer &))
{
    if (!m_closed)
        m_f.run([this, handler] { handler(m_f); });
}

void MprisMediaKeys::play()
{
    if (status() != Status::Playing)
        runHandler(playback::cmdPlayClicked);
}

void MprisMediaKeys::pause()
{
    if (status() == Status::Playing)
        runHandler(playback::cmdPauseClicked);
}

void MprisMediaKeys::playPause()
{
    // Pause resumes a paused song where it stopped; Play would start the playlist afresh.
    runHandler(status() == Status::Stopped ? playback::cmdPlayClicked : playback::cmdPauseClicked);
}

void MprisMediaKeys::stop()
{
    // Idle, Stop would change nothing but the caption. At the end of the playlist it is not
    // idle: Stop there unlocks the playlist buttons.
    if (playback::transportState(m_f) != playback::Transport::Idle)
        runHandler(playback::cmdStopClicked);
}

void MprisMediaKeys::next()
{
    if (canGoNext())
        runHandler(playback::cmdNextClicked);
}

void MprisMediaKeys::previous()
{
    if (canGoPrevious())
        runHandler(playback::cmdBackClicked);
}

void MprisMediaKeys::raise()
{
    if (m_closed)
        return;
    m_f.setWindowState(m_f.windowState() & ~Qt::WindowMinimized);
    m_f.show();
    m_f.raise();
    m_f.activateWindow();
}

void MprisMediaKeys::quit()
{
    // After the reply has gone: closing the last window ends the program.
    if (!m_closed)
        QTimer::singleShot(0, &m_f, &QWidget::close);
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
    m_announcePending = false;
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
