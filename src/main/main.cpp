#include "desktop/desktopintegration.h"
#include "desktop/synthesisedtone.h"
#include "main/frmplayer.h"
#include "platform/hostfilesystem.h"
#include "platform/qtmediaplayer.h"
#include "platform/systemclock.h"

#include <QApplication>
#include <QMediaDevices>

int main(int argc, char *argv[])
{
    // Qt 6.4's ffmpeg backend crashes without an audio device; GStreamer does not.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to every window title.
    QApplication::setApplicationName(QStringLiteral("Wakewell"));
    // Lets the desktop match the window to its entry and icon (Wayland asks for this).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.wakewell.Wakewell"));

    const SystemClock clock;
    const DriveTable drives = DriveTable::machine();
    frmPlayer window({[&] { return std::make_unique<QtMediaPlayer>(drives); },
                      [&] { return std::make_unique<HostFileSystem>(drives); }, &clock});
    DesktopIntegration desktop(window, BusAddresses::fromEnvironment(), drives,
                               std::make_unique<SynthesisedTone>());
    const QMediaDevices devices;
    QObject::connect(&devices, &QMediaDevices::audioOutputsChanged, &desktop,
                     &DesktopIntegration::audioOutputsChanged);
    window.show();
    return app.exec();
}
