// The thin platform layer: the clock, sleeping, the tick counter, the event
// queue and the requests to stop that arrive as signals. The real driver
// is platform_sdl.cpp (ticks, events) with platform_posix.cpp (clock, sleeps,
// signals); platform_null.cpp runs the same calls on a virtual clock for tests
// and offline rendering.
#pragma once
#include <cstdint>

union SDL_Event;
struct SDL_Window;

// Makes the process safe to run however it was started: the standard streams
// are open (a closed one points at the null device, so no other file takes
// its number), and a write to a broken pipe fails instead of ending the
// process. Called first of all.
void platform_settle_process();

// Microseconds on a clock that moves forwards at the pace of real time and
// that no change of the system's date and time can step; its origin is
// arbitrary. Scene lengths and the tune's timing are measured on it.
int64_t platform_clock_us();

// Idles for about `microseconds` without using the processor (finer than a
// millisecond where the system can); returns early when a stop is requested.
void platform_nap_us(uint32_t microseconds);

// Asks the system to wake the calling thread promptly and precisely from its
// naps (the frame pacing relies on it when other programs keep the processors
// busy); a request only, nothing fails without it.
void platform_request_prompt_wakeups();

// The start-up tables are being built: `done` of `total` steps so far. A web
// page shows it as a progress bar and gets the browser's thread back for a
// moment; elsewhere nothing happens.
void platform_startup_progress(int done, int total);

// Milliseconds since SDL was initialised, wrapping at 2^32.
uint32_t platform_ticks();

// Moves what the window system has sent onto the event queue.
void platform_pump_events();

// Takes up to `max` events off the queue, oldest first, without pumping, and
// returns how many: after one pump, only what was queued at that moment.
int platform_take_events(SDL_Event* events, int max);

// The size of the part of a surface of surface_w x surface_h that the window
// really shows: a window that its display did not make full screen shows only
// its own size, from the surface's top-left corner.
void platform_window_shown_size(SDL_Window* window, int surface_w, int surface_h, int* w, int* h);

// From here on, an interrupt, termination or hang-up only asks the run to end
// (platform_quit_signal); before this call they end the process at once.
void platform_watch_signals();

// The signal that asked the run to end, 0 while none has.
int platform_quit_signal();

// Ends the process as `signal` would have ended it (status 128 + signal for a
// shell); called after SDL_Quit has put the display back.
void platform_end_by_signal(int signal);
