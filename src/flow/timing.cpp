// Clocks, waits and frame pacing.
#include "flow/timing.h"
#include "flow/scene_events.h"
#include "platform/platform.h"

void get_wall_time(wall_time* out) { platform_wall_clock(&out->seconds, &out->microseconds); }

void sleep_us(uint32_t us) { platform_nap_us(us / 1000 * 1000); }

bool seconds_exceeded(const wall_time* start, const wall_time* now, int32_t limit) {
    return now->seconds - start->seconds > limit;
}

void nap_until_next_look(const wall_time* now) {
    const uint32_t to_next_second = uint32_t(1000000 - now->microseconds);
    platform_nap_us(to_next_second < WAIT_POLL_US ? to_next_second : WAIT_POLL_US);
}

void wait_seconds_or_key(const wall_time* scene_start, int32_t limit_seconds) {
    for (;;) {
        // The events come first, so a key already queued ends the wait before
        // the clock is read.
        if (scene_key_pressed()) return;
        wall_time now;
        get_wall_time(&now);
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
        // Nap through all but the last millisecond, then in short naps until
        // the counter turns, so the frame starts right on its tick.
        const uint32_t left_ms = FRAME_MS - elapsed;
        platform_nap_us(left_ms > 1 ? (left_ms - 1) * 1000 : FRAME_FINE_NAP_US);
    }
}
