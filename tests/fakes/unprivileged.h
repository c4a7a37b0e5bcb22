// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <unistd.h>

// Root reads any folder whatever its permission bits. While this lives the process runs as
// nobody, or as the user id given, real and effective id both (Qt's own checks ask access(),
// which reads the real one), so that a folder without read permission really refuses, and a
// bus connection made meanwhile is that user's; the saved id is the way back. The folders the
// test reads must then be open to others.
class Unprivileged
{
public:
    explicit Unprivileged(uid_t uid = 65534)
    {
        if (geteuid() == 0)
            m_dropped = setresuid(uid, uid, 0) == 0;
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
