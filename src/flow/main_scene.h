// The main scene: plasma, rotating logo and scroller, one pass per 13 ms,
// until its time limit, a key press or the end of the tune.
#pragma once
#include <cstdint>

struct clock_time;

// One main-loop pass's drawing: plasma, logo at its position, scroller; then
// the logo animation moves on.
void draw_main_pass(int32_t* logo_frame_pos, int32_t* logo_direction);

// Moves the logo animation on by one frame and turns it at either end.
void step_logo_animation(int32_t* logo_frame_pos, int32_t* logo_direction);

// Outcome of the exit tests at the end of a main-loop pass.
enum main_loop_exit { MAIN_LOOP_CONTINUE, MAIN_LOOP_TO_END_SCREEN, MAIN_LOOP_QUIT };

// Runs the exit tests in their order: time limit (counted from scene_start, the
// credits' reading; no event is taken then), the events queued (a key press
// leads to the end screen; a stop request or a lost display ends the run
// here), the end of the tune.
main_loop_exit run_exit_tests(const clock_time* scene_start);

// Starts the tune, then runs the passes until an exit test holds. True when
// the end screen comes next; false when the tune stopped and the platform has
// been shut down.
bool run_main_scene(const clock_time* scene_start);
