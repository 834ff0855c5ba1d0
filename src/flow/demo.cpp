// The run from start to exit: tables, window, title, credits, main scene, end
// screen.
#include "flow/demo.h"
#include "assets.h"
#include "flow/end_scene.h"
#include "flow/main_scene.h"
#include "flow/timing.h"
#include "platform/os_memory.h"
#include "platform/platform.h"
#include "screen/screen.h"
#include "screen/surface.h"
#include "text/font.h"
#include <SDL.h>
#include <cstdio>

void draw_credits() {
    draw_picture_block(CREDITS_LOGO_X, CREDITS_LOGO_Y, LOGO_W, LOGO_H);
    for (int i = 0; i < CREDITS_LINE_COUNT; ++i) draw_text_screen(credits_lines[i], CREDITS_TEXT_X, credits_line_y[i]);
}

// Without a window or its surface nothing can be shown: say which call failed
// (and, when memory ran out, how much the show needs).
static int fail_start_up(const char* call) {
    const char* why = SDL_GetError();
    if (SDL_strstr(why, "Out of memory"))
        std::fprintf(stderr, "tapehiss: %s failed: %s: the show needs about %zu MB of memory\n", call, why,
                     SHOW_MEMORY_MB);
    else
        std::fprintf(stderr, "tapehiss: %s failed: %s\n", call, why);
    SDL_Quit();
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

// SDL's video, before the tables, so a machine without a display is told so
// at once. 0 when it runs, else the exit status (after one line).
static int start_video() {
    // Stop signals are ours to handle (SDL would turn them into the
    // window-close request, which the show ignores).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window surface stays plain memory that SDL hands to the display:
    // backing it with a GL texture would load a whole GL stack (tens of
    // megabytes, more on software rendering) for a copy we do not need.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Audio on its own, when the tune starts: a machine without sound still
    // gets the show (the music falls back to silence), and video is never
    // started twice, which some GL drivers do not survive.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail_start_up("SDL_Init");
    if (video_driver_shows_nothing()) {
        std::fprintf(stderr,
                     "tapehiss: no display found (SDL fell back to its '%s' driver): run it from a desktop "
                     "session, or set DISPLAY (X11) or WAYLAND_DISPLAY\n",
                     SDL_GetCurrentVideoDriver());
        SDL_Quit();
        return 1;
    }
    return 0;
}

// A web page cannot take the screen by itself: its canvas keeps the screen's
// size and the page asks for full screen on its start click (with the
// full-screen flag SDL would resize the canvas to the display).
#ifdef __EMSCRIPTEN__
constexpr Uint32 WINDOW_FLAGS = SDL_WINDOW_SHOWN;
#else
constexpr Uint32 WINDOW_FLAGS = SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN;
#endif

// The full-screen window and the screen attached to its surface. 0 when it
// is up, else the exit status (after one line).
static int open_window() {
    SDL_Window* window = SDL_CreateWindow("ZVK-MOXBAR", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          SCREEN_W, SCREEN_H, WINDOW_FLAGS);
    if (!window) return fail_start_up("SDL_CreateWindow");
    SDL_ShowCursor(SDL_DISABLE);
    SDL_DisplayMode mode{SDL_PIXELFORMAT_BGRA8888, SCREEN_W, SCREEN_H, 60, nullptr};
    SDL_SetWindowDisplayMode(window, &mode);
    if (!attach_window_screen(window)) return fail_start_up("SDL_GetWindowSurface");
    return 0;
}

// A still picture held until its time is up or a key is pressed; the
// reading taken when it appeared lands in *shown.
static void hold_picture(clock_time* shown, int32_t limit_seconds) {
    present_screen();
    get_clock_time(shown);
    wait_seconds_or_key(shown, limit_seconds);
}

int demo_main() {
    platform_settle_process();
    if (int status = start_video()) return status;
    if (!precompute_all()) {
        SDL_Quit();
        return 1;
    }
    // Until now a stop signal simply ended the process; from the window on it
    // is a request that the run answers by putting the display back first.
    platform_watch_signals();
    platform_request_prompt_wakeups();
    if (int status = open_window()) return status;
    SDL_InitSubSystem(SDL_INIT_TIMER);

    clock_time scene_start;
    copy_title_picture();
    hold_picture(&scene_start, TITLE_SECONDS);

    // The credits' reading also bounds the main scene. The title's pages can
    // go once it is covered (a new surface may still have needed it).
    clear_screen();
    release_title_picture();
    draw_credits();
    hold_picture(&scene_start, CREDITS_SECONDS);

    if (!run_main_scene(&scene_start)) return 0;
    return run_end_screen();
}
