// The x86-64 passes: SSE2 (every x86-64 CPU has it) and AVX-512, offered
// when the CPU reports the instructions they use. Built only on x86-64;
// everything here gives exactly the pixels of the plain passes.
#include "effects/cpu_passes.h"
#include "screen/screen.h"
#include <cstring>
#include <immintrin.h>

// --- plasma ------------------------------------------------------------------

// SSE2, which every x86-64 CPU has: as the plain pass, but each group of
// eight pixels is merged into the screen with two 16-byte loads and stores.
static void plasma_pass_sse2(int32_t phase_entry) {
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Full, high = 0x8080808080808080ull;
    const uint64_t phase = uint64_t(uint32_t(phase_entry) & 255) * 0x0101010101010101ull;
    const uint64_t phase_low7 = phase & low7, phase_high = phase & high;
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
PLASMA_AVX512 static void plasma_pass_avx512(int32_t phase_entry) {
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
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;
    static_assert(n % 64 == 0, "the field is handled 64 bytes at a time");
    for (int i = 0; i < n; i += 64) {
        const __m512i v = _mm512_add_epi8(_mm512_loadu_si512(f + i), phase);
        const __m512i b = look_up_256(v, blue), r = look_up_256(v, red);
        for (int q = 0; q < 4; ++q)
            _mm512_mask_storeu_epi8(dst + 4 * i + 64 * q, colour_bytes,
                                    _mm512_maskz_permutex2var_epi8(blue_red, b, spread[q], r));
    }
}

int cpu_plasma_routines(plasma_routine* out, int room) {
    __builtin_cpu_init();
    int n = 0;
    if (n < room && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
        out[n++] = {"avx512", plasma_pass_avx512, false};
    if (n < room) out[n++] = {"sse2", plasma_pass_sse2, true};
    return n;
}

// --- logo --------------------------------------------------------------------

// A short last block of 16 pixels must leave whole quarters (8 entries) of
// its 32 entries unread, so that a quarter is either loaded or not touched.
static_assert(2 * (LOGO_PIXELS % 16) % 8 == 0, "the last block's entries must fill whole quarters");

// 16 logo pixels per step. Their 32 table entries are read as one contiguous
// block (forwards or backwards), narrowed to their low 32 bits and split into
// x and y; the black and off-screen pixels are masked out and the rest are
// scattered. A scatter writes its lanes in order, so later pixels still win.
// Table places are integer offsets; a pointer is formed only for a quarter of
// the block that holds entries the pass reads, so it stays inside the table.
__attribute__((target("avx512f"))) static void draw_logo_frame_avx512(int32_t logo_frame_pos, int32_t logo_direction) {
    const bool forward = logo_direction > 0;
    const int64_t pos = logo_frame_pos;
    int32_t* centre = reinterpret_cast<int32_t*>(screen_pixels + 4 * (int64_t(SCREEN_W) * (SCREEN_H / 2) + SCREEN_W / 2));
    // Pixel j of the block: forwards x, y at entries 2j, 2j + 1; backwards the
    // block ends at the first x, so x at 31 - 2j and y at 30 - 2j.
    const __m512i ramp = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
    const __m512i pick_x = forward ? ramp : _mm512_sub_epi32(_mm512_set1_epi32(31), ramp);
    const __m512i pick_y = forward ? _mm512_add_epi32(ramp, _mm512_set1_epi32(1))
                                   : _mm512_sub_epi32(_mm512_set1_epi32(30), ramp);
    const __m512i colour_bits = _mm512_set1_epi32(0x00FFFFFF);
    const __m512i x_bias = _mm512_set1_epi32(639), y_bias = _mm512_set1_epi32(359);
    const __m512i x_span = _mm512_set1_epi32(1277), y_span = _mm512_set1_epi32(717);
    constexpr int64_t PREFETCH_ENTRIES = 32 * 16;  // sixteen blocks ahead
    for (int32_t k = 0; k < LOGO_PIXELS; k += 16) {
        const int32_t n = LOGO_PIXELS - k < 16 ? LOGO_PIXELS - k : 16;
        const int64_t first = forward ? pos + 2 * int64_t(k) : pos - 2 * int64_t(k) - 31;
        // The frame's entries come from main memory when the logo moves; fetch
        // ahead (an address hint, never a read, so it may point anywhere).
        const int64_t ahead = first + (forward ? PREFETCH_ENTRIES : -PREFETCH_ENTRIES);
        for (int q = 0; q < 4; ++q)
            _mm_prefetch(reinterpret_cast<const char*>(uintptr_t(logo_frames) + uintptr_t(8 * (ahead + 8 * q))), _MM_HINT_T0);
        const __mmask16 live = __mmask16((1u << n) - 1);
        const __m512i colours = _mm512_maskz_loadu_epi32(live, logo_source + 4 * int64_t(k));
        const __mmask16 opaque = _mm512_mask_test_epi32_mask(live, colours, colour_bits);
        if (!opaque) continue;
        // Entries of the block that belong to live pixels: the low ones
        // forwards, the high ones backwards.
        const uint32_t used = n == 16 ? ~0u : forward ? (1u << 2 * n) - 1 : ~0u << (32 - 2 * n);
        __m512i e[4];
        for (int q = 0; q < 4; ++q) {
            const __mmask8 m = __mmask8(used >> 8 * q);
            e[q] = m ? _mm512_maskz_loadu_epi64(m, logo_frames + first + 8 * q) : _mm512_setzero_si512();
        }
        // Low 32 bits of entries 0..15 and 16..31.
        const __m512i lo = _mm512_permutex2var_epi32(e[0], ramp, e[1]);
        const __m512i hi = _mm512_permutex2var_epi32(e[2], ramp, e[3]);
        const __m512i x = _mm512_permutex2var_epi32(lo, pick_x, hi);
        const __m512i y = _mm512_permutex2var_epi32(lo, pick_y, hi);
        // -639..638 and -359..358 as one unsigned range test each.
        const __mmask16 on_screen = _mm512_mask_cmple_epu32_mask(opaque, _mm512_add_epi32(x, x_bias), x_span) &
                                    _mm512_cmple_epu32_mask(_mm512_add_epi32(y, y_bias), y_span);
        // y * 1280 + x as y * 1024 + y * 256 + x.
        static_assert(SCREEN_W == 1024 + 256, "the row step is formed from two shifts");
        const __m512i at = _mm512_add_epi32(_mm512_add_epi32(_mm512_maskz_slli_epi32(0xFFFF, y, 10), _mm512_maskz_slli_epi32(0xFFFF, y, 8)), x);
        _mm512_mask_i32scatter_epi32(centre, on_screen, at, colours, 4);
    }
}

int cpu_logo_routines(logo_routine* out, int room) {
    __builtin_cpu_init();
    int n = 0;
    if (n < room && __builtin_cpu_supports("avx512f")) out[n++] = {"avx512", draw_logo_frame_avx512};
    return n;
}
