// SPDX-License-Identifier: GPL-3.0-or-later
// Times the browser and the playlist on real folders of 1,000, 10,000 and 32,767 empty *.mp3
// files, through the real window over the real file system adapter (C: mapped to the
// folder): listing the folder by choosing its drive, against a bare directory read of the
// same folder as the floor; adding every file to the playlist; clearing the playlist.
//
// Run by hand:  QT_QPA_PLATFORM=offscreen build/bench/browse_bench [repetitions]
// Each figure is the least of the repetitions (default 5), in milliseconds of this thread's
// CPU time, which other work on a shared machine disturbs far less than the wall clock; it
// counts the events the step leaves behind (the lists lay themselves out after the handler).

#include "fakes/fakeclock.h"
#include "fakes/fakemediaplayer.h"
#include "fakes/fakesoundoutput.h"
#include "main/events.h"
#include "platform/host/hostfilesystem.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double bestMs(int repetitions, const std::function<void()> &prepare,
              const std::function<void()> &step)
{
    double best = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        prepare();
        QCoreApplication::processEvents();
        const double start = threadCpuMs();
        step();
        QCoreApplication::processEvents();
        best = std::min(best, threadCpuMs() - start);
    }
    return best;
}

// The least any listing must do: read the names of the folder's entries.
std::size_t bareRead(const QString &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder.toStdString()))
        names.push_back(entry.path().filename().string());
    return names.size();
}

void fail(const char *what, int expected, int got)
{
    std::fprintf(stderr, "%s: expected %d, got %d\n", what, expected, got);
    std::exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    std::printf("%7s %10s %10s %7s %12s %10s %10s\n", "files", "read ms", "list ms", "ratio",
                "list us/file", "add ms", "clear ms");
    for (const int n : {1000, 10000, 32767}) {
        QTemporaryDir folder;
        for (int i = 0; i < n; ++i) {
            QFile file(folder.filePath(QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0'))));
            if (!file.open(QIODevice::WriteOnly))
                fail("files made", n, i);
        }
        PlayerRecord record;
        FakeClock clock;
        FakeSoundOutput soundOutput(record);
        const DriveTable drives({{QStringLiteral("C:"), folder.path()}});
        const std::unique_ptr<frmPlayer> loaded = events::loadWindow(
            {[&] { return std::make_unique<FakeMediaPlayer>(record); },
             [&] { return std::make_unique<HostFileSystem>(drives); }, &clock, &soundOutput});
        frmPlayer &window = *loaded;
        window.show();
        if (window.cmbDrives->count() != 1)
            fail("drives", 1, window.cmbDrives->count());

        auto chooseDrive = [&] {
            window.cmbDrives->setCurrentIndex(0);
            emit window.cmbDrives->activated(0);
        };
        // Every file listed and selected, the first one current; the playlist empty.
        auto selectAll = [&] {
            window.cmdClear->click();
            chooseDrive();
            window.lstFiles->setCurrentRow(0);
            window.lstFiles->selectAll();
        };
        auto fill = [&] {
            selectAll();
            window.cmdAdd->click();
        };

        const double read = bestMs(
            repetitions, [] {}, [&] { bareRead(folder.path()); });
        const double list = bestMs(
            repetitions, [] {}, chooseDrive);
        if (window.lstFiles->count() != n)
            fail("entries listed", n, window.lstFiles->count());
        const double add = bestMs(repetitions, selectAll, [&] { window.cmdAdd->click(); });
        if (window.colPlaylist().Count() != n || window.lstSelected->count() != n)
            fail("songs added", n, window.colPlaylist().Count());
        const double clear = bestMs(repetitions, fill, [&] { window.cmdClear->click(); });
        if (window.colPlaylist().Count() != 0 || window.lstSelected->count() != 0)
            fail("songs left after Clear", 0, window.lstSelected->count());

        std::printf("%7d %10.2f %10.2f %7.2f %12.2f %10.2f %10.2f\n", n, read, list, list / read,
                    1000.0 * list / n, add, clear);
        std::fflush(stdout);
        window.close();
    }
    return 0;
}
