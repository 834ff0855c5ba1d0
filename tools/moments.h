// Single moments of the show drawn into screen_pixels without a window, with
// the demo's own drawing routines: shared by the capture tool and the golden
// frame test, so both see exactly the same pictures.
#pragma once
#include "flow/main_scene.h"  // draw_main_pass: one pass as the main loop draws it
#include <cstdint>

// State of the main loop between two passes.
struct main_state {
    int32_t plasma_tick;
    int32_t scroll_pos;
    int32_t logo_pos;
    int32_t logo_dir;
};

// Highest pass number the tools accept; the show itself stops after about 5300.
constexpr int64_t MAIN_PASS_MAX = 1000000;

// Points screen_pixels at a private 1280 x 720 buffer (plain memory, black a
// zero word) and returns it. Every moment is drawn there.
uint8_t* moment_screen();

// Builds the tables the main scene reads (scroll strip, logo offsets, plasma),
// once; the title, credits and end screen need none. False, after a line on
// standard error, when memory cannot be had.
bool prepare_main_tables();

// The main loop's state after `passes` passes, worked out without running them.
main_state main_state_after(int64_t passes);

// Puts a state into the demo's globals and returns the logo's part of it.
void apply_main_state(const main_state* s, int32_t* logo_pos, int32_t* logo_dir);


// Bar colour at the start of end-screen frame `frame` (0-based over the whole
// end screen), from its start value and the rows every frame advances it.
int32_t end_bar_colour_before(int64_t frame);

// The pictures. The main moment N is what the loop presents at pass N + 1,
// i.e. the drawing of pass N; N = 0 is the black screen shown first.
void draw_title_moment();
void draw_credits_moment();
void draw_main_moment(int64_t passes);   // needs prepare_main_tables()
void draw_end_moment(int cycle, int step);  // cycle 1..600, step 2..49
