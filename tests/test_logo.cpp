// Rotating logo: the offset table against a plain scalar formula, its known
// values and ranges, and frames drawn into a plain screen.
#include "effects/logo.h"
#include "screen/screen.h"
#include "assets.h"
#include "routine_skip.h"
#include "testkit.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int64_t FRAME = LOGO_FRAME_ENTRIES;

// Scale and angle terms of one frame, from the same float counters the
// animation uses, stepped independently of the code under test.
struct frame_terms { double sa, ca, s; };

const std::vector<frame_terms>& all_frame_terms() {
    static std::vector<frame_terms> terms = [] {
        std::vector<frame_terms> t;
        float a = 0.0f, z = 0.0f;
        for (int f = 0; f < LOGO_FRAME_COUNT; ++f) {
            double sz = std::sin(double(z));
            t.push_back({std::sin(double(a)), std::cos(double(a)), 1.0 / (8.0 * sz)});
            a = float(double(a) + 0.1);
            z = float(double(z) + 0.01);
        }
        return t;
    }();
    return terms;
}

// What x86 truncation gives: the value when it fits, else INT32_MIN.
int32_t truncate_like_cpu(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return int32_t(v);
}

// Table entry at index idx, from the formula alone.
int64_t plain_entry(int64_t idx) {
    int64_t f = idx / FRAME, rest = idx % FRAME;
    int64_t pixel = rest / 2;
    int i = int(pixel / LOGO_W), j = int(pixel % LOGO_W);
    const frame_terms& t = all_frame_terms()[size_t(f)];
    double v = rest % 2 == 0 ? (-t.sa * i) * t.s + (t.ca * j) * t.s
                             : (t.ca * i) * t.s + (t.sa * j) * t.s;
    return truncate_like_cpu(v);
}

int64_t entry(int f, int row, int col, int xy) { return logo_frames[FRAME * f + 2 * (LOGO_W * row + col) + xy]; }

// The screen a draw pass must produce, composed from plain_entry.
std::vector<uint8_t> plain_draw(const std::vector<uint8_t>& before, int64_t pos, int64_t dir) {
    std::vector<uint8_t> out = before;
    for (int64_t k = 0; k < LOGO_PIXELS; ++k) {
        const uint8_t* src = logo_picture + 4 * k;
        if (src[0] == 0 && src[1] == 0 && src[2] == 0) continue;
        int32_t x = int32_t(plain_entry(pos + 2 * dir * k));
        int32_t y = int32_t(plain_entry(pos + 2 * dir * k + dir));
        if (x < -639 || x > 638 || y < -359 || y > 358) continue;
        std::memcpy(&out[size_t(4 * ((360 + y) * 1280 + 640 + x))], src, 4);
    }
    return out;
}

// Index of the first logo pixel after `from` whose colour bytes are (non)black.
int64_t find_logo_pixel(bool black, int64_t from = 0) {
    for (int64_t k = from; k < LOGO_PIXELS; ++k) {
        const uint8_t* p = logo_picture + 4 * k;
        if (((p[0] | p[1] | p[2]) == 0) == black) return k;
    }
    return -1;
}

// Every drawing routine built in, and the dispatching one.
std::vector<logo_routine> built_routines() {
    const std::span<const logo_routine> list = all_routines(logo_routine_table());
    std::vector<logo_routine> r = {{"dispatch", "", draw_logo_frame, nullptr, true}};
    r.insert(r.end(), list.begin(), list.end());
    return r;
}

// A screen whose bytes all differ from their neighbours.
const uint8_t* use_varied_screen() {
    uint8_t* s = use_memory_screen(0);
    for (int i = 0; i < SCREEN_BYTES; ++i) s[i] = uint8_t(i * 13 + (i >> 11));
    return s;
}

class LogoTable : public ::testing::Test {
protected:
    // Building takes a fraction of a second: once per test program. Built in
    // uneven blocks, as the start-up builds it, so every check below also
    // shows that blocks carry the animation on from frame to frame.
    static void SetUpTestSuite() {
        static bool built = false;
        if (built) return;
        ASSERT_TRUE(allocate_logo_frames());
        const int blocks[][2] = {{0, 1}, {1, 2}, {2, 100}, {100, 267}, {267, LOGO_FRAME_COUNT}};
        for (const auto& b : blocks) build_logo_frames_range(logo_frames, b[0], b[1]);
        prepare_logo_drawing(logo_picture);
        built = true;
    }
};

