// Inside the driver, below the line of platform.h: what SDL's video and sound
// halves ask of the parts that differ between the real driver
// (window_system.cpp and system_posix.cpp, system_win.cpp or system_web.cpp)
// and the null one (system_null.cpp). Nothing above the line includes this.
#pragma once
#include <cstdint>

union SDL_Event;
struct SDL_Rect;
struct SDL_Window;

// Moves what the window system has sent onto SDL's event queue.
void platform_pump_events();

// Takes up to `max` events off the queue, oldest first, without pumping, and
// returns how many; `peek` leaves them there.
int platform_take_events(SDL_Event* events, int max, bool peek);

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
// is kept off standard error; false lets it through again.
void platform_quiet_probing(bool quiet);

// Why the X display `name` (the value of DISPLAY) could not be opened, as a
// phrase: too many open files, no X server there, or one that refused us.
const char* platform_x_display_trouble(const char* name);

// From here on, the end of the window's display connection (the display
// server or compositor ended or crashed) ends the run with
// video_end_display_lost, wherever it is noticed.
void platform_watch_display(SDL_Window* window);

// True once the display connection watched has broken.
bool platform_display_lost();

// Megabytes of address space the process may still take under its memory
// limit (ulimit -v); -1 when no limit is set (or the system says nothing).
int64_t platform_address_space_left_mb();

// While `line` is set, a crash of the calling code (a graphics driver that
// ran out of memory: SIGSEGV, SIGBUS, SIGILL, SIGFPE, an abort) ends the
// process with that line on stderr and status 1 instead; null puts the
// crashes back as they are. Only where a memory limit is set.
void platform_guard_driver_calls(const char* line);

// Ends the process as `signal` would have ended it; _exit(128 + signal) if
// it does not.
[[noreturn]] void platform_raise(int signal);

// Ends the sound opening for the way out: an opener not yet begun never
// begins. True when the way out may call SDL; false while the opener is
// inside an SDL call (no SDL call may be made beside it; the window then goes
// with the process). Once it has said true, the opener never calls SDL again.
bool end_sound_opening();

// Closes the sound output and shuts SDL down, after end_sound_opening said
// true. An output that has stopped taking samples is left open (closing it
// would wait for ever); one that stops in the very moment it is closed ends
// the process, with status 0, after a bound.
void sound_close_and_quit();
