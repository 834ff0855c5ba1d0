// Font lookup and cell drawing on a screen in plain memory, and into the strip.
#include "assets.h"
#include "screen/screen.h"
#include "testkit.h"
#include "text/font.h"
#include "text/scroller.h"
#include <gtest/gtest.h>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr uint8_t FILL = 0x5A;  // neither ink nor background in any channel

// The artwork's bit for column j of row r in a 15-wide, 2-bytes-a-row glyph.
bool glyph_bit(const uint8_t* glyph, int j, int r) { return (glyph[2 * r + j / 8] >> (j % 8)) & 1; }

const uint8_t* slot_of(int index) { return font_glyphs + index * FONT_GLYPH_SLOT; }

// Expects the 15 x 28 cell at (x, y) to show `glyph` (or an empty cell) in
// red on black, fourth byte untouched.
void expect_screen_cell(const uint8_t* glyph, int x, int y, uint8_t fourth) {
    for (int r = 0; r < GLYPH_H; ++r)
        for (int j = 0; j < GLYPH_W; ++j) {
            const uint8_t* p = screen_pixel(x + j, y + r);
            bool ink = glyph && glyph_bit(glyph, j, r);
            ASSERT_EQ(p[0], 0) << j << "," << r;
            ASSERT_EQ(p[1], 0) << j << "," << r;
            ASSERT_EQ(p[2], ink ? 255 : 0) << j << "," << r;
            ASSERT_EQ(p[3], fourth) << j << "," << r;
        }
}

// Counts screen pixels outside [x0, x1) x [y0, y1) whose bytes differ from FILL.
int touched_outside(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            if (x >= x0 && x < x1 && y >= y0 && y < y1) continue;
            const uint8_t* p = screen_pixel(x, y);
            if (p[0] != FILL || p[1] != FILL || p[2] != FILL || p[3] != FILL) ++n;
        }
    return n;
}

}  // namespace

