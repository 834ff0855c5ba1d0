// Real driver, system half on POSIX systems: the monotonic clock, naps, the
// stop signals, and a process that survives how it was started.
#include "platform/driver.h"
#include "platform/platform.h"
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>
#include <sys/resource.h>
#ifdef __linux__
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

void platform_settle_process() {
    // A closed standard stream's number would go to the next file opened (the
    // display connection, say), and our diagnostics would be written into it.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int null_fd = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null_fd >= 0 && null_fd != fd) {
            dup2(null_fd, fd);
            close(null_fd);
        }
    }
    // A reader that went away (`| head`) makes a write fail with EPIPE
    // instead of ending the show.
    std::signal(SIGPIPE, SIG_IGN);
}

int64_t platform_address_space_left_mb() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return -1;
    const bool read = std::fscanf(statm, "%ld", &pages) == 1;
    std::fclose(statm);
    if (!read) return -1;
    const int64_t used = int64_t(pages) * int64_t(sysconf(_SC_PAGESIZE));
    return (int64_t(limit.rlim_cur) - used) / (1024 * 1024);
}

// The line a guarded crash ends with, and whether the guard is on: read by
// the crash handlers, which may run on any thread.
static char guard_line[512];
static std::atomic<bool> guarding;

static void end_guarded_crash(int signal) {
    if (!guarding) {
        // Not ours to explain: the crash goes on as it would have.
        std::signal(signal, SIG_DFL);
        return;
    }
    const ssize_t written = write(2, guard_line, strlen(guard_line));
    (void)written;
    _exit(1);
}

void platform_guard_driver_calls(const char* line) {
    static bool installed;
    if (!line || platform_address_space_left_mb() < 0) {
        guarding = false;
        return;
    }
    std::snprintf(guard_line, sizeof guard_line, "%s\n", line);
    guarding = true;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = end_guarded_crash;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) sigaction(signal, &action, nullptr);
}

int64_t platform_clock_us() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

uint32_t platform_ticks() { return uint32_t(platform_clock_us() / 1000); }

// The stop request: written by the signal handler, which may run on any
// thread, and read by the main thread. The handler also writes a byte into
// stop_pipe, which every nap watches: a signal delivered to another thread
// (the sound's, say) would not cut the main thread's sleep short.
static std::atomic<int> stop_signal;
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");
static int stop_pipe[2] = {-1, -1};

void platform_nap_us(uint32_t microseconds) {
    const int64_t until = platform_clock_us() + microseconds;
    for (;;) {
        if (stop_signal != 0) return;
        const int64_t left = until - platform_clock_us();
        if (left <= 0) return;
        timespec ts{time_t(left / 1000000), long(left % 1000000) * 1000L};
#ifdef __linux__
        if (stop_pipe[0] >= 0) {
            pollfd watch{stop_pipe[0], POLLIN, 0};
            ppoll(&watch, 1, &ts, nullptr);
            continue;
        }
#endif
        clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, nullptr);
    }
}

void platform_startup_progress(int, int) {}

void platform_request_prompt_wakeups() {
#ifdef __linux__
    // Timer slack: naps end within a few microseconds of their time.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    // A short time slice for this thread: the scheduler then lets it in as
    // soon as it wakes instead of after a busy program's whole slice. Kernels
    // without per-thread slices take the call and keep the default.
    struct {
        uint32_t size, policy;
        uint64_t flags;
        int32_t nice;
        uint32_t priority;
        uint64_t runtime, deadline, period;
    } attr{};
    attr.size = sizeof attr;
    attr.policy = SCHED_OTHER;
    attr.runtime = 300000;  // nanoseconds: more than a frame's drawing
    syscall(SYS_sched_setattr, 0, &attr, 0);
    // Where the system lets us (root, or a user granted RLIMIT_NICE), a
    // higher priority for this thread keeps the 13 ms pace while other
    // programs keep every processor busy; elsewhere the call is refused and
    // nothing changes. Threads started later (sound) inherit it.
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), -10);
#endif
}

// The first stop signal is a request the run answers at its next look at the
// events; a second one, should that answer hang, ends the process at once.
static void note_stop_signal(int signal) {
    int none = 0;
    if (stop_signal.compare_exchange_strong(none, signal)) {
        const int saved = errno;
        if (stop_pipe[1] >= 0 && write(stop_pipe[1], "s", 1) < 0) {
            // Full or gone: the flag is set, and the next look sees it.
        }
        errno = saved;
        return;
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void platform_watch_signals() {
#ifdef __linux__
    if (stop_pipe[0] < 0 && pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) stop_pipe[0] = stop_pipe[1] = -1;
#endif
    struct sigaction action {};
    action.sa_handler = note_stop_signal;
    sigemptyset(&action.sa_mask);
    const int stop_signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signal : stop_signals) sigaction(signal, &action, nullptr);
}

int platform_stop_signal() { return stop_signal.load(); }

void platform_raise(int signal) {
    // The default action gives the parent the status it expects (a shell
    // shows 128 + signal); _exit only if the signal is ignored after all.
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);
}
