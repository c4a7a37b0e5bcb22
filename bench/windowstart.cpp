// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a program in the X server of $DISPLAY as a person's desktop would and measures what
// they meet: the time from the spawn to its window on screen (mapped, with the given title),
// the processor time it had used by then (all its threads; unlike the time, it does not grow
// when the machine is busy with other work), the time from the spawn to the window's first
// drawing after the map (a mapped window is still blank until the program draws it), and the
// program's resident memory once it has stood idle for a while, with the processor time it
// used in the second half of that while, and its threads. With --then, a shell command is run
// once the window is drawn, with the window's id in $WINDOW (a person's clicks, say), before
// the idle while. Then ends it.
// Prints "<milliseconds> <processor ms> <kB> <idle processor ms> <threads> <drawn ms>". Not a
// test: nothing here fails but the measurement itself.
//
//   windowstart [--then <command>] <title> <idle seconds> <program> [arguments...]

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
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

// The windows watched belong to other programs: a request about one fails when it is gone
// already, or when it takes input only and cannot be drawn into (its damage watch), and Xlib's
// default handler would end this program for it.
int ignoreError(Display *, XErrorEvent *)
{
    return 0;
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
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "windowstart: the X server has no DAMAGE extension\n");
        return 1;
    }
    XSetErrorHandler(ignoreError);
    // Without a window manager every top-level window is a child of the root window: its
    // creation and its mapping are reported here.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const Clock::time_point spawned = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[3], nullptr, nullptr, argv + 3, environ) != 0) {
        std::fprintf(stderr, "windowstart: cannot start %s\n", argv[3]);
        return 1;
    }
    const auto sinceSpawn
        = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - spawned).count(); };
    double shownMs = -1;
    double cpuMs = -1;
    double drawnMs = -1;
    Window shown = 0;
    // Each new top-level window gets its damage watch as soon as it is created, before the
    // program can map it, with the serial of the request that made the watch: an event
    // carries the serial of the last request of ours that the server had done when it sent
    // the event, so a map with an earlier serial came before the watch, which may then have
    // missed the first drawing.
    std::map<Window, unsigned long> watchedFrom;
    bool missed = false;
    pollfd connection {ConnectionNumber(display), POLLIN, 0};
    while (drawnMs < 0 && !missed && Clock::now() - spawned < std::chrono::seconds(30)) {
        if (!XPending(display) && poll(&connection, 1, 100) <= 0)
            continue;
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == CreateNotify) {
            watchedFrom[event.xcreatewindow.window] = NextRequest(display);
            XDamageCreate(display, event.xcreatewindow.window, XDamageReportRawRectangles);
            XFlush(display);
        } else if (event.type == MapNotify && !shown && titled(display, event.xmap.window, title)) {
            shownMs = sinceSpawn();
            cpuMs = processorMs(pid);
            shown = event.xmap.window;
            const auto watch = watchedFrom.find(shown);
            missed = watch == watchedFrom.end() || event.xmap.serial < watch->second;
        } else if (event.type == damageEvent + XDamageNotify && shown
                   && reinterpret_cast<XDamageNotifyEvent &>(event).drawable == shown) {
            drawnMs = sinceSpawn();
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
    if (missed) {
        std::fprintf(stderr, "windowstart: \"%s\" was mapped before its drawing was watched\n",
                     title);
        return 1;
    }
    if (drawnMs < 0) {
        std::fprintf(stderr, "windowstart: \"%s\" was mapped but not drawn\n", title);
        return 1;
    }
    std::printf("%.0f %.0f %ld %.1f %ld %.0f\n", shownMs, cpuMs, kb, idleCpuMs, threads, drawnMs);
    return 0;
}
