// Rotating, zooming logo: the screen offset of every logo pixel for 360
// animation frames is computed once into a 680 MB table, then each frame only
// copies the logo's non-black pixels to those offsets.
#include "effects/logo.h"
#include "flow/os_memory.h"
#include "flow/screen.h"
#include "assets.h"
#include <emmintrin.h>
#include <immintrin.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

int64_t* logo_frames;

static constexpr size_t LOGO_TABLE_BYTES = size_t(LOGO_TABLE_ENTRIES) * sizeof(int64_t);
// Memory for a table of `bytes`, as the logo table gets it; see os_map_big.
int64_t* map_logo_memory(size_t bytes) { return static_cast<int64_t*>(os_map_big(bytes)); }

// The table lives for the whole run, so it is obtained once and never freed.
bool allocate_logo_frames() {
    if (logo_frames) return true;
    logo_frames = map_logo_memory(LOGO_TABLE_BYTES);
    if (!logo_frames) {
        std::fprintf(stderr, "tapehiss: cannot allocate %zu bytes for the logo table: %s\n",
                     LOGO_TABLE_BYTES, std::strerror(errno));
        return false;
    }
    return true;
}

// One row of one frame, two columns at a time. Each coordinate is formed as
// p + (ca*j)*s exactly like the plain formula, so results match bit for bit;
// cvttpd gives INT32_MIN for the infinities and NaNs of frame 0 without
// undefined behaviour. Values are sign-extended to 64 bits and stored x, y.
static void build_logo_row(int64_t* out, double p, double q, double ca, double sa, double s) {
    const __m128d vca = _mm_set1_pd(ca), vsa = _mm_set1_pd(sa), vs = _mm_set1_pd(s);
    const __m128d vp = _mm_set1_pd(p), vq = _mm_set1_pd(q);
    const __m128d two = _mm_set1_pd(2.0);
    __m128d j = _mm_set_pd(1.0, 0.0);
    __m128i* dst = reinterpret_cast<__m128i*>(out);
    for (int c = 0; c < 766; c += 2) {
        __m128d x = _mm_add_pd(vp, _mm_mul_pd(_mm_mul_pd(vca, j), vs));
        __m128d y = _mm_add_pd(vq, _mm_mul_pd(_mm_mul_pd(vsa, j), vs));
        __m128i xy = _mm_unpacklo_epi32(_mm_cvttpd_epi32(x), _mm_cvttpd_epi32(y));  // x0 y0 x1 y1
        __m128i sign = _mm_srai_epi32(xy, 31);
        _mm_storeu_si128(dst++, _mm_unpacklo_epi32(xy, sign));
        _mm_storeu_si128(dst++, _mm_unpackhi_epi32(xy, sign));
        j = _mm_add_pd(j, two);
    }
}

// Fills a whole table (logo_frames, or a fresh one for measurements). Angle
// and zoom are float counters advanced through double, as the animation was
// designed with; frame 0 has zoom 0, hence an infinite scale.
void build_logo_frames_into(int64_t* table) {
    float a = 0.0f, z = 0.0f;
    for (int f = 0; f < LOGO_FRAME_COUNT; ++f) {
        double sa = std::sin(double(a)), ca = std::cos(double(a)), sz = std::sin(double(z));
        double s = 1.0 / (8.0 * sz);
        int64_t* frame = table + int64_t(LOGO_FRAME_ENTRIES) * f;
        for (int i = 0; i < 154; ++i) {
            double p = (-sa * i) * s, q = (ca * i) * s;
            build_logo_row(frame + 2 * 766 * i, p, q, ca, sa, s);
        }
        a = float(double(a) + 0.1);
        z = float(double(z) + 0.01);
        if (z > 3.6f) z = 0.0f;
    }
}

void build_logo_frames() { build_logo_frames_into(logo_frames); }

// Indices of the logo's non-black pixels in picture order (about 58% of it),
// so drawing touches neither the black ones nor their table entries.
static uint32_t logo_opaque[LOGO_PIXELS];
static int32_t logo_opaque_count = -1;

// The picture is constant, so the list is made on the first draw only.
static void list_opaque_pixels() {
    int32_t n = 0;
    for (int32_t k = 0; k < LOGO_PIXELS; ++k) {
        const uint8_t* p = logo_picture + 4 * k;
        if (p[0] | p[1] | p[2]) logo_opaque[n++] = uint32_t(k);
    }
    logo_opaque_count = n;
}

// Copies the logo's non-black pixels to the centre plus the frame's offsets.
// Offsets outside the visible window (one pixel short of each edge) are
// skipped; later picture pixels overwrite earlier ones.
void draw_logo_frame_sse2(int32_t logo_frame_pos, int32_t logo_direction) {
    if (logo_opaque_count < 0) list_opaque_pixels();
    const int64_t d = logo_direction;
    const int64_t* xs = logo_frames + logo_frame_pos;
    const int64_t* ys = xs + d;
    const int64_t step = 2 * d;
    uint8_t* centre = screen_pixels + 4 * (int64_t(SCREEN_W) * 360 + 640);
    const int32_t n = logo_opaque_count;
    for (int32_t m = 0; m < n; ++m) {
        const int64_t k = logo_opaque[m];
        // Offsets of the frame are streamed from main memory; fetch ahead.
        _mm_prefetch(reinterpret_cast<const char*>(uintptr_t(xs) + uintptr_t(8 * step * (k + 192))), _MM_HINT_T0);
        const int32_t x = int32_t(xs[step * k]);
        const int32_t y = int32_t(ys[step * k]);
        // -639..638 and -359..358 as one unsigned range test each.
        if (uint32_t(x) + 639u > 1277u || uint32_t(y) + 359u > 717u) continue;
        std::memcpy(centre + 4 * (int64_t(SCREEN_W) * y + x), logo_picture + 4 * k, 4);
    }
}

