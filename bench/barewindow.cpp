// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick of Wakewell's start: a bare Qt window that shows the time from its first frame
// and then every second, the least a window that shows the time of day does. scripts/bench.sh
// measures both alike.

#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(294, 172);
    const auto showTime = [&] { window.setText(QTime::currentTime().toString()); };
    showTime();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &window, showTime);
    timer.start(1000);
    window.show();
    return QApplication::exec();
}
