// Frame passes written for one CPU family's vector units. They live in one
// unit per family (cpu_x86.cpp on x86-64); elsewhere cpu_plain.cpp offers none
// and the plain passes run. All of them give exactly the plain passes' pixels.
#pragma once
#include "effects/logo.h"
#include "effects/plasma.h"
#include "screen/screen.h"
#include <cstring>

// Every plasma routine built for this CPU family, fastest first, each marked
// with whether this CPU can run it.
std::span<const plasma_routine> cpu_plasma_routines();

// Every logo routine built for this CPU family, as above.
std::span<const logo_routine> cpu_logo_routines();

// The table of two pixels' colours by their two palette indices, which the
// plain, SSE2 and AVX2 plasma passes read (their prepare step).
void build_plasma_pair_colours();

// The low byte of a phase entry in every byte of a word.
inline uint64_t phase_in_every_byte(int32_t phase_entry) { return uint64_t(uint32_t(phase_entry) & 255) * 0x0101010101010101ull; }

// The eight field bytes at f, each plus the phase byte modulo 256: no carry
// crosses from one byte into the next, so negative entries wrap the same way.
inline uint64_t shifted_field_bytes(const uint8_t* f, uint64_t phase_bytes) {
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Full, high = 0x8080808080808080ull;
    uint64_t a;
    std::memcpy(&a, f, 8);
    return ((a & low7) + (phase_bytes & low7)) ^ ((a & high) ^ (phase_bytes & high));
}

// Colours of two neighbouring pixels by their two palette indices, first
// pixel in the low byte of the index and the low half of the value, packed
// as pixel words with a zero fourth byte.
extern uint64_t plasma_pair_colours[65536];

// Blue and red of every palette entry as bytes (green is always 0).
alignas(64) extern uint8_t plasma_blue8[256];
alignas(64) extern uint8_t plasma_red8[256];

// The picture the logo passes draw (set by prepare_logo_drawing).
extern const uint8_t* logo_source;

// Offsets from the screen centre at which a logo pixel is drawn: the whole
// screen but a border of one pixel.
constexpr int32_t LOGO_X_MIN = 1 - SCREEN_W / 2, LOGO_X_MAX = SCREEN_W / 2 - 2;  // -639..638
constexpr int32_t LOGO_Y_MIN = 1 - SCREEN_H / 2, LOGO_Y_MAX = SCREEN_H / 2 - 2;  // -359..358
// The same ranges as one unsigned test each: uint32_t(x - MIN) <= SPAN.
constexpr uint32_t LOGO_X_SPAN = uint32_t(LOGO_X_MAX - LOGO_X_MIN), LOGO_Y_SPAN = uint32_t(LOGO_Y_MAX - LOGO_Y_MIN);
