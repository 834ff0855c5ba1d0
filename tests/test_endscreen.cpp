// The end screen: its text, the two ribbons and the colour ramp on a screen in
// plain memory; then the scene's flow on the null driver's virtual clock with
// events pushed into SDL's queue.
#include "endscreen/endscreen.h"
#include "flow/end_scene.h"
#include "music/music.h"
#include "platform/system_null.h"
#include "platform/video_screen.h"
#include "testkit.h"
#include "text/font.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr uint8_t FILL = 0x3C;

// Colour after n >= 1 advances of the ramp that starts at 10: 20, 30, ..., 250
// and round again.
int32_t ramp_after(int64_t n) { return end_colour_after(END_START_COLOUR, n); }

// What one row of the screen shows after the ribbons were drawn over FILL.
struct row_view {
    std::vector<int> green, violet;  // columns, left to right
    int other = 0;                   // pixels that are neither FILL nor a ribbon colour
    int colour = -1;                 // the ribbon intensity seen in the row
};

row_view view_row(int y) {
    row_view v;
    for (int x = 0; x < SCREEN_W; ++x) {
        const uint8_t* p = screen_pixel(x, y);
        if (p[0] == FILL && p[1] == FILL && p[2] == FILL && p[3] == FILL) continue;
        if (p[3] != FILL) {
            ++v.other;
        } else if (p[0] == 0 && p[2] == 0) {
            v.green.push_back(x);
            if (v.colour >= 0 && v.colour != p[1]) ++v.other;
            v.colour = p[1];
        } else if (p[1] == 0 && p[2] == 128) {
            v.violet.push_back(x);
            if (v.colour >= 0 && v.colour != p[0]) ++v.other;
            v.colour = p[0];
        } else {
            ++v.other;
        }
    }
    return v;
}

std::vector<int> span(int from, int to) {
    std::vector<int> v;
    for (int x = from; x <= to; ++x) v.push_back(x);
    return v;
}

void expect_rows_untouched(int from, int to) {
    for (int y = from; y <= to; ++y)
        for (int x = 0; x < SCREEN_W; ++x) ASSERT_EQ(screen_word(x, y), 0x01010101u * FILL) << x << "," << y;
}

}  // namespace

// Every character is drawable and every line's last letter ends left of the
// ribbons, which reach column 750 at their widest (the ribbons are drawn after
// the text, over trailing blanks).
TEST(EndScreenText, EveryLineIsDrawableAndClearOfTheRibbons) {
    for (int i = 0; i < END_LINE_COUNT; ++i) {
        const char* line = end_screen_lines[i];
        int inked = 0;
        for (int c = 0; line[c]; ++c) {
            EXPECT_TRUE(line[c] == ' ' || glyph_for(uint8_t(line[c])) != nullptr) << "line " << i + 1 << " char " << c;
            if (line[c] != ' ') inked = c + 1;
        }
        EXPECT_LE(END_TEXT_X + GLYPH_W * inked, 750) << "line " << i + 1;
    }
}

TEST(EndScreenText, EachLineFillsItsCellsAndNothingElse) {
    use_memory_screen(FILL);
    draw_end_screen_text();
    // Lines are 26 rows apart and cells 28 high: each line's last two rows
    // are covered by the next line, so compare the rows each line keeps.
    std::vector<bool> covered(size_t(SCREEN_W) * SCREEN_H, false);
    for (int i = 0; i < 17; ++i) {
        const char* line = end_screen_lines[i];
        const int y0 = 74 + 26 * i;
        const int rows = i == 16 ? GLYPH_H : 26;
        for (int c = 0; line[c]; ++c) {
            const uint8_t* g = glyph_for(uint8_t(line[c]));
            for (int r = 0; r < GLYPH_H; ++r)
                for (int j = 0; j < GLYPH_W; ++j) {
                    const int x = 100 + GLYPH_W * c + j;
                    covered[size_t(y0 + r) * SCREEN_W + x] = true;
                    if (r >= rows) continue;
                    bool ink = g && ((g[2 * r + j / 8] >> (j % 8)) & 1);
                    ASSERT_EQ(screen_word(x, y0 + r), (uint32_t(FILL) << 24) | (ink ? 0xFF0000u : 0u))
                        << "line " << i + 1 << " char " << c << " at " << j << "," << r;
                }
        }
    }
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x)
            if (!covered[size_t(y) * SCREEN_W + x]) {
                ASSERT_EQ(screen_word(x, y), 0x01010101u * FILL) << x << "," << y;
            }
}

