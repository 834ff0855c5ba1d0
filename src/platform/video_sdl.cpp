// The video half of the SDL driver: the display found or refused, the
// full-screen window, its events, presenting, and the way out. How the screen
// reaches the window is video_screen.cpp's; what SDL does not say about the
// window system is window_system.cpp's.
#include "platform/driver.h"
#include "platform/os_memory.h"
#include "platform/platform.h"
#include "platform/video_screen.h"
#include <SDL.h>
#include <cstdio>
#include <cstdlib>

// Without a window, or a way to show it, nothing can be shown: say what
// failed, on which of SDL's video drivers (and, when memory ran out, how much
// the show needs).
static int fail_start_up(const char* what) {
    char why[256];
    SDL_strlcpy(why, SDL_GetError(), sizeof why);  // asking for the driver may set another
    const char* driver = SDL_GetCurrentVideoDriver();
    std::fprintf(stderr, "tapehiss: %s failed%s%s%s: %s", what, driver ? " on SDL's '" : "", driver ? driver : "",
                 driver ? "' video driver" : "", *why ? why : "no reason given");
    if (SDL_strstr(why, "Out of memory"))
        std::fprintf(stderr, ": the show needs about %zu MB of memory\n", SHOW_MEMORY_MB);
    else
        std::fputc('\n', stderr);
    platform_shut_down();
    return 1;
}

// SDL falls back to drivers that show nothing when it finds no display; unless
// they were asked for (tests, offline runs), a show nobody can see is refused.
static bool video_driver_shows_nothing() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (asked && *asked) return false;
    return driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

// One line on what was tried and why it failed, as far as that can be told.
static void say_no_display() {
    const char* x11 = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const char* runtime_dir = SDL_getenv("XDG_RUNTIME_DIR");
    const bool has_x11 = x11 && *x11, has_wayland = wayland && *wayland;
    char tried[512] = "";
    if (has_x11)
        SDL_snprintf(tried, sizeof tried, "cannot open the X display '%s' (DISPLAY): %s", x11,
                     platform_x_display_trouble(x11));
    if (has_wayland)
        SDL_snprintf(tried + SDL_strlen(tried), sizeof tried - SDL_strlen(tried),
                     "%scannot reach the Wayland display '%s' (WAYLAND_DISPLAY)%s", has_x11 ? "; " : "", wayland,
                     wayland[0] != '/' && !(runtime_dir && *runtime_dir) ? ": XDG_RUNTIME_DIR is not set"
                                                                         : ": no compositor answers there");
    if (!has_x11 && !has_wayland)
        SDL_strlcpy(tried, "no display found: run it from a desktop session (DISPLAY and WAYLAND_DISPLAY are not set)",
                    sizeof tried);
    std::fprintf(stderr, "tapehiss: %s; SDL fell back to its '%s' video driver\n", tried,
                 SDL_GetCurrentVideoDriver());
}

int video_start() {
    // Stop signals are ours to handle (SDL would turn them into the
    // window-close request, which the show ignores).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window surface stays plain memory that SDL hands to the display:
    // backing it with a GL texture would load a whole GL stack (tens of
    // megabytes, more on software rendering) for a copy we do not need.
    // Where no such surface exists, the screen goes through SDL's renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // The show stays up when another window takes the focus (a window manager
    // that starts later, alt-tab, a notification): SDL would minimize it,
    // leaving the screen black and the keys going elsewhere.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // A full-screen window needs no decorations: on Wayland, no libdecor
    // (which prints lines of its own when it finds no plugins).
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    // Audio on its own, when the tune starts: a machine without sound still
    // gets the show, and video is never started twice, which some GL drivers
    // do not survive. The libraries SDL tries print their own lines when they
    // find nothing; ours says what was tried.
    platform_quiet_probing(true);
    const int started = SDL_Init(SDL_INIT_VIDEO);
    platform_quiet_probing(false);
    if (started != 0) return fail_start_up("SDL_Init");
    if (video_driver_shows_nothing()) {
        say_no_display();
        platform_shut_down();
        return 1;
    }
    return 0;
}

