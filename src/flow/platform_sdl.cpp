// Real platform driver: the C library's wall clock and sleep, SDL's ticks and
// event queue.
#include "flow/platform.h"
#include <sched.h>
#include <sys/time.h>
#include <time.h>

void platform_wall_clock(int32_t* seconds, int32_t* microseconds) {
    timeval tv;
    gettimeofday(&tv, nullptr);
    *seconds = int32_t(tv.tv_sec);
    *microseconds = int32_t(tv.tv_usec);
}

void platform_sleep_ms(uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();  // a zero-length sleep only gives up the time slice
        return;
    }
    timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

uint32_t platform_ticks() { return SDL_GetTicks(); }

int platform_poll_event(SDL_Event* event) { return SDL_PollEvent(event); }
