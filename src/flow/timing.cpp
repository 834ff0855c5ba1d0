// Clocks, waits and frame pacing.
#include "flow/timing.h"
#include "flow/platform.h"

void get_wall_time(wall_time* out) { platform_wall_clock(&out->seconds, &out->microseconds); }

int sleep_us(uint32_t us) {
    if (us > 999999) return 22;  // EINVAL: nothing sleeps a whole second here
    if (us == 0) return 0;
    platform_sleep_ms(us / 1000);
    return 0;
}

bool seconds_exceeded(const wall_time* start, const wall_time* now, int32_t limit) {
    return now->seconds - start->seconds > limit;
}

void wait_seconds_or_key(const wall_time* scene_start, int32_t limit_seconds, SDL_Event* event) {
    for (;;) {
        // The poll comes first, so a key already queued ends the wait before
        // the clock is read.
        if (platform_poll_event(event) && event->type == SDL_KEYDOWN) return;
        wall_time now;
        get_wall_time(&now);
        if (seconds_exceeded(scene_start, &now, limit_seconds)) return;
        sleep_us(500);
    }
}

void wait_for_next_frame(uint32_t* last_frame_ticks) {
    uint32_t now;
    // Unsigned difference: stays right across the 32-bit wrap of the counter.
    do {
        now = platform_ticks();
    } while (uint32_t(now - *last_frame_ticks) < FRAME_MS);
    *last_frame_ticks = now;
}
