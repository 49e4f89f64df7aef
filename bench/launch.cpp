// Starts programs one after another, interleaved, and prints per start the
// time from just before fork() to the program's "READY <ns>" line (its steady
// clock, the same CLOCK_MONOTONIC as ours) and the peak RSS from wait4().
// With --map TITLE it instead times until a top-level window with that title
// is mapped, seen through X's SubstructureNotify on the root window, then kills
// the program: that works on the shipped binary, which prints nothing.
//
// bench_launch [--runs N] [--warmup W] [--timeout SEC] [--map TITLE] PROG...
// Output, one line per measured start: RUN PROG_INDEX MS PEAK_RSS_KB [MARK=MS ...]
//                                  or: RUN PROG_INDEX FAIL REASON
// where MARK=MS are the program's "MARK <name> <ns>" lines before READY (ms
// from our fork) and its "SPAN <name> <ns>" lines (durations, as span:name).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef BENCH_HAVE_XLIB
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace {

// steady_clock is CLOCK_MONOTONIC on Linux, the clock the programs report in.
long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Result {
    bool ok = false;
    double ms = 0;
    long maxRssKb = 0;
    std::string failure;
    std::string marks; // " name=ms" for each MARK line before READY
};

pid_t spawn(const std::string& program, int stdoutFd)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(stdoutFd >= 0 ? stdoutFd : null, STDOUT_FILENO);
        if (!getenv("BENCH_CHILD_STDERR"))
            dup2(null, STDERR_FILENO);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        execv(program.c_str(), argv);
        _exit(127);
    }
    return pid;
}

long reap(pid_t pid, bool kill9)
{
    if (kill9)
        kill(pid, SIGKILL);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    return ru.ru_maxrss;
}

Result runUntilReady(const std::string& program, double timeoutSec)
{
    Result r;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        r.failure = "pipe";
        return r;
    }
    const long long t0 = nowNs();
    const pid_t pid = spawn(program, fds[1]);
    close(fds[1]);
    std::string out;
    const long long deadline = t0 + static_cast<long long>(timeoutSec * 1e9);
    bool done = false;
    while (!done) {
        const long long left = (deadline - nowNs()) / 1000000;
        if (left <= 0)
            break;
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, int(left)) <= 0)
            continue;
        char buf[256];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, size_t(n));
        const size_t ready = out.find("READY ");
        done = ready != std::string::npos && out.find('\n', ready) != std::string::npos;
    }
    close(fds[0]);
    long long readyNs = 0;
    const size_t at = out.find("READY ");
    if (done && at != std::string::npos)
        readyNs = std::atoll(out.c_str() + at + 6);
    // MARK name ns: a moment, given from our fork; SPAN name ns: a duration.
    size_t lineStart = 0;
    while (at != std::string::npos && lineStart < at) {
        size_t lineEnd = out.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = out.size();
        const std::string line = out.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        char kind[8] = {}, name[160] = {};
        long long ns = 0;
        if (std::sscanf(line.c_str(), "%7s %159s %lld", kind, name, &ns) != 3)
            continue;
        const bool isMark = std::strcmp(kind, "MARK") == 0;
        if (!isMark && std::strcmp(kind, "SPAN") != 0)
            continue;
        char field[200];
        std::snprintf(field, sizeof field, " %s%s=%.3f", isMark ? "" : "span:", name,
                      double(isMark ? ns - t0 : ns) / 1e6);
        r.marks += field;
    }
    r.maxRssKb = reap(pid, readyNs == 0);
    if (readyNs == 0) {
        r.failure = done ? "no-ready-line" : "timeout-or-exit";
        return r;
    }
    r.ok = true;
    r.ms = double(readyNs - t0) / 1e6;
    return r;
}

#ifdef BENCH_HAVE_XLIB
int ignoreXError(Display*, XErrorEvent*) { return 0; }

std::string windowTitle(Display* d, Window w)
{
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &items, &after, &data) == Success
        && data) {
        title.assign(reinterpret_cast<char*>(data), items);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(d, w, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

Result runUntilMapped(Display* d, const std::string& program, const std::string& title, double timeoutSec)
{
    Result r;
    while (XPending(d)) {
        XEvent stale;
        XNextEvent(d, &stale);
    }
    const long long t0 = nowNs();
    const pid_t pid = spawn(program, -1);
    const long long deadline = t0 + static_cast<long long>(timeoutSec * 1e9);
    long long mappedNs = 0;
    while (!mappedNs && nowNs() < deadline) {
        if (!XPending(d)) {
            pollfd p{ConnectionNumber(d), POLLIN, 0};
            poll(&p, 1, 20);
            int status = 0;
            if (waitpid(pid, &status, WNOHANG | WNOWAIT) == pid) // ended without a window
                break;
            continue;
        }
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type == MapNotify && windowTitle(d, ev.xmap.window) == title)
            mappedNs = nowNs();
    }
    r.maxRssKb = reap(pid, true);
    if (!mappedNs) {
        r.failure = "not-mapped";
        return r;
    }
    r.ok = true;
    r.ms = double(mappedNs - t0) / 1e6;
    return r;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    int runs = 10, warmup = 2;
    double timeout = 30;
    std::string mapTitle;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (a == "--warmup" && i + 1 < argc)
            warmup = std::atoi(argv[++i]);
        else if (a == "--timeout" && i + 1 < argc)
            timeout = std::atof(argv[++i]);
        else if (a == "--map" && i + 1 < argc)
            mapTitle = argv[++i];
        else
            programs.push_back(a);
    }
    if (programs.empty()) {
        std::fprintf(stderr, "usage: bench_launch [--runs N] [--warmup W] [--timeout SEC] [--map TITLE] PROG...\n");
        return 2;
    }
#ifdef BENCH_HAVE_XLIB
    Display* display = nullptr;
    if (!mapTitle.empty()) {
        display = XOpenDisplay(nullptr);
        if (!display) {
            std::fprintf(stderr, "bench_launch: cannot open the X display\n");
            return 1;
        }
        XSetErrorHandler(ignoreXError);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
    }
#else
    if (!mapTitle.empty()) {
        std::fprintf(stderr, "bench_launch: built without Xlib, --map unavailable\n");
        return 1;
    }
#endif
    const int n = int(programs.size());
    for (int run = -warmup; run < runs; ++run) {
        // Rotate the order so no program always goes first after a pause.
        for (int j = 0; j < n; ++j) {
            const int k = ((run + warmup) + j) % n;
            Result r;
#ifdef BENCH_HAVE_XLIB
            if (display)
                r = runUntilMapped(display, programs[k], mapTitle, timeout);
            else
#endif
                r = runUntilReady(programs[k], timeout);
            if (run < 0)
                continue;
            if (r.ok)
                std::printf("%d %d %.3f %ld%s\n", run, k, r.ms, r.maxRssKb, r.marks.c_str());
            else
                std::printf("%d %d FAIL %s\n", run, k, r.failure.c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}
