// Scroll text: drawn once into an off-screen strip, copied into the bottom 28
// rows of the screen every frame, one pixel further each time.
#pragma once
#include <cstdint>

constexpr int SCROLL_TEXT_LEN = 438;
constexpr int SCROLL_STRIP_W = 15 * SCROLL_TEXT_LEN;   // 6570
constexpr int SCROLL_BAND_Y = 692;

extern const char scroll_text[SCROLL_TEXT_LEN + 1];
extern uint8_t* scroll_strip;
extern int32_t scroll_pos;

// Obtains the strip once; false, after one line on standard error, on failure.
bool obtain_scroll_strip();
void put_strip_pixel(int x, int y, uint8_t b, uint8_t g, uint8_t r);
void render_scroll_strip(const char* text);
void draw_scroller();
