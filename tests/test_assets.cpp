// Checks on the embedded constant data as the executable sees it: the two
// pictures, the glyph table and the MP3 bytes (structure, and that the mixer
// plays them). The generators check their own outputs; these catch a stale or
// mangled file getting built in, and layout slips between the tools and the code.
#include "assets.h"
#include "platform/platform_null.h"
#include "music/music.h"
#include "text/font.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// ----------------------------------------------------------------- pictures

struct bgr {
    int b, g, r;
};

bgr pixel(const uint8_t* pic, int w, int x, int y) {
    const uint8_t* p = pic + (size_t(y) * w + x) * 4;
    return {p[0], p[1], p[2]};
}

bool is_exact(bgr c, int b, int g, int r) { return c.b == b && c.g == g && c.r == r; }
bool is_white(bgr c) { return is_exact(c, 255, 255, 255); }

// The X's paint, full strength or lightly blended.
bool is_red(bgr c) { return c.r >= 180 && c.g <= 70 && c.b <= 70; }

// Paint over the plate, down to the faintest anti-aliased edge: green and
// blue move together and red stays above them.
bool is_paint_blend(bgr c) { return std::abs(c.g - c.b) <= 1 && c.r >= 180 && c.r > c.g; }

// Lettering colour: blue leads, red trails, green in between; not white.
bool is_blue_grey(bgr c) { return c.b > c.r + 20 && c.b < 200 && c.g >= c.r && c.g <= c.b; }

bool fourth_bytes_all(const uint8_t* pic, size_t pixels, uint8_t value) {
    for (size_t i = 0; i < pixels; ++i)
        if (pic[i * 4 + 3] != value) return false;
    return true;
}

bool title_on_plate(int x, int y) { return x >= 440 && x <= 839 && y >= 248 && y <= 471; }

// Share of red pixels in the (2r+1)^2 window around (x, y), clipped to the picture.
double red_share(int x, int y, int r) {
    int red = 0, all = 0;
    for (int yy = y - r; yy <= y + r; ++yy)
        for (int xx = x - r; xx <= x + r; ++xx) {
            if (xx < 0 || yy < 0 || xx >= TITLE_W || yy >= TITLE_H) continue;
            ++all;
            red += is_red(pixel(title_picture, TITLE_W, xx, yy));
        }
    return double(red) / all;
}

// Exact-black pixels that cannot be reached from the picture border through
// other exact-black pixels (4-neighbour steps): holes enclosed by artwork.
int enclosed_black(const uint8_t* pic, int w, int h) {
    std::vector<uint8_t> black(size_t(w) * h), seen(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) black[size_t(y) * w + x] = is_exact(pixel(pic, w, x, y), 0, 0, 0);
    std::vector<int> stack;
    auto push = [&](int x, int y) {
        size_t i = size_t(y) * w + x;
        if (black[i] && !seen[i]) {
            seen[i] = 1;
            stack.push_back(int(i));
        }
    };
    for (int x = 0; x < w; ++x) push(x, 0), push(x, h - 1);
    for (int y = 0; y < h; ++y) push(0, y), push(w - 1, y);
    while (!stack.empty()) {
        int i = stack.back();
        stack.pop_back();
        int x = i % w, y = i / w;
        if (x > 0) push(x - 1, y);
        if (x < w - 1) push(x + 1, y);
        if (y > 0) push(x, y - 1);
        if (y < h - 1) push(x, y + 1);
    }
    int holes = 0;
    for (size_t i = 0; i < black.size(); ++i) holes += black[i] && !seen[i];
    return holes;
}

// --------------------------------------------------------------------- font

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

// -------------------------------------------------------------------- music

constexpr int TAG_END = 2121;  // 10-byte header plus the 2,111 the header announces
constexpr int MP3_FRAMES = 6940;
constexpr int MP3_FRAME_BYTES = 480;

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

struct mpeg_header {
    int version_bits, layer_bits, protection_bit, bitrate_kbps, sample_rate, padding, channel_mode;
};

// Field decode of a 32-bit MPEG audio frame header (MPEG-1 Layer III tables).
mpeg_header decode(uint32_t h) {
    static const int kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
    static const int rates[4] = {44100, 48000, 32000, -1};
    return {int(h >> 19) & 3, int(h >> 17) & 3, int(h >> 16) & 1, kbps[(h >> 12) & 15],
            rates[(h >> 10) & 3], int(h >> 9) & 1, int(h >> 6) & 3};
}

