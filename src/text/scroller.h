// Scroll text: drawn once into an off-screen strip, copied into the bottom 28
// rows of the screen every frame, one pixel further each time.
#pragma once
#include "screen/screen.h"
#include "text/font.h"
#include <cstdint>

constexpr int SCROLL_TEXT_LEN = 438;
constexpr int SCROLL_STRIP_W = GLYPH_W * SCROLL_TEXT_LEN;   // 6570
constexpr int SCROLL_BAND_Y = SCREEN_H - GLYPH_H;  // the bottom 28 rows

extern const char scroll_text[SCROLL_TEXT_LEN + 1];
extern uint8_t* scroll_strip;
extern int32_t scroll_pos;

// Obtains the strip once; false, after one line on standard error, on failure.
bool obtain_scroll_strip();

// The strip as a target for the font: black ink on blue.
text_target strip_text_target();

void render_scroll_strip(const char* text);
void draw_scroller();