bool logo_avx512_usable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

// 16 logo pixels per step. Their 32 table entries are read as one contiguous
// block (forwards or backwards), narrowed to their low 32 bits and split into
// x and y; the black and off-screen pixels are masked out and the rest are
// scattered. A scatter writes its lanes in order, so later pixels still win.
__attribute__((target("avx512f"))) void draw_logo_frame_avx512(int32_t logo_frame_pos, int32_t logo_direction) {
    const bool forward = logo_direction > 0;
    const int64_t* base = logo_frames + logo_frame_pos;
    int32_t* centre = reinterpret_cast<int32_t*>(screen_pixels + 4 * (int64_t(SCREEN_W) * 360 + 640));
    // Pixel j of the block: forwards x, y at entries 2j, 2j + 1; backwards the
    // block ends at the first x, so x at 31 - 2j and y at 30 - 2j.
    const __m512i ramp = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
    const __m512i pick_x = forward ? ramp : _mm512_sub_epi32(_mm512_set1_epi32(31), ramp);
    const __m512i pick_y = forward ? _mm512_add_epi32(ramp, _mm512_set1_epi32(1))
                                   : _mm512_sub_epi32(_mm512_set1_epi32(30), ramp);
    const __m512i colour_bits = _mm512_set1_epi32(0x00FFFFFF);
    const __m512i x_bias = _mm512_set1_epi32(639), y_bias = _mm512_set1_epi32(359);
    const __m512i x_span = _mm512_set1_epi32(1277), y_span = _mm512_set1_epi32(717);
    constexpr int PREFETCH_STEPS = 16;
    for (int32_t k = 0; k < LOGO_PIXELS; k += 16) {
        const int32_t n = LOGO_PIXELS - k < 16 ? LOGO_PIXELS - k : 16;
        const int64_t* block = forward ? base + 2 * int64_t(k) : base - 2 * int64_t(k) - 31;
        // The frame's entries come from main memory when the logo moves; fetch
        // the block PREFETCH_STEPS steps ahead (an address hint, never a fault).
        const uintptr_t ahead = uintptr_t(block) + uintptr_t(forward ? 256 * PREFETCH_STEPS : -256 * PREFETCH_STEPS);
        for (int q = 0; q < 4; ++q) _mm_prefetch(reinterpret_cast<const char*>(ahead + 64 * q), _MM_HINT_T0);
        const __mmask16 live = __mmask16((1u << n) - 1);
        const __m512i colours = _mm512_maskz_loadu_epi32(live, logo_picture + 4 * int64_t(k));
        const __mmask16 opaque = _mm512_mask_test_epi32_mask(live, colours, colour_bits);
        if (!opaque) continue;
        // Entries of the block that belong to live pixels; a short last block
        // must not read past either end of the table.
        const uint32_t used = n == 16 ? ~0u : forward ? (1u << 2 * n) - 1 : ~0u << (32 - 2 * n);
        __m512i e[4];
        for (int q = 0; q < 4; ++q) e[q] = _mm512_maskz_loadu_epi64(__mmask8(used >> 8 * q), block + 8 * q);
        // Low 32 bits of entries 0..15 and 16..31.
        const __m512i lo = _mm512_permutex2var_epi32(e[0], ramp, e[1]);
        const __m512i hi = _mm512_permutex2var_epi32(e[2], ramp, e[3]);
        const __m512i x = _mm512_permutex2var_epi32(lo, pick_x, hi);
        const __m512i y = _mm512_permutex2var_epi32(lo, pick_y, hi);
        // -639..638 and -359..358 as one unsigned range test each.
        const __mmask16 on_screen = _mm512_mask_cmple_epu32_mask(opaque, _mm512_add_epi32(x, x_bias), x_span) &
                                    _mm512_cmple_epu32_mask(_mm512_add_epi32(y, y_bias), y_span);
        const __m512i at = _mm512_add_epi32(_mm512_add_epi32(_mm512_maskz_slli_epi32(0xFFFF, y, 10), _mm512_maskz_slli_epi32(0xFFFF, y, 8)), x);
        _mm512_mask_i32scatter_epi32(centre, on_screen, at, colours, 4);
    }
}

using draw_logo_fn = void (*)(int32_t, int32_t);

static draw_logo_fn choose_logo_routine() {
    return logo_avx512_usable() ? draw_logo_frame_avx512 : draw_logo_frame_sse2;
}

void draw_logo_frame(int32_t logo_frame_pos, int32_t logo_direction) {
    static const draw_logo_fn draw = choose_logo_routine();
    draw(logo_frame_pos, logo_direction);
}
