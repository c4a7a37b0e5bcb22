// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/events.h"
#include "platform/host/machine.h"

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
    // The desktop's side starts once the window is seen; it follows the window's objects, so
    // it is declared after it and ends before it.
    std::unique_ptr<QObject> desktop;
    QObject::connect(window.get(), &frmPlayer::shownOnScreen, window.get(), [&] {
        desktop = machine.startDesktop(window->alarmSetting(), window->transportStatus(), *window);
    });
    window->show();
    return QApplication::exec();
}
