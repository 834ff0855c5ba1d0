// Clocks and waits: scene lengths on the wall clock in whole seconds, the main
// loop's pace on the millisecond tick counter.
#pragma once
#include <SDL.h>
#include <cstdint>

struct wall_time {
    int32_t seconds;       // since 1970-01-01 00:00:00 UTC
    int32_t microseconds;  // 0..999,999; never compared
};

constexpr uint32_t FRAME_MS = 13;

// Reads the real-time clock.
void get_wall_time(wall_time* out);

// Sleeps us / 1000 whole milliseconds; 1..999 only yields, 0 returns at once.
// Returns 0, or 22 (EINVAL) without sleeping for more than 999,999.
int sleep_us(uint32_t us);

// Polls one event per round (a key press ends the wait), then ends the wait once
// the whole seconds since scene_start exceed limit_seconds; yields in between.
void wait_seconds_or_key(const wall_time* scene_start, int32_t limit_seconds, SDL_Event* event);

// Busy-waits until at least FRAME_MS ticks have passed since *last_frame_ticks
// (unsigned 32-bit difference), then stores the reading that ended the wait.
void wait_for_next_frame(uint32_t* last_frame_ticks);

// True when the whole seconds of now minus those of start exceed limit.
bool seconds_exceeded(const wall_time* start, const wall_time* now, int32_t limit);
