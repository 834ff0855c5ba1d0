// Plasma background: palette cycling over a fixed height field.
#pragma once
#include <cstdint>

constexpr int PLASMA_PHASE_LEN = 100000;
constexpr int PLASMA_PHASE_COMPUTED = 99934;
constexpr int PLASMA_FIELD_W = 1280;
constexpr int PLASMA_FIELD_H = 720;

extern int32_t plasma_palette[256][3];                       // blue, green, red
extern int32_t plasma_field[PLASMA_FIELD_W * PLASMA_FIELD_H];  // column by column: 720*x + y
extern int32_t plasma_phase[PLASMA_PHASE_LEN];
extern int32_t plasma_tick;

void build_plasma_palette();
void build_plasma_field();
void build_plasma_phase();

// Rewrites bytes 0..2 of every screen pixel and advances plasma_tick. The
// per-pixel pass is the fastest one the CPU supports, chosen on the first call.
void render_plasma();

// The passes render_plasma chooses from, exposed so tests can hold each one
// against the plain formula. Each draws the frame for `phase` and leaves
// plasma_tick alone; all give identical screens.
void plasma_pass_sse2(int32_t phase);
void plasma_pass_avx512(int32_t phase);   // only when plasma_avx512_usable()
bool plasma_avx512_usable();              // AVX-512 F, BW and VBMI present
