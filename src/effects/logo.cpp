// Rotating, zooming logo: the screen offset of every logo pixel for 360
// animation frames is computed once into a 680 MB table, then each frame only
// copies the logo's non-black pixels to those offsets.
#include "effects/logo.h"
#include "flow/screen.h"
#include "assets.h"
#include <emmintrin.h>
#include <sys/mman.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

int64_t* logo_frames;

static constexpr size_t LOGO_TABLE_BYTES = size_t(LOGO_TABLE_ENTRIES) * sizeof(int64_t);
static constexpr size_t HUGE_PAGE = size_t(2) << 20;

// Anonymous memory aligned to 2 MB, so every part of it can be backed by huge
// pages: over-map by one huge page and give back the unaligned ends. The result
// can be released with a plain munmap(p, bytes).
int64_t* map_logo_memory(size_t bytes) {
    size_t span = bytes + HUGE_PAGE;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = uintptr_t(raw);
    uintptr_t aligned = (start + HUGE_PAGE - 1) & ~uintptr_t(HUGE_PAGE - 1);
    if (aligned > start) munmap(raw, aligned - start);
    uintptr_t end = aligned + bytes;
    if (start + span > end) munmap(reinterpret_cast<void*>(end), start + span - end);
    // Advice only: without huge pages the table still works, just with more faults.
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<int64_t*>(aligned);
}

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
void draw_logo_frame(int32_t logo_frame_pos, int32_t logo_direction) {
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
