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

// SDL's video, before the tables, so a machine without a display is told so
// at once. 0 when it runs, else the exit status (after one line).
static int start_video() {
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
    // gets the show (the music falls back to silence), and video is never
    // started twice, which some GL drivers do not survive. The libraries SDL
    // tries print their own lines when they find nothing; ours says what was
    // tried.
    platform_quiet_probing(true);
    const int started = SDL_Init(SDL_INIT_VIDEO);
    platform_quiet_probing(false);
    if (started != 0) return fail_start_up("SDL_Init");
    if (video_driver_shows_nothing()) {
        say_no_display();
        SDL_Quit();
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

// The full-screen window and the screen attached to it. 0 when it is up, else
// the exit status (after one line).
static int open_window() {
    SDL_Window* window = SDL_CreateWindow("ZVK-MOXBAR", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          SCREEN_W, SCREEN_H, WINDOW_FLAGS);
    if (!window) return fail_start_up("SDL_CreateWindow");
    platform_watch_display(window);
    platform_fit_window(window);
    SDL_ShowCursor(SDL_DISABLE);
    if (!attach_window_screen(window)) return fail_start_up("showing the window (its surface, then SDL's renderer)");
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
