#pragma once

#include "fakes/fakeclock.h"
#include "fakes/fakefilesystem.h"
#include "fakes/fakemediaplayer.h"
#include "main/frmplayer.h"

#include <QTest>

#include <memory>

// A real window over fakes. A test class calls start() from its init() and stop() from its
// cleanup(); between them the window is shown and every control can be found by name.
class WindowTest
{
public:
    // Makes a new shown window over m_fs, a new fake player and m_clock.
    void start();
    void stop();

    template<typename T>
    T *child(const char *name) const
    {
        T *w = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    // The player the window holds now; fails the test when it has none.
    FakeMediaPlayer &player() const;
    // The text of the message box open now, or empty.
    QString messageText() const;
    void closeMessage();

    // The drives and folders the window sees; a test may change them at any time.
    FakeFileSystem m_fs;
    PlayerRecord m_record;
    FakeClock m_clock;
    std::unique_ptr<frmPlayer> m_window;
    // Set before start() to change what the player reports when it is made.
    int m_initialVolume = -600;
};
