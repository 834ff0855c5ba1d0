// Plasma background: a fixed height field whose colours cycle through a
// palette, shifted every frame by a cosine-driven phase.
#include "effects/plasma.h"
#include "flow/screen.h"
#include <cmath>
#include <cstring>

int32_t plasma_palette[256][3];
int32_t plasma_field[PLASMA_FIELD_W * PLASMA_FIELD_H];
int32_t plasma_phase[PLASMA_PHASE_LEN];
int32_t plasma_tick;

// Row-major byte copy of plasma_field (values are 0..255), so a frame reads
// 0.9 MB in screen order instead of 3.7 MB across columns.
static uint8_t plasma_field8[PLASMA_FIELD_W * PLASMA_FIELD_H];

// Blue and red follow two sines of different speed; the constant 3.1415 (not
// pi) is what gives the palette its slight seam at 255 -> 0.
void build_plasma_palette() {
    for (int k = 0; k < 256; ++k) {
        plasma_palette[k][0] = int32_t(128.0 + 128.0 * std::sin(k * 3.1415 / 128.0));
        plasma_palette[k][1] = 0;
        plasma_palette[k][2] = int32_t(128.0 + 128.0 * std::sin(k * 3.1415 / 16.0));
    }
}

// Height field from four sine waves: vertical and horizontal bands, rings round
// the centre and rings round the top-left corner. The terms that depend on x
// or y alone, and the centre rings (mirror-symmetric about (640, 360)), are
// computed once and reused; the sum keeps the order a, b, c, d.
void build_plasma_field() {
    static double wave_x[PLASMA_FIELD_W];
    static double wave_y[PLASMA_FIELD_H];
    // Centre rings for |dx| <= 640, |dy| <= 360: the whole screen mirrors into it.
    static double rings[641 * 361];
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

// One colour per field value for this frame's phase, packed as the low three
// bytes of a pixel word, so the pixel loop is a single table lookup.
static void build_frame_colours(int32_t phase, uint32_t colour[256]) {
    for (int v = 0; v < 256; ++v) {
        const int32_t* p = plasma_palette[(phase + v) & 255];
        colour[v] = uint32_t(p[0] & 255) | uint32_t(p[1] & 255) << 8 | uint32_t(p[2] & 255) << 16;
    }
}

// Every screen pixel gets the colour of its field value shifted by the phase.
// The fourth byte is kept, so it is read back and merged.
void render_plasma() {
    uint32_t colour[256];
    build_frame_colours(plasma_phase[plasma_tick], colour);
    uint8_t* __restrict dst = screen_pixels;
    const uint8_t* __restrict f = plasma_field8;
    constexpr int n = PLASMA_FIELD_W * PLASMA_FIELD_H;
    for (int i = 0; i < n; i += 4) {
        uint32_t w[4];
        std::memcpy(w, dst + 4 * i, 16);
        w[0] = (w[0] & 0xFF000000u) | colour[f[i]];
        w[1] = (w[1] & 0xFF000000u) | colour[f[i + 1]];
        w[2] = (w[2] & 0xFF000000u) | colour[f[i + 2]];
        w[3] = (w[3] & 0xFF000000u) | colour[f[i + 3]];
        std::memcpy(dst + 4 * i, w, 16);
    }
    if (++plasma_tick > PLASMA_PHASE_LEN - 1) plasma_tick = 0;
}
