// SPDX-License-Identifier: GPL-3.0-or-later
// wakewell-waker: arms kernel alarm timers on the system bus for Wakewell's window, so that a
// sleeping machine wakes for an alarm. Started by D-Bus activation, as its own system user
// holding CAP_WAKE_ALARM alone; it exits once it holds no timer.
#include "waker.h"
#include "waker/wakerbus.h"
#include "waker_adaptor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The command line is fixed by the D-Bus service file; callers cannot set these. They
    // exist for the tests, which want a short idle, a timer that expires soon and a polkit
    // that is given up on soon.
    QCommandLineParser parser;
    const QCommandLineOption idle(QStringLiteral("idle-seconds"),
                                  QStringLiteral("Exit after holding nothing this long (5)."),
                                  QStringLiteral("seconds"));
    const QCommandLineOption minAhead(QStringLiteral("min-ahead-seconds"),
                                      QStringLiteral("Refuse deadlines sooner than this (5)."),
                                      QStringLiteral("seconds"));
    const QCommandLineOption answer(QStringLiteral("answer-seconds"),
                                    QStringLiteral("Wait this long for polkit and the bus (10)."),
                                    QStringLiteral("seconds"));
    parser.addOptions({idle, minAhead, answer});
    parser.addHelpOption();
    parser.process(app);
    Waker::Limits limits;
    bool read = true;
    const auto seconds = [&](const QCommandLineOption &option, auto &limit) {
        if (parser.isSet(option) && read)
            limit = std::chrono::seconds(parser.value(option).toUInt(&read));
    };
    seconds(idle, limits.idle);
    seconds(minAhead, limits.minAhead);
    seconds(answer, limits.answer);
    if (!read) {
        std::fprintf(stderr, "wakewell-waker: the options take whole seconds\n");
        return 2;
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "wakewell-waker: no system bus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    Waker waker(bus, limits);
    new WakerAdaptor(&waker);
    // systemd stops a D-Bus service whose name has gone: what was sent before is answered
    // all the same, and the helper exits after the linger.
    QObject::connect(&waker, &Waker::leaving, [] { std::signal(SIGTERM, SIG_IGN); });
    QObject::connect(&waker, &Waker::done, &app, &QCoreApplication::quit);
    // The object first, then the name: a call that the name's activation queued finds it.
    if (!bus.registerObject(QString::fromLatin1(WakerBus::path), &waker)
        || !bus.registerService(QString::fromLatin1(WakerBus::service))) {
        std::fprintf(stderr, "wakewell-waker: cannot serve %s: %s\n", WakerBus::service,
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
