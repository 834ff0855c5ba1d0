// Clocks, waits and frame pacing.
#include "flow/timing.h"
#include "flow/events.h"
#include "platform/platform.h"

void get_clock_time(clock_time* out) {
    const int64_t us = platform_clock_us();
    // Floor division, so a reading before the clock's origin still has its
    // microseconds in 0..999,999.
    out->seconds = us / 1000000 - (us % 1000000 < 0);
    out->microseconds = int32_t(us - out->seconds * 1000000);
}

void sleep_us(uint32_t us) { platform_nap_us(us / 1000 * 1000); }

bool seconds_exceeded(const clock_time* start, const clock_time* now, int64_t limit) {
    return now->seconds - start->seconds > limit;
}

void nap_until_next_look(const clock_time* now) {
    const uint32_t to_next_second = uint32_t(1000000 - now->microseconds);
    platform_nap_us(to_next_second < WAIT_POLL_US ? to_next_second : WAIT_POLL_US);
}

void wait_seconds_or_key(const clock_time* scene_start, int32_t limit_seconds) {
    for (;;) {
        // The events come first, so a key already queued ends the wait before
        // the clock is read.
        const events_seen seen = look_at_events();
        end_run_if_asked(seen);
        if (seen.key_pressed) return;
        clock_time now;
        get_clock_time(&now);
        if (seconds_exceeded(scene_start, &now, limit_seconds)) return;
        nap_until_next_look(&now);
    }
}

void wait_for_next_frame(uint32_t* last_frame_ticks) {
    for (;;) {
        const uint32_t now = platform_ticks();
        // Unsigned difference: stays right across the 32-bit wrap of the counter.
        const uint32_t elapsed = now - *last_frame_ticks;
        if (elapsed >= FRAME_MS) {
            *last_frame_ticks = now;
            return;
        }
        // Nap through all but the last FRAME_FINE_MS, then in short naps
        // until the counter turns, so the frame starts right on its tick.
        const uint32_t left_ms = FRAME_MS - elapsed;
        platform_nap_us(left_ms > FRAME_FINE_MS ? (left_ms - FRAME_FINE_MS) * 1000 : FRAME_FINE_NAP_US);
    }
}