TEST(EndScreenBars, FirstFrameOfAWideningCycleIsOnePixelPerRibbon) {
    use_memory_screen(FILL);
    int32_t colour = 10;
    draw_end_screen_bars(true, 2, &colour);
    // Row 600 uses the start angle 0.5: 48 cos 0.5 = 42.12, 48 sin 0.5 = 23.01.
    row_view bottom = view_row(600);
    EXPECT_EQ(bottom.green, std::vector<int>{799 + 43});
    EXPECT_EQ(bottom.violet, std::vector<int>{819 + 24});
    EXPECT_EQ(bottom.colour, 20);
    // Row 599 at 0.6: 39.62 and 27.10.
    row_view next = view_row(599);
    EXPECT_EQ(next.green, std::vector<int>{799 + 40});
    EXPECT_EQ(next.violet, std::vector<int>{819 + 28});
    EXPECT_EQ(next.colour, 30);
    // Every row of the ribbon: one pixel each, on the circle of radius 48
    // that the angle, kept in float, walks round.
    float theta = 0.5f;
    int crossings = 0;
    for (int y = 600; y >= 5; --y) {
        row_view v = view_row(y);
        ASSERT_EQ(v.other, 0) << "row " << y;
        const int g = 799 + int(std::ceil(48 * std::cos(double(theta))));
        const int vi = 819 + int(std::ceil(48 * std::sin(double(theta))));
        theta = float(double(theta) + 0.1);
        // Where both land on one column the violet pixel, drawn second, wins.
        ASSERT_EQ(v.violet, std::vector<int>{vi}) << "row " << y;
        ASSERT_EQ(v.green, g == vi ? std::vector<int>{} : std::vector<int>{g}) << "row " << y;
        crossings += g == vi;
    }
    EXPECT_GT(crossings, 0) << "the ribbons never cross in this frame";
    expect_rows_untouched(0, 4);
    expect_rows_untouched(601, SCREEN_H - 1);
}

TEST(EndScreenBars, SecondStepOfANarrowingCycleShowsGreenOverViolet) {
    use_memory_screen(FILL);
    int32_t colour = 10;
    draw_end_screen_bars(false, 2, &colour);
    // Amplitude 0 and width 49: both runs overlap, and for each shared column
    // the green pixel comes later, so violet shows only right of the green.
    for (int y = 600; y >= 5; --y) {
        row_view v = view_row(y);
        ASSERT_EQ(v.other, 0) << "row " << y;
        ASSERT_EQ(v.green, span(750, 798)) << "row " << y;
        ASSERT_EQ(v.violet, span(799, 818)) << "row " << y;
    }
    expect_rows_untouched(0, 4);
    expect_rows_untouched(601, SCREEN_H - 1);
}

TEST(EndScreenBars, LastStepOfAWideningCycleShowsVioletOverGreen) {
    use_memory_screen(FILL);
    int32_t colour = 10;
    draw_end_screen_bars(true, 49, &colour);
    // Amplitude 1 and width 48, both drawn leftwards from their end column:
    // violet comes later on shared columns, leaving about 20 green columns.
    for (int y = 600; y >= 5; --y) {
        row_view v = view_row(y);
        ASSERT_EQ(v.other, 0) << "row " << y;
        ASSERT_EQ(v.violet.size(), 48u) << "row " << y;
        const int vr = v.violet.back();
        ASSERT_GE(vr, 818) << "row " << y;
        ASSERT_LE(vr, 820) << "row " << y;
        ASSERT_EQ(v.violet, span(vr - 47, vr)) << "row " << y;
        ASSERT_GE(v.green.size(), 18u) << "row " << y;
        ASSERT_LE(v.green.size(), 22u) << "row " << y;
        const int gl = v.green.front();
        ASSERT_GE(gl, 751) << "row " << y;
        ASSERT_LE(gl, 753) << "row " << y;
        ASSERT_EQ(v.green, span(gl, vr - 48)) << "row " << y;
    }
}

