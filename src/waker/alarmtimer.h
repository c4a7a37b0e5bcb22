// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

// One kernel alarm timer (CLOCK_REALTIME_ALARM) at an absolute wall-clock time: it fires at
// that time whether the machine is awake or asleep, and the kernel programs the RTC at suspend
// so that it wakes for it. Creating one needs CAP_WAKE_ALARM.
class AlarmTimer final : public QObject
{
    Q_OBJECT
public:
    // Arms a timer at `deadlineUs`, in microseconds since the Unix epoch (UTC). When the
    // kernel refuses, returns null and puts its reason (strerror) into `error`.
    static std::unique_ptr<AlarmTimer> arm(quint64 deadlineUs, QString *error);
    ~AlarmTimer() override;

Q_SIGNALS:
    // Once, when the deadline is reached.
    void fired();

private:
    explicit AlarmTimer(int fd);
    void readExpiry();

    int m_fd;
    QSocketNotifier m_notifier;
};
