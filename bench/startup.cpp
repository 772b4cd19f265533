// Time from process start to the main window being mapped on the X server,
// median of repeated runs. Run inside an X server (bench/startup.sh starts Xvfb).
//   startup PROGRAM [RUNS]
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool isMainWindow(Display* display, Window window)
{
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name)
        return false;
    const bool match = std::strcmp(name, "QORIX Screen capture to bitmap") == 0;
    XFree(name);
    return match;
}

double oneRun(Display* display, const char* program)
{
    XSync(display, True);
    const auto start = Clock::now();
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(program), nullptr};
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    double ms = -1;
    while (ms < 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && isMainWindow(display, event.xmap.window))
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(oneRun(display, argv[1]));
    std::sort(times.begin(), times.end());
    std::printf("start to main window shown, %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n", runs,
                times[times.size() / 2], times.front(), times.back());
    return 0;
}
