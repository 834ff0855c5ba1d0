// Plasma tables and frames: known values, whole-table properties, and every
// pixel of several frames against a plain per-pixel formula.
#include "effects/plasma.h"
#include "routine_skip.h"
#include "screen/screen.h"
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

// Tables are built once per process; each test may run in its own process.
void build_plasma_tables() {
    static bool built = false;
    if (built) return;
    build_plasma_palette();
    build_plasma_field();
    build_plasma_phase();
    choose_plasma_routine();
    built = true;
}

int field_at(int x, int y) { return plasma_field8[1280 * y + x]; }

// The field value straight from its four waves, with no reuse of terms.
int plain_field(int x, int y) {
    double a = 128 * std::sin(x / 16.0) + 128;
    double b = 128 * std::sin(y / 32.0) + 128;
    double c = 128 * std::sin(std::sqrt(double((x - 640) * (x - 640) + (y - 360) * (y - 360))) / 8) + 128;
    double d = 128 * std::sin(std::sqrt(double(x * x + y * y)) / 8) + 128;
    return int(a + b + c + d) / 4;
}

// Blue, green, red of palette entry s mod 256, via a true modulo.
uint32_t palette_colour(int s) {
    int i = ((s % 256) + 256) % 256;
    return uint32_t(plasma_palette[i][0] & 255) | uint32_t(plasma_palette[i][1] & 255) << 8 |
           uint32_t(plasma_palette[i][2] & 255) << 16;
}

// Expected blue, green, red of pixel (x, y) under phase.
uint32_t plain_colour(int phase, int x, int y) { return palette_colour(phase + field_at(x, y)); }

// Renders the frame for `tick` over a screen whose every byte is `fill` and
// counts pixels that differ from the plain formula (fourth byte must stay fill).
int count_wrong_pixels(int tick, uint8_t fill) {
    use_memory_screen(fill);
    plasma_tick = tick;
    render_plasma();
    int phase = plasma_phase[tick];
    int wrong = 0;
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            uint32_t want = plain_colour(phase, x, y) | uint32_t(fill) << 24;
            if (screen_word(x, y) != want) ++wrong;
        }
    return wrong;
}

// Screen whose every byte differs from its neighbours, so a pass that mixes up
// pixels, channels or the kept fourth byte shows up.
void fill_varied_screen() {
    uint8_t* s = use_memory_screen(0);
    for (int i = 0; i < SCREEN_BYTES; ++i) s[i] = uint8_t(i * 7 + (i >> 9));
}

// Every routine built in is a case of the routine tests; those that do not
// run here are skipped with the reason.
class PlasmaPass : public ::testing::TestWithParam<plasma_routine> {
protected:
    void SetUp() override {
        const plasma_routine& r = GetParam();
        const std::string why = routine_skip_reason(r.name, r.needs, r.runs_here);
        if (!why.empty()) GTEST_SKIP() << "plasma routine " << r.name << ": " << why;
        build_plasma_tables();
        prepare_routine(r);
    }
};

std::vector<plasma_routine> built_routines() {
    const std::span<const plasma_routine> list = all_routines(plasma_routine_table());
    return {list.begin(), list.end()};
}

}  // namespace

// A case shows as its routine's name (ctest lists the parameter too).
void PrintTo(const plasma_routine& r, std::ostream* os) { *os << r.name; }

INSTANTIATE_TEST_SUITE_P(Routines, PlasmaPass, ::testing::ValuesIn(built_routines()),
                         [](const ::testing::TestParamInfo<plasma_routine>& p) { return std::string(p.param.name); });

TEST(PlasmaPalette, KnownRows) {
    build_plasma_tables();
    struct row { int k, b, g, r; };
    const row rows[] = {{0, 128, 0, 128}, {1, 131, 0, 152}, {8, 152, 0, 255}, {24, 199, 0, 0},
                        {64, 255, 0, 127}, {128, 128, 0, 127}, {192, 0, 0, 127}, {255, 124, 0, 102}};
    for (const row& w : rows) {
        SCOPED_TRACE(w.k);
        EXPECT_EQ(plasma_palette[w.k][0], w.b);
        EXPECT_EQ(plasma_palette[w.k][1], w.g);
        EXPECT_EQ(plasma_palette[w.k][2], w.r);
    }
}

