// Clocks and waits: scene lengths on the monotonic clock in whole seconds, the main
// loop's pace on the millisecond tick counter. Waits idle instead of spinning.
#pragma once
#include <cstdint>

// A reading of the scene clock: whole seconds and the microseconds within
// that second. The clock is monotonic (platform_clock_us), so setting the
// system's date and time moves no scene.
struct clock_time {
    int64_t seconds;
    int32_t microseconds;  // 0..999,999; plans naps, never compared
};

constexpr uint32_t FRAME_MS = 13;
// Longest nap between two looks at the event queue in a wait: a key press is
// acted upon within this, and an idle wait costs next to nothing.
constexpr uint32_t WAIT_POLL_US = 5000;
// The last milliseconds before a frame are napped in short naps: a wake-up
// on a busy machine may come a millisecond or two late, and one that misses
// the tick costs the pass a whole millisecond.
constexpr uint32_t FRAME_FINE_MS = 2;
constexpr uint32_t FRAME_FINE_NAP_US = 100;

// Reads the scene clock.
void get_clock_time(clock_time* out);

// Sleeps us / 1000 whole milliseconds (the end screen's 56,250 us frame sleep
// is 56 ms); a stop request cuts it short.
void sleep_us(uint32_t us);

// A wait's limit that no run reaches: about 68 years.
constexpr int32_t HOLD_FOR_EVER_SECONDS = INT32_MAX;

// Looks at the events (a key press ends the wait; a stop request or a lost
// display ends the run), then ends the wait once the whole seconds since
// scene_start exceed limit_seconds; naps in between, never past the next
// whole second.
void wait_seconds_or_key(const clock_time* scene_start, int32_t limit_seconds);

// Naps until at least FRAME_MS ticks have passed since *last_frame_ticks
// (unsigned 32-bit difference), then stores the reading that ended the wait.
void wait_for_next_frame(uint32_t* last_frame_ticks);

// True when the whole seconds of now minus those of start exceed limit.
bool seconds_exceeded(const clock_time* start, const clock_time* now, int64_t limit);

// Naps between two looks at the events: WAIT_POLL_US, or less when the next
// whole second of `now` comes sooner, so a scene ends right on it.
void nap_until_next_look(const clock_time* now);
