// The run from start to exit: tables, window, title, credits, music, main loop,
// end screen.
#include "flow/demo.h"
#include "assets.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "endscreen/endscreen.h"
#include "flow/events.h"
#include "flow/platform.h"
#include "flow/surface.h"
#include "flow/timing.h"
#include "music/music.h"
#include "text/font.h"
#include "text/scroller.h"
#include <SDL.h>
#include <cstdio>

const char* const credits_lines[5] = {
    "          TAPEHISS MEETS MODERNITY",
    "SAMPLED SPECCY TUNE BY GUESTSTAR HALVORNIK ZORBLE",
    "              CODE TOLBAN ZVK",
    "              GFX VIMPE ZVK",
    "           WE LOVE ZX SPECTRUM",
};
const int credits_line_y[5] = {500, 529, 558, 587, 616};

void step_logo_animation(int32_t* logo_frame_pos, int32_t* logo_direction) {
    *logo_frame_pos += *logo_direction * LOGO_FRAME_ENTRIES;
    if (*logo_frame_pos > LOGO_TURN_POS)
        *logo_direction = -1;
    else if (*logo_frame_pos <= 0)
        *logo_direction = +1;
}

void draw_credits() {
    draw_picture_block(200, 200, LOGO_W, LOGO_H);
    for (int i = 0; i < 5; ++i) draw_text_screen(credits_lines[i], 250, credits_line_y[i]);
}

void draw_main_pass(int32_t* logo_frame_pos, int32_t* logo_direction) {
    render_plasma();
    draw_logo_frame(*logo_frame_pos, *logo_direction);
    draw_scroller();
    step_logo_animation(logo_frame_pos, logo_direction);
}

main_loop_exit main_loop_exit_test(const wall_time* scene_start) {
    wall_time now;
    get_wall_time(&now);
    if (seconds_exceeded(scene_start, &now, MAIN_SCENE_SECONDS)) return MAIN_LOOP_TO_END_SCREEN;
    if (take_events_key_pressed()) return MAIN_LOOP_TO_END_SCREEN;
    if (!music_playing()) return MAIN_LOOP_QUIT;
    return MAIN_LOOP_CONTINUE;
}

// Without a window or its surface nothing can be shown: say which call failed.
static int fail_start_up(const char* call) {
    std::fprintf(stderr, "tapehiss: %s failed: %s\n", call, SDL_GetError());
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

int demo_main() {
    // Stop signals are ours to handle (SDL would turn them into the
    // window-close request, which the show ignores).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window surface stays plain memory that SDL hands to the display:
    // backing it with a GL texture would load a whole GL stack (tens of
    // megabytes, more on software rendering) for a copy we do not need.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Video first, and before the tables, so a machine without a display is
    // told so at once. Audio on its own: a machine without sound still gets
    // the show (the music falls back to silence), and video is never started
    // twice, which some GL drivers do not survive.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail_start_up("SDL_Init");
    if (video_driver_shows_nothing()) {
        std::fprintf(stderr,
                     "tapehiss: no display found (SDL fell back to its '%s' driver): run it from a desktop "
                     "session, or set DISPLAY (X11) or WAYLAND_DISPLAY\n",
                     SDL_GetCurrentVideoDriver());
        SDL_Quit();
        return 1;
    }
    if (!precompute_all()) {
        SDL_Quit();
        return 1;
    }

    // Until now a stop signal simply ended the process; from the window on it
    // is a request that the run answers by putting the display back first.
    platform_watch_signals();
    platform_request_prompt_wakeups();
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    SDL_Window* window = SDL_CreateWindow("ZVK-MOXBAR", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          SCREEN_W, SCREEN_H, SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN);
    if (!window) return fail_start_up("SDL_CreateWindow");
    SDL_ShowCursor(SDL_DISABLE);
    SDL_DisplayMode mode{SDL_PIXELFORMAT_BGRA8888, SCREEN_W, SCREEN_H, 60, nullptr};
    SDL_SetWindowDisplayMode(window, &mode);
    if (!attach_window_screen(window)) return fail_start_up("SDL_GetWindowSurface");
    SDL_InitSubSystem(SDL_INIT_TIMER);

    wall_time scene_start;

    // Title.
    copy_title_picture();
    present_screen(window);
    get_wall_time(&scene_start);
    wait_seconds_or_key(&scene_start, TITLE_SECONDS);

    // Credits. Their clock reading also bounds the main scene. The title's
    // pages can go once it is covered (a new surface may still have needed it).
    clear_screen(screen_surface());
    release_title_picture();
    draw_credits();
    present_screen(window);
    get_wall_time(&scene_start);
    wait_seconds_or_key(&scene_start, CREDITS_SECONDS);

    Mix_Music* music = start_music();
    (void)music;  // held for the rest of the run, never freed
    clear_screen(screen_surface());
    present_screen(window);

    uint32_t last_frame_ticks = platform_ticks();
    int32_t logo_direction = +1;
    int32_t logo_frame_pos = 0;
    for (;;) {
        wait_for_next_frame(&last_frame_ticks);
        present_screen(window);  // shows what the previous pass drew
        draw_main_pass(&logo_frame_pos, &logo_direction);

        main_loop_exit exit = main_loop_exit_test(&scene_start);
        if (exit == MAIN_LOOP_TO_END_SCREEN) break;
        if (exit == MAIN_LOOP_QUIT) {
            quit_sdl();
            return 0;
        }
    }
    run_end_screen(window);
    return 0;
}
