// Rotating, zooming logo: the screen offset of every logo pixel for 360
// animation frames is computed once into a 680 MB table, then each frame only
// copies the logo's non-black pixels to those offsets.
#include "effects/logo.h"
#include "effects/cpu_passes.h"
#include "platform/os_memory.h"
#include "screen/screen.h"
#include "assets.h"
#include <cmath>
#include <cstddef>
#include <cstring>

int64_t* logo_frames;


// The table lives for the whole run, so it is obtained once and never freed.
bool allocate_logo_frames() {
    if (logo_frames) return true;
    logo_frames = static_cast<int64_t*>(os_map_big(LOGO_TABLE_BYTES));
    if (!logo_frames) {
        os_say_no_memory("the logo table", LOGO_TABLE_BYTES);
        return false;
    }
    return true;
}

// What the x86 conversion instruction gives, so every machine builds the
// same table: the truncated value when it fits in 32 bits, else INT32_MIN
// (frame 0's infinities and NaNs). Converting an out-of-range double is
// undefined in C++, hence the test first.
static inline int32_t truncate_to_int32(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return int32_t(v);
}

// One row of one frame: each coordinate is p + (ca*j)*s, grouped exactly as
// the animation was designed, stored x then y. When every value of the row
// surely fits in 32 bits (all frames but frame 0), the plain conversion is
// used, which the compiler vectorises; otherwise each value is checked.
static void build_logo_row(int64_t* out, double p, double q, double ca, double sa, double s) {
    const double step = (std::fabs(ca) + std::fabs(sa)) * std::fabs(s) * (LOGO_W - 1);
    const double reach = std::fabs(p) + std::fabs(q) + step;  // NaN or infinite for frame 0
    if (reach < 2147483000.0) {
        for (int c = 0; c < LOGO_W; ++c) {
            const double j = c;
            out[2 * c] = int32_t(p + (ca * j) * s);
            out[2 * c + 1] = int32_t(q + (sa * j) * s);
        }
        return;
    }
    for (int c = 0; c < LOGO_W; ++c) {
        const double j = c;
        out[2 * c] = truncate_to_int32(p + (ca * j) * s);
        out[2 * c + 1] = truncate_to_int32(q + (sa * j) * s);
    }
}

// Fills frames [first, end) of a table (logo_frames, or a fresh one for
// measurements). Angle and zoom are float counters advanced through double,
// as the animation was designed with, always counted from frame 0, so a table
// built in blocks equals one built at once; frame 0 has zoom 0, hence an
// infinite scale.
void build_logo_frames_range(int64_t* table, int first, int end) {
    float a = 0.0f, z = 0.0f;
    for (int f = 0; f < end; ++f) {
        if (f >= first) {
            double sa = std::sin(double(a)), ca = std::cos(double(a)), sz = std::sin(double(z));
            double s = 1.0 / (8.0 * sz);
            int64_t* frame = table + int64_t(LOGO_FRAME_ENTRIES) * f;
            for (int i = 0; i < LOGO_H; ++i) {
                double p = (-sa * i) * s, q = (ca * i) * s;
                build_logo_row(frame + 2 * LOGO_W * i, p, q, ca, sa, s);
            }
        }
        a = float(double(a) + 0.1);
        z = float(double(z) + 0.01);
        if (z > 3.6f) z = 0.0f;
    }
}

const uint8_t* logo_source = logo_picture;

// Numbers of the picture's non-black pixels in picture order (about 58% of
// the logo), so drawing touches neither the black ones nor their entries.
static uint32_t logo_opaque[LOGO_PIXELS];
static int32_t logo_opaque_count;

// The pass every machine can run: the listed pixels one by one, each at the
// centre plus its offsets. Offsets outside the visible window (one pixel
// short of each edge) are skipped; later picture pixels overwrite earlier
// ones. Table places are integer offsets from the table's start, so no
// pointer is formed outside it.
static void draw_logo_frame_plain(int32_t logo_frame_pos, int32_t logo_direction) {
    const int64_t d = logo_direction, pos = logo_frame_pos;
    uint8_t* centre = screen_pixels + 4 * (int64_t(SCREEN_W) * (SCREEN_H / 2) + SCREEN_W / 2);
    const int32_t n = logo_opaque_count;
    for (int32_t m = 0; m < n; ++m) {
        const int64_t k = logo_opaque[m];
        const int64_t at = pos + 2 * d * k;
        // The frame's offsets are streamed from main memory; fetch ahead (a
        // hint on an address, never a read, so it may point anywhere).
        __builtin_prefetch(reinterpret_cast<const char*>(uintptr_t(logo_frames) + uintptr_t(8 * (at + 2 * d * 192))));
        const int32_t x = int32_t(logo_frames[at]);
        const int32_t y = int32_t(logo_frames[at + d]);
        if (uint32_t(x) - uint32_t(LOGO_X_MIN) > LOGO_X_SPAN || uint32_t(y) - uint32_t(LOGO_Y_MIN) > LOGO_Y_SPAN) continue;
        std::memcpy(centre + 4 * (int64_t(SCREEN_W) * y + x), logo_source + 4 * k, 4);
    }
}

const routine_table<logo_pass>& logo_routine_table() {
    static const routine_table<logo_pass> table =
        make_routine_table(cpu_logo_routines(), {"plain", "", draw_logo_frame_plain, nullptr, true});
    return table;
}

static logo_pass logo_draw_in_use;

void prepare_logo_drawing(const uint8_t* picture) {
    logo_source = picture;
    int32_t n = 0;
    for (int32_t k = 0; k < LOGO_PIXELS; ++k) {
        const uint8_t* p = picture + 4 * k;
        if (p[0] | p[1] | p[2]) logo_opaque[n++] = uint32_t(k);
    }
    logo_opaque_count = n;
    const logo_routine& fastest = running_routines(logo_routine_table())[0];
    prepare_routine(fastest);
    logo_draw_in_use = fastest.pass;
}

void draw_logo_frame(int32_t logo_frame_pos, int32_t logo_direction) {
    logo_draw_in_use(logo_frame_pos, logo_direction);
}