// Swaps in a small all-INT32_MIN table (nothing drawn) for synthetic offsets.
class LogoSynthetic : public ::testing::Test {
protected:
    void SetUp() override {
        saved = logo_frames;
        table.assign(size_t(3 * FRAME), int64_t(INT32_MIN));
        logo_frames = table.data();
        prepare_logo_drawing(logo_picture);
        use_memory_screen(0x11);
    }
    void TearDown() override {
        logo_frames = saved;
        prepare_logo_drawing(logo_picture);
    }
    void place(int64_t k, int64_t x, int64_t y) {  // pixel k of frame 1, forward
        table[size_t(FRAME + 2 * k)] = x;
        table[size_t(FRAME + 2 * k + 1)] = y;
    }
    int64_t* saved = nullptr;
    std::vector<int64_t> table;
};

// A fixture's tests once for every routine built in: those that do not run
// here are skipped with the reason.
template <class Fixture>
class EachRoutine : public Fixture, public ::testing::WithParamInterface<logo_routine> {
protected:
    void SetUp() override {
        Fixture::SetUp();
        const logo_routine& r = GetParam();
        const std::string why = routine_skip_reason(r.name, r.needs, r.runs_here);
        if (!why.empty()) GTEST_SKIP() << "logo routine " << r.name << ": " << why;
    }
};
class LogoTablePass : public EachRoutine<LogoTable> {};
class LogoSyntheticPass : public EachRoutine<LogoSynthetic> {};

std::string routine_case_name(const ::testing::TestParamInfo<logo_routine>& p) { return p.param.name; }

}  // namespace

// A case shows as its routine's name (ctest lists the parameter too).
void PrintTo(const logo_routine& r, std::ostream* os) { *os << r.name; }

INSTANTIATE_TEST_SUITE_P(Routines, LogoTablePass, ::testing::ValuesIn(built_routines()), routine_case_name);
INSTANTIATE_TEST_SUITE_P(Routines, LogoSyntheticPass, ::testing::ValuesIn(built_routines()), routine_case_name);

TEST_F(LogoTable, KnownValues) {
    struct check { int f, row, col; int64_t x, y; };
    const check checks[] = {{1, 0, 1, 12, 1},          {1, 153, 765, 9323, 2857}, {2, 153, 765, 4496, 1887},
                            {100, 77, 383, -41, -40},  {157, 153, 765, -95, -18}, {157, 0, 765, -95, 0},
                            {266, 153, 765, -19, 209}, {266, 0, 765, 21, 205},    {314, 153, 765, 60128, 11038},
                            {359, 153, 765, 6, 224}};
    for (const check& c : checks) {
        SCOPED_TRACE(testing::Message() << "frame " << c.f << " row " << c.row << " col " << c.col);
        EXPECT_EQ(entry(c.f, c.row, c.col, 0), c.x);
        EXPECT_EQ(entry(c.f, c.row, c.col, 1), c.y);
    }
}

// Frame 0 has an infinite scale, so every entry is INT32_MIN, sign-extended.
TEST_F(LogoTable, FrameZeroIsAllInt32Min) {
    int64_t other = 0;
    for (int64_t i = 0; i < FRAME; ++i) other += logo_frames[i] != int64_t(INT32_MIN);
    EXPECT_EQ(other, 0);
}

TEST_F(LogoTable, LaterFramesFiniteAndBounded) {
    int64_t bad = 0, origin_off = 0;
    for (int64_t i = FRAME; i < LOGO_TABLE_ENTRIES; ++i) {
        int64_t v = logo_frames[i];
        bad += v < -60128 || v > 60128;
    }
    for (int f = 1; f < LOGO_FRAME_COUNT; ++f) origin_off += entry(f, 0, 0, 0) != 0 || entry(f, 0, 0, 1) != 0;
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(origin_off, 0);
}

