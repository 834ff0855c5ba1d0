// Frame passes written for one CPU family's vector units. They live in one
// unit per family (cpu_x86.cpp on x86-64); elsewhere cpu_plain.cpp offers none
// and the plain passes run. All of them give exactly the plain passes' pixels.
#pragma once
#include "effects/logo.h"
#include "effects/plasma.h"

// Plasma routines this CPU can run, fastest first; at most `room` of them.
int cpu_plasma_routines(plasma_routine* out, int room);

// Logo routines this CPU can run, fastest first; at most `room` of them.
int cpu_logo_routines(logo_routine* out, int room);

// Colours of two neighbouring pixels by their two palette indices, first
// pixel in the low byte of the index and the low half of the value, packed
// as pixel words with a zero fourth byte.
extern uint64_t plasma_pair_colours[65536];

// Field values (0..255) as bytes in screen order.
extern uint8_t plasma_field8[PLASMA_FIELD_W * PLASMA_FIELD_H];

// Blue and red of every palette entry as bytes (green is always 0).
alignas(64) extern uint8_t plasma_blue8[256];
alignas(64) extern uint8_t plasma_red8[256];

// The picture the logo passes draw (set by prepare_logo_drawing).
extern const uint8_t* logo_source;
