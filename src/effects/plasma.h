// Plasma background: palette cycling over a fixed height field.
#pragma once
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
// `phase` and leaves plasma_tick alone. Every routine gives the same screen.
struct plasma_routine {
    const char* name;
    void (*pass)(int32_t phase);
    bool reads_pair_table;  // needs prepare_plasma_routine before its first frame
    const char* needs;      // the CPU features it uses ("" for none)
    bool runs_here;         // this CPU has them
};

// Every routine built in: first those this machine can run, fastest first,
// ending with the plain pass that every machine has; then those it cannot.
// Returns how many there are in all.
int plasma_routines_built(const plasma_routine** list);

// The routines this machine can run, fastest first, the plain pass last:
// the start of the list above. Returns how many.
int plasma_routines(const plasma_routine** list);

// Builds what `r` reads besides the palette and the field.
void prepare_plasma_routine(const plasma_routine& r);

// Picks the fastest routine for render_plasma and prepares it; needs the
// palette and the field. Part of the start-up work.
void choose_plasma_routine();

// Rewrites bytes 0..2 of every screen pixel and advances plasma_tick, with
// the routine choose_plasma_routine picked.
void render_plasma();