TEST(EndScreenBars, NarrowingRunsStartLeftOfTheirOffsetAndGrowRightwards) {
    use_memory_screen(FILL);
    int32_t colour = 10;
    draw_end_screen_bars(false, 30, &colour);  // amplitude 28, width 21
    float theta = 60.0f;
    for (int y = 600; y >= 5; --y) {
        const int dg = int(std::ceil(28 * std::cos(double(theta))));
        const int dv = int(std::ceil(28 * std::sin(double(theta))));
        theta = float(double(theta) - 0.1);
        row_view v = view_row(y);
        ASSERT_EQ(v.other, 0) << "row " << y;
        // Violet overwrites green on shared columns unless green comes later
        // there, so test what the violet run shows in full.
        const int vl = 819 - 21 + dv;
        const int gl = 799 - 21 + dg;
        if (vl > gl + 20 || vl + 20 < gl) {  // apart: both runs whole
            ASSERT_EQ(v.green, span(gl, gl + 20)) << "row " << y;
            ASSERT_EQ(v.violet, span(vl, vl + 20)) << "row " << y;
        } else {
            ASSERT_EQ(v.green.size() + v.violet.size(), size_t(std::max(gl, vl) + 21 - std::min(gl, vl))) << "row " << y;
        }
    }
}

TEST(EndScreenBars, ColourRampsThroughTwentyToTwoFiftyAcrossRowsAndFrames) {
    int32_t colour = 10;
    for (int frame = 0; frame < 30; ++frame) {
        use_memory_screen(FILL);
        draw_end_screen_bars(frame % 2 == 0, 2 + frame, &colour);
        const int64_t before = int64_t(frame) * 596;
        for (int y = 600; y >= 5; --y) {
            row_view v = view_row(y);
            ASSERT_EQ(v.other, 0) << "frame " << frame << " row " << y;
            ASSERT_EQ(v.colour, ramp_after(before + 601 - y)) << "frame " << frame << " row " << y;
            ASSERT_NE(v.colour, 10);
            ASSERT_NE(v.colour, 255);
        }
        // 596 advances a frame: the next one starts 20 places further on.
        EXPECT_EQ(colour, ramp_after(before + 596));
    }
    // The wrap itself: 250 is followed by 20.
    use_memory_screen(FILL);
    colour = 240;
    draw_end_screen_bars(true, 2, &colour);
    EXPECT_EQ(view_row(600).colour, 250);
    EXPECT_EQ(view_row(599).colour, 20);
    EXPECT_EQ(view_row(598).colour, 30);
    // The ramp's values, counted from the start: 10, then 20, 30, ..., 250.
    for (auto [rows, want] : {std::pair<int64_t, int32_t>{0, 10}, {1, 20}, {24, 250}, {25, 20}, {48, 250}, {49, 20}})
        EXPECT_EQ(ramp_after(rows), want) << rows << " rows on";
}

TEST(EndScreenBars, WriteOnlyColourBytes) {
    for (uint8_t fourth : {uint8_t(0x00), uint8_t(0xFF)}) {
        uint8_t* screen = use_memory_screen(fourth);
        int32_t colour = 10;
        draw_end_screen_bars(true, 25, &colour);
        draw_end_screen_bars(false, 25, &colour);
        for (size_t i = 3; i < size_t(SCREEN_BYTES); i += 4) ASSERT_EQ(screen[i], fourth) << "byte " << i;
    }
}