// Walks ID3v2.2 frames (3-byte id, 3-byte big-endian size) from offset 10
// until the padding; returns the ids in order and where the padding starts.
// Frames must fit inside the tag; a bad id or overrun stops the walk early.
std::vector<std::string> id3v22_frames(const uint8_t* data, int tag_end, int* padding_at,
                                       std::vector<int>* encodings) {
    std::vector<std::string> ids;
    int pos = 10;
    while (pos + 6 <= tag_end && data[pos] != 0) {
        std::string id(reinterpret_cast<const char*>(data + pos), 3);
        int size = data[pos + 3] << 16 | data[pos + 4] << 8 | data[pos + 5];
        bool id_ok = true;
        for (char c : id) id_ok &= (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!id_ok || size < 1 || pos + 6 + size > tag_end) break;
        ids.push_back(id);
        encodings->push_back(data[pos + 6]);
        pos += 6 + size;
    }
    *padding_at = pos;
    return ids;
}

// Sets the audio driver the next SDL audio start-up will pick.
void use_audio_driver(const char* name) { ASSERT_EQ(setenv("SDL_AUDIODRIVER", name, 1), 0); }

}  // namespace

// ------------------------------------------------------------ title picture

TEST(TitlePicture, IsOpaque) {
    EXPECT_TRUE(fourth_bytes_all(title_picture, size_t(TITLE_W) * TITLE_H, 255));
}

TEST(TitlePicture, BorderAndCornersAreTheDarkBackground) {
    // The X and the plate keep clear of a 16-pixel frame and of the corners.
    int wrong = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x) {
            bool frame = x < 16 || y < 16 || x >= TITLE_W - 16 || y >= TITLE_H - 16;
            bool corner = (x < 80 || x >= TITLE_W - 80) && (y < 40 || y >= TITLE_H - 40);
            if ((frame || corner) && !is_exact(pixel(title_picture, TITLE_W, x, y), 3, 3, 3)) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(TitlePicture, WhitePlateHasExactEdges) {
    struct edge {
        const char* name;
        int x0, y0, dx, dy;  // first pixel inside and the step along the edge
        int ox, oy;          // offset to the pixel just outside
        int length;
    };
    const edge edges[] = {{"top", 440, 248, 1, 0, 0, -1, 400},
                          {"bottom", 440, 471, 1, 0, 0, 1, 400},
                          {"left", 440, 248, 0, 1, -1, 0, 224},
                          {"right", 839, 248, 0, 1, 1, 0, 224}};
    for (const edge& e : edges) {
        int white = 0, other_inside = 0, white_outside = 0;
        for (int i = 0; i < e.length; ++i) {
            int x = e.x0 + e.dx * i, y = e.y0 + e.dy * i;
            bgr in = pixel(title_picture, TITLE_W, x, y);
            if (is_white(in)) ++white;
            else if (!is_paint_blend(in)) ++other_inside;  // only the X may cover the rim
            white_outside += is_white(pixel(title_picture, TITLE_W, x + e.ox, y + e.oy));
        }
        EXPECT_GT(white, e.length / 4) << e.name;
        EXPECT_EQ(other_inside, 0) << e.name;
        EXPECT_EQ(white_outside, 0) << e.name;
    }
    int white_off_plate = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x)
            white_off_plate += !title_on_plate(x, y) && is_white(pixel(title_picture, TITLE_W, x, y));
    EXPECT_EQ(white_off_plate, 0);
}

