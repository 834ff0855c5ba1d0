// Bitmap font: 15 x 28 cells, one bit per pixel, fixed pitch, capitals only.
#pragma once
#include <cstdint>

constexpr int GLYPH_W = 15;
constexpr int GLYPH_H = 28;

// The glyph bitmap of ch, or nullptr when the font has none (empty cell).
const uint8_t* glyph_for(uint8_t ch);

void blit_bits_screen(uint8_t w, uint8_t h, const uint8_t* bits, int x, int y);
void blit_bits_strip(uint8_t w, uint8_t h, const uint8_t* bits, int x, int y);
void draw_char_screen(uint8_t ch, int x, int y);
void draw_char_strip(uint8_t ch, int x, int y);
void draw_text_screen(const char* text, int x, int y);