TEST(EndScreenFrame, ClearsThenDrawsTextThenRibbonsOverIt) {
    use_memory_screen(FILL);
    int32_t colour = 10;
    draw_end_screen_frame(false, 2, &colour);
    EXPECT_EQ(colour, ramp_after(596));
    // Line 7 runs to column 759; the green run from 750 lies over its end.
    for (int y = 230; y < 256; ++y)
        for (int x = 750; x < 760; ++x) ASSERT_EQ(screen_word(x, y) & 0xFFFFFFu, uint32_t(ramp_after(601 - y)) << 8);
    // Text is there, the rest is black.
    int red = 0, black = 0, other = 0;
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < 750; ++x) {
            uint32_t w = screen_word(x, y);
            if (w == 0) ++black;
            else if (w == 0xFF0000u) ++red;
            else ++other;
        }
    EXPECT_GT(red, 1000);
    EXPECT_EQ(other, 0);
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 819; x < SCREEN_W; ++x) ASSERT_EQ(screen_word(x, y), 0u) << x << "," << y;
}

// ---- the scene's flow on the virtual clock -------------------------------

namespace {

constexpr int64_t T0 = int64_t(1800000000) * 1000000;
constexpr int64_t FRAME_SLEEP_US = 56000;  // 56,250 us sleeps as 56 whole ms

// Frame (1-based) in which the whole-second difference first exceeds 30.
int64_t first_fade_frame(int64_t start_us) {
    for (int64_t n = 1;; ++n)
        if ((start_us + FRAME_SLEEP_US * n) / 1000000 - start_us / 1000000 > 30) return n;
}

// Frame in which a 500 ms fade started in frame f has run out.
int64_t fade_end_frame(int64_t f) {
    for (int64_t n = f;; ++n)
        if (FRAME_SLEEP_US * (n - f) >= 500000) return n;
}

void push_event(uint32_t type) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) e.key.keysym.sym = SDLK_SPACE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

}  // namespace

class EndScreenFlow : public ::testing::Test {
protected:
    SDL_Window* window = nullptr;
    SDL_Surface* surface = nullptr;

    // A window whose size differs from the screen's makes drawing go to the
    // screen module's own buffer, which outlives SDL_Quit and can be read; a
    // small one keeps presenting cheap.
    void open(int64_t start_us, int64_t music_started_us = -1) {
        const int w = 64, h = 36;
        null_platform_reset();
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window = SDL_CreateWindow("end screen test", 0, 0, w, h, 0);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        surface = SDL_GetWindowSurface(window);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        attach_window_screen(window);
        null_clock_set(music_started_us < 0 ? start_us : music_started_us, 0);
        testing::internal::CaptureStderr();
        start_music();
        ASSERT_NE(testing::internal::GetCapturedStderr().find("running without sound"), std::string::npos);
        music_playing_at(null_clock_us(), start_us);
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        null_counters = {};
    }

    void TearDown() override {
        if (SDL_WasInit(0)) SDL_Quit();
    }

    // Expects the screen to show frame n of the first cycle as drawn on a
    // plain buffer.
    void expect_picture_of_first_cycle_frame(int64_t n) {
        std::vector<uint8_t> shown(screen_pixels, screen_pixels + SCREEN_BYTES);
        use_memory_screen(0);
        int32_t colour = n == 1 ? 10 : ramp_after((n - 1) * 596);
        draw_end_screen_frame(true, int(n + 1), &colour);
        EXPECT_EQ(hash_bytes(shown.data(), shown.size()), hash_bytes(screen_pixels, SCREEN_BYTES));
    }
};

TEST_F(EndScreenFlow, FadeBeginsOnlyOnceTheSecondsDifferenceExceedsThirty) {
    // Start offsets within the second move the frame where the difference
    // turns from 30 to 31.
    for (int64_t offset : {int64_t(0), int64_t(990000), int64_t(444444)}) {
        const int64_t start = T0 + offset;
        open(start);
        const int64_t fade = first_fade_frame(start);
        const int64_t end = fade_end_frame(fade);
        // A fade that started a frame earlier, at difference 30, would end
        // the scene a frame earlier too.
        ASSERT_EQ(fade_end_frame(fade - 1), end - 1);
        EXPECT_EQ(run_end_screen(), 0);
        EXPECT_EQ(null_counters.naps, uint64_t(end)) << "offset " << offset;
        EXPECT_EQ(null_counters.polls, uint64_t(end - 1)) << "the last frame ends before its poll";
        EXPECT_EQ(SDL_WasInit(0), 0u);
        EXPECT_FALSE(music_playing());
    }
}

