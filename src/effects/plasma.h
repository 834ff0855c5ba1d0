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
// False, after one line on standard error, when its scratch memory cannot be
// had.
bool build_plasma_field();
void build_plasma_phase();

// One way of drawing a frame: rewrites bytes 0..2 of every screen pixel for
// `phase` and leaves plasma_tick alone. Every routine gives the same screen.
struct plasma_routine {
    const char* name;
    void (*pass)(int32_t phase);
    bool reads_pair_table;  // needs prepare_plasma_routine before its first frame
};

// The routines this machine can run, fastest first; the last is the plain
// pass that every machine has. Returns how many.
int plasma_routines(const plasma_routine** list);

// Builds what `r` reads besides the palette and the field.
void prepare_plasma_routine(const plasma_routine& r);

// Picks the fastest routine for render_plasma and prepares it; needs the
// palette and the field. Part of the start-up work.
void choose_plasma_routine();

// Rewrites bytes 0..2 of every screen pixel and advances plasma_tick, with
// the routine choose_plasma_routine picked.
void render_plasma();
