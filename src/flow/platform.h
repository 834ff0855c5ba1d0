// The thin platform layer: the wall clock, sleeping, the tick counter and the
// event queue. platform_sdl.cpp is the real driver; platform_null.cpp runs the
// same calls on a virtual clock for tests and offline rendering.
#pragma once
#include <SDL.h>
#include <cstdint>

// Seconds since 1970 and microseconds within that second, from the real-time
// clock (the one the user or the network may set).
void platform_wall_clock(int32_t* seconds, int32_t* microseconds);

// Sleeps whole milliseconds; 0 only gives up the rest of the time slice.
void platform_sleep_ms(uint32_t milliseconds);

// Milliseconds since SDL was initialised, wrapping at 2^32.
uint32_t platform_ticks();

// Takes at most one event off the queue; 1 if one was taken.
int platform_poll_event(SDL_Event* event);
