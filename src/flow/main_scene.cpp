// The main scene's loop: present the previous pass, draw the next, test for
// the way out.
#include "flow/main_scene.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "flow/demo.h"
#include "flow/events.h"
#include "flow/timing.h"
#include "music/music.h"
#include "platform/platform.h"
#include "screen/screen.h"
#include "text/scroller.h"

void step_logo_animation(int32_t* logo_frame_pos, int32_t* logo_direction) {
    *logo_frame_pos += *logo_direction * LOGO_FRAME_ENTRIES;
    if (*logo_frame_pos > LOGO_TURN_POS)
        *logo_direction = -1;
    else if (*logo_frame_pos <= 0)
        *logo_direction = +1;
}

void draw_main_pass(int32_t* logo_frame_pos, int32_t* logo_direction) {
    render_plasma();
    draw_logo_frame(*logo_frame_pos, *logo_direction);
    draw_scroller();
    step_logo_animation(logo_frame_pos, logo_direction);
}

main_loop_exit run_exit_tests(const clock_time* scene_start) {
    clock_time now;
    get_clock_time(&now);
    if (seconds_exceeded(scene_start, &now, MAIN_SCENE_SECONDS)) return MAIN_LOOP_TO_END_SCREEN;
    const events_seen seen = look_at_events();
    end_run_if_asked(seen);
    if (seen.key_pressed) return MAIN_LOOP_TO_END_SCREEN;
    if (!music_playing()) return MAIN_LOOP_QUIT;
    return MAIN_LOOP_CONTINUE;
}

bool run_main_scene(const clock_time* scene_start) {
    start_music();
    clear_screen();
    video_present();
    uint32_t last_frame_ticks = platform_ticks();
    int32_t logo_direction = +1;
    int32_t logo_frame_pos = 0;
    for (;;) {
        wait_for_next_frame(&last_frame_ticks);
        video_present();  // shows what the previous pass drew
        draw_main_pass(&logo_frame_pos, &logo_direction);
        switch (run_exit_tests(scene_start)) {
            case MAIN_LOOP_CONTINUE: break;
            case MAIN_LOOP_TO_END_SCREEN: return true;
            case MAIN_LOOP_QUIT: platform_shut_down(); return false;
        }
    }
}