TEST(PlasmaPalette, GreenIsZeroAndEveryValueFitsAByte) {
    build_plasma_tables();
    for (int k = 0; k < 256; ++k) {
        EXPECT_EQ(plasma_palette[k][1], 0) << k;
        for (int ch = 0; ch < 3; ch += 2) {
            EXPECT_GE(plasma_palette[k][ch], 0) << k;
            EXPECT_LE(plasma_palette[k][ch], 255) << k;
        }
    }
}

TEST(PlasmaField, KnownValues) {
    build_plasma_tables();
    EXPECT_EQ(field_at(0, 0), 107);
    EXPECT_EQ(field_at(640, 360), 100);
    EXPECT_EQ(field_at(1, 0), 116);
    EXPECT_EQ(field_at(0, 1), 114);
    EXPECT_EQ(field_at(100, 200), 166);
    EXPECT_EQ(field_at(1279, 719), 95);
}

// The build reuses mirrored ring terms; every entry must still equal the
// direct formula, whose values fit the 0..255 index range (and so the byte
// that holds them).
TEST(PlasmaField, WholeFieldMatchesDirectFormulaAndStaysInRange) {
    build_plasma_tables();
    int wrong = 0, out_of_range = 0;
    for (int x = 0; x < PLASMA_FIELD_W; ++x)
        for (int y = 0; y < PLASMA_FIELD_H; ++y) {
            int v = plain_field(x, y);
            if (field_at(x, y) != v) ++wrong;
            if (v < 0 || v > 255) ++out_of_range;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(out_of_range, 0);
}

TEST(PlasmaPhase, KnownEntries) {
    build_plasma_tables();
    const int first[12] = {1000, 1000, 1000, 1000, 1000, 999, 999, 998, 997, 996, 996, 994};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(plasma_phase[i], first[i]) << i;
    EXPECT_EQ(plasma_phase[100], 541);
    EXPECT_EQ(plasma_phase[157], 1);
    EXPECT_EQ(plasma_phase[310], -999);
    EXPECT_EQ(plasma_phase[99933], 568);
}

TEST(PlasmaPhase, MinimumAndUncomputedTail) {
    build_plasma_tables();
    const int32_t* lowest = std::min_element(plasma_phase, plasma_phase + PLASMA_PHASE_LEN);
    EXPECT_EQ(*lowest, -999);
    EXPECT_EQ(lowest - plasma_phase, 310);  // first occurrence
    for (int i = PLASMA_PHASE_COMPUTED; i < PLASMA_PHASE_LEN; ++i) EXPECT_EQ(plasma_phase[i], 0) << i;
}

// The float clock decides the entry count: exactly the first 99,934 entries are
// written and nothing beyond, seen through a sentinel in the whole table.
TEST(PlasmaPhase, WritesExactlyTheComputedEntries) {
    build_plasma_tables();
    std::vector<int32_t> saved(plasma_phase, plasma_phase + PLASMA_PHASE_LEN);
    const int32_t sentinel = 0x7EADBEEF;
    std::fill(plasma_phase, plasma_phase + PLASMA_PHASE_LEN, sentinel);
    build_plasma_phase();
    int written = 0;
    while (written < PLASMA_PHASE_LEN && plasma_phase[written] != sentinel) ++written;
    int later = int(std::count_if(plasma_phase + written, plasma_phase + PLASMA_PHASE_LEN,
                                  [&](int32_t v) { return v != sentinel; }));
    EXPECT_EQ(written, 99934);
    EXPECT_EQ(later, 0);
    std::copy(saved.begin(), saved.end(), plasma_phase);
}

TEST(PlasmaRender, FirstFramePixelAndFourthByteKept) {
    build_plasma_tables();
    use_memory_screen(0x5A);
    plasma_tick = 0;
    render_plasma();
    EXPECT_EQ(screen_word(0, 0), 0x5A3800F2u);  // blue 242, green 0, red 56
    EXPECT_EQ(plasma_tick, 1);
}

TEST(PlasmaRender, NegativeSumWrapsIntoPalette) {
    build_plasma_tables();
    use_memory_screen(0);
    plasma_tick = 310;  // phase -999: pixel (0,0) sums to -892, index 132
    render_plasma();
    EXPECT_EQ(screen_word(0, 0), 0x00DA0073u);  // blue 115, green 0, red 218
    EXPECT_EQ(plasma_tick, 311);
}

// Tick 99,999 draws with the last (zero) entry, then wraps to entry 0.
TEST(PlasmaRender, TickWrapsAfterLastEntry) {
    build_plasma_tables();
    use_memory_screen(0);
    plasma_tick = 99999;
    render_plasma();
    EXPECT_EQ(plasma_tick, 0);
    EXPECT_EQ(screen_word(0, 0), plain_colour(0, 0, 0));
    render_plasma();
    EXPECT_EQ(plasma_tick, 1);
    EXPECT_EQ(screen_word(0, 0), 0x003800F2u);
}

// Every pixel of frames with positive, negative, zero and mid-range phases
// against the per-pixel formula, over two different fourth bytes.
TEST(PlasmaRender, WholeFramesMatchPerPixelFormula) {
    build_plasma_tables();
    const int ticks[] = {0, 157, 310, 4321, 99933, 99999};
    for (int tick : ticks) {
        SCOPED_TRACE(tick);
        EXPECT_EQ(count_wrong_pixels(tick, 0x00), 0);
        EXPECT_EQ(count_wrong_pixels(tick, 0xC3), 0);
    }
}

// Every phase byte, from entries -256..255 (a pass sees only the entry mod
// 256, and negative entries must wrap the same way): whole frames over the
// varied screen, bytes 0..2 of every pixel from the per-pixel formula, the
// fourth byte kept, and the tick left to render_plasma.
TEST_P(PlasmaPass, EveryPhaseMatchesPerPixelFormula) {
    fill_varied_screen();
    const std::vector<uint8_t> start(screen_pixels, screen_pixels + SCREEN_BYTES);
    for (int phase = -256; phase < 256; ++phase) {
        std::copy(start.begin(), start.end(), screen_pixels);
        plasma_tick = 4444;
        GetParam().pass(phase);
        EXPECT_EQ(plasma_tick, 4444) << "phase " << phase;
        uint32_t colour[256];
        for (int v = 0; v < 256; ++v) colour[v] = palette_colour(phase + v);
        int wrong = 0;
        for (int i = 0; i < SCREEN_W * SCREEN_H; ++i) {
            uint32_t was, now;
            std::memcpy(&was, &start[size_t(4 * i)], 4);
            std::memcpy(&now, screen_pixels + 4 * i, 4);
            wrong += now != ((was & 0xFF000000u) | colour[plasma_field8[i]]);
        }
        EXPECT_EQ(wrong, 0) << "phase " << phase;
    }
}

// render_plasma draws with the entry at plasma_tick and then advances it.
TEST(PlasmaRender, UsesTheCurrentEntryThenAdvances) {
    build_plasma_tables();
    fill_varied_screen();
    const plasma_routine& plain = running_routines(plasma_routine_table()).back();
    prepare_routine(plain);
    plain.pass(plasma_phase[777]);
    uint64_t want = hash_bytes(screen_pixels, SCREEN_BYTES);
    fill_varied_screen();
    plasma_tick = 777;
    render_plasma();
    EXPECT_EQ(hash_bytes(screen_pixels, SCREEN_BYTES), want);
    EXPECT_EQ(plasma_tick, 778);
}
