// Scroll text: drawn once into an off-screen strip, copied into the bottom 28
// rows of the screen every frame, one pixel further each time.
#pragma once
#include "text/font.h"
#include <cstdint>

constexpr int SCROLL_TEXT_LEN = 438;
constexpr int SCROLL_STRIP_W = GLYPH_W * SCROLL_TEXT_LEN;   // 6570
constexpr int SCROLL_BAND_Y = 692;

extern const char scroll_text[SCROLL_TEXT_LEN + 1];
extern uint8_t* scroll_strip;
extern int32_t scroll_pos;

// Obtains the strip once; false, after one line on standard error, on failure.
bool obtain_scroll_strip();

// Bitmaps and character cells in the strip, black ink on blue.
void blit_bits_strip(uint8_t w, uint8_t h, const uint8_t* bits, int x, int y);
void draw_char_strip(uint8_t ch, int x, int y);

void render_scroll_strip(const char* text);
void draw_scroller();
