// Real driver, system half on Windows: the performance counter's
// clock, napping, and the console's Ctrl-C / close / logoff / shutdown events turned
// into the same stop request that signals make on POSIX systems.
#include "platform/driver.h"
#include "platform/platform.h"
#include "platform/win_clock.h"
#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// A GUI program's standard handles are simply absent, and writes to a broken
// pipe raise no signal here: nothing to settle.
void platform_settle_process() {}

int64_t platform_clock_us() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter_to_us(counter.QuadPart, frequency);
}

uint32_t platform_ticks() { return uint32_t(platform_clock_us() / 1000); }

static volatile LONG stop_signal = 0;
// Set with the first stop request, so a nap in progress ends at once.
static HANDLE stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// A high-resolution waitable timer (Windows 10 1803 and later) wakes within
// about half a millisecond. Older systems get a plain one, which keeps to the
// 1 ms timer period that SDL asks for at start-up.
static HANDLE nap_timer() {
    static HANDLE timer = [] {
        HANDLE t = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
        return t ? t : CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }();
    return timer;
}

void platform_nap_us(uint32_t microseconds) {
    if (microseconds == 0 || stop_signal != 0) return;
    HANDLE timer = nap_timer();
    LARGE_INTEGER due;
    due.QuadPart = nap_due_time(microseconds);
    if (timer && stop_event && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
        HANDLE wake[2] = {timer, stop_event};
        WaitForMultipleObjects(2, wake, FALSE, INFINITE);
        return;
    }
    Sleep((microseconds + 999) / 1000);
}

void platform_startup_progress(int, int) {}

void platform_request_prompt_wakeups() {
    // The 1 ms scheduler period, and a thread that is let in ahead of busy
    // programs of normal priority when its nap ends.
    timeBeginPeriod(1);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

// Runs on a thread of its own that the system starts for the event. The first
// event is a request the run answers at its next look at the events; a second
// one, should that answer hang, ends the process at once.
static BOOL WINAPI on_console_event(DWORD event) {
    if (InterlockedCompareExchange(&stop_signal, console_event_signal(event), 0) != 0)
        ExitProcess(STATUS_CONTROL_C_EXIT);
    if (stop_event) SetEvent(stop_event);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // Close, logoff and shutdown end the process as soon as this returns:
    // give the main loop a moment to see the request and shut SDL down.
    Sleep(2000);
    return TRUE;
}

void platform_watch_signals() { SetConsoleCtrlHandler(on_console_event, TRUE); }

int platform_stop_signal() { return int(stop_signal); }

void platform_raise(int signal) {
    // What a console program stopped by Ctrl-C or a close ends with.
    (void)signal;
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

// No memory limit is looked at here.
int64_t platform_address_space_left_mb() { return -1; }

void platform_guard_driver_calls(const char*) {}