// Full screen at the desktop's own size, with no display mode asked for: the
// picture is letterboxed and scaled by our own exact routine. Xwayland and
// Wayland compositors only pretend to change a mode and then enlarge the
// window with their own filtered scaling; and after a mode change, SDL's X
// error handler reaches for the display to put the mode back, which blocks
// for ever when the display is on its way out. A web page cannot take the
// screen by itself: its canvas keeps the screen's size and the page asks for
// full screen on its start click (with the full-screen flag SDL would resize
// the canvas to the display).
#ifdef __EMSCRIPTEN__
constexpr Uint32 WINDOW_FLAGS = SDL_WINDOW_SHOWN;
#else
constexpr Uint32 WINDOW_FLAGS = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_SHOWN;
#endif

int video_open_window() {
    SDL_Window* window = SDL_CreateWindow("ZVK-MOXBAR", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          SCREEN_W, SCREEN_H, WINDOW_FLAGS);
    if (!window) return fail_start_up("SDL_CreateWindow");
    platform_watch_display(window);
    platform_fit_window(window);
    SDL_ShowCursor(SDL_DISABLE);
    if (!attach_window_screen(window)) return fail_start_up("showing the window (its surface, then SDL's renderer)");
    SDL_InitSubSystem(SDL_INIT_TIMER);
    return 0;
}

void video_present() { present_screen(); }

// How many events one take from the queue handles at a time.
static constexpr int EVENT_BLOCK = 64;

// What one block of queued events asks for, up to and including its first key
// press; *count becomes how many of them that is.
static uint32_t read_events(const SDL_Event* events, int* count, bool* resized, bool* exposed) {
    for (int i = 0; i < *count; ++i) {
        const SDL_Event& e = events[i];
        if (e.type == SDL_KEYDOWN) {
            *count = i + 1;
            return VIDEO_KEY;
        }
        if (e.type != SDL_WINDOWEVENT) continue;
        // A move changes which part of the window is on the screen.
        const Uint8 w = e.window.event;
        *resized |= w == SDL_WINDOWEVENT_SIZE_CHANGED || w == SDL_WINDOWEVENT_RESIZED || w == SDL_WINDOWEVENT_MOVED;
        *exposed |= w == SDL_WINDOWEVENT_EXPOSED || w == SDL_WINDOWEVENT_SHOWN || w == SDL_WINDOWEVENT_RESTORED;
    }
    return VIDEO_NOTHING;
}

uint32_t video_take_events() {
    uint32_t news = VIDEO_NOTHING;
    bool resized = false, exposed = false;
    SDL_Event events[EVENT_BLOCK];
    // One pump, then only what was queued then: a stream of new events (a
    // mouse moved on and on) cannot keep the caller here.
    platform_pump_events();
    int seen;
    do {
        seen = platform_take_events(events, EVENT_BLOCK, true);
        int used = seen;
        news |= read_events(events, &used, &resized, &exposed);
        platform_take_events(events, used, false);
        if (news & VIDEO_KEY) break;
    } while (seen == EVENT_BLOCK);
    if (platform_display_lost()) news |= VIDEO_DISPLAY_LOST;
    // A new size brings a new surface, which needs the picture again.
    if (resized)
        window_size_changed();
    else if (exposed)
        present_screen();
    return news;
}

void video_end_display_lost() {
    // Unbuffered, and no flush of every stream: the mixer's thread may hold
    // one, blocked in its write.
    std::fputs("tapehiss: the display connection was lost\n", stderr);
    std::_Exit(1);
}

void platform_shut_down() {
    if (!end_sound_opening()) return;
    // The display first: giving the screen back is what must not wait.
    detach_window_screen();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    sound_close_and_quit();
}

void platform_end_on_signal(int signal) {
    // Only the display is let go; the sound ends with the process (closing it
    // would wait for the mixer's thread to finish a buffer, or for ever).
    if (end_sound_opening()) {
        detach_window_screen();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    platform_raise(signal);
}
