// Bitmap font drawing: one bit per pixel, written as a full opaque cell so a
// line of text replaces whatever was under it without a clear first.
#include "text/font.h"
#include "screen/screen.h"
#include "assets.h"
#include <cstddef>

static_assert(sizeof(GLYPH_ORDER) - 1 == FONT_GLYPH_COUNT, "one glyph slot per character of the order");

// Slot of each 8-bit code in font_glyphs, -1 for codes without a glyph. Built
// at compile time so lookup is a single load and never folds case.
static constexpr int8_t GLYPH_INDEX_NONE = -1;

static constexpr auto build_glyph_index() {
    struct table { int8_t slot[256]; } t{};
    for (int c = 0; c < 256; ++c) t.slot[c] = GLYPH_INDEX_NONE;
    for (int i = 0; GLYPH_ORDER[i] != 0; ++i) t.slot[uint8_t(GLYPH_ORDER[i])] = int8_t(i);
    return t;
}

static constexpr auto glyph_index = build_glyph_index();

// Exact code match only: anything else (space, digits, lower case, high codes)
// is an empty cell.
const uint8_t* glyph_for(uint8_t ch) {
    int slot = glyph_index.slot[ch];
    return slot < 0 ? nullptr : font_glyphs + slot * FONT_GLYPH_SLOT;
}

// Walks the bitmap row by row, taking the next byte every eighth column, and
// writes bytes 0..2 of every pixel of the rectangle.
void blit_bits(const text_target& target, uint8_t w, uint8_t h, const uint8_t* bits, int x, int y) {
    const int row_bytes = (w + 7) / 8;
    for (int r = 0; r < h; ++r) {
        const uint8_t* row = bits ? bits + r * row_bytes : nullptr;
        uint8_t* p = target.pixels + size_t(y + r) * target.pitch + size_t(x) * 4;
        uint8_t byte = 0;
        for (int j = 0; j < w; ++j, p += 4) {
            if (j % 8 == 0) byte = row ? row[j / 8] : 0;
            const uint8_t* colour = (byte >> (j % 8)) & 1 ? target.ink : target.background;
            p[0] = colour[0];
            p[1] = colour[1];
            p[2] = colour[2];
        }
    }
}

void draw_char(const text_target& target, uint8_t ch, int x, int y) {
    blit_bits(target, GLYPH_W, GLYPH_H, glyph_for(ch), x, y);
}

text_target screen_text_target() { return {screen_pixels, SCREEN_PITCH, {0, 0, 255}, {0, 0, 0}}; }

// A line of fixed-pitch cells, left to right, up to the terminating NUL.
void draw_text_screen(const char* text, int x, int y) {
    const text_target screen = screen_text_target();
    for (int i = 0; text[i] != 0; ++i) draw_char(screen, uint8_t(text[i]), x + GLYPH_W * i, y);
}
