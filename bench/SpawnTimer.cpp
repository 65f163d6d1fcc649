// Times a command from process start: to its end, or to its first window
// being mapped on the X server.
//
//   tobrik_spawn_timer [--runs N] [--output FILE] -- CMD ARGS...
//       Runs CMD N times, one after the other. Per run prints
//       "run_ms V maxrss_kb V exit V": wall time from just before fork to
//       the end of the process, the process's peak resident memory and its
//       exit status. Standard output and error of CMD go to FILE (the last
//       run's; default /dev/null).
//   tobrik_spawn_timer --until-mapped [--title T] [--runs N] [--timeout S] -- CMD ARGS...
//       Per run prints "mapped_ms V": from just before fork until the X
//       server's MapNotify for a new top-level window (a child of the root
//       window: the program's own window, or the window manager's frame
//       around it) arrives, then ends CMD with SIGTERM and waits for it.
//       With --title, only a window titled T (or a frame holding one)
//       counts, so that a message box shown instead is not taken for the
//       window. Needs DISPLAY.

#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

pid_t spawn(char** command, const char* output) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int sink = open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (sink >= 0) {
        dup2(sink, STDOUT_FILENO);
        dup2(sink, STDERR_FILENO);
    }
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0)
        dup2(null, STDIN_FILENO);
    execvp(command[0], command);
    std::fprintf(stderr, "spawn timer: cannot run %s: %s\n", command[0], std::strerror(errno));
    _exit(127);
}

int timeToExit(char** command, int runs, const char* output) {
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const pid_t pid = spawn(command, output);
        if (pid < 0)
            return 1;
        int status = 0;
        rusage usage{};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        const double ms = msSince(start);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::printf("run_ms %.3f maxrss_kb %ld exit %d\n", ms, usage.ru_maxrss, code);
        std::fflush(stdout);
    }
    return 0;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

std::string textProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    std::string text;
    if (reply)
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return text;
}

// Whether window, or a window below it (a window manager's frame holds the
// program's window), is titled title.
bool titled(xcb_connection_t* connection, xcb_window_t window, const std::string& title,
            int depth) {
    static const xcb_atom_t netWmName = atom(connection, "_NET_WM_NAME");
    if (textProperty(connection, window, netWmName) == title ||
        textProperty(connection, window, XCB_ATOM_WM_NAME) == title)
        return true;
    if (depth == 0)
        return false;
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    bool found = false;
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; !found && i < xcb_query_tree_children_length(tree); ++i)
            found = titled(connection, children[i], title, depth - 1);
    }
    std::free(tree);
    return found;
}

// Waits for a MapNotify of a child of the root window (titled title, when
// one is given); returns the time it arrived, or nothing on time-out or a
// lost connection.
std::optional<Clock::time_point> waitForMap(xcb_connection_t* connection, xcb_window_t root,
                                            const std::string& title, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd entry{xcb_get_file_descriptor(connection), POLLIN, 0};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const auto arrived = Clock::now();
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                map->event == root &&
                                (title.empty() || titled(connection, map->window, title, 2));
            std::free(event);
            if (mapped)
                return arrived;
        }
        if (xcb_connection_has_error(connection))
            return std::nullopt;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;
        poll(&entry, 1, static_cast<int>(left));
    }
}

int timeToMap(char** command, int runs, const std::string& title, int timeoutMs,
              const char* output) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "spawn timer: cannot connect to the X server\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        // A round trip, so that the selection is in force and every event
        // from before this run has arrived; those are dropped.
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
            std::free(event);

        const auto start = Clock::now();
        const pid_t pid = spawn(command, output);
        if (pid < 0)
            return 1;
        const auto mapped = waitForMap(connection, root, title, timeoutMs);
        kill(pid, SIGTERM);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (mapped) {
            std::printf("mapped_ms %.3f\n",
                        std::chrono::duration<double, std::milli>(*mapped - start).count());
        } else {
            std::fprintf(stderr, "spawn timer: no window%s%s mapped within %d ms\n",
                         title.empty() ? "" : " titled ", title.c_str(), timeoutMs);
            ++failures;
        }
        std::fflush(stdout);
    }
    xcb_disconnect(connection);
    return failures == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr, "usage: tobrik_spawn_timer [--until-mapped [--title T]] [--runs N] "
                         "[--timeout S] [--output FILE] -- CMD ARGS...\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    bool untilMapped = false;
    int runs = 1;
    int timeoutMs = 10000;
    const char* output = "/dev/null";
    std::string title;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--until-mapped") {
            untilMapped = true;
        } else if (arg == "--title" && i + 1 < argc) {
            title = argv[++i];
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeoutMs = std::atoi(argv[++i]) * 1000;
        } else if (arg == "--output" && i + 1 < argc) {
            output = argv[++i];
        } else if (arg == "--") {
            ++i;
            break;
        } else {
            return usage();
        }
    }
    if (i >= argc || runs < 1)
        return usage();
    char** command = argv + i;
    return untilMapped ? timeToMap(command, runs, title, timeoutMs, output)
                       : timeToExit(command, runs, output);
}
