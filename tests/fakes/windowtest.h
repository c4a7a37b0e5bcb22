// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/fakeclock.h"
#include "fakes/fakefilesystem.h"
#include "fakes/fakemediaplayer.h"
#include "fakes/fakesoundoutput.h"
#include "main/events.h"
#include "platform/host/hostfilesystem.h"

#include <QTest>

#include <memory>
#include <optional>

// A real window over fakes. A test class calls start() from its init() and stop() from its
// cleanup(); between them the window is shown and every control can be found by name.
class WindowTest
{
public:
    // Makes a new shown window over m_fs, a new fake player and m_clock.
    void start();
    void stop();
    // start(), with Timer2 held once its first tick is checked to be armed: from then on the
    // clock ticks only when the test calls tick().
    void startHeld();

    // The timer's timeout, as if it had run out: the window's handler of it runs.
    static void timeout(QTimer *timer);
    // One tick of Timer2 at the fake clock's time, as its timeout runs it. Checks that the
    // tick armed Timer2 again for the next whole second, then holds it.
    void tick();
    // Both clocks go on by ms, then a tick.
    void tickAfter(qint64 ms);
    // n ticks, one second apart.
    void ticks(int n);
    // The machine runs on to the next time the wall clock reads time (today or tomorrow),
    // then a tick.
    void tickAt(QTime time);

    template<typename T> T *child(const char *name) const
    {
        T *w = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    // A drive picked from the drop-down list of cmbDrives.
    void chooseDrive(const QString &drive);
    // A mouse click on the entry of lstFiles with this text, with Ctrl or Shift if given.
    void clickEntry(QListWidget *list, const QString &text, Qt::KeyboardModifiers keys = {});
    // Picks the folder's drive and clicks down the folder's path (C:\Music\Rock, or C:).
    void openFolder(const QString &folder);
    // Builds on the playlist as a user would: opens the folder, selects the files by name
    // (Ctrl-click after the first) and clicks Add.
    void addToPlaylist(const QString &folder, const QStringList &names);
    // Every entry of the playlist; the rows of lstFiles and of lstSelected.
    QStringList playlistEntries() const;
    QStringList listed() const;
    QStringList playlistRows() const;
    // True when colPlaylist holds exactly these full paths and lstSelected their file names,
    // in the same order; logs the first difference otherwise.
    bool playlistIs(const QStringList &paths) const;

    // The player the window holds now; fails the test when it has none.
    FakeMediaPlayer &player() const;
    // The text of the message box open now, or empty.
    QString messageText() const;
    void closeMessage();

    // The drives and folders the window sees; a test may change them at any time.
    FakeFileSystem m_fs;
    PlayerRecord m_record;
    // Its requests go among the player's calls.
    FakeSoundOutput m_soundOutput {m_record};
    FakeClock m_clock;
    std::unique_ptr<frmPlayer> m_window;
    // Set before start() to change what the player reports when it is made.
    int m_initialVolume = -600;
    bool m_audioOutput = true;
    // Set before start() to have the window read these host folders through the real
    // adapter instead of m_fs.
    std::optional<DriveTable> m_hostDrives;
};
