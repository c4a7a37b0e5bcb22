// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarmtimer.h"

#include <cerrno>
#include <cstring>

#include <sys/timerfd.h>
#include <unistd.h>

std::unique_ptr<AlarmTimer> AlarmTimer::arm(quint64 deadlineUs, QString *error)
{
    itimerspec when {};
    when.it_value.tv_sec = time_t(deadlineUs / 1000000);
    when.it_value.tv_nsec = long(deadlineUs % 1000000 * 1000);
    const int fd = ::timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd >= 0 && ::timerfd_settime(fd, TFD_TIMER_ABSTIME, &when, nullptr) == 0)
        return std::unique_ptr<AlarmTimer>(new AlarmTimer(fd));
    const int reason = errno;
    if (fd >= 0)
        ::close(fd);
    *error = QString::fromLocal8Bit(std::strerror(reason));
    return nullptr;
}

AlarmTimer::AlarmTimer(int fd) : m_fd(fd), m_notifier(fd, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &AlarmTimer::readExpiry);
}

AlarmTimer::~AlarmTimer()
{
    ::close(m_fd);
}

void AlarmTimer::readExpiry()
{
    // A timer without an interval expires once; reading the count clears the readiness.
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations) {
        m_notifier.setEnabled(false);
        emit fired();
    }
}
