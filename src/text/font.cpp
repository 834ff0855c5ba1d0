// Bitmap font drawing: one bit per pixel, written as a full opaque cell so a
// line of text replaces whatever was under it without a clear first.
#include "text/font.h"
#include "text/scroller.h"
#include "flow/screen.h"
#include "assets.h"

// Slot of each 8-bit code in font_glyphs, -1 for codes without a glyph. Built
// at compile time so lookup is a single load and never folds case.
static constexpr int8_t GLYPH_INDEX_NONE = -1;

static constexpr auto build_glyph_index() {
    struct table { int8_t slot[256]; } t{};
    for (int c = 0; c < 256; ++c) t.slot[c] = GLYPH_INDEX_NONE;
    for (int c = 'A'; c <= 'Z'; ++c) t.slot[c] = int8_t(c - 'A');
    t.slot[int('!')] = 26;
    t.slot[int('.')] = 27;
    t.slot[int('?')] = 28;
    t.slot[int('@')] = 29;
    return t;
}

static constexpr auto glyph_index = build_glyph_index();

// Exact code match only: anything else (space, digits, lower case, high codes)
// is an empty cell.
const uint8_t* glyph_for(uint8_t ch) {
    int slot = glyph_index.slot[ch];
    return slot < 0 ? nullptr : font_glyphs + slot * FONT_GLYPH_SLOT;
}

// Shared walk over a w x h bitmap whose rows are ceil(w/8) bytes: hands every
// pixel to put() as ink or background so every pixel of the rectangle is set.
template <typename Put>
static inline void walk_bits(uint8_t w, uint8_t h, const uint8_t* bits, Put put) {
    const int row_bytes = (w + 7) / 8;
    for (int r = 0; r < h; ++r) {
        const uint8_t* row = bits ? bits + r * row_bytes : nullptr;
        uint8_t byte = 0;
        for (int j = 0; j < w; ++j) {
            if (j % 8 == 0) byte = row ? row[j / 8] : 0;
            put(j, r, (byte >> (j % 8)) & 1);
        }
    }
}

// Red ink on black on the screen; the fourth byte of each pixel is left alone.
void blit_bits_screen(uint8_t w, uint8_t h, const uint8_t* bits, int x, int y) {
    walk_bits(w, h, bits, [x, y](int j, int r, int ink) {
        uint8_t* p = screen_pixels + size_t(y + r) * SCREEN_PITCH + size_t(x + j) * 4;
        p[0] = 0;
        p[1] = 0;
        p[2] = ink ? 255 : 0;
    });
}

// Black ink on blue in the scroll strip.
void blit_bits_strip(uint8_t w, uint8_t h, const uint8_t* bits, int x, int y) {
    walk_bits(w, h, bits, [x, y](int j, int r, int ink) {
        if (ink)
            put_strip_pixel(x + j, y + r, 0, 0, 0);
        else
            put_strip_pixel(x + j, y + r, 255, 0, 0);
    });
}

// One character cell on the screen.
void draw_char_screen(uint8_t ch, int x, int y) {
    blit_bits_screen(GLYPH_W, GLYPH_H, glyph_for(ch), x, y);
}

// One character cell in the scroll strip.
void draw_char_strip(uint8_t ch, int x, int y) {
    blit_bits_strip(GLYPH_W, GLYPH_H, glyph_for(ch), x, y);
}

// A line of fixed-pitch cells, left to right, up to the terminating NUL.
void draw_text_screen(const char* text, int x, int y) {
    for (int i = 0; text[i] != 0; ++i) draw_char_screen(uint8_t(text[i]), x + GLYPH_W * i, y);
}
