// Stamps every key press that reaches its window: one line "US KEYCODE" per press, US the
// monotonic clock in microseconds (the clock the mock controller stamps its reports with).
// bench/device/mock_load.sh pairs them with the reports to get report-to-keystroke latency.
//
//   bench_key_stamps NAME
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: bench_key_stamps NAME\n", stderr);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("bench_key_stamps: no X display\n", stderr);
        return 2;
    }
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 20, 400, 300, 200, 0,
                            BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, argv[1]);
    XSelectInput(display, window, KeyPressMask);
    XMapWindow(display, window);
    XFlush(display);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress) continue;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("%lld %u\n", static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000,
                    event.xkey.keycode);
        std::fflush(stdout);
    }
}