TEST(TitlePicture, RedXRunsCornerToCornerThroughTheMiddle) {
    struct arm {
        int x0, y0, x1, y1;
    };
    const arm arms[] = {{194, 84, 1212, 640}, {1212, 84, 194, 640}};
    for (const arm& a : arms) {
        // Paint near both ends (the brush thins out there) ...
        EXPECT_GT(red_share(a.x0, a.y0, 40), 0.0) << a.x0 << "," << a.y0;
        EXPECT_GT(red_share(a.x1, a.y1, 40), 0.0) << a.x1 << "," << a.y1;
        // ... and a solid stroke along the way, across the plate too.
        for (double t : {0.1, 0.25, 0.4, 0.5, 0.6, 0.75}) {
            int x = int(a.x0 + (a.x1 - a.x0) * t), y = int(a.y0 + (a.y1 - a.y0) * t);
            EXPECT_GT(red_share(x, y, 12), 0.5) << "arm from " << a.x0 << "," << a.y0 << " at t=" << t;
        }
    }
    // Where the diagonals cross, near the centre of the picture.
    EXPECT_GT(red_share(703, 362, 12), 0.8);
    EXPECT_GT(red_share(640, 360, 10), 0.5);

    // Unblended paint: green = blue = 20 and red about 237, the brush texture
    // darkening it in places but never far; two long thick strokes of it.
    std::vector<long> reds(256, 0);
    long full = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x) {
            bgr c = pixel(title_picture, TITLE_W, x, y);
            if (c.g == 20 && c.b == 20) ++full, ++reds[c.r];
        }
    ASSERT_GT(full, 60000);
    long below = 0, seen = 0;
    int median = 0;
    for (int r = 0; r < 256; ++r) {
        if (r < 237 - 35) below += reds[r];
        if (seen < full / 2 && (seen += reds[r]) >= full / 2) median = r;
    }
    EXPECT_EQ(below, 0) << "paint much darker than the nominal red";
    EXPECT_NEAR(median, 237, 20);
}

TEST(TitlePicture, BlueGreyLetteringSitsOnThePlate) {
    int on = 0, off = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x)
            if (is_blue_grey(pixel(title_picture, TITLE_W, x, y))) (title_on_plate(x, y) ? on : off)++;
    EXPECT_GT(on, 3000);
    EXPECT_EQ(off, 0);
}

// ------------------------------------------------------------- logo picture

TEST(LogoPicture, IsOpaque) {
    EXPECT_TRUE(fourth_bytes_all(logo_picture, size_t(LOGO_W) * LOGO_H, 255));
}

TEST(LogoPicture, LeftColumnIsBlack) {
    for (int y = 0; y < LOGO_H; ++y)
        EXPECT_TRUE(is_exact(pixel(logo_picture, LOGO_W, 0, y), 0, 0, 0)) << "row " << y;
}

TEST(LogoPicture, ExactBlackIsOnlyTheOpenBackground) {
    // The logo is drawn with black as the see-through colour: a black pixel
    // walled in by artwork would punch a hole into the letters.
    EXPECT_EQ(enclosed_black(logo_picture, LOGO_W, LOGO_H), 0);
    long art = 0;
    for (int y = 0; y < LOGO_H; ++y)
        for (int x = 0; x < LOGO_W; ++x) art += !is_exact(pixel(logo_picture, LOGO_W, x, y), 0, 0, 0);
    EXPECT_GT(art * 2, long(LOGO_W) * LOGO_H);
}

TEST(LogoPicture, HoleFinderSeesAWalledInBlackPixel) {
    // A copy with a 3x3 ring of grey around a black pixel in the open corner.
    std::vector<uint8_t> copy(logo_picture, logo_picture + sizeof(logo_picture));
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x) {
            uint8_t v = (x == 2 && y == 2) ? 0 : 90;
            uint8_t* p = &copy[(size_t(y) * LOGO_W + x) * 4];
            p[0] = p[1] = p[2] = v;
        }
    EXPECT_EQ(enclosed_black(copy.data(), LOGO_W, LOGO_H), 1);
}

TEST(LogoPicture, LightBlueLettersAndWhiteFlare) {
    int light = 0;
    for (int y = 0; y < LOGO_H; ++y)
        for (int x = 0; x < LOGO_W; ++x) {
            bgr c = pixel(logo_picture, LOGO_W, x, y);
            light += c.b > 200 && c.g > 140 && c.r < c.b;
        }
    EXPECT_GT(light, 5000);
    int flare = 0;
    for (int y = 77 - 8; y < 77 + 8; ++y)
        for (int x = 383 - 8; x < 383 + 8; ++x) {
            bgr c = pixel(logo_picture, LOGO_W, x, y);
            flare += c.b >= 240 && c.g >= 240 && c.r >= 240;
        }
    EXPECT_GT(flare, 0);
}

