// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"
#include "platform/windows/executionstatekeepawake.h"
#include "platform/windows/waitablewaketimer.h"

#include <QIcon>
#include <QSystemTrayIcon>

// Windows shows a program's notifications beside its icon in the taskbar's notification area
// (a balloon; a toast on Windows 10 and 11), away from its window, and waits for no click. The
// icon is there from the first notification on, and tells the last one as its tip.
class TrayNotifier final : public Notifier
{
public:
    void notify(const QString &summary, const QString &body) override;

private:
    QSystemTrayIcon m_icon {QIcon(QStringLiteral(":/icons/wakewell.ico"))};
};

// Wakewell on Windows, beside the window: the execution state of the window's thread as the
// way to keep the computer awake, a waitable timer to wake it, and a balloon of a tray icon to
// tell what needs no answer. Windows tells no program of
// a sleep in time to hold it back, so nothing else is held; the timer's wake is never
// confirmed, so the execution state is held for as long as an alarm is set.
class WindowsDesktop : public Desktop
{
    Q_OBJECT

public:
    using Desktop::Desktop;

    MachinePower power() override;
    // Media Foundation starts with the first song.
    void prepareToPlay() override { }
    Notifier &notifier() override { return m_notifier; }

private:
    struct NoHold final : KeepAwake
    {
        void setHeld(bool) override { }
    };

    ExecutionStateKeepAwake m_withoutWake;
    NoHold m_whileSet;
    ExecutionStateKeepAwake m_whileDue;
    WaitableWakeTimer m_wakeTimer;
    TrayNotifier m_notifier;
};
