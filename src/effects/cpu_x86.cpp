// The x86-64 passes: for the plasma SSE2 (every x86-64 CPU has it), AVX2 and
// AVX-512, for the logo AVX2, run where the CPU reports the instructions they
// use. Built only on x86-64; everything here gives exactly the pixels of the
// plain passes.
#include "effects/cpu_passes.h"
#include "screen/screen.h"
#include <cstring>
#include <immintrin.h>

// --- plasma ------------------------------------------------------------------

// Pixel words of the eight pixels whose field bytes start at f, two pixels
// per load from the pair table, as two 16-byte halves.
static inline void eight_colours(const uint8_t* f, uint64_t phase_bytes, __m128i& lo, __m128i& hi) {
    const uint64_t v = shifted_field_bytes(f, phase_bytes);
    auto pair = [](uint64_t ab) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(plasma_pair_colours + ab)); };
    lo = _mm_unpacklo_epi64(pair(v & 0xFFFF), pair((v >> 16) & 0xFFFF));
    hi = _mm_unpacklo_epi64(pair((v >> 32) & 0xFFFF), pair(v >> 48));
}

// SSE2, which every x86-64 CPU has: as the plain pass, but each group of
// eight pixels is merged into the screen with two 16-byte loads and stores.
static void plasma_pass_sse2(int32_t phase_entry) {
    const uint64_t phase = phase_in_every_byte(phase_entry);
    const __m128i keep = _mm_set1_epi32(int(0xFF000000u));
    uint8_t* __restrict dst = screen_pixels;
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;  // a multiple of 8
#pragma GCC unroll 4  // as the AVX2 pass; one group a step ran at 145 to 250 µs with where the loop fell
    for (int i = 0; i < n; i += 8) {
        __m128i lo, hi;
        eight_colours(plasma_field8 + i, phase, lo, hi);
        __m128i* out = reinterpret_cast<__m128i*>(dst + 4 * i);
        _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(out), keep), lo));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(out + 1), keep), hi));
    }
}

