// Nearest-neighbour scaling for displays that are not 1280 x 720. Each source
// row is scaled once and then repeated with row copies; whole-number factors
// repeat each pixel without a lookup.
#include "screen/scale.h"
#include "screen/screen.h"
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static uint16_t column_map[SCALE_MAP_MAX_W];  // source column of each destination column
static int column_map_w;

static void build_column_map(int w) {
    for (int x = 0; x < w; ++x) column_map[x] = uint16_t(int64_t(x) * SCREEN_W / w);
    column_map_w = w;
}

// Pixels are moved as 4-byte copies, which compile to plain word loads and
// stores whatever type the memory was declared with.
static inline void copy_pixel(uint8_t* out, const uint8_t* in) { std::memcpy(out, in, 4); }

// One destination row from source row `src`.
static void scale_row(const uint8_t* src, uint8_t* out, int w) {
    if (w % SCREEN_W == 0) {
        const int k = w / SCREEN_W;  // each pixel k times
        if (k == 2) {
            for (int x = 0; x < SCREEN_W; ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, src + 4 * x, 4);
                const uint64_t pair = uint64_t(pixel) << 32 | pixel;
                std::memcpy(out + 8 * x, &pair, 8);
            }
        } else {
            for (int x = 0; x < SCREEN_W; ++x)
                for (int i = 0; i < k; ++i) copy_pixel(out + 4 * (k * x + i), src + 4 * x);
        }
    } else if (w <= SCALE_MAP_MAX_W) {
        if (column_map_w != w) build_column_map(w);
        for (int x = 0; x < w; ++x) copy_pixel(out + 4 * x, src + 4 * column_map[x]);
    } else {
        for (int x = 0; x < w; ++x) copy_pixel(out + 4 * x, src + 4 * (int64_t(x) * SCREEN_W / w));
    }
}

#if defined(__SSE2__)
// Doubled and tripled rows written with streaming stores, four source pixels
// at a time: at 2x and 3x the window's buffer (16 to 33 MB) is far larger
// than any cache and is read next by the display, not by us, so writing it
// past the cache saves the read of every line before its write, which is
// most of the copy's cost where memory is slow. Each row is made from the
// cached source row, never copied from the streamed row above.
static bool scale_streamed(const uint8_t* screen, uint8_t* dst, int dst_pitch, int w, int h) {
    const int k = w / SCREEN_W;
    if (w % SCREEN_W != 0 || (k != 2 && k != 3) || (reinterpret_cast<uintptr_t>(dst) & 15) || (dst_pitch & 15))
        return false;
    for (int y = 0; y < h; ++y) {
        const __m128i* in = reinterpret_cast<const __m128i*>(screen + int64_t(y) * SCREEN_H / h * SCREEN_PITCH);
        __m128i* out = reinterpret_cast<__m128i*>(dst + int64_t(y) * dst_pitch);
        for (int x = 0; x < SCREEN_W / 4; ++x) {
            const __m128i v = _mm_loadu_si128(in + x);  // pixels a b c d
            if (k == 2) {
                _mm_stream_si128(out + 2 * x, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 1, 0, 0)));
                _mm_stream_si128(out + 2 * x + 1, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 2, 2)));
            } else {
                _mm_stream_si128(out + 3 * x, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 0, 0)));
                _mm_stream_si128(out + 3 * x + 1, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 1, 1)));
                _mm_stream_si128(out + 3 * x + 2, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 2)));
            }
        }
    }
    _mm_sfence();  // the streamed lines reach memory before the display reads them
    return true;
}
#else
static bool scale_streamed(const uint8_t*, uint8_t*, int, int, int) { return false; }
#endif

void scale_screen(const uint8_t* screen, uint8_t* dst, int dst_pitch, int w, int h) {
    if (scale_streamed(screen, dst, dst_pitch, w, h)) return;
    int previous_source_row = -1;
    uint8_t* previous = nullptr;
    for (int y = 0; y < h; ++y) {
        uint8_t* out = dst + int64_t(y) * dst_pitch;
        const int source_row = int(int64_t(y) * SCREEN_H / h);
        if (source_row == previous_source_row) {
            std::memcpy(out, previous, size_t(w) * 4);  // a repeated row: copy the one above
        } else {
            scale_row(screen + int64_t(source_row) * SCREEN_PITCH, out, w);
            previous_source_row = source_row;
        }
        previous = out;
    }
}

screen_rect letterbox_rect(int dst_w, int dst_h) {
    int w = dst_w, h = int(int64_t(dst_w) * SCREEN_H / SCREEN_W);
    if (h > dst_h) {
        h = dst_h;
        w = int(int64_t(dst_h) * SCREEN_W / SCREEN_H);
    }
    return screen_rect{(dst_w - w) / 2, (dst_h - h) / 2, w, h};
}
