// bench_window_start TITLE SETTLE_MS PROGRAM [ARGS...]: starts PROGRAM on the X display and
// prints the milliseconds until a top-level window whose name begins with TITLE (the monitor
// adds its state to its name) is mapped, then, SETTLE_MS later, the program's resident memory
// in kB; then ends the program with SIGTERM.
// Output: "<ms> <kB>". Exit status 1 when no such window appears within 30 s.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <xcb/xcb.h>

extern char** environ;

namespace {

std::string WindowName(xcb_connection_t* x, xcb_window_t window) {
    const auto cookie =
        xcb_get_property(x, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x, cookie, nullptr);
    if (!reply) return {};
    const std::string name(static_cast<const char*>(xcb_get_property_value(reply)),
                           static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return name;
}

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_window_start TITLE SETTLE_MS PROGRAM [ARGS...]\n");
        return 2;
    }
    const std::string title = argv[1];
    const int settleMs = std::atoi(argv[2]);
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_window_start: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[3], nullptr, nullptr, argv + 3, environ) != 0) {
        std::fprintf(stderr, "bench_window_start: cannot start %s\n", argv[3]);
        return 2;
    }
    double shownMs = -1;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (shownMs < 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                WindowName(x, reinterpret_cast<xcb_map_notify_event_t*>(event)->window)
                    .starts_with(title))
                shownMs = std::chrono::duration<double, std::milli>(
                              std::chrono::steady_clock::now() - start)
                              .count();
            std::free(event);
        }
        if (shownMs < 0) poll(&fd, 1, 100);
    }
    long rss = -1;
    if (shownMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        rss = ResidentKb(pid);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    xcb_disconnect(x);
    if (shownMs < 0) return 1;
    std::printf("%.0f %ld\n", shownMs, rss);
    return 0;
}
