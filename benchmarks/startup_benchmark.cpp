// Start-up time and peak memory of the program against a floor window, both
// started many times in turn on the current X display. The time runs from
// exec to the first frame drawn into the mapped window (seen as X damage).
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample
{
    double milliseconds;
    double peakMegabytes;
};

using Clock = std::chrono::steady_clock;

bool nextEvent(Display *display, XEvent &event, Clock::time_point deadline)
{
    while (!XPending(display)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, int(left.count()));
    }
    XNextEvent(display, &event);
    return true;
}

Sample startOnce(Display *display, int damageEvent, const char *program)
{
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);

    const auto started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execl(program, program, static_cast<char *>(nullptr));
        _exit(127);
    }

    // Damage objects go with their window when the program ends.
    double milliseconds = -1;
    const auto deadline = started + std::chrono::seconds(20);
    XEvent event;
    while (milliseconds < 0 && nextEvent(display, event, deadline)) {
        if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
            XDamageCreate(display, event.xmap.window, XDamageReportNonEmpty);
        } else if (event.type == damageEvent + XDamageNotify) {
            milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        }
    }
    XSelectInput(display, root, NoEventMask);

    kill(child, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return {milliseconds, double(usage.ru_maxrss) / 1024.0};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_benchmark PROGRAM FLOOR [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 30;
    Display *display = XOpenDisplay(nullptr);
    int damageEvent = 0, damageError = 0;
    if (!display || !XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "needs an X display with the DAMAGE extension\n");
        return 1;
    }

    std::vector<double> programTime, programMemory, floorTime, floorMemory;
    startOnce(display, damageEvent, argv[1]); // warm the caches for both
    startOnce(display, damageEvent, argv[2]);
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            // Alternate which goes first, so neither always follows the other.
            const bool program = (which == 0) == (i % 2 == 0);
            const Sample s = startOnce(display, damageEvent, program ? argv[1] : argv[2]);
            if (s.milliseconds < 0) {
                std::fprintf(stderr, "%s showed no frame\n", program ? argv[1] : argv[2]);
                return 1;
            }
            (program ? programTime : floorTime).push_back(s.milliseconds);
            (program ? programMemory : floorMemory).push_back(s.peakMegabytes);
        }
    }
    const double pt = median(programTime), ft = median(floorTime);
    const double pm = median(programMemory), fm = median(floorMemory);
    std::printf("start-up over %d runs each (medians)\n", runs);
    std::printf("  time to first frame: program %.1f ms, floor %.1f ms, ratio %.2fx\n", pt, ft, pt / ft);
    std::printf("  peak resident memory: program %.1f MiB, floor %.1f MiB, ratio %.2fx\n", pm, fm,
                pm / fm);
    std::printf("row: start-up to first frame | %.1f ms, %.2fx the floor (%.1f ms) | 1.15x the floor\n",
                pt, pt / ft, ft);
    std::printf("row: peak resident memory | %.1f MiB, %.2fx the floor (%.1f MiB) | 1.10x the floor\n",
                pm, pm / fm, fm);
    XCloseDisplay(display);
    return 0;
}
