// The run from start to exit: tables, window, title, credits, music, main loop,
// end screen.
#include "flow/demo.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "endscreen/endscreen.h"
#include "flow/platform.h"
#include "flow/screen.h"
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

static constexpr int32_t MAIN_SCENE_SECONDS = 75;

void step_logo_animation(int32_t* logo_frame_pos, int32_t* logo_direction) {
    *logo_frame_pos += *logo_direction * LOGO_FRAME_ENTRIES;
    if (*logo_frame_pos > LOGO_TURN_POS)
        *logo_direction = -1;
    else if (*logo_frame_pos <= 0)
        *logo_direction = +1;
}

void draw_credits() {
    draw_picture_block(200, 200, 766, 154);
    for (int i = 0; i < 5; ++i) draw_text_screen(credits_lines[i], 250, credits_line_y[i]);
}

void draw_main_pass(int32_t* logo_frame_pos, int32_t* logo_direction) {
    render_plasma();
    draw_logo_frame(*logo_frame_pos, *logo_direction);
    draw_scroller();
    step_logo_animation(logo_frame_pos, logo_direction);
}

main_loop_exit main_loop_exit_test(const wall_time* scene_start, SDL_Event* event) {
    wall_time now;
    get_wall_time(&now);
    if (seconds_exceeded(scene_start, &now, MAIN_SCENE_SECONDS)) return MAIN_LOOP_TO_END_SCREEN;
    if (platform_poll_event(event) && event->type == SDL_KEYDOWN) return MAIN_LOOP_TO_END_SCREEN;
    if (!music_playing()) return MAIN_LOOP_QUIT;
    return MAIN_LOOP_CONTINUE;
}

// Without a window or its surface nothing can be shown: say which call failed.
static int fail_start_up(const char* call) {
    std::fprintf(stderr, "tapehiss: %s failed: %s\n", call, SDL_GetError());
    SDL_Quit();
    return 1;
}

int demo_main() {
    if (!precompute_all()) return 1;

    // Video first and audio on its own: a machine without sound still gets
    // the show (the music falls back to silence), and video is never started
    // twice, which some GL drivers do not survive.
    // The window surface stays plain memory that SDL hands to the display:
    // backing it with a GL texture would load a whole GL stack (tens of
    // megabytes, more on software rendering) for a copy we do not need.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail_start_up("SDL_Init");
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    SDL_Window* window = SDL_CreateWindow("ZVK-MOXBAR", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          SCREEN_W, SCREEN_H, SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN);
    if (!window) return fail_start_up("SDL_CreateWindow");
    SDL_ShowCursor(SDL_DISABLE);
    SDL_DisplayMode mode{SDL_PIXELFORMAT_BGRA8888, SCREEN_W, SCREEN_H, 60, nullptr};
    SDL_SetWindowDisplayMode(window, &mode);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return fail_start_up("SDL_GetWindowSurface");
    SDL_InitSubSystem(SDL_INIT_TIMER);
    attach_screen(surface);

    SDL_Event event;
    wall_time scene_start;

    // Title.
    copy_title_picture();
    present_screen(window);
    release_title_picture();
    get_wall_time(&scene_start);
    wait_seconds_or_key(&scene_start, 5, &event);

    // Credits. Their clock reading also bounds the main scene.
    clear_screen(surface);
    draw_credits();
    present_screen(window);
    get_wall_time(&scene_start);
    wait_seconds_or_key(&scene_start, 6, &event);

    Mix_Music* music = start_music();
    (void)music;  // held for the rest of the run, never freed
    clear_screen(surface);
    present_screen(window);

    uint32_t last_frame_ticks = platform_ticks();
    int32_t logo_direction = +1;
    int32_t logo_frame_pos = 0;
    for (;;) {
        wait_for_next_frame(&last_frame_ticks);
        present_screen(window);  // shows what the previous pass drew
        draw_main_pass(&logo_frame_pos, &logo_direction);

        main_loop_exit exit = main_loop_exit_test(&scene_start, &event);
        if (exit == MAIN_LOOP_TO_END_SCREEN) break;
        if (exit == MAIN_LOOP_QUIT) {
            SDL_Quit();
            return 0;
        }
    }
    run_end_screen(window, surface);
    return 0;
}
