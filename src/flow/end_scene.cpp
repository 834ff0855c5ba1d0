// The closing scene's loop around the end screen's drawing.
#include "flow/end_scene.h"
#include "endscreen/endscreen.h"
#include "flow/events.h"
#include "flow/timing.h"
#include "music/music.h"
#include "platform/platform.h"
#include "screen/screen.h"

// Frames 56 ms apart (the drawing's time comes on top): the tune is faded
// after 30 seconds and its end closes the scene; a key press closes it at
// once. Window-close requests are dropped, since only a key is meant to leave
// early. True when the scene ended so, false once every cycle was shown.
static bool show_cycles() {
    clock_time start;
    clock_time now;
    bool widening = false;
    int32_t bar_colour = END_START_COLOUR;

    clear_screen();
    get_clock_time(&start);
    video_present();

    for (int cycle = 0; cycle < END_CYCLES; ++cycle) {
        widening = !widening;
        for (int step = END_FIRST_STEP; step < END_STEP_LIMIT; ++step) {
            draw_end_screen_frame(widening, step, &bar_colour);
            video_present();
            sleep_us(END_FRAME_US);
            get_clock_time(&now);
            if (seconds_exceeded(&start, &now, END_FADE_AFTER_S)) music_fade_out(END_FADE_MS);
            if (!music_playing()) return true;
            const events_seen seen = look_at_events();
            end_run_if_asked(seen);
            if (seen.key_pressed) return true;
        }
    }
    return false;
}

int run_end_screen() {
    if (!show_cycles()) {
        // Every cycle shown: hold the last picture until a key is pressed, idle.
        video_present();
        clock_time held;
        get_clock_time(&held);
        wait_seconds_or_key(&held, HOLD_FOR_EVER_SECONDS);
    }
    platform_shut_down();
    return 0;
}
