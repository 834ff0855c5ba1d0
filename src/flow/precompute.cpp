// Everything the main scene reads is built here, before the window opens,
// including the tables of the drawing routines this machine will run.
#include "assets.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "flow/demo.h"
#include "text/scroller.h"

bool precompute_all() {
    plasma_tick = 0;
    scroll_pos = 0;
    if (!obtain_scroll_strip()) return false;
    render_scroll_strip(scroll_text);
    if (!allocate_logo_frames()) return false;
    build_logo_frames();
    prepare_logo_drawing(logo_picture);
    build_plasma_palette();
    if (!build_plasma_field()) return false;
    build_plasma_phase();
    choose_plasma_routine();
    return true;
}
