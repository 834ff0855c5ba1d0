// Everything the main scene reads is built here, before the window opens,
// including the tables of the drawing routines this machine will run.
#include "assets.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "flow/demo.h"
#include "platform/platform.h"
#include "text/scroller.h"
#include <algorithm>

// Logo frames built between two words of progress: short enough for a page
// that shows the progress to stay responsive, long enough to cost nothing.
constexpr int LOGO_BUILD_BLOCK = 12;

bool precompute_all() {
    // Progress in logo frames, plus a step before and a step after them.
    constexpr int steps = LOGO_FRAME_COUNT + 2;
    platform_startup_progress(0, steps);
    plasma_tick = 0;
    scroll_pos = 0;
    if (!obtain_scroll_strip()) return false;
    render_scroll_strip(scroll_text);
    if (!allocate_logo_frames()) return false;
    platform_startup_progress(1, steps);
    for (int f = 0; f < LOGO_FRAME_COUNT; f += LOGO_BUILD_BLOCK) {
        const int end = std::min(f + LOGO_BUILD_BLOCK, LOGO_FRAME_COUNT);
        build_logo_frames_range(logo_frames, f, end);
        platform_startup_progress(1 + end, steps);
    }
    prepare_logo_drawing(logo_picture);
    build_plasma_palette();
    if (!build_plasma_field()) return false;
    build_plasma_phase();
    choose_plasma_routine();
    platform_startup_progress(steps, steps);
    return true;
}
