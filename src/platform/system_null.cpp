// Null driver: a virtual clock for tests and offline rendering, beside SDL's
// video and sound halves (on SDL's offscreen and dummy drivers). Every tick
// read and every sleep moves virtual time on, so busy waits and polling loops
// finish at once in real time while seeing the same sequence of readings. It
// stands in for the window system too: nothing to fit, a display that is lost
// when a test says so, events queued at a chosen look.
#include "platform/driver.h"
#include "platform/platform.h"
#include "platform/system_null.h"
#include <SDL.h>
#include <cstdio>
#include <cstdlib>

null_platform_counters null_counters;

static int64_t now_us;          // virtual clock, microseconds
static int64_t tick_origin_us;  // virtual time at which ticks read tick_base
static uint32_t tick_base;
static int64_t step_tick_read = 1000;
static int64_t step_clock_read = 0;
static int quit_signal;  // asked for by the test, effective at quit_at_us
struct queued_at_poll {
    uint32_t type;
    uint64_t poll;
    int count;
};
static queued_at_poll queued[16];
static int queued_entries;

static int64_t quit_at_us;
static int64_t lose_display_at_us;

void null_clock_set(int64_t clock_us, uint32_t ticks_ms) {
    now_us = clock_us;
    tick_origin_us = clock_us;
    tick_base = ticks_ms;
}

int64_t null_clock_us() { return now_us; }

void null_clock_steps(int64_t per_tick_read, int64_t per_clock_read) {
    step_tick_read = per_tick_read;
    step_clock_read = per_clock_read;
}

void null_request_quit(int signal, int64_t at_us) {
    quit_signal = signal;
    quit_at_us = at_us;
}

void null_lose_display(int64_t at_us) { lose_display_at_us = at_us; }

void null_platform_reset() {
    null_counters = {};
    null_clock_steps(1000, 0);
    null_clock_set(int64_t(1800000000) * 1000000, 0);
    null_request_quit(0, 0);
    null_lose_display(0);
    queued_entries = 0;
}

void platform_settle_process() {}

int64_t platform_clock_us() {
    ++null_counters.clock_reads;
    const int64_t t = now_us;
    now_us += step_clock_read;
    return t;
}

void platform_nap_us(uint32_t microseconds) {
    ++null_counters.naps;
    null_counters.napped_us += microseconds;
    now_us += microseconds;
}

uint32_t platform_ticks() {
    ++null_counters.tick_reads;
    uint32_t t = tick_base + uint32_t((now_us - tick_origin_us) / 1000);
    now_us += step_tick_read;
    return t;
}

void null_queue_at_poll(uint32_t type, uint64_t poll, int count) {
    if (queued_entries < 16) queued[queued_entries++] = {type, poll, count};
}

void platform_pump_events() {
    ++null_counters.polls;
    for (int i = 0; i < queued_entries; ++i) {
        if (queued[i].poll != null_counters.polls) continue;
        for (int n = 0; n < queued[i].count; ++n) {
            SDL_Event e;
            SDL_zero(e);
            e.type = queued[i].type;
            SDL_PushEvent(&e);
        }
    }
    SDL_PumpEvents();
}

int platform_take_events(SDL_Event* events, int max, bool peek) {
    int taken = SDL_PeepEvents(events, max, peek ? SDL_PEEKEVENT : SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (taken < 0) taken = 0;
    if (!peek) null_counters.events_taken += uint64_t(taken);
    return taken;
}

void platform_window_shown_area(SDL_Window*, int drawable_w, int drawable_h, SDL_Rect* area) {
    *area = SDL_Rect{0, 0, drawable_w, drawable_h};
}

void platform_fit_window(SDL_Window*) {}

void platform_quiet_probing(bool) {}

const char* platform_x_display_trouble(const char*) { return "no X server is running there"; }

void platform_watch_display(SDL_Window*) {}

bool platform_display_lost() { return lose_display_at_us > 0 && now_us >= lose_display_at_us; }

void platform_watch_signals() {}

void platform_request_prompt_wakeups() {}

void platform_startup_progress(int, int) {}

int platform_stop_signal() { return quit_signal != 0 && now_us >= quit_at_us ? quit_signal : 0; }

void platform_raise(int signal) {
    std::fflush(nullptr);
    std::_Exit(128 + signal);
}

// Starts at the defaults before main runs.
static const bool null_platform_ready = (null_platform_reset(), true);

// No memory limit is looked at here.
int64_t platform_address_space_left_mb() { return -1; }

void platform_guard_driver_calls(const char*) {}
