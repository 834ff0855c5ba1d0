// Null platform driver: a virtual clock for tests and offline rendering. Every
// tick read and every sleep moves virtual time on, so busy waits and polling
// loops finish at once in real time while seeing the same sequence of readings.
#include "flow/platform.h"
#include "flow/platform_null.h"

null_platform_counters null_counters;

static int64_t now_us;          // virtual wall clock, microseconds since 1970
static int64_t tick_origin_us;  // virtual time at which ticks read tick_base
static uint32_t tick_base;
static int64_t step_tick_read = 1000;
static int64_t step_yield = 500;
static int64_t step_wall_read = 0;

void null_clock_set(int64_t wall_us, uint32_t ticks_ms) {
    now_us = wall_us;
    tick_origin_us = wall_us;
    tick_base = ticks_ms;
}

int64_t null_clock_wall_us() { return now_us; }

void null_clock_steps(int64_t per_tick_read, int64_t per_yield, int64_t per_wall_read) {
    step_tick_read = per_tick_read;
    step_yield = per_yield;
    step_wall_read = per_wall_read;
}

void null_platform_reset() {
    null_counters = {};
    null_clock_steps(1000, 500, 0);
    null_clock_set(int64_t(1800000000) * 1000000, 0);
}

void platform_wall_clock(int32_t* seconds, int32_t* microseconds) {
    ++null_counters.wall_reads;
    *seconds = int32_t(now_us / 1000000);
    *microseconds = int32_t(now_us % 1000000);
    now_us += step_wall_read;
}

void platform_sleep_ms(uint32_t milliseconds) {
    ++null_counters.sleeps;
    if (milliseconds == 0) {
        ++null_counters.yields;
        now_us += step_yield;
    } else {
        now_us += int64_t(milliseconds) * 1000;
    }
}

uint32_t platform_ticks() {
    ++null_counters.tick_reads;
    uint32_t t = tick_base + uint32_t((now_us - tick_origin_us) / 1000);
    now_us += step_tick_read;
    return t;
}

int platform_poll_event(SDL_Event* event) {
    ++null_counters.polls;
    int taken = SDL_PollEvent(event);
    if (taken) ++null_counters.events_taken;
    return taken;
}

// Starts at the defaults before main runs.
static const bool null_platform_ready = (null_platform_reset(), true);