TEST(LogoPicture, SmokeReadsAsLightOverThePlasma) {
    // Black is see-through in the spinning logo, so a dark silhouette would
    // show as a hole in the plasma: few dark art pixels, a light edge.
    auto luma = [](bgr c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; };
    auto black = [&](int x, int y) {
        return x < 0 || y < 0 || x >= LOGO_W || y >= LOGO_H || is_exact(pixel(logo_picture, LOGO_W, x, y), 0, 0, 0);
    };
    long art = 0, dark = 0;
    std::vector<double> edge;
    for (int y = 0; y < LOGO_H; ++y)
        for (int x = 0; x < LOGO_W; ++x) {
            if (black(x, y)) continue;
            double l = luma(pixel(logo_picture, LOGO_W, x, y));
            ++art, dark += l < 30;
            if (black(x - 1, y) || black(x + 1, y) || black(x, y - 1) || black(x, y + 1)) edge.push_back(l);
        }
    ASSERT_FALSE(edge.empty());
    std::nth_element(edge.begin(), edge.begin() + edge.size() / 2, edge.end());
    EXPECT_LE(dark * 100, art * 15) << dark << " of " << art << " art pixels darker than luma 30";
    EXPECT_GE(edge[edge.size() / 2], 60.0) << "median luma of the silhouette's edge";
}

// --------------------------------------------------------------------- font

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

