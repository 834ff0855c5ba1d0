// The whole run: precomputation, window, title, credits, main scene and end
// screen, in that order.
#pragma once
#include <cstdint>

// Scene limits in whole seconds: each wait ends once more than this many whole
// seconds have passed; the main scene's limit counts from the credits.
constexpr int32_t TITLE_SECONDS = 5;
constexpr int32_t CREDITS_SECONDS = 6;
constexpr int32_t MAIN_SCENE_SECONDS = 75;

// The credits screen: the logo picture, and five lines below it, 29 pixels
// apart, each starting at x 250 (leading blanks are part of the text).
constexpr int CREDITS_LINE_COUNT = 5;
constexpr int CREDITS_LOGO_X = 200;
constexpr int CREDITS_LOGO_Y = 200;
constexpr int CREDITS_TEXT_X = 250;
constexpr const char* credits_lines[CREDITS_LINE_COUNT] = {
    "          TAPEHISS MEETS MODERNITY",
    "SAMPLED SPECCY TUNE BY GUESTSTAR HALVORNIK ZORBLE",
    "              CODE TOLBAN ZVK",
    "              GFX VIMPE ZVK",
    "           WE LOVE ZX SPECTRUM",
};
constexpr int credits_line_y[CREDITS_LINE_COUNT] = {500, 529, 558, 587, 616};

// demo_main (platform.h: the driver's main calls it) runs the intro: 0 on
// every normal path, 1 when there is no display, when no window can be shown,
// or when start-up memory cannot be had. A stop signal ends the process from
// inside, as the signal would.

// Builds every table before the window opens: resets plasma_tick and
// scroll_pos, then the scroll strip, logo_frames, palette, field and phase.
// False (after one line on standard error) when memory cannot be had.
bool precompute_all();

// The credits picture over whatever is on the screen: the logo picture at
// (200, 200) and the five lines below it (the caller clears first).
void draw_credits();
