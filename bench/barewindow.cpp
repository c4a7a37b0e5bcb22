// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick of Wakewell's start: a bare Qt window whose one-second timer shows the time,
// the least a window that shows the time of day does. scripts/bench.sh measures both alike.

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
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &window,
                     [&] { window.setText(QTime::currentTime().toString()); });
    timer.start(1000);
    window.show();
    return QApplication::exec();
}
