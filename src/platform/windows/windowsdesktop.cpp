// SPDX-License-Identifier: GPL-3.0-or-later
// Wakewell on Windows, beside the window: the alarm watch with the execution state of the
// window's thread as the way to keep the computer awake, a waitable timer to wake it, and a
// balloon of a tray icon to tell what needs no answer.
#include "platform/host/machine.h"

#include "platform/notifier.h"
#include "platform/windows/executionstatekeepawake.h"
#include "platform/windows/waitablewaketimer.h"
#include "watch/alarmwatch.h"

#include <QIcon>
#include <QSystemTrayIcon>
#include <QtGlobal>

namespace {

// Windows shows a program's notifications beside its icon in the taskbar's notification area
// (a balloon; a toast on Windows 10 and 11), away from its window, and waits for no click. The
// icon is there from the first notification on, and tells the last one as its tip.
class TrayNotifier final : public Notifier
{
public:
    void notify(const QString &summary, const QString &body) override
    {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        m_icon.setToolTip(summary);
        m_icon.show();
        m_icon.showMessage(summary, body, QSystemTrayIcon::Warning);
    }

private:
    QSystemTrayIcon m_icon {QIcon(QStringLiteral(":/icons/wakewell.ico"))};
};

class WindowsDesktop : public QObject
{
public:
    WindowsDesktop(const AlarmSetting &alarm, const TransportStatus &transport,
                   TransportCommands &commands, std::unique_ptr<TonePlayer> tone)
        : m_watch(alarm, transport, commands, {m_whileSet, m_whileDue, m_wakeTimer},
                  std::move(tone), m_notifier)
    {
    }

private:
    ExecutionStateKeepAwake m_whileSet;
    ExecutionStateKeepAwake m_whileDue;
    WaitableWakeTimer m_wakeTimer;
    TrayNotifier m_notifier;
    AlarmWatch m_watch;
};

} // namespace

void Machine::prepareApplication()
{
    // Text drawn by DirectWrite, Windows' own text engine (Qt's default from 6.8 on): Qt 6.4's
    // GDI engine draws no text in a line edit under Wine, where the Windows build is tried.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=directwrite");
    // The window's colours are its own (green on black, a yellow V), which Windows' native
    // style paints over with its theme; Fusion keeps them, as on Linux.
    if (qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE"))
        qputenv("QT_STYLE_OVERRIDE", "fusion");
}

std::unique_ptr<QObject> Machine::startDesktop(const AlarmSetting &alarm,
                                               const TransportStatus &transport,
                                               TransportCommands &commands)
{
    return std::make_unique<WindowsDesktop>(alarm, transport, commands, makeTone());
}