// The vectorised build must equal the scalar formula entry for entry.
TEST_F(LogoTable, SampledFramesMatchScalarFormula) {
    const int frames[] = {0, 1, 2, 13, 157, 266, 267, 314, 359};
    for (int f : frames) {
        int64_t wrong = 0, first_wrong = -1;
        for (int64_t i = FRAME * f; i < FRAME * (f + 1); ++i)
            if (logo_frames[i] != plain_entry(i)) {
                if (first_wrong < 0) first_wrong = i;
                ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "frame " << f << ", first at " << first_wrong;
    }
}

TEST_F(LogoTable, FrameOneForwardMatchesPlainDraw) {
    const uint8_t* blank = use_memory_screen(0x22);
    std::vector<uint8_t> before(blank, blank + SCREEN_BYTES);
    draw_logo_frame(int32_t(FRAME), 1);
    std::vector<uint8_t> want = plain_draw(before, FRAME, 1);
    EXPECT_EQ(std::memcmp(screen_pixels, want.data(), SCREEN_BYTES), 0);
}

TEST_F(LogoTable, MidAndTurningPassesMatchPlainDraw) {
    struct pass { int64_t pos; int dir; };
    const pass passes[] = {{100 * FRAME, 1}, {266 * FRAME, 1}, {267 * FRAME, -1}, {200 * FRAME, -1}};
    for (const pass& p : passes) {
        SCOPED_TRACE(testing::Message() << "pos " << p.pos << " dir " << p.dir);
        const uint8_t* blank = use_memory_screen(0x33);
        std::vector<uint8_t> before(blank, blank + SCREEN_BYTES);
        draw_logo_frame(int32_t(p.pos), p.dir);
        std::vector<uint8_t> want = plain_draw(before, p.pos, p.dir);
        EXPECT_EQ(std::memcmp(screen_pixels, want.data(), SCREEN_BYTES), 0);
        EXPECT_NE(std::memcmp(screen_pixels, before.data(), SCREEN_BYTES), 0);  // something was drawn
    }
}

// Position 0 forward reads only frame 0; position 1 backward reads frame 0
// except one x: neither puts a pixel on screen.
TEST_F(LogoTable, PassesOverFrameZeroDrawNothing) {
    use_memory_screen(0x44);
    uint64_t before = hash_bytes(screen_pixels, SCREEN_BYTES);
    draw_logo_frame(0, 1);
    EXPECT_EQ(hash_bytes(screen_pixels, SCREEN_BYTES), before);
    draw_logo_frame(int32_t(FRAME), -1);
    EXPECT_EQ(hash_bytes(screen_pixels, SCREEN_BYTES), before);
}

TEST_F(LogoSynthetic, EdgeOffsetsDrawnOneBeyondSkipped) {
    int64_t k = find_logo_pixel(false);
    ASSERT_GE(k, 0);
    struct off { int64_t x, y; bool drawn; };
    const off offs[] = {{-639, 0, true},  {638, 0, true},   {0, -359, true},  {0, 358, true},
                        {-640, 0, false}, {639, 0, false},  {0, -360, false}, {0, 359, false},
                        {int64_t(INT32_MIN), 0, false},      {0, 1LL << 33, true}};  // only the low 32 bits count
    for (const off& o : offs) {
        SCOPED_TRACE(testing::Message() << o.x << "," << o.y);
        use_memory_screen(0x11);
        place(k, o.x, o.y);
        draw_logo_frame(int32_t(FRAME), 1);
        int32_t sx = 640 + int32_t(o.x), sy = 360 + int32_t(o.y);
        int changed = 0;
        for (int64_t i = 0; i < SCREEN_BYTES; i += 4) changed += std::memcmp(screen_pixels + i, "\x11\x11\x11\x11", 4) != 0;
        EXPECT_EQ(changed, o.drawn ? 1 : 0);
        if (o.drawn) {
            EXPECT_EQ(std::memcmp(screen_pixel(sx, sy), logo_picture + 4 * k, 4), 0);
        }
    }
}

TEST_F(LogoSynthetic, BlackPixelsNeverDrawnWhateverFourthByte) {
    int64_t k = find_logo_pixel(true);
    ASSERT_EQ(k, 0);  // column 0 is background
    EXPECT_NE(logo_picture[3], 0);  // the background's fourth byte is set, yet it must not count
    for (int64_t b = 0; b < LOGO_PIXELS; b = find_logo_pixel(true, b + 7919)) {
        if (b < 0) break;
        place(b, 5, 5);
    }
    draw_logo_frame(int32_t(FRAME), 1);
    EXPECT_EQ(screen_word(645, 365), 0x11111111u);
}

TEST_F(LogoSynthetic, LaterPixelWinsAndAllFourBytesCopied) {
    int64_t first = find_logo_pixel(false);
    int64_t second = first;
    while (second >= 0 && std::memcmp(logo_picture + 4 * second, logo_picture + 4 * first, 4) == 0)
        second = find_logo_pixel(false, second + 1);
    ASSERT_GE(second, 0);
    place(first, -3, 7);
    place(second, -3, 7);
    draw_logo_frame(int32_t(FRAME), 1);
    EXPECT_EQ(std::memcmp(screen_pixel(637, 367), logo_picture + 4 * second, 4), 0);
}

// Backward: pixel k takes x from pos - 2k and y from pos - 2k - 1.
TEST_F(LogoSynthetic, BackwardPassReadsDescendingPairs) {
    int64_t k = find_logo_pixel(false);
    int64_t pos = FRAME + 1000;
    ASSERT_GE(pos - 2 * k - 1, 0);
    table[size_t(pos - 2 * k)] = 100;
    table[size_t(pos - 2 * k - 1)] = -50;
    draw_logo_frame(int32_t(pos), -1);
    EXPECT_EQ(std::memcmp(screen_pixel(740, 310), logo_picture + 4 * k, 4), 0);
}

// Each routine on its own: whole screens against the plain draw, forwards and
// backwards, from frame starts and from positions inside a frame.
TEST_P(LogoTablePass, MatchesPlainDraw) {
    struct pass { int64_t pos; int dir; };
    const pass passes[] = {{FRAME, 1},       {100 * FRAME, 1},        {266 * FRAME, 1}, {359 * FRAME, 1},
                           {267 * FRAME, -1}, {200 * FRAME - 1, -1},  {2 * FRAME - 1, -1},
                           {150 * FRAME + 1001, 1}, {150 * FRAME + 777, -1}};
    for (const pass& p : passes) {
        SCOPED_TRACE(testing::Message() << "pos " << p.pos << " dir " << p.dir);
        const uint8_t* start = use_varied_screen();
        std::vector<uint8_t> before(start, start + SCREEN_BYTES);
        GetParam().pass(int32_t(p.pos), p.dir);
        std::vector<uint8_t> want = plain_draw(before, p.pos, p.dir);
        EXPECT_EQ(std::memcmp(screen_pixels, want.data(), SCREEN_BYTES), 0);
    }
}

TEST_P(LogoTablePass, DrawsNothingFromFrameZero) {
    use_memory_screen(0x44);
    GetParam().pass(0, 1);
    GetParam().pass(int32_t(FRAME), -1);
    int changed = 0;
    for (int64_t i = 0; i < SCREEN_BYTES; ++i) changed += screen_pixels[i] != 0x44;
    EXPECT_EQ(changed, 0);
}

// Placement rules: edges, the low 32 bits only, black pixels never drawn,
// later pixels winning within a step of 8 pixels and across steps.
TEST_P(LogoSyntheticPass, FollowsPlacementRules) {
    const int64_t first = find_logo_pixel(false);
    ASSERT_GE(first, 0);
    int64_t last = -1;
    for (int64_t k = LOGO_PIXELS - 1; k >= 0 && last < 0; --k) {
        const uint8_t* p = logo_picture + 4 * k;
        if (p[0] | p[1] | p[2]) last = k;
    }
    ASSERT_GT(last, first);
    // Opaque pixels of distinct colours: two in one step of 8, one later.
    std::vector<int64_t> opaque;
    for (int64_t k = first; k >= 0 && opaque.size() < 400; k = find_logo_pixel(false, k + 1)) opaque.push_back(k);
    int64_t a = -1, b = -1, c = -1;
    for (size_t i = 0; i + 1 < opaque.size() && a < 0; ++i)
        if (opaque[i] / 8 == opaque[i + 1] / 8 &&
            std::memcmp(logo_picture + 4 * opaque[i], logo_picture + 4 * opaque[i + 1], 4) != 0) {
            a = opaque[i];
            b = opaque[i + 1];
        }
    ASSERT_GE(a, 0);
    for (int64_t k : opaque)
        if (k / 8 > b / 8 && std::memcmp(logo_picture + 4 * k, logo_picture + 4 * b, 4) != 0) {
            c = k;
            break;
        }
    ASSERT_GE(c, 0);
    int64_t d = -1;  // an earlier step than c's, another colour
    for (int64_t k : opaque)
        if (k != first && k != a && k != b && k / 8 < c / 8 &&
            std::memcmp(logo_picture + 4 * k, logo_picture + 4 * c, 4) != 0) {
            d = k;
            break;
        }
    ASSERT_GE(d, 0);
    const int64_t black = find_logo_pixel(true);

    place(first, -639, -359);                      // top-left corner, drawn
    place(last, 638, 358);                         // bottom-right corner, drawn
    place(black, 1, 1);                            // black, never drawn
    place(a, 2, 2);                                // same step: b wins
    place(b, 2, 2);
    place(d, 3, 3);                                // c's later step wins
    place(c, 3, 3);
    place(opaque[opaque.size() - 1], (1LL << 32) + 4, 4);  // only the low 32 bits count
    place(opaque[opaque.size() - 2], 639, 0);      // one beyond the right edge
    place(opaque[opaque.size() - 3], 0, -360);     // one beyond the top edge
    GetParam().pass(int32_t(FRAME), 1);
    EXPECT_EQ(std::memcmp(screen_pixel(1, 1), logo_picture + 4 * first, 4), 0);
    EXPECT_EQ(std::memcmp(screen_pixel(1278, 718), logo_picture + 4 * last, 4), 0);
    EXPECT_EQ(screen_word(641, 361), 0x11111111u);
    EXPECT_EQ(std::memcmp(screen_pixel(642, 362), logo_picture + 4 * b, 4), 0);
    EXPECT_EQ(std::memcmp(screen_pixel(643, 363), logo_picture + 4 * c, 4), 0);
    EXPECT_EQ(std::memcmp(screen_pixel(644, 364), logo_picture + 4 * opaque[opaque.size() - 1], 4), 0);
    int changed = 0;
    for (int64_t i = 0; i < SCREEN_BYTES; i += 4) changed += std::memcmp(screen_pixels + i, "\x11\x11\x11\x11", 4) != 0;
    EXPECT_EQ(changed, 5);
}

// Passes over a table that ends right where the pass ends (forwards) or
// begins right where it ends (backwards) still draw the last opaque pixel.
TEST_P(LogoSyntheticPass, DrawsTheLastPixelAtTheTableEnds) {
    int64_t last = -1;
    for (int64_t k = LOGO_PIXELS - 1; k >= 0 && last < 0; --k) {
        const uint8_t* p = logo_picture + 4 * k;
        if (p[0] | p[1] | p[2]) last = k;
    }
    ASSERT_GE(last, 0);
    // Forwards from the last frame start: the pass ends at the table's end.
    table[size_t(2 * FRAME + 2 * last)] = -7;
    table[size_t(2 * FRAME + 2 * last + 1)] = 9;
    GetParam().pass(int32_t(2 * FRAME), 1);
    EXPECT_EQ(std::memcmp(screen_pixel(633, 369), logo_picture + 4 * last, 4), 0);
    // Backwards from the lowest position that stays inside the table.
    const int64_t pos = FRAME - 1;
    std::fill(table.begin(), table.end(), int64_t(INT32_MIN));
    table[size_t(pos - 2 * last)] = 8;
    table[size_t(pos - 2 * last - 1)] = -6;
    use_memory_screen(0x11);
    GetParam().pass(int32_t(pos), -1);
    EXPECT_EQ(std::memcmp(screen_pixel(648, 354), logo_picture + 4 * last, 4), 0);
}

// A picture whose last 16 pixels are opaque (those after the last whole step
// of 8 and the steps before them), with more opaque pixels lying past its end and
// on-screen offsets where a pass reading too far would find them: each
// routine draws exactly those 16, forwards and backwards.
TEST_P(LogoSyntheticPass, DrawsAnOpaqueLastGroupAndNothingBeyond) {
    constexpr int64_t N = LOGO_PIXELS, EXTRA = 4;
    std::vector<uint8_t> picture(logo_picture, logo_picture + 4 * N);
    picture.resize(size_t(4 * (N + 16)), 0x7F);
    for (int64_t k = N - 16; k < N; ++k) {
        uint8_t* p = &picture[size_t(4 * k)];
        p[0] = uint8_t(k);
        p[1] = 0x40;
        p[2] = 0x80;
        p[3] = 0xFF;
    }
    prepare_logo_drawing(picture.data());
    for (int dir : {1, -1}) {
        SCOPED_TRACE(testing::Message() << "dir " << dir);
        const int64_t pos = dir > 0 ? FRAME : 2 * FRAME - 1;
        std::fill(table.begin(), table.end(), int64_t(INT32_MIN));
        for (int64_t k = N - 16; k < N + EXTRA; ++k) {
            table[size_t(pos + 2 * dir * k)] = 5 * (k - N);
            table[size_t(pos + 2 * dir * k + dir)] = 50;
        }
        use_memory_screen(0x11);
        GetParam().pass(int32_t(pos), dir);
        for (int64_t k = N - 16; k < N; ++k)
            EXPECT_EQ(std::memcmp(screen_pixel(640 + 5 * int(k - N), 410), &picture[size_t(4 * k)], 4), 0) << k;
        int changed = 0;
        for (int64_t i = 0; i < SCREEN_BYTES; i += 4) changed += std::memcmp(screen_pixels + i, "\x11\x11\x11\x11", 4) != 0;
        EXPECT_EQ(changed, 16);
    }
}