TEST_F(EndScreenFlow, MusicEndingClosesTheSceneAfterThatFramesPicture) {
    // The silent tune started long enough ago to end one second into the scene.
    const int64_t music_start = T0 - int64_t(MUSIC_SECONDS * 1e6) + 1000000;
    open(T0, music_start);
    int64_t last = 1;
    while (FRAME_SLEEP_US * last < 1000000) ++last;
    // A key arriving in that last frame is never looked at: the music test
    // comes first.
    null_queue_at_poll(SDL_KEYDOWN, uint64_t(last));
    EXPECT_EQ(run_end_screen(), 0);
    EXPECT_EQ(null_counters.naps, uint64_t(last));
    EXPECT_EQ(null_counters.polls, uint64_t(last - 1));
    EXPECT_EQ(SDL_WasInit(0), 0u);
    expect_picture_of_first_cycle_frame(last);
}

TEST_F(EndScreenFlow, KeyPressActsInTheFrameItArrivesBehindOtherEvents) {
    open(T0);
    for (uint32_t type : {uint32_t(SDL_USEREVENT), uint32_t(SDL_QUIT), uint32_t(SDL_KEYUP)})
        null_queue_at_poll(type, 3);
    null_queue_at_poll(SDL_MOUSEMOTION, 3, 1500);
    null_queue_at_poll(SDL_KEYDOWN, 3);
    null_queue_at_poll(SDL_USEREVENT, 3);
    EXPECT_EQ(run_end_screen(), 0);
    // Everything queued in the third frame up to the key is taken at once;
    // what came after the key is left.
    EXPECT_EQ(null_counters.polls, 3u);
    EXPECT_EQ(null_counters.events_taken, 1504u);
    EXPECT_EQ(null_counters.naps, 3u);
    EXPECT_EQ(SDL_WasInit(0), 0u);
    expect_picture_of_first_cycle_frame(3);
}

TEST_F(EndScreenFlow, WindowCloseRequestsAreDropped) {
    open(T0);
    for (int i = 0; i < 4; ++i) push_event(SDL_QUIT);
    EXPECT_EQ(run_end_screen(), 0);
    // Only the fade ends it, exactly as with no events at all.
    EXPECT_EQ(null_counters.naps, uint64_t(fade_end_frame(first_fade_frame(T0))));
    EXPECT_EQ(null_counters.events_taken, 4u);
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST_F(EndScreenFlow, AllCyclesShownThenHoldsIdlyUntilAKey) {
    open(T0 + 500000);
    // Each frame sleeps 56 ms and reads the clock twice (scene, tune):
    // those reads take the time back, so the tune never fades.
    null_clock_steps(1000, -FRAME_SLEEP_US / 2);
    const int frames = 600 * 48;
    // The key comes at the hold's fourth look at the queue.
    null_queue_at_poll(SDL_KEYDOWN, uint64_t(frames + 4));
    EXPECT_EQ(run_end_screen(), 0);
    EXPECT_EQ(null_counters.naps, uint64_t(frames) + 3) << "one frame sleep each, and the hold idles between its looks";
    EXPECT_EQ(null_counters.polls, uint64_t(frames + 4));
    EXPECT_EQ(SDL_WasInit(0), 0u);
    // Cycles alternate from widening, so the 600th narrows; its last frame
    // (step 49) stays on screen.
    std::vector<uint8_t> shown(screen_pixels, screen_pixels + SCREEN_BYTES);
    use_memory_screen(0);
    int32_t colour = ramp_after(int64_t(frames - 1) * 596);
    draw_end_screen_frame(false, 49, &colour);
    EXPECT_EQ(hash_bytes(shown.data(), shown.size()), hash_bytes(screen_pixels, SCREEN_BYTES));
}
