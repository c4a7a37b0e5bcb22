// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchtools.h"

#include <QEventLoop>
#include <QFile>

#include <cstdio>
#include <ctime>

void bench::row(const QString &figure, const QString &value, const QString &goal)
{
    std::printf("| %s | %s | %s |\n", qPrintable(figure), qPrintable(value), qPrintable(goal));
    std::fflush(stdout);
}

QByteArray bench::residentMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return "unknown";
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified();
    return "unknown";
}

double bench::processCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void bench::waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bench::LoopProbe::LoopProbe()
{
    QObject::connect(&m_timer, &QTimer::timeout,
                     [this] { m_longestMs = qMax(m_longestMs, m_sinceLast.restart()); });
    m_timer.start(everyMs);
    m_sinceLast.start();
}

qint64 bench::LoopProbe::longestMs() const
{
    return qMax(m_longestMs, m_sinceLast.elapsed());
}
