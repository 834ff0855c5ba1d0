// The one line between the show and the machine it runs on. The scenes ask
// the system for its clock, naps and stop requests, the video for a window,
// its events and the showing of the screen, and the sound for the tune.
// Nothing above this line knows SDL, X11, Wayland, POSIX, Windows or a web
// page.
//
// Behind it sit SDL's video and sound (video_sdl.cpp, sound_sdl.cpp) over one
// system half: system_posix.cpp, system_win.cpp or system_web.cpp with the
// window system's ways (window_system.cpp); or, for tests and offline tools,
// the null system (system_null.cpp), a virtual clock beside SDL's offscreen
// and dummy drivers.
#pragma once
#include <cstddef>
#include <cstdint>

// The show's entry, which the driver's main calls once; its result is the
// process's exit status.
int demo_main();

// --- system ------------------------------------------------------------------

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

// Milliseconds on the main loop's tick counter, wrapping at 2^32.
uint32_t platform_ticks();

// Asks the system to wake the calling thread promptly and precisely from its
// naps (the frame pacing relies on it when other programs keep the processors
// busy); a request only, nothing fails without it.
void platform_request_prompt_wakeups();

// The start-up tables are being built: `done` of `total` steps so far. A web
// page shows it as a progress bar and gets the browser's thread back for a
// moment; elsewhere nothing happens.
void platform_startup_progress(int done, int total);

// From here on, an interrupt, termination or hang-up only asks the run to end
// (platform_stop_signal); before this call they end the process at once.
void platform_watch_signals();

// The signal that asked the run to end, 0 while none has.
int platform_stop_signal();

// --- video -------------------------------------------------------------------

// Starts the video side before anything else is built, so a machine without a
// display is told so at once. 0 when a display was found, else the exit
// status, after one line that says what was tried and why it failed.
int video_start();

// The full-screen window with the screen attached to it: from here on
// screen_pixels points where drawing goes. 0, or the exit status after one
// line naming what failed (SDL is shut down then).
int video_open_window();

// Shows the screen as it is now.
void video_present();

// What the window system's events said to the show; flags.
enum video_news : uint32_t {
    VIDEO_NOTHING = 0,
    VIDEO_KEY = 1,           // a key was pressed
    VIDEO_DISPLAY_LOST = 2,  // the display connection broke: the run must end
};

// Takes the events queued at this moment, up to and including the first key
// press (a key behind it is left for the next call, so every press counts).
// A window that changed size, moved or was uncovered gets the current picture
// again; window-close requests and every other event are dropped.
uint32_t video_take_events();

// Says in one line that the display connection was lost and ends the process
// with status 1; nothing is asked of the display, which is gone.
[[noreturn]] void video_end_display_lost();

// --- sound -------------------------------------------------------------------

// How long the sound output may take to open, in real time (a bound on the
// system, not a scene's length).
constexpr uint32_t SOUND_OPEN_LIMIT_MS = 2000;

// Opens the sound output within SOUND_OPEN_LIMIT_MS. False when it failed,
// took longer or a stop was requested meanwhile; sound_trouble says why. An
// output that opens later stays silent.
bool sound_open();

// Loads the tune from `bytes` in place (no copy) and starts it once at
// `volume` (of 128). False when it will not load or play; sound_trouble says
// why.
bool sound_play(const uint8_t* bytes, size_t size, int volume);

// Why the last sound_open or sound_play failed.
const char* sound_trouble();

// True while the mixer says the tune plays (a stalled device keeps saying so).
bool sound_playing();

// Fades the tune out over `ms`; a repeated request continues the fade under
// way.
void sound_fade_out(int ms);

// --- the end -----------------------------------------------------------------

// Lets the window go and shuts SDL down. A sound device that has stopped
// taking samples, or is still opening, is not waited for: it is left to the
// kernel, which closes it with the process.
void platform_shut_down();

// Ends the process as `signal` would have ended it (a shell sees 128 +
// signal), once the window has been let go. Waits for nothing: the sound ends
// with the process.
[[noreturn]] void platform_end_on_signal(int signal);