// AVX2: as the SSE2 pass, but each group of eight pixels is merged into the
// screen with one 32-byte load and store. AVX2 has no byte lookup of more
// than 16 entries: a 256-entry lookup from 16-entry shuffles, or a gather,
// measured about three times slower here, so the colours still come from the
// pair table.
__attribute__((target("avx2"))) static void plasma_pass_avx2(int32_t phase_entry) {
    const uint64_t phase = phase_in_every_byte(phase_entry);
    const __m256i keep = _mm256_set1_epi32(int(0xFF000000u));
    uint8_t* __restrict dst = screen_pixels;
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;
#pragma GCC unroll 4  // measured: a few per cent faster than one group a step
    for (int i = 0; i < n; i += 8) {
        __m128i lo, hi;
        eight_colours(plasma_field8 + i, phase, lo, hi);
        __m256i* out = reinterpret_cast<__m256i*>(dst + 4 * i);
        _mm256_storeu_si256(out, _mm256_or_si256(_mm256_and_si256(_mm256_loadu_si256(out), keep), _mm256_set_m128i(hi, lo)));
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

std::span<const plasma_routine> cpu_plasma_routines() {
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vbmi");
    static const plasma_routine all[] = {
        {"avx512", "avx512f avx512bw avx512vbmi", plasma_pass_avx512, nullptr, avx512},
        {"avx2", "avx2", plasma_pass_avx2, build_plasma_pair_colours, bool(__builtin_cpu_supports("avx2"))},
        {"sse2", "sse2", plasma_pass_sse2, build_plasma_pair_colours, true},
    };
    return all;
}

// --- logo --------------------------------------------------------------------

// Lanes of a mask of 8 (bit j: lane j is kept), in order, one byte each, and
// how many there are: what packs the kept lanes of a register to its start.
struct lane_packing {
    uint64_t lanes[256];
    uint8_t count[256];
};
static constexpr lane_packing lane_packing_table = [] {
    lane_packing t{};
    for (int m = 0; m < 256; ++m)
        for (int j = 0; j < 8; ++j)
            if (m >> j & 1) t.lanes[m] |= uint64_t(j) << 8 * t.count[m]++;
    return t;
}();

// Eight logo pixels per step. Their 16 table entries are read as one block
// (forwards or backwards) and narrowed to their low 32 bits; shuffles split
// them into x and y in pixel order, and black and off-screen pixels are masked
// out. AVX2 has no scatter, so the screen places and colours of the pixels to
// draw are packed, in picture order, into a small buffer that plain stores
// then copy to the screen: later pixels still win, and no branch depends on
// how many pixels of a step are drawn. Table places are integer offsets, and
// a block is only loaded where all its entries belong to the pass.
template <bool forward>
__attribute__((target("avx2"))) static void draw_logo_avx2(int64_t pos) {
    uint8_t* centre = screen_pixels + 4 * (int64_t(SCREEN_W) * (SCREEN_H / 2) + SCREEN_W / 2);
    // Two shuffles give the low halves of entries 0..15 of a block as
    // 0 4 8 12 | 2 6 10 14 (even) and 1 5 9 13 | 3 7 11 15 (odd). Forwards x is
    // even and y odd, pixel j at entry 2j (+1); backwards x is odd and y even,
    // pixel j at entry 15 - 2j (14 - 2j). A lane permute puts pixels in order.
    const __m256i order = forward ? _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7) : _mm256_setr_epi32(7, 3, 6, 2, 5, 1, 4, 0);
    const __m256i colour_bits = _mm256_set1_epi32(0x00FFFFFF), row = _mm256_set1_epi32(SCREEN_W);
    const __m256i x_bias = _mm256_set1_epi32(-LOGO_X_MIN), y_bias = _mm256_set1_epi32(-LOGO_Y_MIN);
    const __m256i x_span = _mm256_set1_epi32(int(LOGO_X_SPAN)), y_span = _mm256_set1_epi32(int(LOGO_Y_SPAN));
    constexpr int BUFFERED = 512, STEP = 8, WHOLE_STEPS = LOGO_PIXELS / STEP * STEP;
    constexpr int64_t PREFETCH_ENTRIES = 1024;  // 8 KB ahead: measured best
    alignas(32) int32_t place[BUFFERED], colour[BUFFERED];
    int buffered = 0;
    auto copy_buffered = [&] {
        for (int i = 0; i < buffered; ++i) std::memcpy(centre + 4 * int64_t(place[i]), &colour[i], 4);
        buffered = 0;
    };
    for (int32_t k = 0; k < WHOLE_STEPS; k += STEP) {
        const int64_t first = forward ? pos + 2 * int64_t(k) : pos - 2 * int64_t(k) - 15;
        // The frame's entries come from main memory when the logo moves; fetch
        // ahead (an address hint, never a read, so it may point anywhere).
        const int64_t ahead = first + (forward ? PREFETCH_ENTRIES : -PREFETCH_ENTRIES);
        for (int q = 0; q < 2; ++q)
            _mm_prefetch(reinterpret_cast<const char*>(uintptr_t(logo_frames) + uintptr_t(8 * (ahead + 8 * q))), _MM_HINT_T0);
        const __m256i colours = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(logo_source + 4 * int64_t(k)));
        const __m256i black = _mm256_cmpeq_epi32(_mm256_and_si256(colours, colour_bits), _mm256_setzero_si256());
        // Runs of background leave whole steps black: their entries are not read.
        if (_mm256_movemask_ps(_mm256_castsi256_ps(black)) == 0xFF) continue;
        const float* block = reinterpret_cast<const float*>(logo_frames + first);
        const __m256 a = _mm256_shuffle_ps(_mm256_loadu_ps(block), _mm256_loadu_ps(block + 8), _MM_SHUFFLE(2, 0, 2, 0));
        const __m256 b = _mm256_shuffle_ps(_mm256_loadu_ps(block + 16), _mm256_loadu_ps(block + 24), _MM_SHUFFLE(2, 0, 2, 0));
        const __m256i even = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m256i odd = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m256i x = _mm256_permutevar8x32_epi32(forward ? even : odd, order);
        const __m256i y = _mm256_permutevar8x32_epi32(forward ? odd : even, order);
        // v <= span, unsigned, as min(v, span) == v.
        const __m256i xs = _mm256_add_epi32(x, x_bias), ys = _mm256_add_epi32(y, y_bias);
        const __m256i inside = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(xs, x_span), xs),
                                                _mm256_cmpeq_epi32(_mm256_min_epu32(ys, y_span), ys));
        const int drawn = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_andnot_si256(black, inside)));
        const __m256i pack = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(int64_t(lane_packing_table.lanes[drawn])));
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(y, row), x);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(place + buffered), _mm256_permutevar8x32_epi32(at, pack));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colour + buffered), _mm256_permutevar8x32_epi32(colours, pack));
        buffered += lane_packing_table.count[drawn];
        if (buffered > BUFFERED - STEP) copy_buffered();
    }
    copy_buffered();
    // The last pixels, fewer than a step, one by one.
    for (int32_t k = WHOLE_STEPS; k < LOGO_PIXELS; ++k) {
        const uint8_t* c = logo_source + 4 * int64_t(k);
        const int64_t at = forward ? pos + 2 * int64_t(k) : pos - 2 * int64_t(k);
        const int32_t x = int32_t(logo_frames[at]), y = int32_t(logo_frames[forward ? at + 1 : at - 1]);
        if (!(c[0] | c[1] | c[2]) || uint32_t(x) - uint32_t(LOGO_X_MIN) > LOGO_X_SPAN ||
            uint32_t(y) - uint32_t(LOGO_Y_MIN) > LOGO_Y_SPAN)
            continue;
        std::memcpy(centre + 4 * (int64_t(SCREEN_W) * y + x), c, 4);
    }
}

__attribute__((target("avx2"))) static void draw_logo_frame_avx2(int32_t logo_frame_pos, int32_t logo_direction) {
    if (logo_direction > 0)
        draw_logo_avx2<true>(logo_frame_pos);
    else
        draw_logo_avx2<false>(logo_frame_pos);
}

std::span<const logo_routine> cpu_logo_routines() {
    __builtin_cpu_init();
    static const logo_routine all[] = {
        {"avx2", "avx2", draw_logo_frame_avx2, nullptr, bool(__builtin_cpu_supports("avx2"))},
    };
    return all;
}
