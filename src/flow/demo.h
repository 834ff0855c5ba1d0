// The whole run: precomputation, window, title, credits, music, main loop and
// the hand-over to the end screen.
#pragma once
#include <cstdint>

constexpr int32_t LOGO_TURN_POS = 62758079;   // beyond this the logo runs backwards

// Scene limits in whole seconds: each wait ends once more than this many whole
// seconds have passed; the main scene's limit counts from the credits.
constexpr int32_t TITLE_SECONDS = 5;
constexpr int32_t CREDITS_SECONDS = 6;
constexpr int32_t MAIN_SCENE_SECONDS = 75;

extern const char* const credits_lines[5];
extern const int credits_line_y[5];

// Runs the intro; 0 on every normal path, 1 when there is no display, when SDL
// cannot give a window or surface, or when start-up memory cannot be had. A
// stop signal ends the process from inside, as the signal would.
int demo_main();

// Builds every table before the window opens: resets plasma_tick and
// scroll_pos, then the scroll strip, logo_frames, palette, field and phase.
// False (after one line on standard error) when memory cannot be had.
bool precompute_all();

// The credits picture over whatever is on the screen: the logo picture at
// (200, 200) and the five lines below it (the caller clears first).
void draw_credits();

// One main-loop pass's drawing: plasma, logo at its position, scroller; then
// the logo animation moves on.
void draw_main_pass(int32_t* logo_frame_pos, int32_t* logo_direction);

// Moves the logo animation on by one frame and turns it at either end.
void step_logo_animation(int32_t* logo_frame_pos, int32_t* logo_direction);

// Outcome of the exit tests at the end of a main-loop pass.
enum main_loop_exit { MAIN_LOOP_CONTINUE, MAIN_LOOP_TO_END_SCREEN, MAIN_LOOP_QUIT };

struct wall_time;
// The exit tests in their order: time limit, a key press among the events
// queued, music end.
main_loop_exit main_loop_exit_test(const wall_time* scene_start);
