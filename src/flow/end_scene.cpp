// The closing scene's loop around the end screen's drawing.
#include "flow/end_scene.h"
#include "endscreen/endscreen.h"
#include "flow/scene_events.h"
#include "flow/timing.h"
#include "music/music.h"
#include "screen/screen.h"
#include "screen/surface.h"

// Frames 56 ms apart (the drawing's time comes on top): the tune is faded
// after 30 seconds and its end closes the scene; a key press closes it at
// once. Window-close requests are dropped, since only a key is meant to leave
// early.
int run_end_screen() {
    clock_time start;
    clock_time now;
    int cycles_left = END_CYCLES;
    bool widening = false;
    int step;
    int32_t bar_colour = END_START_COLOUR;

    clear_screen();
    get_clock_time(&start);
    present_screen();

    while (cycles_left > 0) {
        step = END_FIRST_STEP;
        widening = !widening;
        while (step < END_STEP_LIMIT) {
            draw_end_screen_frame(widening, step, &bar_colour);
            present_screen();
            sleep_us(END_FRAME_US);
            get_clock_time(&now);
            if (seconds_exceeded(&start, &now, END_FADE_AFTER_S)) music_fade_out(END_FADE_MS);
            if (music_playing() == 0 || scene_key_pressed()) {
                quit_sdl();
                return 0;
            }
            step += 1;
        }
        cycles_left -= 1;
    }

    // Every cycle shown: hold the last picture until a key is pressed, idle.
    present_screen();
    for (;;) {
        if (scene_key_pressed()) break;
        get_clock_time(&now);
        nap_until_next_look(&now);
    }
    quit_sdl();
    return 0;
}
