// The scroll strip's content and the band the scroller copies from it.
#include "assets.h"
#include "screen/screen.h"
#include "testkit.h"
#include "text/font.h"
#include "text/scroller.h"
#include <gtest/gtest.h>
#include <cstddef>
#include <cstring>

namespace {

constexpr size_t STRIP_ROW = size_t(SCROLL_STRIP_W) * 4;
constexpr uint8_t FILL = 0xA5;

const uint8_t* strip_pixel(int x, int y) { return scroll_strip + size_t(x) * 4 + size_t(y) * STRIP_ROW; }

// Strip with the real message, the fourth bytes set to a marker the band must
// never receive.
void prepare_strip() {
    ASSERT_TRUE(obtain_scroll_strip());
    std::memset(scroll_strip, 0xEE, STRIP_ROW * GLYPH_H);
    render_scroll_strip(scroll_text);
}

// Expects band column x to show strip column p in bytes 0..2, and the fourth
// byte of the screen pixel to still hold FILL.
void expect_band_column(int x, int p) {
    for (int y = 0; y < GLYPH_H; ++y) {
        const uint8_t* d = screen_pixel(x, SCROLL_BAND_Y + y);
        const uint8_t* s = strip_pixel(p, y);
        ASSERT_EQ(d[0], s[0]) << "band column " << x << " row " << y << " strip column " << p;
        ASSERT_EQ(d[1], s[1]) << "band column " << x << " row " << y;
        ASSERT_EQ(d[2], s[2]) << "band column " << x << " row " << y;
        ASSERT_EQ(d[3], FILL) << "band column " << x << " row " << y;
    }
}

// Draws one frame with scroll_pos = s and checks the band against the strip
// starting at strip column `shown` (wrapping at the strip's width).
void expect_frame(int32_t s, int shown) {
    scroll_pos = s;
    draw_scroller();
    for (int x = 0; x < SCREEN_W; ++x) expect_band_column(x, (shown + x) % SCROLL_STRIP_W);
}

// Rows above the band are never written.
void expect_above_band_untouched() {
    const uint8_t* p = screen_pixel(0, 0);
    for (size_t i = 0; i < size_t(SCROLL_BAND_Y) * SCREEN_PITCH; ++i) ASSERT_EQ(p[i], FILL) << "byte " << i;
}

}  // namespace

TEST(ScrollText, IsTheWholeMessageOf438Characters) {
    EXPECT_EQ(std::strlen(scroll_text), 438u);
    EXPECT_EQ(std::strncmp(scroll_text, "WELCOME TO TAPEHISS MEETS MODERNITY ", 36), 0);
    EXPECT_STREQ(scroll_text + 438 - 30, "A BETTER WAY TO PLAY THE SONG.");
    EXPECT_NE(std::strstr(scroll_text, " SKIPS THIS YEARS THEME!! EVERYTHING "), nullptr);
    EXPECT_NE(std::strstr(scroll_text, "ZX SPECTRUM SOUND! EMULATED"), nullptr);
}

TEST(ScrollStrip, ObtainedOnceAndKeptAfterwards) {
    ASSERT_TRUE(obtain_scroll_strip());
    uint8_t* first = scroll_strip;
    ASSERT_NE(first, nullptr);
    first[STRIP_ROW * GLYPH_H - 1] = 0x42;  // last byte belongs to the strip
    ASSERT_TRUE(obtain_scroll_strip());
    EXPECT_EQ(scroll_strip, first);
    EXPECT_EQ(first[STRIP_ROW * GLYPH_H - 1], 0x42);
}

TEST(ScrollStrip, EveryCellShowsItsCharacterBlackOnBlue) {
    prepare_strip();
    for (int i = 0; i < SCROLL_TEXT_LEN; ++i) {
        const uint8_t* g = glyph_for(uint8_t(scroll_text[i]));
        for (int y = 0; y < GLYPH_H; ++y)
            for (int j = 0; j < GLYPH_W; ++j) {
                const uint8_t* p = strip_pixel(GLYPH_W * i + j, y);
                bool ink = g && ((g[2 * y + j / 8] >> (j % 8)) & 1);
                ASSERT_EQ(p[0], ink ? 0 : 255) << "cell " << i << " '" << scroll_text[i] << "' " << j << "," << y;
                ASSERT_EQ(p[1], 0) << "cell " << i;
                ASSERT_EQ(p[2], 0) << "cell " << i;
                ASSERT_EQ(p[3], 0xEE) << "fourth byte of the strip written in cell " << i;
            }
    }
}