// The expected order is written out here on purpose: the lookup is built
// from the font's own list, which this checks.
TEST(FontLookup, ExactlyTheThirtyCodesHaveGlyphsInSlotOrder) {
    const char order[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!.?@";
    int with_glyph = 0;
    for (int c = 0; c < 256; ++c) {
        const uint8_t* g = glyph_for(uint8_t(c));
        const char* at = c ? std::strchr(order, c) : nullptr;
        if (at) {
            EXPECT_EQ(g, slot_of(int(at - order))) << "code " << c;
            ++with_glyph;
        } else {
            EXPECT_EQ(g, nullptr) << "code " << c;
        }
    }
    EXPECT_EQ(with_glyph, 30);
    // No case folding, no digits, nothing from the upper half.
    EXPECT_EQ(glyph_for('a'), nullptr);
    EXPECT_EQ(glyph_for('z'), nullptr);
    EXPECT_EQ(glyph_for('0'), nullptr);
    EXPECT_EQ(glyph_for(' '), nullptr);
    EXPECT_EQ(glyph_for(0xC1), nullptr);  // 'A' + 128
}

TEST(FontCells, LetterAAtOriginShowsItsBitsInRedOnBlack) {
    use_memory_screen(FILL);
    draw_char(screen_text_target(), 'A', 0, 0);
    const uint8_t* a = slot_of(0);
    expect_screen_cell(a, 0, 0, FILL);
    // The font keeps its ink in rows 9..20 and leaves column 14 as spacing.
    for (int r = 0; r < GLYPH_H; ++r)
        for (int j = 0; j < GLYPH_W; ++j)
            if (r <= 8 || r >= 21 || j == 14) {
                EXPECT_EQ(screen_pixel(j, r)[2], 0) << j << "," << r;
            }
    int ink = 0;
    for (int r = 0; r < GLYPH_H; ++r)
        for (int j = 0; j < GLYPH_W; ++j) ink += glyph_bit(a, j, r);
    EXPECT_GT(ink, 0) << "the letter A has no ink at all";
    EXPECT_EQ(touched_outside(0, 0, GLYPH_W, GLYPH_H), 0);
}

TEST(FontCells, CodesWithoutGlyphDrawAnEmptyBlackCell) {
    const uint8_t codes[] = {' ', '7', 'a', 0x80, 0xC1, 0xFF};
    for (uint8_t c : codes) {
        use_memory_screen(FILL);
        draw_char(screen_text_target(), c, 300, 400);
        expect_screen_cell(nullptr, 300, 400, FILL);
        EXPECT_EQ(touched_outside(300, 400, 300 + GLYPH_W, 400 + GLYPH_H), 0) << "code " << int(c);
    }
}

TEST(FontCells, EveryGlyphDrawsItsOwnBits) {
    for (int i = 0; i < FONT_GLYPH_COUNT; ++i) {
        use_memory_screen(FILL);
        draw_char(screen_text_target(), uint8_t(GLYPH_ORDER[i]), 17 * i, 3 * i);
        expect_screen_cell(slot_of(i), 17 * i, 3 * i, FILL);
    }
}

TEST(FontBlit, RowsTakeCeilWidthOverEightBytesAndBitZeroIsLeftmost) {
    // Widths that need one, two and three bytes a row.
    const uint8_t widths[] = {5, 8, 9, 16, 17};
    for (uint8_t w : widths) {
        const int row_bytes = (w + 7) / 8;
        const int h = 3;
        std::vector<uint8_t> bits(size_t(row_bytes) * h);
        for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint8_t(0x9D + 37 * i);
        use_memory_screen(FILL);
        blit_bits(screen_text_target(), w, h, bits.data(), 40, 50);
        for (int r = 0; r < h; ++r)
            for (int j = 0; j < w; ++j) {
                bool ink = (bits[r * row_bytes + j / 8] >> (j % 8)) & 1;
                const uint8_t* p = screen_pixel(40 + j, 50 + r);
                EXPECT_EQ(p[2], ink ? 255 : 0) << "w " << int(w) << " at " << j << "," << r;
                EXPECT_EQ(p[1], 0);
                EXPECT_EQ(p[0], 0);
                EXPECT_EQ(p[3], FILL);
            }
        EXPECT_EQ(touched_outside(40, 50, 40 + w, 50 + h), 0) << "w " << int(w);
    }
}

TEST(FontText, LineOverwritesExactlyItsRectangle) {
    const char* line = "HELLO 9 z.?@!";
    const int n = int(std::strlen(line));
    use_memory_screen(FILL);
    draw_text_screen(line, 123, 456);
    for (int i = 0; i < n; ++i) expect_screen_cell(glyph_for(uint8_t(line[i])), 123 + GLYPH_W * i, 456, FILL);
    EXPECT_EQ(touched_outside(123, 456, 123 + GLYPH_W * n, 456 + GLYPH_H), 0);

    use_memory_screen(FILL);
    draw_text_screen("", 10, 10);
    EXPECT_EQ(touched_outside(0, 0, 0, 0), 0) << "an empty line draws nothing";
}

TEST(FontText, LineDrawnOverAnotherReplacesItCellByCell) {
    use_memory_screen(FILL);
    draw_text_screen("@@@@@@", 600, 300);
    draw_text_screen("AB C", 600, 300);
    const char* shown = "AB C@@";
    for (int i = 0; i < 6; ++i) expect_screen_cell(glyph_for(uint8_t(shown[i])), 600 + GLYPH_W * i, 300, FILL);
    EXPECT_EQ(touched_outside(600, 300, 600 + 6 * GLYPH_W, 300 + GLYPH_H), 0);
}

TEST(FontText, FourthByteKeepsItsValueOnTheScreen) {
    for (uint8_t fourth : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x81)}) {
        use_memory_screen(fourth);
        draw_text_screen("MODERN @ TIMES!", 0, SCREEN_H - GLYPH_H);
        for (int y = SCREEN_H - GLYPH_H; y < SCREEN_H; ++y)
            for (int x = 0; x < 15 * GLYPH_W; ++x) ASSERT_EQ(screen_pixel(x, y)[3], fourth);
    }
}

TEST(FontStrip, StripCellsAreBlackOnBlueAndKeepTheFourthByte) {
    ASSERT_TRUE(obtain_scroll_strip());
    const size_t row_bytes = size_t(SCROLL_STRIP_W) * 4;
    std::memset(scroll_strip, 0x77, row_bytes * GLYPH_H);
    draw_char(strip_text_target(), 'Q', 30, 0);
    draw_char(strip_text_target(), 'q', 45, 0);
    const uint8_t* q = glyph_for('Q');
    for (int r = 0; r < GLYPH_H; ++r)
        for (int x = 0; x < 80; ++x) {
            const uint8_t* p = scroll_strip + size_t(r) * row_bytes + size_t(x) * 4;
            if (x < 30 || x >= 60) {
                EXPECT_EQ(p[0], 0x77);
                EXPECT_EQ(p[1], 0x77);
                EXPECT_EQ(p[2], 0x77);
            } else {
                bool ink = x < 45 && glyph_bit(q, x - 30, r);
                EXPECT_EQ(p[0], ink ? 0 : 255) << x << "," << r;
                EXPECT_EQ(p[1], 0);
                EXPECT_EQ(p[2], 0);
            }
            EXPECT_EQ(p[3], 0x77) << x << "," << r;
        }
}
