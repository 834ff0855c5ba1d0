// The closing scene: greetings text beside two twisting ribbons.
#pragma once
#include <cstdint>

constexpr int END_LINE_COUNT = 17;
extern const char* const end_screen_lines[END_LINE_COUNT];

constexpr int END_TEXT_X = 100;
constexpr int END_TEXT_Y = 74;
constexpr int END_LINE_STEP = 26;
constexpr int END_CYCLES = 600;
constexpr int END_FIRST_STEP = 2;
constexpr int END_STEP_LIMIT = 50;        // a cycle's frames run while step < 50
constexpr uint32_t END_FRAME_US = 56250;  // the sleep after each frame, in whole ms: 56
constexpr int32_t END_FADE_AFTER_S = 30;  // fade once more whole seconds than this have passed
constexpr int END_FADE_MS = 500;
constexpr int END_BAR_TOP_ROW = 5;
constexpr int END_BAR_BOTTOM_ROW = 600;
constexpr int END_GREEN_X = 799;
constexpr int END_VIOLET_X = 819;
constexpr int32_t END_START_COLOUR = 10;
// The ribbons' colour ramp: every row advances it by END_COLOUR_STEP, and
// past END_COLOUR_TOP it starts again at END_COLOUR_LOW (20, 30, ..., 250).
constexpr int32_t END_COLOUR_STEP = 10;
constexpr int32_t END_COLOUR_TOP = 254;
constexpr int32_t END_COLOUR_LOW = 20;

// The colour one row further up the ramp.
constexpr int32_t end_colour_advanced(int32_t colour) {
    return colour + END_COLOUR_STEP > END_COLOUR_TOP ? END_COLOUR_LOW : colour + END_COLOUR_STEP;
}

// The colour `rows` rows further, without stepping through them.
int32_t end_colour_after(int32_t colour, int64_t rows);

// The 17 greeting lines at their places on screen_pixels.
void draw_end_screen_text();

// Both ribbons of one frame over rows 600 up to 5 of screen_pixels; advances
// *bar_colour once per row (596 times).
void draw_end_screen_bars(bool widening, int step, int32_t* bar_colour);

// One whole frame's picture: clear, text, then the ribbons over the text.
void draw_end_screen_frame(bool widening, int step, int32_t* bar_colour);
