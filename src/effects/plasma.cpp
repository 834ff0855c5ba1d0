// Plasma background: a fixed height field whose colours cycle through a
// palette, shifted every frame by a cosine-driven phase.
#include "effects/plasma.h"
#include "flow/screen.h"
#include <cmath>
#include <cstring>
#include <vector>
#include <emmintrin.h>
#include <immintrin.h>

int32_t plasma_palette[256][3];
int32_t plasma_field[PLASMA_FIELD_W * PLASMA_FIELD_H];
int32_t plasma_phase[PLASMA_PHASE_LEN];
int32_t plasma_tick;

// Row-major byte copy of plasma_field (values are 0..255), so a frame reads
// 0.9 MB in screen order instead of 3.7 MB across columns.
static uint8_t plasma_field8[PLASMA_FIELD_W * PLASMA_FIELD_H];

// Colours of two neighbouring pixels by their two palette indices (first pixel
// in the low byte of the index and the low half of the value), packed as pixel
// words with a zero fourth byte. 512 KB, but a smooth field only touches the
// entries near the diagonal, so the hot part stays in cache.
static uint64_t plasma_pair_colours[65536];

// Blue and red of every palette entry as bytes (green is always 0): the four
// 64-byte quarters of each become byte-lookup registers in the AVX-512 pass.
alignas(64) static uint8_t plasma_blue8[256];
alignas(64) static uint8_t plasma_red8[256];

static bool plasma_pairs_built;
bool plasma_avx512_usable();

// Low three bytes of a pixel word for palette entry k.
static uint64_t packed_colour(int k) {
    const int32_t* p = plasma_palette[k];
    return uint64_t(p[0] & 255) | uint64_t(p[1] & 255) << 8 | uint64_t(p[2] & 255) << 16;
}

static void build_plasma_pair_colours() {
    for (int ab = 0; ab < 65536; ++ab) plasma_pair_colours[ab] = packed_colour(ab & 255) | packed_colour(ab >> 8) << 32;
    plasma_pairs_built = true;
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
    // Only the SSE2 pass reads the pair table; leave its 512 KB untouched
    // where the AVX-512 pass runs.
    plasma_pairs_built = false;
    if (!plasma_avx512_usable()) build_plasma_pair_colours();
}

// Height field from four sine waves: vertical and horizontal bands, rings round
// the centre and rings round the top-left corner. The terms that depend on x
// or y alone, and the centre rings (mirror-symmetric about (640, 360)), are
// computed once and reused; the sum keeps the order a, b, c, d.
void build_plasma_field() {
    static double wave_x[PLASMA_FIELD_W];
    static double wave_y[PLASMA_FIELD_H];
    // Centre rings for |dx| <= 640, |dy| <= 360: the whole screen mirrors into
    // it. Needed only here, so its 1.9 MB go back to the system afterwards.
    std::vector<double> rings(641 * 361);
    constexpr int cx = 640, cy = 360;
    for (int x = 0; x < PLASMA_FIELD_W; ++x) wave_x[x] = 128.0 * std::sin(x / 16.0) + 128.0;
    for (int y = 0; y < PLASMA_FIELD_H; ++y) wave_y[y] = 128.0 * std::sin(y / 32.0) + 128.0;
    for (int dx = 0; dx <= 640; ++dx)
        for (int dy = 0; dy <= 360; ++dy) {
            double r2 = double(dx * dx + dy * dy);
            rings[361 * dx + dy] = 128.0 * std::sin(std::sqrt(r2) / 8.0) + 128.0;
        }
    for (int x = 0; x < PLASMA_FIELD_W; ++x) {
        int dx = x > cx ? x - cx : cx - x;
        for (int y = 0; y < PLASMA_FIELD_H; ++y) {
            int dy = y > cy ? y - cy : cy - y;
            double c = rings[361 * dx + dy];
            double d = 128.0 * std::sin(std::sqrt(double(x * x + y * y)) / 8.0) + 128.0;
            double sum = wave_x[x] + wave_y[y] + c + d;
            int32_t v = int32_t(sum) / 4;
            plasma_field[PLASMA_FIELD_H * x + y] = v;
            plasma_field8[PLASMA_FIELD_W * y + x] = uint8_t(v);
        }
    }
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

// Every screen pixel gets the colour of its field value shifted by the phase;
// the fourth byte is kept. Eight field bytes are loaded at once and the phase
// is added to each byte modulo 256 without carries between them (so negative
// phases wrap the same way); each pair of shifted bytes then picks the packed
// colours of two pixels from plasma_pair_colours, and the pixels are merged
// into the screen 16 bytes at a time.
void plasma_pass_sse2(int32_t phase_entry) {
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Full, high = 0x8080808080808080ull;
    const uint64_t phase = uint64_t(uint32_t(phase_entry) & 255) * 0x0101010101010101ull;
    const uint64_t phase_low7 = phase & low7, phase_high = phase & high;
    if (!plasma_pairs_built) build_plasma_pair_colours();
    const __m128i keep = _mm_set1_epi32(int(0xFF000000u));
    const uint64_t* pairs = plasma_pair_colours;
    uint8_t* __restrict dst = screen_pixels;
    const uint8_t* __restrict f = plasma_field8;
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;  // a multiple of 8
    for (int i = 0; i < n; i += 8) {
        uint64_t a;
        std::memcpy(&a, f + i, 8);
        const uint64_t v = ((a & low7) + phase_low7) ^ ((a & high) ^ phase_high);
        __m128i c0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + (v & 0xFFFF)));
        __m128i c1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + ((v >> 16) & 0xFFFF)));
        __m128i c2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + ((v >> 32) & 0xFFFF)));
        __m128i c3 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs + (v >> 48)));
        __m128i* out = reinterpret_cast<__m128i*>(dst + 4 * i);
        __m128i lo = _mm_loadu_si128(out), hi = _mm_loadu_si128(out + 1);
        _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(lo, keep), _mm_unpacklo_epi64(c0, c1)));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_and_si128(hi, keep), _mm_unpacklo_epi64(c2, c3)));
    }
}

