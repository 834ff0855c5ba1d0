// The thin platform layer: the clock, sleeping, the tick counter, the event
// queue and the requests to stop that arrive as signals. The real driver
// is platform_sdl.cpp (ticks, events) with platform_posix.cpp (clock, sleeps,
// signals); platform_null.cpp runs the same calls on a virtual clock for tests
// and offline rendering.
#pragma once
#include <cstdint>

union SDL_Event;
struct SDL_Rect;
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

// The part of the window's drawing area (drawable_w x drawable_h pixels, its
// surface or its renderer's output) that the screen really shows, in the
// area's own coordinates: a window that its display did not make full screen
// shows only its own size, and one hanging over the screen's edges (no window
// manager to place it) only the part on the screen. The whole area where the
// window system says nothing else.
void platform_window_shown_area(SDL_Window* window, int drawable_w, int drawable_h, SDL_Rect* area);

// Makes the full-screen window cover its screen where the window system left
// it otherwise: a window manager that started after the window is asked to
// make it full screen; without one, the window (which an X server leaves at
// its own size, centred, even hanging over the edges of a smaller screen) is
// moved and sized to cover the screen exactly.
void platform_fit_window(SDL_Window* window);

// While SDL looks for a display (true), what the libraries it tries print
// is kept off standard error; false lets it through again. When no display
// is found, one line of ours says what was tried.
void platform_quiet_probing(bool quiet);

// Why the X display `name` (the value of DISPLAY) could not be opened, as a
// phrase: too many open files, no X server there, or one that refused us.
const char* platform_x_display_trouble(const char* name);

// From here on, the end of the window's display connection (the display
// server or compositor ended or crashed) ends the run with
// platform_end_display_lost, wherever it is noticed.
void platform_watch_display(SDL_Window* window);

// True once the display connection watched has broken and the run must end.
bool platform_display_lost();

// Says in one line that the display connection was lost and ends the
// process with status 1 (the tune ends with it); nothing is asked of the
// display, which is gone.
[[noreturn]] void platform_end_display_lost();

// From here on, an interrupt, termination or hang-up only asks the run to end
// (platform_quit_signal); before this call they end the process at once.
void platform_watch_signals();

// The signal that asked the run to end, 0 while none has.
int platform_quit_signal();

// Ends the process as `signal` would have ended it (status 128 + signal for a
// shell); called after SDL_Quit has put the display back.
void platform_end_by_signal(int signal);
