// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus daemon of the test's own, for as long as the object lives. By default it lets
// anything through and activates no services, so no real portal or player can start on it
// and answer in a fake's place.
class PrivateBus
{
public:
    // Starts the daemon and waits for its address; fails the test when it cannot.
    PrivateBus();
    // A bus of the given type ("session", "system") with the configuration elements given
    // (policies, includes, service folders) in place of letting anything through.
    PrivateBus(const QString &type, const QString &policy);
    ~PrivateBus();

    QString address() const { return m_address; }
    // A connection of the test's own, by a name of its own.
    QDBusConnection connect(const QString &name) const;
    // What the daemon and the services that it started have written to standard error since
    // the last call.
    QByteArray errors();
    // The daemon stops answering until resume(), as a hung bus does.
    void pause();
    void resume();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