bool plasma_avx512_usable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

#define PLASMA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Palette byte for each of 64 indices: two-register byte permutes cover 128
// entries each (index bits 0..6), and bit 7 picks which half.
PLASMA_AVX512 static inline __m512i look_up_256(__m512i v, const __m512i t[4]) {
    const __m512i low = _mm512_permutex2var_epi8(t[0], v, t[1]);
    const __m512i high = _mm512_permutex2var_epi8(t[2], v, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
}

// 64 pixels per step: the phase is added to 64 field bytes at once (byte adds
// wrap modulo 256), blue and red are looked up in registers, and byte permutes
// lay them out as blue, 0, red for 16 pixels per register. A byte-masked store
// writes bytes 0..2 only, so the fourth byte is kept without reading the
// screen, which saves a third of the memory traffic.
PLASMA_AVX512 void plasma_pass_avx512(int32_t phase_entry) {
    __m512i blue[4], red[4], spread[4];
    for (int q = 0; q < 4; ++q) {
        blue[q] = _mm512_load_si512(plasma_blue8 + 64 * q);
        red[q] = _mm512_load_si512(plasma_red8 + 64 * q);
        // Byte 4p of register q takes blue[16q + p], byte 4p + 2 red[16q + p]
        // (index bit 6 selects the red operand); bytes 1 and 3 are zeroed.
        alignas(64) uint8_t idx[64];
        for (int p = 0; p < 16; ++p) {
            idx[4 * p] = uint8_t(16 * q + p);
            idx[4 * p + 1] = 0;
            idx[4 * p + 2] = uint8_t(64 + 16 * q + p);
            idx[4 * p + 3] = 0;
        }
        spread[q] = _mm512_load_si512(idx);
    }
    const __m512i phase = _mm512_set1_epi8(char(phase_entry & 255));
    constexpr __mmask64 blue_red = 0x5555555555555555ull, colour_bytes = 0x7777777777777777ull;
    uint8_t* __restrict dst = screen_pixels;
    const uint8_t* __restrict f = plasma_field8;
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;  // a multiple of 64
    for (int i = 0; i < n; i += 64) {
        const __m512i v = _mm512_add_epi8(_mm512_loadu_si512(f + i), phase);
        const __m512i b = look_up_256(v, blue), r = look_up_256(v, red);
        for (int q = 0; q < 4; ++q)
            _mm512_mask_storeu_epi8(dst + 4 * i + 64 * q, colour_bytes,
                                    _mm512_maskz_permutex2var_epi8(blue_red, b, spread[q], r));
    }
}

using plasma_pass_fn = void (*)(int32_t);

static plasma_pass_fn choose_plasma_pass() {
    return plasma_avx512_usable() ? plasma_pass_avx512 : plasma_pass_sse2;
}

void render_plasma() {
    static const plasma_pass_fn pass = choose_plasma_pass();
    pass(plasma_phase[plasma_tick]);
    if (++plasma_tick > PLASMA_PHASE_LEN - 1) plasma_tick = 0;
}
