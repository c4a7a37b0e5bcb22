// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/events.h"
#include "platform/host/machine.h"
#include "watch/alarmwatch.h"
#include "watch/songtone.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Machine::prepareApplication();
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to every window title.
    QApplication::setApplicationName(QStringLiteral("Wakewell"));
    // Lets the desktop match the window to its entry and icon (Wayland asks for this).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.wakewell.Wakewell"));

    Machine machine;
    const std::unique_ptr<frmPlayer> window = events::loadWindow(machine.windowPlatform());
    // The desktop's side starts once the window is seen, with the watch over the alarm on it
    // and the tone played by a player of its own. Both follow the window's objects, so they
    // are declared after it and end before it; the watch ends before the desktop.
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<AlarmWatch> watch;
    QObject::connect(window.get(), &frmPlayer::shownOnScreen, window.get(), [&] {
        desktop = machine.startDesktop(window->transportStatus(), *window);
        auto tone = std::make_unique<SongTone>(
            machine.windowPlatform().createMediaPlayer(),
            [&machine](const QString &hostPath) { return machine.drivePath(hostPath); });
        watch = std::make_unique<AlarmWatch>(window->alarmSetting(), window->transportStatus(),
                                             *window, *desktop, std::move(tone));
    });
    window->show();
    return QApplication::exec();
}
