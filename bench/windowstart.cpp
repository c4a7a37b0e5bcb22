// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a program in the X server of $DISPLAY as a person's desktop would and measures what
// they meet: the time from the spawn to its window on screen (mapped, with the given title),
// the processor time it had used by then (all its threads; unlike the time, it does not grow
// when the machine is busy with other work), and the program's resident memory once it has
// stood idle for a while, with the processor time it used in the second half of that while,
// and its threads. With --then, a shell command is run once the window is on screen, with
// the window's id in $WINDOW (a person's clicks, say), before the idle while. Then ends it.
// Prints "<milliseconds> <processor ms> <kB> <idle processor ms> <threads>". Not a test:
// nothing here fails but the measurement itself.
//
//   windowstart [--then <command>] <title> <idle seconds> <program> [arguments...]

#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// The resident memory of a process, in kB; -1 when it cannot be read.
long residentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// The processor time that every thread of a process has used so far, in milliseconds.
double processorMs(pid_t pid)
{
    double ms = 0;
    std::error_code error;
    for (const auto &task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double ns = 0;
        if (schedstat >> ns)
            ms += ns / 1e6;
    }
    return ms;
}

// How many threads a process has now.
long threadCount(pid_t pid)
{
    std::error_code error;
    const std::filesystem::directory_iterator tasks("/proc/" + std::to_string(pid) + "/task",
                                                    error);
    return error ? -1 : std::distance(tasks, std::filesystem::directory_iterator());
}

bool titled(Display *display, Window window, const char *title)
{
    char *name = nullptr;
    const bool same = XFetchName(display, window, &name) && std::strcmp(name, title) == 0;
    XFree(name);
    return same;
}

} // namespace

int main(int argc, char *argv[])
{
    const char *then = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "--then") == 0) {
        then = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: windowstart [--then <command>] <title> <idle seconds> "
                     "<program> [args...]\n");
        return 2;
    }
    const char *title = argv[1];
    const int idleSeconds = std::atoi(argv[2]);
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "windowstart: cannot open the display\n");
        return 1;
    }
    // Without a window manager every top-level window is a child of the root window: its
    // mapping is reported here.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const Clock::time_point spawned = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[3], nullptr, nullptr, argv + 3, environ) != 0) {
        std::fprintf(stderr, "windowstart: cannot start %s\n", argv[3]);
        return 1;
    }
    double shownMs = -1;
    double cpuMs = -1;
    Window shown = 0;
    pollfd connection {ConnectionNumber(display), POLLIN, 0};
    while (shownMs < 0 && Clock::now() - spawned < std::chrono::seconds(30)) {
        if (!XPending(display) && poll(&connection, 1, 100) <= 0)
            continue;
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && titled(display, event.xmap.window, title)) {
            shownMs = std::chrono::duration<double, std::milli>(Clock::now() - spawned).count();
            cpuMs = processorMs(pid);
            shown = event.xmap.window;
        }
    }
    if (then && shown) {
        setenv("WINDOW", std::to_string(shown).c_str(), 1);
        const char *shell[] = {"/bin/sh", "-c", then, nullptr};
        pid_t command = 0;
        int status = 0;
        if (posix_spawn(&command, shell[0], nullptr, nullptr, const_cast<char **>(shell), environ)
                != 0
            || waitpid(command, &status, 0) != command || status != 0)
            std::fprintf(stderr, "windowstart: %s failed\n", then);
    }
    const auto half = std::chrono::milliseconds(idleSeconds * 500);
    std::this_thread::sleep_for(half);
    const double idleFrom = processorMs(pid);
    std::this_thread::sleep_for(half);
    const double idleCpuMs = processorMs(pid) - idleFrom;
    const long kb = residentKb(pid);
    const long threads = threadCount(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(display);
    if (shownMs < 0) {
        std::fprintf(stderr, "windowstart: no window titled \"%s\" appeared\n", title);
        return 1;
    }
    std::printf("%.0f %.0f %ld %.1f %ld\n", shownMs, cpuMs, kb, idleCpuMs, threads);
    return 0;
}