// The strip's bottom-right 2 x 2 corner, ink only at its top-left: the last
// pixel of the strip is its last four bytes, and only colour bytes change.
TEST(ScrollStrip, BitmapLandsAtItsPlaceInColourBytesOnly) {
    ASSERT_TRUE(obtain_scroll_strip());
    std::memset(scroll_strip, 0x11, STRIP_ROW * GLYPH_H);
    const uint8_t bits[2] = {0x01, 0x00};
    blit_bits(strip_text_target(), 2, 2, bits, SCROLL_STRIP_W - 2, GLYPH_H - 2);
    EXPECT_EQ(std::memcmp(scroll_strip + 735840 - 4, "\xFF\x00\x00\x11", 4), 0);
    EXPECT_EQ(std::memcmp(strip_pixel(SCROLL_STRIP_W - 2, GLYPH_H - 2), "\x00\x00\x00\x11", 4), 0);
    EXPECT_EQ(std::memcmp(strip_pixel(SCROLL_STRIP_W - 3, GLYPH_H - 1), "\x11\x11\x11\x11", 4), 0);
    EXPECT_EQ(std::memcmp(strip_pixel(SCROLL_STRIP_W - 1, GLYPH_H - 3), "\x11\x11\x11\x11", 4), 0);
}

TEST(Scroller, FirstTwoFramesMoveOneColumn) {
    prepare_strip();
    use_memory_screen(FILL);
    expect_frame(0, 0);
    EXPECT_EQ(scroll_pos, 1);
    expect_frame(scroll_pos, 1);
    EXPECT_EQ(scroll_pos, 2);
    expect_above_band_untouched();
}

TEST(Scroller, WrapsRoundTheEndOfTheStrip) {
    prepare_strip();
    use_memory_screen(FILL);
    // Last strip column at band column 0, then the strip starts again.
    expect_frame(SCROLL_STRIP_W - 1, SCROLL_STRIP_W - 1);
    EXPECT_EQ(scroll_pos, SCROLL_STRIP_W);
    // A position at the strip's width reads as 0.
    expect_frame(scroll_pos, 0);
    EXPECT_EQ(scroll_pos, 1);
    expect_frame(scroll_pos, 1);
    EXPECT_EQ(scroll_pos, 2);
    // A run that crosses the seam in the middle of the band.
    expect_frame(SCROLL_STRIP_W - 700, SCROLL_STRIP_W - 700);
    EXPECT_EQ(scroll_pos, SCROLL_STRIP_W - 699);
    expect_above_band_untouched();
}

TEST(Scroller, BandRowsOutsideTheInkAreSolidBlue) {
    // The rows no character of the message inks, worked out from the font
    // itself (rows 0-8 and 21-27 while the letters keep to rows 9-20).
    bool inked[GLYPH_H] = {};
    for (int i = 0; i < SCROLL_TEXT_LEN; ++i) {
        const uint8_t* g = glyph_for(uint8_t(scroll_text[i]));
        for (int y = 0; g && y < GLYPH_H; ++y)
            if (g[2 * y] || g[2 * y + 1]) inked[y] = true;
    }
    int blank_rows = 0;
    for (int y = 0; y < GLYPH_H; ++y) blank_rows += !inked[y];
    ASSERT_GT(blank_rows, 0) << "the message inks every row of the band";
    prepare_strip();
    for (int s : {0, 1234, SCROLL_STRIP_W - 5}) {
        use_memory_screen(FILL);
        scroll_pos = s;
        draw_scroller();
        for (int y = 0; y < GLYPH_H; ++y) {
            if (inked[y]) continue;
            for (int x = 0; x < SCREEN_W; ++x) {
                const uint8_t* p = screen_pixel(x, SCROLL_BAND_Y + y);
                ASSERT_EQ(p[0], 255) << x << "," << y;
                ASSERT_EQ(p[1], 0) << x << "," << y;
                ASSERT_EQ(p[2], 0) << x << "," << y;
            }
        }
    }
}

TEST(Scroller, TouchesOnlyColourBytesOfTheBottomBand) {
    prepare_strip();
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF)}) {
        uint8_t* screen = use_memory_screen(fill);
        scroll_pos = 4321;
        draw_scroller();
        for (size_t i = 0; i < size_t(SCREEN_BYTES); ++i) {
            bool colour_in_band = i >= size_t(SCROLL_BAND_Y) * SCREEN_PITCH && i % 4 != 3;
            if (!colour_in_band) {
                ASSERT_EQ(screen[i], fill) << "byte " << i;
            }
        }
    }
}
