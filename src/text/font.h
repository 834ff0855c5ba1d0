// Bitmap font: 15 x 28 cells, one bit per pixel, fixed pitch, capitals only.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int GLYPH_W = 15;
constexpr int GLYPH_H = 28;

// The characters that have a glyph, in the order of their slots in the
// glyph table; every other code draws an empty cell.
constexpr char GLYPH_ORDER[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!.?@";

// A buffer text is drawn into: pixels of 4 bytes (blue, green, red, fourth
// byte) in rows of `pitch` bytes, and the two colours as blue, green, red.
struct text_target {
    uint8_t* pixels;
    size_t pitch;
    uint8_t ink[3];
    uint8_t background[3];
};

// The glyph bitmap of ch, or nullptr when the font has none (empty cell).
const uint8_t* glyph_for(uint8_t ch);

// Draws a w x h bitmap (rows of ceil(w/8) bytes, bit 0 leftmost; null for an
// all-background one) with its top-left pixel at (x, y). Every pixel of the
// rectangle gets ink or background in bytes 0..2; the fourth byte is kept.
void blit_bits(const text_target& target, uint8_t w, uint8_t h, const uint8_t* bits, int x, int y);

// One character cell into any target.
void draw_char(const text_target& target, uint8_t ch, int x, int y);

// The screen as a target: red ink on black.
text_target screen_text_target();

// A line of fixed-pitch cells on the screen, red on black, from (x, y) to the
// terminating NUL.
void draw_text_screen(const char* text, int x, int y);
