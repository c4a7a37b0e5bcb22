// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>

// Root reads any folder whatever its permission bits. While this lives the process runs as
// nobody, real and effective id both (Qt's own checks ask access(), which reads the real one),
// so that a folder without read permission really refuses; the saved id is the way back. The
// folders the test reads must then be open to others.
class Unprivileged
{
public:
    Unprivileged()
    {
        if (geteuid() == 0)
            m_dropped = setresuid(65534, 65534, 0) == 0;
    }
    ~Unprivileged()
    {
        if (m_dropped && setresuid(0, 0, 0) != 0)
            qFatal("could not return to root");
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

    bool refusesUnreadable() const { return m_dropped || geteuid() != 0; }

private:
    bool m_dropped = false;
};
#endif
