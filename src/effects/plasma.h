// Plasma background: palette cycling over a fixed height field.
#pragma once
#include "effects/routines.h"
#include <cstdint>

constexpr int PLASMA_PHASE_LEN = 100000;
constexpr int PLASMA_PHASE_COMPUTED = 99934;
constexpr int PLASMA_FIELD_W = 1280;  // the screen's size (checked where both are seen)
constexpr int PLASMA_FIELD_H = 720;

extern int32_t plasma_palette[256][3];  // blue, green, red
// Field values (0..255) as bytes in screen order, value of (x, y) at
// PLASMA_FIELD_W * y + x: a frame reads 0.9 MB in the order it writes.
extern uint8_t plasma_field8[PLASMA_FIELD_W * PLASMA_FIELD_H];
extern int32_t plasma_phase[PLASMA_PHASE_LEN];
extern int32_t plasma_tick;

void build_plasma_palette();
// False, after one line on standard error, when its scratch memory cannot be
// had.
bool build_plasma_field();
void build_plasma_phase();

// One way of drawing a frame: rewrites bytes 0..2 of every screen pixel for
// `phase` and leaves plasma_tick alone.
using plasma_pass = void (*)(int32_t phase);
using plasma_routine = effect_routine<plasma_pass>;

// Every plasma routine built in (routines.h: all_routines, and
// running_routines for those this machine runs, fastest first).
const routine_table<plasma_pass>& plasma_routine_table();

// Picks the fastest routine for render_plasma and prepares it; needs the
// palette and the field. Part of the start-up work.
void choose_plasma_routine();

// Rewrites bytes 0..2 of every screen pixel and advances plasma_tick, with
// the routine choose_plasma_routine picked.
void render_plasma();
