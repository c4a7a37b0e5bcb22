// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/keepawake.h"
#include "desktop/silenceguard.h"

#include <QObject>

#include <memory>

class frmPlayer;

// Watches over a set alarm, on any desktop: the computer is kept awake while an alarm is set
// and let go when none is, and an alarm that plays nothing is still heard (SilenceGuard), also
// when the machine's sound outputs change. It reads the window's state after its handlers;
// made after the window and destroyed before it. When the window closes, before the window
// releases its player, both end.
class AlarmWatch : public QObject
{
    Q_OBJECT

public:
    // keepAwake must outlive the watch.
    AlarmWatch(frmPlayer &f, KeepAwake &keepAwake, std::unique_ptr<TonePlayer> tone,
               QObject *parent = nullptr);
    ~AlarmWatch() override;

signals:
    // The window is closing; emitted once, before its own close handling.
    void closing();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void alarmSettingChanged();
    void shutdown();

    frmPlayer &m_f;
    KeepAwake &m_keepAwake;
    SilenceGuard m_guard;
    bool m_closed = false;
};
