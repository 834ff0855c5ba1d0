// Controls of the null driver: a virtual clock that moves only when
// the program reads it or sleeps, so a whole run takes no real time.
#pragma once
#include <cstdint>

struct null_platform_counters {
    uint64_t clock_reads;
    uint64_t tick_reads;
    uint64_t naps;          // platform_nap_us calls
    int64_t napped_us;      // virtual time they took
    uint64_t polls;         // platform_pump_events calls: looks at the queue
    uint64_t events_taken;  // events those calls took
};

extern null_platform_counters null_counters;

// Sets virtual time: the clock in microseconds and the tick counter.
void null_clock_set(int64_t clock_us, uint32_t ticks_ms);
int64_t null_clock_us();

// How far virtual time moves on each kind of call (microseconds).
void null_clock_steps(int64_t per_tick_read, int64_t per_clock_read);

// A stop request by `signal` that arrives once the virtual clock reaches
// at_us; platform_end_on_signal then leaves the process with 128 + signal.
void null_request_quit(int signal, int64_t at_us);

// The display connection breaks once the virtual clock reaches at_us (0:
// never); video_end_display_lost then leaves the process with status 1.
void null_lose_display(int64_t at_us);

// Puts `count` events of `type` on SDL's queue as the pump-th look at the
// queue (counted in null_counters.polls) begins, so a test can have a key
// arrive during a chosen scene. Up to 16 such entries are held.
void null_queue_at_poll(uint32_t type, uint64_t poll, int count = 1);

// Back to the defaults: 1 ms per tick read, 0 per clock read, the clock at
// 1,800,000,000.0 s, ticks at 0; counters zeroed; no stop request, no lost
// display and no queued events.
void null_platform_reset();
