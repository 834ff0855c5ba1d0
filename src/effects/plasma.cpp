// Plasma background: a fixed height field whose colours cycle through a
// palette, shifted every frame by a cosine-driven phase.
#include "effects/plasma.h"
#include "effects/cpu_passes.h"
#include "platform/os_memory.h"
#include "screen/screen.h"
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

static_assert(PLASMA_FIELD_W == SCREEN_W && PLASMA_FIELD_H == SCREEN_H, "the field covers the screen");

int32_t plasma_palette[256][3];
uint8_t plasma_field8[PLASMA_FIELD_W * PLASMA_FIELD_H];
int32_t plasma_phase[PLASMA_PHASE_LEN];
int32_t plasma_tick;

// 512 KB, but a smooth field only touches the entries near the diagonal, so
// the hot part stays in cache. Built only where a routine that reads it runs.
uint64_t plasma_pair_colours[65536];

// The four 64-byte quarters of each become byte-lookup registers in a
// vector pass, hence the alignment.
alignas(64) uint8_t plasma_blue8[256];
alignas(64) uint8_t plasma_red8[256];

// The pass render_plasma runs; set by choose_plasma_routine.
static void (*plasma_pass_in_use)(int32_t phase);

// Low three bytes of a pixel word for palette entry k.
static uint64_t packed_colour(int k) {
    const int32_t* p = plasma_palette[k];
    return uint64_t(p[0] & 255) | uint64_t(p[1] & 255) << 8 | uint64_t(p[2] & 255) << 16;
}

void build_plasma_pair_colours() {
    for (int ab = 0; ab < 65536; ++ab) plasma_pair_colours[ab] = packed_colour(ab & 255) | packed_colour(ab >> 8) << 32;
}

// Blue and red follow two sines of different speed; the constant 3.1415 (not
// pi) is what gives the palette its slight seam at 255 -> 0.
void build_plasma_palette() {
    for (int k = 0; k < 256; ++k) {
        plasma_palette[k][0] = int32_t(128.0 + 128.0 * std::sin(k * 3.1415 / 128.0));
        plasma_palette[k][1] = 0;
        plasma_palette[k][2] = int32_t(128.0 + 128.0 * std::sin(k * 3.1415 / 16.0));
    }
    for (int k = 0; k < 256; ++k) {
        plasma_blue8[k] = uint8_t(plasma_palette[k][0]);
        plasma_red8[k] = uint8_t(plasma_palette[k][2]);
    }
}

// Height field from four sine waves: vertical and horizontal bands, rings round
// the centre and rings round the top-left corner. The terms that depend on x
// or y alone, and the centre rings (mirror-symmetric about the centre), are
// computed once and reused; the sum keeps the order a, b, c, d. Every value
// is 0..255 (the tests check the whole field), so a byte holds it.
bool build_plasma_field() {
    static double wave_x[PLASMA_FIELD_W];
    static double wave_y[PLASMA_FIELD_H];
    constexpr int cx = PLASMA_FIELD_W / 2, cy = PLASMA_FIELD_H / 2;
    // Centre rings for |dx| <= cx, |dy| <= cy: the whole screen mirrors into
    // it. Needed only here, so its 1.9 MB go back to the system afterwards.
    constexpr int ring_h = cy + 1;
    constexpr size_t RINGS_BYTES = sizeof(double) * (cx + 1) * ring_h;
    double* rings = static_cast<double*>(std::malloc(RINGS_BYTES));
    if (!rings) {
        os_say_no_memory("the plasma's rings", RINGS_BYTES);
        return false;
    }
    for (int x = 0; x < PLASMA_FIELD_W; ++x) wave_x[x] = 128.0 * std::sin(x / 16.0) + 128.0;
    for (int y = 0; y < PLASMA_FIELD_H; ++y) wave_y[y] = 128.0 * std::sin(y / 32.0) + 128.0;
    for (int dx = 0; dx <= cx; ++dx)
        for (int dy = 0; dy <= cy; ++dy) {
            double r2 = double(dx * dx + dy * dy);
            rings[size_t(ring_h * dx + dy)] = 128.0 * std::sin(std::sqrt(r2) / 8.0) + 128.0;
        }
    for (int x = 0; x < PLASMA_FIELD_W; ++x) {
        int dx = x > cx ? x - cx : cx - x;
        for (int y = 0; y < PLASMA_FIELD_H; ++y) {
            int dy = y > cy ? y - cy : cy - y;
            double c = rings[size_t(ring_h * dx + dy)];
            double d = 128.0 * std::sin(std::sqrt(double(x * x + y * y)) / 8.0) + 128.0;
            double sum = wave_x[x] + wave_y[y] + c + d;
            plasma_field8[PLASMA_FIELD_W * y + x] = uint8_t(int32_t(sum) / 4);
        }
    }
    std::free(rings);
    return true;
}

// Phase offsets: a float clock stepping by 0.01 up to 1000, so the float's
// rounding sets exactly how many entries there are; the rest stay 0.
void build_plasma_phase() {
    float t = 0.0f;
    int n = 0;
    plasma_phase[n++] = 1000;
    for (;;) {
        t = float(double(t) + 0.01);
        if (!(t < 1000.0f)) break;
        if (n >= PLASMA_PHASE_LEN) break;  // never reached: 99,934 entries fit
        plasma_phase[n++] = int32_t(std::ceil(std::cos(double(t)) * 1000.0));
    }
}

// Pixels are handled as little-endian words: the fourth byte is the high one.
static_assert(std::endian::native == std::endian::little, "pixel words assume a little-endian machine");

// The pass every machine can run. Eight field bytes at once get the phase
// added (shifted_field_bytes); each pair of shifted bytes picks the packed
// colours of two pixels from plasma_pair_colours, merged into the screen with
// the fourth bytes kept. Loads and stores go through memcpy: the screen is
// bytes.
static void plasma_pass_plain(int32_t phase_entry) {
    constexpr uint64_t keep = 0xFF000000FF000000ull;
    const uint64_t phase = phase_in_every_byte(phase_entry);
    uint8_t* __restrict dst = screen_pixels;
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;
    static_assert(n % 8 == 0, "the field is handled eight bytes at a time");
    for (int i = 0; i < n; i += 8) {
        const uint64_t v = shifted_field_bytes(plasma_field8 + i, phase);
        for (int q = 0; q < 4; ++q) {
            uint8_t* out = dst + 4 * i + 8 * q;
            uint64_t two;
            std::memcpy(&two, out, 8);
            two = (two & keep) | plasma_pair_colours[(v >> 16 * q) & 0xFFFF];
            std::memcpy(out, &two, 8);
        }
    }
}

const routine_table<plasma_pass>& plasma_routine_table() {
    static const routine_table<plasma_pass> table =
        make_routine_table(cpu_plasma_routines(), {"plain", "", plasma_pass_plain, build_plasma_pair_colours, true});
    return table;
}

// The pair table's 512 KB are only touched where a routine reads them.
void choose_plasma_routine() {
    const plasma_routine& fastest = running_routines(plasma_routine_table())[0];
    prepare_routine(fastest);
    plasma_pass_in_use = fastest.pass;
}

void render_plasma() {
    plasma_pass_in_use(plasma_phase[plasma_tick]);
    if (++plasma_tick > PLASMA_PHASE_LEN - 1) plasma_tick = 0;
}