TEST(FontGlyphs, TAndIReadApart) {
    // "DIRECTLY" must not read "DIRECILY": the two differ in many pixels.
    const uint8_t *t = slot('T' - 'A'), *i = slot('I' - 'A');
    int apart = 0;
    for (int r = 0; r < GLYPH_H; ++r)
        for (int c = 0; c < GLYPH_W; ++c) apart += ink(t, c, r) != ink(i, c, r);
    EXPECT_GE(apart, 20);
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

// -------------------------------------------------------------------- music

TEST(MusicBytes, SizeMatchesTheEmbeddedRange) {
    EXPECT_EQ(music_mp3_end - music_mp3, MUSIC_MP3_SIZE);
}

TEST(MusicBytes, Id3v22TagHeaderAndFrames) {
    const uint8_t header[10] = {'I', 'D', '3', 2, 0, 0, 0x00, 0x00, 0x10, 0x3F};
    ASSERT_EQ(std::memcmp(music_mp3, header, 10), 0);
    // Synchsafe: seven bits per byte.
    int size = music_mp3[6] << 21 | music_mp3[7] << 14 | music_mp3[8] << 7 | music_mp3[9];
    EXPECT_EQ(size, 2111);
    EXPECT_EQ(10 + size, TAG_END);

    int padding_at = 0;
    std::vector<int> encodings;
    auto ids = id3v22_frames(music_mp3, TAG_END, &padding_at, &encodings);
    std::map<std::string, int> count;
    for (const auto& id : ids) ++count[id];
    EXPECT_EQ(count.size(), 3u);
    EXPECT_EQ(count["TT2"], 1);
    EXPECT_EQ(count["TEN"], 1);
    EXPECT_EQ(count["COM"], 3);
    for (size_t i = 0; i < encodings.size(); ++i) EXPECT_EQ(encodings[i], 0) << ids[i];  // ISO-8859-1
    int stray = 0;
    for (int i = padding_at; i < TAG_END; ++i) stray += music_mp3[i] != 0;
    EXPECT_EQ(stray, 0) << "padding from " << padding_at;
}

TEST(MusicBytes, Id3WalkStopsAtAFrameThatOverrunsTheTag) {
    std::vector<uint8_t> copy(music_mp3, music_mp3 + TAG_END);
    copy[10 + 5] = 0xFF;  // the first frame (TT2) now claims more than the tag holds
    copy[10 + 4] = 0x10;
    int padding_at = 0;
    std::vector<int> encodings;
    EXPECT_TRUE(id3v22_frames(copy.data(), TAG_END, &padding_at, &encodings).empty());
    EXPECT_EQ(padding_at, 10);
}

TEST(MusicBytes, ConstantBitrateFramesFillTheRestExactly) {
    ASSERT_EQ(TAG_END + MP3_FRAMES * MP3_FRAME_BYTES, MUSIC_MP3_SIZE);
    int bad = 0;
    for (int f = 0; f < MP3_FRAMES; ++f) {
        uint32_t h = be32(music_mp3 + TAG_END + f * MP3_FRAME_BYTES);
        if (h == 0xFFFBA440u || h == 0xFFFBA460u) continue;
        if (bad++ < 5) ADD_FAILURE() << "frame " << f << std::hex << " header " << h;
    }
    EXPECT_EQ(bad, 0);
}

TEST(MusicBytes, FrameHeaderFieldsAndLength) {
    for (uint32_t h : {0xFFFBA440u, 0xFFFBA460u}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(h >> 21, 0x7FFu);  // frame sync
        mpeg_header d = decode(h);
        EXPECT_EQ(d.version_bits, 3);     // MPEG-1
        EXPECT_EQ(d.layer_bits, 1);       // Layer III
        EXPECT_EQ(d.protection_bit, 1);   // no CRC follows
        EXPECT_EQ(d.bitrate_kbps, 160);
        EXPECT_EQ(d.sample_rate, 48000);
        EXPECT_EQ(d.padding, 0);
        EXPECT_EQ(d.channel_mode, 1);     // joint stereo
        // Layer III length: 144 * bitrate / rate bytes, 1152 samples a frame.
        EXPECT_EQ(144 * d.bitrate_kbps * 1000 / d.sample_rate + d.padding, MP3_FRAME_BYTES);
    }
    // 6,940 frames of 1,152 samples at 48 kHz.
    EXPECT_DOUBLE_EQ(MP3_FRAMES * 1152 / 48000.0, MUSIC_SECONDS);
}

TEST(MusicBytes, NoXingInfoFrameAndNoId3v1Trailer) {
    auto contains = [](const uint8_t* p, int n, const char* word) {
        for (int i = 0; i + 4 <= n; ++i)
            if (std::memcmp(p + i, word, 4) == 0) return true;
        return false;
    };
    // A Xing/Info frame would be a silent first frame and shift the timing.
    EXPECT_FALSE(contains(music_mp3 + TAG_END, MP3_FRAME_BYTES, "Xing"));
    EXPECT_FALSE(contains(music_mp3 + TAG_END, MP3_FRAME_BYTES, "Info"));
    EXPECT_NE(std::memcmp(music_mp3 + MUSIC_MP3_SIZE - 128, "TAG", 3), 0);
}

TEST(MusicPlayback, MixerLoadsTheTuneFromMemoryAtItsLength) {
    use_audio_driver("dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << Mix_GetError();
    // The audio frames alone: 6,940 CBR frames leave the decoder nothing to guess.
    Mix_Music* frames = Mix_LoadMUSType_RW(
        SDL_RWFromConstMem(music_mp3 + TAG_END, MUSIC_MP3_SIZE - TAG_END), MUS_MP3, 1);
    EXPECT_NE(frames, nullptr) << Mix_GetError();
    if (frames) {
        EXPECT_NEAR(Mix_MusicDuration(frames), 166.56, 0.05);
        Mix_FreeMusic(frames);
    }
    // The whole file, as the intro loads it.
    Mix_Music* music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(music_mp3, MUSIC_MP3_SIZE), MUS_MP3, 1);
    EXPECT_NE(music, nullptr) << Mix_GetError();
    if (music) {
        // Without a Xing/Info frame the MP3 decoder estimates the length from
        // the byte count and counts the 2,121-byte tag as 4.4 frames of audio:
        // 166.666 s. What plays is the 6,940 frames checked above.
        double estimate = MUSIC_MP3_SIZE / 480.0 * 1152 / 48000;
        EXPECT_NEAR(Mix_MusicDuration(music), estimate, 0.01);
        Mix_FreeMusic(music);
    }
    Mix_CloseAudio();
    SDL_Quit();
}

TEST(MusicPlayback, StartMusicPlaysWhenADeviceOpens) {
    use_audio_driver("dummy");
    testing::internal::CaptureStderr();
    start_music();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(music_silent);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_TRUE(music_playing());
    EXPECT_EQ(err.find("running without sound"), std::string::npos) << err;
    Mix_HaltMusic();
    Mix_CloseAudio();
    SDL_Quit();
}

TEST(MusicPlayback, NoAudioDriverMeansOneLineAndSilence) {
    null_platform_reset();  // the silent stand-in runs on the (virtual) wall clock
    use_audio_driver("tapehiss-no-such-driver");
    testing::internal::CaptureStderr();
    start_music();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(music_silent);
    EXPECT_TRUE(music_playing());  // the silent clock stands in for the tune
    const std::string prefix = "tapehiss: running without sound: ";
    EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
    EXPECT_GT(err.size(), prefix.size() + 1) << "no reason given: " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.back(), '\n');
    // Silence keeps the tune's length.
    int64_t start = null_clock_us();
    null_clock_set(start + int64_t(166.5 * 1e6), 0);
    EXPECT_TRUE(music_playing());
    null_clock_set(start + int64_t(166.6 * 1e6), 0);
    EXPECT_FALSE(music_playing());
    SDL_Quit();
}
