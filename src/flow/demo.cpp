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
#include "text/font.h"

void draw_credits() {
    draw_picture_block(CREDITS_LOGO_X, CREDITS_LOGO_Y, LOGO_W, LOGO_H);
    for (int i = 0; i < CREDITS_LINE_COUNT; ++i) draw_text_screen(credits_lines[i], CREDITS_TEXT_X, credits_line_y[i]);
}

// A still picture held until its time is up or a key is pressed; the
// reading taken when it appeared lands in *shown.
static void hold_picture(clock_time* shown, int32_t limit_seconds) {
    video_present();
    get_clock_time(shown);
    wait_seconds_or_key(shown, limit_seconds);
}

int demo_main() {
    platform_settle_process();
    if (int status = video_start()) return status;
    if (!precompute_all()) {
        platform_shut_down();
        return 1;
    }
    // Until now a stop signal simply ended the process; from the window on it
    // is a request that the run answers by letting the display go first.
    platform_watch_signals();
    platform_request_prompt_wakeups();
    if (int status = video_open_window()) return status;

    clock_time scene_start;
    copy_title_picture();
    hold_picture(&scene_start, TITLE_SECONDS);

    // The credits' reading also bounds the main scene. The title is shown
    // once: its pages can go back to the system once it is covered (a new
    // window surface may still have needed it).
    clear_screen();
    os_release_pages(title_picture, SCREEN_BYTES);
    draw_credits();
    hold_picture(&scene_start, CREDITS_SECONDS);

    if (!run_main_scene(&scene_start)) return 0;
    return run_end_screen();
}
