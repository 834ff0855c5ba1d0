// Checks on the embedded glyph table: the metrics every glyph keeps and the
// shapes that must read apart.
#include "assets.h"
#include "text/font.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

const uint8_t* slot(int index) { return font_glyphs + index * FONT_GLYPH_SLOT; }

bool ink(const uint8_t* g, int col, int row) { return (g[row * 2 + col / 8] >> (col % 8)) & 1; }

bool row_has_ink(const uint8_t* g, int row) { return g[row * 2] || g[row * 2 + 1]; }

int row_width(const uint8_t* g, int row) {
    int n = 0;
    for (int c = 0; c < 16; ++c) n += ink(g, c, row);
    return n;
}

// Rows covered by each 8-connected piece of ink, top piece first.
std::vector<std::pair<int, int>> ink_pieces(const uint8_t* g) {
    int label[GLYPH_H][16] = {};
    std::vector<std::pair<int, int>> pieces;
    for (int r0 = 0; r0 < GLYPH_H; ++r0)
        for (int c0 = 0; c0 < 16; ++c0) {
            if (!ink(g, c0, r0) || label[r0][c0]) continue;
            int id = int(pieces.size()) + 1, top = r0, bottom = r0;
            std::vector<std::pair<int, int>> todo{{r0, c0}};
            label[r0][c0] = id;
            while (!todo.empty()) {
                auto [r, c] = todo.back();
                todo.pop_back();
                top = std::min(top, r);
                bottom = std::max(bottom, r);
                for (int dr = -1; dr <= 1; ++dr)
                    for (int dc = -1; dc <= 1; ++dc) {
                        int rr = r + dr, cc = c + dc;
                        if (rr < 0 || rr >= GLYPH_H || cc < 0 || cc >= 16) continue;
                        if (ink(g, cc, rr) && !label[rr][cc]) {
                            label[rr][cc] = id;
                            todo.push_back({rr, cc});
                        }
                    }
            }
            pieces.push_back({top, bottom});
        }
    return pieces;
}

}  // namespace

TEST(FontGlyphs, InkStaysInsideEachGlyphsRows) {
    for (int i = 0; i < FONT_GLYPH_COUNT; ++i) {
        const char ch = GLYPH_ORDER[i];
        const uint8_t* g = slot(i);
        int lo = 9, hi = 20;
        if (ch == 'Q') hi = 23;
        if (ch == '@') lo = 4, hi = 12;
        if (ch == '.') lo = 18, hi = 20;
        bool any = false;
        for (int r = 0; r < GLYPH_H; ++r) {
            any |= row_has_ink(g, r);
            if (r < lo || r > hi) {
                EXPECT_FALSE(row_has_ink(g, r)) << ch << " row " << r;
            }
        }
        EXPECT_TRUE(any) << ch;
    }
    // Q's tail really reaches below the baseline, one row after another.
    const uint8_t* q = slot(16);
    for (int r = 21; r <= 23; ++r) EXPECT_TRUE(row_has_ink(q, r)) << "Q row " << r;
}

TEST(FontGlyphs, SpacingColumnUnusedBitAndPaddingStayClear) {
    for (int i = 0; i < FONT_GLYPH_COUNT; ++i) {
        const uint8_t* g = slot(i);
        for (int r = 0; r < GLYPH_H; ++r) {
            EXPECT_FALSE(ink(g, 14, r)) << GLYPH_ORDER[i] << " row " << r;  // gap to the next cell
            EXPECT_FALSE(ink(g, 15, r)) << GLYPH_ORDER[i] << " row " << r;  // beyond the 15-wide cell
        }
        for (int b = GLYPH_H * 2; b < FONT_GLYPH_SLOT; ++b) EXPECT_EQ(g[b], 0) << GLYPH_ORDER[i] << " byte " << b;
    }
}

TEST(FontGlyphs, LettersAreBoldCapitalsOnTheBaseline) {
    for (int i = 0; i < 26; ++i) {
        const char ch = GLYPH_ORDER[i];
        const uint8_t* g = slot(i);
        EXPECT_TRUE(row_has_ink(g, 9)) << ch << " misses the cap line";
        EXPECT_TRUE(row_has_ink(g, 20)) << ch << " misses the baseline";
        int left = 16, right = -1, thick_rows = 0;
        for (int r = 9; r <= 20; ++r) {
            int run = 0, longest = 0;
            for (int c = 0; c < 16; ++c) {
                if (ink(g, c, r)) {
                    left = std::min(left, c), right = std::max(right, c);
                    longest = std::max(longest, ++run);
                } else {
                    run = 0;
                }
            }
            thick_rows += longest >= 3;
        }
        EXPECT_LE(right - left + 1, 14) << ch;
        EXPECT_GE(thick_rows, 6) << ch << " strokes thinner than 3 pixels";
    }
}

TEST(FontGlyphs, TAndIReadApartAndIKeepsTheLettersSpacing) {
    // "DIRECTLY" must read neither "DIRECILY" (T and I differ in many
    // pixels) nor "D I RECTLY": in fixed cells the blank columns beside I
    // stay within 2 of the letters' average.
    const uint8_t *t = slot('T' - 'A'), *i = slot('I' - 'A');
    int apart = 0;
    for (int r = 0; r < GLYPH_H; ++r)
        for (int c = 0; c < GLYPH_W; ++c) apart += ink(t, c, r) != ink(i, c, r);
    EXPECT_GE(apart, 20);
    auto side = [](const uint8_t* g) {  // blank columns left and right of the ink
        int left = GLYPH_W, right = -1;
        for (int r = 0; r < GLYPH_H; ++r)
            for (int c = 0; c < GLYPH_W; ++c)
                if (ink(g, c, r)) left = std::min(left, c), right = std::max(right, c);
        return left + (GLYPH_W - 1 - right);
    };
    double mean = 0;
    for (int k = 0; k < 26; ++k) mean += side(slot(k)) / 26.0;
    EXPECT_LE(side(i), mean + 2) << "average " << mean;
}

TEST(FontGlyphs, ExclamationNarrowsDownAndEndsInADot) {
    const uint8_t* g = slot(26);
    auto pieces = ink_pieces(g);
    ASSERT_EQ(pieces.size(), 2u);
    auto [bar_top, bar_bottom] = pieces[0];
    auto [dot_top, dot_bottom] = pieces[1];
    EXPECT_EQ(bar_top, 9);
    EXPECT_GT(dot_top, bar_bottom + 1);  // a blank row between bar and dot
    EXPECT_EQ(dot_bottom, 20);
    for (int r = bar_top + 1; r <= bar_bottom; ++r) EXPECT_LE(row_width(g, r), row_width(g, r - 1)) << "row " << r;
    EXPECT_GT(row_width(g, bar_top), row_width(g, bar_bottom));
}

TEST(FontGlyphs, QuestionMarkHasASeparateDot) {
    auto pieces = ink_pieces(slot(28));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].first, 9);
    EXPECT_GT(pieces[1].first, pieces[0].second + 1);
    EXPECT_EQ(pieces[1].second, 20);
}
