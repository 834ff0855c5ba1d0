// Drawing one moment of the show into a screen of our own: the scenes set up
// as the run sets them up, and the main loop's state reached by arithmetic
// instead of thousands of passes.
#include "moments.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "endscreen/endscreen.h"
#include "flow/demo.h"
#include "platform/system_null.h"
#include "screen/screen.h"
#include "text/font.h"
#include "text/scroller.h"
#include <vector>

uint8_t* moment_screen() {
    static std::vector<uint8_t> bytes(SCREEN_BYTES);
    static bool ready = false;
    if (!ready) {
        // Any clock the demo routines read is the virtual one, never the wall.
        null_platform_reset();
        ready = true;
    }
    screen_pixels = bytes.data();
    screen_black = 0;  // plain memory, no alpha channel
    return bytes.data();
}

bool prepare_main_tables() {
    static bool ready = false;
    if (ready) return true;
    // The intro's own start-up, so the moments draw from exactly its tables.
    ready = precompute_all();
    return ready;
}

// Passes after which the logo is back at its start (position 0, forwards),
// found once with the loop's own step routine rather than assumed.
static int64_t logo_period() {
    static int64_t period = 0;
    if (period == 0) {
        int32_t pos = 0, dir = +1;
        do {
            step_logo_animation(&pos, &dir);
            ++period;
        } while (pos != 0 || dir != +1);
    }
    return period;
}

main_state main_state_after(int64_t passes) {
    main_state s;
    // render_plasma wraps the tick back to 0 after the last phase entry.
    s.plasma_tick = int32_t(passes % PLASMA_PHASE_LEN);
    // draw_scroller starts over at 0 when it finds the position at the strip's
    // width, then leaves it one further: 1, 2, ..., width, 1, 2, ...
    s.scroll_pos = passes == 0 ? 0 : int32_t((passes - 1) % SCROLL_STRIP_W + 1);
    s.logo_pos = 0;
    s.logo_dir = +1;
    for (int64_t i = passes % logo_period(); i > 0; --i) step_logo_animation(&s.logo_pos, &s.logo_dir);
    return s;
}

void apply_main_state(const main_state* s, int32_t* logo_pos, int32_t* logo_dir) {
    plasma_tick = s->plasma_tick;
    scroll_pos = s->scroll_pos;
    *logo_pos = s->logo_pos;
    *logo_dir = s->logo_dir;
}

int32_t end_bar_colour_before(int64_t frame) {
    constexpr int64_t rows = END_BAR_BOTTOM_ROW - END_BAR_TOP_ROW + 1;
    return end_colour_after(END_START_COLOUR, frame * rows);
}

void draw_title_moment() {
    moment_screen();
    copy_title_picture();
}

void draw_credits_moment() {
    moment_screen();
    clear_screen();
    draw_credits();
}

void draw_main_moment(int64_t passes) {
    moment_screen();
    // The credits leave the screen cleared before the first pass.
    clear_screen();
    if (passes == 0) {
        main_state s = main_state_after(0);
        int32_t pos, dir;
        apply_main_state(&s, &pos, &dir);
        return;
    }
    main_state s = main_state_after(passes - 1);
    int32_t pos, dir;
    apply_main_state(&s, &pos, &dir);
    draw_main_pass(&pos, &dir);
}

void draw_end_moment(int cycle, int step) {
    moment_screen();
    const int64_t frame = int64_t(cycle - 1) * (END_STEP_LIMIT - END_FIRST_STEP) + (step - END_FIRST_STEP);
    int32_t colour = end_bar_colour_before(frame);
    draw_end_screen_frame(cycle % 2 == 1, step, &colour);
}
