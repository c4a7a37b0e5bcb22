// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/events.h"
#include "platform/host/hostfilesystem.h"
#include "platform/host/systemclock.h"
#include "platform/hostmediaplayer.h"
#include "platform/hostsoundoutput.h"

#include "watch/songtone.h"

#ifdef Q_OS_WIN
#include "platform/windows/executionstatekeepawake.h"
#include "platform/windows/waitablewaketimer.h"
#include "watch/alarmwatch.h"
#else
#include "platform/linux/desktopintegration.h"
#include "platform/linux/gstreamer.h"
#endif

#include <QApplication>

int main(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // Text drawn by DirectWrite, Windows' own text engine (Qt's default from 6.8 on): Qt 6.4's
    // GDI engine draws no text in a line edit under Wine, where the Windows build is tried.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=directwrite");
#endif
    QApplication app(argc, argv);
#ifdef Q_OS_WIN
    // The window's colours are its own (green on black, a yellow V), which Windows' native
    // style paints over with its theme; Fusion keeps them, as on Linux.
    QApplication::setStyle(QStringLiteral("fusion"));
#endif
    // Only the name: a display name would be appended to every window title.
    QApplication::setApplicationName(QStringLiteral("Wakewell"));
    // Lets the desktop match the window to its entry and icon (Wayland asks for this).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.wakewell.Wakewell"));

    const SystemClock clock;
    HostSoundOutput soundOutput;
    const DriveTable drives = DriveTable::machine();
    const std::unique_ptr<frmPlayer> window = events::loadWindow(
        {[&] { return std::make_unique<HostMediaPlayer>(drives); },
         [&] { return std::make_unique<HostFileSystem>(drives); }, &clock, &soundOutput});
    // The desktop's side (its buses, the sound outputs) starts once the window is seen; it
    // follows the window's objects, so it is declared after it and ends before it.
#ifdef Q_OS_WIN
    // The execution state of the window's thread keeps Windows awake; a waitable timer wakes it.
    ExecutionStateKeepAwake whileSet;
    ExecutionStateKeepAwake whileDue;
    WaitableWakeTimer wakeTimer;
    std::unique_ptr<AlarmWatch> desktop;
#else
    std::unique_ptr<DesktopIntegration> desktop;
#endif
    QObject::connect(window.get(), &frmPlayer::shownOnScreen, window.get(), [&] {
        auto tone = std::make_unique<SongTone>(std::make_unique<HostMediaPlayer>(drives), drives);
#ifdef Q_OS_WIN
        desktop = std::make_unique<AlarmWatch>(
            window->alarmSetting(), window->transportStatus(), *window,
            MachinePower {whileSet, whileDue, wakeTimer}, std::move(tone));
#else
        desktop = std::make_unique<DesktopIntegration>(
            window->alarmSetting(), window->transportStatus(), *window,
            BusAddresses::fromEnvironment(), drives, std::move(tone));
        gstreamer::startAhead();
#endif
    });
    window->show();
    return QApplication::exec();
}
