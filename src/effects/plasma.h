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

// Rewrites bytes 0..2 of every screen pixel and advances plasma_tick.
void render_plasma();
